#include "dao/mdb/mdb_field.h"

#include <stdexcept>

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"
#include "dao/mdb/complex_recordset.h"
#include "dao/mdb/complex_values.h"
#include "dao/mdb/mdb_values.h"

namespace corvid::dao {

MdbColumnField::MdbColumnField(std::shared_ptr<TableRows> rows, int column, RowValues* row)
    : rows_(std::move(rows)), column_(column), row_(row) {}

std::string MdbColumnField::Name() const { return rows_->column(column_).name; }
int MdbColumnField::Type() const {
  if (IsColumnType(rows_->column(column_), jet::StoredType::Complex))
    return rows_->ComplexType(column_);
  return DaoTypeOf(rows_->column(column_));
}
std::int32_t MdbColumnField::Size() const {
  return DaoSizeOf(rows_->column(column_), rows_->file().header().format);
}
std::int32_t MdbColumnField::Attributes() const {
  std::int32_t attributes = DaoAttributesOf(rows_->column(column_));
  // A field of a recordset that can change rows can change too (AutoNumber
  // values are the engine's).
  if (row_ && row_->Updatable() && !(attributes & dbAutoIncrField)) attributes |= dbUpdatableField;
  return attributes;
}

bool MdbColumnField::Required() const {
  const Property* p = FieldProperties().Find("Required");
  return p && std::holds_alternative<bool>(p->value) && std::get<bool>(p->value);
}

bool MdbColumnField::AllowZeroLength() const {
  const Property* p = FieldProperties().Find("AllowZeroLength");
  return p && std::holds_alternative<bool>(p->value) && std::get<bool>(p->value);
}

std::string MdbColumnField::DefaultValue() const {
  const Property* p = FieldProperties().Find("DefaultValue");
  return p ? VariantToText(p->value) : std::string();
}

const Properties& MdbColumnField::FieldProperties() const {
  return rows_->columnProperties(column_);
}

const StoredValue& MdbColumnField::CurrentField() {
  if (!row_)
    rows_->context().Raise(kInvalidOperation, "Invalid operation: the field '" + Name() +
                                                  "' of a table definition has no value.");
  return row_->CurrentField(column_);
}

Variant MdbColumnField::Value() {
  // While a record is edited: the value assigned to the field, or Null in a
  // new record.
  if (row_ && row_->EditMode() != 0) {
    if (const Variant* assigned = row_->Pending(column_)) return *assigned;
    if (row_->EditMode() == 2) return Null{};
  }
  const StoredValue& field = CurrentField();
  try {
    return DecodeValue(rows_->file(), rows_->column(column_), field);
  } catch (const jet::reader::DamageError& error) {
    rows_->RaiseDamage(error, row_->CurrentTableRow(), Name());
  }
}

void MdbColumnField::SetValue(const Variant& value) {
  if (!row_)
    rows_->context().Raise(kCannotUpdate,
                           "Cannot update. Database or object is read-only. The field '" + Name() +
                               "' belongs to a table definition, which Corvid does not change.");
  row_->SetPending(column_, value);
}

std::int64_t MdbColumnField::FieldSize() {
  if (row_ && row_->EditMode() != 0 && (row_->Pending(column_) || row_->EditMode() == 2)) {
    std::vector<std::byte> bytes;
    return ReadBytesInto(bytes) ? static_cast<std::int64_t>(bytes.size()) : 0;
  }
  const StoredValue& field = CurrentField();
  const Column& column = rows_->column(column_);
  using jet::StoredType;
  if (IsColumnType(column, StoredType::Bool)) return 1;
  if (jet::reader::IsNull(field)) return 0;
  if (IsColumnType(column, StoredType::Ole)) return LongValueLength(field);
  if (IsColumnType(column, StoredType::Memo) || IsColumnType(column, StoredType::Text)) {
    Variant text = Value();
    return static_cast<std::int64_t>(std::get<std::string>(text).size());
  }
  return StoredSize(column, field);
}

bool MdbColumnField::ReadBytesInto(std::vector<std::byte>& into) {
  into.clear();
  if (row_ && row_->EditMode() != 0 && (row_->Pending(column_) || row_->EditMode() == 2)) {
    Variant value = Value();
    if (IsNull(value)) return false;
    BytesOfValue(std::move(value), into);
    return true;
  }
  const StoredValue& field = CurrentField();
  const Column& column = rows_->column(column_);
  if (jet::reader::IsNull(field)) return false;
  try {
    if (IsColumnType(column, jet::StoredType::Ole)) {
      ReadLongValue(rows_->file(), field, into);
      return true;
    }
  } catch (const jet::reader::DamageError& error) {
    rows_->RaiseDamage(error, row_->CurrentTableRow(), Name());
  }
  BytesOfValue(Value(), into);
  return true;
}

std::unique_ptr<Recordset> MdbColumnField::ChildRecordset() {
  if (!IsColumnType(rows_->column(column_), jet::StoredType::Complex))
    return Field::ChildRecordset();
  const StoredValue& field = CurrentField();
  std::optional<std::int32_t> key;
  if (const auto* stored = std::get_if<jet::reader::ComplexKey>(&field)) key = stored->key;
  std::shared_ptr<ComplexValues> complex = rows_->Complex(column_);
  const std::int32_t index = row_->CurrentTableRow();
  try {
    return ComplexRecordset::Open(rows_, std::move(complex), Name(), key,
                                  std::to_string(index + 1));
  } catch (const jet::reader::DamageError& error) {
    rows_->RaiseDamage(error, index, Name());
  }
}

}  // namespace corvid::dao
