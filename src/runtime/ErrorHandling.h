// The error convention, in one place.
//
// Raise() raises one of the library's own messages with the bare library name as source.
// WithHandler("Proc", body) is the error handler of a procedure: it runs body and re-raises
// whatever escapes it with the same number and description; a source that is exactly the
// library name becomes "mirel_SbF.Proc", any other source passes unchanged. A C++
// exception that is not an Error becomes the matching run-time error first. Whatever the
// procedure must release on the way out is held by RAII, not released here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mirel_SbF/Error.h"

namespace mirel_SbF {

// Run-time errors of the original language run time, with their English texts.
enum class RuntimeError : int32_t {
  InvalidCall = 5,
  Overflow = 6,
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  TypeMismatch = 13,
  InvalidUseOfNull = 94,
  ObjectNotSet = 91,
  DuplicateKey = 457,
  Internal = 51,
};

[[noreturn]] void Raise(int32_t number, const std::string& description);
[[noreturn]] void Raise(RuntimeError error);
const char* RuntimeErrorText(RuntimeError error);

// Translates the exception in flight into an Error qualified for `procedure` and throws
// it. REQUIRES: called from inside a catch block.
[[noreturn]] void Rethrow(std::string_view procedure);

template <class Body>
auto WithHandler(std::string_view procedure, Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    Rethrow(procedure);
  }
}

}  // namespace mirel_SbF
