#include "Render.h"

#include <algorithm>
#include <tuple>

#include "Assets.h"
#include "Json.h"
#include "Text.h"
#include "Words.h"

namespace sbf_web {
namespace {

using sbf_host::Fill;
using sbf_host::Words;
using sbf_host::WordsFor;


std::string Attr(const std::string& text) { return "\"" + HtmlEscape(text) + "\""; }

std::string Link(const Params& params, const Change& change = {}) { return "/?" + QueryOf(params, change); }
std::string ApiLink(const Params& params, const Change& change = {}) { return "/api/screen?" + QueryOf(params, change); }

// Hidden fields for every screen parameter a form does not ask for itself.
std::string Hidden(const Params& params, const std::vector<std::string>& skip = {}) {
  std::vector<std::pair<std::string, std::string>> fields = {
      {"state", params.state},
      {"cat", params.category},
      {"lang", std::to_string(params.language)},
      {"cur", params.currencies},
      {"std", params.standardOnly ? "1" : "0"},
      {"fmt", params.todays ? "today" : "windows"},
      {"sort", params.sort},
      {"limit", std::to_string(params.limit)},
  };
  std::string incl;
  for (const auto& [on, kind] : {std::pair{params.includeAdvanced, "advanced"}, std::pair{params.includeOld, "old"},
                                 std::pair{params.includeBuilt, "built"}})
    if (on) incl += (incl.empty() ? "" : ",") + std::string(kind);
  fields.emplace_back("incl", incl);
  std::string out;
  for (const auto& [name, value] : fields)
    if (std::find(skip.begin(), skip.end(), name) == skip.end())
      out += "<input type=\"hidden\" name=" + Attr(name) + " value=" + Attr(value) + ">";
  return out;
}

std::string Page(int32_t language, const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"" + sbf_host::LanguageTag(language) +
         "\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<link rel=\"icon\" href=\"/favicon.ico\" type=\"image/svg+xml\">"
         "<title>" + HtmlEscape(title) + "</title><style>" + std::string(assets::kScreenCss) +
         "</style></head>\n<body>\n" + body + "<script>" + std::string(assets::kScreenJs) + "</script>\n</body></html>\n";
}

// An id for the DOM from any text: blanks and quotes would end it.
std::string IdPart(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '&') ? '_' : c;
  return out;
}

std::string RowId(const Row& row) { return "row-" + std::to_string(row.rowId) + "-" + std::to_string(row.orderId); }

std::string RowData(const Row& row) {
  return " data-schema=" + Attr(row.schema) + " data-location=" + Attr(row.location) +
         " data-schema-value=" + Attr(row.schemaValue);
}

Change Toggle(const Row& row, const Value& value) {
  Change change;
  change.kind = value.selected ? Change::Unpick : Change::Pick;
  change.schema = row.schema;
  change.location = row.location;
  change.value = value.data;
  return change;
}

// " (29)" after a value's text when the screen counts.
std::string CountText(int32_t count) {
  return count < 0 ? "" : " <span class=\"count\">(" + std::to_string(count) + ")</span>";
}

// A value that leads to no matching vehicle and is not picked: greyed, not offered.
bool Unavailable(const Value& value) { return value.count == 0 && !value.selected; }

// The ladder position of a range row's stored bound (its option), or -1.
int BoundIndex(const Row& row, const std::string& stored, const std::string& storedText) {
  if (stored.empty()) return -1;
  for (size_t i = 0; i < row.values.size(); ++i)
    if (row.values[i].data == stored || row.values[i].text == storedText) return static_cast<int>(i);
  return -1;
}

// One bound's picker. The state's bound goes back as it is stored (kStoredBound), so that
// a bound in another currency than the ladder's is never converted twice; a bound the
// ladder does not show stays choosable. A "to" picker offers nothing below the lower bound,
// a "from" picker nothing above the upper one; a "from" option shows how many vehicles lie
// from it up when the row has no bound of its own (the counts of the ladder's bands, summed).
std::string RangeSelect(bool lower, const Row& row, const Words& w) {
  const char* name = lower ? "min" : "max";
  const char* label = lower ? w.from : w.to;
  const std::string& stored = lower ? row.min : row.max;
  const std::string& storedText = lower ? row.minText : row.maxText;
  const int low = BoundIndex(row, row.min, row.minText), high = BoundIndex(row, row.max, row.maxText);
  const bool counted = row.min.empty() && row.max.empty() && !row.values.empty() && row.values.front().count >= 0;
  const std::string id = RowId(row) + "-" + name;
  std::string out = "<label for=" + Attr(id) + ">" + HtmlEscape(label) + "</label> <select id=" + Attr(id) +
                    " name=\"" + name + "\" aria-label=" + Attr(row.title + ", " + label) +
                    (lower && counted ? " title=" + Attr(std::string("(n): ") + w.fromCount) : std::string()) + ">";
  out += "<option value=\"\"" + std::string(stored.empty() ? " selected" : "") + ">" + HtmlEscape(w.any) + "</option>";
  const int current = BoundIndex(row, stored, storedText);
  if (!stored.empty() && current < 0)
    out += "<option value=" + Attr(kStoredBound + stored) + " selected>" + HtmlEscape(storedText) + "</option>";
  int32_t fromHere = 0;
  std::vector<int32_t> upward(row.values.size(), 0);
  for (size_t i = row.values.size(); i-- > 0;) upward[i] = fromHere += std::max(0, row.values[i].count);
  for (size_t i = 0; i < row.values.size(); ++i) {
    const int at = static_cast<int>(i);
    if ((!lower && low >= 0 && at < low) || (lower && high >= 0 && at > high)) continue;
    const Value& value = row.values[i];
    const bool selected = at == current;
    out += "<option value=" + Attr(selected ? kStoredBound + stored : value.data) + " data-n=\"" + std::to_string(i) +
           "\"" + (selected ? " selected" : "") + ">" + HtmlEscape(value.text) +
           (lower && counted ? " (" + std::to_string(upward[i]) + ")" : "") + "</option>";
  }
  return out + "</select>";
}

// A range row: its two pickers, and two fields for amounts typed in the page's language.
std::string RangeForm(const Screen& screen, const Row& row, const Words& w) {
  const std::string id = RowId(row);
  std::string out = "<form class=\"row range\" method=\"get\" action=" + Attr("/#" + id) + " data-autosubmit" +
                    RowData(row) + "><fieldset><legend class=\"hidden-title\">" +
                    HtmlEscape(row.title + (row.label.empty() ? "" : w.colon + row.label)) + "</legend>" +
                    Hidden(screen.params) + "<input type=\"hidden\" name=\"schema\" value=" + Attr(row.schema) +
                    "><input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) +
                    "><input type=\"hidden\" name=\"op\" value=\"range\"><input type=\"hidden\" name=\"sv\" value=" +
                    Attr(row.schemaValue) + "><div class=\"bounds\">";
  out += "<span>" + RangeSelect(true, row, w) + "</span><span>" + RangeSelect(false, row, w) + "</span>";
  out += "<button class=\"apply\">" + HtmlEscape(w.apply) + "</button></div>";
  out += "<details class=\"typed\"><summary>" + HtmlEscape(w.typeAmount) + "</summary><label>" + HtmlEscape(w.from) +
         " <input type=\"text\" inputmode=\"decimal\" id=" + Attr(id + "-tmin") + " name=\"tmin\" aria-label=" +
         Attr(row.title + ", " + w.from) + "></label> <label>" + HtmlEscape(w.to) +
         " <input type=\"text\" inputmode=\"decimal\" id=" + Attr(id + "-tmax") + " name=\"tmax\" aria-label=" +
         Attr(row.title + ", " + w.to) + "></label> <button>" + HtmlEscape(w.apply) + "</button></details>";
  return out + "</fieldset></form>\n";
}

std::string ListForm(const Screen& screen, const Row& row, const Words& w) {
  const Params& p = screen.params;
  std::string out = "<form class=\"row list\" method=\"get\" action=" + Attr("/#" + RowId(row)) + " data-autosubmit" +
                    RowData(row) + (row.eitherOr ? " data-either-or" : "") + "><fieldset><legend class=\"hidden-title\">" +
                    HtmlEscape(row.title + (row.label.empty() ? "" : w.colon + row.label)) + "</legend>" + Hidden(p) +
                    "<input type=\"hidden\" name=\"schema\" value=" + Attr(row.schema) +
                    "><input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) +
                    "><input type=\"hidden\" name=\"op\" value=\"set\"><ul class=\"values\">";
  for (const auto& value : row.values) {
    const std::string id = "v-" + RowId(row) + "-" + IdPart(value.data);
    // A value no matching vehicle has is shown greyed and cannot be ticked; a picked one
    // always stays, to be unticked.
    const bool none = Unavailable(value);
    out += none ? "<li class=\"none\">" : "<li><input type=\"hidden\" name=\"off\" value=" + Attr(value.data) + ">";
    out += "<label for=" + Attr(id) + (none ? " title=" + Attr(w.noVehicle) : "") + "><input type=\"checkbox\" id=" +
           Attr(id) + " name=\"value\" value=" + Attr(value.data) + " data-value=" + Attr(value.data);
    out += none ? std::string(" disabled") : " data-toggle=" + Attr(Link(p, Toggle(row, value)));
    if (value.count >= 0) out += " data-count=\"" + std::to_string(value.count) + "\"";
    out += std::string(value.selected ? " checked" : "") + ">" + HtmlEscape(value.text) + CountText(value.count) +
           "</label></li>";
  }
  return out + "</ul><button class=\"apply\">" + HtmlEscape(w.apply) + "</button></fieldset></form>\n";
}

// A row of values with more than one: whether its ticked values combine with OR. Its own
// form (a form cannot hold another), right under the title, before the values.
std::string EitherOrForm(const Screen& screen, const Row& row, const Words& w) {
  const std::string id = "eo-" + RowId(row);
  return "<form class=\"either-or\" method=\"get\" action=" + Attr("/#" + RowId(row)) +
         " data-autosubmit data-schema=" + Attr(row.schema) + " data-location=" + Attr(row.location) + ">" +
         Hidden(screen.params) + "<input type=\"hidden\" name=\"op\" value=\"either\"><input type=\"hidden\" name=\"schema\" value=" +
         Attr(row.schema) + "><input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) + "><label for=" +
         Attr(id) + " title=" + Attr(w.eitherOrHint) + "><input type=\"checkbox\" id=" + Attr(id) +
         " name=\"value\" value=\"1\" aria-label=" + Attr(row.title + (row.label.empty() ? "" : w.colon + row.label) + w.colon +
                                                          w.eitherOr) +
         (row.eitherOr ? " checked" : "") + ">" + HtmlEscape(w.eitherOr) + "</label> <button class=\"apply\">" +
         HtmlEscape(w.apply) + "</button></form>\n";
}

// `part`: the second or a later part of one criteria row (one title over several items),
// shown under the first part's title with its own label.
std::string RenderRow(const Screen& screen, const Row& row, bool first, bool shared, const Words& w) {
  std::string out = "<div class=\"criterion" + std::string(first ? "" : " part") + "\" id=" + Attr(RowId(row)) + ">";
  if (first) out += "<h3>" + HtmlEscape(row.title) + "</h3>";
  if (shared && !row.label.empty()) out += "<h4>" + HtmlEscape(row.label) + "</h4>";
  if (row.range) return out + RangeForm(screen, row, w) + "</div>\n";
  if (row.values.size() > 1 || row.eitherOr) out += EitherOrForm(screen, row, w);
  return out + ListForm(screen, row, w) + "</div>\n";
}

std::string Settings(const Screen& screen, const Words& w) {
  const Params& p = screen.params;
  std::string out = "<form id=\"settings\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"lang", "cur", "fmt"});
  out += "<label>" + HtmlEscape(w.language) + " <select id=\"language\" name=\"lang\">";
  bool listed = false;
  for (const auto& language : screen.languages) {
    listed = listed || language.id == p.language;
    out += "<option value=\"" + std::to_string(language.id) + "\" lang=" + Attr(sbf_host::LanguageTag(language.id)) +
           (language.id == p.language ? " selected" : "") + ">" + HtmlEscape(language.name) + "</option>";
  }
  if (!listed)
    out += "<option value=\"" + std::to_string(p.language) + "\" selected>" +
           HtmlEscape(sbf_host::LanguageName(p.language)) + "</option>";
  // One currency replaces the other; the server adds the stored one, which every price is
  // converted from.
  const std::vector<std::string> current = sbf_host::SplitList(p.currencies);
  out += "</select></label> <label>" + HtmlEscape(w.currency) + " <select id=\"currency\" name=\"cur\">";
  for (const auto& code : screen.currencyCodes)
    out += "<option" + std::string(!current.empty() && code == current.front() ? " selected" : "") + " value=" +
           Attr(code) + ">" + HtmlEscape(code) + "</option>";
  out += "</select></label>";
  if (!current.empty() && current.front() != screen.storedCurrency && !screen.storedCurrency.empty())
    out += " <span class=\"hint\" id=\"stored\">" + HtmlEscape(Fill(w.storedIn, screen.storedCurrency)) + "</span>";
  out += " <label>" + HtmlEscape(w.formats) + " <select id=\"formats\" name=\"fmt\"><option value=\"today\"" +
         (p.todays ? " selected" : "") + ">" + HtmlEscape(w.todayStyle) + "</option><option value=\"windows\"" +
         (p.todays ? "" : " selected") + ">" + HtmlEscape(w.windowsStyle) + "</option></select></label>";
  return out + " <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";
}

// The vehicles the default filters leave out, each kind behind a check box in a buyer's words.
std::string HiddenForm(const Screen& screen, const Words& w) {
  const Params& p = screen.params;
  const sbf_host::Hidden& h = screen.hidden;
  if (h.total <= 0 && !p.includeAdvanced && !p.includeOld && !p.includeBuilt) return {};
  std::string out = "<form id=\"hidden\" method=\"get\" action=\"/#vehicles\" data-autosubmit data-hidden=\"" +
                    std::to_string(h.total) + "\">" + Hidden(p, {"incl"});
  out += "<span>" + HtmlEscape(Fill(w.hidden, std::to_string(h.total))) + "</span> ";
  for (const auto& [kind, on, count, words] :
       {std::tuple{"advanced", p.includeAdvanced, h.advanced, w.advanced}, std::tuple{"old", p.includeOld, h.old, w.old},
        std::tuple{"built", p.includeBuilt, h.built, w.built}}) {
    if (!on && count <= 0) continue;
    out += "<label><input type=\"checkbox\" id=\"incl-" + std::string(kind) + "\" name=\"incl\" value=\"" + kind + "\"" +
           (on ? " checked" : "") + ">" + HtmlEscape(words) +
           (on ? "" : " <span class=\"kind-count\">(" + std::to_string(count) + ")</span>") + "</label>";
  }
  return out + "<button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";
}

std::string VehicleTable(const Screen& screen, const Words& w) {
  const Params& p = screen.params;
  const sbf_host::VehicleTable& t = screen.vehicles;
  std::string out = "<section id=\"vehicles\"><h2 id=\"vehicles-title\" tabindex=\"-1\">" + HtmlEscape(w.matchingVehicles) +
                    "</h2>" + HiddenForm(screen, w);
  // A sort picker too: on a phone the column headings are not shown.
  out += "<form id=\"sorting\" method=\"get\" action=\"/#vehicles\" data-autosubmit>" + Hidden(p, {"sort"}) + "<label>" +
         HtmlEscape(w.sortBy) + " <select id=\"sort-select\" name=\"sort\">";
  for (size_t c = 1; c < t.columns.size(); ++c)
    for (const bool down : {false, true}) {
      const std::string value = (down ? "-" : "") + t.columns[c];
      const bool current = !t.sort.columns.empty() && t.sort.columns.front() == t.columns[c] && t.sort.descending == down;
      out += "<option value=" + Attr(value) + (current ? " selected" : "") + ">" + HtmlEscape(t.titles[c]) +
             (down ? " \u25BC" : " \u25B2") + "</option>";
    }
  out += "</select></label> <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";
  const size_t first = t.texts.empty() ? t.offset : t.offset + 1;
  out += "<p id=\"shown\">" + HtmlEscape(Fill(w.shownOf, std::to_string(first), std::to_string(t.offset + t.texts.size()),
                                             std::to_string(t.total))) + "</p>";
  out += "<div class=\"table-wrap\"><table><thead><tr>";
  for (size_t c = 1; c < t.columns.size(); ++c) {
    const std::string& column = t.columns[c];
    const bool current = !t.sort.columns.empty() && t.sort.columns.front() == column;
    // A click on the current column turns its order round.
    const bool nextDescending = current && !t.sort.descending;
    Params sorted = p;
    sorted.sort = (nextDescending ? "-" : "") + column;
    sorted.offset = 0;
    out += "<th" + std::string(current ? t.sort.descending ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"" : "") +
           "><a href=" + Attr(Link(sorted)) + " id=" + Attr("sort-" + IdPart(column)) + " data-column=" + Attr(column) +
           " aria-label=" + Attr(t.titles[c] + ", " + (nextDescending ? w.descending : w.ascending)) + ">" +
           HtmlEscape(t.titles[c]) + (current ? t.sort.descending ? " &#x25BC;" : " &#x25B2;" : "") + "</a></th>";
  }
  out += "</tr></thead><tbody>";
  for (const auto& vehicle : t.texts) {
    out += "<tr data-vehicle=" + Attr(vehicle.empty() ? "" : vehicle[0]) + ">";
    for (size_t c = 1; c < vehicle.size(); ++c)
      out += "<td data-column=" + Attr(t.columns[c]) + " data-title=" + Attr(t.titles[c]) + ">" + HtmlEscape(vehicle[c]) +
             "</td>";
    out += "</tr>";
  }
  out += "</tbody></table></div>";
  if (t.offset > 0 || t.offset + t.texts.size() < t.total) {
    out += "<nav class=\"pages\" aria-label=" + Attr(w.matchingVehicles) + ">";
    if (t.offset > 0) {
      Params previous = p;
      previous.offset = t.offset > p.limit ? t.offset - p.limit : 0;
      out += "<a id=\"page-previous\" data-fallback=\"vehicles-title\" href=" + Attr(Link(previous) + "#vehicles") + ">\u2190 " +
             HtmlEscape(w.previous) + "</a>";
    }
    if (t.offset + t.texts.size() < t.total) {
      Params next = p;
      next.offset = t.offset + p.limit;
      out += "<a id=\"page-next\" data-fallback=\"vehicles-title\" href=" + Attr(Link(next) + "#vehicles") + ">" +
             HtmlEscape(w.next) + " \u2192</a>";
    }
    out += "</nav>";
  }
  return out + "</section>\n";
}

sbf_host::Json ParamsJson(const Params& p) {
  sbf_host::Json include = sbf_host::Json::array();
  for (const auto& [on, kind] : {std::pair{p.includeAdvanced, "advanced"}, std::pair{p.includeOld, "old"},
                                 std::pair{p.includeBuilt, "built"}})
    if (on) include.push_back(kind);
  return {{"state", p.state},   {"category", p.category},         {"language", p.language},
          {"currencies", p.currencies}, {"standardOnly", p.standardOnly}, {"formats", p.todays ? "today" : "windows"},
          {"include", include}, {"sort", p.sort}, {"offset", p.offset}, {"limit", p.limit}};
}

sbf_host::Json Optional(const std::string& text) { return text.empty() ? sbf_host::Json(nullptr) : sbf_host::Json(text); }

std::string ChoiceText(const Choice& choice, const Words& w) { return choice.title + w.colon + choice.text; }

// A criteria row: its values with their toggle links, or a range's ladder and bands.
sbf_host::Json RowJson(const Params& p, const Row& row) {
  sbf_host::Json r = {{"rowId", row.rowId},           {"orderId", row.orderId},   {"category", row.category},
                      {"eitherOr", row.eitherOr},     {"title", row.title},       {"label", Optional(row.label)},
                      {"schema", row.schema},         {"location", row.location}, {"schemaValue", row.schemaValue},
                      {"kind", row.range ? "range" : "list"}};
  if (row.range) {
    r["min"] = Optional(row.min);
    r["max"] = Optional(row.max);
    r["minText"] = Optional(row.minText);
    r["maxText"] = Optional(row.maxText);
  }
  sbf_host::Json values = sbf_host::Json::array();
  for (const auto& value : row.values) {
    sbf_host::Json v = {{"text", value.text}, {"value", value.data}, {"selected", value.selected}};
    if (!row.range && value.count >= 0) v["count"] = value.count;
    // A value that leads to no vehicle is not offered as a change.
    if (!row.range && !Unavailable(value)) v["toggle"] = ApiLink(p, Toggle(row, value));
    values.push_back(std::move(v));
  }
  r[row.range ? "ladder" : "values"] = std::move(values);
  // A range's counts are of bands, not of its bounds: the vehicles from one step of the
  // ladder up to the next (the last band open above), so that a client cannot read a
  // count as "from this bound" or "exactly this value".
  if (row.range && !row.values.empty() && row.values.front().count >= 0) {
    sbf_host::Json bands = sbf_host::Json::array();
    for (size_t i = 0; i < row.values.size(); ++i)
      bands.push_back({{"from", row.values[i].data},
                       {"below", i + 1 < row.values.size() ? sbf_host::Json(row.values[i + 1].data) : sbf_host::Json(nullptr)},
                       {"count", row.values[i].count}});
    r["bands"] = std::move(bands);
  }
  return r;
}

}  // namespace

