#pragma once
// One column's definition, built by the concrete data set.

#include <string>
#include <vector>

#include "dao/dataset/field_type.h"

namespace corvid {

struct TFieldDef {
  std::string name;
  TFieldType dataType = TFieldType::ftUnknown;
  int size = 0;
  int precision = 0;
  bool required = false;
  int fieldNo = 0;  // 1-based, assigned when added
};

class TFieldDefs {
 public:
  TFieldDef& Add(std::string name, TFieldType type, int size, bool required) {
    TFieldDef def;
    def.name = std::move(name);
    def.dataType = type;
    def.size = size;
    def.required = required;
    def.fieldNo = static_cast<int>(defs_.size()) + 1;
    defs_.push_back(std::move(def));
    return defs_.back();
  }
  void Clear() { defs_.clear(); }
  std::size_t Count() const { return defs_.size(); }
  TFieldDef& operator[](std::size_t i) { return defs_.at(i); }
  const TFieldDef& operator[](std::size_t i) const { return defs_.at(i); }
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

 private:
  std::vector<TFieldDef> defs_;
};

}  // namespace corvid
