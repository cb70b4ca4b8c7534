#pragma once
// A scripted stand-in for the engine, for the connection's tests: it records
// every call the connection makes in one shared log and fails where a test
// tells it to. Only the members the connection calls do anything.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dao/dao_database.h"
#include "dao/engine/collection.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/errors.h"

namespace corvid::fake {

// What the fake engine does; shared by every object it creates.
struct Script {
  std::vector<std::string> log;                   // one line per call
  std::vector<std::string> installed = {"12.0"};  // versions that can be created
  std::string validUser = "Admin";                // CreateWorkspace accepts only these
  std::string validPassword;
  std::optional<dao::EngineError> openFailure;  // OpenDatabase raises it
  std::optional<dao::EngineError> queryTimeoutFailure;
  std::optional<dao::EngineError> closeFailure;
  std::int32_t collatingOrder = 1053;
  bool collatingOrderFails = false;
  std::string databaseVersion = "4.0";
  struct Table {
    std::string name;
    std::int32_t attributes = 0;
  };
  std::vector<Table> tables = {{"MSysObjects", static_cast<std::int32_t>(0x80000002u)},
                               {"Customers", 0},
                               {"MSysACEs", 0x2},
                               {"USysRibbons", static_cast<std::int32_t>(0x80000000u)},
                               {"Orders", 0x40000000}};
  std::vector<std::pair<std::string, std::string>> queries = {{"ByCity", "SELECT 1;"}};
  // Database.OpenRecordset answers through this when set (source, type,
  // options, lock); without it the call fails with 3251.
  std::function<std::unique_ptr<dao::Recordset>(std::string_view, int, int, int)> openRecordset;
  int engineCount = 0;  // engines alive
  // Lines the database hands out as damage notes (taken on each call).
  std::vector<std::string> damageNotes;

  void Log(std::string line) { log.push_back(std::move(line)); }
  bool Logged(std::string_view prefix) const {
    for (const auto& line : log)
      if (line.rfind(prefix, 0) == 0) return true;
    return false;
  }
  int CountLogged(std::string_view prefix) const {
    int n = 0;
    for (const auto& line : log)
      if (line.rfind(prefix, 0) == 0) ++n;
    return n;
  }
};

template <class T>
class VectorCollection : public dao::Collection<T> {
 public:
  VectorCollection(Script& script, std::string name) : script_(script), name_(std::move(name)) {}
  std::vector<std::shared_ptr<T>> items;
  int Count() const override { return static_cast<int>(items.size()); }
  T& Item(int index) override {
    if (index < 0 || index >= Count())
      throw dao::EngineError(dao::kItemNotFound, "Item not found in this collection.");
    return *items[static_cast<std::size_t>(index)];
  }
  T& Item(std::string_view name) override {
    for (auto& item : items)
      if (item->Name() == name) return *item;
    throw dao::EngineError(dao::kItemNotFound, "Item not found in this collection.");
  }
  void Refresh() override { script_.Log(name_ + ".Refresh"); }

 private:
  Script& script_;
  std::string name_;
};

class FakeIndexes : public dao::Indexes {
 public:
  explicit FakeIndexes(Script& script) : script_(script) {}
  int Count() const override { return 0; }
  dao::Index& Item(int) override {
    throw dao::EngineError(dao::kItemNotFound, "Item not found in this collection.");
  }
  dao::Index& Item(std::string_view) override {
    throw dao::EngineError(dao::kItemNotFound, "Item not found in this collection.");
  }
  void Refresh() override {}
  void Delete(std::string_view name) override {
    script_.Log("Indexes.Delete " + std::string(name));
    throw dao::EngineError(dao::kCannotUpdate, "Cannot update. Database or object is read-only.");
  }
  void Append(dao::Index&) override {}

 private:
  Script& script_;
};

class FakeTableDef : public dao::TableDef {
 public:
  FakeTableDef(Script& script, Script::Table table)
      : table_(std::move(table)), fields_(script, "Fields"), indexes_(script) {}
  std::string Name() const override { return table_.name; }
  std::int32_t Attributes() const override { return table_.attributes; }
  std::int32_t RecordCount() override { return 0; }
  std::string DateCreated() override { return {}; }
  std::string LastUpdated() override { return {}; }
  dao::Collection<dao::Field>& Fields() override { return fields_; }
  dao::Indexes& TableIndexes() override { return indexes_; }
  const dao::Properties& TableProperties() const override { return properties_; }
  dao::Field& CreateField(std::string_view, int, int) override {
    throw dao::EngineError(dao::kCannotUpdate, "Cannot update. Database or object is read-only.");
  }
  dao::Index& CreateIndex(std::string_view) override {
    throw dao::EngineError(dao::kCannotUpdate, "Cannot update. Database or object is read-only.");
  }

