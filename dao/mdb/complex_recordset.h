#pragma once
// The value of a complex field in one record as a recordset of its own: the
// rows of the column's hidden table that carry the record's key, in stored
// order. An attachment field's rows have FileData, FileName, FileType,
// FileURL, FileTimeStamp and FileFlags; a multi-value field's rows the
// template's value column (Value). The recordset is a read-only snapshot:
// it keeps the rows' locators, not their long values, and reads FileData
// only when asked (decoded as it is read, see OpenValueStream).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"
#include "dao/mdb/complex_values.h"
#include "dao/mdb/object_list.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {

// What a complex field's recordset and its clones share.
struct ComplexRows {
  std::shared_ptr<TableRows> table;        // the user table (keeps the file open)
  std::shared_ptr<ComplexValues> complex;  // the column and its hidden table
  std::string fieldName;                   // the complex field in the user table
  std::string record;                      // the user record, for messages ("3")
  std::vector<jet::reader::Row> rows;
  std::vector<jet::reader::Attachment> attachments;  // attachment fields: one per row
};

class ComplexRecordset : public Recordset {
 public:
  // The rows of `complex` that carry `key` (none for a Null key),
  // positioned at the first.
  static std::unique_ptr<Recordset> Open(std::shared_ptr<TableRows> table,
                                         std::shared_ptr<ComplexValues> complex,
                                         std::string fieldName, std::optional<std::int32_t> key,
                                         std::string record);
  explicit ComplexRecordset(std::shared_ptr<const ComplexRows> rows);
  ~ComplexRecordset() override;

  std::string Name() const override { return rows_->fieldName; }
  int Type() const override { return dbOpenSnapshot; }
  void MoveFirst() override;
  void MoveLast() override;
  void MoveNext() override;
  void MovePrevious() override;
  void Move(std::int32_t rows, const Bytes* start = nullptr) override;
  bool Eof() const override;
  bool Bof() const override;
  std::int32_t RecordCount() override { return Count(); }
  std::int32_t ListedCount() override { return Count(); }
  std::int32_t AbsolutePosition() override;
  void SetAbsolutePosition(std::int32_t position) override;
  float PercentPosition() override;
  void SetPercentPosition(float percent) override;
  Bytes Bookmark() override;
  void SetBookmark(const Bytes& bookmark) override;
  bool Bookmarkable() const override { return true; }
  Bytes LastModified() override;
  bool Updatable() const override { return false; }
  bool LockEdits() const override { return false; }
  int EditMode() const override { return dbEditNone; }
  std::string DateCreated() override { return {}; }
  std::string LastUpdated() override { return {}; }
  Collection<Field>& Fields() override;
  std::unique_ptr<Recordset> Clone() override;
  void Requery() override { MoveFirst(); }
  void Close() override { closed_ = true; }
  void Edit() override { ReadOnly("Edit"); }
  void AddNew() override { ReadOnly("AddNew"); }
  void Update() override { ReadOnly("Update"); }
  void CancelUpdate() override {}
  void Delete() override { ReadOnly("Delete"); }
  std::unique_ptr<Recordset> OpenRecordset(int type, int options) override;
  void SetFilter(std::string_view) override { NotSupported("Filter"); }
  void SetSort(std::string_view) override { NotSupported("Sort"); }
  void SetIndex(std::string_view) override { NotSupported("Index"); }
  void FindFirst(std::string_view) override { NotSupported("FindFirst"); }
  void FindLast(std::string_view) override { NotSupported("FindLast"); }
  void FindNext(std::string_view) override { NotSupported("FindNext"); }
  void FindPrevious(std::string_view) override { NotSupported("FindPrevious"); }
  bool NoMatch() const override { return false; }
  void Seek(std::string_view, const std::vector<Variant>&) override { NotSupported("Seek"); }

  // For the fields: the current row (raises 3021 without one).
  const jet::reader::Row& CurrentRow() const;
  std::size_t CurrentIndex() const;
  const ComplexRows& Shared() const { return *rows_; }
  [[noreturn]] void Raise(int number, const std::string& description) const;

 private:
  std::int32_t Count() const { return static_cast<std::int32_t>(rows_->rows.size()); }
  void GoTo(std::int64_t index);
  [[noreturn]] void ReadOnly(const char* what) const;
  [[noreturn]] void NotSupported(const char* what) const;
  void CheckOpen() const;

  std::shared_ptr<const ComplexRows> rows_;
  std::int32_t current_ = 0;  // -1: BOF; Count(): EOF
  bool closed_ = false;
  ObjectList<Field> fields_;
};

}  // namespace corvid::dao
