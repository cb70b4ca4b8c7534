#include "dao/engine/engine_error.h"

#include <utility>

namespace corvid::dao {

EngineError::EngineError(int number, std::string description, std::string source)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

}  // namespace corvid::dao
