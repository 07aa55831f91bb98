// The request check both hosts share, on the sample databases: what it refuses and the
// words it uses, and price ranges picked in three currencies, counted against SQL of
// this test's own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Json.h"
#include "Request.h"
#include "support/SampleData.h"

namespace {

using sbf_host::Selection;

sbf_host::Settings Sample(int32_t language = 1, const std::string& currencies = "USD") {
  return {mirel_test::SampleConnection(), "specs", "prj", language, currencies, false, {}, {}, {}, {}};
}

Selection Pick(const std::string& schema, const std::string& value) {
  return {Selection::Value, schema, "0", "", value, "", ""};
}

Selection Range(const std::string& schema, const std::string& min, const std::string& max) {
  return {Selection::Range, schema, "0", "", "", min, max};
}

// The message of the RequestError `call` raises; "" when it raises none.
std::string Refusal(const std::function<void()>& call) {
  try {
    call();
  } catch (const sbf_host::RequestError& e) {
    return e.what();
  }
  return "";
}

TEST(HostCheck, RefusesWhatTheProjectDoesNotHaveAndSaysWhatItHas) {
  const sbf_host::Catalog catalog = sbf_host::LoadCatalog(Sample());
  auto check = [&](const Selection& s) { return [&catalog, s] { sbf_host::CheckSelection(catalog, s); }; };
  auto configure = [](std::function<void(sbf_host::Settings&)> set) {
    return [set] {
      sbf_host::Settings settings = Sample();
      set(settings);
      mirel_SbF::Search search;
      sbf_host::Configure(settings, sbf_host::LoadCatalog(settings), search);
    };
  };
  struct Case {
    std::function<void()> call;
    const char* message;  // a part of it
  } cases[] = {
      {[] { sbf_host::LoadCatalog(Sample(8)); },
       "no texts in language 8; it has 1 (English (United Kingdom)), 3 (German), 5 (French) and 7"},
      {[] { sbf_host::LoadCatalog(Sample(1, "EUR")); }, "prices are stored in USD, which must be among the currencies"},
      {check(Pick("7401", "Europe")), "\"Europe\" is the text shown; the value of \"Europe\" in item 7401 at location 0 is EU"},
      {check(Pick("7401", "XX")), "\"XX\" is not a value of item 7401 at location 0 (the values are EU, JP and US)"},
      {check(Pick("9999", "EU")), "no criteria row has item 9999 at location 0"},
      {check(Pick("", "EU")), "a selection needs its item"},
      {check(Pick("1104", "2000")), "is a range"},
      {configure([](auto& s) { s.make = "99"; }), "no vehicle has code \"99\" of item 111 (the codes are 01, 02"},
  };
  for (const auto& c : cases) {
    const std::string message = Refusal(c.call);
    EXPECT_NE(message.find(c.message), std::string::npos) << "\"" << message << "\"";
  }
  // What people type is accepted: a category in any case or as its heading in the language.
  EXPECT_EQ(sbf_host::ResolveCategory(catalog, "general"), "General");
  EXPECT_EQ(sbf_host::ResolveCategory(sbf_host::LoadCatalog(Sample(3)), "Motor"), "Engine");
  EXPECT_EQ(Refusal(check(Range("135", "100", "100"))), "");
}

TEST(HostCheck, PriceRangesPickedInThreeCurrenciesCountAsTheStoredPrices) {
  for (const std::string currency : {"EUR", "JPY", "USD"}) {
    const sbf_host::Settings settings = Sample(1, currency == "USD" ? "USD" : currency + ",USD");
    const sbf_host::Catalog catalog = sbf_host::LoadCatalog(settings);
    const sbf_host::Row* price = nullptr;
    for (const auto& row : catalog.rows)
      if (row.schema == "902" && row.range) price = &row;
    ASSERT_NE(price, nullptr);
    ASSERT_GT(price->values.size(), 6u);
    // Two rungs of the ladder, as a user picks them: amounts of the primary currency.
    const Selection picked = Range("902", price->values[2].data, price->values[6].data);
    mirel_SbF::Search search;
    sbf_host::Configure(settings, catalog, search);
    sbf_host::CheckSelection(catalog, picked);
    sbf_host::Apply(search, picked);
    // The stored prices are USD: the bounds converted through the euro rates.
    const std::string rate = "(select conversion from prj.currency_symbol where code = 'USD') / "
                             "(select conversion from prj.currency_symbol where code = '" + currency + "')";
    const int expected = mirel_test::SampleCount({{902, "cast(e.data_value as real) between " + picked.min + " * " +
                                                            rate + " - 0.005 and " + picked.max + " * " + rate + " + 0.005"}});
    EXPECT_GT(expected, 0) << currency;
    EXPECT_EQ(search.GetNumberOfMatchingVehicles(), expected) << currency << " " << picked.min << " to " << picked.max;

    // Shown again in the current currency, the bounds are the rungs picked, marked in the ladder.
    search.DoSearch(false, "General", true);
    std::vector<sbf_host::Row> rows = sbf_host::ReadRows(search);
    sbf_host::MarkPicks(search, rows, sbf_host::SplitState(search.CurrentState()));
    for (const auto& row : rows) {
      if (row.schema != "902") continue;
      std::vector<std::string> marked;
      for (const auto& v : row.values)
        if (v.selected) marked.push_back(v.data);
      EXPECT_EQ(marked, (std::vector<std::string>{picked.min, picked.max})) << currency;
      const Selection stored = sbf_host::SplitState(search.CurrentState()).at(0);
      EXPECT_EQ(sbf_host::BoundText(search, row, stored.min), price->values[2].text) << currency;
    }
  }
}

TEST(HostState, SplitsAndJoinsWholeSelectionsOnly) {
  const std::string state = "2~7401~0~EU~EU~~1~135~0~~100~!!";
  const std::vector<Selection> selections = sbf_host::SplitState(state);
  ASSERT_EQ(selections.size(), 2u);
  EXPECT_EQ(selections[0].value, "EU");
  EXPECT_EQ(selections[1].kind, Selection::Range);
  EXPECT_EQ(selections[1].max, sbf_host::kNoBound);
  EXPECT_EQ(sbf_host::JoinState(selections), state);
  EXPECT_TRUE(sbf_host::SplitState("").empty());
  EXPECT_NE(Refusal([] { sbf_host::SplitState("2~7401~0~~EU"); }).find("has 5 fields"), std::string::npos);
}

TEST(HostJson, TextsThatAreNotUtf8StillGiveValidJson) {
  // A request or the data may hold any bytes; the output stays UTF-8 (U+FFFD for each).
  EXPECT_EQ(sbf_host::Dump({{"cat", "\xFF" "a\xC3"}}), "{\"cat\":\"\xEF\xBF\xBD" "a\xEF\xBF\xBD\"}\n");
  EXPECT_EQ(sbf_host::Dump(sbf_host::ToJson(mirel_SbF::Variant(1.0 / 0.0))), "null\n");
}

}  // namespace
