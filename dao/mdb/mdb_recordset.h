#pragma once
// Recordsets of the Jet engine over one table: table, dynaset, snapshot
// and forward-only types. Table and dynaset recordsets of a database opened
// for writing can add, change and delete rows of tables without indexes
// (see table_writes.h); the others raise 3027. A recordset covers either all rows
// of the table in scan order, or a list of them (filtered and/or sorted)
// held as row numbers of the scan, never as copies. A bookmark is the row's
// number in the table scan plus one (positive, unique, valid in clones and
// kept by a row whatever order a recordset shows).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/engine/recordset.h"
#include "dao/mdb/mdb_field.h"
#include "dao/mdb/object_list.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {
namespace sql {
class Condition;
class SortOrder;
}  // namespace sql

class IndexSeek;
class RecordsetRegistry;

class MdbRecordset : public Recordset, public RowValues {
 public:
  MdbRecordset(std::shared_ptr<TableRows> rows, EngineContextPtr context, int type,
               std::shared_ptr<RecordsetRegistry> registry);
  ~MdbRecordset() override;

  std::string Name() const override;
  int Type() const override { return type_; }
  std::int32_t ListedCount() override;

  void MoveFirst() override;
  void MoveLast() override;
  void MoveNext() override;
  void MovePrevious() override;
  void Move(std::int32_t rows, const Bytes* start = nullptr) override;
  bool Eof() const override;
  bool Bof() const override;

  std::int32_t RecordCount() override;
  std::int32_t AbsolutePosition() override;
  void SetAbsolutePosition(std::int32_t position) override;
  float PercentPosition() override;
  void SetPercentPosition(float percent) override;

  Bytes Bookmark() override;
  void SetBookmark(const Bytes& bookmark) override;
  bool Bookmarkable() const override;
  Bytes LastModified() override;
  // Table and dynaset recordsets of a database opened for writing (a
  // table that cannot be changed, e.g. one with indexes, still refuses
  // Edit, AddNew and Delete with 3027 naming why).
  bool Updatable() const override;
  bool LockEdits() const override { return lockEdits_; }
  int EditMode() const override { return editMode_; }
  // The table's dates for a table-type recordset; empty otherwise.
  std::string DateCreated() override { return created_; }
  std::string LastUpdated() override { return updated_; }

  Collection<Field>& Fields() override;
  std::unique_ptr<Recordset> Clone() override;
  void Requery() override;
  void Close() override;

  void Edit() override;
  void AddNew() override;
  void Update() override;
  void CancelUpdate() override;
  void Delete() override;

  void SetFilter(std::string_view filter) override;
  void SetSort(std::string_view sort) override;
  void SetIndex(std::string_view index) override;
  std::unique_ptr<Recordset> OpenRecordset(int type, int options) override;
  void FindFirst(std::string_view criteria) override;
  void FindLast(std::string_view criteria) override;
  void FindNext(std::string_view criteria) override;
  void FindPrevious(std::string_view criteria) override;
  bool NoMatch() const override { return noMatch_; }
  void Seek(std::string_view comparison, const std::vector<Variant>& keys) override;

  void SetLockEdits(bool value) { lockEdits_ = value; }
  // OpenRecordset options: dbReadOnly makes the recordset read-only;
  // dbAppendOnly shows none of the existing rows and lets only AddNew change
  // the table.
  void SetOpenOptions(int options);
  void SetDates(std::string created, std::string updated) {
    created_ = std::move(created);
    updated_ = std::move(updated);
  }
  // The current row's fields (raises 3021 without a current record).
  const StoredValue& CurrentField(int column) override;
  std::int32_t CurrentTableRow() const override;
  // While a record is edited or added: the value assigned to the column
  // (checked and converted to its type; 3020 when nothing is being edited),
  // and the assigned value or null when the column was not assigned.
  void SetPending(int column, const Variant& value) override;
  const Variant* Pending(int column) const override;

  // Row numbers of the table scan, in the order a recordset shows them.
  using RowList = std::vector<std::int32_t>;
  // Narrows and orders this recordset to the rows of what it covers now
  // that pass `where`, sorted by `order` (stable; either may be null), and
  // goes to the first of them. Raises the engine's errors for unknown names
  // and values that don't compare.
  void Restrict(sql::Condition* where, sql::SortOrder* order);

