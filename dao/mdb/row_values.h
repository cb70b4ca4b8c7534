#pragma once
// RowValues: what a recordset's field sees of its recordset: the current
// row's stored fields and the values of the record being edited. The
// recordset implements it; the field knows nothing else of it.

#include "dao/engine/variant.h"
#include "jet/reader/value.h"

namespace corvid::dao {

class RowValues {
 public:
  // Whether rows (and so fields) can change.
  virtual bool Updatable() const = 0;
  // 0 (none), 1 (Edit) or 2 (AddNew).
  virtual int EditMode() const = 0;
  // The current row's stored value of `column` (raises 3021 without a
  // current record).
  virtual const jet::reader::Value& CurrentField(int column) = 0;
  // The table row of the current record (-1 without one), for messages.
  virtual std::int32_t CurrentTableRow() const = 0;
  // The value assigned to `column` in the record being edited or added, or
  // null when it was not assigned.
  virtual const Variant* Pending(int column) const = 0;
  // Assigns `value` to `column` of the record being edited or added (raises
  // 3020 when nothing is being edited).
  virtual void SetPending(int column, const Variant& value) = 0;

 protected:
  ~RowValues() = default;
};

}  // namespace corvid::dao
