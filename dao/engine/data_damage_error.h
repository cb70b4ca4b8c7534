#pragma once
// Damage in the database file met while reading one record: that record (or
// one of its values) cannot be read, but the database stays open and the
// next record can be read. DAO's 3049 with a text naming the table, page,
// row and field, e.g. "Table 'Photos', page 44, row 3, field 'Picture': the
// long-value chain loops back.". Failures that are not damage (a missing
// table or field, an I/O error) are plain EngineErrors.

#include <string>
#include <utility>

#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"

namespace corvid::dao {

class DataDamageError : public EngineError {
 public:
  explicit DataDamageError(std::string description)
      : EngineError(kDatabaseDamaged, std::move(description)) {}
};

}  // namespace corvid::dao
