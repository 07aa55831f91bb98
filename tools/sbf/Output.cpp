#include "Output.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace sbf {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);  // UTF-8 passes as it is
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const mirel_SbF::Variant& value) {
  using mirel_SbF::VariantType;
  switch (value.Type()) {
    case VariantType::Empty:
    case VariantType::Null: return "null";
    case VariantType::Boolean: return value.AsBoolean() ? "true" : "false";
    case VariantType::Long:
    case VariantType::Double: return mirel_SbF::CStr(value);
    case VariantType::String: return JsonString(value.AsString());
  }
  return "null";
}

std::string HexNumber(int32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(number));
  return buf;
}

namespace {

std::string PlainValue(const mirel_SbF::Variant& value) {
  return value.IsNull() ? "(null)" : mirel_SbF::CStr(value);
}

// Display width of a UTF-8 text: its code points.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

void PrintRecords(std::ostream& out, mirel_SbF::Recordset& rs, bool json) {
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
    out << "{\"columns\":[";
    for (size_t c = 0; c < names.size(); ++c) out << (c ? "," : "") << JsonString(names[c]);
    out << "],\"rows\":[";
    for (size_t r = 0; r < rows.size(); ++r) {
      out << (r ? "," : "") << "[";
      for (size_t c = 0; c < rows[r].size(); ++c) out << (c ? "," : "") << JsonValue(rows[r][c]);
      out << "]";
    }
    out << "],\"count\":" << rows.size() << "}\n";
    return;
  }
  std::vector<size_t> widths;
  for (const auto& name : names) widths.push_back(Width(name));
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(PlainValue(row[c])));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < cells.size(); ++c) {
      text += cells[c];
      if (c + 1 < cells.size()) text += std::string(widths[c] - Width(cells[c]) + 2, ' ');
    }
    out << text << "\n";
  };
  line(names);
  for (const auto& row : rows) {
    std::vector<std::string> cells;
    for (const auto& v : row) cells.push_back(PlainValue(v));
    line(cells);
  }
  out << rows.size() << (rows.size() == 1 ? " vehicle\n" : " vehicles\n");
}

}  // namespace sbf
