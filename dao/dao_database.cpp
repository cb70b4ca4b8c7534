#include "dao/dao_database.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "SrcLib/exe_path.h"
#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/com_apartment.h"
#include "dao/connection/connect_text_builder.h"
#include "dao/connection/database_language.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/errors.h"
#include "dao/terminal_login.h"

namespace corvid {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::int32_t kAutomationTrue = -1;
constexpr std::uint32_t kSystemTableBits = 0x80000002u;

// A regular file (or a link to one) exists at `path`; a directory does not
// count.
bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The directory of the running program, ending in "/".
std::string ProgramDirectory() {
  std::string exe = ExePath();
  if (exe.empty()) {
    std::error_code error;
    exe = std::filesystem::read_symlink("/proc/self/exe", error).string();
  }
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("/") : exe.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// ---- Engine objects -----------------------------------------------------

struct TVxDaoDatabase::EngineObjects {
  std::unique_ptr<dao::DBEngine> engine;
  std::shared_ptr<dao::Workspace> workspace;
  std::shared_ptr<dao::Database> database;
};

// ---- Construction and destruction ---------------------------------------

TVxDaoDatabase::TVxDaoDatabase(Component* owner) : TVxDaoDatabase(owner, nullptr) {}

TVxDaoDatabase::TVxDaoDatabase(Component* owner,
                               std::shared_ptr<const dao::ConfigurationStore> store,
                               EngineCreation creation)
    : Component(owner),
      store_(std::move(store)),
      creation_(std::move(creation)),
      objects_(std::make_unique<EngineObjects>()) {
  if (!creation_.detectVersions) creation_.detectVersions = dao::DetectEngineVersions;
  if (!creation_.createEngine) creation_.createEngine = dao::CreateEngine;
  try {
    Construct();
  } catch (...) {
    // The destructor does not run for a failed construction: give back what
    // was taken.
    objects_.reset();
    ReleaseCom();
    throw;
  }
}

void TVxDaoDatabase::Construct() {
  componentVersion_ = "11.00";
  InitialiseCom();
  privateEngine_ = false;

  engineVersions_ = creation_.detectVersions(Store(), privateEngine_);
  if (engineVersions_.empty()) throw DatabaseError("Cannot find DAO on your system!");
  version_ = engineVersions_.front();
  CreateEngine(version_);

  systemDatabase_ = DefaultSystemDatabase();
  if (!systemDatabase_.empty()) Engine().SetSystemDB(systemDatabase_);

  userName_ = "Admin";
  password_.clear();
  databasePassword_.clear();
  databaseParameters_.clear();
  saveUserName_ = true;
  smartOpen_ = true;
  Engine().SetDefaultUser("Admin");
  Engine().SetDefaultPassword("");
  engineType_ = dao::dbUseJet;
  Engine().SetDefaultType(dao::dbUseJet);
  defaultCursorDriver_ = -1;
  workspace_ = "DaoWorkspace";

  versionDetails_ = Engine().Version();
  versionInfo_.clear();
  databaseVersionInfo_.clear();
  ApplyVersionInfoRule();

  databaseType_ = "Access";
  connected_ = false;
  database_.clear();
  readOnly_ = exclusive_ = loginPrompt_ = mdbVersionAutoDetect_ = showSystemObjects_ = false;
  queryTimeout_ = 60;
  trackTransactions_ = true;
  useOdbcDialog_ = true;

  ReadDatabaseTypes();
  ReadOdbcDrivers();
  ReadSystemDsns();
  ReadUserDsns();
  BuildDsnFiles();
}

TVxDaoDatabase::~TVxDaoDatabase() {
  if (connected_)
    Quietly("a destructor does not throw; the file is closed with the engine",
            [this] { Disconnect(); });
  // Tables that still refer to this connection drop their reference.
  const auto clients = clients_;
  for (AttachedTable* client : clients)
    Quietly("one table that fails does not keep the others attached",
            [&] { client->DatabaseDestroyed(*this); });
  tableNames_.clear();
  queryDefNames_.clear();
  activeTables_.clear();
  if (objects_->workspace)
    Quietly("a destructor does not throw; the workspace goes with the engine",
            [this] { objects_->workspace->Close(); });
  objects_->database.reset();
  objects_->workspace.reset();
  objects_->engine.reset();
  ReleaseCom();
}

void TVxDaoDatabase::InitialiseCom() {
  const long result = dao::CoInitializeApartment();
  if (result != dao::kS_OK && result != dao::kS_FALSE)
    throw DatabaseError("Unable to init OLE objects!");
  comInitialized_ = true;
}

void TVxDaoDatabase::ReleaseCom() {
  if (!comInitialized_) return;
  dao::CoUninitializeApartment();
  comInitialized_ = false;
}

const dao::ConfigurationStore& TVxDaoDatabase::Store() const {
  return store_ ? *store_ : dao::CurrentConfigurationStore();
}

dao::DBEngine& TVxDaoDatabase::Engine() const {
  if (!objects_->engine)
    throw DatabaseError("TVxDaoDatabase: there is no DAO engine of version \"" + version_ + "\"!");
  return *objects_->engine;
}

dao::Database& TVxDaoDatabase::OpenDatabaseOrThrow() const {
  if (!objects_->database) throw DatabaseError("TVxDaoDatabase: Database is not connected!");
  return *objects_->database;
}

dao::Database* TVxDaoDatabase::DatabaseObject() const { return objects_->database.get(); }
dao::DBEngine* TVxDaoDatabase::EngineObject() const { return objects_->engine.get(); }
dao::Workspace* TVxDaoDatabase::WorkspaceObject() const { return objects_->workspace.get(); }

void TVxDaoDatabase::FinishSetup() {
  // Loading stored settings never fails: a setting that does not apply
  // shows when the database connects.
  Quietly("shown at connecting", [this] { Component::FinishSetup(); });
  if (!connected_) Quietly("shown at connecting", [this] { RebuildEngine(); });
}

void TVxDaoDatabase::ApplyVersionInfoRule() {
  versionInfo_ = dao::VersionInfoFor(versionDetails_, versionInfo_);
}

// ---- Engine discovery ---------------------------------------------------

void TVxDaoDatabase::DetectEngineVersions() {
  engineVersions_ = creation_.detectVersions(Store(), privateEngine_);
}

void TVxDaoDatabase::CreateEngine(std::string_view version) {
  usesDynaDao_ = true;
  dao::CreatedEngine created = creation_.createEngine(Store(), version, privateEngine_);
  if (!created.engine) return;  // names no engine version: nothing created
  objects_->engine = std::move(created.engine);
  version_ = std::move(created.version);
}

void TVxDaoDatabase::DetectMdbVersion(const std::string& path) {
  dao::DetectMdbVersion(path, databaseType_, engineVersions_, usesDynaDao_, version_);
}

std::string TVxDaoDatabase::DefaultSystemDatabase() const {
  return dao::DefaultSystemDatabase(Store(), version_);
}

void TVxDaoDatabase::ReadDatabaseTypes() {
  dao::ReadDatabaseTypes(Store(), version_, databaseTypes_);
}
void TVxDaoDatabase::ReadOdbcDrivers() { dao::ReadOdbcDrivers(Store(), odbcDrivers_); }
void TVxDaoDatabase::ReadSystemDsns() { dao::ReadSystemDsns(Store(), systemDsns_); }
void TVxDaoDatabase::ReadUserDsns() { dao::ReadUserDsns(Store(), userDsns_); }
void TVxDaoDatabase::BuildDsnFiles() {
  dao::BuildDsnFiles(Store(), userDsns_, systemDsns_, dsnFiles_);
}
std::string TVxDaoDatabase::ReadDsnFile(std::string_view dataSourceName, bool machineWide) const {
  return dao::ReadDsnFile(Store(), dataSourceName, machineWide);
}

// ---- Engine and workspace -----------------------------------------------

void TVxDaoDatabase::RebuildEngine() {
  if (connected_) return;
  if (objects_->workspace) {
    auto workspace = std::move(objects_->workspace);
    workspace->Close();
  }
  objects_->engine.reset();
  ReleaseCom();
  InitialiseCom();

  CreateEngine(version_);
  dao::DBEngine& engine = Engine();
  engine.SetSystemDB(systemDatabase_);
  versionDetails_ = engine.Version();
  ApplyVersionInfoRule();
  engine.SetDefaultUser(userName_);
  engine.SetDefaultPassword(password_);
  auto workspace = engine.CreateWorkspace(workspace_, userName_, password_, engineType_);
  engine.Workspaces().Append(workspace);
  if (engineType_ == dao::dbUseODBC) workspace->SetDefaultCursorDriver(defaultCursorDriver_);
  workspace_ = workspace->Name();
  objects_->workspace = std::move(workspace);
}

template <typename T>
void TVxDaoDatabase::StoreAndRebuild(T& field, T value) {
  T previous = std::exchange(field, std::move(value));
  if (Loading()) return;
  try {
    RebuildEngine();
  } catch (...) {
    const std::exception_ptr first = std::current_exception();
    field = std::move(previous);
    RebuildEngine();  // a failure here is the one the caller sees
    std::rethrow_exception(first);
  }
}

// ---- Setters ------------------------------------------------------------

void TVxDaoDatabase::RefuseWhileConnected(std::string_view message) const {
  if (connected_) throw DatabaseError(std::string(message));
}

void TVxDaoDatabase::F_Set_Exclusive(bool value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is connected!");
  exclusive_ = value;
}

void TVxDaoDatabase::F_Set_DatabaseType(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is connected!");
  databaseType_ = std::move(value);
  database_.clear();
}

void TVxDaoDatabase::F_Set_Database(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!");
  database_ = std::move(value);
}

void TVxDaoDatabase::F_Set_DatabaseParameters(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database is "
      "connected!");
  databaseParameters_ = std::move(value);
}

void TVxDaoDatabase::F_Set_ReadOnly(bool value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!");
  readOnly_ = value;
}

void TVxDaoDatabase::F_Set_LoginPrompt(bool value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is connected!");
  loginPrompt_ = value;
}

void TVxDaoDatabase::F_Set_UserName(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!");
  userName_ = std::move(value);
  if (!Loading())
    Quietly("an engine that cannot be built now says why at connecting",
            [this] { RebuildEngine(); });
}

void TVxDaoDatabase::F_Set_Password(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!");
  password_ = std::move(value);
  if (!Loading())
    Quietly("an engine that cannot be built now says why at connecting",
            [this] { RebuildEngine(); });
}

void TVxDaoDatabase::F_Set_DatabasePassword(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database is "
      "connected!");
  databasePassword_ = std::move(value);
}

