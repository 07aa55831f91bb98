// The checks of a request against the catalog: selections, either-or marks, a state text
// (read by the library), categories and amounts typed in a language.
#include <algorithm>
#include <memory>

#include <unicode/unum.h>

#include "Internal.h"
#include "Request.h"
#include "Words.h"

namespace sbf_host {
namespace {

using detail::Contains;
using detail::Number;
using detail::SameWithoutCase;

std::string Item(const Selection& s) {
  return "item " + s.schema + " at location " + s.location +
         (s.schemaValue.empty() ? "" : " with value \"" + s.schemaValue + "\"");
}

// Words for a state text the library cannot read, by the error it raised.
std::string UnreadableState(const std::string& state, const mirel_SbF::Error& e) {
  const size_t fields = static_cast<size_t>(std::count(state.begin(), state.end(), '~')) + 1;
  if (e.Number() == 9)
    return "the state text has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") +
           " separated by \"~\", not six for each choice";
  if (e.Number() == 6 && fields > 6 * 5461) return "the state text holds more than 5461 choices";
  if (e.Number() == 6 || e.Number() == 13)
    return "the state text cannot be read: each choice begins with 1 (a range), 2 (a value) or either-or (" +
           e.Description() + ")";
  return "the state text cannot be read: " + e.Description();
}

}  // namespace

std::string ResolveCategory(const Catalog& catalog, const std::string& typed) {
  if (typed.empty()) return typed;
  for (const auto& c : catalog.categories)
    if (c.name == typed) return c.name;
  for (const auto& c : catalog.categories)
    if (SameWithoutCase(c.name, typed) || SameWithoutCase(c.heading, typed)) return c.name;
  std::vector<std::string> names;
  for (const auto& c : catalog.categories)
    names.push_back(c.name + (c.heading == c.name ? "" : " (" + c.heading + ")"));
  throw RequestError("unknown category \"" + typed + "\" (the categories are " + JoinWords(names) + ")");
}

void CheckSelection(const Catalog& catalog, const Selection& s) {
  const bool range = s.kind != Selection::Value;
  if (s.schema.empty()) throw RequestError("a selection needs its item (SCHEMA, e.g. 7401 in 7401:0::EU)");
  std::vector<const Row*> rows;
  for (const auto& row : catalog.rows)
    if (row.schema == s.schema && row.location == s.location) rows.push_back(&row);
  if (rows.empty()) throw RequestError("no criteria row has item " + s.schema + " at location " + s.location);
  if (!range) {
    const auto isRange = [](const Row* r) { return r->range; };
    if (std::all_of(rows.begin(), rows.end(), isRange))
      throw RequestError(Item(s) + " is a range: give bounds (from ... to), not a value");
    std::vector<std::string> codes;
    for (const Row* row : rows) {
      if (row->range) continue;
      for (const auto& v : row->values) {
        if (v.data == s.value) return;
        if (!Contains(codes, v.data)) codes.push_back(v.data);
      }
    }
    for (const Row* row : rows)
      for (const auto& v : row->values)
        if (!row->range && SameWithoutCase(v.text, s.value))
          throw RequestError("\"" + s.value + "\" is the name shown for " + Item(s) + "; its code is " + v.data);
    throw RequestError("\"" + s.value + "\" is not a value of " + Item(s) + " (the values are " + JoinWords(codes) + ")");
  }
  const bool hasRange = std::any_of(rows.begin(), rows.end(), [&](const Row* r) {
    return r->range && r->schemaValue == s.schemaValue;
  });
  if (!hasRange) {
    if (std::none_of(rows.begin(), rows.end(), [](const Row* r) { return r->range; }))
      throw RequestError(Item(s) + " is picked by value, not by a range");
    throw RequestError("no range row has " + Item(s));
  }
  const std::optional<double> min = s.kind == Selection::Max ? std::nullopt : Number(s.min);
  const std::optional<double> max = s.kind == Selection::Min ? std::nullopt : Number(s.max);
  auto refuse = [&](const char* which, const std::string& bound) {
    if (bound.empty())
      throw RequestError(std::string("the ") + which + " bound of " + Item(s) +
                         " is empty: give a number (e.g. 100 or 2.5), or leave the bound out");
    throw RequestError(std::string("the ") + which + " bound \"" + bound + "\" of " + Item(s) +
                       " is not a number (e.g. 100 or 2.5)");
  };
  if (s.kind != Selection::Max && !min) refuse("lower", s.min);
  if (s.kind != Selection::Min && !max) refuse("upper", s.max);
  if (min && max && *min > *max)
    throw RequestError("the lower bound " + s.min + " of " + Item(s) + " is above the upper bound " + s.max);
}

