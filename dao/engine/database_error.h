#pragma once
// The data-access layer's own error: one message text, as the user sees it.
// Raised by the connection, the table and engine discovery; the engine's own
// failures are EngineError (dao/engine/engine_error.h).

#include <stdexcept>
#include <string>

namespace corvid::dao {

class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace corvid::dao

namespace corvid {
// The components above the engine name it without the namespace.
using dao::DatabaseError;
}  // namespace corvid
