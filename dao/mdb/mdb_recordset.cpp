#include "dao/mdb/mdb_recordset.h"

#include <cmath>
#include <cstring>

#include "dao/engine/dao_constants.h"

namespace corvid::dao {

MdbRecordset::MdbRecordset(std::shared_ptr<TableRows> rows, EngineContextPtr context, int type,
                           std::shared_ptr<RecordsetRegistry> registry)
    : rows_(std::move(rows)),
      context_(std::move(context)),
      name_(rows_->name()),
      registry_(std::move(registry)),
      type_(type),
      fields_(context_, "Fields of '" + name_ + "'") {
  for (int i = 0; i < rows_->columnCount(); ++i)
    fields_.Add(std::make_shared<MdbColumnField>(rows_, i, this));
  GoTo(0);
  if (registry_) registry_->Add(this);
}

MdbRecordset::~MdbRecordset() {
  if (registry_) registry_->Remove(this);
}

std::string MdbRecordset::Name() const { return name_; }

void MdbRecordset::Raise(int number, std::string text) { context_->Raise(number, std::move(text)); }

void MdbRecordset::NotSupported(std::string_view member) {
  Raise(kOperationNotSupported, "Operation is not supported for this type of object: " +
                                    std::string(member) + " on '" + name_ +
                                    "' needs sorting, filtering and index support, which this "
                                    "engine does not have yet.");
}

TableRows& MdbRecordset::Rows() {
  if (!rows_)
    Raise(kObjectInvalid,
          "Object invalid or no longer set: the recordset '" + name_ + "' is closed.");
  return *rows_;
}

void MdbRecordset::Visited(std::int32_t index) {
  if (index > highestVisited_) highestVisited_ = index;
}

void MdbRecordset::GoTo(std::int32_t index) {
  TableRows& rows = Rows();
  if (index < 0) {
    current_ = -1;
    bof_ = true;
    eof_ = !rows.Has(0);
    return;
  }
  if (rows.Has(index)) {
    current_ = index;
    bof_ = eof_ = false;
    Visited(index);
    return;
  }
  current_ = rows.KnownCount();
  eof_ = true;
  bof_ = rows.KnownCount() == 0;
}

void MdbRecordset::MoveFirst() {
  TableRows& rows = Rows();
  if (ForwardOnly() && (current_ > 0 || (eof_ && rows.KnownCount() > 0)))
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: MoveFirst on the forward-only "
          "recordset '" +
              name_ + "'.");
  if (!rows.Has(0)) Raise(kNoCurrentRecord, "No current record.");
  GoTo(0);
}

void MdbRecordset::MoveLast() {
  TableRows& rows = Rows();
  std::int32_t count = rows.CountAll();
  if (count == 0) Raise(kNoCurrentRecord, "No current record.");
  GoTo(count - 1);
}

void MdbRecordset::MoveNext() {
  Rows();
  if (eof_) Raise(kNoCurrentRecord, "No current record.");
  GoTo(bof_ ? 0 : current_ + 1);
}

void MdbRecordset::MovePrevious() {
  Rows();
  if (ForwardOnly())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: MovePrevious on the forward-only "
          "recordset '" +
              name_ + "'.");
  if (bof_) Raise(kNoCurrentRecord, "No current record.");
  GoTo(current_ - 1);
}

void MdbRecordset::Move(std::int32_t rows, const Bytes* start) {
  Rows();
  std::int32_t base = current_;
  if (start) {
    SetBookmark(*start);
    base = current_;
  } else if ((bof_ || eof_) && rows != 0) {
    Raise(kNoCurrentRecord, "No current record.");
  }
  if (ForwardOnly() && rows < 0)
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: Move back on the forward-only "
          "recordset '" +
              name_ + "'.");
  if (rows == 0) return;
  std::int64_t target = static_cast<std::int64_t>(base) + rows;
  if (target < 0)
    GoTo(-1);
  else if (target > INT32_MAX)
    GoTo(Rows().CountAll());
  else
    GoTo(static_cast<std::int32_t>(target));
}

bool MdbRecordset::Eof() const { return eof_; }
bool MdbRecordset::Bof() const { return bof_; }

std::int32_t MdbRecordset::RecordCount() {
  TableRows& rows = Rows();
  if (type_ == dbOpenTable) return rows.StoredCount();
  if (rows.Complete()) return rows.KnownCount();
  return highestVisited_ + 1;
}

std::int32_t MdbRecordset::AbsolutePosition() {
  Rows();
  if (ForwardOnly())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: "
          "AbsolutePosition on the forward-only recordset '" +
              name_ + "'.");
  return bof_ || eof_ ? -1 : current_;
}

void MdbRecordset::SetAbsolutePosition(std::int32_t position) {
  if (ForwardOnly()) AbsolutePosition();
  if (position < 0 || !Rows().Has(position)) Raise(kInvalidArgument, "Invalid argument.");
  GoTo(position);
}

float MdbRecordset::PercentPosition() {
  Rows();
  if (bof_ || eof_) return 0.0f;
  std::int32_t count = RecordCount();
  if (count <= 0) return 0.0f;
  return static_cast<float>(current_) * 100.0f / static_cast<float>(count);
}

