#pragma once
// What every object of the Jet engine shares with its engine: the Errors
// collection that records each failure before it is raised.

#include <memory>
#include <string>

#include "dao/engine/engine_error.h"
#include "dao/engine/errors.h"

namespace corvid::dao {

class EngineContext {
 public:
  Errors& errors() { return errors_; }
  // Records the failure as item 0 of Errors and raises it.
  [[noreturn]] void Raise(int number, std::string description,
                          std::string source = "DAO.Database") {
    EngineError error(number, std::move(description), std::move(source));
    errors_.Record(error);
    throw error;
  }

 private:
  Errors errors_;
};

using EngineContextPtr = std::shared_ptr<EngineContext>;

}  // namespace corvid::dao
