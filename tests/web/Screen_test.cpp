// The web host's request -> screen logic on the sample databases, without a socket:
// changes applied on top of restored states (either-or marks and the first screen's among
// them), settings carried through, texts of a bad state escaped, URL encoding, the errors a
// bad request or state gets, and counts in the page and the JSON. The counts against the
// data, the page in use and its links: browser.mjs.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <httplib.h>

#include "Render.h"
#include "Screen.h"
#include "Text.h"
#include "support/SampleData.h"

namespace {

using sbf_web::Change;
using sbf_web::RenderHtml;
using sbf_web::RequestError;
using sbf_web::Screen;
using sbf_web::UrlEncode;

// A query text as the server reads it: cpp-httplib's parameters, decoded by it.
sbf_web::Request Parse(const std::string& query) {
  httplib::Request request;
  httplib::detail::parse_query_text(query, request.params);
  return sbf_web::ParseRequest(request);
}

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
// The first screen's state: the rows whose values exclude each other either-or (not air
// conditioning, a row of one value, nor the ranges).
const std::string kFirst =
    "either-or~7401~0~~~~either-or~117~0~~~~either-or~111~0~~~~either-or~1102~0~~~~either-or~7402~0~~~~"
    "either-or~1101~0~~~~either-or~7404~0~~~";

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
      {"1~135~0~~70~100~" + kEurope, "op=clear", kFirst},
      // Check boxes: the row's offered values replaced, others kept.
      {kEurope + "~2~7402~0~I~I~", "op=set&schema=7401&loc=0&off=EU&off=JP&value=JP", "2~7402~0~I~I~~2~7401~0~JP~JP~"},
      {"2~7401~0~US~US~", "op=set&schema=7401&loc=0&off=EU&value=EU", "2~7401~0~US~US~~2~7401~0~EU~EU~"},
      // A kept price bound goes back as stored; a picked one is converted into dollars.
      {"1~902~0~~4443.03797468355~!!", "cur=JPY%2CUSD&op=range&schema=902&loc=0&min=%3D4443.03797468355&max=",
       "1~902~0~~4443.03797468355~!!"},
      {"", "cur=EUR%2CUSD&op=min&schema=902&loc=0&value=5000", "1~902~0~~5400~!!"},
      // An amount typed in the page's language wins over the picker.
      {"", "lang=3&cur=EUR&op=range&schema=902&loc=0&min=4000&tmin=5.000&max=", "1~902~0~~5400~!!"},
      // The either-or mark: set and cleared by a change of its own, kept by the others.
      {kEurope, "op=either&schema=7401&loc=0&value=1", kMarkedEurope},
      {kMarkedEurope, "op=either&schema=7401&loc=0&value=0", kEurope},
      {kMarkedEurope, "op=clear", kFirst},  // back to the first screen, its marks included
      {kMarkedEurope + "~2~7402~0~I~I~", "op=unpick&schema=7402&loc=0&value=I", kMarkedEurope},  // marks stay
  };
  for (const auto& c : cases) {
    const Screen screen = Build("state=" + UrlEncode(c.state) + "&" + c.change);
    EXPECT_EQ(screen.params.state, c.expected) << c.state << " + " << c.change;
    EXPECT_TRUE(screen.changed) << c.change;
  }
  // Without a state, the first screen's; clearing all goes back to it.
  EXPECT_EQ(Build("").params.state, kFirst);
  EXPECT_EQ(Build("op=pick&schema=7401&loc=0&value=EU").params.state, kFirst + "~" + kEurope);
  EXPECT_EQ(Build("state=" + kEurope + "&op=clear").params.state, kFirst);
}

// One meaning of "standard equipment only": a value's count is the count its pick gives.
TEST(WebScreen, StandardOnlyCountsWhatPickingGives) {
  const Screen body = Build("cat=Body&std=1");
  const auto air = std::find_if(body.rows.begin(), body.rows.end(), [](const auto& r) { return r.schema == "7403"; });
  ASSERT_NE(air, body.rows.end());
  ASSERT_EQ(air->values.size(), 1u);
  EXPECT_GT(air->values[0].count, 0);
  EXPECT_EQ(Build("state=" + body.params.state + "&std=1&op=pick&schema=7403&loc=0&value=Y").count, air->values[0].count);
  // A row of one value has no either-or box.
  EXPECT_EQ(RenderHtml(body).find("id=\"eo-row-100-1\""), std::string::npos);
}

