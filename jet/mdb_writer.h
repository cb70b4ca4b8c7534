// Writes Access databases (Jet 4, 4 KiB pages, and Jet 3, 2 KiB pages) from a
// description of tables, columns and rows.
//
//   corvid::jet::MdbWriter writer("out.mdb");
//   auto& photos = writer.AddTable({"Photos", {{"id", ColumnType::Long},
//                                             {"img", ColumnType::OleObject}}});
//   photos.AddRow({std::int64_t{1}, ByteView{jpegBytes}});
//   writer.Finish();   // the file appears under its final name only now
//
// Rows are streamed: every data page and long-value page goes to disk as soon
// as it is full, so the memory used does not grow with the database (only a
// list of page numbers per table is kept). The file is built under a
// temporary name in the target directory and renamed when complete; a writer
// destroyed without Finish() (or after an error) removes it again.
//
// Errors are WriterError exceptions whose text names the table, column and
// row at fault.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet {

enum class ColumnType {
  Long,        // Long Integer (32 bits)
  AutoNumber,  // Long Integer with the auto-increment attribute
  Integer,     // 16 bits
  Byte,        // 8 bits, unsigned
  YesNo,       // Boolean, stored in the null mask
  Currency,    // 64-bit ten-thousandths
  Double,
  DateTime,    // double days since 1899-12-30
  Text,        // Text(n), n characters (1..255)
  Memo,        // long text
  OleObject,   // long binary
  Binary,      // Binary(n), n bytes (1..255)
  Guid,        // Replication ID, 16 bytes
  Attachment,  // files attached to a row (Ace2007 only): the row holds a Long key
               // (or NULL), the files go to a hidden table (TableWriter::AddAttachment)
};

struct ColumnDef {
  std::string name;  // UTF-8; 1..64 characters, none of . ! ` [ ] or control characters
  ColumnType type = ColumnType::Long;
  // Text: maximum characters (0 means 50). Binary: maximum bytes (0 means 255).
  int size = 0;
  // Text and Memo in Jet 4: store a value in the compressed Unicode form when
  // that is shorter (what Access does when "Unicode Compression" is on).
  bool compressUnicode = true;
};

struct TableDef {
  std::string name;                // UTF-8; same rules as column names; must not start with "MSys"
  std::vector<ColumnDef> columns;  // 1..255 columns, names unique (case-insensitive)
};

// Value types. A Value holds one field of a row.
struct Date {
  double days = 0;  // days since 1899-12-30, fraction = time of day
};
struct Currency {
  std::int64_t tenThousandths = 0;  // 1.2345 is 12345
};
struct Guid {
  std::array<std::uint8_t, 16> bytes{};  // in storage order (Data1..Data3 little-endian)
};
using Bytes = std::vector<std::byte>;
// A non-owning view of bytes; the bytes must stay alive during AddRow only.
struct ByteView {
  std::span<const std::byte> data;
};
// std::monostate is NULL. An empty std::string is an empty (not NULL) text;
// an empty Bytes/ByteView is an empty (not NULL) binary value.
using Value = std::variant<std::monostate, std::int64_t, double, bool, std::string, Bytes, ByteView,
                           Date, Currency, Guid>;

inline constexpr std::monostate Null{};

struct WriterOptions {
  JetFormat format = JetFormat::Jet4;
  // Database password as Access stores it in the header (masked). Jet 4: up
  // to 20 characters; Jet 3: up to 20 Windows-1252 characters. Empty: none.
  std::string password;
  // Creation date recorded in the Jet 4 header; it also masks the password.
  // Days since 1899-12-30 (the default is 2026-01-01 00:00).
  double creationDate = 46023.0;
  // Code page / sort order recorded for the database and its text columns
  // (the default is "General").
  std::uint16_t sortOrder = kSortOrderGeneral;
};

// A stored query as Access keeps it: one MSysQueries row per clause element
// (attribute 1 the kind, 2 a parameter, 3 the select flags, 5 a table, 6 a
// column, 8 the condition, 11 an ordering, ...); the writer adds the end row.
struct StoredQueryRow {
  int attribute = 0;
  std::string name1, name2, expression;
  std::optional<int> flag;
};
struct StoredQuery {
  std::string name;       // same rules as table names
  std::int32_t type = 0;  // the catalog's query type (0 select, 0x30 update, ...)
  std::vector<StoredQueryRow> rows;
};

class WriterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A row that needs more bytes than the format lets a row hold.
class RowTooLargeError : public WriterError {
 public:
  using WriterError::WriterError;
};

// One file attached to a row. The writer stores it as Access does: a
// header naming the file's extension, then the bytes, zlib-compressed unless
// `compress` is false.
struct AttachmentFile {
  std::string fileName;             // UTF-8, e.g. "scan 0001.pdf"; 1..255 characters
  std::span<const std::byte> data;  // must stay alive during AddAttachment only
  bool compress = true;
  int compressionLevel = 6;  // zlib's 1..9
};

class TableWriter {
 public:
  virtual ~TableWriter() = default;
  // One value per column, in column order. Accepted conversions: integers
  // for Long/AutoNumber/Integer/Byte (range checked), bool or integer for
  // Yes/No, double or integer for Double, Date or double for Date/Time,
  // Currency or integer (whole units) for Currency, std::string for
  // Text/Memo, Bytes/ByteView for OLE Object/Binary, Guid for GUID.
  // NULL for an AutoNumber column takes the next number (starting at 1).
  // Yes/No has no NULL in Access: NULL is stored as No.
  virtual void AddRow(std::span<const Value> values) = 0;
  void AddRow(std::initializer_list<Value> values) {
    AddRow(std::span<const Value>(values.begin(), values.size()));
  }
  virtual std::int64_t RowCount() const = 0;
  virtual const TableDef& Definition() const = 0;
  // Attaches `file` to the rows whose Attachment column `column` holds
  // `key` (rows and their files may be added in any order).
  virtual void AddAttachment(std::string_view column, std::int32_t key,
                             const AttachmentFile& file) = 0;
};

class MdbWriter {
 public:
  // Opens a temporary file beside `path`; nothing appears under `path`
  // before Finish().
  explicit MdbWriter(std::string path, WriterOptions options = {});
  ~MdbWriter();  // abandons an unfinished file (removes the temporary)
  MdbWriter(const MdbWriter&) = delete;
  MdbWriter& operator=(const MdbWriter&) = delete;

  // Validates the definition (throws WriterError). The returned writer
  // stays valid until this MdbWriter is destroyed. Tables may be filled in
  // any order, interleaved.
  TableWriter& AddTable(TableDef definition);
  // Records a stored query (catalog entry and MSysQueries rows).
  void AddQuery(StoredQuery query);

  // Writes the table definitions, usage maps and the catalog, flushes, and
  // renames the file into place. After an exception the final name is left
  // untouched and the temporary is removed.
  void Finish();

  const std::string& Path() const;
  std::uint64_t PagesWritten() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvid::jet
