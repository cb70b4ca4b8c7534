// Changes the rows of one user table of an existing Jet 3 or Jet 4 file in
// place: insert, update and delete, long values included, with the table's
// row count, AutoNumber counter and usage maps kept right.
//
//   TableEditor editor("photos.mdb", tdefPage, "Photos");
//   RowLocation at = editor.Insert({Null, std::string("Anna"), Bytes{...}});
//   at = editor.Update(at, {std::int64_t{1}, std::string("Anne"), Null});
//   editor.Delete(at);
//
// Each call is one change: the file is opened read-write for its duration
// only, every page it alters is built in memory, then new pages are written
// (the file grows), then the altered pages, then the file is synced. A value
// the table cannot take, or a table the editor cannot safely change, fails
// with WriterError before anything is written; a write failure before the
// first existing page is overwritten leaves the file as it was. Values the
// table cannot take raise RowValueError (a WriterError).
//
// Refused (WriterError naming the reason): tables with indexes (Access's
// index pages would go stale), system tables, ACE files and files whose pages
// are encoded with a database key, and definitions or pages the editor does
// not understand.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/edit_session.h"
#include "jet/mdb_writer.h"
#include "jet/stored_table.h"

namespace corvid::jet {

// A value the table cannot take (wrong kind, out of range, too long): raised
// before anything is written, as is a RowTooLargeError for a row too large.
class RowValueError : public WriterError {
 public:
  using WriterError::WriterError;
};

// Where a row lives: its data page and its number on the page.
struct RowLocation {
  std::uint32_t page = 0;
  std::uint16_t row = 0;
  friend bool operator==(const RowLocation&, const RowLocation&) = default;
};

class TableEditor {
 public:
  // `tdefPage`: the first page of the table's definition (the catalog's
  // Id). `identity`, when given, is the file the caller holds open; a change
  // refuses to write when the path names another file by then.
  TableEditor(std::string path, std::uint32_t tdefPage, std::string tableName,
              std::optional<FileIdentity> identity = std::nullopt);

  // Reads the table and throws WriterError when it cannot be edited. Writes nothing.
  StoredTable Check() const;

  // One value per column, as MdbWriter's TableWriter::AddRow takes them
  // (NULL for an AutoNumber column takes the table's next number).
  RowLocation Insert(std::span<const Value> values);
  RowLocation Insert(std::initializer_list<Value> values) {
    return Insert(std::span<const Value>(values.begin(), values.size()));
  }
  // Replaces the row at `where` with `values`; returns where it is now (the
  // same slot when it still fits its page, otherwise a slot on another page,
  // the old one deleted). `keepStored` (by column; may be shorter): true for
  // a Memo or OLE Object column keeps the value the row holds, untouched
  // where it is (its entry in `values` is not used). The old long values
  // the row no longer uses are freed.
  RowLocation Update(RowLocation where, std::span<const Value> values,
                     const std::vector<bool>& keepStored = {});
  RowLocation Update(RowLocation where, std::initializer_list<Value> values,
                     const std::vector<bool>& keepStored = {}) {
    return Update(where, std::span<const Value>(values.begin(), values.size()), keepStored);
  }
  // Deletes the row and frees its long values.
  void Delete(RowLocation where);

  // Tests: called before each page write; may throw to simulate a failing disk.
  void SetWriteHook(PageWriteHook hook) { hook_ = std::move(hook); }

 private:
  struct Change;
  std::string path_;
  std::uint32_t tdefPage_;
  std::string tableName_;
  std::optional<FileIdentity> identity_;
  PageWriteHook hook_;
};

}  // namespace corvid::jet
