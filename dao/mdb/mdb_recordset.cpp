#include "dao/mdb/mdb_recordset.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/edit_values.h"
#include "dao/mdb/index_seek.h"
#include "dao/mdb/mdb_values.h"
#include "dao/mdb/table_writes.h"
#include "dao/sql/condition.h"
#include "dao/sql/sort_order.h"

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

template <class Body>
auto MdbRecordset::WithErrorsRecorded(Body body) {
  try {
    return body();
  } catch (const EngineError& error) {
    Raise(error.Number(), error.Description());
  }
}

MdbRecordset::~MdbRecordset() {
  if (registry_) registry_->Remove(this);
}

std::string MdbRecordset::Name() const { return name_; }

void MdbRecordset::Raise(int number, std::string text) { context_->Raise(number, std::move(text)); }

void MdbRecordset::NotSupported(std::string_view member) {
  Raise(kOperationNotSupported, "Operation is not supported for this type of object: " +
                                    std::string(member) + " on '" + name_ +
                                    "' needs index support, which this engine does not have "
                                    "yet.");
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
  Rows();
  // Moving drops an edit or a new record not yet written, as in DAO.
  if (editMode_ != dbEditNone) CancelUpdate();
  if (index < 0) {
    current_ = -1;
    bof_ = true;
    eof_ = !HasRow(0);
    return;
  }
  if (HasRow(index)) {
    current_ = index;
    bof_ = eof_ = false;
    Visited(index);
    return;
  }
  current_ = KnownRows();
  eof_ = true;
  bof_ = KnownRows() == 0;
}

void MdbRecordset::MoveFirst() {
  Rows();
  if (ForwardOnly() && (current_ > 0 || (eof_ && KnownRows() > 0)))
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: MoveFirst on the forward-only "
          "recordset '" +
              name_ + "'.");
  if (!HasRow(0)) Raise(kNoCurrentRecord, "No current record.");
  GoTo(0);
  SkipDeleted(1);
}

void MdbRecordset::MoveLast() {
  Rows();
  std::int32_t count = AllRows();
  if (count == 0) Raise(kNoCurrentRecord, "No current record.");
  GoTo(count - 1);
  SkipDeleted(-1);
}

void MdbRecordset::MoveNext() {
  Rows();
  if (eof_) Raise(kNoCurrentRecord, "No current record.");
  GoTo(bof_ ? 0 : current_ + 1);
  SkipDeleted(1);
}

void MdbRecordset::SkipDeleted(int step) {
  while (!bof_ && !eof_ && rows_->Deleted(TableRow(current_))) GoTo(current_ + step);
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
  SkipDeleted(-1);
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
    GoTo(AllRows());
  else
    GoTo(static_cast<std::int32_t>(target));
}

bool MdbRecordset::Eof() const { return eof_; }
bool MdbRecordset::Bof() const { return bof_; }

std::int32_t MdbRecordset::RecordCount() {
  TableRows& rows = Rows();
  if (type_ == dbOpenTable && !list_) return rows.StoredCount();
  // Rows deleted through this engine no longer count.
  auto deletedUpTo = [&](std::int32_t end) {
    std::int32_t deleted = 0;
    if (rows.DeletedCount() == 0) return deleted;
    for (std::int32_t i = 0; i < end; ++i) deleted += rows.Deleted(TableRow(i)) ? 1 : 0;
    return deleted;
  };
  if (AllKnown()) return KnownRows() - deletedUpTo(KnownRows());
  return highestVisited_ + 1 - deletedUpTo(highestVisited_ + 1);
}

// Positions count the rows a recordset shows: rows deleted through this
// engine are passed by (the walk is needed only once a row was deleted).
std::int32_t MdbRecordset::LivePosition(std::int32_t index) {
  if (!rows_ || rows_->DeletedCount() == 0) return index;
  std::int32_t position = index;
  for (std::int32_t i = 0; i < index; ++i) position -= rows_->Deleted(TableRow(i)) ? 1 : 0;
  return position;
}

