#include "jet/system_catalog.h"

#include <algorithm>
#include <cstdio>

namespace corvid::jet {
namespace {

constexpr std::int64_t kRootContainer = 0x0F000000;
constexpr std::int64_t kTablesContainer = 0x0F000001;
constexpr std::int64_t kDatabasesContainer = 0x0F000002;
constexpr std::int64_t kRelationshipsContainer = 0x0F000003;
constexpr std::int64_t kDatabaseObject = 0x10000000;
constexpr std::int64_t kSystemFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::int64_t kTypeTable = 1;
constexpr std::int64_t kTypeDatabase = 2;
constexpr std::int64_t kTypeContainer = 3;
constexpr std::int64_t kTypeQuery = 5;
constexpr std::int64_t kFirstQueryId = 0x10000001;
constexpr int kEndAttribute = 255;

ColumnDef Col(const char* name, ColumnType type, int size = 0) {
  return ColumnDef{name, type, size, true};
}

}  // namespace

const std::vector<TableDef>& SystemTableDefinitions() {
  static const std::vector<TableDef> defs{
      TableDef{
          kCatalogTableName,
          {Col("Id", ColumnType::Long), Col("ParentId", ColumnType::Long),
           Col("Name", ColumnType::Text, 255), Col("Type", ColumnType::Integer),
           Col("DateCreate", ColumnType::DateTime), Col("DateUpdate", ColumnType::DateTime),
           Col("Owner", ColumnType::Binary, 255), Col("Flags", ColumnType::Long),
           Col("Database", ColumnType::Memo), Col("Connect", ColumnType::Memo),
           Col("ForeignName", ColumnType::Text, 255), Col("RmtInfoShort", ColumnType::Binary, 255),
           Col("RmtInfoLong", ColumnType::OleObject), Col("Lv", ColumnType::OleObject),
           Col("LvProp", ColumnType::OleObject), Col("LvModule", ColumnType::OleObject),
           Col("LvExtra", ColumnType::OleObject)}},
      TableDef{"MSysACEs",
               {Col("ObjectId", ColumnType::Long), Col("SID", ColumnType::Binary, 255),
                Col("ACM", ColumnType::Long), Col("FInheritable", ColumnType::YesNo)}},
      TableDef{"MSysQueries",
               {Col("ObjectId", ColumnType::Long), Col("Attribute", ColumnType::Byte),
                Col("Order", ColumnType::Binary, 255), Col("Name1", ColumnType::Text, 255),
                Col("Name2", ColumnType::Text, 255), Col("Expression", ColumnType::Memo),
                Col("Flag", ColumnType::Integer), Col("LvExtra", ColumnType::Long)}},
      TableDef{
          "MSysRelationships",
          {Col("ccolumn", ColumnType::Long), Col("grbit", ColumnType::Long),
           Col("icolumn", ColumnType::Long), Col("szColumn", ColumnType::Text, 64),
           Col("szObject", ColumnType::Text, 64), Col("szReferencedColumn", ColumnType::Text, 64),
           Col("szReferencedObject", ColumnType::Text, 64),
           Col("szRelationship", ColumnType::Text, 64)}},
  };
  return defs;
}

const std::vector<TableDef>& AceSystemTableDefinitions() {
  static const std::vector<TableDef> defs{
      TableDef{kComplexColumnsTableName,
               {Col("ColumnName", ColumnType::Text, 255),
                Col("ComplexTypeObjectID", ColumnType::Long), Col("FlatTableID", ColumnType::Long),
                Col("ConceptualTableID", ColumnType::Long), Col("ComplexID", ColumnType::Long)}},
      TableDef{kAttachmentTemplateName,
               {Col("FileURL", ColumnType::Memo), Col("FileName", ColumnType::Text, 255),
                Col("FileType", ColumnType::Text, 255), Col("FileData", ColumnType::OleObject),
                Col("FileTimeStamp", ColumnType::DateTime), Col("FileFlags", ColumnType::Long)}},
  };
  return defs;
}

namespace {

// The first `units` UTF-16 code units of a UTF-8 name, cut at a character.
std::string FirstUnits(const std::string& name, std::size_t units) {
  std::size_t used = 0, at = 0;
  while (at < name.size()) {
    const auto lead = static_cast<unsigned char>(name[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::size_t cost = length == 4 ? 2 : 1;
    if (used + cost > units) break;
    used += cost;
    at += length;
  }
  return name.substr(0, std::min(at, name.size()));
}

}  // namespace

TableDef AttachmentTableDefinition(const std::string& table, const std::string& column,
                                   std::uint32_t complexId) {
  // Access names the hidden table after a GUID and the column; any unique
  // hex text does, as readers find the table by its id.
  char hex[33];
  std::snprintf(hex, sizeof hex, "%032X", complexId);
  constexpr std::size_t kNameUnits = 64;
  return TableDef{
      FirstUnits("f_" + std::string(hex) + "_" + column, kNameUnits),
      {Col(FirstUnits("_" + column, kNameUnits).c_str(), ColumnType::Long),
       Col("FileData", ColumnType::OleObject), Col("FileFlags", ColumnType::Long),
       Col("FileName", ColumnType::Text, 255), Col("FileTimeStamp", ColumnType::DateTime),
       Col("FileType", ColumnType::Text, 255), Col("FileURL", ColumnType::Memo),
       Col(FirstUnits(table + "_" + column, kNameUnits).c_str(), ColumnType::AutoNumber)}};
}

std::vector<std::vector<Value>> ComplexColumnRows(const std::vector<ComplexColumnEntry>& entries) {
  std::vector<std::vector<Value>> rows;
  for (const ComplexColumnEntry& e : entries)
    rows.push_back({e.columnName, std::int64_t{e.templatePage}, std::int64_t{e.flatPage},
                    std::int64_t{e.tablePage}, std::int64_t{e.complexId}});
  return rows;
}

std::vector<std::string> SystemTableNames() {
  std::vector<std::string> names;
  for (const auto& def : SystemTableDefinitions()) names.push_back(def.name);
  return names;
}

std::int64_t QueryObjectId(std::size_t n) { return kFirstQueryId + static_cast<std::int64_t>(n); }

std::vector<std::vector<Value>> CatalogRows(const std::vector<CatalogEntry>& tables, double date,
                                            const std::vector<StoredQuery>& queries) {
  std::vector<std::vector<Value>> rows;
  auto add = [&](std::int64_t id, std::int64_t parent, const std::string& name, std::int64_t type,
                 std::int64_t flags) {
    std::vector<Value> row(17, Null);
    row[0] = id;
    row[1] = parent;
    row[2] = name;
    row[3] = type;
    row[4] = Date{date};
    row[5] = Date{date};
    row[7] = flags;
    rows.push_back(std::move(row));
  };
  add(kTablesContainer, kRootContainer, "Tables", kTypeContainer, kSystemFlag);
  add(kDatabasesContainer, kRootContainer, "Databases", kTypeContainer, kSystemFlag);
  add(kRelationshipsContainer, kRootContainer, "Relationships", kTypeContainer, kSystemFlag);
  add(kDatabaseObject, kDatabasesContainer, "MSysDb", kTypeDatabase, kSystemFlag);
  for (const auto& t : tables)
    add(t.tdefPage, kTablesContainer, t.name, kTypeTable,
        t.flags    ? *t.flags
        : t.system ? kSystemFlag
                   : 0);
  for (std::size_t n = 0; n < queries.size(); ++n)
    add(QueryObjectId(n), kTablesContainer, queries[n].name, kTypeQuery, queries[n].type);
  return rows;
}

std::vector<std::vector<Value>> QueryRows(const std::vector<StoredQuery>& queries) {
  std::vector<std::vector<Value>> rows;
  for (std::size_t n = 0; n < queries.size(); ++n) {
    std::vector<StoredQueryRow> own = queries[n].rows;
    own.push_back(StoredQueryRow{kEndAttribute, {}, {}, {}, {}});
    for (std::size_t k = 0; k < own.size(); ++k) {
      const StoredQueryRow& q = own[k];
      std::vector<Value> row(8, Null);
      row[0] = QueryObjectId(n);
      row[1] = static_cast<std::int64_t>(q.attribute);
      // The Order column keeps the rows of one attribute in sequence.
      row[2] = Bytes{std::byte(k >> 8), std::byte(k & 0xFF)};
      if (!q.name1.empty()) row[3] = q.name1;
      if (!q.name2.empty()) row[4] = q.name2;
      if (!q.expression.empty()) row[5] = q.expression;
      if (q.flag) row[6] = static_cast<std::int64_t>(*q.flag);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

}  // namespace corvid::jet
