#pragma once
// An Access file opened by the Jet engine.

#include <memory>
#include <string>

#include "dao/engine/database.h"
#include "dao/mdb/mdb_file.h"
#include "dao/mdb/mdb_querydef.h"
#include "dao/mdb/mdb_recordset.h"
#include "dao/mdb/mdb_tabledef.h"
#include "dao/mdb/object_list.h"

namespace corvid::dao {

class JetDatabase : public Database {
 public:
  JetDatabase(std::shared_ptr<AccessFile> file, std::string connect, EngineContextPtr context);
  ~JetDatabase() override;

  std::string Name() const override { return name_; }
  std::string Version() const override { return version_; }
  std::int32_t CollatingOrder() const override;
  std::string Connect() const override { return connect_; }
  // False: the engine never changes table or query definitions. Rows of
  // tables without indexes can change when the database was opened for
  // writing (Recordset::Updatable tells).
  bool Updatable() const override { return false; }
  std::int32_t QueryTimeout() const override { return queryTimeout_; }
  void SetQueryTimeout(std::int32_t seconds) override { queryTimeout_ = seconds; }
  std::int32_t RecordsAffected() const override { return 0; }

  std::unique_ptr<Recordset> OpenRecordset(std::string_view source, int type = 0, int options = 0,
                                           int lockEdits = 0) override;
  QueryDef& CreateQueryDef(std::string_view name, std::string_view sql) override;

  Collection<TableDef>& TableDefs() override;
  Collection<QueryDef>& QueryDefs() override;
  Collection<NamedObject>& Containers() override;
  Collection<NamedObject>& Relations() override;
  Collection<Recordset>& Recordsets() override;
  Properties& DatabaseProperties() override;
  std::vector<std::string> TakeDamageNotes() override;

  void Close() override;
  bool IsOpen() const { return file_ != nullptr; }
  // The lock this database holds on its file (false where locks are unavailable).
  bool Locked() const { return file_ && file_->locked(); }

 private:
  void CheckOpen() const;
  int CheckedType(int type, int options) const;
  std::unique_ptr<Recordset> OpenSelect(sql::SelectStatement& select, int type, int options,
                                        int lockEdits);
  std::unique_ptr<Recordset> OpenTable(std::string_view name, sql::SelectStatement* select,
                                       int type, int options, int lockEdits);

  std::shared_ptr<AccessFile> file_;
  EngineContextPtr context_;
  std::string name_;
  std::string version_;
  std::string connect_;
  std::int32_t queryTimeout_ = 60;
  ObjectList<TableDef, JetTableDef> tables_;
  ObjectList<QueryDef, JetQueryDef> queries_;
  ObjectList<NamedObject> containers_;
  ObjectList<NamedObject> relations_;
  bool relationsRead_ = false;
  std::shared_ptr<RecordsetRegistry> recordsets_;
  Properties properties_;
};

}  // namespace corvid::dao
