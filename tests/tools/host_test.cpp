// The request check both hosts share, on the sample databases: what it refuses and the
// words it uses (a state text split into whole selections only among them); JSON of any
// bytes. (Codes of the settings and ranges of one value: sbf_test; price ranges picked in
// other currencies: sbf_test and Screen_test.)
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
  struct Case {
    std::function<void()> call;
    const char* message;  // a part of it
  } cases[] = {
      {[] { sbf_host::LoadCatalog(Sample(1, "EUR")); }, "prices are stored in USD, which must be among the currencies"},
      {check(Pick("7401", "Europe")), "\"Europe\" is the text shown; the value of \"Europe\" in item 7401 at location 0 is EU"},
      {check(Pick("7401", "XX")), "\"XX\" is not a value of item 7401 at location 0 (the values are EU, JP and US)"},
      {check(Pick("9999", "EU")), "no criteria row has item 9999 at location 0"},
      {check(Pick("1104", "2000")), "is a range"},
      {[] { sbf_host::SplitState("2~7401~0~~EU"); }, "has 5 fields"},
  };
  for (const auto& c : cases) {
    const std::string message = Refusal(c.call);
    EXPECT_NE(message.find(c.message), std::string::npos) << "\"" << message << "\"";
  }
}

TEST(HostJson, TextsThatAreNotUtf8StillGiveValidJson) {
  // A request or the data may hold any bytes; the output stays UTF-8 (U+FFFD for each).
  EXPECT_EQ(sbf_host::Dump({{"cat", "\xFF" "a\xC3"}}), "{\"cat\":\"\xEF\xBF\xBD" "a\xEF\xBF\xBD\"}\n");
  EXPECT_EQ(sbf_host::Dump(sbf_host::ToJson(mirel_SbF::Variant(1.0 / 0.0))), "null\n");
}

}  // namespace
