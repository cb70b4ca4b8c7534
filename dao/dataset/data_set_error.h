#pragma once
// Failures raised by the data-set base itself (closed data set, unknown
// field, unidirectional moves). The message is the text the user sees.

#include <stdexcept>
#include <string>

namespace corvid::dao {

// One namespace holds the database layer's errors: this one, DatabaseError
// and the engine's EngineError.
class DataSetError : public std::runtime_error {
 public:
  explicit DataSetError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace corvid::dao

namespace corvid {

// The data set and the components above it name it without the namespace.
using dao::DataSetError;

// A quiet stop: thrown by an event handler (or passed back by an editing
// step whose error handler chose daAbort) to end an editing operation
// without an error. The data set's public operations never let it out.
class OperationAborted : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace corvid
