#pragma once
// Fields of the engine: a column of a TableDef (definition only) or
// of a Recordset (Value reads the current row through the recordset's
// RowValues side).

#include <functional>
#include <memory>

#include "dao/engine/field.h"
#include "dao/mdb/row_values.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {

class MdbColumnField : public Field {
 public:
  // `row` (the recordset's values) is null for a TableDef's field.
  MdbColumnField(std::shared_ptr<TableRows> rows, int column, RowValues* row);

  std::string Name() const override;
  int Type() const override;
  std::int32_t Size() const override;
  std::int32_t Attributes() const override;
  bool Required() const override;
  bool AllowZeroLength() const override;
  std::string DefaultValue() const override;
  int OrdinalPosition() const override { return column_; }
  const Properties& FieldProperties() const override;

  Variant Value() override;
  void SetValue(const Variant& value) override;
  std::int64_t FieldSize() override;
  bool ReadBytesInto(std::vector<std::byte>& into) override;
  // Complex fields: the record's rows of the column's hidden table (see
  // complex_recordset.h). Their Value is the 32-bit key those rows carry,
  // as a Long (Null when the record has none), as the file stores it.
  std::unique_ptr<Recordset> ChildRecordset() override;

 private:
  const StoredValue& CurrentField();
  std::shared_ptr<TableRows> rows_;
  int column_;
  RowValues* row_;
};

}  // namespace corvid::dao
