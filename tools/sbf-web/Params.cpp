#include "Params.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <utility>

#include "Request.h"
#include "Screen.h"
#include "Text.h"

namespace sbf_web {
namespace {

struct OpName {
  const char* name;
  Change::Kind kind;
};
constexpr OpName kOps[] = {
    {"pick", Change::Pick}, {"unpick", Change::Unpick}, {"set", Change::Set},     {"min", Change::Min},
    {"max", Change::Max},   {"range", Change::Range},   {"clear", Change::Clear},   {"either", Change::EitherOr},
};

const char* OpText(Change::Kind kind) {
  for (const auto& op : kOps)
    if (op.kind == kind) return op.name;
  return "";
}

// The parameters a change may carry; all others of a request are screen parameters.
const char* const kChangeKeys[] = {"schema", "loc", "sv", "value", "min", "max", "tmin", "tmax", "off"};

// The request's parameters the page knows, each once unless it may repeat.
class Query {
 public:
  explicit Query(const httplib::Request& request) : m_request(request) {
    for (const char* key : {"state", "cat", "lang", "cur", "std", "fmt", "sort", "offset", "limit", "op", "schema",
                            "loc", "sv", "min", "max", "tmin", "tmax"})
      if (request.get_param_value_count(key) > 1)
        throw RequestError(std::string("the parameter \"") + key + "\" is given more than once");
  }
  bool Has(const char* key) const { return m_request.has_param(key); }
  std::string Get(const char* key) const { return m_request.get_param_value(key); }
  std::vector<std::string> All(const char* key) const {
    std::vector<std::string> values;
    const auto [first, last] = m_request.params.equal_range(key);
    for (auto it = first; it != last; ++it) values.push_back(it->second);
    return values;
  }
  // A whole number in [low, high]; `what` says what it must be.
  long long Whole(const char* key, long long low, long long high, const char* what) const {
    const std::string text = Get(key);
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < low || n > high)
      throw RequestError(std::string(what) + ", not \"" + text + "\"");
    return n;
  }

