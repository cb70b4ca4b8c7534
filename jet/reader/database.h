// An Access database read by our own code, defensively: the header, the
// catalog (MSysObjects), table definitions, rows, values and long values.
// Nothing is ever written; nothing is printed. A file that is no database
// throws FormatError; damage that stops a structure from being read throws
// DamageError; damage read past is collected in Report().
//
//   auto db = corvid::jet::Database::Open("nwind.mdb");
//   corvid::jet::Table table = db.OpenTable("Categories");
//   corvid::jet::RowCursor rows = table.Rows();
//   corvid::jet::Row row;
//   while (rows.Next(row)) { ... table.LongValueBytes(std::get<LongValue>(row.values[3])) ... }
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/reader/catalog.h"
#include "jet/reader/database_state.h"
#include "jet/reader/long_value.h"
#include "jet/reader/property_blob.h"
#include "jet/reader/row_cursor.h"
#include "jet/reader/table_definition.h"

namespace corvid::jet::reader {

class NotFoundError : public JetError {
 public:
  using JetError::JetError;
};

class Table {
 public:
  const TableDefinition& Definition() const { return *def_; }
  const std::string& Name() const { return def_->name; }

  // A cursor over the rows; it keeps this table alive.
  RowCursor Rows() const { return RowCursor(state_, def_); }

  // The bytes of a Memo or OLE value of this table's rows (DamageError when
  // they cannot be read whole).
  Bytes LongValueBytes(const LongValue& value) const;
  void ReadLongValue(const LongValue& value,
                     const std::function<void(std::span<const std::byte>)>& sink) const;
  // A Memo's text.
  std::string MemoText(const LongValue& value) const;
  // The value's bytes pulled piece by piece; the cursor keeps this table's
  // database alive.
  std::shared_ptr<LongValueCursor> OpenLongValue(const LongValue& value) const;

 private:
  friend class Database;
  Table(std::shared_ptr<DatabaseState> state, std::shared_ptr<const TableDefinition> def)
      : state_(std::move(state)), def_(std::move(def)) {}
  std::shared_ptr<DatabaseState> state_;
  std::shared_ptr<const TableDefinition> def_;
};

struct OpenOptions {
  std::size_t cachePages = PageSource::kDefaultCachePages;
  // The database password (UTF-8) for a file encrypted with Office
  // encryption; a wrong or missing one throws PasswordError. Files with a
  // plain Jet database password open without it (the DAO layer checks that).
  std::string password{};
};

class Database {
 public:
  static Database Open(const std::string& path, OpenOptions options = {});
  // A file image in memory; `image` must outlive the database.
  static Database OpenImage(std::span<const std::byte> image, OpenOptions options = {});
  // The header page of a file alone, with no password: its version and
  // whether (and how) it is Office-encrypted. FormatError when it is no
  // database.
  static HeaderPage ReadHeader(const std::string& path);

  const HeaderPage& Header() const { return state_->header; }
  const JetConstants& Format() const { return state_->format; }
  PageSource& Pages() { return state_->pages; }
  const TextDecoder& Text() const { return state_->text; }

  // The catalog's entries, read on first use (DamageError when MSysObjects
  // cannot be read at all).
  const Catalog& Objects();
  // The property blocks stored for a catalog entry (none when it has no
  // LvProp); DamageError when the blob cannot be read or parsed.
  std::vector<PropertyBlock> PropertiesOf(const CatalogEntry& entry);
  // User tables in catalog order.
  std::vector<std::string> TableNames();

  // A table (user or system, e.g. MSysQueries) by name, case-insensitive;
  // NotFoundError when the catalog has none.
  Table OpenTable(const std::string& name);
  // A table by its definition page (the catalog table itself is page 2).
  Table OpenTableAt(std::uint32_t page, const std::string& name);

  const DamageReport& Report() const { return state_->report; }
  // For readers of structures the database does not read itself (a table
  // definition read again, a property blob): where their damage goes.
  DamageReport& MutableReport() { return state_->report; }
  void ReportDamage(const DamageError& error) { state_->report.Add(error); }

  // A table over a definition read before (kept alive by the table).
  Table TableOf(std::shared_ptr<const TableDefinition> def) {
    return Table(state_, std::move(def));
  }

 private:
  explicit Database(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {}
  static Database FromSource(std::unique_ptr<ByteSource> bytes, OpenOptions options);

  std::shared_ptr<DatabaseState> state_;
  std::shared_ptr<Catalog> catalog_;
};

}  // namespace corvid::jet::reader