void TVxDaoDatabase::F_Set_SystemDatabase(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is "
      "connected!");
  if (value.empty()) value = DefaultSystemDatabase();
  StoreAndRebuild(systemDatabase_, std::move(value));
}

void TVxDaoDatabase::F_Set_ShowSystemObjects(bool value) {
  showSystemObjects_ = value;
  if (connected_) RefreshObjectLists();
}

void TVxDaoDatabase::F_Set_EngineType(std::int32_t value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is connected!");
  StoreAndRebuild(engineType_, value);
}

void TVxDaoDatabase::F_Set_PrivateEngine(bool value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is "
      "connected!");
  StoreAndRebuild(privateEngine_, value);
}

void TVxDaoDatabase::F_Set_TrackTransactions(bool value) {
  RefuseWhileConnected("Cannot set TrackTransactions property when Database is connected!");
  trackTransactions_ = value;
}

void TVxDaoDatabase::F_Set_Version(std::string_view value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!");
  // The text up to its first "." and one more character: "3.60" is "3.6".
  std::string version(value);
  if (const auto dot = version.find('.'); dot != std::string::npos)
    version.resize(std::min(version.size(), dot + 2));
  const std::string previous = version_;
  version_ = version;
  ReadDatabaseTypes();
  version_ = previous;
  StoreAndRebuild(version_, std::move(version));
  if (!Loading() && objects_->engine) versionDetails_ = objects_->engine->Version();
}