 private:
  Script::Table table_;
  VectorCollection<dao::Field> fields_;
  FakeIndexes indexes_;
  dao::Properties properties_;
};

class FakeQueryDef : public dao::QueryDef {
 public:
  FakeQueryDef(Script& script, std::string name, std::string sql)
      : script_(script),
        name_(std::move(name)),
        sql_(std::move(sql)),
        parameters_(script, "Parameters") {}
  std::string Name() const override { return name_; }
  std::string SQL() const override { return sql_; }
  void SetSQL(std::string_view sql) override {
    script_.Log("QueryDef.SetSQL " + std::string(sql));
    throw dao::EngineError(dao::kCannotUpdate, "Cannot update. Database or object is read-only.");
  }
  int Type() const override { return dao::dbQSelect; }
  std::string DateCreated() const override { return {}; }
  std::string LastUpdated() const override { return {}; }
  std::int32_t MaxRecords() const override { return 0; }
  void SetMaxRecords(std::int32_t) override {}
  std::int32_t ODBCTimeout() const override { return 60; }
  void SetODBCTimeout(std::int32_t) override {}
  dao::Collection<dao::Parameter>& Parameters() override { return parameters_; }
  std::unique_ptr<dao::Recordset> OpenRecordset(int, int, int) override {
    throw dao::EngineError(dao::kOperationNotSupported,
                           "Operation is not supported for this type of object.");
  }

 private:
  Script& script_;
  std::string name_, sql_;
  VectorCollection<dao::Parameter> parameters_;
};

class FakeDatabase : public dao::Database {
 public:
  FakeDatabase(Script& script, std::string name)
      : script_(script),
        name_(std::move(name)),
        tableDefs_(script, "TableDefs"),
        queryDefs_(script, "QueryDefs"),
        containers_(script, "Containers"),
        relations_(script, "Relations"),
        recordsets_(script, "Recordsets") {
    for (const auto& table : script.tables)
      tableDefs_.items.push_back(std::make_shared<FakeTableDef>(script, table));
    for (const auto& [queryName, sql] : script.queries)
      queryDefs_.items.push_back(std::make_shared<FakeQueryDef>(script, queryName, sql));
  }
  std::string Name() const override { return name_; }
  std::string Version() const override { return script_.databaseVersion; }
  std::int32_t CollatingOrder() const override {
    if (script_.collatingOrderFails)
      throw dao::EngineError(dao::kInvalidArgument, "Invalid argument.");
    return script_.collatingOrder;
  }
  std::string Connect() const override { return {}; }
  bool Updatable() const override { return false; }
  std::int32_t QueryTimeout() const override { return 60; }
  void SetQueryTimeout(std::int32_t seconds) override {
    script_.Log("Database.QueryTimeout " + std::to_string(seconds));
    if (script_.queryTimeoutFailure) throw *script_.queryTimeoutFailure;
  }
  std::int32_t RecordsAffected() const override { return 0; }
  std::unique_ptr<dao::Recordset> OpenRecordset(std::string_view source, int type, int options,
                                                int lock) override {
    if (script_.openRecordset) return script_.openRecordset(source, type, options, lock);
    throw dao::EngineError(dao::kOperationNotSupported,
                           "Operation is not supported for this type of object.");
  }
  dao::QueryDef& CreateQueryDef(std::string_view name, std::string_view sql) override {
    script_.Log("Database.CreateQueryDef " + std::string(name) + " " + std::string(sql));
    throw dao::EngineError(dao::kCannotUpdate, "Cannot update. Database or object is read-only.");
  }
  dao::Collection<dao::TableDef>& TableDefs() override { return tableDefs_; }
  dao::Collection<dao::QueryDef>& QueryDefs() override { return queryDefs_; }
  dao::Collection<dao::NamedObject>& Containers() override { return containers_; }
  dao::Collection<dao::NamedObject>& Relations() override { return relations_; }
  dao::Collection<dao::Recordset>& Recordsets() override { return recordsets_; }
  dao::Properties& DatabaseProperties() override { return properties_; }
  std::vector<std::string> TakeDamageNotes() override {
    std::vector<std::string> notes;
    notes.swap(script_.damageNotes);
    return notes;
  }
  void Close() override {
    script_.Log("Database.Close");
    if (script_.closeFailure) throw *script_.closeFailure;
  }

