#include "Output.h"

#include <algorithm>
#include <cmath>

#include "Json.h"

namespace sbf {
namespace {

std::string PlainValue(const mirel_SbF::Variant& value) {
  using mirel_SbF::VariantType;
  switch (value.Type()) {
    case VariantType::Empty: return "";
    case VariantType::Null: return "(null)";
    case VariantType::Double:
      // CStr refuses these; a person still wants to see the row.
      if (std::isnan(value.AsDouble())) return "NaN";
      if (std::isinf(value.AsDouble())) return value.AsDouble() > 0 ? "Infinity" : "-Infinity";
      break;
    default: break;
  }
  return mirel_SbF::CStr(value);
}

// Display width of a UTF-8 text: its code points.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Pad(const std::string& text, size_t width) {
  const size_t w = Width(text);
  return text + std::string(w < width ? width - w : 0, ' ');
}

// The option that picks from a row, with the part the user fills in.
std::string OptionOf(const sbf_host::Row& row) {
  const std::string item = row.schema + ":" + row.location + ":" + row.schemaValue + ":";
  return row.range ? "--range " + item + "MIN:MAX" : "--value " + item + "VALUE";
}

// Lines of cells in columns as wide as their widest cell, two blanks apart.
std::string Aligned(const std::vector<std::vector<std::string>>& cells) {
  std::vector<size_t> widths;
  for (const auto& line : cells) {
    widths.resize(std::max(widths.size(), line.size()), 0);
    for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], Width(line[c]));
  }
  std::string out;
  for (const auto& line : cells) {
    for (size_t c = 0; c < line.size(); ++c) out += c + 1 < line.size() ? Pad(line[c], widths[c] + 2) : line[c];
    out += "\n";
  }
  return out;
}

}  // namespace

std::string FormatRecords(mirel_SbF::Recordset& rs, bool json, const char* noun) {
  const int32_t columns = rs.FieldCount();
  std::vector<std::string> names;
  for (int32_t c = 0; c < columns; ++c) names.push_back(rs.Fields(c).Name());
  std::vector<std::vector<mirel_SbF::Variant>> rows;
  for (; !rs.EndOfFile(); rs.MoveNext()) {
    std::vector<mirel_SbF::Variant> row;
    for (int32_t c = 0; c < columns; ++c) row.push_back(rs.Fields(c).Value());
    rows.push_back(std::move(row));
  }
  rs.Close();

  if (json) {
    sbf_host::Json out = {{"columns", names}, {"rows", sbf_host::Json::array()}, {"count", rows.size()}};
    for (const auto& row : rows) {
      sbf_host::Json cells = sbf_host::Json::array();
      for (const auto& v : row) cells.push_back(sbf_host::ToJson(v));
      out["rows"].push_back(std::move(cells));
    }
    return sbf_host::Dump(out);
  }
  std::vector<std::vector<std::string>> cells{names};
  for (const auto& row : rows) {
    std::vector<std::string> line;
    for (const auto& v : row) line.push_back(PlainValue(v));
    cells.push_back(std::move(line));
  }
  return Aligned(cells) + std::to_string(rows.size()) + " " + noun + (rows.size() == 1 ? "" : "s") + "\n";
}

std::string FormatVehicles(const sbf_host::VehicleTable& table, const sbf_host::Words& words,
                           std::optional<size_t> limit, bool json) {
  if (json) {
    sbf_host::Json out = {{"columns", table.columns}, {"titles", table.titles}, {"rows", sbf_host::Json::array()},
                          {"texts", table.texts},     {"count", table.total},   {"offset", table.offset},
                          {"limit", limit ? sbf_host::Json(*limit) : sbf_host::Json(nullptr)}};
    for (const auto& row : table.values) {
      sbf_host::Json cells = sbf_host::Json::array();
      for (const auto& v : row) cells.push_back(sbf_host::ToJson(v));
      out["rows"].push_back(std::move(cells));
    }
    return sbf_host::Dump(out);
  }
  std::vector<std::vector<std::string>> cells{table.titles};
  cells.insert(cells.end(), table.texts.begin(), table.texts.end());
  const std::string out = Aligned(cells);
  const size_t shown = table.texts.size();
  if (!limit && table.offset == 0)
    return out + std::to_string(table.total) + " " + (table.total == 1 ? words.vehicleMatches : words.vehiclesMatch) + "\n";
  return out + sbf_host::Fill(words.shownOf, std::to_string(shown ? table.offset + 1 : table.offset),
                              std::to_string(table.offset + shown), std::to_string(table.total)) +
         "\n";
}

