#pragma once
// TVxDaoDatabase: the database connection component. It owns the engine, one
// workspace and, while connected, one open database, and turns a small set of
// properties (path, type, credentials, open modes, engine version) into the
// engine calls that open the database. Tables open their recordsets on
// DatabaseObject() and register themselves in ActiveTables while open.
//
// Setter rules:
//  - "Guarded" setters refuse while Connected with a DatabaseError naming the
//    class and setter, and change nothing.
//  - "Rebuilds" setters store the value and, unless the component is loading,
//    re-create engine and workspace at once; if that fails the previous value
//    is put back, the engine is rebuilt again and the first error is thrown
//    (or the second, if the second rebuild fails too).
//  - While loading (BeginLoading ... FinishSetup) setters only store.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dao/connection/attached_table.h"
#include "dao/connection/component.h"
#include "dao/connection/name_value_list.h"
#include "dao/discovery/configuration_store.h"
#include "dao/discovery/engine_discovery.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/db_engine.h"
#include "dao/engine/workspace.h"
#include "dao/login_prompt.h"

namespace corvid {

// How the component finds and creates engines. Empty members use engine
// discovery (dao/discovery/engine_discovery.h); tests substitute their own
// engines here.
struct EngineCreation {
  std::function<std::vector<std::string>(const dao::ConfigurationStore&, bool privateEngine)>
      detectVersions;
  std::function<dao::CreatedEngine(const dao::ConfigurationStore&, std::string_view version,
                                   bool privateEngine)>
      createEngine;
};

// The first entry of the engine's Errors collection.
struct TDaoErrRec {
  std::int32_t Number = 0;
  std::string Source;
  std::string Description;
  std::string HelpFile;
  std::int32_t HelpContext = 0;
};

// One open table attached to the connection.
struct ActiveTableEntry {
  std::string name;
  AttachedTable* table = nullptr;
};

class TVxDaoDatabase : public Component {
 public:
  using TLoginEvent = std::function<void(TVxDaoDatabase& database, NameValueList& loginParams)>;
  using TConnectEvent = std::function<void(TVxDaoDatabase& database)>;

  // Constructs with the current configuration store (the engine that is
  // really here, unless a test substituted a store). Throws DatabaseError
  // "Cannot find DAO on your system!" when no engine version is usable.
  explicit TVxDaoDatabase(Component* owner = nullptr);
  // Constructs against the given configuration store (null: the current one)
  // and engine creation.
  TVxDaoDatabase(Component* owner, std::shared_ptr<const dao::ConfigurationStore> store,
                 EngineCreation creation = {});
  ~TVxDaoDatabase() override;

  // End of loading: rebuilds engine and workspace once (unless connected);
  // any failure is swallowed and surfaces again at connect.
  void FinishSetup() override;

  // ---- Published properties, in declaration order ----------------------
  const std::string& ComponentVersion() const { return componentVersion_; }
  void F_Set_ComponentVersion(std::string_view) {}  // fixed

  bool Exclusive() const { return exclusive_; }
  void F_Set_Exclusive(bool value);  // guarded

  std::string DatabaseLanguage() const;  // computed on every read
  void F_Set_DatabaseLanguage(std::string_view) {}

  const std::string& DatabaseType() const { return databaseType_; }
  void F_Set_DatabaseType(std::string value);  // guarded; clears Database

  const std::string& Database() const { return database_; }
  void F_Set_Database(std::string value);  // guarded

  const std::string& DatabaseParameters() const { return databaseParameters_; }
  void F_Set_DatabaseParameters(std::string value);  // guarded

  const std::string& DatabaseVersionInfo() const { return databaseVersionInfo_; }
  void F_Set_DatabaseVersionInfo(std::string_view) {}

  bool ReadOnly() const { return readOnly_; }
  void F_Set_ReadOnly(bool value);  // guarded

  bool LoginPrompt() const { return loginPrompt_; }
  void F_Set_LoginPrompt(bool value);  // guarded

  const std::string& UserName() const { return userName_; }
  void F_Set_UserName(std::string value);  // guarded; rebuilds, ignoring failure

  bool UseODBCDialog() const { return useOdbcDialog_; }
  void F_Set_UseODBCDialog(bool value) { useOdbcDialog_ = value; }