 private:
  Script& script_;
  std::string name_;
  VectorCollection<dao::TableDef> tableDefs_;
  VectorCollection<dao::QueryDef> queryDefs_;
  VectorCollection<dao::NamedObject> containers_, relations_;
  VectorCollection<dao::Recordset> recordsets_;
  dao::Properties properties_;
};

class FakeWorkspace : public dao::Workspace {
 public:
  FakeWorkspace(Script& script, std::string name, std::string user, int type)
      : script_(script),
        name_(std::move(name)),
        user_(std::move(user)),
        type_(type),
        users_(script, "Users"),
        groups_(script, "Groups"),
        databases_(script, "Databases") {}
  std::string Name() const override { return name_; }
  std::string UserName() const override { return user_; }
  int Type() const override { return type_; }
  std::shared_ptr<dao::Database> OpenDatabase(std::string_view name, int options, bool readOnly,
                                              std::string_view connect) override {
    script_.Log("Workspace.OpenDatabase " + std::string(name) + "|" + std::to_string(options) +
                "|" + (readOnly ? "ro" : "rw") + "|" + std::string(connect));
    if (script_.openFailure) throw *script_.openFailure;
    return std::make_shared<FakeDatabase>(script_, std::string(name));
  }
  std::shared_ptr<dao::Database> OpenConnection(std::string_view name, int options, bool readOnly,
                                                std::string_view connect) override {
    script_.Log("Workspace.OpenConnection " + std::string(name) + "|" + std::to_string(options) +
                "|" + (readOnly ? "ro" : "rw") + "|" + std::string(connect));
    throw dao::EngineError(dao::kOdbcCallFailed, "ODBC--call failed.");
  }
  int DefaultCursorDriver() const override { return cursorDriver_; }
  void SetDefaultCursorDriver(int driver) override {
    script_.Log("Workspace.DefaultCursorDriver " + std::to_string(driver));
    cursorDriver_ = driver;
  }
  dao::Collection<dao::NamedObject>& Users() override { return users_; }
  dao::Collection<dao::NamedObject>& Groups() override { return groups_; }
  dao::Collection<dao::Database>& Databases() override { return databases_; }
  dao::Properties& WorkspaceProperties() override { return properties_; }
  void Close() override { script_.Log("Workspace.Close " + name_); }

 private:
  Script& script_;
  std::string name_, user_;
  int type_;
  int cursorDriver_ = -1;
  VectorCollection<dao::NamedObject> users_, groups_;
  VectorCollection<dao::Database> databases_;
  dao::Properties properties_;
};

class FakeEngine : public dao::DBEngine {
 public:
  FakeEngine(Script& script, std::string version)
      : script_(script), version_(std::move(version)), workspaces_(script) {
    ++script_.engineCount;
  }
  ~FakeEngine() override { --script_.engineCount; }
  std::string Version() const override { return version_; }
  std::string SystemDB() const override { return systemDb_; }
  void SetSystemDB(std::string_view path) override {
    script_.Log("Engine.SystemDB " + std::string(path));
    systemDb_ = path;
  }
  void SetDefaultUser(std::string_view user) override {
    script_.Log("Engine.DefaultUser " + std::string(user));
    defaultUser_ = user;
  }
  void SetDefaultPassword(std::string_view password) override {
    script_.Log("Engine.DefaultPassword " + std::string(password));
  }
  void SetDefaultType(int type) override {
    script_.Log("Engine.DefaultType " + std::to_string(type));
    defaultType_ = type;
  }
  std::string DefaultUser() const override { return defaultUser_; }
  int DefaultType() const override { return defaultType_; }
  std::shared_ptr<dao::Workspace> CreateWorkspace(std::string_view name, std::string_view user,
                                                  std::string_view password, int type) override {
    script_.Log("Engine.CreateWorkspace " + std::string(name) + "|" + std::string(user) + "|" +
                std::string(password) + "|" + std::to_string(type));
    if (user != script_.validUser || password != script_.validPassword) {
      dao::EngineError error(dao::kNotValidAccount, "Not a valid account name or password.");
      errors_.Record(error);
      throw error;
    }
    // The engine names its workspace itself when given an empty name.
    return std::make_shared<FakeWorkspace>(
        script_, name.empty() ? "#Default Workspace#" : std::string(name), std::string(user), type);
  }
  class Workspaces : public WorkspaceList {
   public:
    explicit Workspaces(Script& script) : items_(script, "Workspaces") {}
    int Count() const override { return items_.Count(); }
    dao::Workspace& Item(int index) override { return items_.Item(index); }
    dao::Workspace& Item(std::string_view name) override { return items_.Item(name); }
    void Refresh() override { items_.Refresh(); }
    void Append(std::shared_ptr<dao::Workspace> workspace) override {
      items_.items.push_back(std::move(workspace));
    }

