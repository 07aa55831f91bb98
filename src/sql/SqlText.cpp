#include "sql/SqlText.h"

#include "runtime/ErrorHandling.h"
#include "runtime/TextBasics.h"
#include "runtime/Unicode.h"

namespace mirel_SbF {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

[[noreturn]] void Refuse(std::string_view field, const std::string& text, const char* form) {
  Raise(kErrObject, std::string(field) + " is not " + form + ": \"" + text + "\"");
}

}  // namespace

bool IsWholeNumber(std::string_view text) { return mirel_platform::IsStatementNumber(text, false); }

bool IsDecimalNumber(std::string_view text) { return mirel_platform::IsStatementNumber(text, true); }

bool IsIdentifier(std::string_view text) {
  if (text.empty() || !IsLetter(text.front())) return false;
  for (char c : text)
    if (!IsLetter(c) && !IsDigit(c)) return false;
  return true;
}

void RequireWholeNumber(std::string_view field, const std::string& text) {
  if (!IsWholeNumber(text)) Refuse(field, text, "a whole number");
}

void RequireDecimalNumber(std::string_view field, const std::string& text) {
  if (!IsDecimalNumber(text)) Refuse(field, text, "a decimal number");
}

void RequireCleanTexts(std::string_view procedure, std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) {
    if (!mirel_platform::IsCleanUtf8(text))
      WithHandler(procedure, [] { Raise(kErrObject, kInvalidTextDescription); });
  }
}

std::string DoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

bool IsBracketedName(std::string_view text) {
  if (text.size() < 3 || text.front() != '[' || text.back() != ']') return false;
  const std::string_view name = text.substr(1, text.size() - 2);
  if (!mirel_platform::IsCleanUtf8(name) || name.find_first_not_of(' ') == std::string_view::npos) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F) return false;
    if (name[i] == ']' && (++i == name.size() || name[i] != ']')) return false;  // "]]" is one "]"
  }
  return true;
}

void RequireColumnReference(std::string_view field, const std::string& text) {
  if (!IsIdentifier(text) && !IsBracketedName(text)) Refuse(field, text, "a column name");
}

}  // namespace mirel_SbF
