#pragma once
// The DAO engine object of the Jet engine.

#include <memory>
#include <string>

#include "dao/engine/db_engine.h"
#include "dao/mdb/engine_context.h"

namespace corvid::dao {

class JetEngine : public DBEngine {
 public:
  // `version`: the version text this engine answers ("12.0" for the ProgIDs
  // that are really installed).
  explicit JetEngine(std::string version);
  ~JetEngine() override;

  std::string Version() const override { return version_; }
  std::string SystemDB() const override { return systemDb_; }
  void SetSystemDB(std::string_view path) override { systemDb_ = std::string(path); }
  void SetDefaultUser(std::string_view user) override { defaultUser_ = std::string(user); }
  void SetDefaultPassword(std::string_view password) override {
    defaultPassword_ = std::string(password);
  }
  void SetDefaultType(int type) override { defaultType_ = type; }
  std::string DefaultUser() const override { return defaultUser_; }
  int DefaultType() const override { return defaultType_; }

  std::shared_ptr<Workspace> CreateWorkspace(std::string_view name, std::string_view user,
                                             std::string_view password, int type) override;
  WorkspaceList& Workspaces() override;
  Errors& EngineErrors() override { return context_->errors(); }
  Properties& EngineProperties() override { return properties_; }
  void Idle(int) override {}

 private:
  class Workspaces_;
  std::string version_;
  EngineContextPtr context_;
  std::string systemDb_;
  std::string defaultUser_ = "admin";
  std::string defaultPassword_;
  int defaultType_ = 2;
  std::unique_ptr<Workspaces_> workspaces_;
  Properties properties_;
};

}  // namespace corvid::dao
