#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "platform/TextBasics.h"

namespace sampledb::json {

ParseError::ParseError(std::size_t line, std::size_t column, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + what),
      line_(line),
      column_(column) {}

namespace {

const char* const kKindNames[] = {"null", "a boolean", "a number", "a string", "an array",
                                  "an object"};

[[noreturn]] void WrongKind(Value::Kind have, Value::Kind want) {
  throw std::logic_error(std::string("JSON value is ") + KindName(have) + ", not " +
                         KindName(want));
}

// Nesting deeper than this is refused rather than risking the stack on a hostile file.
constexpr int kMaxDepth = 200;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Value Document() {
    SkipBlanks();
    Value v = ParseValue(0);
    SkipBlanks();
    if (pos_ != text_.size()) Fail("unexpected text after the end of the document");
    return v;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { FailAt(pos_, what); }

  [[noreturn]] void FailAt(std::size_t at, const std::string& what) const {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
        ++column;  // count characters, not UTF-8 continuation bytes
      }
    }
    throw ParseError(line, column, what);
  }

  std::string Describe() const {
    if (pos_ >= text_.size()) return "the end of the file";
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", c);
    return std::string("byte ") + buf;
  }

  void SkipBlanks() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }

  bool Consume(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  void ExpectWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) Fail("invalid literal, expected " + std::string(word));
    pos_ += word.size();
  }

  Value ParseValue(int depth) {
    if (pos_ >= text_.size()) Fail("unexpected end of the file, expected a value");
    switch (text_[pos_]) {
      case '{': return ParseObject(depth + 1);
      case '[': return ParseArray(depth + 1);
      case '"': return Value(ParseString());
      case 't': ExpectWord("true"); return Value(true);
      case 'f': ExpectWord("false"); return Value(false);
      case 'n': ExpectWord("null"); return Value();
      default:
        if (text_[pos_] == '-' || (text_[pos_] >= '0' && text_[pos_] <= '9')) return ParseNumber();
        Fail("expected a value, found " + Describe());
    }
  }

  Value ParseArray(int depth) {
    if (depth > kMaxDepth) Fail("nesting is too deep");
    ++pos_;  // '['
    Value::Array items;
    SkipBlanks();
    if (Consume(']')) return Value(std::move(items));
    for (;;) {
      SkipBlanks();
      items.push_back(ParseValue(depth));
      SkipBlanks();
      if (Consume(']')) return Value(std::move(items));
      if (!Consume(',')) Fail("expected ',' or ']' in an array, found " + Describe());
    }
  }

  Value ParseObject(int depth) {
    if (depth > kMaxDepth) Fail("nesting is too deep");
    ++pos_;  // '{'
    Value::Object members;
    SkipBlanks();
    if (Consume('}')) return Value(std::move(members));
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"')
        Fail("expected a member name in quotes, found " + Describe());
      const std::size_t keyAt = pos_;
      std::string key = ParseString();
      for (const Value::Member& m : members)
        if (m.first == key) FailAt(keyAt, "duplicate member name \"" + key + "\"");
      SkipBlanks();
      if (!Consume(':')) Fail("expected ':' after a member name, found " + Describe());
      SkipBlanks();
      Value v = ParseValue(depth);
      members.emplace_back(std::move(key), std::move(v));
      SkipBlanks();
      if (Consume('}')) return Value(std::move(members));
      if (!Consume(',')) Fail("expected ',' or '}' in an object, found " + Describe());
    }
  }

  unsigned ParseHex4() {
    if (text_.size() - pos_ < 4) Fail("incomplete \\u escape");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
      else FailAt(pos_ - 1, "invalid hex digit in a \\u escape");
    }
    return v;
  }

  // Copies one UTF-8 encoded character starting at pos_, refusing malformed,
  // overlong and surrogate encodings.
  void CopyUtf8Char(std::string& out) {
    const std::size_t start = pos_;
    const unsigned char lead = static_cast<unsigned char>(text_[pos_]);
    int extra;
    std::uint32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) { extra = 1; cp = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; cp = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; cp = lead & 0x07; }
    else FailAt(start, "invalid UTF-8 in a string");
    if (text_.size() - pos_ <= static_cast<std::size_t>(extra)) FailAt(start, "invalid UTF-8 in a string");
    for (int i = 1; i <= extra; ++i) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_ + static_cast<std::size_t>(i)]);
      if ((c & 0xC0) != 0x80) FailAt(start, "invalid UTF-8 in a string");
      cp = (cp << 6) | (c & 0x3F);
    }
    const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      FailAt(start, "invalid UTF-8 in a string");
    out.append(text_.substr(pos_, static_cast<std::size_t>(extra) + 1));
    pos_ += static_cast<std::size_t>(extra) + 1;
  }

  std::string ParseString() {
    const std::size_t start = pos_;
    ++pos_;  // opening quote
    std::string out;
    for (;;) {
      if (pos_ >= text_.size()) FailAt(start, "unterminated string");
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (c < 0x20) Fail("control character in a string (it must be escaped)");
      if (c >= 0x80) {
        CopyUtf8Char(out);
        continue;
      }
      ++pos_;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (pos_ >= text_.size()) FailAt(start, "unterminated string");
      const char e = text_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          const std::size_t escAt = pos_ - 2;
          std::uint32_t cp = ParseHex4();
          if (cp >= 0xDC00 && cp <= 0xDFFF) FailAt(escAt, "unpaired surrogate in a \\u escape");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (text_.substr(pos_, 2) != "\\u") FailAt(escAt, "unpaired surrogate in a \\u escape");
            pos_ += 2;
            const std::uint32_t low = ParseHex4();
            if (low < 0xDC00 || low > 0xDFFF) FailAt(escAt, "unpaired surrogate in a \\u escape");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          mirel_platform::AppendUtf8(out, cp);
          break;
        }
        default:
          FailAt(pos_ - 2, std::string("invalid escape '\\") + e + "' in a string");
      }
    }
  }

  bool AtDigit() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }

  Value ParseNumber() {
    const std::size_t start = pos_;
    Consume('-');
    if (!AtDigit()) Fail("invalid number");
    if (!Consume('0'))
      while (AtDigit()) ++pos_;
    if (Consume('.')) {
      if (!AtDigit()) Fail("invalid number: a digit must follow the decimal point");
      while (AtDigit()) ++pos_;
    }
    if (Consume('e') || Consume('E')) {
      if (!Consume('+')) Consume('-');
      if (!AtDigit()) Fail("invalid number: the exponent has no digits");
      while (AtDigit()) ++pos_;
    }
    double d = 0;
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    const auto [ptr, ec] = std::from_chars(first, last, d);
    if (ec == std::errc::result_out_of_range || !std::isfinite(d))
      FailAt(start, "number out of range");
    if (ec != std::errc() || ptr != last) FailAt(start, "invalid number");
    return Value(d);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const char* KindName(Value::Kind kind) { return kKindNames[static_cast<int>(kind)]; }

bool Value::AsBool() const {
  if (GetKind() != Kind::Bool) WrongKind(GetKind(), Kind::Bool);
  return std::get<bool>(data_);
}

double Value::AsNumber() const {
  if (GetKind() != Kind::Number) WrongKind(GetKind(), Kind::Number);
  return std::get<double>(data_);
}

const std::string& Value::AsString() const {
  if (GetKind() != Kind::String) WrongKind(GetKind(), Kind::String);
  return std::get<std::string>(data_);
}

const Value::Array& Value::AsArray() const {
  if (GetKind() != Kind::Array) WrongKind(GetKind(), Kind::Array);
  return std::get<Array>(data_);
}

const Value::Object& Value::AsObject() const {
  if (GetKind() != Kind::Object) WrongKind(GetKind(), Kind::Object);
  return std::get<Object>(data_);
}

const Value* Value::Find(std::string_view key) const {
  for (const Member& m : AsObject())
    if (m.first == key) return &m.second;
  return nullptr;
}

Value Parse(std::string_view text) {
  // A UTF-8 byte order mark is tolerated, as editors on some systems write one.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return Parser(text).Document();
}

}  // namespace sampledb::json
