#pragma once
// A Properties collection: named values, counted from 0, looked up by name
// without regard to letter case.

#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/variant.h"

namespace corvid::dao {

struct Property {
  std::string name;
  Variant value;
  int type = 0;  // DAO type code of the value (dbText, dbLong, ...), 0 when unknown
};

class Properties {
 public:
  Properties() = default;
  explicit Properties(std::vector<Property> items) : items_(std::move(items)) {}

  int Count() const { return static_cast<int>(items_.size()); }
  // Raise EngineError 3265 "Item not found in this collection." when absent.
  const Property& Item(int index) const;
  const Property& Item(std::string_view name) const;
  // The property or nullptr (no error).
  const Property* Find(std::string_view name) const;
  void Refresh() {}
  // Adds or replaces (used by the implementation while building objects).
  void Set(std::string name, Variant value, int type = 0);

 private:
  std::vector<Property> items_;
};

}  // namespace corvid::dao
