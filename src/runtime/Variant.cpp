// Conversions of the original run time, on the library's Variant.
#include "mirel_SbF/Variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/ErrorHandling.h"
#include "runtime/NumberText.h"
#include "runtime/TextBasics.h"

namespace mirel_SbF {

Variant Variant::Null() {
  Variant v;
  v.m_value = NullTag{};
  return v;
}

VariantType Variant::Type() const {
  switch (m_value.index()) {
    case 0: return VariantType::Empty;
    case 1: return VariantType::Null;
    case 2: return VariantType::Boolean;
    case 3: return VariantType::Long;
    case 4: return VariantType::Double;
    default: return VariantType::String;
  }
}

namespace {

// A double as at most 15 significant digits (trailing zeros dropped) and the decimal
// exponent of the first: 1234.5 is {false, "12345", 3}.
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

DecimalDigits FifteenDigits(double d) {
  if (std::isnan(d) || std::isinf(d)) Raise(RuntimeError::Overflow);
  DecimalDigits out;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", d);  // d.dddddddddddddde±x
  const std::string text(buf);
  out.negative = text[0] == '-';
  const size_t ePos = text.find('e');
  for (size_t i = out.negative ? 1 : 0; i < ePos; ++i)
    if (text[i] != '.') out.digits += text[i];
  out.exponent = std::atoi(text.c_str() + ePos + 1);
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  return out;
}

}  // namespace

std::string PlainDecimalText(double value) {
  if (value == 0 && !std::isnan(value)) return "0";
  const DecimalDigits d = FifteenDigits(value);
  std::string out = d.negative ? "-" : "";
  const size_t whole = static_cast<size_t>(d.exponent + 1);
  if (d.exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-d.exponent - 1), '0');
    out += d.digits;
  } else if (d.digits.size() <= whole) {
    out += d.digits;
    out.append(whole - d.digits.size(), '0');
  } else {
    out.append(d.digits, 0, whole);
    out += '.';
    out.append(d.digits, whole, std::string::npos);
  }
  return out;
}

std::string DoubleToText(double d) {
  if (d == 0 && !std::isnan(d)) return "0";  // negative zero too
  const DecimalDigits parts = FifteenDigits(d);
  const int nDigits = static_cast<int>(parts.digits.size());
  const int exponent = parts.exponent;
  // Plain digits below 1E+15, and down to 15 places after the point; else exponent form.
  const bool fixed = exponent >= 0 ? exponent < 15 : (-exponent + nDigits - 1) <= 15;
  if (fixed) return PlainDecimalText(d);
  std::string out = parts.negative ? "-" : "";
  out += parts.digits[0];
  if (nDigits > 1) {
    out += '.';
    out.append(parts.digits, 1, std::string::npos);
  }
  char expText[16];
  std::snprintf(expText, sizeof expText, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return out + expText;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Parses a number text the way the run time does for the invariant (en-US) locale:
// blanks around it, an optional sign, digits with optional "," thousands separators, an
// optional "." and decimals, an optional exponent; or &H / &O notation. Anything else is
// a type mismatch. `hexBits` receives the raw value of &H/&O texts (for the 16- and 32-bit
// two's-complement reading of CInt and CLng).
double ParseNumber(const std::string& text, bool* isRadix = nullptr, uint64_t* radixValue = nullptr) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  if (b == e) Raise(RuntimeError::TypeMismatch);
  std::string s = text.substr(b, e - b);
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    uint64_t value = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      int digit;
      char c = s[i];
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else Raise(RuntimeError::TypeMismatch);
      if (digit >= base) Raise(RuntimeError::TypeMismatch);
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFull) Raise(RuntimeError::Overflow);
    }
    if (isRadix) *isRadix = true;
    if (radixValue) *radixValue = value;
    return static_cast<double>(value);
  }
  std::string plain;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') plain += s[i++];
  bool digits = false;
  while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] == ',' && digits))) {
    if (s[i] != ',') plain += s[i];
    digits = true;
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    plain += s[i++];
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      plain += s[i++];
      digits = true;
    }
  }
  if (!digits) Raise(RuntimeError::TypeMismatch);
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    plain += s[i++];
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
    bool expDigits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      plain += s[i++];
      expDigits = true;
    }
    if (!expDigits) Raise(RuntimeError::TypeMismatch);
  }
  if (i != s.size()) Raise(RuntimeError::TypeMismatch);
  errno = 0;
  double value = std::strtod(plain.c_str(), nullptr);
  if (std::isinf(value)) Raise(RuntimeError::Overflow);
  return value;
}