void TVxDaoDatabase::F_Set_Workspace(std::string value) {
  RefuseWhileConnected(
      "TVxDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!");
  StoreAndRebuild(workspace_, std::move(value));
}

void TVxDaoDatabase::F_Set_DefaultCursorDriver(std::int32_t value) {
  defaultCursorDriver_ = value;
  if (!Loading() && engineType_ == dao::dbUseODBC && objects_->workspace)
    objects_->workspace->SetDefaultCursorDriver(value);
}

void TVxDaoDatabase::F_Set_Connected(bool value) {
  if (value == connected_) return;
  if (value) {
    Connect();
  } else {
    Disconnect();
  }
}

// ---- Connect ------------------------------------------------------------

bool TVxDaoDatabase::GatherCredentials() {
  if (OnLogin) {
    NameValueList params{"USER NAME=" + userName_, "PASSWORD=" + password_,
                         "DBPASSWORD=" + databasePassword_};
    OnLogin(*this, params);
    userName_ = params.Value("USER NAME");
    password_ = params.Value("PASSWORD");
    databasePassword_ = params.Value("DBPASSWORD");
    return false;
  }
  if (!presetLoginParams_.Empty()) {
    if (auto v = presetLoginParams_.Find("USER NAME")) userName_ = std::move(*v);
    if (auto v = presetLoginParams_.Find("PASSWORD")) password_ = std::move(*v);
    if (auto v = presetLoginParams_.Find("DBPASSWORD")) databasePassword_ = std::move(*v);
    return false;
  }
  if (!loginPrompt_) return false;

  LoginRequest request{database_, saveUserName_ ? userName_ : std::string()};
  if (auto answer = Prompt().AskCredentials(request)) {
    userName_ = std::move(answer->userName);
    password_ = std::move(answer->password);
    databasePassword_ = std::move(answer->databasePassword);
    return false;
  }
  Prompt().ShowInformation(
      "If You not enter Username and Password You may not gain access to your data!");
  userName_.clear();
  password_.clear();
  databasePassword_.clear();
  return true;
}

