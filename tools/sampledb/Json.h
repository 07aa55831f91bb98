// A small, strict JSON reader for the data files the sample builder reads.
//
// It reads RFC 8259 JSON (objects, arrays, strings with every escape including
// surrogate pairs, numbers, true, false, null) into a tree of Values and
// rejects anything else with a ParseError that carries the line and column.
// Numbers are converted without regard to the C locale. Strings must be valid
// UTF-8; object keys must be unique.
//
//   json::Value doc = json::Parse(text);
//   for (const json::Value& item : doc.AsArray()) { ... item.Find("Name") ... }
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace sampledb::json {

class ParseError : public std::runtime_error {
 public:
  ParseError(std::size_t line, std::size_t column, const std::string& what);
  std::size_t Line() const { return line_; }
  std::size_t Column() const { return column_; }

 private:
  std::size_t line_;
  std::size_t column_;
};

class Value {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };
  using Array = std::vector<Value>;
  using Member = std::pair<std::string, Value>;
  using Object = std::vector<Member>;  // in document order

  Value() = default;  // null
  explicit Value(bool b) : data_(b) {}
  explicit Value(double d) : data_(d) {}
  explicit Value(std::string s) : data_(std::move(s)) {}
  explicit Value(Array a) : data_(std::move(a)) {}
  explicit Value(Object o) : data_(std::move(o)) {}

  Kind GetKind() const { return static_cast<Kind>(data_.index()); }
  bool IsNull() const { return GetKind() == Kind::Null; }

  // REQUIRES: the value is of the kind asked for (else std::logic_error).
  bool AsBool() const;
  double AsNumber() const;
  const std::string& AsString() const;
  const Array& AsArray() const;
  const Object& AsObject() const;

  // The member named `key` of an object, or nullptr when the object has none.
  // REQUIRES: the value is an object.
  const Value* Find(std::string_view key) const;

 private:
  // Order matches Kind.
  std::variant<std::nullptr_t, bool, double, std::string, Array, Object> data_{nullptr};
};

// A name for messages: "null", "a number", "an object", ...
const char* KindName(Value::Kind kind);

// Parses a whole document; anything but white space after the value is an error.
Value Parse(std::string_view text);

}  // namespace sampledb::json
