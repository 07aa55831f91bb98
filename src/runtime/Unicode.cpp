#include "runtime/Unicode.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "runtime/TextBasics.h"

namespace mirel_platform {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU counts lengths in int32_t; longer texts are outside what the library handles.
bool FitsIcu(size_t length) { return length <= static_cast<size_t>(INT32_MAX / 4); }

// Walks the characters of `text` (at most INT32_MAX bytes, ICU's limit): calls
// visit(start, end, wellFormed) for each, where an ill-formed sequence counts as one
// character; stops when visit returns false and returns that character's start, else
// the length walked.
template <class Visit>
size_t WalkUtf8(std::string_view text, Visit&& visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (!visit(static_cast<size_t>(start), static_cast<size_t>(i), c >= 0)) return static_cast<size_t>(start);
  }
  return static_cast<size_t>(length);
}

}  // namespace

bool IsCleanUtf8(std::string_view text) { return FitsIcu(text.size()) && Utf8ErrorOffset(text) == text.size(); }

size_t Utf8ErrorOffset(std::string_view text) {
  const size_t nul = std::min(text.find('\0'), text.size());
  const std::string_view head = text.substr(0, nul);
  if (IsAscii(head)) return nul;
  const size_t stop = WalkUtf8(head, [](size_t, size_t, bool wellFormed) { return wellFormed; });
  return stop < head.size() ? stop : nul;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  if (!FitsIcu(text.size())) return std::nullopt;
  std::u16string out(text.size(), u'\0');  // UTF-16 never needs more units than UTF-8 bytes
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &written, text.data(),
                static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;  // U_INVALID_CHAR_FOUND for ill-formed input
  out.resize(static_cast<size_t>(written));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U16_NEXT(text.data(), i, length, c);
    if (U_IS_SURROGATE(c)) c = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(c));
  }
  return out;
}

std::string ToWellFormedUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  WalkUtf8(text, [&](size_t start, size_t end, bool wellFormed) {
    if (wellFormed) out.append(text, start, end - start);
    else out += "\xEF\xBF\xBD";
    return true;
  });
  return out;
}

std::string UpperFirstCharacter(std::string_view text) {
  if (text.empty()) return std::string(text);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  int32_t next = 0;
  UChar32 c = 0;
  U8_NEXT(bytes, next, length, c);
  if (c < 0) return std::string(text);
  std::string out;
  out.reserve(text.size() + 2);
  AppendUtf8(out, static_cast<char32_t>(u_toupper(c)));
  out.append(text.substr(static_cast<size_t>(next)));
  return out;
}

std::string FoldCase(std::string_view text) {
  if (IsAscii(text)) return LowerAscii(text);
  const std::optional<std::u16string> wide = Utf8ToUtf16(text);
  if (!wide) return LowerAscii(text);
  // Full folding can make a text longer (ß -> ss): ask for the size first.
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed = u_strFoldCase(nullptr, 0, wide->data(), static_cast<int32_t>(wide->size()),
                                       U_FOLD_CASE_DEFAULT, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return LowerAscii(text);
  std::u16string folded(static_cast<size_t>(needed), u'\0');
  status = U_ZERO_ERROR;
  u_strFoldCase(folded.data(), needed, wide->data(), static_cast<int32_t>(wide->size()), U_FOLD_CASE_DEFAULT,
                &status);
  if (U_FAILURE(status)) return LowerAscii(text);
  return Utf16ToUtf8(folded);
}

}  // namespace mirel_platform
