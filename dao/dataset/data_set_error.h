#pragma once
// Failures raised by the data-set base itself (closed data set, unknown
// field, unidirectional moves). The message is the text the user sees.

#include <stdexcept>
#include <string>

namespace corvid {

class DataSetError : public std::runtime_error {
 public:
  explicit DataSetError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace corvid