TEST(WebScreen, SettingsCarryThrough) {
  const Screen screen = Build("cat=Body&lang=3&cur=EUR&std=1&incl=old&sort=-price&limit=20&offset=20");
  EXPECT_TRUE(screen.params.standardOnly);
  EXPECT_TRUE(screen.params.includeOld);
  EXPECT_EQ(screen.params.currencies, "EUR,USD");  // the stored currency added, every price converts from it
  // Columns named for the language, codes by their text, prices in today's German style in
  // the first currency and the stored one; the second page, by price downwards.
  EXPECT_EQ(screen.vehicles.titles,
            (std::vector<std::string>{"vehicle_id", "Name", "Marke", "Modell", "Modelljahr", "Herkunft", "Preis"}));
  EXPECT_EQ(screen.vehicles.offset, 20u);
  ASSERT_EQ(screen.vehicles.texts.size(), 20u);
  for (const auto& vehicle : screen.vehicles.texts) {
    EXPECT_TRUE(vehicle[5] == "Europa" || vehicle[5] == "Japan" || vehicle[5] == "USA") << vehicle[5];
    EXPECT_NE(vehicle[6].find("\u00a0\u20ac ("), std::string::npos) << vehicle[6];
  }
  EXPECT_GE(screen.vehicles.values.front()[6].AsDouble(), screen.vehicles.values.back()[6].AsDouble());
  // The old models shown: the count has them, the control names the other kinds still left out.
  const Screen without = Build("cat=Body&lang=3&cur=EUR&std=1");
  EXPECT_EQ(screen.count, without.count + without.hidden.old);
  EXPECT_EQ(screen.hidden.old, 0);
  const std::string html = RenderHtml(screen);
  EXPECT_NE(html.find("id=\"incl-old\" name=\"incl\" value=\"old\" checked"), std::string::npos);
  EXPECT_NE(html.find(">Deutsch</option>"), std::string::npos);  // languages in their own names
  EXPECT_NE(html.find(">Fran\u00e7ais</option>"), std::string::npos);
  // Windows XP's style on request.
  const Screen windows = Build("cat=Body&lang=3&cur=EUR&fmt=windows&sort=-price");
  EXPECT_EQ(windows.vehicles.texts.front()[6].rfind("\u20ac", 0), 0u) << windows.vehicles.texts.front()[6];
}

TEST(WebScreen, APriceRangeKeepsItsVehiclesAndShowsItsBoundsInEveryCurrency) {
  // Picked on the yen ladder, stored in dollars (the sample's rates: JPY 158, USD 1.08 per euro).
  const Screen yen = Build("cur=JPY%2CUSD&fmt=windows&op=range&schema=902&loc=0&min=1000000&max=1500000");
  ASSERT_EQ(yen.choices.size(), 1u);
  EXPECT_EQ(yen.choices[0].text, "from \u00a51,000,000.00 ($6,835.44) to \u00a51,500,000.00 ($10,253.16)");
  // Today's style: the yen without decimals, as the currency table says.
  EXPECT_EQ(Build("state=" + UrlEncode(yen.params.state) + "&cur=JPY").choices[0].text,
            "from \u00a51,000,000 ($6,835.44) to \u00a51,500,000 ($10,253.16)");
  // Another currency: the same vehicles, the bounds shown in it.
  const Screen euro = Build("state=" + UrlEncode(yen.params.state) + "&cur=EUR%2CUSD&fmt=windows");
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

TEST(WebScreen, TextsOfABadStateAreEscapedAndItsPageLeadsBack) {
  // A value no criteria row has (as a hand-made or foreign state may hold) is refused with
  // its text; the page escapes it and offers the screen without the state.
  const std::string state = "2~7401~0~~<b>\"x'&amp;~";
  const RequestError e = ErrorOf("lang=3&state=" + UrlEncode(state));
  EXPECT_TRUE(e.badState);
  const std::string html = sbf_web::RenderHtmlError(e);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;&quot;x&#39;&amp;amp;"), std::string::npos);
  EXPECT_NE(html.find("<title>Die Anfrage konnte nicht beantwortet werden</title>"), std::string::npos);
  const std::vector<std::string> links = Links(html);
  ASSERT_FALSE(links.empty());
  for (const auto& link : links) {
    const sbf_web::Request request = Parse(link);
    EXPECT_FALSE(request.params.hasState) << link;
    EXPECT_NO_THROW(Build(request)) << link;
  }
}

// --- URLs -------------------------------------------------------------------------------

TEST(WebText, UrlEncodeKeepsOnlyUnreservedCharactersAndTheServerReadsItBack) {
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
    EXPECT_EQ(httplib::detail::decode_url(c.encoded, true), c.plain) << c.encoded;
  }
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Parse("cat=" + UrlEncode(all) + "&op=clear").params.category, all);
  // A blank as HTML forms send it, lower-case hex, repeated values of a row's check boxes.
  const sbf_web::Request set = Parse("op=set&schema=7401&loc=0&off=EU&off=JP&value=a+b%7e%7E&value=JP&utm_source=x");
  EXPECT_EQ(set.change.values, (std::vector<std::string>{"a b~~", "JP"}));
  EXPECT_EQ(set.change.offered, (std::vector<std::string>{"EU", "JP", "a b~~"}));
}