  const std::string& Password() const { return password_; }
  void F_Set_Password(std::string value);  // guarded; rebuilds, ignoring failure

  const std::string& DatabasePassword() const { return databasePassword_; }
  void F_Set_DatabasePassword(std::string value);  // guarded

  const std::string& SystemDatabase() const { return systemDatabase_; }
  void F_Set_SystemDatabase(std::string value);  // guarded; empty → default; rebuilds

  bool SaveUserName() const { return saveUserName_; }
  void F_Set_SaveUserName(bool value) { saveUserName_ = value; }

  bool ShowSystemObjects() const { return showSystemObjects_; }
  void F_Set_ShowSystemObjects(bool value);  // refreshes the lists when connected

  bool SmartOpen() const { return smartOpen_; }
  void F_Set_SmartOpen(bool value) { smartOpen_ = value; }

  std::int32_t EngineType() const { return engineType_; }
  void F_Set_EngineType(std::int32_t value);  // guarded; rebuilds

  bool PrivateEngine() const { return privateEngine_; }
  void F_Set_PrivateEngine(bool value);  // guarded; rebuilds

  bool TrackTransactions() const { return trackTransactions_; }
  void F_Set_TrackTransactions(bool value);  // guarded

  bool UsesDynaDao() const { return usesDynaDao_; }
  void F_Set_UsesDynaDao(bool) {}

  const std::string& Version() const { return version_; }
  void F_Set_Version(std::string_view value);  // guarded; "3.60" → "3.6"; rebuilds

  const std::string& VersionDetails() const { return versionDetails_; }
  void F_Set_VersionDetails(std::string_view) {}

  const std::string& VersionInfo() const { return versionInfo_; }
  void F_Set_VersionInfo(std::string_view) {}

  const std::string& Workspace() const { return workspace_; }
  void F_Set_Workspace(std::string value);  // guarded; rebuilds

  std::int32_t DefaultCursorDriver() const { return defaultCursorDriver_; }
  void F_Set_DefaultCursorDriver(std::int32_t value);

  std::int32_t QueryTimeout() const { return queryTimeout_; }
  void F_Set_QueryTimeout(std::int32_t value) { queryTimeout_ = value; }

  bool MdbVersionAutoDetect() const { return mdbVersionAutoDetect_; }
  void F_Set_MdbVersionAutoDetect(bool value) { mdbVersionAutoDetect_ = value; }

  TLoginEvent OnLogin;
  TConnectEvent OnBeforeConnect;
  TConnectEvent OnAfterConnect;
  TConnectEvent OnBeforeDisconnect;
  TConnectEvent OnAfterDisconnect;

  bool Connected() const { return connected_; }
  void F_Set_Connected(bool value);  // true connects, false disconnects

  // ---- Services -----------------------------------------------------------
  TDaoErrRec FirstEngineError() const;
  void RefreshObjectLists();
  void IdleEngine();
  void DeleteTableIndex(std::string_view tableName, std::string_view indexName);
  bool AddQueryDef(std::string_view name, std::string_view sql);
  void SetQueryDefSql(std::string_view name, std::string_view sql);
  std::string GetQueryDefSql(std::string_view name);
  std::int32_t TransactionDepth() const {
    return static_cast<std::int32_t>(transactionLog_.size());
  }

  // Re-creates engine and workspace from the current properties (only while
  // disconnected; does nothing when connected).
  void RebuildEngine();

  // ---- Engine discovery (operations of this component) -----------------
  void DetectEngineVersions();
  void CreateEngine(std::string_view version);
  void DetectMdbVersion(const std::string& path);
  std::string DefaultSystemDatabase() const;
  void ReadDatabaseTypes();
  void ReadOdbcDrivers();
  void ReadSystemDsns();
  void ReadUserDsns();
  void BuildDsnFiles();
  std::string ReadDsnFile(std::string_view dataSourceName, bool machineWide) const;