std::string RenderHtml(const Screen& screen) {
  const Params& p = screen.params;
  const Words& w = WordsFor(p.language);
  const std::string count = std::to_string(screen.count);
  const std::string matches = screen.count == 1 ? w.vehicleMatches : w.vehiclesMatch;
  const std::string show = screen.count == 1 ? w.showOne : Fill(w.show, count);
  std::string body = "<a class=\"skip\" href=\"#criteria\">" + HtmlEscape(w.skipCriteria) +
                     "</a><a class=\"skip\" href=\"#vehicles-title\">" + HtmlEscape(w.skipVehicles) + "</a>";
  body += "<header><h1>" + HtmlEscape(w.title) + "</h1>";
  body += "<p id=\"count\" data-count=\"" + count + "\" aria-live=\"polite\"><strong>" + count + "</strong> " +
          HtmlEscape(matches) + "<a id=\"show\" href=\"#vehicles-title\">" + HtmlEscape(show) + "</a></p>";
  body += Settings(screen, w);
  body += "<form id=\"standard\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"std"}) +
          "<label><input type=\"checkbox\" id=\"standard-only\" name=\"std\" value=\"1\" aria-describedby=\"standard-hint\"" +
          (p.standardOnly ? " checked" : "") + "> " + HtmlEscape(w.standardOnly) +
          "</label> <span class=\"hint\" id=\"standard-hint\">(" + HtmlEscape(w.standardHint) +
          ")</span> <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";
  body += "</header>\n";

  body += "<nav class=\"tabs\">";
  for (const auto& heading : screen.headings) {
    Params tab = p;
    tab.category = heading.category;
    body += "<a href=" + Attr(Link(tab)) + " id=" + Attr("tab-" + IdPart(heading.category)) + " data-category=" +
            Attr(heading.category) + (heading.current ? " aria-current=\"page\"" : "") + ">" + HtmlEscape(heading.text);
    if (heading.choices > 0)
      body += "<span class=\"badge\" aria-label=" + Attr("(" + std::to_string(heading.choices) + ")") + ">" +
              std::to_string(heading.choices) + "</span>";
    body += "</a>";
  }
  body += "</nav>\n";

  if (!screen.choices.empty()) {
    body += "<section id=\"choices\"><h2 id=\"choices-title\" tabindex=\"-1\">" + HtmlEscape(w.yourChoices) + "</h2>";
    const bool hints = screen.count == 0 && std::any_of(screen.choices.begin(), screen.choices.end(),
                                                        [](const Choice& c) { return c.without >= 0; });
    if (hints) body += "<p id=\"zero\">" + HtmlEscape(w.zeroHint) + "</p>";
    body += "<ul>";
    for (size_t i = 0; i < screen.choices.size(); ++i) {
      const Choice& choice = screen.choices[i];
      body += "<li>" + HtmlEscape(ChoiceText(choice, w)) + " <a class=\"remove\" id=\"remove-" + std::to_string(i) +
              "\" data-fallback=\"choices-title criteria\" href=" + Attr(Link(p, choice.remove)) + " aria-label=" +
              Attr(std::string(w.remove) + " " + ChoiceText(choice, w)) + ">&#x2715; " + HtmlEscape(w.remove) + "</a>";
      if (choice.without >= 0)
        body += " <span class=\"without\" data-without=\"" + std::to_string(choice.without) + "\">(" +
                HtmlEscape(Fill(w.without, choice.title)) + w.colon + std::to_string(choice.without) + ")</span>";
      body += "</li>";
    }
    Change clear;
    clear.kind = Change::Clear;
    body += "</ul><a id=\"clear\" data-fallback=\"criteria\" href=" + Attr(Link(p, clear)) + ">" + HtmlEscape(w.clearAll) +
            "</a></section>\n";
  }

  body += "<details id=\"filters\" open><summary>" + HtmlEscape(w.filters) + "</summary><section id=\"criteria\" tabindex=\"-1\">";
  if (screen.rows.empty()) body += "<p>" + HtmlEscape(screen.count == 0 ? w.noMatch : w.noCriteria) + "</p>";
  for (size_t i = 0; i < screen.rows.size(); ++i) {
    const bool first = i == 0 || screen.rows[i - 1].rowId != screen.rows[i].rowId;
    const bool shared = !first || (i + 1 < screen.rows.size() && screen.rows[i + 1].rowId == screen.rows[i].rowId);
    body += RenderRow(screen, screen.rows[i], first, shared, w);
  }
  body += "</section></details>\n" + VehicleTable(screen, w);
  body += "<footer><a id=\"json\" href=" + Attr(ApiLink(p)) + ">" + HtmlEscape(w.json) + "</a></footer>\n";
  // Always in reach on a phone: the count, the way to the vehicles and to the criteria.
  body += "<div id=\"bar\"><span><strong>" + count + "</strong> " + HtmlEscape(matches) +
          "</span><a id=\"bar-filters\" href=\"#filters\">" + HtmlEscape(w.filters) +
          "</a><a id=\"bar-show\" href=\"#vehicles-title\">" + HtmlEscape(show) + "</a></div>\n";
  return Page(p.language, std::string(w.title) + w.colon + count + " " + matches, body);
}

