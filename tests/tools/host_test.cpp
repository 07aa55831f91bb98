// The request check both hosts share, on the sample databases: what it refuses and the
// words it uses, a state text checked as its choices would be among them; the rows either-or
// by default; amounts typed in a language; JSON of any bytes. (Codes of the settings and
// ranges of one value: sbf_test; price ranges picked in other currencies: sbf_test and
// Screen_test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Json.h"
#include "Request.h"
#include "support/SampleData.h"

namespace {

using sbf_host::Selection;

sbf_host::Settings Sample(int32_t language = 1, const std::string& currencies = "USD") {
  sbf_host::Settings settings;
  settings.connection = mirel_test::SampleConnection();
  settings.language = language;
  settings.currencies = currencies;
  return settings;
}

Selection Pick(const std::string& schema, const std::string& value) {
  return {Selection::Value, schema, "0", "", value, "", ""};
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
  sbf_host::Settings settings = Sample();
  const sbf_host::Catalog catalog = sbf_host::LoadCatalog(settings);
  auto check = [&](const Selection& s) { return [&catalog, s] { sbf_host::CheckSelection(catalog, s); }; };
  // A state holds the same choices: refused with the same words.
  auto state = [&](const std::string& text) { return [&catalog, text] { sbf_host::CheckState(catalog, text); }; };
  struct Case {
    std::function<void()> call;
    const char* message;  // a part of it; "" for none
  } cases[] = {
      {check(Pick("7401", "Europe")), "\"Europe\" is the name shown for item 7401 at location 0; its code is EU"},
      {state("2~7401~0~~Europe~"), "\"Europe\" is the name shown for item 7401 at location 0; its code is EU"},
      {check(Pick("7401", "XX")), "\"XX\" is not a value of item 7401 at location 0 (the values are EU, JP and US)"},
      {check(Pick("9999", "EU")), "no criteria row has item 9999 at location 0"},
      {state("2~9999~0~~EU~"), "no criteria row has item 9999 at location 0"},
      {check(Pick("1104", "2000")), "is a range"},
      {check({Selection::Range, "135", "0", "", "", "100", "70"}), "the lower bound 100 of item 135 at location 0 is above"},
      {state("1~135~0~~100~70"), "the lower bound 100 of item 135 at location 0 is above"},
      {check({Selection::Min, "135", "0", "", "", "", ""}), "the lower bound of item 135 at location 0 is empty"},
      {state("1~135~0~~~100"), "the lower bound of item 135 at location 0 is empty"},
      {state("1~135~0~~+5~!!"), "the lower bound \"+5\" of item 135 at location 0 is not a number"},
      {state("either-or~9999~0~~~"), "no criteria row has item 9999 at location 0"},
      // The library reads the text: what it cannot read is named, what it reads is checked.
      {state("x~7401~0~~EU~"), "each choice begins with 1 (a range), 2 (a value) or either-or (Type mismatch)"},
      {state("70000~7401~0~~EU~"), "each choice begins with 1 (a range), 2 (a value) or either-or (Overflow)"},
      {state("either-or~74 01~0~~~"), "the state text cannot be read: Schema ID is not a whole number"},
      {state("3~7401~0~~XX~"), "\"XX\" is not a value of item 7401 at location 0"},
      {state("2~7401~0~~EU"), "the state text has 5 fields"},
      {state("garbage"), "the state text has 1 field separated"},
      // What a state may hold: "!!" for a side without a bound, marks, the empty text.
      {state("either-or~7401~0~~~~2~7401~0~EU~EU~~1~135~0~~!!~150~1~902~0~~4443.03~!!"), ""},
      {state(""), ""},
  };
  for (const auto& c : cases) {
    const std::string message = Refusal(c.call);
    if (*c.message == '\0') EXPECT_EQ(message, "");
    else EXPECT_NE(message.find(c.message), std::string::npos) << "\"" << message << "\"";
  }
  // The models no longer on sale, shown, bring their values (model years) into the catalog.
  sbf_host::Settings old = Sample();
  old.includeOld = true;
  const sbf_host::Catalog withOld = sbf_host::LoadCatalog(old);
  const std::vector<std::string> years = mirel_test::SampleColumn(
      "select distinct e.data_value from equipment e where e.schema_id = 1102 order by 1");
  ASSERT_FALSE(years.empty());
  EXPECT_EQ(Refusal([&] { sbf_host::CheckSelection(withOld, Pick("1102", years.front())); }), "") << years.front();
  // The stored currency is added where it is missing: every price converts from it.
  sbf_host::Settings euro = Sample(1, "EUR");
  sbf_host::LoadCatalog(euro);
  EXPECT_EQ(euro.currencies, "EUR,USD");
}

// The rows whose values exclude each other are either-or on the first screen: not air
// conditioning (one value), not the ranges.
TEST(HostDefaults, RowsWhoseValuesExcludeEachOtherAreEitherOr) {
  sbf_host::Settings settings = Sample();
  const sbf_host::Catalog catalog = sbf_host::LoadCatalog(settings);
  std::vector<std::string> items;
  for (const auto& c : sbf_host::ExclusiveCriteria(settings, catalog)) items.push_back(c.schema + ":" + c.location);
  EXPECT_EQ(items, (std::vector<std::string>{"7401:0", "117:0", "111:0", "1102:0", "7402:0", "1101:0", "7404:0"}));
  // One car in play with two origins: the origin row needs all its picks again.
  const std::string copy = mirel_test::MakeTempFolder("sbf_host");
  for (const char* file : {"/specs.db", "/prj.db"})
    std::filesystem::copy_file(mirel_test::SampleFolder() + file, copy + file);
  const std::string car = mirel_test::SampleVehicles({{7401, "e.data_value = 'EU'"}}).front();
  mirel_test::ExecSql(copy + "/specs.db", "insert into equipment values (" + car + ", 7401, 0, 'JP', 0)");
  settings.connection = "Provider=SQLite;Data Source=" + copy;
  const std::vector<sbf_host::Criterion> two = sbf_host::ExclusiveCriteria(settings, sbf_host::LoadCatalog(settings));
  EXPECT_EQ(std::count(two.begin(), two.end(), sbf_host::Criterion{"7401", "0"}), 0);
  EXPECT_EQ(two.size(), items.size() - 1);
}

TEST(HostAmounts, TypedInTheLanguage) {
  struct Case { const char* typed; int32_t language; const char* plain; } cases[] = {
      {"5000", 1, "5000"}, {"5,000.50", 1, "5000.5"}, {" 5000.5 ", 7, "5000.5"}, {"5.000,50", 3, "5000.5"},
      {"-12,5", 5, "-12.5"}, {"5\u202f000", 5, "5000"}, {"cheap", 1, ""}, {"5000 $", 1, ""}, {"", 3, ""},
  };
  for (const auto& c : cases) {
    std::string plain;
    const std::string refusal = Refusal([&] { plain = sbf_host::ParseAmount(c.typed, c.language, "the amount"); });
    EXPECT_EQ(plain, c.plain) << c.typed;
    EXPECT_EQ(refusal.empty(), *c.plain != '\0') << c.typed << ": " << refusal;
  }
}

TEST(HostJson, TextsThatAreNotUtf8StillGiveValidJson) {
  // A request or the data may hold any bytes; the output stays UTF-8 (U+FFFD for each).
  EXPECT_EQ(sbf_host::Dump({{"cat", "\xFF" "a\xC3"}}), "{\"cat\":\"\xEF\xBF\xBD" "a\xEF\xBF\xBD\"}\n");
  EXPECT_EQ(sbf_host::Dump(sbf_host::ToJson(mirel_SbF::Variant(1.0 / 0.0))), "null\n");
}

}  // namespace