void MdbRecordset::SetPercentPosition(float percent) {
  if (percent < 0.0f || percent > 100.0f) Raise(kInvalidArgument, "Invalid argument.");
  std::int32_t count = Rows().CountAll();
  if (count == 0) Raise(kNoCurrentRecord, "No current record.");
  auto index = static_cast<std::int32_t>(std::lround(percent * static_cast<float>(count) / 100.0f));
  GoTo(std::min(index, count - 1));
}

Bytes MdbRecordset::Bookmark() {
  Rows();
  if (!Bookmarkable())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: "
          "bookmarks on the forward-only recordset '" +
              name_ + "'.");
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  auto value = static_cast<std::uint32_t>(current_ + 1);
  Bytes bookmark(4);
  for (int i = 0; i < 4; ++i) bookmark[static_cast<std::size_t>(i)] = std::byte(value >> (8 * i));
  return bookmark;
}

void MdbRecordset::SetBookmark(const Bytes& bookmark) {
  Rows();
  if (!Bookmarkable())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: "
          "bookmarks on the forward-only recordset '" +
              name_ + "'.");
  std::int32_t value = 0;
  if (bookmark.size() == 4) std::memcpy(&value, bookmark.data(), 4);
  if (value <= 0 || !Rows().Has(value - 1)) Raise(kNotBookmarkable, "Not a valid bookmark.");
  GoTo(value - 1);
}

bool MdbRecordset::Bookmarkable() const { return !ForwardOnly(); }

Bytes MdbRecordset::LastModified() {
  Rows();
  Raise(kNoCurrentRecord, "No current record.");
}

Collection<Field>& MdbRecordset::Fields() {
  Rows();
  return fields_;
}

std::unique_ptr<Recordset> MdbRecordset::Clone() {
  Rows();
  if (ForwardOnly())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: Clone "
          "of the forward-only recordset '" +
              name_ + "'.");
  auto clone = std::make_unique<MdbRecordset>(rows_, context_, type_, registry_);
  clone->current_ = -1;
  clone->bof_ = true;
  clone->eof_ = !rows_->Has(0);
  clone->highestVisited_ = highestVisited_;
  return clone;
}

void MdbRecordset::Requery() {
  Rows();
  highestVisited_ = -1;
  GoTo(0);
}

void MdbRecordset::Close() {
  Rows();
  fields_.Clear();
  rows_.reset();
  current_ = -1;
  bof_ = eof_ = true;
  if (registry_) registry_->Remove(this);
  registry_.reset();
}

const ::MdbField& MdbRecordset::CurrentField(int column) {
  TableRows& rows = Rows();
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  return rows.Crack(current_)[static_cast<std::size_t>(column)];
}

void MdbRecordset::Edit() {
  Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}
void MdbRecordset::AddNew() {
  Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}
void MdbRecordset::Update() {
  Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}
void MdbRecordset::Delete() {
  Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}

void MdbRecordset::SetFilter(std::string_view) { NotSupported("Filter"); }
void MdbRecordset::SetSort(std::string_view) { NotSupported("Sort"); }
void MdbRecordset::SetIndex(std::string_view) { NotSupported("Index"); }
std::unique_ptr<Recordset> MdbRecordset::OpenRecordset(int type, int options) {
  // No filter or sort can be set on this recordset, so the new one covers
  // the same rows; it shares the row index.
  Rows();
  if (options & dbForwardOnly) type = dbOpenForwardOnly;
  if (type == 0) type = type_;
  if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot &&
      type != dbOpenForwardOnly)
    Raise(kInvalidArgument, "Invalid argument.");
  return std::make_unique<MdbRecordset>(rows_, context_, type, registry_);
}
void MdbRecordset::FindFirst(std::string_view) { NotSupported("FindFirst"); }
void MdbRecordset::FindLast(std::string_view) { NotSupported("FindLast"); }
void MdbRecordset::FindNext(std::string_view) { NotSupported("FindNext"); }
void MdbRecordset::FindPrevious(std::string_view) { NotSupported("FindPrevious"); }
void MdbRecordset::Seek(std::string_view, const std::vector<Variant>&) { NotSupported("Seek"); }

Recordset& RecordsetRegistry::Item(int index) {
  if (index < 0 || index >= Count())
    context_->Raise(kItemNotFound, "Item not found in this collection: Recordsets has no item " +
                                       std::to_string(index) + ".");
  return *open_[static_cast<std::size_t>(index)];
}

Recordset& RecordsetRegistry::Item(std::string_view name) {
  for (MdbRecordset* recordset : open_)
    if (SameText(recordset->Name(), name)) return *recordset;
  context_->Raise(kItemNotFound, "Item not found in this collection: Recordsets has no item '" +
                                     std::string(name) + "'.");
}

void RecordsetRegistry::CloseAll() {
  auto open = open_;  // Close removes from the list
  for (MdbRecordset* recordset : open) recordset->Close();
}

}  // namespace corvid::dao