void TVxDaoDatabase::Connect() {
  if (database_.empty())
    throw DatabaseError("TVxDaoDatabase.F_Set_Active: Database property is not defined!");
  if (databaseType_.empty())
    throw DatabaseError("TVxDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
  if (OnBeforeConnect) OnBeforeConnect(*this);

  // Credentials and workspace, again after every failure while the user
  // can still change the credentials.
  struct Credentials {
    std::string user, password, databasePassword;
    bool operator==(const Credentials& other) const {
      return user == other.user && password == other.password &&
             databasePassword == other.databasePassword;
    }
  };
  std::optional<Credentials> failedWith;
  for (;;) {
    const bool interactive = loginPrompt_ && !OnLogin && presetLoginParams_.Empty();
    const bool loginCancelled = GatherCredentials();
    const Credentials tried{userName_, password_, databasePassword_};
    try {
      if (mdbVersionAutoDetect_) DetectMdbVersion(database_);
      RebuildEngine();
      break;
    } catch (const std::exception& error) {
      if (!loginPrompt_) throw;
      if (loginCancelled) return;  // ends quietly: not connected, no error
      // A handler or preset list that answers the same again would retry
      // for ever: only the user (or a handler that changes its answer)
      // gets another attempt.
      if (!interactive && failedWith == tried) throw;
      failedWith = tried;
      Prompt().ShowInformation(error.what());
    }
  }

  try {
    OpenDatabaseObject();
    if (queryTimeout_ != 60) objects_->database->SetQueryTimeout(queryTimeout_);
    if (databaseType_ != "ODBC") databaseVersionInfo_ = objects_->database->Version();
  } catch (...) {
    // Not connected: give the file (and its lock) back at once.
    if (auto database = std::move(objects_->database))
      Quietly("the connect's own error is the one reported", [&] { database->Close(); });
    throw;
  }
  RefreshObjectLists();
  connected_ = true;
  IdleEngine();
  if (OnAfterConnect) OnAfterConnect(*this);
}

void TVxDaoDatabase::OpenDatabaseObject() {
  dao::Workspace* workspace = objects_->workspace.get();
  if (workspace == nullptr) throw DatabaseError("TVxDaoDatabase: there is no DAO workspace!");

  if (SameText(databaseType_, "Access")) {
    if (smartOpen_ && !FileExists(database_))
      database_ = ProgramDirectory() + FileNamePart(database_);
    if (!FileExists(database_))
      throw DatabaseError("Cannot find Database:" + std::string(kCrLf) + database_);
    if (engineType_ != dao::dbUseJet)
      throw DatabaseError("TVxDaoDatabase.F_Set_Active: ODBC direct workspaces" +
                          std::string(kCrLf) + "are NOT supported for MS Access Databases!");
    const std::string connect =
        AccessConnectText(userName_, databasePassword_, databaseParameters_);
    objects_->database =
        workspace->OpenDatabase(database_, exclusive_ ? kAutomationTrue : 0, readOnly_, connect);
  } else if (SameText(databaseType_, "ODBC")) {
    const std::string connect =
        OdbcConnectText(databaseType_, userName_, password_, database_, databaseParameters_);
    constexpr int kNoDriverPrompt = 1;
    objects_->database =
        engineType_ == dao::dbUseJet
            ? workspace->OpenDatabase(database_, kNoDriverPrompt, readOnly_, connect)
            : workspace->OpenConnection(database_, kNoDriverPrompt, readOnly_, connect);
  } else {
    if (engineType_ != dao::dbUseJet)
      throw DatabaseError("TVxDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
    const std::string connect =
        IsamConnectText(databaseType_, userName_, password_, databaseParameters_);
    objects_->database =
        workspace->OpenDatabase(database_, exclusive_ ? kAutomationTrue : 0, readOnly_, connect);
  }
  if (!objects_->database)
    throw DatabaseError("TVxDaoDatabase: the engine opened no database for " + database_);
}

// ---- Disconnect ---------------------------------------------------------

void TVxDaoDatabase::Disconnect() {
  if (OnBeforeDisconnect) OnBeforeDisconnect(*this);
  tableNames_.clear();
  queryDefNames_.clear();

  // Close the attached tables; one that fails does not stop the others.
  const std::vector<ActiveTableEntry> tables = activeTables_;
  for (const ActiveTableEntry& entry : tables) {
    Quietly("one table that fails to close does not keep the others open", [&] {
      entry.table->SetClosingByDatabase(true);
      entry.table->DeactivateForDatabase();
    });
    Quietly("the table is closed either way", [&] { entry.table->SetClosingByDatabase(false); });
  }
  activeTables_.clear();

  std::exception_ptr closeFailure;
  if (auto database = std::move(objects_->database)) {
    try {
      database->Close();
    } catch (...) {
      closeFailure = std::current_exception();
    }
  }
  transactionLog_.clear();
  connected_ = false;
  if (OnAfterDisconnect) OnAfterDisconnect(*this);
  if (closeFailure) std::rethrow_exception(closeFailure);
}

// ---- Object lists and services ------------------------------------------

void TVxDaoDatabase::RefreshObjectLists() {
  tableNames_.clear();
  queryDefNames_.clear();
  dao::Database* database = objects_->database.get();
  if (database == nullptr) return;
  const bool jet = engineType_ == dao::dbUseJet;
  // A list the engine cannot give stays empty; the connection stands.
  constexpr std::string_view kListUnavailable = "a list the engine cannot give stays empty";

  if (jet) Quietly(kListUnavailable, [&] { database->TableDefs().Refresh(); });
  Quietly(kListUnavailable, [&] { database->QueryDefs().Refresh(); });
  if (databaseType_ == "Access") {
    Quietly(kListUnavailable, [&] { database->Containers().Refresh(); });
    Quietly(kListUnavailable, [&] { database->Relations().Refresh(); });
  }
  Quietly(kListUnavailable, [&] { database->Recordsets().Refresh(); });
  if (jet) Quietly(kListUnavailable, [&] { database->DatabaseProperties().Refresh(); });
  if (dao::DBEngine* engine = objects_->engine.get()) {
    Quietly(kListUnavailable, [&] { engine->EngineErrors().Refresh(); });
    Quietly(kListUnavailable, [&] { engine->Workspaces().Refresh(); });
    Quietly(kListUnavailable, [&] { engine->EngineProperties().Refresh(); });
  }
  if (dao::Workspace* workspace = objects_->workspace.get()) {
    if (jet) {
      Quietly(kListUnavailable, [&] { workspace->Users().Refresh(); });
      Quietly(kListUnavailable, [&] { workspace->Groups().Refresh(); });
    }
    Quietly(kListUnavailable, [&] { workspace->Databases().Refresh(); });
    Quietly(kListUnavailable, [&] { workspace->WorkspaceProperties().Refresh(); });
  }

  if (jet) {
    Quietly(kListUnavailable, [&] {
      auto& tableDefs = database->TableDefs();
      const int count = tableDefs.Count();
      for (int i = 0; i < count; ++i) {
        dao::TableDef& table = tableDefs.Item(i);
        const auto attributes = static_cast<std::uint32_t>(table.Attributes());
        if (showSystemObjects_ || (attributes & kSystemTableBits) == 0)
          tableNames_.push_back(table.Name());
      }
    });
  }
  Quietly(kListUnavailable, [&] {
    auto& queryDefs = database->QueryDefs();
    const int count = queryDefs.Count();
    for (int i = 0; i < count; ++i) queryDefNames_.push_back(queryDefs.Item(i).Name());
  });
}

std::string TVxDaoDatabase::DatabaseLanguage() const {
  if (!connected_ || !objects_->database) return {};
  std::int32_t order = -1;
  try {
    order = objects_->database->CollatingOrder();
  } catch (...) {
    order = -1;
  }
  return std::string(CollatingOrderLanguage(order));
}

TDaoErrRec TVxDaoDatabase::FirstEngineError() const {
  TDaoErrRec record;
  if (!objects_->engine) return record;
  dao::Errors& errors = objects_->engine->EngineErrors();
  if (errors.Count() == 0) return record;
  const dao::ErrorRecord& first = errors.Item(0);
  record.Number = first.number;
  record.Source = first.source;
  record.Description = first.description;
  record.HelpFile = first.helpFile;
  record.HelpContext = first.helpContext;
  return record;
}

void TVxDaoDatabase::IdleEngine() {
  dao::DBEngine& engine = Engine();
  engine.Idle(dao::dbFreeLocks);
  engine.Idle(dao::dbRefreshCache);
}

void TVxDaoDatabase::DeleteTableIndex(std::string_view tableName, std::string_view indexName) {
  RefreshObjectLists();
  OpenDatabaseOrThrow().TableDefs().Item(tableName).TableIndexes().Delete(indexName);
  RefreshObjectLists();
}

bool TVxDaoDatabase::AddQueryDef(std::string_view name, std::string_view sql) {
  OpenDatabaseOrThrow().CreateQueryDef(name, sql);
  RefreshObjectLists();
  return true;
}

void TVxDaoDatabase::SetQueryDefSql(std::string_view name, std::string_view sql) {
  RefreshObjectLists();
  OpenDatabaseOrThrow().QueryDefs().Item(name).SetSQL(sql);
  RefreshObjectLists();
}

std::string TVxDaoDatabase::GetQueryDefSql(std::string_view name) {
  try {
    return OpenDatabaseOrThrow().QueryDefs().Item(name).SQL();
  } catch (...) {
    return {};
  }
}

// ---- Attached tables ----------------------------------------------------

void TVxDaoDatabase::AddActiveTable(std::string name, AttachedTable& table) {
  activeTables_.push_back({std::move(name), &table});
}

void TVxDaoDatabase::RemoveActiveTable(AttachedTable& table) {
  std::erase_if(activeTables_, [&](const ActiveTableEntry& e) { return e.table == &table; });
}

void TVxDaoDatabase::AddClient(AttachedTable& table) {
  if (std::find(clients_.begin(), clients_.end(), &table) == clients_.end())
    clients_.push_back(&table);
}

void TVxDaoDatabase::RemoveClient(AttachedTable& table) { std::erase(clients_, &table); }

// ---- Prompting ----------------------------------------------------------

void TVxDaoDatabase::SetCredentialsPrompt(std::shared_ptr<CredentialsPrompt> prompt) {
  prompt_ = std::move(prompt);
}

CredentialsPrompt& TVxDaoDatabase::Prompt() {
  if (!prompt_) prompt_ = std::make_shared<TerminalLogin>();
  return *prompt_;
}

}  // namespace corvid
