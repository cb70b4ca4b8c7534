// The system tables every database carries: MSysObjects (the catalog a
// reader starts from: one row per table and per container object) and the
// other system tables of a new Access database (permissions, stored
// queries, relationships), empty here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"

namespace corvid::jet {

inline constexpr const char* kCatalogTableName = "MSysObjects";

// The catalog first, then the other system tables.
const std::vector<TableDef>& SystemTableDefinitions();
std::vector<std::string> SystemTableNames();

struct CatalogEntry {
  std::string name;
  std::uint32_t tdefPage = 0;
  bool system = false;
};

// Catalog id of the n-th (0-based) stored query.
std::int64_t QueryObjectId(std::size_t n);

// MSysObjects rows (in column order of its definition) for the containers,
// the database object, the given tables and the stored queries.
std::vector<std::vector<Value>> CatalogRows(const std::vector<CatalogEntry>& tables, double date,
                                            const std::vector<StoredQuery>& queries = {});

// MSysQueries rows (in column order of its definition) of the stored queries.
std::vector<std::vector<Value>> QueryRows(const std::vector<StoredQuery>& queries);

}  // namespace corvid::jet
