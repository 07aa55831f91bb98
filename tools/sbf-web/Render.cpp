#include "Render.h"

#include <algorithm>
#include <cstdio>

#include "Text.h"

namespace sbf_web {
namespace {

const char* const kStyle = R"(
body{font-family:system-ui,sans-serif;margin:0 1.5rem 2rem;color:#1d232a;background:#fafbfc}
header{display:flex;flex-wrap:wrap;align-items:center;gap:.5rem 1.5rem;padding:.8rem 0;border-bottom:1px solid #d5dbe1}
h1{font-size:1.3rem;margin:0}
#count{font-size:1.1rem;margin:0}#count strong{font-size:1.4rem;color:#0b5cad}
header form,header a{font-size:.95rem}
nav.tabs{display:flex;gap:.3rem;margin:.8rem 0 0;border-bottom:2px solid #0b5cad}
nav.tabs a{padding:.4rem .9rem;border:1px solid #c4ccd4;border-bottom:none;border-radius:.4rem .4rem 0 0;text-decoration:none;color:#1d232a;background:#eef1f4}
nav.tabs a[aria-current]{background:#0b5cad;color:#fff;border-color:#0b5cad}
#choices{margin:.6rem 0}#choices ul{display:flex;flex-wrap:wrap;gap:.4rem;list-style:none;padding:0;margin:.3rem 0}
#choices li{background:#e3effb;border-radius:1rem;padding:.15rem .7rem}
h2{font-size:1rem;margin:.8rem 0 .3rem}
.row{border-bottom:1px solid #e3e7eb;padding:.4rem 0}.row h3{font-size:.95rem;margin:.2rem 0}
ul.values{display:flex;flex-wrap:wrap;gap:.2rem .9rem;list-style:none;padding:0;margin:0}
a.choice{text-decoration:none;color:inherit}a.choice:hover{color:#0b5cad}
a.choice .box{display:inline-block;width:.9em;height:.9em;border:1px solid #6b7785;border-radius:.15em;margin-right:.3em;vertical-align:-.1em;text-align:center;line-height:.9em;font-size:.9em}
a.choice[aria-checked=true] .box{background:#0b5cad;border-color:#0b5cad;color:#fff}
a.choice[aria-checked=true] .box::after{content:"\2713"}
table{border-collapse:collapse;font-size:.9rem;margin-top:.3rem}
th,td{padding:.2rem .6rem;border-bottom:1px solid #e3e7eb;text-align:left}
th a{color:#0b5cad}th[aria-sort] a{font-weight:bold}
.js .apply{display:none}
.error{border:1px solid #c62828;background:#fdecea;padding:.5rem 1rem;border-radius:.3rem}
dl.error dt{font-weight:bold}
)";

const char* const kScript =
    "document.documentElement.classList.add('js');"
    "for(const f of document.querySelectorAll('form[data-autosubmit]'))"
    "f.addEventListener('change',()=>f.submit());";

std::string Attr(const std::string& text) { return "\"" + HtmlEscape(text) + "\""; }

std::string Link(const Params& params, const Change& change = {}) {
  return "/?" + QueryOf(params, change);
}

std::string ApiLink(const Params& params, const Change& change = {}) {
  return "/api/screen?" + QueryOf(params, change);
}

// Hidden fields for every screen parameter a form does not ask for itself.
std::string Hidden(const Params& params, const std::vector<std::string>& skip) {
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

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>" + HtmlEscape(title) + "</title><style>" + kStyle + "</style></head>\n<body>\n" +
         body + "<script>" + kScript + "</script>\n</body></html>\n";
}

Change Toggle(const Row& row, const Value& value) {
  Change change;
  change.kind = value.selected ? Change::Unpick : Change::Pick;
  change.schema = row.schema;
  change.location = row.location;
  change.value = value.data;
  return change;
}

std::string RowAttributes(const Row& row) {
  return " id=" + Attr("row-" + std::to_string(row.rowId) + "-" + std::to_string(row.orderId)) +
         " data-schema=" + Attr(row.schema) + " data-location=" + Attr(row.location) +
         " data-schema-value=" + Attr(row.schemaValue);
}

std::string RangeSelect(const char* name, const char* label, const Row& row,
                        const std::string& current) {
  std::string out = "<label>" + std::string(label) + " <select name=\"" + name + "\">";
  out += "<option value=\"\"" + std::string(current.empty() ? " selected" : "") + ">any</option>";
  const bool onLadder = std::any_of(row.values.begin(), row.values.end(),
                                    [&](const Value& v) { return v.data == current; });
  // A bound that the reduced ladder no longer shows (or one typed into the address)
  // stays choosable, so that the form does not lose it.
  if (!current.empty() && !onLadder)
    out += "<option value=" + Attr(current) + " selected>" + HtmlEscape(current) + "</option>";
  for (const auto& value : row.values)
    out += "<option value=" + Attr(value.data) + (value.data == current ? " selected" : "") + ">" +
           HtmlEscape(value.text) + "</option>";
  return out + "</select></label> ";
}

std::string RenderRow(const Screen& screen, const Row& row) {
  std::string out;
  if (!row.range) {
    out += "<div class=\"row list\"" + RowAttributes(row) + "><h3>" + HtmlEscape(row.title) +
           "</h3><ul class=\"values\">";
    for (const auto& value : row.values) {
      out += "<li><a class=\"choice\" role=\"checkbox\" aria-checked=\"" +
             std::string(value.selected ? "true" : "false") + "\" data-value=" + Attr(value.data) +
             " href=" + Attr(Link(screen.params, Toggle(row, value))) +
             "><span class=\"box\" aria-hidden=\"true\"></span>" + HtmlEscape(value.text) + "</a></li>";
    }
    return out + "</ul></div>\n";
  }
  out += "<form class=\"row range\" method=\"get\" action=\"/\" data-autosubmit" + RowAttributes(row) +
         "><h3>" + HtmlEscape(row.title) + "</h3>" + Hidden(screen.params, {}) +
         "<input type=\"hidden\" name=\"op\" value=\"range\">"
         "<input type=\"hidden\" name=\"schema\" value=" + Attr(row.schema) + ">"
         "<input type=\"hidden\" name=\"loc\" value=" + Attr(row.location) + ">"
         "<input type=\"hidden\" name=\"sv\" value=" + Attr(row.schemaValue) + ">";
  out += RangeSelect("min", "from", row, row.min);
  out += RangeSelect("max", "to", row, row.max);
  return out + "<button class=\"apply\">Apply</button></form>\n";
}

std::string Plural(int32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The codes of a currency list, never empty.
std::vector<std::string> SplitCodes(const std::string& list) {
  std::vector<std::string> codes;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string code = list.substr(start, end - start);
    code.erase(0, code.find_first_not_of(' '));
    code.erase(code.find_last_not_of(' ') + 1);
    if (!code.empty() && std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    start = end + 1;
  }
  if (codes.empty()) codes.push_back(list);
  return codes;
}

std::string JsonBool(bool b) { return b ? "true" : "false"; }

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + JsonString(items[i]);
  return out + "]";
}

}  // namespace

std::string HexNumber(int32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(number));
  return buf;
}

std::string RenderHtml(const Screen& screen) {
  const Params& p = screen.params;
  std::string body = "<header><h1>Search by Features</h1>";
  body += "<p id=\"count\" data-count=\"" + std::to_string(screen.count) + "\"><strong>" +
          std::to_string(screen.count) + "</strong> " +
          (screen.count == 1 ? "vehicle matches" : "vehicles match") + "</p>";

  body += "<form id=\"settings\" method=\"get\" action=\"/\" data-autosubmit>" + Hidden(p, {"lang", "cur"});
  body += "<label>Language <select name=\"lang\">";
  bool listed = false;
  for (const auto& language : screen.languages) {
    listed = listed || language.id == p.language;
    body += "<option value=\"" + std::to_string(language.id) + "\"" +
            (language.id == p.language ? " selected" : "") + ">" + HtmlEscape(language.name) + "</option>";
  }
  if (!listed)
    body += "<option value=\"" + std::to_string(p.language) + "\" selected>" +
            HtmlEscape(LanguageName(p.language)) + "</option>";
  // The select picks the primary currency; the other currencies of the list stay, since
  // prices stored in one of them can only be converted when it is in the list.
  body += "</select></label> <label>Currency <select name=\"cur\">";
  const std::vector<std::string> current = SplitCodes(p.currencies);
  std::vector<std::string> codes = screen.currencyCodes;
  if (std::find(codes.begin(), codes.end(), current.front()) == codes.end()) codes.insert(codes.begin(), current.front());
  for (const auto& code : codes) {
    std::string list = code;
    for (const auto& other : current)
      if (other != code) list += "," + other;
    body += "<option" + std::string(code == current.front() ? " selected" : "") + " value=" + Attr(list) +
            ">" + HtmlEscape(code) + "</option>";
  }
  body += "</select></label> <button class=\"apply\">Apply</button></form>";

  Params toggled = p;
  toggled.standardOnly = !p.standardOnly;
  body += "<a id=\"standard-only\" role=\"checkbox\" class=\"choice\" aria-checked=\"" +
          std::string(p.standardOnly ? "true" : "false") + "\" href=" + Attr(Link(toggled)) +
          "><span class=\"box\" aria-hidden=\"true\"></span>Standard equipment only</a>";
  Change clear;
  clear.kind = Change::Clear;
  body += "<a id=\"clear\" href=" + Attr(Link(p, clear)) + ">Clear all choices</a>";
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
    body += "<section id=\"choices\"><h2>Your choices</h2><ul>";
    for (const auto& choice : screen.choices)
      body += "<li>" + HtmlEscape(choice.title) + ": " + HtmlEscape(choice.text) + " <a href=" +
              Attr(Link(p, choice.remove)) + " title=\"remove\">&#x2715;</a></li>";
    body += "</ul></section>\n";
  }

  body += "<section id=\"criteria\">";
  if (screen.rows.empty())
    body += "<p>No criteria to show" +
            std::string(screen.count == 0 ? ": no vehicle matches these choices." : ".") + "</p>";
  for (const auto& row : screen.rows) body += RenderRow(screen, row);
  body += "</section>\n";

  body += "<section id=\"vehicles\"><h2>Matching vehicles</h2>";
  if (static_cast<size_t>(screen.count) > screen.vehicles.size())
    body += "<p>The first " + Plural(static_cast<int32_t>(screen.vehicles.size()), "vehicle", "vehicles") +
            " of " + std::to_string(screen.count) + ".</p>";
  body += "<table><thead><tr>";
  for (size_t c = 1; c < screen.columns.size(); ++c) {
    const std::string& column = screen.columns[c];
    Params sorted = p;
    sorted.sort = column;
    const bool current = !screen.sortColumns.empty() && screen.sortColumns.front() == column;
    body += "<th" + std::string(current ? " aria-sort=\"ascending\"" : "") + "><a href=" +
            Attr(Link(sorted)) + " data-column=" + Attr(column) + ">" + HtmlEscape(column) + "</a></th>";
  }
  body += "</tr></thead><tbody>";
  for (const auto& vehicle : screen.vehicles) {
    body += "<tr data-vehicle=" + Attr(vehicle.empty() ? "" : vehicle[0]) + ">";
    for (size_t c = 1; c < vehicle.size(); ++c) body += "<td>" + HtmlEscape(vehicle[c]) + "</td>";
    body += "</tr>";
  }
  body += "</tbody></table></section>\n";
  return Page("Search by Features: " + Plural(screen.count, "vehicle", "vehicles"), body);
}

std::string RenderJson(const Screen& screen) {
  const Params& p = screen.params;
  std::string out = "{\"state\":" + JsonString(p.state);
  out += ",\"url\":" + JsonString(Link(p)) + ",\"api\":" + JsonString(ApiLink(p));
  out += ",\"params\":{\"state\":" + JsonString(p.state) + ",\"category\":" + JsonString(p.category) +
         ",\"language\":" + std::to_string(p.language) + ",\"currencies\":" + JsonString(p.currencies) +
         ",\"standardOnly\":" + JsonBool(p.standardOnly) + ",\"sort\":" + JsonString(p.sort) + "}";
  out += ",\"changed\":" + JsonBool(screen.changed);
  out += ",\"count\":" + std::to_string(screen.count);
  out += ",\"headings\":[";
  for (size_t i = 0; i < screen.headings.size(); ++i) {
    const Heading& h = screen.headings[i];
    Params tab = p;
    tab.category = h.category;
    out += std::string(i ? "," : "") + "{\"text\":" + JsonString(h.text) + ",\"category\":" +
           JsonString(h.category) + ",\"current\":" + JsonBool(h.current) + ",\"api\":" +
           JsonString(ApiLink(tab)) + "}";
  }
  out += "],\"rows\":[";
  for (size_t i = 0; i < screen.rows.size(); ++i) {
    const Row& row = screen.rows[i];
    out += std::string(i ? "," : "") + "{\"rowId\":" + std::to_string(row.rowId) +
           ",\"orderId\":" + std::to_string(row.orderId) + ",\"category\":" + JsonString(row.category) +
           ",\"title\":" + JsonString(row.title) + ",\"schema\":" + JsonString(row.schema) +
           ",\"location\":" + JsonString(row.location) + ",\"schemaValue\":" + JsonString(row.schemaValue) +
           ",\"kind\":" + (row.range ? "\"range\"" : "\"list\"");
    if (row.range)
      out += ",\"min\":" + (row.min.empty() ? std::string("null") : JsonString(row.min)) +
             ",\"max\":" + (row.max.empty() ? std::string("null") : JsonString(row.max));
    out += row.range ? ",\"ladder\":[" : ",\"values\":[";
    for (size_t v = 0; v < row.values.size(); ++v) {
      const Value& value = row.values[v];
      out += std::string(v ? "," : "") + "{\"text\":" + JsonString(value.text) + ",\"value\":" +
             JsonString(value.data) + ",\"selected\":" + JsonBool(value.selected);
      if (!row.range) out += ",\"toggle\":" + JsonString(ApiLink(p, Toggle(row, value)));
      out += "}";
    }
    out += "]}";
  }
  out += "],\"choices\":[";
  for (size_t i = 0; i < screen.choices.size(); ++i) {
    const Choice& c = screen.choices[i];
    out += std::string(i ? "," : "") + "{\"title\":" + JsonString(c.title) + ",\"text\":" +
           JsonString(c.text) + ",\"remove\":" + JsonString(ApiLink(p, c.remove)) + "}";
  }
  out += "],\"columns\":" + JsonList(screen.columns) + ",\"sort\":" + JsonList(screen.sortColumns);
  out += ",\"vehicles\":[";
  for (size_t i = 0; i < screen.vehicles.size(); ++i) out += (i ? "," : "") + JsonList(screen.vehicles[i]);
  out += "],\"languages\":[";
  for (size_t i = 0; i < screen.languages.size(); ++i)
    out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(screen.languages[i].id) +
           ",\"name\":" + JsonString(screen.languages[i].name) + "}";
  out += "],\"currencies\":" + JsonList(screen.currencyCodes) + "}\n";
  return out;
}

std::string RenderHtmlError(const RequestError& error) {
  std::string body = "<h1>The request could not be answered</h1><dl class=\"error\" id=\"error\"";
  if (error.library) body += " data-number=\"" + std::to_string(error.number) + "\"";
  body += " data-source=" + Attr(error.source) + ">";
  if (error.library) body += "<dt>Number</dt><dd id=\"error-number\">" + HexNumber(error.number) + "</dd>";
  body += "<dt>Source</dt><dd id=\"error-source\">" + HtmlEscape(error.source) + "</dd>";
  body += "<dt>Description</dt><dd id=\"error-description\">" + HtmlEscape(error.description) + "</dd></dl>";
  if (!error.hint.empty()) body += "<p class=\"hint\">" + HtmlEscape(error.hint) + "</p>";
  if (error.params) {
    Params params = *error.params;
    if (error.badState) {
      params.state.clear();
      body += "<p><a id=\"clear-state\" href=" + Attr(Link(params)) +
              ">Clear the saved state and start from no choices</a></p>";
    } else if (error.changeFailed) {
      body += "<p><a id=\"back\" href=" + Attr(Link(params)) + ">Back to the screen without this change</a></p>";
    }
  }
  body += "<p><a id=\"start-over\" href=\"/\">Start over</a></p>";
  return Page("Error: " + error.description, body);
}

std::string RenderJsonError(const RequestError& error) {
  std::string out = "{\"error\":{\"status\":" + std::to_string(error.status);
  out += ",\"number\":" + (error.library ? std::to_string(error.number) : std::string("null"));
  out += ",\"hex\":" + (error.library ? JsonString(HexNumber(error.number)) : std::string("null"));
  out += ",\"source\":" + JsonString(error.source) + ",\"description\":" + JsonString(error.description);
  out += ",\"badState\":" + JsonBool(error.badState);
  if (!error.hint.empty()) out += ",\"hint\":" + JsonString(error.hint);
  if (error.params && (error.badState || error.changeFailed)) {
    Params params = *error.params;
    if (error.badState) params.state.clear();
    out += std::string(error.badState ? ",\"clearState\":" : ",\"back\":") + JsonString(ApiLink(params));
  }
  return out + "}}\n";
}

std::string RenderHtmlNotFound(const std::string& path) {
  return Page("Not found", "<h1>Not found</h1><p class=\"error\">There is no page " + HtmlEscape(path) +
                               " here.</p><p><a id=\"start-over\" href=\"/\">The search screen</a></p>");
}

std::string RenderJsonNotFound(const std::string& path) {
  return "{\"error\":{\"status\":404,\"number\":null,\"hex\":null,\"source\":\"sbf-web\",\"description\":" +
         JsonString("no such path: " + path) + ",\"badState\":false}}\n";
}

}  // namespace sbf_web
