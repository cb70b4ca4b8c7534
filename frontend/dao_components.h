#pragma once
// The database component VxDaoDB and the table component VxDaoT with the
// window's stored configuration, and the engine-port adapters over them.

#include <memory>

#include "dao/login_prompt.h"
#include "frontend/run_components.h"

namespace corvid {

class TVxDaoDatabase;
class TVxDaoTable;

class DaoComponents : public RunComponents {
 public:
  // Creates both components through their loading state. Throws the
  // connection's error when no database engine is usable. `prompt` answers
  // the login prompt (null keeps the connection's terminal prompt).
  explicit DaoComponents(std::shared_ptr<CredentialsPrompt> prompt = nullptr);
  ~DaoComponents() override;

  DatabaseConnection& Connection() override;
  RecordTable& Table() override;
  std::int64_t RecordCount() override;

  TVxDaoDatabase& VxDaoDB() { return *database_; }
  TVxDaoTable& VxDaoT() { return *table_; }

 private:
  std::unique_ptr<TVxDaoDatabase> database_;
  std::unique_ptr<TVxDaoTable> table_;
  std::unique_ptr<DatabaseConnection> connection_;
  std::unique_ptr<RecordTable> tablePort_;
};

// A database component alone, with the same stored configuration, prompt
// and environment login values as in DaoComponents (for a map of a file).
std::unique_ptr<TVxDaoDatabase> MakeDatabaseComponent(
    std::shared_ptr<CredentialsPrompt> prompt = nullptr);

// Fills PresetLoginParams from CORVID_USER, CORVID_PASSWORD and
// CORVID_DB_PASSWORD ("USER NAME", "PASSWORD", "DBPASSWORD"), each only when set.
void PresetLoginFromEnvironment(TVxDaoDatabase& database);

}  // namespace corvid
