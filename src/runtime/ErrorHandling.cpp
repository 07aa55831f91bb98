#include "runtime/ErrorHandling.h"

#include <cctype>
#include <exception>
#include <new>
#include <stdexcept>

namespace mirel_SbF {

const char* RuntimeErrorText(RuntimeError error) {
  switch (error) {
    case RuntimeError::InvalidCall: return "Invalid procedure call or argument";
    case RuntimeError::Overflow: return "Overflow";
    case RuntimeError::OutOfMemory: return "Out of memory";
    case RuntimeError::SubscriptOutOfRange: return "Subscript out of range";
    case RuntimeError::DivisionByZero: return "Division by zero";
    case RuntimeError::TypeMismatch: return "Type mismatch";
    case RuntimeError::InvalidUseOfNull: return "Invalid use of Null";
    case RuntimeError::ObjectNotSet: return "Object variable or With block variable not set";
    case RuntimeError::DuplicateKey: return "This key is already associated with an element of this collection";
    case RuntimeError::Internal: return "Internal error";
  }
  return "Application-defined or object-defined error";
}

void Raise(int32_t number, const std::string& description) {
  throw Error(number, kLibraryName, description);
}

void Raise(RuntimeError error) {
  throw Error(static_cast<int32_t>(error), kLibraryName, RuntimeErrorText(error));
}

void Rethrow(std::string_view procedure) {
  auto qualified = [&] { return std::string(kLibraryName) + "." + std::string(procedure); };
  auto runtime = [&](RuntimeError e, const std::string& detail) -> Error {
    std::string text = RuntimeErrorText(e);
    if (!detail.empty()) text += " (" + detail + ")";
    return Error(static_cast<int32_t>(e), qualified(), text);
  };
  try {
    throw;
  } catch (const Error& e) {
    if (e.Source() == kLibraryName) throw Error(e.Number(), qualified(), e.Description());
    throw;
  } catch (const std::bad_alloc&) {
    throw runtime(RuntimeError::OutOfMemory, "");
  } catch (const std::out_of_range& e) {
    throw runtime(RuntimeError::SubscriptOutOfRange, e.what());
  } catch (const std::overflow_error& e) {
    throw runtime(RuntimeError::Overflow, e.what());
  } catch (const std::exception& e) {
    throw runtime(RuntimeError::Internal, e.what());
  } catch (...) {
    throw runtime(RuntimeError::Internal, "");
  }
}

}  // namespace mirel_SbF
