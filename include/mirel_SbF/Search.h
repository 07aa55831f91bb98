// Search: the "Search by Features" screen of one user search.
//
//   mirel_SbF::Search search;                       // activated by the constructor
//   search.SetDatabaseInfo("Data Source=/data", "specs", "prj", 1, "GBP,USD");
//   search.MakeInclusionList("12");
//   search.AddSelection("7401", "0", "", "US");
//   search.AddMinMax("135", "0", "", "100", "250");
//   int32_t n = search.GetNumberOfMatchingVehicles();
//   std::string saved = search.CurrentState();      // restore later with CurrentState(saved)
//
// Errors are raised as mirel_SbF::Error. One thread at a time per object; objects share
// nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mirel_SbF/Enumerator.h"
#include "mirel_SbF/ObjectControl.h"
#include "mirel_SbF/Recordset.h"
#include "mirel_SbF/Results.h"

namespace mirel_SbF {

class Search : public COMSVCSLib::ObjectControl {
 public:
  // true: the constructor does the activation work (no component-services host here).
  explicit Search(bool bActivate = true);
  ~Search() override;
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;

  void Activate() override;
  void Deactivate() override;
  bool CanBePooled() override;

  void SetDatabaseInfo(const std::string& strDbConn, const std::string& strSpecsDbName,
                       const std::string& strProjectDbName, int32_t lLanguageId,
                       const std::string& strCurrencyId);

  std::unique_ptr<Enumerator<Results>> NewEnum() const;  // null when not activated
  std::shared_ptr<Results> Item() const;                 // raises "Missing Item Index"
  std::shared_ptr<Results> Item(int32_t Index) const;
  std::shared_ptr<Results> Item(const std::string& Index) const;
  std::shared_ptr<Results> Item(const char* Index) const { return Item(std::string(Index)); }
  void Add(std::shared_ptr<Results> oClass, const std::string& Key);
  int32_t Count() const;

  std::string CurrentState();
  void CurrentState(const std::string& strState);

  void AddSelection(const std::string& strSchema, const std::string& strSchemaLocation,
                    const std::string& strSchemaValue, const std::string& strUserSelection);
  void AddMinMax(const std::string& strSchema, const std::string& strSchemaLocation,
                 const std::string& strSchemaValue, const std::string& strMin,
                 const std::string& strMax);
  void AddMin(const std::string& strSchema, const std::string& strSchemaLocation,
              const std::string& strSchemaValue, const std::string& strMin);
  void AddMax(const std::string& strSchema, const std::string& strSchemaLocation,
              const std::string& strSchemaValue, const std::string& strMax);

  // Price bounds (opt-in, for hosts whose users pick the bounds of a price row). The ladder
  // DoSearch builds for a price item shows amounts in the primary currency (the first of
  // SetDatabaseInfo's list), while AddMinMax, AddMin and AddMax put a bound into the
  // statement as given, compared with prices in the currency they are stored in.
  //   PriceBoundToStored: an amount of the primary currency (a ladder value) as the bound
  //     to pass to AddMin/AddMax, converted into the stored currency.
  //   FormatPriceBound: a stored bound (as CurrentState keeps it) shown the way the ladder
  //     shows prices, in every currency of the list ("€5,000.00 ($5,431.20)").
  // For an item that is no price, and when both currencies are the same, the amount comes
  // back unchanged. Amounts are plain decimal texts ("-12.5"); another text raises Type
  // mismatch (13). REQUIRES: SetDatabaseInfo; the stored currency is in the list.
  std::string PriceBoundToStored(const std::string& strSchema, const std::string& strAmount);
  std::string FormatPriceBound(const std::string& strSchema, const std::string& strAmount);
  //   FormatAmount: an amount of any currency of the currency table, converted into every
  //     currency of the list and formatted for the language as the ladder shows prices
  //     ("£1.234.567,89 (€1.435.544,06, $1.550.387,58)"). An amount that is no plain
  //     decimal text raises Type mismatch (13); a currency the table lacks raises the
  //     currency table's own error. REQUIRES: SetDatabaseInfo.
  std::string FormatAmount(const std::string& strAmount, const std::string& strCurrencyCode);

  // The choices and either-or marks the object holds, read back (read-only; a host that
  // keeps only the state text learns from them what CurrentState(text) restored, without
  // reading the text itself). Choices come in the order of adding, as CurrentState writes
  // them; marks in the order they were set. REQUIRES: activated (else "object not set").
  struct Choice {
    bool range = false;       // a range (AddMinMax, AddMin, AddMax); else a picked value
    std::string schema, location, schemaValue;
    std::string value;        // a picked value: the value
    std::string min, max;     // a range: the bounds as given or stored, "!!" for none
  };
  struct EitherOrMark {
    std::string schema, location;
  };
  std::vector<Choice> Choices() const;
  std::vector<EitherOrMark> EitherOrMarks() const;

