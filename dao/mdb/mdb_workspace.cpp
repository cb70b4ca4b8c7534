#include "dao/mdb/mdb_workspace.h"

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/connect_text_parser.h"
#include "dao/mdb/mdb_database.h"
#include "dao/mdb/mdb_file.h"

namespace corvid::dao {
namespace {

class AccountName : public NamedObject {
 public:
  explicit AccountName(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }

 private:
  std::string name_;
};

}  // namespace

// The workspace's Databases: the databases it opened that are still open.
class JetWorkspace::OpenDatabases : public Collection<Database> {
 public:
  explicit OpenDatabases(EngineContextPtr context) : context_(std::move(context)) {}
  int Count() const override { return static_cast<int>(Live().size()); }
  Database& Item(int index) override {
    auto live = Live();
    if (index < 0 || index >= static_cast<int>(live.size()))
      context_->Raise(kItemNotFound, "Item not found in this collection: Databases has no item " +
                                         std::to_string(index) + ".");
    return *live[static_cast<std::size_t>(index)];
  }
  Database& Item(std::string_view name) override {
    for (auto& database : Live())
      if (database->Name() == name) return *database;
    context_->Raise(kItemNotFound, "Item not found in this collection: Databases has no item '" +
                                       std::string(name) + "'.");
  }
  void Refresh() override {
    std::erase_if(held_, [](const std::weak_ptr<JetDatabase>& weak) {
      auto database = weak.lock();
      return !database || !database->IsOpen();
    });
  }
  void Add(const std::shared_ptr<JetDatabase>& database) { held_.push_back(database); }
  void CloseAll() {
    for (auto& database : Live()) database->Close();
    held_.clear();
  }

 private:
  std::vector<std::shared_ptr<JetDatabase>> Live() const {
    std::vector<std::shared_ptr<JetDatabase>> live;
    for (const auto& weak : held_)
      if (auto database = weak.lock(); database && database->IsOpen()) live.push_back(database);
    return live;
  }
  EngineContextPtr context_;
  std::vector<std::weak_ptr<JetDatabase>> held_;
};

JetWorkspace::JetWorkspace(std::string name, std::string user, int type, EngineContextPtr context)
    : name_(std::move(name)),
      user_(std::move(user)),
      type_(type),
      context_(context),
      users_(context, "Users"),
      groups_(context, "Groups"),
      databases_(std::make_unique<OpenDatabases>(context)) {
  users_.Add(std::make_shared<AccountName>("admin"));
  users_.Add(std::make_shared<AccountName>("Creator"));
  users_.Add(std::make_shared<AccountName>("Engine"));
  groups_.Add(std::make_shared<AccountName>("Admins"));
  groups_.Add(std::make_shared<AccountName>("Users"));
  properties_.Set("Name", name_, dbText);
  properties_.Set("UserName", user_, dbText);
  properties_.Set("Type", static_cast<std::int64_t>(type_), dbLong);
}

JetWorkspace::~JetWorkspace() = default;

std::shared_ptr<Database> JetWorkspace::OpenDatabase(std::string_view name, int options,
                                                     bool readOnly, std::string_view connect) {
  if (type_ == dbUseODBC)
    context_->Raise(kOdbcCallFailed,
                    "ODBC--call failed: no ODBC driver is available to this engine (opening '" +
                        std::string(name) + "').");
  ConnectText parsed = ParseConnectText(connect);
  if (SameText(parsed.type, "ODBC"))
    context_->Raise(kOdbcCallFailed,
                    "ODBC--call failed: no ODBC driver is available to this engine (opening '" +
                        std::string(name) + "').");
  if (!parsed.type.empty())
    context_->Raise(kIsamNotFound, "Could not find installable ISAM '" + parsed.type +
                                       "': this engine reads Access files only.");
  auto file = AccessFile::Open(context_, name, options != 0, parsed.password);
  // The file stays open read-only either way; a database opened for
  // writing lets recordsets change rows, one change at a time.
  file->SetWritable(!readOnly);
  auto database = std::make_shared<JetDatabase>(std::move(file), std::string(connect), context_);
  databases_->Add(database);
  return database;
}

std::shared_ptr<Database> JetWorkspace::OpenConnection(std::string_view name, int, bool,
                                                       std::string_view) {
  context_->Raise(kOdbcCallFailed,
                  "ODBC--call failed: no ODBC driver is available to this engine (connecting to '" +
                      std::string(name) + "').");
}

Collection<Database>& JetWorkspace::Databases() { return *databases_; }

void JetWorkspace::Close() { databases_->CloseAll(); }

}  // namespace corvid::dao