std::string RenderJson(const Screen& screen) {
  const Params& p = screen.params;
  sbf_host::Json headings = sbf_host::Json::array(), rows = sbf_host::Json::array(),
                 choices = sbf_host::Json::array(), languages = sbf_host::Json::array();
  for (const auto& h : screen.headings) {
    Params tab = p;
    tab.category = h.category;
    headings.push_back({{"text", h.text}, {"category", h.category}, {"current", h.current}, {"choices", h.choices},
                        {"api", ApiLink(tab)}});
  }
  for (const auto& row : screen.rows) rows.push_back(RowJson(p, row));
  for (const auto& c : screen.choices) {
    sbf_host::Json choice = {{"title", c.title}, {"text", c.text}, {"remove", ApiLink(p, c.remove)}};
    if (c.without >= 0) choice["without"] = c.without;
    choices.push_back(std::move(choice));
  }
  for (const auto& l : screen.languages) languages.push_back({{"id", l.id}, {"name", l.name}});
  const sbf_host::VehicleTable& t = screen.vehicles;
  sbf_host::Json page = {{"total", t.total}, {"offset", t.offset}, {"limit", p.limit}};
  if (t.offset > 0) {
    Params previous = p;
    previous.offset = t.offset > p.limit ? t.offset - p.limit : 0;
    page["previous"] = ApiLink(previous);
  }
  if (t.offset + t.texts.size() < t.total) {
    Params next = p;
    next.offset = t.offset + p.limit;
    page["next"] = ApiLink(next);
  }
  const sbf_host::Json out = {
      {"state", p.state},
      {"url", Link(p)},
      {"api", ApiLink(p)},
      {"params", ParamsJson(p)},
      {"changed", screen.changed},
      {"count", screen.count},
      {"hidden", screen.hidden.total},
      {"hiddenKinds", {{"advanced", screen.hidden.advanced}, {"old", screen.hidden.old}, {"built", screen.hidden.built}}},
      {"headings", headings},
      {"rows", rows},
      {"choices", choices},
      {"columns", t.columns},
      {"columnTitles", t.titles},
      {"sort", t.sort.columns},
      {"descending", t.sort.descending},
      {"vehicles", t.texts},
      {"page", page},
      {"languages", languages},
      {"currencies", screen.currencyCodes},
      {"storedCurrency", screen.storedCurrency},
  };
  return sbf_host::Dump(out);
}

