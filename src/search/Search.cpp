#include "mirel_SbF/Search.h"

#include "common/ErrorHandling.h"
#include "common/SqlText.h"
#include "pricing/Pricing.h"
#include "search/SearchImpl.h"

namespace mirel_SbF {

Collection<Results>& ResultsOf(const Search::State& state) {
  if (!state.m_colResults) Raise(RuntimeError::ObjectNotSet);
  return *state.m_colResults;
}

Collection<SbFUserSelection>& SelectionsOf(const Search::State& state) {
  if (!state.m_colSelections) Raise(RuntimeError::ObjectNotSet);
  return *state.m_colSelections;
}

std::shared_ptr<SbFUserSelection> CreateSbFUserSelectionObject(
    int16_t iControlType, const std::string& strSchemaId, const std::string& strSchemaLocation,
    const std::string& strSchemaValue, const std::string& strMin, const std::string& strMax,
    const std::string& strValueSelected) {
  return WithHandler("CreateSbFUserSelectionObject", [&] {
    auto selection = std::make_shared<SbFUserSelection>();
    selection->SetControlType(iControlType);
    selection->SchemaId(strSchemaId);
    selection->SchemaLocation(strSchemaLocation);
    selection->SchemaValue(strSchemaValue);
    selection->MinValue(strMin);
    selection->MaxValue(strMax);
    selection->ValueSelected(strValueSelected);
    return selection;
  });
}

// No component-services host here: the constructor does the activation work on request.
Search::Search(bool bActivate) : m(std::make_unique<State>()) {
  if (bActivate) Activate();
}

Search::~Search() = default;

void Search::Activate() {
  m->m_objContext = COMSVCSLib::GetObjectContext();
  m->m_colResults = std::make_shared<Collection<Results>>();
  m->m_colSelections = std::make_shared<Collection<SbFUserSelection>>();
  m->m_bExcludeAdvancedVehicles = true;
  m->m_bExcludeOldVehicles = true;
  m->m_bExcludeBuiltVehicles = true;
  m->m_lSegmentId = -1;
}

void Search::Deactivate() {
  // Releasing cannot fail here; the order is that of the original for the record.
  m->m_colResults.reset();
  m->m_colSelections.reset();
  m->m_objContext.reset();
  m->m_oPricing.reset();
  m->m_rsTitleText.reset();
}

bool Search::CanBePooled() { return true; }

void Search::SetDatabaseInfo(const std::string& strDbConn, const std::string& strSpecsDbName,
                             const std::string& strProjectDbName, int32_t lLanguageId,
                             const std::string& strCurrencyId) {
  RequireCleanTexts("SetDatabaseInfo", {strDbConn, strSpecsDbName, strProjectDbName, strCurrencyId});
  WithHandler("SetDatabaseInfo", [&] {
    if (strDbConn.empty()) Raise(kErrObject, "Missing DB Connection string");
    if (strSpecsDbName.empty()) Raise(kErrObject, "Missing Specs DB Name");
    if (strProjectDbName.empty()) Raise(kErrObject, "Missing Project DB Name");
    m->m_strDbConn = strDbConn;
    m->m_strSpecsDbName = strSpecsDbName;
    m->m_strProjectDbName = strProjectDbName;
    m->m_lLanguageId = lLanguageId;
    m->m_strCurrencyId = strCurrencyId;
    // A new Pricing object takes the place of the old one before it loads, so that a
    // failed load leaves an empty one (whose conversions then fail clearly).
    m->m_oPricing = std::make_shared<Pricing>();
    m->m_oPricing->InitPricing(m->m_strCurrencyId, m->m_strDbConn, m->m_strProjectDbName);
  });
}

std::unique_ptr<Enumerator<Results>> Search::NewEnum() const {
  try {
    if (!m->m_colResults) return nullptr;
    return m->m_colResults->NewEnum();
  } catch (...) {
    return nullptr;
  }
}

std::shared_ptr<Results> Search::Item() const { Raise(kErrObject, "Missing Item Index"); }
std::shared_ptr<Results> Search::Item(int32_t Index) const { return ResultsOf(*m).Item(Index); }
std::shared_ptr<Results> Search::Item(const std::string& Index) const {
  return ResultsOf(*m).Item(Index);
}

void Search::Add(std::shared_ptr<Results> oClass, const std::string& Key) {
  RequireCleanTexts("Add", {Key});
  ResultsOf(*m).Add(std::move(oClass), Key);
}

int32_t Search::Count() const { return ResultsOf(*m).Count(); }

std::string Search::CurrentState() { return BuildState(*m); }
void Search::CurrentState(const std::string& strState) {
  RequireCleanTexts("CurrentState", {strState});
  ParseState(*m, strState);
}

void Search::AddSelection(const std::string& strSchema, const std::string& strSchemaLocation,
                          const std::string& strSchemaValue,
                          const std::string& strUserSelection) {
  RequireCleanTexts("AddSelection", {strSchema, strSchemaLocation, strSchemaValue, strUserSelection});
  WithHandler("AddSelection", [&] {
    if (strSchema.empty()) Raise(kErrObject, "Missing Schema ID");
    auto selection = CreateSbFUserSelectionObject(0, strSchema, strSchemaLocation,
                                                  strSchemaValue, "!!", "!!", strUserSelection);
    selection->SetType_Value();
    SelectionsOf(*m).Add(selection);
  });
}

void Search::AddMinMax(const std::string& strSchema, const std::string& strSchemaLocation,
                       const std::string& strSchemaValue, const std::string& strMin,
                       const std::string& strMax) {
  RequireCleanTexts("AddMinMax", {strSchema, strSchemaLocation, strSchemaValue, strMin, strMax});
  if (strSchema.empty()) Raise(kErrObject, "Missing Schema ID");
  if (strMin.empty()) Raise(kErrObject, "Missing Minumum Value");
  if (strMax.empty()) Raise(kErrObject, "Missing Maximum Value");
  auto selection = CreateSbFUserSelectionObject(0, strSchema, strSchemaLocation, strSchemaValue,
                                                strMin, strMax, "!!");
  selection->SetType_MinMax();
  SelectionsOf(*m).Add(selection);
}

void Search::AddMin(const std::string& strSchema, const std::string& strSchemaLocation,
                    const std::string& strSchemaValue, const std::string& strMin) {
  RequireCleanTexts("AddMin", {strSchema, strSchemaLocation, strSchemaValue, strMin});
  if (strSchema.empty()) Raise(kErrObject, "Missing Schema ID");
  if (strMin.empty()) Raise(kErrObject, "Missing Minumum Value");
  auto selection = CreateSbFUserSelectionObject(0, strSchema, strSchemaLocation, strSchemaValue,
                                                strMin, "!!", "!!");
  selection->SetType_MinMax();
  SelectionsOf(*m).Add(selection);
}

void Search::AddMax(const std::string& strSchema, const std::string& strSchemaLocation,
                    const std::string& strSchemaValue, const std::string& strMax) {
  RequireCleanTexts("AddMax", {strSchema, strSchemaLocation, strSchemaValue, strMax});
  if (strSchema.empty()) Raise(kErrObject, "Missing Schema ID");
  if (strMax.empty()) Raise(kErrObject, "Missing Maximum Value");
  auto selection = CreateSbFUserSelectionObject(0, strSchema, strSchemaLocation, strSchemaValue,
                                                "!!", strMax, "!!");
  selection->SetType_MinMax();
  SelectionsOf(*m).Add(selection);
}

bool Search::ExcludeAdvancedVehicles() const { return m->m_bExcludeAdvancedVehicles; }
void Search::ExcludeAdvancedVehicles(bool bData) { m->m_bExcludeAdvancedVehicles = bData; }
bool Search::ExcludeOldVehicles() const { return m->m_bExcludeOldVehicles; }
void Search::ExcludeOldVehicles(bool bData) { m->m_bExcludeOldVehicles = bData; }
bool Search::ExcludeBuiltVehicles() const { return m->m_bExcludeBuiltVehicles; }
void Search::ExcludeBuiltVehicles(bool bData) { m->m_bExcludeBuiltVehicles = bData; }
std::string Search::OEMInclusionList() const { return m->m_strOEMInclusionList; }
void Search::OEMInclusionList(const std::string& strData) {
  RequireCleanTexts("OEMInclusionList", {strData});
  m->m_strOEMInclusionList = strData;
}
std::string Search::MakeInclusionList() const { return m->m_strMakeInclusionList; }
void Search::MakeInclusionList(const std::string& strData) {
  RequireCleanTexts("MakeInclusionList", {strData});
  m->m_strMakeInclusionList = strData;
}
std::string Search::ModelExclusionList() const { return m->m_strModelExclusionList; }
void Search::ModelExclusionList(const std::string& strData) {
  RequireCleanTexts("ModelExclusionList", {strData});
  m->m_strModelExclusionList = strData;
}
int32_t Search::SegmentId() const { return m->m_lSegmentId; }
void Search::SegmentId(int32_t lngData) { m->m_lSegmentId = lngData < 0 ? -1 : lngData; }

}  // namespace mirel_SbF