std::string FormatScreen(const std::vector<sbf_host::Row>& rows, const std::vector<sbf_host::Category>& categories,
                         int32_t matching, const sbf_host::Words& words, bool json) {
  if (json) {
    sbf_host::Json out = {{"matching", matching}, {"rows", sbf_host::Json::array()}};
    for (const auto& row : rows) {
      sbf_host::Json values = sbf_host::Json::array();
      for (const auto& v : row.values)
        values.push_back({{"text", v.text}, {"value", v.data}, {"selected", v.selected},
                          {"count", v.count < 0 ? sbf_host::Json(nullptr) : sbf_host::Json(v.count)}});
      out["rows"].push_back({{"rowId", row.rowId}, {"orderId", row.orderId}, {"category", row.category},
                             {"title", row.title}, {"schema", row.schema}, {"location", row.location},
                             {"schemaValue", row.schemaValue}, {"minMax", row.range}, {"eitherOr", row.eitherOr},
                             {"values", values}});
    }
    return sbf_host::Dump(out);
  }
  std::string out, category;
  int32_t rowId = -1;
  bool none = false;  // a value no matching vehicle has is listed
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& row = rows[r];
    if (row.category != category) {
      category = row.category;
      std::string heading = category;
      for (const auto& c : categories)
        if (c.name == category) heading = c.heading;
      out += "\n== " + heading + " ==\n";
      rowId = -1;
    }
    // The parts of one criteria row (one title over several items) under one title, each
    // under its label.
    const std::string kind = std::string(row.range ? std::string(", ") + words.from + " ... " + words.to : "") +
                             (row.eitherOr ? ", either-or" : "");
    const bool part = row.rowId == rowId;
    const bool shared = part || (r + 1 < rows.size() && rows[r + 1].rowId == row.rowId);
    if (!part) out += row.title + (shared ? std::string() : kind + "   (" + OptionOf(row) + ")") + "\n";
    if (shared) out += "  " + (row.label.empty() ? std::string(part ? "+" : "-") : row.label) + kind + "   (" + OptionOf(row) + ")\n";
    rowId = row.rowId;
    size_t width = 0;
    for (const auto& v : row.values) width = std::max(width, Width(v.data));
    for (const auto& v : row.values) {
      // [-]: a value of the list no matching vehicle has (listed with --keep-all).
      const bool empty = !row.range && v.count == 0 && !v.selected;
      none = none || empty;
      out += std::string("  ") + (v.selected ? "[x] " : empty ? "[-] " : "[ ] ");
      out += v.text == v.data ? v.data : Pad(v.data, width + 2) + v.text;
      if (v.count >= 0) out += " (" + std::to_string(v.count) + ")";
      out += "\n";
    }
  }
  if (none) out += "\n[-] " + std::string(words.noValue) + "\n";
  return out + "\n" + std::to_string(matching) + " " + (matching == 1 ? words.vehicleMatches : words.vehiclesMatch) + "\n";
}

std::string PlainError(const mirel_SbF::Error& e) {
  return "error " + sbf_host::HexNumber(e.Number()) + " (" + e.Source() + "): " + e.Description() + "\n";
}

std::string JsonError(const mirel_SbF::Error& e) { return sbf_host::Dump({{"error", sbf_host::ErrorJson(e)}}); }

std::string JsonError(const std::string& source, const std::string& description) {
  return sbf_host::Dump({{"error", sbf_host::ErrorJson(source, description)}});
}

}  // namespace sbf
