#pragma once
// A failure of the engine itself: DAO's error number and description. The
// message (what()) is the text the user sees.

#include <stdexcept>
#include <string>

namespace corvid::dao {

class EngineError : public std::runtime_error {
 public:
  EngineError(int number, std::string description, std::string source = "DAO.Database");
  int Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  int number_;
  std::string source_;
  std::string description_;
};

}  // namespace corvid::dao
