// DoSearch: the criteria rows of a category, in row order, from three sorted queries.
#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"

namespace mirel_SbF {
namespace {

// 1 when a comes first (a <= b), else 2.
int16_t WhichComesFirst(int16_t a, int16_t b) { return a <= b ? 1 : 2; }

// Row ids are 16-bit in the merge: one outside that range overflows.
int16_t RowIdOf(const Recordset& rs, const char* column) {
  return CInt(rs.Fields(column).Value());
}

// Closes the record sets still open when DoSearch leaves, normally or by an error.
struct OpenSets {
  std::shared_ptr<Recordset> coded, minMax, numeric;
  ~OpenSets() {
    for (auto* rs : {&coded, &minMax, &numeric}) {
      if (!*rs) continue;
      try {
        (*rs)->Close();
      } catch (...) {
        // closing cannot make the outcome worse
      }
    }
  }
};

// The counts live as long as the DoSearch call that made them.
struct CountsScope {
  Search::State& state;
  explicit CountsScope(Search::State& s) : state(s) {}
  ~CountsScope() { state.m_oFacets.reset(); }
};

}  // namespace

int16_t WhichRowComesNext(Recordset& rsCoded, Recordset& rsMinMax, Recordset& rsNumeric) {
  return WithHandler("WhichRowComesNext", [&]() -> int16_t {
    const bool c = rsCoded.EndOfFile(), m = rsMinMax.EndOfFile(), n = rsNumeric.EndOfFile();
    if (c && m) return 3;
    if (c && n) return 2;
    if (m && n) return 1;
    const int16_t coded = c ? 0 : RowIdOf(rsCoded, "Row_Id");
    const int16_t range = m ? 0 : RowIdOf(rsMinMax, "Row_id");
    const int16_t numeric = n ? 0 : RowIdOf(rsNumeric, "row_id");
    if (c) return WhichComesFirst(range, numeric) == 1 ? 2 : 3;
    if (m) return WhichComesFirst(coded, numeric) == 1 ? 1 : 3;
    if (n) return WhichComesFirst(coded, range) == 1 ? 1 : 2;
    if (WhichComesFirst(coded, range) == 1) return WhichComesFirst(coded, numeric) == 1 ? 1 : 3;
    return WhichComesFirst(range, numeric) == 1 ? 2 : 3;
  });
}

void Search::DoSearch(bool bUseStandardEquipOnly, const std::string& strSectionName,
                      bool bReduceLists) {
  const mirel_base::ReadScope oneVersion;  // the screen's texts all read one version of the data
  WithHandler("DoSearch", [&] {
    RequireCleanTexts("DoSearch", {strSectionName});
    InitSbFTitleText(*m, strSectionName);
    // Counting: the list rows are read for the vehicles in play and reduced by the counts;
    // range ladders span the vehicles in play only when values are kept.
    CountsScope counts(*m);
    bool listsReduced = bReduceLists, rangesReduced = bReduceLists;
    if (FacetsWanted(*m, bReduceLists)) {
      m->m_oFacets = CountValues(*m, strSectionName, bUseStandardEquipOnly, bReduceLists);
      listsReduced = false;
      rangesReduced = bReduceLists && !m->m_bKeepAllValues;
    }
    OpenSets sets;
    sets.coded = GetSbFCodedValueInfo(*m, strSectionName, bUseStandardEquipOnly, listsReduced);
    sets.minMax = GetSbFMinMaxInfo(*m, strSectionName, bUseStandardEquipOnly, rangesReduced);
    sets.numeric = GetNumericListInfo(*m, strSectionName, bUseStandardEquipOnly, listsReduced);
    while (!(sets.coded->EndOfFile() && sets.minMax->EndOfFile() && sets.numeric->EndOfFile())) {
      switch (WhichRowComesNext(*sets.coded, *sets.minMax, *sets.numeric)) {
        case 1: AddSbFCodedValueInfo(*m, *sets.coded); break;
        case 2: AddSbFMinMaxInfo(*m, *sets.minMax); break;
        case 3: AddSbFNumericListInfo(*m, *sets.numeric); break;
        default: Raise(kErrPricing, "Unknown sort order returned");
      }
    }
  });
}

}  // namespace mirel_SbF