   private:
    VectorCollection<dao::Workspace> items_;
  };
  WorkspaceList& Workspaces() override { return workspaces_; }
  dao::Errors& EngineErrors() override { return errors_; }
  dao::Properties& EngineProperties() override { return properties_; }
  void Idle(int action) override { script_.Log("Engine.Idle " + std::to_string(action)); }

 private:
  Script& script_;
  std::string version_, systemDb_, defaultUser_;
  int defaultType_ = 2;
  class Workspaces workspaces_;
  dao::Errors errors_;
  dao::Properties properties_;
};

// Engine creation for TVxDaoDatabase: the installed versions of the script,
// with the fall-back order of the real discovery.
inline EngineCreation CreationFor(Script& script) {
  EngineCreation creation;
  creation.detectVersions = [&script](const dao::ConfigurationStore&, bool) {
    std::vector<std::string> found;
    for (std::string_view version : dao::kEngineVersions)
      for (const auto& installed : script.installed)
        if (installed == version) found.emplace_back(version);
    return found;
  };
  creation.createEngine = [&script](const dao::ConfigurationStore&, std::string_view wanted,
                                    bool privateEngine) {
    script.Log("CreateEngine " + std::string(wanted) + (privateEngine ? " private" : ""));
    bool candidate = false;
    bool known = false;
    for (std::string_view version : dao::kEngineVersions) {
      if (version == wanted) candidate = known = true;
      if (!candidate) continue;
      for (const auto& installed : script.installed)
        if (installed == version)
          return dao::CreatedEngine{std::make_unique<FakeEngine>(script, std::string(version)),
                                    std::string(version)};
    }
    if (!known) return dao::CreatedEngine{};
    throw DatabaseError("You does not have Microsoft DAO installed ot it is an OLD Version!");
  };
  return creation;
}

// A prompt that answers from a queue and records what it was shown.
class ScriptedPrompt : public CredentialsPrompt {
 public:
  std::vector<std::optional<LoginAnswer>> answers;  // consumed front first; empty: cancel
  std::vector<LoginRequest> requests;
  std::vector<std::string> information;

  std::optional<LoginAnswer> AskCredentials(const LoginRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void ShowInformation(std::string_view message) override { information.emplace_back(message); }
};

// A table attached to the connection; records what the connection did to it.
class RecordingTable : public AttachedTable {
 public:
  RecordingTable(TVxDaoDatabase& database, std::string name, std::vector<std::string>& log,
                 bool failsToClose = false)
      : database_(&database), name_(std::move(name)), log_(log), failsToClose_(failsToClose) {}
  // A table destroyed while open leaves its database's list, as a real one does.
  ~RecordingTable() override {
    if (active && database_ != nullptr) database_->RemoveActiveTable(*this);
  }
  RecordingTable(const RecordingTable&) = delete;
  RecordingTable& operator=(const RecordingTable&) = delete;

  void Open() {
    active = true;
    database_->AddActiveTable(name_, *this);
  }
  // A close of the table's own: unregisters unless its database closes it.
  void Close() {
    active = false;
    if (!closingByDatabase && database_ != nullptr) database_->RemoveActiveTable(*this);
  }

  void SetClosingByDatabase(bool closing) override { closingByDatabase = closing; }
  void DeactivateForDatabase() override {
    log_.push_back("close " + name_ + (closingByDatabase ? " (by database)" : ""));
    // The connection's database object is still open while tables close.
    if (database_->DatabaseObject() == nullptr) log_.push_back("database already closed");
    Close();
    if (failsToClose_)
      throw dao::EngineError(dao::kObjectInvalid, "Object invalid or no longer set.");
  }
  void DatabaseDestroyed(TVxDaoDatabase&) override {
    log_.push_back("destroyed seen by " + name_);
    database_ = nullptr;
  }

  bool active = false;
  bool closingByDatabase = false;

 private:
  TVxDaoDatabase* database_;
  std::string name_;
  std::vector<std::string>& log_;
  bool failsToClose_;
};

}  // namespace corvid::fake