  // ---- Lists ----------------------------------------------------------------
  const std::vector<std::string>& EngineVersions() const { return engineVersions_; }
  const std::vector<std::string>& TableNames() const { return tableNames_; }
  const std::vector<std::string>& QueryDefNames() const { return queryDefNames_; }
  const std::vector<std::string>& DatabaseTypes() const { return databaseTypes_; }
  const std::vector<std::string>& OdbcDrivers() const { return odbcDrivers_; }
  const std::vector<std::string>& SystemDsns() const { return systemDsns_; }
  const std::vector<std::string>& UserDsns() const { return userDsns_; }
  const std::vector<std::string>& DsnFiles() const { return dsnFiles_; }
  const std::vector<std::string>& TransactionLog() const { return transactionLog_; }
  NameValueList& PresetLoginParams() { return presetLoginParams_; }
  const NameValueList& PresetLoginParams() const { return presetLoginParams_; }

  // ---- For the table component -----------------------------------------
  // The open database (nullptr when not connected).
  dao::Database* DatabaseObject() const;
  dao::DBEngine* EngineObject() const;
  dao::Workspace* WorkspaceObject() const;

  const std::vector<ActiveTableEntry>& ActiveTables() const { return activeTables_; }
  // A table adds itself when it opens and removes itself when it closes
  // (except while the connection is closing it during a disconnect).
  void AddActiveTable(std::string name, AttachedTable& table);
  void RemoveActiveTable(AttachedTable& table);
  // Tables that refer to this connection register to hear of its destruction.
  void AddClient(AttachedTable& table);
  void RemoveClient(AttachedTable& table);

  // ---- Prompting ------------------------------------------------------------
  // The credentials prompt used when LoginPrompt is set and neither OnLogin
  // nor PresetLoginParams supply the credentials. Default: the terminal
  // prompt (cancelled when there is no terminal).
  void SetCredentialsPrompt(std::shared_ptr<CredentialsPrompt> prompt);
  CredentialsPrompt& Prompt();

 private:
  struct EngineObjects;

  void Construct();
  const dao::ConfigurationStore& Store() const;
  dao::DBEngine& Engine() const;
  dao::Database& OpenDatabaseOrThrow() const;
  void InitialiseCom();
  void ReleaseCom();
  void RefuseWhileConnected(std::string_view message) const;
  template <typename T>
  void StoreAndRebuild(T& field, T value);
  void ApplyVersionInfoRule();
  void Connect();
  void Disconnect();
  bool GatherCredentials();  // returns the login-cancelled flag
  void OpenDatabaseObject();

  std::shared_ptr<const dao::ConfigurationStore> store_;
  EngineCreation creation_;
  std::unique_ptr<EngineObjects> objects_;
  std::shared_ptr<CredentialsPrompt> prompt_;

  std::string componentVersion_ = "11.00";
  bool exclusive_ = false;
  std::string databaseType_ = "Access";
  std::string database_;
  std::string databaseParameters_;
  std::string databaseVersionInfo_;
  bool readOnly_ = false;
  bool loginPrompt_ = false;
  std::string userName_ = "Admin";
  bool useOdbcDialog_ = true;
  std::string password_;
  std::string databasePassword_;
  std::string systemDatabase_;
  bool saveUserName_ = true;
  bool showSystemObjects_ = false;
  bool smartOpen_ = true;
  std::int32_t engineType_ = 2;
  bool privateEngine_ = false;
  bool trackTransactions_ = true;
  bool usesDynaDao_ = true;
  std::string version_;
  std::string versionDetails_;
  std::string versionInfo_;
  std::string workspace_ = "DaoWorkspace";
  std::int32_t defaultCursorDriver_ = -1;
  std::int32_t queryTimeout_ = 60;
  bool mdbVersionAutoDetect_ = false;
  bool connected_ = false;
  bool comInitialized_ = false;

  std::vector<std::string> engineVersions_;
  std::vector<std::string> tableNames_;
  std::vector<std::string> queryDefNames_;
  std::vector<ActiveTableEntry> activeTables_;
  std::vector<AttachedTable*> clients_;
  std::vector<std::string> databaseTypes_;
  std::vector<std::string> odbcDrivers_;
  std::vector<std::string> systemDsns_;
  std::vector<std::string> userDsns_;
  std::vector<std::string> dsnFiles_;
  NameValueList presetLoginParams_;
  std::vector<std::string> transactionLog_;
};

}  // namespace corvid