std::int32_t MdbRecordset::IndexOfPosition(std::int32_t position) {
  if (!rows_ || rows_->DeletedCount() == 0) return position;
  for (std::int32_t i = 0; HasRow(i); ++i) {
    if (rows_->Deleted(TableRow(i))) continue;
    if (position-- == 0) return i;
  }
  return -1;
}

std::int32_t MdbRecordset::AbsolutePosition() {
  Rows();
  if (ForwardOnly())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: "
          "AbsolutePosition on the forward-only recordset '" +
              name_ + "'.");
  return bof_ || eof_ ? -1 : LivePosition(current_);
}

void MdbRecordset::SetAbsolutePosition(std::int32_t position) {
  if (ForwardOnly()) AbsolutePosition();
  const std::int32_t index = position < 0 ? -1 : IndexOfPosition(position);
  if (index < 0 || !HasRow(index)) Raise(kInvalidArgument, "Invalid argument.");
  GoTo(index);
}

float MdbRecordset::PercentPosition() {
  Rows();
  if (bof_ || eof_) return 0.0f;
  std::int32_t count = RecordCount();
  if (count <= 0) return 0.0f;
  return static_cast<float>(LivePosition(current_)) * 100.0f / static_cast<float>(count);
}

void MdbRecordset::SetPercentPosition(float percent) {
  if (percent < 0.0f || percent > 100.0f) Raise(kInvalidArgument, "Invalid argument.");
  const std::int32_t count = LivePosition(AllRows());
  if (count <= 0) Raise(kNoCurrentRecord, "No current record.");
  auto position =
      static_cast<std::int32_t>(std::lround(percent * static_cast<float>(count) / 100.0f));
  GoTo(IndexOfPosition(std::min(position, count - 1)));
}

// A bookmark names a row of the table (its number in the scan, plus one), so
// it stays with its record in whatever order this recordset or a clone shows
// the rows (an index set on a clone reorders only the clone).
Bytes MdbRecordset::BookmarkOfRow(std::int32_t tableRow) {
  auto value = static_cast<std::uint32_t>(tableRow + 1);
  Bytes bookmark(4);
  for (int i = 0; i < 4; ++i) bookmark[static_cast<std::size_t>(i)] = std::byte(value >> (8 * i));
  return bookmark;
}

Bytes MdbRecordset::BookmarkOf(std::int32_t index) const { return BookmarkOfRow(TableRow(index)); }

std::int32_t MdbRecordset::IndexOfTableRow(std::int32_t tableRow) {
  if (tableRow < 0) return -1;
  if (!list_) return HasRow(tableRow) ? tableRow : -1;
  if (invertedList_ != list_) {
    invertedList_ = list_;
    invertedSize_ = 0;
    positions_.clear();
  }
  // The list only grows at its end (rows added through a clone), so the
  // inverse is extended rather than rebuilt.
  for (; invertedSize_ < list_->size(); ++invertedSize_) {
    const auto row = static_cast<std::size_t>((*list_)[invertedSize_]);
    if (row >= positions_.size()) positions_.resize(row + 1, -1);
    positions_[row] = static_cast<std::int32_t>(invertedSize_);
  }
  return static_cast<std::size_t>(tableRow) < positions_.size()
             ? positions_[static_cast<std::size_t>(tableRow)]
             : -1;
}

Bytes MdbRecordset::Bookmark() {
  Rows();
  if (!Bookmarkable())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: "
          "bookmarks on the forward-only recordset '" +
              name_ + "'.");
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  return BookmarkOf(current_);
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
  const std::int32_t index = value > 0 ? IndexOfTableRow(value - 1) : -1;
  if (index < 0) Raise(kNotBookmarkable, "Not a valid bookmark.");
  if (rows_->Deleted(value - 1)) Raise(kRecordDeleted, "Record is deleted.");
  GoTo(index);
}

bool MdbRecordset::Bookmarkable() const { return !ForwardOnly(); }