  // Counts, kept values and either-or criteria (opt-in; all off after activation, and then
  // every text and answer is as without them).
  //   CountVehicles(true): DoSearch gives every value of a list row, and every step of a
  //     range row's ladder, the number of matching vehicles it leads to (Info::VehicleCount;
  //     the vehicles the list would be reduced to, under the same switches).
  //   KeepAllValues(true): the list rows also hold the values that the vehicles in play
  //     (those passing the host's filters) carry but no matching vehicle does, counted 0,
  //     so that a screen can grey them out; range ladders span the vehicles in play. A
  //     value the user picked is always listed (its data value as text when no vehicle in
  //     play carries it). Implies counting.
  //   EitherOr(schema, location, true): the user's value choices of that criterion widen the
  //     search (a vehicle carrying any of them matches) instead of narrowing it; choices of
  //     different criteria still narrow. The criterion's own values are listed and counted
  //     without its own choices, so picking one leaves the others on the screen with their
  //     counts. Its range choices stay narrowing. The marking travels in CurrentState ahead
  //     of the selections ("either-or~<schema>~<location>~~~"); a library without either-or
  //     criteria refuses such a text (type mismatch) instead of misreading it, and writing
  //     CurrentState replaces the markings with those of the text. Schema and location are
  //     whole numbers, compared as texts with the rows' Schema and SchemaLocation.
  bool CountVehicles() const;
  void CountVehicles(bool bData);
  bool KeepAllValues() const;
  void KeepAllValues(bool bData);
  bool EitherOr(const std::string& strSchema, const std::string& strSchemaLocation) const;
  void EitherOr(const std::string& strSchema, const std::string& strSchemaLocation, bool bData);

  // Standard equipment as a buyer means it (opt-in; off after activation, and then every
  // text and answer is as without it).
  //   StandardChoices(true): the standard-equipment switch (bUseStandardEquipOnly of
  //     DoSearch, UseStandardEquipOnly of GetMatchingVehicles and
  //     GetNumberOfMatchingVehicles) then keeps the vehicles whose CHOSEN equipment is
  //     standard: every choice's level tests option_id = 0 as well. Without it the switch
  //     tests only the equipment rows the outer query reads: a list shows (and counts) the
  //     vehicles that carry a value as standard, while a choice of it also matches the
  //     vehicles that carry it as an option, so the count after picking a value is not the
  //     count the value showed. With it, and the switch on, they are the same. The switch off,
  //     the member changes nothing.
  bool StandardChoices() const;
  void StandardChoices(bool bData);

  // Today's conventions for prices and numbers (opt-in; off after activation, and then every
  // text is the Windows XP one: "€5.000,00", "¥790,000.00", "4.800,00CHF").
  //   TodaysConventions(true): prices and the numbers of the lists are formatted as ICU
  //     formats them for the language (CLDR's data): the symbol placed and spaced as the
  //     language places it ("5.000,00 €" in German, "CHF 4,800.00" in English), the
  //     currency's own decimals from the currency table (decimals; ICU's for the currency
  //     when the table has none: "¥790,000"). Symbols stay those of the currency table.
  bool TodaysConventions() const;
  void TodaysConventions(bool bData);

  void DoSearch(bool bUseStandardEquipOnly = false, const std::string& strSectionName = "",
                bool bReduceLists = true);
  int32_t GetNumberOfMatchingVehicles(bool UseStandardEquipmentOnly = false,
                                      bool bReduceLists = true);
  std::shared_ptr<Recordset> GetMatchingVehicles(bool UseStandardEquipOnly = false,
                                                 bool bReduceLists = true,
                                                 const std::string& strSortByList = "");
  std::shared_ptr<Recordset> GetSbFHeadings();

  bool ExcludeAdvancedVehicles() const;
  void ExcludeAdvancedVehicles(bool bData);
  bool ExcludeOldVehicles() const;
  void ExcludeOldVehicles(bool bData);
  bool ExcludeBuiltVehicles() const;
  void ExcludeBuiltVehicles(bool bData);
  std::string OEMInclusionList() const;
  void OEMInclusionList(const std::string& strData);
  std::string MakeInclusionList() const;
  void MakeInclusionList(const std::string& strData);
  std::string ModelExclusionList() const;
  void ModelExclusionList(const std::string& strData);
  int32_t SegmentId() const;
  void SegmentId(int32_t lngData);

  PositionIterator<Search, Results> begin() const { return {this, 0}; }
  PositionIterator<Search, Results> end() const { return {this, Count()}; }

  struct State;  // the object's fields; defined in src/search

 private:
  std::unique_ptr<State> m;
};

}  // namespace mirel_SbF
