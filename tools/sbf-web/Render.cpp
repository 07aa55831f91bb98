#include "Render.h"

#include <algorithm>

#include "Json.h"
#include "Text.h"
#include "Words.h"

namespace sbf_web {
namespace {

const char* const kStyle = R"(
*{box-sizing:border-box}
body{font-family:system-ui,sans-serif;margin:0 1.5rem 2rem;color:#1d232a;background:#fafbfc;line-height:1.4}
header{display:flex;flex-wrap:wrap;align-items:center;gap:.5rem 1.5rem;padding:.8rem 0;border-bottom:1px solid #d5dbe1}
h1{font-size:1.3rem;margin:0}
#count{font-size:1.1rem;margin:0}#count strong{font-size:1.4rem;color:#0b5cad}
#show{margin-left:.6rem}
#hidden{flex-basis:100%;margin:0;font-size:.9rem;color:#4a5560}
header form,header a,#currencies{font-size:.95rem}
#currencies{display:flex;flex-wrap:wrap;gap:.3rem .8rem;align-items:center}
nav.tabs{display:flex;flex-wrap:wrap;gap:.3rem;margin:.8rem 0 0;border-bottom:2px solid #0b5cad}
nav.tabs a{padding:.4rem .9rem;border:1px solid #c4ccd4;border-bottom:none;border-radius:.4rem .4rem 0 0;text-decoration:none;color:#1d232a;background:#eef1f4}
nav.tabs a[aria-current]{background:#0b5cad;color:#fff;border-color:#0b5cad}
#choices{margin:.6rem 0}#choices ul{display:flex;flex-wrap:wrap;gap:.4rem;list-style:none;padding:0;margin:.3rem 0}
#choices li{background:#e3effb;border-radius:1rem;padding:.15rem .7rem}
a.remove{margin-left:.3rem;color:#8a1c1c}
h2{font-size:1rem;margin:.8rem 0 .3rem}
.row{border-top:1px solid #e3e7eb;padding:.4rem 0;margin:0}
fieldset{border:0;margin:0;padding:0;min-width:0}
legend{font-weight:bold;font-size:.95rem;padding:.2rem 0}
.row.part{border-top:0;padding-top:0;margin-top:-.2rem}
.hidden-title{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}
ul.values{display:flex;flex-wrap:wrap;gap:.2rem .9rem;list-style:none;padding:0;margin:0}
ul.values label{display:inline-flex;align-items:center;gap:.3rem;cursor:pointer}
.count{color:#4a5560;font-size:.85em}
ul.values li.none label{color:#7a838c;cursor:default}
ul.values li.none .count{color:inherit}
form.either-or{margin:0 0 .4rem;font-size:.85rem;color:#4a5560}
form.either-or label{display:inline-flex;align-items:center;gap:.3rem;cursor:pointer}
.bounds{display:flex;flex-wrap:wrap;gap:.3rem 1rem;align-items:center}
.table-wrap{overflow-x:auto;max-width:100%}
table{border-collapse:collapse;font-size:.9rem;margin-top:.3rem}
th,td{padding:.2rem .6rem;border-bottom:1px solid #e3e7eb;text-align:left}
td.number{text-align:right}
th a{color:#0b5cad}th[aria-sort] a{font-weight:bold}
.js .apply{display:none}
.error{border:1px solid #c62828;background:#fdecea;padding:.5rem 1rem;border-radius:.3rem}
dl.error dt{font-weight:bold}
@media (max-width:640px){
 body{margin:0 .6rem 2rem}
 header{gap:.4rem .8rem}
 nav.tabs a,ul.values label,form.either-or label,a.remove,#choices a,header a,.bounds label{min-height:2.75rem;display:inline-flex;align-items:center}
 select,button{min-height:2.75rem;max-width:100%}
 ul.values input,form.either-or input{width:1.3rem;height:1.3rem}
 th,td{padding:.4rem .4rem}
}
)";

// Without JavaScript every form has its Apply button and every change loads a page that
// scrolls to the row it came from (the form's #fragment). With it: a check box submits on
// its own change, a drop-down when it was picked with the pointer or when focus leaves its
// form (so arrow keys only move), and the page comes back to the same scroll position and
// focus.
const char* const kScript = R"(
document.documentElement.classList.add('js');
(function(){
const KEY='sbf-place';
const save=()=>{try{sessionStorage.setItem(KEY,JSON.stringify({y:scrollY,focus:document.activeElement&&document.activeElement.id}))}catch(e){}};
addEventListener('load',()=>{try{const p=JSON.parse(sessionStorage.getItem(KEY)||'null');sessionStorage.removeItem(KEY);
if(p){const f=p.focus&&document.getElementById(p.focus);if(f)f.focus({preventScroll:true});scrollTo(0,p.y);}}catch(e){}});
let pointer=0;
addEventListener('pointerdown',()=>{pointer=Date.now()},true);
document.addEventListener('click',e=>{if(e.target.closest('a[href^="/?"]'))save()});
for(const f of document.querySelectorAll('form[data-autosubmit]')){
 let dirty=false;
 const go=()=>{dirty=false;save();f.requestSubmit()};
 f.addEventListener('change',e=>{if(e.target.type==='checkbox'||Date.now()-pointer<1500)go();else dirty=true});
 f.addEventListener('keydown',e=>{if(e.key==='Enter'&&e.target.tagName==='SELECT'){e.preventDefault();go()}});
 f.addEventListener('focusout',e=>{if(dirty&&!f.contains(e.relatedTarget))go()});
 f.addEventListener('submit',save);
}
})();
)";

std::string Attr(const std::string& text) { return "\"" + HtmlEscape(text) + "\""; }

std::string Link(const Params& params, const Change& change = {}) { return "/?" + QueryOf(params, change); }
std::string ApiLink(const Params& params, const Change& change = {}) { return "/api/screen?" + QueryOf(params, change); }

// Hidden fields for every screen parameter a form does not ask for itself.
std::string Hidden(const Params& params, const std::vector<std::string>& skip = {}) {
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"state", params.state},
      {"cat", params.category},
      {"lang", std::to_string(params.language)},
      {"cur", params.currencies},
      {"std", params.standardOnly ? "1" : "0"},
      {"sort", params.sort},
  };
  std::string out;
  for (const auto& [name, value] : fields)
    if (std::find(skip.begin(), skip.end(), name) == skip.end())
      out += "<input type=\"hidden\" name=" + Attr(name) + " value=" + Attr(value) + ">";
  return out;
}

std::string Page(int32_t language, const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"" + LanguageTag(language) +
         "\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<link rel=\"icon\" href=\"/favicon.ico\" type=\"image/svg+xml\">"
         "<title>" + HtmlEscape(title) + "</title><style>" + kStyle + "</style></head>\n<body>\n" + body +
         "<script>" + kScript + "</script>\n</body></html>\n";
}

// An id for the DOM from any text: blanks and quotes would end it.
std::string IdPart(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '&') ? '_' : c;
  return out;
}

std::string RowId(const Row& row) { return "row-" + std::to_string(row.rowId) + "-" + std::to_string(row.orderId); }

std::string RowAttributes(const Row& row) {
  return " id=" + Attr(RowId(row)) + " data-schema=" + Attr(row.schema) + " data-location=" + Attr(row.location) +
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
std::string CountText(const Value& value) {
  return value.count < 0 ? "" : " <span class=\"count\">(" + std::to_string(value.count) + ")</span>";
}

// A value that leads to no matching vehicle and is not picked: greyed, not offered.
bool Unavailable(const Value& value) { return value.count == 0 && !value.selected; }

// One bound's picker. The state's bound goes back as it is stored (kStoredBound), so that
// a bound in another currency than the ladder's is never converted twice; a bound the
// ladder does not show stays choosable.
std::string RangeSelect(const char* name, const char* label, const Row& row, const std::string& stored,
                        const std::string& storedText, const Words& w) {
  const std::string id = RowId(row) + "-" + name;
  std::string out = "<label for=" + Attr(id) + ">" + HtmlEscape(label) + "</label> <select id=" + Attr(id) +
                    " name=\"" + name + "\" aria-label=" + Attr(row.title + ", " + label) + ">";
  out += "<option value=\"\"" + std::string(stored.empty() ? " selected" : "") + ">" + HtmlEscape(w.any) + "</option>";
  bool shown = false;
  std::string options;
  for (const auto& value : row.values) {
    const bool current = !stored.empty() && !shown && (value.data == stored || value.text == storedText);
    shown = shown || current;
    options += "<option value=" + Attr(current ? kStoredBound + stored : value.data) + (current ? " selected" : "") +
               ">" + HtmlEscape(value.text) + "</option>";
  }
  if (!stored.empty() && !shown)
    out += "<option value=" + Attr(kStoredBound + stored) + " selected>" + HtmlEscape(storedText) + "</option>";
  return out + options + "</select>";
}

// `part`: the second or a later part of one criteria row (one title over several items),
// shown under the first part's title; its legend is for screen readers only.
std::string RenderRow(const Screen& screen, const Row& row, bool part, const Words& w) {
  const Params& p = screen.params;
  std::string out = "<form class=\"row " + std::string(row.range ? "range" : "list") + (part ? " part" : "") +
                    "\" method=\"get\" action=" + Attr("/#" + RowId(row)) + " data-autosubmit" + RowAttributes(row) +
                    (row.eitherOr ? " data-either-or" : "") + "><fieldset><legend" +
                    (part ? " class=\"hidden-title\"" : "") + ">" + HtmlEscape(row.title) + "</legend>" + Hidden(p) +
                    "<input type=\"hidden\" name=\"schema\" value=" + Attr(row.schema) + ">"
                    "<input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) + ">";
  if (row.range) {
    out += "<input type=\"hidden\" name=\"op\" value=\"range\"><input type=\"hidden\" name=\"sv\" value=" +
           Attr(row.schemaValue) + "><div class=\"bounds\">";
    out += "<span>" + RangeSelect("min", w.from, row, row.min, row.minText, w) + "</span>";
    out += "<span>" + RangeSelect("max", w.to, row, row.max, row.maxText, w) + "</span>";
    out += "<button class=\"apply\">" + HtmlEscape(w.apply) + "</button></div>";
  } else {
    out += "<input type=\"hidden\" name=\"op\" value=\"set\"><ul class=\"values\">";
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
      out += std::string(value.selected ? " checked" : "") + ">" + HtmlEscape(value.text) + CountText(value) +
             "</label></li>";
    }
    out += "</ul><button class=\"apply\">" + HtmlEscape(w.apply) + "</button>";
  }
  out += "</fieldset></form>\n";
  if (!row.range) {
    // Its own form: a form cannot hold another, and the row's form sends its values only.
    const std::string id = "eo-" + RowId(row);
    out += "<form class=\"either-or\" method=\"get\" action=" + Attr("/#" + RowId(row)) +
           " data-autosubmit data-schema=" + Attr(row.schema) + " data-location=" + Attr(row.location) + ">" +
           Hidden(p) + "<input type=\"hidden\" name=\"op\" value=\"either\"><input type=\"hidden\" name=\"schema\" value=" +
           Attr(row.schema) + "><input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) + "><label for=" +
           Attr(id) + "><input type=\"checkbox\" id=" + Attr(id) + " name=\"value\" value=\"1\" aria-label=" +
           Attr(row.title + ": " + w.eitherOr) + (row.eitherOr ? " checked" : "") + ">" + HtmlEscape(w.eitherOr) +
           "</label> <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>\n";
  }
  return out;
}

// The codes of a currency list, each once, never empty.
std::vector<std::string> SplitCodes(const std::string& list) {
  std::vector<std::string> codes;
  for (const auto& code : sbf_host::SplitList(list))
    if (!code.empty() && std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
  if (codes.empty()) codes.push_back(list);
  return codes;
}

std::string JoinCodes(const std::vector<std::string>& codes) {
  std::string list;
  for (const auto& code : codes) list += (list.empty() ? "" : ",") + code;
  return list;
}

std::string Settings(const Screen& screen, const Words& w) {
  const Params& p = screen.params;
  std::string out = "<form id=\"settings\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"lang", "cur"});
  out += "<label>" + HtmlEscape(w.language) + " <select id=\"language\" name=\"lang\">";
  bool listed = false;
  for (const auto& language : screen.languages) {
    listed = listed || language.id == p.language;
    out += "<option value=\"" + std::to_string(language.id) + "\"" + (language.id == p.language ? " selected" : "") +
           ">" + HtmlEscape(language.name) + "</option>";
  }
  if (!listed)
    out += "<option value=\"" + std::to_string(p.language) + "\" selected>" +
           HtmlEscape(sbf_host::LanguageName(p.language)) + "</option>";
  // The primary currency: the others of the list stay, in their order.
  out += "</select></label> <label>" + HtmlEscape(w.currency) + " <select id=\"currency\" name=\"cur\">";
  const std::vector<std::string> current = SplitCodes(p.currencies);
  std::vector<std::string> codes = screen.currencyCodes;
  if (std::find(codes.begin(), codes.end(), current.front()) == codes.end()) codes.insert(codes.begin(), current.front());
  for (const auto& code : codes) {
    std::vector<std::string> list = {code};
    for (const auto& other : current)
      if (other != code) list.push_back(other);
    out += "<option" + std::string(code == current.front() ? " selected" : "") + " value=" + Attr(JoinCodes(list)) +
           ">" + HtmlEscape(code) + "</option>";
  }
  out += "</select></label> <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";

  // The other currencies prices are shown in: each can be dropped but the stored one,
  // without which no price converts; any other can be added.
  out += "<div id=\"currencies\">";
  if (current.size() > 1) {
    out += "<span>" + HtmlEscape(w.alsoShownIn) + ":</span>";
    for (size_t i = 1; i < current.size(); ++i) {
      std::vector<std::string> rest = current;
      rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
      Params dropped = p;
      dropped.currencies = JoinCodes(rest);
      out += "<span class=\"currency\" data-code=" + Attr(current[i]) + ">" + HtmlEscape(current[i]);
      if (current[i] == screen.storedCurrency)
        out += " <small>(" + HtmlEscape(Fill(w.storedIn, current[i])) + ")</small>";
      else
        out += " <a class=\"remove\" href=" + Attr(Link(dropped)) + " aria-label=" +
               Attr(std::string(w.remove) + " " + current[i]) + ">&#x2715; " + HtmlEscape(w.remove) + "</a>";
      out += "</span>";
    }
  }
  std::string options;
  for (const auto& code : screen.currencyCodes)
    if (std::find(current.begin(), current.end(), code) == current.end())
      options += "<option value=" + Attr(p.currencies + "," + code) + ">" + HtmlEscape(code) + "</option>";
  if (!options.empty())
    out += "<form id=\"add-currency\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"cur"}) + "<label>" +
           HtmlEscape(w.addCurrency) + " <select id=\"add-currency-code\" name=\"cur\"><option value=" +
           Attr(p.currencies) + " selected>—</option>" + options + "</select></label> <button class=\"apply\">" +
           HtmlEscape(w.apply) + "</button></form>";
  return out + "</div>";
}

std::string VehicleTable(const Screen& screen, const Words& w) {
  const Params& p = screen.params;
  std::string out = "<section id=\"vehicles\"><h2>" + HtmlEscape(w.matchingVehicles) + "</h2>";
  if (static_cast<size_t>(screen.count) > screen.vehicles.size())
    out += "<p>" + HtmlEscape(Fill(w.firstOf, std::to_string(screen.vehicles.size()), std::to_string(screen.count))) + "</p>";
  out += "<div class=\"table-wrap\"><table><thead><tr>";
  for (size_t c = 1; c < screen.columns.size(); ++c) {
    const std::string& column = screen.columns[c];
    const bool current = !screen.sortColumns.empty() && screen.sortColumns.front() == column;
    // A click on the current column turns its order round.
    const bool nextDescending = current && !screen.descending;
    Params sorted = p;
    sorted.sort = (nextDescending ? "-" : "") + column;
    const std::string title = c < screen.columnTitles.size() ? screen.columnTitles[c] : column;
    out += "<th" + std::string(current ? screen.descending ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"" : "") +
           "><a href=" + Attr(Link(sorted)) + " data-column=" + Attr(column) + " aria-label=" +
           Attr(title + ", " + (nextDescending ? w.descending : w.ascending)) + ">" + HtmlEscape(title) +
           (current ? screen.descending ? " &#x25BC;" : " &#x25B2;" : "") + "</a></th>";
  }
  out += "</tr></thead><tbody>";
  for (const auto& vehicle : screen.vehicles) {
    out += "<tr data-vehicle=" + Attr(vehicle.empty() ? "" : vehicle[0]) + ">";
    for (size_t c = 1; c < vehicle.size(); ++c)
      out += "<td data-column=" + Attr(screen.columns[c]) + ">" + HtmlEscape(vehicle[c]) + "</td>";
    out += "</tr>";
  }
  return out + "</tbody></table></div></section>\n";
}

sbf_host::Json ParamsJson(const Params& p) {
  return {{"state", p.state},       {"category", p.category},         {"language", p.language},
          {"currencies", p.currencies}, {"standardOnly", p.standardOnly}, {"sort", p.sort}};
}

sbf_host::Json Optional(const std::string& text) { return text.empty() ? sbf_host::Json(nullptr) : sbf_host::Json(text); }

}  // namespace

std::string RenderHtml(const Screen& screen) {
  const Params& p = screen.params;
  const Words& w = WordsFor(p.language);
  const std::string count = std::to_string(screen.count);
  std::string body = "<header><h1>" + HtmlEscape(w.title) + "</h1>";
  body += "<p id=\"count\" data-count=\"" + count + "\" aria-live=\"polite\"><strong>" + count + "</strong> " +
          HtmlEscape(screen.count == 1 ? w.vehicleMatches : w.vehiclesMatch) + "<a id=\"show\" href=\"#vehicles\">" +
          HtmlEscape(Fill(w.show, count)) + "</a></p>";
  if (screen.hidden > 0)
    body += "<p id=\"hidden\" data-hidden=\"" + std::to_string(screen.hidden) + "\">" +
            HtmlEscape(Fill(w.hidden, std::to_string(screen.hidden))) + "</p>";
  body += Settings(screen, w);
  Params toggled = p;
  toggled.standardOnly = !p.standardOnly;
  body += "<form id=\"standard\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"std"}) +
          "<label><input type=\"checkbox\" id=\"standard-only\" "
          "name=\"std\" value=\"1\"" + (p.standardOnly ? " checked" : "") + "> " + HtmlEscape(w.standardOnly) +
          "</label> <button class=\"apply\">" + HtmlEscape(w.apply) + "</button></form>";
  if (!screen.choices.empty()) {
    Change clear;
    clear.kind = Change::Clear;
    body += "<a id=\"clear\" href=" + Attr(Link(p, clear)) + ">" + HtmlEscape(w.clearAll) + "</a>";
  }
  body += "<a id=\"json\" href=" + Attr(ApiLink(p)) + ">JSON</a></header>\n";

  body += "<nav class=\"tabs\">";
  for (const auto& heading : screen.headings) {
    Params tab = p;
    tab.category = heading.category;
    body += "<a href=" + Attr(Link(tab)) + " data-category=" + Attr(heading.category) +
            (heading.current ? " aria-current=\"page\"" : "") + ">" + HtmlEscape(heading.text) + "</a>";
  }
  body += "</nav>\n";

  if (!screen.choices.empty()) {
    body += "<section id=\"choices\"><h2>" + HtmlEscape(w.yourChoices) + "</h2><ul>";
    for (const auto& choice : screen.choices)
      body += "<li>" + HtmlEscape(choice.title) + ": " + HtmlEscape(choice.text) + " <a class=\"remove\" href=" +
              Attr(Link(p, choice.remove)) + " aria-label=" +
              Attr(std::string(w.remove) + " " + choice.title + ": " + choice.text) + ">&#x2715; " +
              HtmlEscape(w.remove) + "</a></li>";
    body += "</ul></section>\n";
  }

  body += "<section id=\"criteria\">";
  if (screen.rows.empty())
    body += "<p>" + HtmlEscape(screen.count == 0 ? w.noMatch : w.noCriteria) + "</p>";
  for (size_t i = 0; i < screen.rows.size(); ++i)
    body += RenderRow(screen, screen.rows[i], i > 0 && screen.rows[i - 1].rowId == screen.rows[i].rowId, w);
  body += "</section>\n" + VehicleTable(screen, w);
  return Page(p.language, std::string(w.title) + ": " + count + " " + (screen.count == 1 ? w.vehicleMatches : w.vehiclesMatch), body);
}

std::string RenderJson(const Screen& screen) {
  const Params& p = screen.params;
  sbf_host::Json headings = sbf_host::Json::array(), rows = sbf_host::Json::array(),
                 choices = sbf_host::Json::array(), languages = sbf_host::Json::array();
  for (const auto& h : screen.headings) {
    Params tab = p;
    tab.category = h.category;
    headings.push_back({{"text", h.text}, {"category", h.category}, {"current", h.current}, {"api", ApiLink(tab)}});
  }
  for (const auto& row : screen.rows) {
    sbf_host::Json r = {{"rowId", row.rowId},           {"orderId", row.orderId},   {"category", row.category},
                        {"eitherOr", row.eitherOr},     {"title", row.title},           {"schema", row.schema},     {"location", row.location},
                        {"schemaValue", row.schemaValue}, {"kind", row.range ? "range" : "list"}};
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
    rows.push_back(std::move(r));
  }
  for (const auto& c : screen.choices)
    choices.push_back({{"title", c.title}, {"text", c.text}, {"remove", ApiLink(p, c.remove)}});
  for (const auto& l : screen.languages) languages.push_back({{"id", l.id}, {"name", l.name}});
  const sbf_host::Json out = {
      {"state", p.state},       {"url", Link(p)},
      {"api", ApiLink(p)},      {"params", ParamsJson(p)},
      {"changed", screen.changed}, {"count", screen.count},
      {"hidden", screen.hidden}, {"headings", headings},
      {"rows", rows},           {"choices", choices},
      {"columns", screen.columns}, {"columnTitles", screen.columnTitles},
      {"sort", screen.sortColumns}, {"descending", screen.descending},
      {"vehicles", screen.vehicles}, {"languages", languages},
      {"currencies", screen.currencyCodes}, {"storedCurrency", screen.storedCurrency},
  };
  return sbf_host::Dump(out);
}

std::string RenderHtmlError(const RequestError& error) {
  const int32_t language = error.params ? error.params->language : 1;
  const Words& w = WordsFor(language);
  std::string body = "<h1>" + HtmlEscape(w.errorTitle) + "</h1><dl class=\"error\" id=\"error\"";
  if (error.library) body += " data-number=\"" + std::to_string(error.number) + "\"";
  body += " data-source=" + Attr(error.source) + ">";
  if (error.library) body += "<dt>Number</dt><dd id=\"error-number\">" + sbf_host::HexNumber(error.number) + "</dd>";
  body += "<dt>Source</dt><dd id=\"error-source\">" + HtmlEscape(error.source) + "</dd>";
  body += "<dt>Description</dt><dd id=\"error-description\">" + HtmlEscape(error.description) + "</dd></dl>";
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
      body += "<p><a id=\"clear-state\" href=" + Attr(Link(params)) + ">" + HtmlEscape(w.clearState) + "</a></p>";
    } else if (error.changeFailed) {
      body += "<p><a id=\"back\" href=" + Attr(Link(params)) + ">" + HtmlEscape(w.back) + "</a></p>";
    }
  }
  body += "<p><a id=\"start-over\" href=\"/\">" + HtmlEscape(w.startOver) + "</a></p>";
  return Page(language, "Error: " + error.description, body);
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

}  // namespace sbf_web
