#pragma once
// A DAO Recordset: a cursor over the rows of a table. Bookmarks are 4-byte
// arrays holding a positive little-endian 32-bit value, unique within the
// recordset and shared with its clones.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dao/engine/collection.h"
#include "dao/engine/field.h"
#include "dao/engine/variant.h"

namespace corvid::dao {

class Recordset {
 public:
  virtual ~Recordset() = default;

  virtual std::string Name() const = 0;
  // dbOpenTable, dbOpenDynaset, dbOpenSnapshot or dbOpenForwardOnly.
  virtual int Type() const = 0;

  // Navigation. Moves that need a current record raise 3021 at BOF/EOF, as
  // DAO does; MovePrevious/MoveLast/Move back on a forward-only recordset
  // raise 3251.
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;
  // Moves `rows` from the current record (or from `start` when given).
  virtual void Move(std::int32_t rows, const Bytes* start = nullptr) = 0;
  // DAO's EOF and BOF (EOF itself is a macro of <cstdio>).
  virtual bool Eof() const = 0;
  virtual bool Bof() const = 0;

  // Rows visited so far (DAO semantics: exact after MoveLast); table-type
  // recordsets know the full count at once.
  virtual std::int32_t RecordCount() = 0;
  // The number of rows the table's definition lists (for a table or a
  // recordset over one table), -1 when unknown. Rows that the file lists but
  // that cannot be read (damage) make it larger than the rows visited; a
  // Filter makes it meaningless, so recordsets opened with one give -1.
  virtual std::int32_t ListedCount() { return -1; }
  // 0-based position of the current record, -1 at BOF/EOF.
  virtual std::int32_t AbsolutePosition() = 0;
  virtual void SetAbsolutePosition(std::int32_t position) = 0;
  // Position as a percentage of RecordCount (0 with no current record).
  virtual float PercentPosition() = 0;
  virtual void SetPercentPosition(float percent) = 0;

  // Bookmark of the current record (raises 3021 without one).
  virtual Bytes Bookmark() = 0;
  // Goes to a bookmark of this recordset or a clone; unknown → 3159.
  virtual void SetBookmark(const Bytes& bookmark) = 0;
  virtual bool Bookmarkable() const = 0;
  // Bookmark of the row last added or changed through this recordset;
  // 3021 when there is none.
  virtual Bytes LastModified() = 0;
  // Whether rows can be added, changed and deleted through this recordset.
  virtual bool Updatable() const = 0;
  virtual bool LockEdits() const = 0;
  // dbEditNone, dbEditInProgress (after Edit) or dbEditAdd (after AddNew).
  virtual int EditMode() const = 0;
  virtual std::string DateCreated() = 0;
  virtual std::string LastUpdated() = 0;

  virtual Collection<Field>& Fields() = 0;

  // A new recordset over the same rows, positioned at no record, sharing
  // bookmarks with this one.
  virtual std::unique_ptr<Recordset> Clone() = 0;
  // Re-reads the rows and goes to the first one.
  virtual void Requery() = 0;
  virtual void Close() = 0;

  // Editing. Edit starts changing the current record, AddNew a new one;
  // Field::SetValue assigns values; Update writes the row (a changed row
  // keeps its bookmark, an added row comes last with a new bookmark, the
  // current record stays); CancelUpdate drops the assigned values (with
  // nothing pending it does nothing; moving to another record drops them
  // too); Delete deletes the current record, whose bookmark then raises
  // 3167. Update without Edit or AddNew raises 3020. Only table and dynaset recordsets of a
  // database opened for writing change rows, and only of tables without indexes: otherwise 3027
  // "Cannot update. Database or object is read-only." with the reason.
  virtual void Edit() = 0;
  virtual void AddNew() = 0;
  virtual void Update() = 0;
  virtual void CancelUpdate() = 0;
  virtual void Delete() = 0;

  // A new recordset of `type` over this one's rows, narrowed by its Filter
  // and ordered by its Sort when they are set, positioned at its first row.
  // A Filter or Sort text the engine can't read raises its error here
  // (3075, 3138; 3070 for an unknown field name).
  virtual std::unique_ptr<Recordset> OpenRecordset(int type, int options) = 0;
  // Filter: a condition ("[Qty] > 5 AND [Name] LIKE 'a*'"); Sort: fields
  // with ASC or DESC ("[Name] DESC, [Id]"). Both take effect on the next
  // OpenRecordset of this recordset, as in DAO.
  virtual void SetFilter(std::string_view filter) = 0;
  virtual void SetSort(std::string_view sort) = 0;
  // The index Seek uses (table-type recordsets only; others raise 3251):
  // rows are ordered by its key fields and the first becomes current.
  virtual void SetIndex(std::string_view index) = 0;
  // Go to the first, last, next or previous row where the condition is true
  // and clear NoMatch; with no such row set NoMatch and stay where it was.
  virtual void FindFirst(std::string_view criteria) = 0;
  virtual void FindLast(std::string_view criteria) = 0;
  virtual void FindNext(std::string_view criteria) = 0;
  virtual void FindPrevious(std::string_view criteria) = 0;
  virtual bool NoMatch() const = 0;
  // Seek on the current index with "=", "<", "<=", ">" or ">=" and 1 to 13
  // key values; no index set raises 3019, a key of the wrong type 3464.
  virtual void Seek(std::string_view comparison, const std::vector<Variant>& keys) = 0;
};

}  // namespace corvid::dao
