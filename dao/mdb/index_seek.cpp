#include "dao/mdb/index_seek.h"

#include <algorithm>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_values.h"
#include "dao/mdb/table_rows.h"
#include "dao/sql/sort_order.h"

namespace corvid::dao {
namespace {

constexpr int kNotAnIndex = 3800;
constexpr int kForeignIndexType = 2;
constexpr int kTypeMismatch = 3464;

// True when `key` can be compared with values of a field of DAO type
// `type` (Null always can).
bool KeyFits(const Variant& key, int type) {
  if (IsNull(key)) return true;
  switch (type) {
    case dbText:
    case dbMemo:
    case dbGUID:
      return std::holds_alternative<std::string>(key);
    case dbBinary:
    case dbLongBinary:
      return std::holds_alternative<Bytes>(key);
    default:
      return !std::holds_alternative<std::string>(key) && !std::holds_alternative<Bytes>(key);
  }
}

}  // namespace

IndexSeek::IndexSeek(TableRows& rows, std::string_view name, EngineContext& context)
    : context_(context) {
  const jet::reader::IndexDefinition* found = nullptr;
  for (const jet::reader::IndexDefinition& index : rows.definition().indexes)
    if (index.kind != kForeignIndexType && SameText(index.name, name)) {
      found = &index;
      break;
    }
  if (!found || found->columns.empty())
    context_.Raise(kNotAnIndex, "'" + std::string(name) +
                                    "' isn't an index in this table. Look "
                                    "in the Indexes collection of the TableDef object to determine "
                                    "the valid index names.");
  name_ = found->name;
  for (const jet::reader::IndexColumn& key : found->columns) {
    const int column = rows.ColumnIndexOfNumber(key.columnNumber);
    if (column < 0)
      context_.Raise(kNotAnIndex, "The index '" + name_ + "' names a field the table '" +
                                      rows.name() + "' does not have.");
    columns_.push_back(column);
    descending_.push_back(!key.ascending);
    types_.push_back(DaoTypeOf(rows.column(column)));
  }
}

std::vector<std::int32_t> IndexSeek::Order(std::vector<std::int32_t> tableRows,
                                           const ValueOf& value) const {
  // Read every key once, then sort positions by them.
  std::vector<std::vector<Variant>> keys(tableRows.size());
  for (std::size_t i = 0; i < tableRows.size(); ++i)
    for (int column : columns_) keys[i].push_back(value(tableRows[i], column));
  std::vector<std::size_t> positions(tableRows.size());
  for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = i;
  std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
    for (std::size_t k = 0; k < columns_.size(); ++k) {
      int order = sql::CompareForSort(keys[a][k], keys[b][k]);
      if (order != 0) return descending_[k] ? order > 0 : order < 0;
    }
    return false;
  });
  std::vector<std::int32_t> ordered;
  ordered.reserve(tableRows.size());
  for (std::size_t position : positions) ordered.push_back(tableRows[position]);
  return ordered;
}

int IndexSeek::Compare(std::int32_t row, const std::vector<Variant>& keys,
                       const ValueOf& value) const {
  for (std::size_t k = 0; k < keys.size(); ++k) {
    int order = sql::CompareForSort(value(row, columns_[k]), keys[k]);
    if (order != 0) return descending_[k] ? -order : order;
  }
  return 0;
}

std::optional<std::int32_t> IndexSeek::Find(const std::vector<std::int32_t>& ordered,
                                            std::string_view comparison,
                                            const std::vector<Variant>& keys,
                                            const ValueOf& value) const {
  if (keys.empty() || keys.size() > kMaxKeys || keys.size() > columns_.size())
    context_.Raise(kInvalidArgument, "Invalid argument: Seek on the index '" + name_ +
                                         "' takes 1 to " +
                                         std::to_string(std::min(columns_.size(), kMaxKeys)) +
                                         " key values, not " + std::to_string(keys.size()) + ".");
  std::string op(comparison);
  op.erase(std::remove(op.begin(), op.end(), ' '), op.end());
  if (op != "=" && op != "<" && op != "<=" && op != ">" && op != ">=")
    context_.Raise(kInvalidArgument, "Invalid argument: '" + std::string(comparison) +
                                         "' is no Seek comparison (=, <, <=, >, >=).");
  for (std::size_t k = 0; k < keys.size(); ++k)
    if (!KeyFits(keys[k], types_[k]))
      context_.Raise(kTypeMismatch, "Data type mismatch in criteria expression: key value " +
                                        std::to_string(k + 1) + " (" + VariantToText(keys[k]) +
                                        ") of Seek on the index '" + name_ +
                                        "' does not fit its field.");
  // Rows are in key order: every comparison splits them into two runs.
  auto before = [&](bool orEqual) {  // rows with key < keys (or <= keys)
    return std::partition_point(ordered.begin(), ordered.end(), [&](std::int32_t row) {
      int order = Compare(row, keys, value);
      return orEqual ? order <= 0 : order < 0;
    });
  };
  std::vector<std::int32_t>::const_iterator at;
  if (op == "=" || op == ">=") {
    at = before(false);
    if (at == ordered.end()) return std::nullopt;
    if (op == "=" && Compare(*at, keys, value) != 0) return std::nullopt;
  } else if (op == ">") {
    at = before(true);
    if (at == ordered.end()) return std::nullopt;
  } else {
    at = before(op == "<=");
    if (at == ordered.begin()) return std::nullopt;
    --at;
  }
  return static_cast<std::int32_t>(at - ordered.begin());
}

}  // namespace corvid::dao