Bytes MdbRecordset::LastModified() {
  Rows();
  if (lastModified_ < 0) Raise(kNoCurrentRecord, "No current record.");
  return BookmarkOfRow(lastModified_);
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
  clone->list_ = list_;
  clone->eof_ = !clone->HasRow(0);
  clone->highestVisited_ = highestVisited_;
  clone->readOnly_ = readOnly_;
  clone->appendOnly_ = appendOnly_;
  return clone;
}

void MdbRecordset::Requery() {
  Rows();
  highestVisited_ = -1;
  GoTo(0);
  SkipDeleted(1);
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

std::int32_t MdbRecordset::CurrentTableRow() const {
  return bof_ || eof_ || current_ < 0 ? -1 : const_cast<MdbRecordset*>(this)->TableRow(current_);
}

const StoredValue& MdbRecordset::CurrentField(int column) {
  TableRows& rows = Rows();
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  return rows.Crack(TableRow(current_))[static_cast<std::size_t>(column)];
}

void MdbRecordset::SetOpenOptions(int options) {
  readOnly_ = (options & dbReadOnly) != 0;
  appendOnly_ = (options & dbAppendOnly) != 0 && !readOnly_;
  if (appendOnly_) {
    list_ = std::make_shared<RowList>();
    highestVisited_ = -1;
    GoTo(0);
  }
}

bool MdbRecordset::Updatable() const {
  if (!rows_ || readOnly_ || (type_ != dbOpenTable && type_ != dbOpenDynaset)) return false;
  // What can be told without touching the file; Edit and AddNew check the rest.
  const AccessFile& file = rows_->file();
  return file.writable() && file.header().format != MdbFormat::Ace && !file.encrypted() &&
         rows_->definition().indexes.empty() &&
         !SameText(std::string_view(rows_->name()).substr(0, 4), "MSys");
}

void MdbRecordset::CheckEditable(bool existingRow) {
  TableRows& rows = Rows();
  if (type_ != dbOpenTable && type_ != dbOpenDynaset)
    Raise(kCannotUpdate, "Cannot update. Database or object is read-only. The recordset '" + name_ +
                             "' is a " + (ForwardOnly() ? "forward-only" : "snapshot") +
                             " recordset; open a table or dynaset recordset to change rows.");
  if (readOnly_)
    Raise(kCannotUpdate, "Cannot update. Database or object is read-only. The recordset '" + name_ +
                             "' was opened read-only (dbReadOnly).");
  std::string refusal = EditRefusal(rows);
  if (!refusal.empty()) Raise(kCannotUpdate, std::move(refusal));
  if (existingRow && appendOnly_)
    Raise(kCannotUpdate, "Cannot update. Database or object is read-only. The recordset '" + name_ +
                             "' was opened to append only (dbAppendOnly).");
}

void MdbRecordset::Edit() {
  CheckEditable(true);
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  if (rows_->Deleted(TableRow(current_))) Raise(kRecordDeleted, "Record is deleted.");
  editMode_ = dbEditInProgress;
  editing_ = current_;
  pending_.assign(static_cast<std::size_t>(rows_->columnCount()), std::nullopt);
}

void MdbRecordset::AddNew() {
  CheckEditable();
  editMode_ = dbEditAdd;
  editing_ = -1;
  pending_.assign(static_cast<std::size_t>(rows_->columnCount()), std::nullopt);
}

void MdbRecordset::CancelUpdate() {
  editMode_ = dbEditNone;
  editing_ = -1;
  pending_.clear();
}

void MdbRecordset::SetPending(int column, const Variant& value) {
  TableRows& rows = Rows();
  if (editMode_ == dbEditNone) {
    CheckEditable();  // a table that can't change says why first
    Raise(kUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
  }
  const Column& definition = rows.column(column);
  if ((definition.flags & jet::kColumnAutoLong) && editMode_ == dbEditInProgress)
    Raise(kFieldNotUpdatable, "Field cannot be updated.");
  Variant coerced = WithErrorsRecorded([&] {
    return CoerceToColumn(definition, rows.file().header().format, value, rows.context());
  });
  pending_.at(static_cast<std::size_t>(column)) = std::move(coerced);
}

const Variant* MdbRecordset::Pending(int column) const {
  if (editMode_ == dbEditNone) return nullptr;
  const auto& slot = pending_.at(static_cast<std::size_t>(column));
  return slot ? &*slot : nullptr;
}

void MdbRecordset::Update() {
  TableRows& rows = Rows();
  if (editMode_ == dbEditNone) {
    CheckEditable();
    Raise(kUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
  }
  if (editMode_ == dbEditInProgress && rows.Deleted(TableRow(editing_)))
    Raise(kRecordDeleted, "Record is deleted.");
  // The row as it will be: assigned values, else the stored ones (Null for
  // a new row). Memo and OLE values not assigned stay where they are in the
  // file, unread.
  std::vector<Variant> row;
  std::vector<bool> keep(static_cast<std::size_t>(rows.columnCount()), false);
  for (int c = 0; c < rows.columnCount(); ++c) {
    const auto& assigned = pending_[static_cast<std::size_t>(c)];
    if (assigned) {
      row.push_back(*assigned);
    } else if (editMode_ == dbEditInProgress && IsLongValue(rows.column(c))) {
      keep[static_cast<std::size_t>(c)] = true;
      const bool stored =
          !jet::reader::IsNull(rows.Crack(TableRow(editing_))[static_cast<std::size_t>(c)]);
      row.push_back(stored ? Variant(Bytes{}) : Variant(Null{}));  // only its Null-ness counts
    } else if (editMode_ == dbEditInProgress) {
      row.push_back(ValueAt(TableRow(editing_), c));
    } else {
      row.push_back(Null{});
    }
  }
  std::vector<jet::Value> values;
  for (int c = 0; c < rows.columnCount(); ++c) {
    const Column& column = rows.column(c);
    const Variant& value = row[static_cast<std::size_t>(c)];
    const Field& field = fields_.Item(c);
    const std::string qualified = name_ + "." + column.name;
    if (IsNull(value) && field.Required() &&
        !((column.flags & jet::kColumnAutoLong) && editMode_ == dbEditAdd))
      Raise(kRequiredFieldNull,
            "The field '" + qualified +
                "' cannot contain a Null value because the Required property for this "
                "field is set to True. Enter a value in this field.");
    if (keep[static_cast<std::size_t>(c)]) {
      values.push_back(jet::Null);
      continue;
    }
    if (const auto* text = std::get_if<std::string>(&value);
        text && text->empty() &&
        (IsColumnType(column, jet::StoredType::Text) ||
         IsColumnType(column, jet::StoredType::Memo))) {
      const Property* allow = field.FieldProperties().Find("AllowZeroLength");
      if (allow && std::holds_alternative<bool>(allow->value) && !std::get<bool>(allow->value))
        Raise(kZeroLengthString, "Field '" + qualified + "' cannot be a zero-length string.");
    }
    values.push_back(ToWriterValue(column, value));
  }
  if (editMode_ == dbEditInProgress) {
    WithErrorsRecorded([&] { RewriteRow(rows, TableRow(editing_), values, keep); });
    lastModified_ = TableRow(editing_);
  } else {
    const std::int32_t added = WithErrorsRecorded([&] { return WriteNewRow(rows, values); });
    // The new row comes last in this recordset (and its clones).
    if (list_) {
      list_->push_back(added);
    }
    lastModified_ = added;
    // The current record stays. An empty recordset now has a row after
    // BOF; at EOF the position moves past the new last row.
    if (bof_ && eof_) {
      eof_ = false;
      current_ = -1;
    } else if (eof_) {
      current_ = KnownRows();
    }
  }
  CancelUpdate();
}

void MdbRecordset::Delete() {
  CheckEditable(true);
  if (bof_ || eof_) Raise(kNoCurrentRecord, "No current record.");
  if (rows_->Deleted(TableRow(current_))) Raise(kRecordDeleted, "Record is deleted.");
  CancelUpdate();
  WithErrorsRecorded([&] { DeleteRow(*rows_, TableRow(current_)); });
}

void MdbRecordset::SetFilter(std::string_view filter) {
  Rows();
  filter_ = std::string(filter);
}
void MdbRecordset::SetSort(std::string_view sort) {
  Rows();
  sort_ = std::string(sort);
}
void MdbRecordset::SetIndex(std::string_view index) {
  TableRows& rows = Rows();
  if (type_ != dbOpenTable) NotSupported("Index");
  auto chosen = std::make_shared<IndexSeek>(rows, index, rows.context());
  // Over all rows of the table the order of an index is kept with the
  // table's rows until the file changes, so clones that take the same index
  // (as every locate does) need not sort again.
  const bool wholeTable = !list_ || (list_ == indexed_ && indexedWholeTable_);
  const std::string key = LowerCase(index);
  std::shared_ptr<const RowList> order = wholeTable ? rows.IndexOrder(key) : nullptr;
  if (!order) {
    RowList covered;
    for (std::int32_t i = 0; HasRow(i); ++i)
      if (!rows.Deleted(TableRow(i))) covered.push_back(TableRow(i));
    order = std::make_shared<const RowList>(chosen->Order(
        std::move(covered), [&](std::int32_t row, int column) { return ValueAt(row, column); }));
    if (wholeTable) rows.KeepIndexOrder(key, order);
  }
  list_ = std::make_shared<RowList>(*order);
  index_ = std::move(chosen);
  indexed_ = list_;
  indexedWholeTable_ = wholeTable;
  GoTo(0);
}

bool MdbRecordset::HasRow(std::int32_t index) {
  if (!list_) return Rows().Has(index);
  return index >= 0 && static_cast<std::size_t>(index) < list_->size();
}
std::int32_t MdbRecordset::KnownRows() const {
  if (list_) return static_cast<std::int32_t>(list_->size());
  return rows_ ? rows_->KnownCount() : 0;
}
std::int32_t MdbRecordset::AllRows() {
  if (list_) return static_cast<std::int32_t>(list_->size());
  return Rows().CountAll();
}
bool MdbRecordset::AllKnown() const { return list_ || (rows_ && rows_->Complete()); }

std::vector<std::string> MdbRecordset::ColumnNames() {
  TableRows& rows = Rows();
  std::vector<std::string> names;
  for (int i = 0; i < rows.columnCount(); ++i) names.emplace_back(rows.column(i).name);
  return names;
}

Variant MdbRecordset::ValueAt(std::int32_t tableRow, int column) {
  TableRows& rows = Rows();
  const auto& fields = rows.Crack(tableRow);
  try {
    return DecodeValue(rows.file(), rows.column(column), fields[static_cast<std::size_t>(column)]);
  } catch (const jet::reader::DamageError& error) {
    rows.RaiseDamage(error, tableRow, rows.column(column).name);
  }
}

MdbRecordset::RowList MdbRecordset::Select(sql::Condition* where, sql::SortOrder* order) {
  std::vector<std::string> names = ColumnNames();
  if (where) where->Bind(names);
  if (order) order->Bind(names);
  RowList selected;
  const std::int32_t count = AllRows();
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t row = TableRow(i);
    if (rows_->Deleted(row)) continue;
    if (!where || where->Matches([&](int column) { return ValueAt(row, column); }))
      selected.push_back(row);
  }
  if (!order || order->Keys().empty()) return selected;
  // The sort keys are read once per row; the rows themselves stay in the file.
  const auto& keys = order->Keys();
  struct Keyed {
    std::int32_t row;
    std::vector<Variant> key;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(selected.size());
  for (std::int32_t row : selected) {
    Keyed entry{row, {}};
    entry.key.reserve(keys.size());
    for (const sql::SortKey& key : keys) entry.key.push_back(ValueAt(row, key.column));
    keyed.push_back(std::move(entry));
  }
  std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    for (std::size_t k = 0; k < keys.size(); ++k) {
      int c = sql::CompareForSort(a.key[k], b.key[k]);
      if (c != 0) return keys[k].descending ? c > 0 : c < 0;
    }
    return false;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) selected[i] = keyed[i].row;
  return selected;
}

std::int32_t MdbRecordset::ListedCount() {
  if (!rows_ || filtered_ ||
      (type_ != dbOpenTable && type_ != dbOpenDynaset && type_ != dbOpenSnapshot))
    return -1;
  rows_->ReloadIfChanged();
  return rows_->StoredCount();
}

void MdbRecordset::Restrict(sql::Condition* where, sql::SortOrder* order) {
  Rows();
  if (where) filtered_ = true;
  auto list = std::make_shared<RowList>(WithErrorsRecorded([&] { return Select(where, order); }));
  list_ = std::move(list);
  highestVisited_ = -1;
  GoTo(0);
}

std::unique_ptr<Recordset> MdbRecordset::OpenRecordset(int type, int options) {
  // The new recordset covers this one's rows, narrowed by Filter and ordered
  // by Sort when they are set; it shares the row index.
  Rows();
  if (options & dbForwardOnly) type = dbOpenForwardOnly;
  if (type == 0) type = type_;
  if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot &&
      type != dbOpenForwardOnly)
    Raise(kInvalidArgument, "Invalid argument.");
  std::optional<sql::Condition> where;
  std::optional<sql::SortOrder> order;
  WithErrorsRecorded([&] {
    if (!filter_.empty()) where.emplace(filter_);
    if (!sort_.empty()) order.emplace(sort_);
  });
  auto recordset = std::make_unique<MdbRecordset>(rows_, context_, type, registry_);
  if (list_) recordset->list_ = std::make_shared<RowList>(*list_);
  recordset->filtered_ = filtered_;
  if (where || order)
    recordset->Restrict(where ? &*where : nullptr, order ? &*order : nullptr);
  else
    recordset->GoTo(0);
  recordset->SkipDeleted(1);
  recordset->readOnly_ = readOnly_;
  if (options & (dbReadOnly | dbAppendOnly))
    recordset->SetOpenOptions(options | (readOnly_ ? dbReadOnly : 0));
  return recordset;
}

void MdbRecordset::Find(std::string_view criteria, std::int32_t start, int step) {
  Rows();
  if (ForwardOnly())
    Raise(kOperationNotSupported,
          "Operation is not supported for this type of object: Find on the forward-only "
          "recordset '" +
              name_ + "'.");
  sql::Condition condition = WithErrorsRecorded([&] {
    sql::Condition parsed(criteria);
    parsed.Bind(ColumnNames());
    return parsed;
  });
  const std::int32_t count = AllRows();
  for (std::int32_t i = start; i >= 0 && i < count; i += step) {
    std::int32_t row = TableRow(i);
    if (rows_->Deleted(row)) continue;
    bool match = WithErrorsRecorded(
        [&] { return condition.Matches([&](int c) { return ValueAt(row, c); }); });
    if (match) {
      noMatch_ = false;
      GoTo(i);
      return;
    }
  }
  // Nothing found: the current record stays where it was.
  noMatch_ = true;
}

void MdbRecordset::FindFirst(std::string_view criteria) { Find(criteria, 0, 1); }
void MdbRecordset::FindLast(std::string_view criteria) {
  Rows();
  Find(criteria, AllRows() - 1, -1);
}
void MdbRecordset::FindNext(std::string_view criteria) {
  Rows();
  Find(criteria, bof_ ? 0 : eof_ ? AllRows() : current_ + 1, 1);
}
void MdbRecordset::FindPrevious(std::string_view criteria) {
  Rows();
  Find(criteria, eof_ ? AllRows() - 1 : bof_ ? -1 : current_ - 1, -1);
}
void MdbRecordset::Seek(std::string_view comparison, const std::vector<Variant>& keys) {
  Rows();
  if (type_ != dbOpenTable) NotSupported("Seek");
  // Rows ordered some other way since the index was set have no index order.
  if (!index_ || list_ != indexed_)
    Raise(IndexSeek::kNoCurrentIndex, "Operation invalid without a current index.");
  auto found = index_->Find(*list_, comparison, keys,
                            [&](std::int32_t row, int column) { return ValueAt(row, column); });
  noMatch_ = !found;
  if (found) GoTo(*found);  // no match leaves the current record where it was
}

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
