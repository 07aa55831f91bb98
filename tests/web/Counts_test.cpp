// The web host's counts, greyed values and either-or rows: the changes that mark a row,
// how the page and the JSON show what the library counted, and what is not offered. The
// numbers are the library's (tested with it); here only their rendering is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Render.h"
#include "Screen.h"
#include "Text.h"

#include "support/SampleData.h"

namespace {

using sbf_web::Screen;

Screen Build(const std::string& query, bool counts = true) {
  sbf_web::Config config;
  config.connection = mirel_test::SampleConnection();
  config.counts = counts;
  return sbf_web::BuildScreen(config, sbf_web::ParseRequest(sbf_web::ParseQuery(query)));
}

const char* const kMarked = "either-or~7401~0~~~";
const std::string kEurope = "2~7401~0~EU~EU~";
const std::string kMarkedEurope = std::string(kMarked) + "~" + kEurope;

std::string State(const std::string& state) { return "state=" + sbf_web::UrlEncode(state); }

TEST(WebCounts, TheEitherOrMarkIsAChangeKeptInTheState) {
  const struct {
    const char* name;
    std::string state, change, expected;
  } cases[] = {
      {"marked", kEurope, "op=either&schema=7401&loc=0&value=1", kMarkedEurope},
      {"unmarked by 0", kMarkedEurope, "op=either&schema=7401&loc=0&value=0", kEurope},
      {"unmarked by an unticked box", kMarkedEurope, "op=either&schema=7401&loc=0", kEurope},
      {"a pick keeps the mark", kMarkedEurope, "op=pick&schema=7401&loc=0&value=JP", kMarkedEurope + "~2~7401~0~JP~JP~"},
      {"an unpick keeps the mark", kMarkedEurope + "~2~7401~0~JP~JP~", "op=unpick&schema=7401&loc=0&value=EU",
       std::string(kMarked) + "~2~7401~0~JP~JP~"},
      {"a set keeps the mark", kMarkedEurope, "op=set&schema=7401&loc=0&off=EU&off=US&value=US",
       std::string(kMarked) + "~2~7401~0~US~US~"},
      {"clearing the choices keeps the mark", kMarkedEurope, "op=clear", kMarked},
  };
  for (const auto& c : cases) EXPECT_EQ(Build(State(c.state) + "&" + c.change).params.state, c.expected) << c.name;
}

TEST(WebCounts, BadEitherOrRequestsAreRefused) {
  const struct {
    const char* query;
    const char* message;
  } cases[] = {
      {"op=either&schema=7401&loc=0&value=yes", "takes value 1 (either-or) or 0"},
      {"op=either&loc=0&value=1", "needs the item"},
      {"op=either&schema=7401&loc=0&sv=x", "takes no parameter \"sv\""},
  };
  for (const auto& c : cases) {
    try {
      Build(c.query);
      ADD_FAILURE() << "no error for " << c.query;
    } catch (const sbf_web::RequestError& e) {
      EXPECT_EQ(e.status, 400) << c.query;
      EXPECT_NE(e.description.find(c.message), std::string::npos) << c.query << ": " << e.description;
    }
  }
}

TEST(WebCounts, ThePageShowsCountsGreysWhatLeadsNowhereAndKeepsPicks) {
  // Europe picked: Japan leads to no vehicle, greyed and not offered; Europe counted.
  const std::string europe = sbf_web::RenderHtml(Build(State(kEurope)));
  // Europe and Japan picked without either-or: nothing matches, both stay ticked and can be unticked.
  const std::string both = sbf_web::RenderHtml(Build(State(kEurope + "~2~7401~0~JP~JP~")));
  // Marked either-or: both count, and the row and its check box say so.
  const std::string marked = sbf_web::RenderHtml(Build(State(kMarkedEurope) + "&cat=General"));
  const struct {
    const char* name;
    const std::string& html;
    std::vector<std::string> shown, absent;
  } cases[] = {
      {"Europe", europe,
       {"<li class=\"none\"><label for=\"v-row-20-1-JP\" title=\"No matching vehicle has this value\">"
        "<input type=\"checkbox\" id=\"v-row-20-1-JP\" name=\"value\" value=\"JP\" data-value=\"JP\" disabled "
        "data-count=\"0\">Japan <span class=\"count\">(0)</span></label></li>",
        "data-count=\"" + std::to_string(Build(State(kEurope)).count) + "\" checked>Europe <span class=\"count\">("},
       {"op=pick&amp;schema=7401&amp;loc=0&amp;value=JP", "name=\"off\" value=\"JP\"", " checked aria-label"}},
      {"both picked", both,
       {"value=\"JP\" data-value=\"JP\" data-toggle=", "data-count=\"0\" checked>Japan <span class=\"count\">(0)</span>",
        "op=unpick&amp;schema=7401&amp;loc=0&amp;value=JP"},
       {"disabled data-count=\"0\" checked"}},
      {"marked", marked,
       {"data-schema=\"7401\" data-location=\"0\" data-schema-value=\"*\" data-either-or>",
        "<input type=\"checkbox\" id=\"eo-row-20-1\" name=\"value\" value=\"1\" "
        "aria-label=\"Origin: either-or (any ticked value matches)\" checked>",
        "op=pick&amp;schema=7401&amp;loc=0&amp;value=JP"},
       {"<li class=\"none\"><label for=\"v-row-20-1-JP\""}},
  };
  for (const auto& c : cases) {
    for (const auto& text : c.shown) EXPECT_NE(c.html.find(text), std::string::npos) << c.name << " lacks " << text;
    for (const auto& text : c.absent) EXPECT_EQ(c.html.find(text), std::string::npos) << c.name << " has " << text;
  }
  // One either-or box per list row, none on a range.
  const Screen engine = Build("cat=Engine");
  const std::string html = sbf_web::RenderHtml(engine);
  size_t lists = 0, boxes = 0;
  for (const auto& row : engine.rows) lists += row.range ? 0 : 1;
  for (size_t at = 0; (at = html.find("<form class=\"either-or\"", at)) != std::string::npos; ++at) ++boxes;
  EXPECT_GT(lists, 0u);
  EXPECT_EQ(boxes, lists);
}

TEST(WebCounts, JsonCarriesCountsMarksAndBands) {
  const std::string json = sbf_web::RenderJson(Build(State(kMarkedEurope) + "&cat=General"));
  for (const std::string& part : {
           std::string("\"category\":\"General\",\"eitherOr\":true,\"title\":\"Origin\""),
           std::string("{\"text\":\"Japan\",\"value\":\"JP\",\"selected\":false,\"count\":"),
           std::string("\"bands\":[{\"from\":\""),
           std::string(",\"below\":null,\"count\":"),
       })
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  // A value that leads to no vehicle has its count and no toggle link.
  const std::string europe = sbf_web::RenderJson(Build(State(kEurope)));
  EXPECT_NE(europe.find("{\"text\":\"Japan\",\"value\":\"JP\",\"selected\":false,\"count\":0}"), std::string::npos)
      << europe;
  // Without counting, neither counts nor greyed values.
  const Screen plain = Build(State(kEurope), false);
  const std::string html = sbf_web::RenderHtml(plain), plainJson = sbf_web::RenderJson(plain);
  for (const char* part : {"class=\"count\"", "disabled"}) EXPECT_EQ(html.find(part), std::string::npos) << part;
  for (const char* part : {"\"count\":0", "\"bands\""}) EXPECT_EQ(plainJson.find(part), std::string::npos) << part;
}

}  // namespace