std::string RenderHtmlError(const RequestError& error) {
  const int32_t language = error.params ? error.params->language : 1;
  const Words& w = WordsFor(language);
  std::string body = "<h1>" + HtmlEscape(w.errorTitle) + "</h1><dl class=\"error\" id=\"error\"";
  if (error.library) body += " data-number=\"" + std::to_string(error.number) + "\"";
  body += " data-source=" + Attr(error.source) + ">";
  if (error.library)
    body += "<dt>" + HtmlEscape(w.number) + "</dt><dd id=\"error-number\">" + sbf_host::HexNumber(error.number) + "</dd>";
  body += "<dt>" + HtmlEscape(w.source) + "</dt><dd id=\"error-source\">" + HtmlEscape(error.source) + "</dd>";
  body += "<dt>" + HtmlEscape(w.description) + "</dt><dd id=\"error-description\">" + HtmlEscape(error.description) +
          "</dd></dl>";
  if (!error.hint.empty()) body += "<p class=\"hint\">" + HtmlEscape(error.hint) + "</p>";
  if (!error.ways.empty()) {
    const bool languages = error.params && error.ways.front().params.language != error.params->language;
    body += "<p>" + HtmlEscape(languages ? w.otherLanguage : w.otherCurrencies) + "</p><ul id=\"ways\">";
    for (const auto& way : error.ways)
      body += "<li><a class=\"way\" href=" + Attr(Link(way.params)) + ">" + HtmlEscape(way.text) + "</a></li>";
    body += "</ul>";
  }
  if (error.params) {
    Params params = *error.params;
    if (error.badState) {
      params.state.clear();
      params.hasState = false;
      body += "<p><a id=\"clear-state\" href=" + Attr("/?" + QueryOf(params)) + ">" + HtmlEscape(w.clearState) + "</a></p>";
    } else if (error.changeFailed) {
      body += "<p><a id=\"back\" href=" + Attr(Link(params)) + ">" + HtmlEscape(w.back) + "</a></p>";
    }
  }
  body += "<p><a id=\"start-over\" href=\"/\">" + HtmlEscape(w.startOver) + "</a></p>";
  return Page(language, w.errorTitle, body);
}

