#pragma once
// One table of an open file as the engine reads it: the reader's table
// definition and columns, and a compact index of row locators (page, row)
// filled lazily by the reader's row cursor. Recordsets and their clones
// share it; rows are never copied, only located and decoded on demand.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/engine/properties.h"
#include "dao/mdb/engine_context.h"
#include "dao/mdb/mdb_file.h"
#include "jet/reader/table_definition.h"
#include "jet/reader/value.h"

namespace corvid::dao {

struct ComplexValues;

using Column = jet::reader::ColumnDefinition;
using StoredValue = jet::reader::Value;

class TableRows {
 public:
  // Reads the table definition of `entry`; raises 3343 when it can't.
  TableRows(std::shared_ptr<AccessFile> file, const jet::reader::CatalogEntry& entry,
            EngineContextPtr context);
  TableRows(const TableRows&) = delete;
  TableRows& operator=(const TableRows&) = delete;

  const std::string& name() const { return name_; }
  AccessFile& file() { return *file_; }
  EngineContext& context() { return *context_; }
  const EngineContextPtr& sharedContext() const { return context_; }
  int columnCount() const { return static_cast<int>(definition_->columns.size()); }
  const Column& column(int index) const {
    return definition_->columns[static_cast<std::size_t>(index)];
  }
  // The column index of the column numbered `number` in the definition; -1 when none.
  int ColumnIndexOfNumber(std::uint16_t number) const;
  const Properties& columnProperties(int index) const {
    return columnProperties_[static_cast<std::size_t>(index)];
  }
  const Properties& tableProperties() const { return tableProperties_; }
  const jet::reader::TableDefinition& definition() const { return *definition_; }

  // The row count the table definition records.
  std::int32_t StoredCount() const { return static_cast<std::int32_t>(definition_->rowCount); }
  // True when row `index` (0-based) exists; scans forward as far as needed.
  bool Has(std::int32_t index);
  // Rows found so far, and whether the scan reached the end.
  std::int32_t KnownCount() const { return static_cast<std::int32_t>(rows_.size()); }
  bool Complete() const { return complete_; }
  // Scans to the end; the number of rows.
  std::int32_t CountAll();

  // The stored values of row `index` (which must exist), one per column in
  // column order. Valid until the next call that reads rows. Raises 3167 for
  // a row deleted meanwhile, 3049 (DataDamageError) for a row that cannot be
  // read.
  const std::vector<StoredValue>& Crack(std::int32_t index);

  // Where row `index` lives in the file.
  struct Locator {
    std::uint32_t page;
    std::uint16_t row;
    bool deleted = false;    // deleted through this engine
    bool recovered = false;  // found by the reader's recovery scan
    bool moved = false;      // reached through a lookup row (its slot carries the deleted flag)
  };
  const Locator& LocatorOf(std::int32_t index) const {
    return rows_.at(static_cast<std::size_t>(index));
  }
  bool Deleted(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size() &&
           rows_[static_cast<std::size_t>(index)].deleted;
  }
  std::int32_t DeletedCount() const { return deleted_; }
  const jet::reader::CatalogEntry& entry() const { return entry_; }

  // After a change written through this engine (the scan must be complete):
  // the row moved, was added (its index is returned), or was deleted. Then
  // Reload re-reads the file and the table definition (row count, maps).
  void Moved(std::int32_t index, std::uint32_t page, std::uint16_t row);
  std::int32_t Added(std::uint32_t page, std::uint16_t row);
  void Removed(std::int32_t index);
  void Reload();
  // Re-reads the definition when the file changed since it was read (for a
  // table definition's own rows, which are never scanned).
  void ReloadIfChanged();

  // Row orders of the table's indexes over all its rows (by lower-case index
  // name); forgotten when the file changes.
  std::shared_ptr<const std::vector<std::int32_t>> IndexOrder(const std::string& key) const;
  void KeepIndexOrder(const std::string& key,
                      std::shared_ptr<const std::vector<std::int32_t>> order);

  // The complex column (attachments, multi-value lists) at `index`, resolved
  // on first use and kept until the file changes. Raises 3049 when its
  // MSysComplexColumns entry or hidden table is damaged, 3251 for a column
  // that is not complex.
  std::shared_ptr<ComplexValues> Complex(int index);
  // Its DAO type without raising: dbAttachment when its MSysComplexColumns
  // entry cannot be read (using the field then reports the damage).
  int ComplexType(int index);

  // Raises the row's damage as DAO's 3049, naming table, page, row and field.
  [[noreturn]] void RaiseDamage(const jet::reader::DamageError& error, std::int32_t index,
                                const std::string& field = {});

 private:
  void ReadDefinition();
  bool ScanNext();

  std::shared_ptr<AccessFile> file_;
  EngineContextPtr context_;
  jet::reader::CatalogEntry entry_;
  std::string name_;
  std::shared_ptr<const jet::reader::TableDefinition> definition_;
  std::vector<Properties> columnProperties_;
  Properties tableProperties_;
  std::optional<jet::reader::RowCursor> cursor_;
  bool cutShort_ = false;  // the usage map lists pages past the end of the file
  std::vector<Locator> rows_;
  bool complete_ = false;
  std::int32_t deleted_ = 0;
  std::int32_t crackedIndex_ = -1;
  unsigned crackedGeneration_ = 0;
  unsigned definitionGeneration_ = 0;
  std::vector<StoredValue> cracked_;  // by column
  jet::reader::Row scanned_;
  std::map<std::string, std::shared_ptr<const std::vector<std::int32_t>>> indexOrders_;
  std::map<int, std::shared_ptr<ComplexValues>> complex_;
  unsigned complexGeneration_ = 0;
  unsigned indexOrdersGeneration_ = 0;
};

}  // namespace corvid::dao
