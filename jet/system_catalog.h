// The system tables every database carries: MSysObjects (the catalog a
// reader starts from: one row per table and per container object) and the
// other system tables of a new Access database (permissions, stored
// queries, relationships), empty here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"

namespace corvid::jet {

inline constexpr const char* kCatalogTableName = "MSysObjects";

// The catalog first, then the other system tables.
const std::vector<TableDef>& SystemTableDefinitions();
std::vector<std::string> SystemTableNames();

// Access 2007 files also list their complex columns, and the template of the
// hidden table that holds an attachment column's files.
inline constexpr const char* kComplexColumnsTableName = "MSysComplexColumns";
inline constexpr const char* kAttachmentTemplateName = "MSysComplexType_Attachment";
const std::vector<TableDef>& AceSystemTableDefinitions();

// The columns of the hidden table of attachment column `column` of table
// `table`: the key, the template's columns, the table's own AutoNumber.
TableDef AttachmentTableDefinition(const std::string& table, const std::string& column,
                                   std::uint32_t complexId);

// Catalog flags of the tables a complex column brings.
inline constexpr std::int64_t kTemplateTableFlags = static_cast<std::int32_t>(0x80030000u);
inline constexpr std::int64_t kHiddenTableFlags = static_cast<std::int32_t>(0x800A0000u);

struct CatalogEntry {
  std::string name;
  std::uint32_t tdefPage = 0;
  bool system = false;
  std::optional<std::int64_t> flags = std::nullopt;  // instead of the ones `system` gives
};

// An MSysComplexColumns row.
struct ComplexColumnEntry {
  std::string columnName;
  std::uint32_t complexId = 0;
  std::uint32_t templatePage = 0, flatPage = 0, tablePage = 0;  // catalog ids
};
std::vector<std::vector<Value>> ComplexColumnRows(const std::vector<ComplexColumnEntry>& entries);

// Catalog id of the n-th (0-based) stored query.
std::int64_t QueryObjectId(std::size_t n);

// MSysObjects rows (in column order of its definition) for the containers,
// the database object, the given tables and the stored queries.
std::vector<std::vector<Value>> CatalogRows(const std::vector<CatalogEntry>& tables, double date,
                                            const std::vector<StoredQuery>& queries = {});

// MSysQueries rows (in column order of its definition) of the stored queries.
std::vector<std::vector<Value>> QueryRows(const std::vector<StoredQuery>& queries);

}  // namespace corvid::jet
