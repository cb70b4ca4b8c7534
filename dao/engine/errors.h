#pragma once
// The engine's Errors collection. The engine records every EngineError it
// raises as item 0 (earlier entries are cleared), so the connection's
// FirstEngineError can read the last failure.

#include <string>
#include <vector>

namespace corvid::dao {

class EngineError;

struct ErrorRecord {
  int number = 0;
  std::string source;
  std::string description;
  std::string helpFile;
  int helpContext = 0;
};

class Errors {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Item by index from 0; raises EngineError 3265 out of range.
  const ErrorRecord& Item(int index) const;
  // Keeps the entries (the collection only changes when a call fails).
  void Refresh() {}
  // Replaces the contents with one entry for `error`.
  void Record(const EngineError& error);
  void Clear() { items_.clear(); }

 private:
  std::vector<ErrorRecord> items_;
};

}  // namespace corvid::dao
