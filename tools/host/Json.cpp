#include "Json.h"

#include <cmath>
#include <cstdio>

namespace sbf_host {

std::string Dump(const Json& doc) {
  const std::string text = doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  // "<", ">" and "&" stand only inside strings in JSON text: as escapes, a body pasted into
  // a page carries no markup.
  std::string out;
  out.reserve(text.size() + 1);
  for (char c : text) {
    if (c == '<') out += "\\u003c";
    else if (c == '>') out += "\\u003e";
    else if (c == '&') out += "\\u0026";
    else out += c;
  }
  return out + "\n";
}

Json ToJson(const mirel_SbF::Variant& value) {
  using mirel_SbF::VariantType;
  switch (value.Type()) {
    case VariantType::Empty:
    case VariantType::Null: return nullptr;
    case VariantType::Boolean: return value.AsBoolean();
    case VariantType::Long: return value.AsLong();
    case VariantType::Double:
      if (!std::isfinite(value.AsDouble())) return nullptr;
      return value.AsDouble();
    case VariantType::String: return value.AsString();
  }
  return nullptr;
}

std::string HexNumber(int32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(number));
  return buf;
}

Json ErrorJson(const mirel_SbF::Error& e) {
  return {{"number", e.Number()}, {"hex", HexNumber(e.Number())}, {"source", e.Source()},
          {"description", e.Description()}};
}

Json ErrorJson(const std::string& source, const std::string& description) {
  return {{"number", nullptr}, {"hex", nullptr}, {"source", source}, {"description", description}};
}

}  // namespace sbf_host