void CheckEitherOr(const Catalog& catalog, const Criterion& c) {
  if (c.schema.empty()) throw RequestError("either-or needs the item (SCHEMA, e.g. 7401 or 7401:0)");
  bool known = false;
  for (const auto& row : catalog.rows) {
    if (row.schema != c.schema || row.location != c.location) continue;
    if (!row.range) return;
    known = true;
  }
  if (!known) throw RequestError("no criteria row has item " + c.schema + " at location " + c.location);
  throw RequestError("item " + c.schema + " at location " + c.location +
                     " is a range: either-or widens the choices of values, a range has none");
}

void CheckState(const Catalog& catalog, const std::string& state) {
  // The library reads the text (its one reader); what it restored is checked as the same
  // choices given one by one would be.
  mirel_SbF::Search reader;
  try {
    reader.CurrentState(state);
  } catch (const mirel_SbF::Error& e) {
    throw RequestError(UnreadableState(state, e));
  }
  for (const auto& mark : reader.EitherOrMarks()) CheckEitherOr(catalog, {mark.schema, mark.location});
  for (const auto& s : ChoicesOf(reader)) {
    if (s.kind == Selection::Value) {
      CheckSelection(catalog, s);
      continue;
    }
    // A range: "!!" for a side without a bound.
    Selection bounds = s;
    const bool hasMin = s.min != kNoBound, hasMax = s.max != kNoBound;
    bounds.kind = hasMin && hasMax ? Selection::Range : hasMin ? Selection::Min : hasMax ? Selection::Max : Selection::Range;
    bounds.min = hasMin ? s.min : "0";
    bounds.max = hasMax ? s.max : bounds.kind == Selection::Range ? "0" : "";
    CheckSelection(catalog, bounds);
  }
}

std::string ParseAmount(const std::string& typed, int32_t language, const std::string& what) {
  std::string text = typed;
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  auto fail = [&] { return RequestError(what + " \"" + typed + "\" is not an amount (e.g. 5000)"); };
  if (text.empty() || text.size() > 64) throw fail();
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UNumberFormat, void (*)(UNumberFormat*)> format(
      unum_open(UNUM_DECIMAL, nullptr, 0, LanguageTag(language).c_str(), nullptr, &status), unum_close);
  if (U_FAILURE(status)) throw fail();
  std::u16string utf16;
  for (size_t i = 0; i < text.size();) {
    // The amount as UTF-16; only what a number of the language holds gets through ICU.
    UChar32 c = 0;
    U8_NEXT(text.data(), i, text.size(), c);
    if (c < 0) throw fail();
    UChar units[2];
    int32_t n = 0;
    U16_APPEND_UNSAFE(units, n, c);
    utf16.append(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(n));
  }
  int32_t end = 0;
  char out[128];
  const int32_t length = unum_parseDecimal(format.get(), reinterpret_cast<const UChar*>(utf16.data()),
                                           static_cast<int32_t>(utf16.size()), &end, out, sizeof out, &status);
  if (U_FAILURE(status) || end != static_cast<int32_t>(utf16.size()) || length <= 0 || length >= 128) throw fail();
  const std::string plain(out, static_cast<size_t>(length));
  if (!Number(plain)) throw fail();
  return plain;
}

bool ToNumber(const std::string& text, double& value) {
  const std::optional<double> number = Number(text);
  if (number) value = *number;
  return number.has_value();
}

}  // namespace sbf_host
