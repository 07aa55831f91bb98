// A search's choices as the hosts handle them: added with price bounds converted, read
// back from the library, replaced, and marked on the rows; the vehicles the default filters
// hide.
#include <algorithm>

#include "Request.h"

namespace sbf_host {

void Apply(mirel_SbF::Search& search, const Selection& s) {
  switch (s.kind) {
    case Selection::Value: search.AddSelection(s.schema, s.location, s.schemaValue, s.value); break;
    case Selection::Range:
      search.AddMinMax(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.min),
                       search.PriceBoundToStored(s.schema, s.max));
      break;
    case Selection::Min:
      search.AddMin(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.min));
      break;
    case Selection::Max:
      search.AddMax(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.max));
      break;
  }
}

std::string BoundText(mirel_SbF::Search& search, const Row& row, const std::string& stored) {
  for (const auto& v : row.values)
    if (v.data == stored) return v.text;
  try {
    return search.FormatPriceBound(row.schema, stored);
  } catch (const mirel_SbF::Error&) {
    return stored;  // a hand-made state's bound that is no amount: shown as it is
  }
}

void MarkBounds(mirel_SbF::Search& search, Row& row, const std::string& min, const std::string& max) {
  const std::string minText = min.empty() ? "" : BoundText(search, row, min);
  const std::string maxText = max.empty() ? "" : BoundText(search, row, max);
  for (auto& v : row.values)
    v.selected = (!min.empty() && (v.data == min || v.text == minText)) ||
                 (!max.empty() && (v.data == max || v.text == maxText));
}

Hidden HiddenByFilters(mirel_SbF::Search& search, bool standardOnly, bool reduce, int32_t matching) {
  const bool advanced = search.ExcludeAdvancedVehicles(), old = search.ExcludeOldVehicles(),
             built = search.ExcludeBuiltVehicles();
  Hidden hidden;
  if (!advanced && !old && !built) return hidden;
  struct Restore {
    mirel_SbF::Search& s;
    bool advanced, old, built;
    ~Restore() {
      s.ExcludeAdvancedVehicles(advanced);
      s.ExcludeOldVehicles(old);
      s.ExcludeBuiltVehicles(built);
    }
  } restore{search, advanced, old, built};
  // Each filter that is on, alone off; then all of them off.
  auto without = [&](bool a, bool o, bool b) {
    search.ExcludeAdvancedVehicles(a);
    search.ExcludeOldVehicles(o);
    search.ExcludeBuiltVehicles(b);
    return search.GetNumberOfMatchingVehicles(standardOnly, reduce) - matching;
  };
  if (advanced) hidden.advanced = without(false, old, built);
  if (old) hidden.old = without(advanced, false, built);
  if (built) hidden.built = without(advanced, old, false);
  hidden.total = without(false, false, false);
  return hidden;
}


std::vector<Selection> ChoicesOf(const mirel_SbF::Search& search) {
  std::vector<Selection> selections;
  for (const auto& choice : search.Choices()) {
    Selection s;
    s.kind = choice.range ? Selection::Range : Selection::Value;
    s.schema = choice.schema;
    s.location = choice.location;
    s.schemaValue = choice.schemaValue;
    s.value = choice.value;
    s.min = choice.min;
    s.max = choice.max;
    selections.push_back(std::move(s));
  }
  return selections;
}

void SetChoices(mirel_SbF::Search& search, const std::vector<Selection>& selections,
                const std::vector<mirel_SbF::Search::EitherOrMark>& marks) {
  search.CurrentState("");
  for (const auto& mark : marks) search.EitherOr(mark.schema, mark.location, true);
  for (const auto& s : selections) {
    if (s.kind == Selection::Value) search.AddSelection(s.schema, s.location, s.schemaValue, s.value);
    else search.AddMinMax(s.schema, s.location, s.schemaValue, s.min.empty() ? kNoBound : s.min,
                          s.max.empty() ? kNoBound : s.max);
  }
}

void MarkPicks(mirel_SbF::Search& search, std::vector<Row>& rows, const std::vector<Selection>& state) {
  for (auto& row : rows) {
    if (row.range) {
      std::string min, max;
      for (const auto& s : state) {
        if (s.kind == Selection::Value || s.schema != row.schema || s.location != row.location ||
            s.schemaValue != row.schemaValue)
          continue;
        min = s.min == kNoBound ? "" : s.min;
        max = s.max == kNoBound ? "" : s.max;
      }
      MarkBounds(search, row, min, max);
      continue;
    }
    for (auto& v : row.values)
      v.selected = std::any_of(state.begin(), state.end(), [&](const Selection& s) {
        return s.kind == Selection::Value && s.schema == row.schema && s.location == row.location &&
               s.value == v.data;
      });
  }
}

}  // namespace sbf_host