std::string RenderJsonError(const RequestError& error) {
  sbf_host::Json e = {{"status", error.status}};
  if (error.library) {
    e["number"] = error.number;
    e["hex"] = sbf_host::HexNumber(error.number);
  } else {
    e["number"] = nullptr;
    e["hex"] = nullptr;
  }
  e["source"] = error.source;
  e["description"] = error.description;
  e["badState"] = error.badState;
  if (!error.hint.empty()) e["hint"] = error.hint;
  if (error.params && (error.badState || error.changeFailed)) {
    Params params = *error.params;
    if (error.badState) params.state.clear();
    e[error.badState ? "clearState" : "back"] = ApiLink(params);
  }
  if (!error.ways.empty()) {
    sbf_host::Json ways = sbf_host::Json::array();
    for (const auto& way : error.ways) ways.push_back({{"text", way.text}, {"api", ApiLink(way.params)}});
    e["ways"] = std::move(ways);
  }
  return sbf_host::Dump({{"error", e}});
}

std::string RenderHtmlNotFound(const std::string& path) {
  return Page(1, "Not found",
              "<h1>Not found</h1><p class=\"error\">There is no page " + HtmlEscape(path) +
                  " here.</p><p><a id=\"start-over\" href=\"/\">The search screen</a></p>");
}

std::string RenderJsonNotFound(const std::string& path) {
  return sbf_host::Dump({{"error",
                          {{"status", 404}, {"number", nullptr}, {"hex", nullptr}, {"source", "sbf-web"},
                           {"description", "no such path: " + path}, {"badState", false}}}});
}

std::string RenderHtmlRefused(int status, int32_t language) {
  const Words& w = WordsFor(language);
  const char* text = status == 414 ? w.tooLong : status == 431 ? w.tooLarge : w.tooSlow;
  return Page(language, w.errorTitle,
              "<h1>" + HtmlEscape(w.errorTitle) + "</h1><p class=\"error\" id=\"error-description\">" + HtmlEscape(text) +
                  "</p><p><a id=\"start-over\" href=\"/\">" + HtmlEscape(w.startOver) + "</a></p>");
}

std::string RenderJsonRefused(int status) {
  const char* what = status == 414   ? "the address is longer than the server reads"
                     : status == 431 ? "the request's headers are larger than the server reads"
                                     : "the request did not arrive in time";
  return sbf_host::Dump({{"error",
                          {{"status", status}, {"number", nullptr}, {"hex", nullptr}, {"source", "sbf-web"},
                           {"description", what}, {"badState", false}}}});
}

}  // namespace sbf_web
