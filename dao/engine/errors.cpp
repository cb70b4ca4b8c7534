#include "dao/engine/errors.h"

#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"

namespace corvid::dao {

const ErrorRecord& Errors::Item(int index) const {
  if (index < 0 || index >= Count())
    throw EngineError(kItemNotFound, "Item not found in this collection.", "DAO.Errors");
  return items_[static_cast<std::size_t>(index)];
}

void Errors::Record(const EngineError& error) {
  items_.clear();
  items_.push_back(ErrorRecord{error.Number(), error.Source(), error.Description(), "jeterr40.chm",
                               5000000 + error.Number()});
}

}  // namespace corvid::dao
