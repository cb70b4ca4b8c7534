#include "frontend/dao_components.h"

#include <cstdlib>

#include "dao/connection/stored_configuration.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/run_ports.h"

namespace corvid {

DaoComponents::DaoComponents(std::shared_ptr<CredentialsPrompt> prompt) {
  database_ = std::make_unique<TVxDaoDatabase>();
  table_ = std::make_unique<TVxDaoTable>();
  TVxDaoDatabase& db = *database_;
  TVxDaoTable& t = *table_;
  db.SetName("VxDaoDB");
  t.SetName("VxDaoT");

  // The stored configuration: setters only store while loading; the work
  // they imply is done once by FinishSetup.
  db.BeginLoading();
  t.BeginLoading();
  ApplyStoredDatabaseConfiguration(db);

  t.F_Set_AutoFindIndex(true);
  t.F_Set_ComponentVersion("11.00");
  t.F_Set_CacheBlobs(false);
  t.F_Set_CacheMemos(false);
  t.F_Set_CacheLookups(false);
  t.F_Set_ExportMethod(TExportMethod::VisibleFields);
  t.F_Set_RefreshSorted(false);
  t.F_Set_QueryDefSQLModify(false);
  t.F_Set_QueryDefODBCMaxRecords(0);
  t.F_Set_ShowGUID(false);
  t.F_Set_TableType(2);
  t.F_Set_Translation(false);
  t.F_Set_LockType(3);
  t.F_Set_OpenOptions({});
  t.F_Set_ReadOnly(true);
  t.F_Set_DatabaseAutoActivate(false);
  t.F_Set_UseBrackets(true);
  t.F_Set_UseCaptions(false);
  t.F_Set_UseDaoProperties(true);
  t.F_Set_UseGetRecNo(true);
  t.F_Set_UseRecordCount(true);
  t.F_Set_WarnOnBadDatabase(false);
  t.F_Set_Filtered(false);
  t.F_Set_ParamCheck(true);
  t.F_Set_ProcessMessages(false);
  t.F_Set_Database(&db);
  db.FinishSetup();
  t.FinishSetup();

  if (prompt) db.SetCredentialsPrompt(std::move(prompt));
  PresetLoginFromEnvironment(db);
  connection_ = std::make_unique<DaoDatabaseConnection>(db);
  tablePort_ = std::make_unique<DaoRecordTable>(t);
}

DaoComponents::~DaoComponents() {
  // The table goes first: it is attached to the database.
  tablePort_.reset();
  connection_.reset();
  table_.reset();
  database_.reset();
}

DatabaseConnection& DaoComponents::Connection() { return *connection_; }
RecordTable& DaoComponents::Table() { return *tablePort_; }

std::int64_t DaoComponents::RecordCount() {
  try {
    return table_->Active() ? table_->RecordCountValue() : -1;
  } catch (...) {
    return -1;  // a count is only a nicety of the progress line
  }
}

std::unique_ptr<TVxDaoDatabase> MakeDatabaseComponent(std::shared_ptr<CredentialsPrompt> prompt) {
  auto database = std::make_unique<TVxDaoDatabase>();
  database->SetName("VxDaoDB");
  database->BeginLoading();
  ApplyStoredDatabaseConfiguration(*database);
  database->FinishSetup();
  if (prompt) database->SetCredentialsPrompt(std::move(prompt));
  PresetLoginFromEnvironment(*database);
  return database;
}

void PresetLoginFromEnvironment(TVxDaoDatabase& database) {
  const std::pair<const char*, const char*> variables[] = {{"CORVID_USER", "USER NAME"},
                                                           {"CORVID_PASSWORD", "PASSWORD"},
                                                           {"CORVID_DB_PASSWORD", "DBPASSWORD"}};
  for (const auto& [variable, name] : variables) {
    if (const char* value = std::getenv(variable))
      database.PresetLoginParams().SetValue(name, value);
  }
}

}  // namespace corvid