 private:
  const httplib::Request& m_request;
};

void ReadSwitches(const Query& q, Params& params) {
  if (q.Has("std")) {
    const std::string text = q.Get("std");
    if (text != "0" && text != "1" && !text.empty())
      throw RequestError("std is 1 (standard equipment only) or 0, not \"" + text + "\"");
    params.standardOnly = text == "1";
  }
  if (q.Has("fmt")) {
    const std::string text = q.Get("fmt");
    if (text != "today" && text != "windows")
      throw RequestError("fmt is today (prices and numbers as written today) or windows (as Windows XP wrote them), not \"" +
                         text + "\"");
    params.todays = text == "today";
  }
  for (const auto& list : q.All("incl"))
    for (const auto& kind : sbf_host::SplitList(list)) {
      if (kind == "advanced") params.includeAdvanced = true;
      else if (kind == "old") params.includeOld = true;
      else if (kind == "built") params.includeBuilt = true;
      else if (!kind.empty()) throw RequestError("incl takes advanced, old and built, not \"" + kind + "\"");
    }
}

Params ReadParams(const Query& q) {
  Params params;
  if (q.Has("state")) {
    params.state = q.Get("state");
    params.hasState = true;
  }
  params.category = q.Get("cat");
  if (q.Has("lang"))
    params.language =
        static_cast<int32_t>(q.Whole("lang", INT32_MIN, INT32_MAX, "the language must be a language id (a whole number)"));
  if (q.Has("cur")) {
    params.currencies = q.Get("cur");
    if (params.currencies.empty()) throw RequestError("the currencies (cur) must name at least one currency");
  }
  ReadSwitches(q, params);
  params.sort = q.Get("sort");
  if (q.Has("offset"))
    params.offset = static_cast<size_t>(q.Whole("offset", 0, INT32_MAX, "offset is a number of vehicles (0 or more)"));
  if (q.Has("limit"))
    params.limit = static_cast<size_t>(q.Whole("limit", 1, INT32_MAX, "limit is a number of vehicles (1 or more)"));
  return params;
}

// The parameters each op takes.
std::set<std::string> AllowedFor(Change::Kind kind) {
  switch (kind) {
    case Change::Pick:
    case Change::Unpick:
    case Change::Set: return {"schema", "loc", "value", "off"};
    case Change::Min:
    case Change::Max: return {"schema", "loc", "sv", "value"};
    case Change::Range: return {"schema", "loc", "sv", "min", "max", "tmin", "tmax"};
    case Change::EitherOr: return {"schema", "loc", "value"};
    default: return {};
  }
}

Change ReadChange(const Query& q) {
  Change c;
  if (!q.Has("op")) {
    for (const char* key : kChangeKeys)
      if (q.Has(key)) throw RequestError(std::string("the parameter \"") + key + "\" needs an op");
    return c;
  }
  const std::string op = q.Get("op");
  for (const auto& known : kOps)
    if (op == known.name) c.kind = known.kind;
  if (c.kind == Change::None)
    throw RequestError("unknown op \"" + op + "\" (pick, unpick, set, min, max, range, clear or either)");
  const std::vector<std::string> values = q.All("value"), offered = q.All("off");
  if (values.size() > 1 && c.kind != Change::Set) throw RequestError("the parameter \"value\" is given more than once");
  const std::set<std::string> allowed = AllowedFor(c.kind);
  for (const char* key : kChangeKeys)
    if (q.Has(key) && !allowed.count(key)) throw RequestError("the op " + op + " takes no parameter \"" + key + "\"");
  if (c.kind == Change::Clear) return c;
  if (q.Get("schema").empty()) throw RequestError("the op " + op + " needs the item (schema)");
  if ((c.kind == Change::Pick || c.kind == Change::Unpick) && !q.Has("value"))
    throw RequestError("the op " + op + " needs a value");
  c.schema = q.Get("schema");
  c.location = q.Get("loc");
  c.schemaValue = q.Get("sv");
  c.value = values.empty() ? "" : values.front();
  if (c.kind == Change::Set) {
    for (const auto& value : values)
      if (!value.empty()) c.values.push_back(value);
    c.offered = offered;
    for (const auto& value : c.values)
      if (std::find(offered.begin(), offered.end(), value) == offered.end()) c.offered.push_back(value);
  }
  c.min = q.Get("min");
  c.max = q.Get("max");
  c.typedMin = q.Get("tmin");
  c.typedMax = q.Get("tmax");
  // An unticked check box sends no value: off.
  if (c.kind == Change::EitherOr && c.value != "1" && c.value != "0" && !c.value.empty())
    throw RequestError("the op either takes value 1 (either-or) or 0 (not), not \"" + c.value + "\"");
  return c;
}

// The change's own parameters, in the order a link writes them.
void AppendChange(std::vector<std::pair<std::string, std::string>>& pairs, const Change& change) {
  pairs.emplace_back("op", OpText(change.kind));
  switch (change.kind) {
    case Change::Pick:
    case Change::Unpick:
    case Change::EitherOr:
      pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}, {"value", change.value}});
      break;
    case Change::Set:
      pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}});
      for (const auto& value : change.offered) pairs.emplace_back("off", value);
      for (const auto& value : change.values) pairs.emplace_back("value", value);
      break;
    case Change::Min:
    case Change::Max:
      pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}, {"sv", change.schemaValue},
                                 {"value", change.value}});
      break;
    case Change::Range:
      pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}, {"sv", change.schemaValue},
                                 {"min", change.min}, {"max", change.max}});
      if (!change.typedMin.empty()) pairs.emplace_back("tmin", change.typedMin);
      if (!change.typedMax.empty()) pairs.emplace_back("tmax", change.typedMax);
      break;
    default: break;
  }
}

}  // namespace

Request ParseRequest(const httplib::Request& request) {
  const Query query(request);
  return Request{ReadParams(query), ReadChange(query)};
}

std::string QueryOf(const Params& params, const Change& change) {
  // Without a state the screen starts as the first one does.
  std::vector<std::pair<std::string, std::string>> pairs;
  if (params.hasState) pairs.emplace_back("state", params.state);
  pairs.insert(pairs.end(), {{"cat", params.category}, {"lang", std::to_string(params.language)}, {"cur", params.currencies}});
  if (params.standardOnly) pairs.emplace_back("std", "1");
  if (!params.todays) pairs.emplace_back("fmt", "windows");
  std::string incl;
  for (const auto& [on, kind] : {std::pair{params.includeAdvanced, "advanced"}, std::pair{params.includeOld, "old"},
                                 std::pair{params.includeBuilt, "built"}})
    if (on) incl.append(incl.empty() ? "" : ",").append(kind);
  if (!incl.empty()) pairs.emplace_back("incl", incl);
  if (!params.sort.empty()) pairs.emplace_back("sort", params.sort);
  if (params.offset > 0) pairs.emplace_back("offset", std::to_string(params.offset));
  if (params.limit != Params{}.limit) pairs.emplace_back("limit", std::to_string(params.limit));
  if (change.kind != Change::None) AppendChange(pairs, change);
  return BuildQuery(pairs);
}

}  // namespace sbf_web
