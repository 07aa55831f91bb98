#include "Vehicles.h"

#include <algorithm>
#include <map>

#include "Words.h"

namespace sbf_host {
namespace {

// The items whose codes or amounts some version columns of the sample hold: shown by their
// names, or as prices in the current currencies. Another project's columns are shown as
// they are.
const std::map<std::string, std::string> kColumnItems = {
    {"make", "111"}, {"model", "112"}, {"model_year", "1102"}, {"origin", "7401"}, {"price", "902"},
};

bool Empty(const mirel_SbF::Variant& v) { return v.IsNull() || v.IsEmpty() || Text(v).empty(); }

}  // namespace

SortOrder ParseSort(const std::string& text, const std::vector<std::string>& columns) {
  SortOrder sort;
  std::string list = text;
  if (!list.empty() && list[0] == '-') {
    sort.descending = true;
    list.erase(0, 1);
  }
  if (list.empty()) {
    if (sort.descending) throw RequestError("\"-\" sorts the column after it descending (e.g. -price); no column follows");
    sort.columns = columns;
    return sort;
  }
  for (const auto& column : SplitList(list)) {
    if (std::find(columns.begin(), columns.end(), column) == columns.end()) {
      std::string names;
      for (const auto& c : columns) names += (names.empty() ? "" : ",") + c;
      throw RequestError("cannot sort by \"" + column + "\": the columns are " + names +
                         " (a leading \"-\" sorts the first one descending)");
    }
    if (std::find(sort.columns.begin(), sort.columns.end(), column) == sort.columns.end()) sort.columns.push_back(column);
  }
  return sort;
}

std::string SortText(const SortOrder& sort) {
  std::string text = sort.descending ? "-" : "";
  for (size_t i = 0; i < sort.columns.size(); ++i) text += (i ? "," : "") + sort.columns[i];
  return text;
}

VehicleTable ReadVehicleTable(mirel_SbF::Search& search, const Catalog& catalog, const std::vector<std::string>& columns,
                              const SortOrder& sort, bool standardOnly, bool reduce, size_t offset,
                              std::optional<size_t> limit, int32_t language) {
  VehicleTable table;
  table.sort = sort;
  table.columns = {"vehicle_id"};
  table.columns.insert(table.columns.end(), columns.begin(), columns.end());
  const Words& w = WordsFor(language);
  for (const auto& column : table.columns) {
    std::string title = column == "name" ? w.name : column == "model" ? w.model : column;
    const auto item = kColumnItems.find(column);
    if (item != kColumnItems.end())
      for (const auto& row : catalog.rows)
        if (row.schema == item->second) {
          title = row.title;
          break;
        }
    table.titles.push_back(title);
  }

  // The library sorts by the sort columns, then by the others shown, all ascending.
  std::vector<std::string> order = sort.columns;
  for (const auto& column : columns)
    if (std::find(order.begin(), order.end(), column) == order.end()) order.push_back(column);
  std::string sortList;
  for (const auto& column : order) sortList += (sortList.empty() ? "" : ",") + column;
  std::vector<std::vector<mirel_SbF::Variant>> rows;
  ReadAll(search.GetMatchingVehicles(standardOnly, reduce, sortList), [&](mirel_SbF::Recordset& rs) {
    std::vector<mirel_SbF::Variant> cells;
    for (const auto& column : table.columns) cells.push_back(rs.Fields(column).Value());
    rows.push_back(std::move(cells));
    return true;
  });
  if (!sort.columns.empty()) {
    const auto at = static_cast<size_t>(std::find(table.columns.begin(), table.columns.end(), sort.columns[0]) -
                                        table.columns.begin());
    // Without a value last, whichever way; descending turns the runs of equal first values
    // round, so that the other columns still order each run upwards.
    const auto valued = std::stable_partition(rows.begin(), rows.end(), [at](const auto& r) { return !Empty(r[at]); });
    if (sort.descending) {
      std::vector<std::vector<mirel_SbF::Variant>> turned;
      for (auto end = valued; end != rows.begin();) {
        auto begin = end - 1;
        while (begin != rows.begin() && Text((*(begin - 1))[at]) == Text((*begin)[at])) --begin;
        turned.insert(turned.end(), std::make_move_iterator(begin), std::make_move_iterator(end));
        end = begin;
      }
      std::move(turned.begin(), turned.end(), rows.begin());
    }
  }
  table.total = rows.size();
  table.offset = std::min(offset, rows.size());
  const size_t last = limit ? std::min(rows.size(), table.offset + *limit) : rows.size();

  std::map<std::string, std::map<std::string, std::string>> names;  // item -> code -> name
  for (const auto& row : catalog.rows)
    if (!row.range)
      for (const auto& v : row.values) names[row.schema].emplace(v.data, v.text);
  for (size_t r = table.offset; r < last; ++r) {
    std::vector<std::string> shown;
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const mirel_SbF::Variant& cell = rows[r][c];
      std::string text = Text(cell);
      const auto item = kColumnItems.find(table.columns[c]);
      if (item != kColumnItems.end() && !text.empty()) {
        const auto& known = names[item->second];
        const auto name = known.find(text);
        if (name != known.end())
          text = name->second;
        else if (cell.Type() == mirel_SbF::VariantType::Double || cell.Type() == mirel_SbF::VariantType::Long)
          text = search.FormatPriceBound(item->second, mirel_SbF::DoubleToText(mirel_SbF::CDbl(cell)));
      }
      shown.push_back(std::move(text));
    }
    table.texts.push_back(std::move(shown));
    table.values.push_back(std::move(rows[r]));
  }
  return table;
}

}  // namespace sbf_host