 private:
  bool ForwardOnly() const { return type_ == dbOpenForwardOnlyType; }
  static constexpr int dbOpenForwardOnlyType = 8;
  TableRows& Rows();
  [[noreturn]] void Raise(int number, std::string text);
  [[noreturn]] void NotSupported(std::string_view member);
  void GoTo(std::int32_t index);  // index < 0 → BOF, past the end → EOF
  void Visited(std::int32_t index);
  // Positions of what this recordset covers (list_ or the whole table).
  bool HasRow(std::int32_t index);
  std::int32_t KnownRows() const;
  std::int32_t AllRows();
  bool AllKnown() const;
  std::int32_t TableRow(std::int32_t index) const {
    return list_ ? (*list_)[static_cast<std::size_t>(index)] : index;
  }
  std::vector<std::string> ColumnNames();
  Variant ValueAt(std::int32_t tableRow, int column);
  RowList Select(sql::Condition* where, sql::SortOrder* order);
  void Find(std::string_view criteria, std::int32_t start, int step);
  // Steps past rows deleted through this engine in direction `step`.
  void SkipDeleted(int step);
  // Index of a row <-> its position among the rows not deleted.
  std::int32_t LivePosition(std::int32_t index);
  std::int32_t IndexOfPosition(std::int32_t position);
  // Raises 3027 naming why rows can't change here; `existingRow` for Edit
  // and Delete, which an append-only recordset refuses.
  void CheckEditable(bool existingRow = false);
  Bytes BookmarkOf(std::int32_t index) const;
  static Bytes BookmarkOfRow(std::int32_t tableRow);
  // Where this recordset shows a row of the table (-1: it does not).
  std::int32_t IndexOfTableRow(std::int32_t tableRow);
  // Runs `body`, recording an engine error it raises in Errors.
  template <class Body>
  auto WithErrorsRecorded(Body body);

  std::shared_ptr<TableRows> rows_;
  EngineContextPtr context_;
  std::string name_;
  std::shared_ptr<RecordsetRegistry> registry_;
  int type_;
  bool lockEdits_ = false;
  bool readOnly_ = false;
  bool appendOnly_ = false;
  std::string created_, updated_;
  std::int32_t current_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  std::int32_t highestVisited_ = -1;
  // Null: all rows of the table. Shared with clones, which see the rows
  // added through any of them.
  std::shared_ptr<RowList> list_;
  bool filtered_ = false;      // rows narrowed by a condition: ListedCount is unknown
  std::string filter_, sort_;  // for the next OpenRecordset
  bool noMatch_ = false;
  // The current index (table type only) and the row order it gave.
  std::shared_ptr<const IndexSeek> index_;
  std::shared_ptr<const RowList> indexed_;
  bool indexedWholeTable_ = false;
  // The inverse of list_ for bookmarks: position by table row.
  std::shared_ptr<const RowList> invertedList_;
  std::size_t invertedSize_ = 0;
  std::vector<std::int32_t> positions_;
  ObjectList<Field, MdbColumnField> fields_;
  // Editing: dbEditNone, dbEditInProgress or dbEditAdd; the record edited;
  // the values assigned so far; the last record added or changed.
  int editMode_ = 0;
  std::int32_t editing_ = -1;
  std::vector<std::optional<Variant>> pending_;
  std::int32_t lastModified_ = -1;
};

// The open recordsets of a database (its Recordsets collection); a
// recordset registers itself while it lives.
class RecordsetRegistry : public Collection<Recordset> {
 public:
  explicit RecordsetRegistry(EngineContextPtr context) : context_(std::move(context)) {}
  int Count() const override { return static_cast<int>(open_.size()); }
  Recordset& Item(int index) override;
  Recordset& Item(std::string_view name) override;
  void Refresh() override {}
  void Add(MdbRecordset* recordset) { open_.push_back(recordset); }
  void Remove(MdbRecordset* recordset) { std::erase(open_, recordset); }
  // Closes every open recordset (the database is closing).
  void CloseAll();

 private:
  EngineContextPtr context_;
  std::vector<MdbRecordset*> open_;
};

}  // namespace corvid::dao
