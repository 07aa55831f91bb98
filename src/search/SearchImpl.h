// The fields of a Search object, shared by the procedures of the search, criteria and
// matching folders (the private procedures of Search live beside their subsystem).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Collection.h"
#include "mirel_SbF/ObjectControl.h"
#include "mirel_SbF/Recordset.h"
#include "mirel_SbF/Results.h"
#include "mirel_SbF/Search.h"
#include "model/SbFUserSelection.h"

namespace mirel_SbF {

class Pricing;  // the currency table and formatting (pricing folder)
struct FacetCounts;  // the counts of one DoSearch call (criteria folder)

// A criterion as choices and rows name it: schema id and location, as texts.
struct Criterion {
  std::string schema;
  std::string location;
  bool operator==(const Criterion&) const = default;
};

struct Search::State {
  std::shared_ptr<COMSVCSLib::ObjectContext> m_objContext;
  std::shared_ptr<Collection<Results>> m_colResults;  // null until activated
  std::string m_strCurrentState;
  std::string m_strDbConn;
  std::string m_strSpecsDbName;
  std::string m_strProjectDbName;
  int32_t m_lLanguageId = 0;
  std::string m_strCurrencyId;
  std::shared_ptr<Collection<SbFUserSelection>> m_colSelections;  // null until activated
  std::shared_ptr<Pricing> m_oPricing;
  std::shared_ptr<Recordset> m_rsTitleText;
  bool m_bExcludeAdvancedVehicles = false;
  bool m_bExcludeOldVehicles = false;
  bool m_bExcludeBuiltVehicles = false;
  std::string m_strOEMInclusionList;
  std::string m_strMakeInclusionList;
  std::string m_strModelExclusionList;
  int32_t m_lSegmentId = 0;
  // Counts, kept values and either-or criteria (opt-in, see Search.h).
  bool m_bCountVehicles = false;
  bool m_bKeepAllValues = false;
  std::vector<Criterion> m_colEitherOr;  // in the order they were marked
  // Standard equipment as a buyer means it, and today's formatting (opt-in, see Search.h).
  bool m_bStandardChoices = false;
  bool m_bTodaysConventions = false;
  std::shared_ptr<const FacetCounts> m_oFacets;  // set while DoSearch counts
};

bool IsEitherOr(const Search::State& state, const Criterion& criterion);

// The collections exist only while the object is activated; using one before raises the
// run time's "object not set" error, as an unset object reference would.
Collection<Results>& ResultsOf(const Search::State& state);
Collection<SbFUserSelection>& SelectionsOf(const Search::State& state);

std::shared_ptr<SbFUserSelection> CreateSbFUserSelectionObject(
    int16_t iControlType, const std::string& strSchemaId, const std::string& strSchemaLocation,
    const std::string& strSchemaValue, const std::string& strMin, const std::string& strMax,
    const std::string& strValueSelected);

std::string BuildState(Search::State& state);
void ParseState(Search::State& state, const std::string& strState);

}  // namespace mirel_SbF
