#pragma once
// A workspace of the Jet engine. Databases opened in it are listed in
// Databases while they are open.

#include <memory>
#include <string>
#include <vector>

#include "dao/engine/workspace.h"
#include "dao/mdb/engine_context.h"
#include "dao/mdb/object_list.h"

namespace corvid::dao {

class JetDatabase;

class JetWorkspace : public Workspace {
 public:
  JetWorkspace(std::string name, std::string user, int type, EngineContextPtr context);
  ~JetWorkspace() override;

  std::string Name() const override { return name_; }
  std::string UserName() const override { return user_; }
  int Type() const override { return type_; }
  std::shared_ptr<Database> OpenDatabase(std::string_view name, int options, bool readOnly,
                                         std::string_view connect) override;
  std::shared_ptr<Database> OpenConnection(std::string_view name, int options, bool readOnly,
                                           std::string_view connect) override;
  int DefaultCursorDriver() const override { return cursorDriver_; }
  void SetDefaultCursorDriver(int driver) override { cursorDriver_ = driver; }
  Collection<NamedObject>& Users() override { return users_; }
  Collection<NamedObject>& Groups() override { return groups_; }
  Collection<Database>& Databases() override;
  Properties& WorkspaceProperties() override { return properties_; }
  void Close() override;

 private:
  class OpenDatabases;
  std::string name_;
  std::string user_;
  int type_;
  EngineContextPtr context_;
  int cursorDriver_ = -1;
  ObjectList<NamedObject> users_;
  ObjectList<NamedObject> groups_;
  std::unique_ptr<OpenDatabases> databases_;
  Properties properties_;
};

}  // namespace corvid::dao
