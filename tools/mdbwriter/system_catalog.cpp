#include "tools/mdbwriter/system_catalog.h"

namespace corvid::mdbwriter {
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

ColumnDef Col(const char* name, ColumnType type, int size = 0) { return ColumnDef{name, type, size, true}; }

}  // namespace

const std::vector<TableDef>& SystemTableDefinitions() {
  static const std::vector<TableDef> defs{
      TableDef{kCatalogTableName,
               {Col("Id", ColumnType::Long), Col("ParentId", ColumnType::Long), Col("Name", ColumnType::Text, 255),
                Col("Type", ColumnType::Integer), Col("DateCreate", ColumnType::DateTime),
                Col("DateUpdate", ColumnType::DateTime), Col("Owner", ColumnType::Binary, 255),
                Col("Flags", ColumnType::Long), Col("Database", ColumnType::Memo), Col("Connect", ColumnType::Memo),
                Col("ForeignName", ColumnType::Text, 255), Col("RmtInfoShort", ColumnType::Binary, 255),
                Col("RmtInfoLong", ColumnType::OleObject), Col("Lv", ColumnType::OleObject),
                Col("LvProp", ColumnType::OleObject), Col("LvModule", ColumnType::OleObject),
                Col("LvExtra", ColumnType::OleObject)}},
      TableDef{"MSysACEs",
               {Col("ObjectId", ColumnType::Long), Col("SID", ColumnType::Binary, 255), Col("ACM", ColumnType::Long),
                Col("FInheritable", ColumnType::YesNo)}},
      TableDef{"MSysQueries",
               {Col("ObjectId", ColumnType::Long), Col("Attribute", ColumnType::Byte),
                Col("Order", ColumnType::Binary, 255), Col("Name1", ColumnType::Text, 255),
                Col("Name2", ColumnType::Text, 255), Col("Expression", ColumnType::Memo),
                Col("Flag", ColumnType::Integer), Col("LvExtra", ColumnType::Long)}},
      TableDef{"MSysRelationships",
               {Col("ccolumn", ColumnType::Long), Col("grbit", ColumnType::Long), Col("icolumn", ColumnType::Long),
                Col("szColumn", ColumnType::Text, 64), Col("szObject", ColumnType::Text, 64),
                Col("szReferencedColumn", ColumnType::Text, 64), Col("szReferencedObject", ColumnType::Text, 64),
                Col("szRelationship", ColumnType::Text, 64)}},
  };
  return defs;
}

std::vector<std::string> SystemTableNames() {
  std::vector<std::string> names;
  for (const auto& def : SystemTableDefinitions()) names.push_back(def.name);
  return names;
}

std::vector<std::vector<Value>> CatalogRows(const std::vector<CatalogEntry>& tables, double date) {
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
    add(t.tdefPage, kTablesContainer, t.name, kTypeTable, t.system ? kSystemFlag : 0);
  return rows;
}

}  // namespace corvid::mdbwriter
