#include "mirel_SbF/Search.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "criteria/Criteria.h"
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
  m->m_bCountVehicles = false;
  m->m_bKeepAllValues = false;
  m->m_colEitherOr.clear();
  m->m_bStandardChoices = false;
  m->m_bTodaysConventions = false;
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
    m->m_oPricing->TodaysConventions(m->m_bTodaysConventions);
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

bool Search::CountVehicles() const { return m->m_bCountVehicles; }
void Search::CountVehicles(bool bData) { m->m_bCountVehicles = bData; }
bool Search::KeepAllValues() const { return m->m_bKeepAllValues; }
void Search::KeepAllValues(bool bData) { m->m_bKeepAllValues = bData; }
bool Search::StandardChoices() const { return m->m_bStandardChoices; }
void Search::StandardChoices(bool bData) { m->m_bStandardChoices = bData; }
bool Search::TodaysConventions() const { return m->m_bTodaysConventions; }
void Search::TodaysConventions(bool bData) {
  m->m_bTodaysConventions = bData;
  if (m->m_oPricing) m->m_oPricing->TodaysConventions(bData);
}

bool IsEitherOr(const Search::State& state, const Criterion& criterion) {
  return std::find(state.m_colEitherOr.begin(), state.m_colEitherOr.end(), criterion) !=
         state.m_colEitherOr.end();
}

bool Search::EitherOr(const std::string& strSchema, const std::string& strSchemaLocation) const {
  return IsEitherOr(*m, Criterion{strSchema, strSchemaLocation});
}

void Search::EitherOr(const std::string& strSchema, const std::string& strSchemaLocation,
                      bool bData) {
  RequireCleanTexts("EitherOr", {strSchema, strSchemaLocation});
  WithHandler("EitherOr", [&] {
    // They reach the state text and are compared with the rows: whole numbers only.
    RequireWholeNumber("Schema ID", strSchema);
    RequireWholeNumber("Schema location", strSchemaLocation);
    const Criterion criterion{strSchema, strSchemaLocation};
    auto& marked = m->m_colEitherOr;
    if (bData && !IsEitherOr(*m, criterion)) marked.push_back(criterion);
    if (!bData) marked.erase(std::remove(marked.begin(), marked.end(), criterion), marked.end());
  });
}

namespace {

// The schema id of a price item, or 0 when strSchema names no price item.
int32_t PriceItem(const Pricing& pricing, const std::string& strSchema) {
  int32_t id = 0;
  const char* end = strSchema.data() + strSchema.size();
  const auto [at, ec] = std::from_chars(strSchema.data(), end, id);
  if (ec != std::errc() || at != end || !pricing.IsPricingField(id)) return 0;
  return id;
}

// A plain decimal text: an optional minus, digits and at most one point among them.
double PlainAmount(const std::string& strAmount) {
  size_t digits = 0, points = 0;
  for (size_t i = 0; i < strAmount.size(); ++i) {
    const char c = strAmount[i];
    if (std::isdigit(static_cast<unsigned char>(c))) ++digits;
    else if (c == '.') ++points;
    else if (!(c == '-' && i == 0)) Raise(RuntimeError::TypeMismatch);
  }
  if (digits == 0 || points > 1) Raise(RuntimeError::TypeMismatch);
  double amount = 0;
  std::from_chars(strAmount.data(), strAmount.data() + strAmount.size(), amount);
  return amount;
}

}  // namespace

std::string Search::PriceBoundToStored(const std::string& strSchema,
                                       const std::string& strAmount) {
  return WithHandler("PriceBoundToStored", [&] {
    const Pricing& pricing = PricingOf(*m);
    const int32_t id = PriceItem(pricing, strSchema);
    if (id == 0) return strAmount;
    const double amount = PlainAmount(strAmount);
    const std::string stored = DetermineFromCurrencyType(*m, id);
    const std::string primary = pricing.GetPrimaryCurrencyCode();
    if (stored == primary) return strAmount;
    return DoubleToText(pricing.ConvertPrice(amount, primary, stored));
  });
}

std::string Search::FormatPriceBound(const std::string& strSchema, const std::string& strAmount) {
  return WithHandler("FormatPriceBound", [&] {
    const Pricing& pricing = PricingOf(*m);
    const int32_t id = PriceItem(pricing, strSchema);
    if (id == 0) return strAmount;
    const double amount = PlainAmount(strAmount);
    const std::string primary = pricing.GetPrimaryCurrencyCode();
    const double shown = pricing.ConvertPrice(amount, DetermineFromCurrencyType(*m, id), primary);
    return FormatSbFValue(*m, shown, true, primary, -1);
  });
}

std::string Search::FormatAmount(const std::string& strAmount, const std::string& strCurrencyCode) {
  return WithHandler("FormatAmount", [&] {
    return PricingOf(*m).FormatAllPrices(PlainAmount(strAmount), strCurrencyCode, m->m_lLanguageId);
  });
}

std::vector<Search::Choice> Search::Choices() const {
  std::vector<Choice> choices;
  for (const auto& selection : SelectionsOf(*m).Items()) {
    Choice choice;
    choice.range = selection->IsControl_MinMax();
    choice.schema = selection->SchemaId();
    choice.location = selection->SchemaLocation();
    choice.schemaValue = selection->SchemaValue();
    if (choice.range) {
      choice.min = selection->MinValue();
      choice.max = selection->MaxValue();
    } else {
      choice.value = selection->ValueSelected();
    }
    choices.push_back(std::move(choice));
  }
  return choices;
}

std::vector<Search::EitherOrMark> Search::EitherOrMarks() const {
  std::vector<EitherOrMark> marks;
  for (const Criterion& marked : m->m_colEitherOr) marks.push_back({marked.schema, marked.location});
  return marks;
}

}  // namespace mirel_SbF
