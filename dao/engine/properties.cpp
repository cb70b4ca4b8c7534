#include "dao/engine/properties.h"

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"

namespace corvid::dao {

const Property& Properties::Item(int index) const {
  if (index < 0 || index >= Count())
    throw EngineError(kItemNotFound, "Item not found in this collection.", "DAO.Properties");
  return items_[static_cast<std::size_t>(index)];
}

const Property* Properties::Find(std::string_view name) const {
  for (const Property& p : items_)
    if (SameText(p.name, name)) return &p;
  return nullptr;
}

const Property& Properties::Item(std::string_view name) const {
  if (const Property* p = Find(name)) return *p;
  throw EngineError(kItemNotFound, "Item not found in this collection.", "DAO.Properties");
}

void Properties::Set(std::string name, Variant value, int type) {
  for (Property& p : items_) {
    if (SameText(p.name, name)) {
      p.value = std::move(value);
      p.type = type;
      return;
    }
  }
  items_.push_back(Property{std::move(name), std::move(value), type});
}

}  // namespace corvid::dao
