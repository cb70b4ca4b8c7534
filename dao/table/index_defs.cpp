#include "dao/table/index_defs.h"

#include <algorithm>

#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/dao_database.h"
#include "dao/engine/database.h"
#include "dao/engine/tabledef.h"
#include "dao/table/dao_table.h"
#include "dao/values/key_conditions.h"

namespace corvid {
namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ";") + name;
  return text;
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return SameText(n, name); });
}

// Reopens the table on leaving the scope when it was open before.
class ClosedWhileChanging {
 public:
  explicit ClosedWhileChanging(TVxDaoTable& table) : table_(table), wasActive_(table.Active()) {
    if (wasActive_) table_.Close();
  }
  ~ClosedWhileChanging() noexcept(false) {
    if (wasActive_ && !table_.Active()) {
      if (std::uncaught_exceptions() > 0) {
        Quietly("the change's own error is the one reported", [&] { table_.Open(); });
      } else {
        table_.Open();
      }
    }
  }
  ClosedWhileChanging(const ClosedWhileChanging&) = delete;
  ClosedWhileChanging& operator=(const ClosedWhileChanging&) = delete;

 private:
  TVxDaoTable& table_;
  bool wasActive_;
};

}  // namespace

std::vector<std::string> TVxDaoIndexDef::FieldList() const {
  if (!keyOrder.empty()) return keyOrder;
  std::vector<std::string> list = SplitKeyNames(fields);
  for (std::string& name : SplitKeyNames(descFields)) list.push_back(std::move(name));
  return list;
}

const TVxDaoIndexDef* TVxDaoIndexDefs::Find(std::string_view name) const {
  for (const TVxDaoIndexDef& def : defs_)
    if (SameText(def.name, name)) return &def;
  return nullptr;
}

TVxDaoIndexDef& TVxDaoIndexDefs::Add(std::string name, std::string fields, TIndexOptions options,
                                     std::string descFields) {
  defs_.push_back({std::move(name), std::move(fields), std::move(descFields), std::move(options)});
  return defs_.back();
}

void TVxDaoIndexDefs::Read() {
  defs_.clear();
  TVxDaoDatabase* database = table_.Database();
  if (table_.TableType() != 1 || table_.TableName().empty() || !database ||
      !database->Connected() || database->EngineType() == 1)
    return;
  try {
    dao::Database* db = database->DatabaseObject();
    if (!db) return;
    dao::Indexes& indexes = db->TableDefs().Item(table_.TableName()).TableIndexes();
    Quietly("the index list read before stands", [&] { indexes.Refresh(); });
    for (int i = 0; i < indexes.Count(); ++i) {
      dao::Index& index = indexes.Item(i);
      TVxDaoIndexDef def;
      def.name = index.Name();
      Quietly("an index that cannot say is not a foreign key",
              [&] { def.foreign = index.Foreign(); });
      try {
        if (index.Primary()) def.options.insert(TIndexOption::ixPrimary);
        if (index.Unique()) def.options.insert(TIndexOption::ixUnique);
      } catch (...) {
        // an index that cannot say is neither primary nor unique
      }
      std::vector<std::string> ascending, descending;
      for (const std::string& field : index.FieldNames()) {
        if (!field.empty() && field.front() == '-')
          descending.push_back(field.substr(1));
        else
          ascending.push_back(field);
        def.keyOrder.push_back(!field.empty() && field.front() == '-' ? field.substr(1) : field);
      }
      if (!descending.empty() && ascending.empty()) def.options.insert(TIndexOption::ixDescending);
      def.fields = Joined(ascending);
      def.descFields = Joined(descending);
      defs_.push_back(std::move(def));
    }
  } catch (...) {
    // a table whose indexes cannot be read has no index definitions
  }
}

void TVxDaoIndexDefs::Update() {
  TVxDaoDatabase* database = table_.Database();
  if (!database || !database->Connected() || table_.TableName().empty()) return;
  if (!Contains(database->TableNames(), table_.TableName())) return;
  dao::Database* db = database->DatabaseObject();
  if (!db) return;
  dao::TableDef& tableDef = db->TableDefs().Item(table_.TableName());
  std::vector<std::string> columns;
  for (int i = 0; i < tableDef.Fields().Count(); ++i)
    columns.push_back(tableDef.Fields().Item(i).Name());
  std::vector<std::string> existing;
  for (int i = 0; i < tableDef.TableIndexes().Count(); ++i)
    existing.push_back(tableDef.TableIndexes().Item(i).Name());

  const std::vector<TVxDaoIndexDef> wanted = defs_;
  {
    ClosedWhileChanging closed(table_);
    for (const TVxDaoIndexDef& def : wanted) {
      if (Contains(existing, def.name)) continue;
      const std::vector<std::string> ascending = SplitKeyNames(def.fields);
      const std::vector<std::string> descending = SplitKeyNames(def.descFields);
      const bool known = std::all_of(ascending.begin(), ascending.end(),
                                     [&](const std::string& n) { return Contains(columns, n); }) &&
                         std::all_of(descending.begin(), descending.end(),
                                     [&](const std::string& n) { return Contains(columns, n); });
      if (!known) continue;
      dao::Index& index = tableDef.CreateIndex(def.name);
      if (def.Has(TIndexOption::ixPrimary)) index.SetPrimary(true);
      if (def.Has(TIndexOption::ixUnique)) index.SetUnique(true);
      for (const std::string& name : ascending) index.AppendField(name, 0);
      for (const std::string& name : descending) index.AppendField(name, dao::dbDescending);
      tableDef.TableIndexes().Append(index);
    }
  }
  Read();
}

void TVxDaoIndexDefs::Delete(std::string_view name) {
  TVxDaoDatabase* database = table_.Database();
  if (table_.TableName().empty() || !database) return;
  {
    ClosedWhileChanging closed(table_);
    database->DeleteTableIndex(table_.TableName(), name);
  }
  Read();
}

}  // namespace corvid
