#pragma once
// The current index of a table-type recordset: the table's rows in the
// index's key order (row numbers of the scan, ordered by the key fields'
// values, not read from the index pages), and Seek over them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/variant.h"
#include "dao/mdb/engine_context.h"

namespace corvid::dao {

class TableRows;

class IndexSeek {
 public:
  // Seek takes at most this many key values.
  static constexpr std::size_t kMaxKeys = 13;
  // Seek before an index is chosen.
  static constexpr int kNoCurrentIndex = 3019;
  using ValueOf = std::function<Variant(std::int32_t tableRow, int column)>;

  // The index `name` (letter case ignored) of `rows`' table; raises 3800
  // when the table has no such index (relationship entries are no index).
  IndexSeek(TableRows& rows, std::string_view name, EngineContext& context);

  const std::string& name() const { return name_; }
  std::size_t keyCount() const { return columns_.size(); }

  // `tableRows` sorted by the key fields (stable: equal keys keep scan
  // order).
  std::vector<std::int32_t> Order(std::vector<std::int32_t> tableRows, const ValueOf& value) const;

  // Position in `ordered` (from Order) of the row that Seek with
  // `comparison` ("=", "<", "<=", ">", ">=") and `keys` (1 to 13 values,
  // at most one per key field; missing trailing fields match anything)
  // finds: the first row in index order for "=", ">=" and ">", the last
  // one for "<" and "<=". Nothing when no row qualifies. Raises 3001 for
  // an unknown comparison or a wrong number of keys.
  std::optional<std::int32_t> Find(const std::vector<std::int32_t>& ordered,
                                   std::string_view comparison, const std::vector<Variant>& keys,
                                   const ValueOf& value) const;

 private:
  // Key order of row `row` against `keys`: negative when the row comes
  // before them in the index, 0 when its leading fields equal them.
  int Compare(std::int32_t row, const std::vector<Variant>& keys, const ValueOf& value) const;

  EngineContext& context_;
  std::string name_;
  std::vector<int> columns_;
  std::vector<bool> descending_;
  std::vector<int> types_;  // DAO type of each key field
};

}  // namespace corvid::dao
