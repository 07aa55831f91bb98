#include "Change.h"

#include <algorithm>
#include <vector>

namespace sbf_web {
namespace {

using sbf_host::kNoBound;
using sbf_host::Selection;

// A bound from a form or a link: kStoredBound and a stored amount, kept as it is; else an
// amount as the ladder shows it.
bool IsStored(const std::string& bound) { return !bound.empty() && bound[0] == kStoredBound; }

// The selection a change adds, for the shared check.
Selection SelectionOf(const Change& change, const std::string& value) {
  Selection s;
  s.schema = change.schema;
  s.location = change.location;
  s.schemaValue = change.schemaValue;
  s.value = value;
  return s;
}

bool IsBoundChange(const Change& c) { return c.kind == Change::Min || c.kind == Change::Max || c.kind == Change::Range; }

bool SameRange(const Selection& s, const Change& c) {
  return s.kind != Selection::Value && s.schema == c.schema && s.location == c.location &&
         s.schemaValue == c.schemaValue;
}

bool SameItem(const Selection& s, const Change& c) {
  return s.kind == Selection::Value && s.schema == c.schema && s.location == c.location;
}

// A bound as stored: kept ones as they are, picked ones converted from the ladder's currency.
std::string Stored(mirel_SbF::Search& search, const Change& change, const std::string& bound) {
  if (bound.empty()) return kNoBound;
  if (IsStored(bound)) return bound.substr(1);
  return search.PriceBoundToStored(change.schema, bound);
}

void CheckBounds(const Change& change, const sbf_host::Catalog& catalog) {
  // The bounds the change sets are checked (numbers, min not above max); bounds kept from
  // the state were checked when they were set, and empty ones clear.
  const std::string min = change.kind == Change::Range ? change.min : change.kind == Change::Min ? change.value : "";
  const std::string max = change.kind == Change::Range ? change.max : change.kind == Change::Max ? change.value : "";
  auto given = [](const std::string& bound) { return !bound.empty() && !IsStored(bound); };
  Selection s = SelectionOf(change, "");
  s.kind = Selection::Range;
  s.min = given(min) ? min : given(max) ? max : "0";
  s.max = given(max) ? max : s.min;
  sbf_host::CheckSelection(catalog, s);
}

// The bounds of the change's range, kept ones included, as stored ("!!" for none).
struct Bounds {
  std::string min = kNoBound, max = kNoBound;
};

// The choices the change leaves of `before`; the range's current bounds go into `bounds`.
std::vector<Selection> Remaining(const std::vector<Selection>& before, const Change& change, Bounds& bounds) {
  std::vector<Selection> kept;
  for (const auto& s : before) {
    const bool offered =
        std::find(change.offered.begin(), change.offered.end(), s.value) != change.offered.end();
    if (change.kind == Change::Unpick && SameItem(s, change) && s.value == change.value) continue;
    if (change.kind == Change::Set && SameItem(s, change) && offered) continue;
    if (IsBoundChange(change) && SameRange(s, change)) {
      // An empty bound (only a hand-made state has one) counts as none.
      bounds.min = s.min.empty() ? kNoBound : s.min;
      bounds.max = s.max.empty() ? kNoBound : s.max;
      continue;
    }
    kept.push_back(s);
  }
  return kept;
}

// The change's bounds over the kept ones; a lower bound above the upper one would match
// nothing, and is refused as a typed one is.
void SetBounds(mirel_SbF::Search& search, const Change& change, Bounds& bounds) {
  if (change.kind == Change::Min) bounds.min = Stored(search, change, change.value);
  if (change.kind == Change::Max) bounds.max = Stored(search, change, change.value);
  if (change.kind == Change::Range) {
    bounds.min = Stored(search, change, change.min);
    bounds.max = Stored(search, change, change.max);
  }
  double low = 0, high = 0;
  if (bounds.min != kNoBound && bounds.max != kNoBound && sbf_host::ToNumber(bounds.min, low) &&
      sbf_host::ToNumber(bounds.max, high) && low > high)
    throw sbf_host::RequestError("the lower bound " + search.FormatPriceBound(change.schema, bounds.min) + " of item " +
                                 change.schema + " at location " + change.location + " is above the upper bound " +
                                 search.FormatPriceBound(change.schema, bounds.max));
}

// What the change adds, through the library's add operations. A picked value is also the
// schema value, so that the library matches exactly that value.
void Add(mirel_SbF::Search& search, const Change& change, const Bounds& bounds) {
  const std::string& s = change.schema;
  const std::string& l = change.location;
  const std::string& v = change.schemaValue;
  if (change.kind == Change::Pick) search.AddSelection(s, l, change.value, change.value);
  if (change.kind == Change::Set)
    for (const auto& value : change.values) search.AddSelection(s, l, value, value);
  if (!IsBoundChange(change)) return;
  if (bounds.min != kNoBound && bounds.max != kNoBound) search.AddMinMax(s, l, v, bounds.min, bounds.max);
  else if (bounds.min != kNoBound) search.AddMin(s, l, v, bounds.min);
  else if (bounds.max != kNoBound) search.AddMax(s, l, v, bounds.max);
}

}  // namespace

void CheckChange(const Change& change, const sbf_host::Catalog& catalog) {
  switch (change.kind) {
    case Change::Pick: sbf_host::CheckSelection(catalog, SelectionOf(change, change.value)); break;
    case Change::Set:
      // The values a row offers and the picked ones; removing one not offered is harmless.
      for (const auto& value : change.values) sbf_host::CheckSelection(catalog, SelectionOf(change, value));
      if (change.values.empty() &&
          std::none_of(catalog.rows.begin(), catalog.rows.end(), [&](const sbf_host::Row& r) {
            return !r.range && r.schema == change.schema && r.location == change.location;
          }))
        throw sbf_host::RequestError("no criteria row offers values of item " + change.schema + " at location " +
                                     change.location);
      break;
    case Change::Min:
    case Change::Max:
    case Change::Range: CheckBounds(change, catalog); break;
    case Change::EitherOr: sbf_host::CheckEitherOr(catalog, {change.schema, change.location}); break;
    default: break;
  }
}

void ApplyChange(mirel_SbF::Search& search, const Change& change, const std::function<std::string()>& initial) {
  if (change.kind == Change::None) return;
  if (change.kind == Change::Clear) return search.CurrentState(initial());
  if (change.kind == Change::EitherOr) return search.EitherOr(change.schema, change.location, change.value == "1");
  const std::vector<Selection> before = sbf_host::ChoicesOf(search);
  if (change.kind == Change::Pick &&
      std::any_of(before.begin(), before.end(),
                  [&](const Selection& s) { return SameItem(s, change) && s.value == change.value; }))
    return;  // already picked
  Bounds bounds;
  const std::vector<Selection> kept = Remaining(before, change, bounds);
  if (IsBoundChange(change)) SetBounds(search, change, bounds);
  if (kept.size() != before.size()) sbf_host::SetChoices(search, kept, search.EitherOrMarks());
  Add(search, change, bounds);
}

}  // namespace sbf_web
