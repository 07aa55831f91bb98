// Unicode: the UTF-8 checks, UTF-8 <-> UTF-16 conversions and case operations of the
// library, all through ICU so that every script is handled the same way.
//
// "Well-formed" is Unicode's definition: no overlong forms, no surrogate code points, nothing
// past U+10FFFF, no truncated sequence. The library refuses texts that are not well-formed
// where they enter, so the conversions below see only well-formed input on that path; they
// still never guess: Utf8ToUtf16 refuses, the output helpers substitute U+FFFD.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirel_platform {

// Whether `text` is well-formed UTF-8 and holds no NUL character.
bool IsCleanUtf8(std::string_view text);

// The byte offset of the first NUL or of the first byte that does not start a well-formed
// character, or text.size() when the text is clean (IsCleanUtf8).
size_t Utf8ErrorOffset(std::string_view text);

// The UTF-16 form of well-formed UTF-8, or nothing when `text` is not well-formed (a NUL is
// carried over like any other character).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// `text` with every ill-formed sequence replaced by U+FFFD: for output that must be UTF-8
// whatever it was made from (JSON, HTML).
std::string ToWellFormedUtf8(std::string_view text);

// The text with its first character mapped to upper case by Unicode's simple (one
// character to one character, locale-independent) mapping: "ısı" -> "Isı", "έλεγχος" ->
// "Έλεγχος". A text that does not start with a well-formed character is returned as it is.
std::string UpperFirstCharacter(std::string_view text);

// A key for comparing texts without regard to case (Unicode's default full case folding:
// "Élan" and "élan" give one key, so do "STRASSE" and "straße"). ASCII letters fold to
// lower case; a text that is not well-formed is folded in its ASCII letters only, so that
// two different such texts never share a key.
std::string FoldCase(std::string_view text);

}  // namespace mirel_platform