// Rounds half to even and checks the range after rounding, as the run time does.
template <class Int>
Int RoundToInteger(double d) {
  if (std::isnan(d)) Raise(RuntimeError::Overflow);
  double r = std::nearbyint(d);  // the default rounding mode: ties to even
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    Raise(RuntimeError::Overflow);
  return static_cast<Int>(r);
}

template <class Int>
Int ToInteger(const Variant& v) {
  switch (v.Type()) {
    case VariantType::Empty: return 0;
    case VariantType::Null: Raise(RuntimeError::InvalidUseOfNull);
    case VariantType::Boolean: return v.AsBoolean() ? -1 : 0;
    case VariantType::Long: return RoundToInteger<Int>(static_cast<double>(v.AsLong()));
    case VariantType::Double: return RoundToInteger<Int>(v.AsDouble());
    case VariantType::String: {
      bool radix = false;
      uint64_t raw = 0;
      double d = ParseNumber(v.AsString(), &radix, &raw);
      if (radix) {
        // &H and &O texts are two's complement in the target width: &HFFFF is -1 as a
        // 16-bit integer and 65535 as a 32-bit one.
        constexpr uint64_t span = uint64_t{1} << (8 * sizeof(Int));
        if (raw >= span) Raise(RuntimeError::Overflow);
        int64_t signedValue = static_cast<int64_t>(raw);
        if (signedValue > std::numeric_limits<Int>::max()) signedValue -= static_cast<int64_t>(span);
        return static_cast<Int>(signedValue);
      }
      return RoundToInteger<Int>(d);
    }
  }
  Raise(RuntimeError::TypeMismatch);
}

}  // namespace

std::string CStr(const Variant& v) {
  switch (v.Type()) {
    case VariantType::Empty: return "";
    case VariantType::Null: Raise(RuntimeError::InvalidUseOfNull);
    case VariantType::Boolean: return v.AsBoolean() ? "True" : "False";
    case VariantType::Long: return std::to_string(v.AsLong());
    case VariantType::Double: return DoubleToText(v.AsDouble());
    case VariantType::String: return v.AsString();
  }
  Raise(RuntimeError::TypeMismatch);
}

int32_t CLng(const Variant& v) { return ToInteger<int32_t>(v); }
int16_t CInt(const Variant& v) { return ToInteger<int16_t>(v); }

double CDbl(const Variant& v) {
  switch (v.Type()) {
    case VariantType::Empty: return 0;
    case VariantType::Null: Raise(RuntimeError::InvalidUseOfNull);
    case VariantType::Boolean: return v.AsBoolean() ? -1 : 0;
    case VariantType::Long: return v.AsLong();
    case VariantType::Double: return v.AsDouble();
    case VariantType::String: return ParseNumber(v.AsString());
  }
  Raise(RuntimeError::TypeMismatch);
}

bool CBool(const Variant& v) {
  switch (v.Type()) {
    case VariantType::Empty: return false;
    case VariantType::Null: Raise(RuntimeError::InvalidUseOfNull);
    case VariantType::Boolean: return v.AsBoolean();
    case VariantType::Long: return v.AsLong() != 0;
    case VariantType::Double: return v.AsDouble() != 0;
    case VariantType::String: {
      std::string s = v.AsString();
      size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
      std::string t = b == std::string::npos ? "" : s.substr(b, e - b + 1);
      if (mirel_platform::EqualsNoCase(t, "True")) return true;
      if (mirel_platform::EqualsNoCase(t, "False")) return false;
      return ParseNumber(s) != 0;
    }
  }
  Raise(RuntimeError::TypeMismatch);
}

}  // namespace mirel_SbF