// --- bad requests -----------------------------------------------------------------------

TEST(WebScreen, BadRequestsGetTheErrorWithNumberSourceAndDescription) {
  struct Case {
    std::string query;
    int32_t number;  // 0: the host's own check, not the library
    std::string source;
    std::string description;  // a part of it
    size_t ways;              // screens that keep the choices
    bool badState = false;    // the page offers the screen without the state
  };
  const Case cases[] = {
      // A state is checked as the same choices made one by one, with the same words (host_test).
      {"state=2~7401~0~~EU", 0, "sbf-web", "the state text has 5 fields", 0, true},
      {"state=2~7401~0~~Europe~", 0, "sbf-web", "\"Europe\" is the name shown for item 7401 at location 0; its code is EU",
       0, true},
      {"state=2~9999~0~~EU~", 0, "sbf-web", "no criteria row has item 9999 at location 0", 0, true},
      {"state=1~135~0~~100~70", 0, "sbf-web", "the lower bound 100 of item 135 at location 0 is above the upper bound 70",
       0, true},
      {"state=1~135~0~~50~", 0, "sbf-web", "the upper bound of item 135 at location 0 is empty", 0, true},
      {"state=either-or~135~0~~~", 0, "sbf-web", "item 135 at location 0 is a range", 0, true},
      // The check sbf shares (host_test, sbf_test), with the ways out it offers.
      {"lang=2", 0, "sbf-web", "no texts in language 2; it has 1 (English (United Kingdom)), 3", 4},
      {"cur=usd", 0, "sbf-web", "unknown currency \"usd\" (codes are upper case: USD)", 1},
      {"op=min&schema=135&loc=0&value=abc", 0, "sbf-web", "the lower bound \"abc\" of item 135", 0},
      {"op=range&schema=135&loc=0&min=300&max=100", 0, "sbf-web", "is above the upper bound 100", 0},
      // A kept bound counts too: "to 50" after "from 70".
      {"state=1~135~0~~70~!!&op=range&schema=135&loc=0&min=%3D70&max=50", 0, "sbf-web",
       "the lower bound 70 of item 135 at location 0 is above the upper bound 50", 0},
      {"op=range&schema=902&loc=0&tmin=cheap", 0, "sbf-web", "the lower bound \"cheap\" is not an amount", 0},
      // The request itself.
      {"sort=vehicle_id", 0, "sbf-web", "cannot sort by \"vehicle_id\"", 0},
      {"limit=0", 0, "sbf-web", "limit is a number of vehicles (1 or more)", 0},
      {"incl=everything", 0, "sbf-web", "incl takes advanced, old and built", 0},
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
    EXPECT_EQ(e.badState, c.badState) << c.query;
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
// Nothing matches: each choice says how many vehicles there are without it.
TEST(WebCounts, ZeroResultsNameWhatEachChoiceCosts) {
  const Screen none = Build("state=" + kEurope + "~2~7401~0~JP~JP~~" + kPower);  // Europe and Japan, all of them
  ASSERT_EQ(none.count, 0);
  ASSERT_EQ(none.choices.size(), 3u);
  EXPECT_EQ(none.choices[0].without, Build("state=2~7401~0~JP~JP~~" + kPower).count);
  EXPECT_EQ(none.choices[2].without, 0);
  EXPECT_NE(RenderHtml(none).find("id=\"zero\""), std::string::npos);
  EXPECT_EQ(Build("state=" + kEurope).choices[0].without, -1);
}

TEST(WebCounts, CountsShowOnlyWhenCounted) {
  EXPECT_NE(RenderHtml(Build("state=" + kEurope)).find("class=\"count\""), std::string::npos);
  const Screen plain = Build("state=" + kEurope, false);
  const std::string plainHtml = RenderHtml(plain), plainJson = sbf_web::RenderJson(plain);
  for (const char* part : {"class=\"count\"", "\" disabled"}) EXPECT_EQ(plainHtml.find(part), std::string::npos) << part;
  for (const char* part : {"\"count\":0", "\"bands\""}) EXPECT_EQ(plainJson.find(part), std::string::npos) << part;
}

}  // namespace
