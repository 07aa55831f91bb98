// The web host's request -> screen logic on the sample databases, without a socket:
// changes applied on top of restored states (either-or marks among them), texts from the
// state escaped in its links, URL encoding, the errors a bad request gets, and counts in the
// page and the JSON. The counts against the data, the page in use and its links: browser.mjs.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "Render.h"
#include "Screen.h"
#include "Text.h"
#include "support/SampleData.h"

namespace {

using sbf_web::Change;
using sbf_web::RenderHtml;
using sbf_web::RequestError;
using sbf_web::Screen;
using sbf_web::UrlDecode;
using sbf_web::UrlEncode;

sbf_web::Request Parse(const std::string& query) { return sbf_web::ParseRequest(sbf_web::ParseQuery(query)); }

Screen Build(const sbf_web::Request& request, bool counts = true) {
  sbf_web::Config config;
  config.connection = mirel_test::SampleConnection();
  config.counts = counts;
  return sbf_web::BuildScreen(config, request);
}

Screen Build(const std::string& query, bool counts = true) { return Build(Parse(query), counts); }

// The error a request gets; fails the test when it gets a screen.
RequestError ErrorOf(const std::string& query) {
  try {
    Build(query);
  } catch (const RequestError& e) {
    return e;
  }
  ADD_FAILURE() << "no error for " << query;
  return RequestError("none");
}

// The links of a rendered page, as the query texts a browser would send.
std::vector<std::string> Links(const std::string& html) {
  std::vector<std::string> links;
  const std::regex href("(?:href|data-toggle)=\"/\\?([^\"]*)\"");
  for (std::sregex_iterator it(html.begin(), html.end(), href), end; it != end; ++it) {
    // Attribute values are HTML-escaped; the query texts hold "&" only.
    const std::string query = std::regex_replace((*it)[1].str(), std::regex("&amp;"), "&");
    EXPECT_EQ(query.find_first_of("<>\"' "), std::string::npos) << query;
    links.push_back(query);
  }
  return links;
}

const std::string kEurope = "2~7401~0~EU~EU~";
const std::string kPower = "1~135~0~~100~!!";
const std::string kMarked = "either-or~7401~0~~~";
const std::string kMarkedEurope = kMarked + "~" + kEurope;

// --- changes on top of a restored state -------------------------------------------------

TEST(WebScreen, EachChangeIsAppliedOnTopOfTheRestoredState) {
  struct Case {
    std::string state, change, expected;
  } cases[] = {
      {"", "op=pick&schema=7401&loc=0&value=EU", kEurope},
      {kEurope, "op=pick&schema=7401&loc=0&value=EU", kEurope},  // already picked
      {kEurope + "~2~7402~0~I~I~", "op=unpick&schema=7401&loc=0&value=EU", "2~7402~0~I~I~"},
      // A bound joins or replaces the range's other bound; the last one cleared drops it.
      {"1~135~0~~!!~150", "op=min&schema=135&loc=0&sv=&value=100", "1~135~0~~100~150"},
      {"1~135~0~~100~150~" + kEurope, "op=max&schema=135&loc=0&value=200", kEurope + "~1~135~0~~100~200"},
      {"1~135~0~~100~150", "op=min&schema=135&loc=0&value=", "1~135~0~~!!~150"},
      {kPower, "op=min&schema=135&loc=0&value=", ""},
      {"1~135~0~~70~100~" + kEurope, "op=clear", ""},
      // Check boxes: the row's offered values replaced, others kept.
      {kEurope + "~2~7402~0~I~I~", "op=set&schema=7401&loc=0&off=EU&off=JP&value=JP", "2~7402~0~I~I~~2~7401~0~JP~JP~"},
      {"2~7401~0~US~US~", "op=set&schema=7401&loc=0&off=EU&value=EU", "2~7401~0~US~US~~2~7401~0~EU~EU~"},
      // A kept price bound goes back as stored; a picked one is converted into dollars.
      {"1~902~0~~4443.03797468355~!!", "cur=JPY%2CUSD&op=range&schema=902&loc=0&min=%3D4443.03797468355&max=",
       "1~902~0~~4443.03797468355~!!"},
      {"", "cur=EUR%2CUSD&op=min&schema=902&loc=0&value=5000", "1~902~0~~5400~!!"},
      // The either-or mark: set and cleared by a change of its own, kept by the others.
      {kEurope, "op=either&schema=7401&loc=0&value=1", kMarkedEurope},
      {kMarkedEurope, "op=either&schema=7401&loc=0&value=0", kEurope},
      {kMarkedEurope, "op=clear", kMarked},
  };
  for (const auto& c : cases) {
    const Screen screen = Build("state=" + UrlEncode(c.state) + "&" + c.change);
    EXPECT_EQ(screen.params.state, c.expected) << c.state << " + " << c.change;
    EXPECT_TRUE(screen.changed) << c.change;
  }
}

TEST(WebScreen, StandardOnlyLanguageAndCurrenciesCarryThrough) {
  const Screen screen = Build("cat=Body&lang=3&cur=EUR%2CUSD&std=1");
  EXPECT_TRUE(screen.params.standardOnly);
  // Columns named for the language, codes by their text, prices in the first currency and
  // the stored one. (The sort by price, both ways and with the vehicles without a price
  // last: browser.mjs.)
  EXPECT_EQ(screen.columnTitles,
            (std::vector<std::string>{"vehicle_id", "Name", "Marke", "Modell", "Modelljahr", "Herkunft", "Preis"}));
  ASSERT_FALSE(screen.vehicles.empty());
  for (const auto& vehicle : screen.vehicles) {
    EXPECT_TRUE(vehicle[5] == "Europa" || vehicle[5] == "Japan" || vehicle[5] == "USA") << vehicle[5];
    EXPECT_TRUE(vehicle[6].empty() || (vehicle[6].rfind("\u20ac", 0) == 0 && vehicle[6].find(" ($") != std::string::npos))
        << vehicle[6];
  }
}

TEST(WebScreen, APriceRangeKeepsItsVehiclesAndShowsItsBoundsInEveryCurrency) {
  // Picked on the yen ladder, stored in dollars (the sample's rates: JPY 158, USD 1.08 per euro).
  const Screen yen = Build("cur=JPY%2CUSD&op=range&schema=902&loc=0&min=1000000&max=1500000");
  ASSERT_EQ(yen.choices.size(), 1u);
  EXPECT_EQ(yen.choices[0].text, "from \u00a51,000,000.00 ($6,835.44) to \u00a51,500,000.00 ($10,253.16)");
  // Another currency: the same vehicles, the bounds shown in it.
  const Screen euro = Build("state=" + UrlEncode(yen.params.state) + "&cur=EUR%2CUSD");
  EXPECT_GT(euro.count, 0);
  EXPECT_EQ(euro.count, yen.count);
  EXPECT_EQ(euro.choices[0].text, "from \u20ac6,329.11 ($6,835.44) to \u20ac9,493.67 ($10,253.16)");
  const auto price = std::find_if(euro.rows.begin(), euro.rows.end(), [](const auto& r) { return r.schema == "902"; });
  ASSERT_NE(price, euro.rows.end());
  EXPECT_EQ(price->minText, "\u20ac6,329.11 ($6,835.44)");
  // The form sends the kept bound back as stored: nothing drifts.
  EXPECT_NE(RenderHtml(euro).find("<option value=\"=" + price->min + "\" selected>\u20ac6,329.11 ($6,835.44)</option>"),
            std::string::npos);
}

TEST(WebScreen, TextsFromTheStateAreEscapedAndRoundTripThroughTheLinks) {
  // A value no criteria row has (as a hand-made or foreign state may hold) is shown as is.
  const std::string state = "2~7401~0~~<b>\"x'&amp;~";
  const Screen screen = Build("state=" + UrlEncode(state));
  EXPECT_EQ(screen.count, 0);
  ASSERT_EQ(screen.choices.size(), 1u);
  const std::string html = RenderHtml(screen);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;&quot;x&#39;&amp;amp;"), std::string::npos);
  int restoring = 0;
  for (const auto& link : Links(html)) {
    const sbf_web::Request request = Parse(link);
    if (request.change.kind == Change::None) {
      EXPECT_EQ(request.params.state, state) << link;
      ++restoring;
    }
  }
  EXPECT_GT(restoring, 0);
}

// --- URLs -------------------------------------------------------------------------------

TEST(WebText, UrlEncodeKeepsOnlyUnreservedCharactersAndUrlDecodeReadsItBack) {
  const struct {
    std::string plain, encoded;
  } cases[] = {
      {"2~7401~0~~EU~", "2~7401~0~~EU~"},  // state texts stay readable
      {"a b&c=d/e?f#g+h", "a%20b%26c%3Dd%2Fe%3Ff%23g%2Bh"},
      {"Année", "Ann%C3%A9e"},
      {std::string("\0\x7f", 2), "%00%7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlEncode(c.plain), c.encoded) << c.plain;
    EXPECT_EQ(UrlDecode(c.encoded), c.plain) << c.encoded;
  }
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
  EXPECT_EQ(UrlDecode("a+b%7e%7E"), "a b~~");  // a blank as HTML forms send it; lower-case hex
  for (const char* bad : {"%", "%4", "%G1", "abc%2", "%%41"})
    EXPECT_THROW(UrlDecode(bad), std::invalid_argument) << bad;
}

// --- bad requests -----------------------------------------------------------------------

TEST(WebScreen, BadRequestsGetTheErrorWithNumberSourceAndDescription) {
  struct Case {
    std::string query;
    int32_t number;  // 0: the host's own check, not the library
    std::string source;
    std::string description;  // a part of it
    size_t ways;              // screens that keep the choices
  };
  const Case cases[] = {
      {"state=2~7401~0~~EU", 9, "mirel_SbF.ParseState", "Subscript out of range", 0},
      // The check sbf shares (host_test, sbf_test), with the ways out it offers.
      {"lang=2", 0, "sbf-web", "no texts in language 2; it has 1 (English (United Kingdom)), 3", 4},
      {"cur=usd", 0, "sbf-web", "unknown currency \"usd\" (codes are upper case: USD)", 1},
      {"op=min&schema=135&loc=0&value=abc", 0, "sbf-web", "the lower bound \"abc\" of item 135", 0},
      {"op=range&schema=135&loc=0&min=300&max=100", 0, "sbf-web", "is above the upper bound 100", 0},
      // The request itself.
      {"sort=vehicle_id", 0, "sbf-web", "cannot sort by \"vehicle_id\"", 0},
      {"op=explode", 0, "sbf-web", "unknown op \"explode\"", 0},
      {"op=pick&schema=7401&loc=0&value=EU&value=JP", 0, "sbf-web", "more than once", 0},
      {"op=either&schema=7401&loc=0&value=yes", 0, "sbf-web", "takes value 1 (either-or) or 0", 0},
  };
  for (const auto& c : cases) {
    const RequestError e = ErrorOf(c.query);
    EXPECT_EQ(e.status, 400) << c.query;
    EXPECT_EQ(e.library ? e.number : 0, c.number) << c.query << ": " << e.description;
    EXPECT_EQ(e.source, c.source) << c.query << ": " << e.description;
    EXPECT_NE(e.description.find(c.description), std::string::npos) << c.query << ": " << e.description;
    EXPECT_EQ(e.badState, c.source == "mirel_SbF.ParseState") << c.query;
    ASSERT_EQ(e.ways.size(), c.ways) << c.query;
    for (const auto& way : e.ways) EXPECT_NO_THROW(Build(sbf_web::Request{way.params, {}})) << way.text;

    const std::string html = sbf_web::RenderHtmlError(e);
    EXPECT_NE(html.find(sbf_web::HtmlEscape(e.description)), std::string::npos) << c.query;
    EXPECT_NE(html.find("id=\"error-source\">" + sbf_web::HtmlEscape(e.source) + "<"), std::string::npos);
    const std::string json = sbf_web::RenderJsonError(e);
    EXPECT_NE(json.find("\"number\":" + (e.library ? std::to_string(c.number) : std::string("null"))), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"source\":\"" + c.source + "\""), std::string::npos) << json;
  }
  // Markup of a request comes back escaped in the JSON body too.
  const std::string json = sbf_web::RenderJsonError(ErrorOf("cat=%3Czz%3E"));
  EXPECT_EQ(json.find_first_of("<>&"), std::string::npos) << json;
  EXPECT_NE(json.find("\\u003czz\\u003e"), std::string::npos) << json;
}

// The page and the JSON show what the library counted (the numbers are the library's, tested
// with it), not without counting; the greyed and the kept values, the either-or box and the
// counts against the data: browser.mjs.
TEST(WebCounts, CountsShowOnlyWhenCounted) {
  EXPECT_NE(RenderHtml(Build("state=" + kEurope)).find("class=\"count\""), std::string::npos);
  const Screen plain = Build("state=" + kEurope, false);
  const std::string plainHtml = RenderHtml(plain), plainJson = sbf_web::RenderJson(plain);
  for (const char* part : {"class=\"count\"", "disabled"}) EXPECT_EQ(plainHtml.find(part), std::string::npos) << part;
  for (const char* part : {"\"count\":0", "\"bands\""}) EXPECT_EQ(plainJson.find(part), std::string::npos) << part;
}

}  // namespace
