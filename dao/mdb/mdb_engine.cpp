#include "dao/mdb/mdb_engine.h"

#include <vector>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_workspace.h"

namespace corvid::dao {

class JetEngine::Workspaces_ : public DBEngine::WorkspaceList {
 public:
  explicit Workspaces_(EngineContextPtr context) : context_(std::move(context)) {}
  int Count() const override { return static_cast<int>(items_.size()); }
  Workspace& Item(int index) override {
    if (index < 0 || index >= Count())
      context_->Raise(kItemNotFound, "Item not found in this collection: Workspaces has no item " +
                                         std::to_string(index) + ".");
    return *items_[static_cast<std::size_t>(index)];
  }
  Workspace& Item(std::string_view name) override {
    for (auto& workspace : items_)
      if (SameText(workspace->Name(), name)) return *workspace;
    context_->Raise(kItemNotFound, "Item not found in this collection: Workspaces has no item '" +
                                       std::string(name) + "'.");
  }
  void Refresh() override {}
  void Append(std::shared_ptr<Workspace> workspace) override {
    if (!workspace) context_->Raise(kInvalidArgument, "Invalid argument.");
    items_.push_back(std::move(workspace));
  }

 private:
  EngineContextPtr context_;
  std::vector<std::shared_ptr<Workspace>> items_;
};

JetEngine::JetEngine(std::string version)
    : version_(std::move(version)),
      context_(std::make_shared<EngineContext>()),
      workspaces_(std::make_unique<Workspaces_>(context_)) {
  properties_.Set("Version", version_, dbText);
  properties_.Set("DefaultType", static_cast<std::int64_t>(defaultType_), dbLong);
}

JetEngine::~JetEngine() = default;

std::shared_ptr<Workspace> JetEngine::CreateWorkspace(std::string_view name, std::string_view user,
                                                      std::string_view password, int type) {
  // No workgroup file here: the default workgroup's one account.
  if (!SameText(user, "Admin") || !password.empty())
    context_->Raise(kNotValidAccount, "Not a valid account name or password.", "DAO.DBEngine");
  if (type != dbUseJet && type != dbUseODBC) context_->Raise(kInvalidArgument, "Invalid argument.");
  return std::make_shared<JetWorkspace>(std::string(name), std::string(user), type, context_);
}

DBEngine::WorkspaceList& JetEngine::Workspaces() { return *workspaces_; }

}  // namespace corvid::dao
