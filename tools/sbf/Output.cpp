#include "Output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sbf {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

namespace {

// The shortest of 15 or 17 significant digits that reads back as the same double.
std::string JsonDouble(double d) {
  if (!std::isfinite(d)) return "null";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  if (std::strtod(buf, nullptr) != d) std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

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

}  // namespace

std::string JsonValue(const mirel_SbF::Variant& value) {
  using mirel_SbF::VariantType;
  switch (value.Type()) {
    case VariantType::Empty:
    case VariantType::Null: return "null";
    case VariantType::Boolean: return value.AsBoolean() ? "true" : "false";
    case VariantType::Long: return std::to_string(value.AsLong());
    case VariantType::Double: return JsonDouble(value.AsDouble());
    case VariantType::String: return JsonString(value.AsString());
  }
  return "null";
}

std::string HexNumber(int32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(number));
  return buf;
}

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

  std::string out;
  if (json) {
    out = "{\"columns\":[";
    for (size_t c = 0; c < names.size(); ++c) out += (c ? "," : "") + JsonString(names[c]);
    out += "],\"rows\":[";
    for (size_t r = 0; r < rows.size(); ++r) {
      out += r ? ",[" : "[";
      for (size_t c = 0; c < rows[r].size(); ++c) out += (c ? "," : "") + JsonValue(rows[r][c]);
      out += "]";
    }
    return out + "],\"count\":" + std::to_string(rows.size()) + "}\n";
  }

  std::vector<std::vector<std::string>> cells{names};
  for (const auto& row : rows) {
    std::vector<std::string> line;
    for (const auto& v : row) line.push_back(PlainValue(v));
    cells.push_back(std::move(line));
  }
  std::vector<size_t> widths(names.size(), 0);
  for (const auto& line : cells)
    for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], Width(line[c]));
  for (const auto& line : cells) {
    for (size_t c = 0; c < line.size(); ++c) {
      out += line[c];
      if (c + 1 < line.size()) out += std::string(widths[c] - Width(line[c]) + 2, ' ');
    }
    out += "\n";
  }
  return out + std::to_string(rows.size()) + " " + (rows.size() == 1 ? noun : std::string(noun) + "s") + "\n";
}

std::string PlainError(const mirel_SbF::Error& e) {
  return "error " + HexNumber(e.Number()) + " (" + e.Source() + "): " + e.Description() + "\n";
}

std::string JsonError(const mirel_SbF::Error& e) {
  return "{\"error\":{\"number\":" + std::to_string(e.Number()) + ",\"hex\":\"" +
         HexNumber(e.Number()) + "\",\"source\":" + JsonString(e.Source()) +
         ",\"description\":" + JsonString(e.Description()) + "}}\n";
}

std::string JsonError(const std::string& description) {
  return "{\"error\":{\"number\":null,\"source\":\"sbf\",\"description\":" +
         JsonString(description) + "}}\n";
}

}  // namespace sbf
