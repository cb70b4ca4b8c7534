#include "dao/mdb/complex_recordset.h"

#include <cmath>
#include <cstring>

#include "dao/engine/dao_constants.h"
#include "dao/mdb/complex_field.h"

namespace corvid::dao {

std::unique_ptr<Recordset> ComplexRecordset::Open(std::shared_ptr<TableRows> table,
                                                  std::shared_ptr<ComplexValues> complex,
                                                  std::string fieldName,
                                                  std::optional<std::int32_t> key,
                                                  std::string record) {
  auto shared = std::make_shared<ComplexRows>();
  if (key) {
    shared->rows = complex->column.Rows(*key);
    if (complex->column.Kind() == jet::reader::ComplexKind::Attachment)
      shared->attachments = complex->column.Attachments(*key);
  }
  shared->table = std::move(table);
  shared->complex = std::move(complex);
  shared->fieldName = std::move(fieldName);
  shared->record = std::move(record);
  return std::make_unique<ComplexRecordset>(std::move(shared));
}

ComplexRecordset::ComplexRecordset(std::shared_ptr<const ComplexRows> rows)
    : rows_(std::move(rows)),
      fields_(rows_->table->sharedContext(), "the values of field '" + rows_->fieldName + "'") {
  const jet::reader::ComplexColumn& column = rows_->complex->column;
  for (const int flatColumn : column.ValueColumns())
    fields_.Add(std::make_shared<ComplexField>(*this, flatColumn));
  GoTo(0);
}

ComplexRecordset::~ComplexRecordset() = default;

void ComplexRecordset::Raise(int number, const std::string& description) const {
  rows_->table->context().Raise(number, description);
}

void ComplexRecordset::ReadOnly(const char* what) const {
  Raise(kCannotUpdate, std::string("Cannot update. Database or object is read-only. ") + what +
                           " on the values of field '" + rows_->fieldName +
                           "': Corvid reads them only.");
}

void ComplexRecordset::NotSupported(const char* what) const {
  Raise(kOperationNotSupported,
        std::string("Operation is not supported for this type of object: ") + what +
            " on the values of field '" + rows_->fieldName + "'.");
}

void ComplexRecordset::CheckOpen() const {
  if (closed_)
    Raise(kObjectInvalid, "Object invalid or no longer set: the values of field '" +
                              rows_->fieldName + "' were closed.");
}

void ComplexRecordset::GoTo(std::int64_t index) {
  if (index < 0) index = -1;
  if (index > Count()) index = Count();
  current_ = static_cast<std::int32_t>(index);
}

void ComplexRecordset::MoveFirst() {
  CheckOpen();
  GoTo(Count() == 0 ? Count() : 0);
}
void ComplexRecordset::MoveLast() {
  CheckOpen();
  GoTo(Count() == 0 ? Count() : Count() - 1);
}
void ComplexRecordset::MoveNext() {
  CheckOpen();
  if (Eof()) Raise(kNoCurrentRecord, "No current record.");
  GoTo(current_ + 1);
}
void ComplexRecordset::MovePrevious() {
  CheckOpen();
  if (Bof()) Raise(kNoCurrentRecord, "No current record.");
  GoTo(current_ - 1);
}
void ComplexRecordset::Move(std::int32_t rows, const Bytes* start) {
  CheckOpen();
  if (start)
    SetBookmark(*start);
  else if ((Bof() || Eof()) && rows != 0)
    Raise(kNoCurrentRecord, "No current record.");
  GoTo(static_cast<std::int64_t>(current_) + rows);
}

bool ComplexRecordset::Eof() const { return Count() == 0 || current_ >= Count(); }
bool ComplexRecordset::Bof() const { return Count() == 0 || current_ < 0; }

std::int32_t ComplexRecordset::AbsolutePosition() { return Bof() || Eof() ? -1 : current_; }
void ComplexRecordset::SetAbsolutePosition(std::int32_t position) {
  if (position < 0 || position >= Count())
    Raise(kInvalidArgument, "Invalid argument: no row at position " + std::to_string(position) +
                                " of the values of field '" + rows_->fieldName + "'.");
  GoTo(position);
}
float ComplexRecordset::PercentPosition() {
  if (Bof() || Eof()) return 0;
  return 100.0f * static_cast<float>(current_) / static_cast<float>(Count());
}
void ComplexRecordset::SetPercentPosition(float percent) {
  if (!(percent >= 0 && percent <= 100))
    Raise(kInvalidArgument, "Invalid argument: a percentage from 0 to 100 is expected.");
  if (Count() == 0) return;
  const auto at = static_cast<std::int32_t>(std::floor(percent / 100.0f * Count()));
  GoTo(std::min(at, Count() - 1));
}

Bytes ComplexRecordset::Bookmark() {
  CheckOpen();
  if (Bof() || Eof()) Raise(kNoCurrentRecord, "No current record.");
  const std::uint32_t value = static_cast<std::uint32_t>(current_) + 1;
  Bytes bytes(4);
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = std::byte(value >> (8 * i));
  return bytes;
}

void ComplexRecordset::SetBookmark(const Bytes& bookmark) {
  CheckOpen();
  std::uint32_t value = 0;
  if (bookmark.size() == 4)
    for (int i = 3; i >= 0; --i)
      value = value << 8 | static_cast<std::uint8_t>(bookmark[static_cast<std::size_t>(i)]);
  if (value == 0 || value > static_cast<std::uint32_t>(Count()))
    Raise(kNotBookmarkable, "Not a valid bookmark.");
  GoTo(static_cast<std::int32_t>(value) - 1);
}

Bytes ComplexRecordset::LastModified() {
  Raise(kNoCurrentRecord, "No current record: nothing was changed in the values of field '" +
                              rows_->fieldName + "'.");
}

Collection<Field>& ComplexRecordset::Fields() {
  CheckOpen();
  return fields_;
}

std::unique_ptr<Recordset> ComplexRecordset::Clone() {
  CheckOpen();
  auto clone = std::make_unique<ComplexRecordset>(rows_);
  clone->GoTo(-1);
  return clone;
}

std::unique_ptr<Recordset> ComplexRecordset::OpenRecordset(int type, int options) {
  (void)options;
  CheckOpen();
  if (type != dbOpenSnapshot && type != dbOpenForwardOnly && type != 0)
    ReadOnly("OpenRecordset of an updatable type");
  return std::make_unique<ComplexRecordset>(rows_);
}

const jet::reader::Row& ComplexRecordset::CurrentRow() const {
  CheckOpen();
  if (Bof() || Eof()) Raise(kNoCurrentRecord, "No current record.");
  return rows_->rows[static_cast<std::size_t>(current_)];
}

std::size_t ComplexRecordset::CurrentIndex() const {
  (void)CurrentRow();
  return static_cast<std::size_t>(current_);
}

}  // namespace corvid::dao
