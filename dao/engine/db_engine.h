#pragma once
// The DAO engine object (DBEngine), created by ProgID through engine
// discovery (dao/discovery/engine_factory.h). Every EngineError the engine
// or its objects raise is recorded as item 0 of Errors() first.

#include <memory>
#include <string>
#include <string_view>

#include "dao/engine/collection.h"
#include "dao/engine/errors.h"
#include "dao/engine/properties.h"
#include "dao/engine/workspace.h"

namespace corvid::dao {

class DBEngine {
 public:
  virtual ~DBEngine() = default;

  // Engine version text, e.g. "12.0".
  virtual std::string Version() const = 0;

  // Kept as given; a SystemDB that names no existing file is otherwise ignored.
  virtual std::string SystemDB() const = 0;
  virtual void SetSystemDB(std::string_view path) = 0;
  virtual void SetDefaultUser(std::string_view user) = 0;
  virtual void SetDefaultPassword(std::string_view password) = 0;
  virtual void SetDefaultType(int type) = 0;
  virtual std::string DefaultUser() const = 0;
  virtual int DefaultType() const = 0;

  // The default workgroup has one account, "Admin" with an empty password
  // (letter case of the name ignored); any other user or password raises
  // 3029 "Not a valid account name or password.". Type dbUseJet or dbUseODBC.
  virtual std::shared_ptr<Workspace> CreateWorkspace(std::string_view name, std::string_view user,
                                                     std::string_view password, int type) = 0;

  // Workspaces collection; Append adds a created workspace.
  class WorkspaceList : public Collection<Workspace> {
   public:
    virtual void Append(std::shared_ptr<Workspace> workspace) = 0;
  };
  virtual WorkspaceList& Workspaces() = 0;
  virtual Errors& EngineErrors() = 0;
  virtual Properties& EngineProperties() = 0;
  // dbFreeLocks / dbRefreshCache: nothing to do for a read-only engine.
  virtual void Idle(int action) = 0;
};

}  // namespace corvid::dao
