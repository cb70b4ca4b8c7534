#pragma once
// A DAO Workspace: a session of one user in which databases are opened.

#include <memory>
#include <string>
#include <string_view>

#include "dao/engine/collection.h"
#include "dao/engine/database.h"
#include "dao/engine/properties.h"

namespace corvid::dao {

class Workspace {
 public:
  virtual ~Workspace() = default;

  virtual std::string Name() const = 0;
  virtual std::string UserName() const = 0;
  virtual int Type() const = 0;  // dbUseJet or dbUseODBC

  // Opens a database file. `options`: for an Access file, non-zero opens it
  // exclusively (the automation Boolean true is -1); `readOnly` is accepted
  // but the engine always reads only. Connect text: ";UID=...;PWD=...;..."
  // for Access (PWD is the database password); "ODBC;..." or an ISAM name
  // such as "dBase 5.0;" raise the engine's error for a missing driver.
  virtual std::shared_ptr<Database> OpenDatabase(std::string_view name, int options, bool readOnly,
                                                 std::string_view connect) = 0;
  // ODBCDirect connections: no ODBC driver here, raises 3146.
  virtual std::shared_ptr<Database> OpenConnection(std::string_view name, int options,
                                                   bool readOnly, std::string_view connect) = 0;
  virtual int DefaultCursorDriver() const = 0;
  virtual void SetDefaultCursorDriver(int driver) = 0;

  virtual Collection<NamedObject>& Users() = 0;
  virtual Collection<NamedObject>& Groups() = 0;
  virtual Collection<Database>& Databases() = 0;
  virtual Properties& WorkspaceProperties() = 0;
  // Closes every database opened in this workspace.
  virtual void Close() = 0;
};

}  // namespace corvid::dao
