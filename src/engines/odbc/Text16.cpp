// UTF-8 <-> UTF-16 for the driver calls, through ICU.
#include "engines/odbc/OdbcInternal.h"

#include "runtime/Unicode.h"

namespace mirel_platform::odbc_detail {

// The UTF-16 form of `text`, or nothing when it is not well-formed UTF-8.
std::optional<WideString> TryWiden(std::string_view text) {
  const std::optional<std::u16string> utf16 = Utf8ToUtf16(text);
  if (!utf16) return std::nullopt;
  return WideString(utf16->begin(), utf16->end());
}

// Settings and names of the connector's own making: a failure is the connector's error.
WideString Widen(const std::string& text, const char* what) {
  std::optional<WideString> wide = TryWiden(text);
  if (!wide) Fail(std::string(what) + " is not well-formed UTF-8; it is not sent to the server.");
  return std::move(*wide);
}

std::string Narrow(const SQLWCHAR* text, size_t length) {
  return Utf16ToUtf8(std::u16string(text, text + length));
}

std::string NarrowZ(const SQLWCHAR* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return Narrow(text, n);
}

}  // namespace mirel_platform::odbc_detail
