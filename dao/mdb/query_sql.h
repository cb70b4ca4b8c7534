#pragma once
// The SQL text of a stored query, rebuilt from the rows the file keeps for it
// in MSysQueries (one row per clause element: tables, columns, joins, the
// condition ...), in the shape Access shows it: one clause a line (lines
// separated by LF; the table component splits them into its string list),
// the statement ended by ";". Texts the file keeps whole (pass-through,
// data definition, the parts of a union) are given as stored.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/mdb/engine_context.h"

namespace corvid::dao {

class AccessFile;

// One MSysQueries row of a query.
struct QueryRow {
  int attribute = 0;
  std::string order;  // the Order column's bytes; rows of one attribute sort by it
  std::string name1, name2, expression;
  std::optional<int> flag;
};

// The query's SQL, or "" when its rows do not say which kind of query it is.
std::string StoredQuerySql(std::vector<QueryRow> rows);

// All rows of MSysQueries by the owning query's MSysObjects id, in the
// order they are stored; empty when the table is missing or unreadable.
std::map<std::int64_t, std::vector<QueryRow>> ReadStoredQueryRows(
    const std::shared_ptr<AccessFile>& file, const EngineContextPtr& context);

}  // namespace corvid::dao
