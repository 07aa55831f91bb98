// Variant: one value of a record-set column or of a loosely typed argument.
//
// The conversions follow the Visual Basic run time the library was first written for:
//   CStr   Null -> error 94; Double -> at most 15 significant digits, "." as decimal point
//   CLng   32-bit, rounding half to even, overflow -> error 6, text that is no number -> 13
//   CInt   the same in 16 bits
//   CDbl   text in the invariant (en-US) form: blanks around, sign, digits, ",", ".", exponent
//   CBool  numbers: non-zero is True; texts "True"/"False" (any case) or numbers
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace mirel_SbF {

enum class VariantType { Empty, Null, Boolean, Long, Double, String };

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  Variant(bool b) : m_value(b) {}
  Variant(int32_t l) : m_value(l) {}
  Variant(double d) : m_value(d) {}
  Variant(std::string s) : m_value(std::move(s)) {}
  Variant(const char* s) : m_value(std::string(s)) {}

  VariantType Type() const;
  bool IsNull() const { return Type() == VariantType::Null; }
  bool IsEmpty() const { return Type() == VariantType::Empty; }

  // REQUIRES: Type() is the matching type.
  bool AsBoolean() const { return std::get<bool>(m_value); }
  int32_t AsLong() const { return std::get<int32_t>(m_value); }
  double AsDouble() const { return std::get<double>(m_value); }
  const std::string& AsString() const { return std::get<std::string>(m_value); }

  bool operator==(const Variant& other) const = default;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  std::variant<std::monostate, NullTag, bool, int32_t, double, std::string> m_value;
};

std::string CStr(const Variant& v);
int32_t CLng(const Variant& v);
int16_t CInt(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);

// The run time's text of a double (CStr of a Double).
std::string DoubleToText(double d);

}  // namespace mirel_SbF
