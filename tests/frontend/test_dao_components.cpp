#include "frontend/dao_components.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"

namespace corvid {
namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(DaoComponents, CreatedWithTheWindowsStoredConfiguration) {
  ScopedEnv user("CORVID_USER", nullptr), password("CORVID_PASSWORD", nullptr),
      db("CORVID_DB_PASSWORD", nullptr);
  DaoComponents components;
  TVxDaoDatabase& database = components.VxDaoDB();
  TVxDaoTable& table = components.VxDaoT();
  EXPECT_FALSE(database.Loading());
  EXPECT_FALSE(table.Loading());
  EXPECT_EQ(database.Name(), "VxDaoDB");
  EXPECT_EQ(table.Name(), "VxDaoT");
  EXPECT_TRUE(database.Exclusive());
  EXPECT_FALSE(database.ReadOnly());
  EXPECT_FALSE(database.LoginPrompt());
  EXPECT_EQ(database.UserName(), "Admin");
  EXPECT_EQ(database.EngineType(), 2);
  EXPECT_EQ(database.Workspace(), "DaoWorkspace");
  EXPECT_EQ(database.QueryTimeout(), 60);
  EXPECT_EQ(database.DefaultCursorDriver(), -1);
  EXPECT_TRUE(database.SmartOpen());
  EXPECT_FALSE(database.Connected());
  EXPECT_TRUE(database.PresetLoginParams().Empty());
  EXPECT_EQ(table.Database(), &database);
  EXPECT_TRUE(table.ReadOnly());
  EXPECT_EQ(table.TableType(), 2);
  EXPECT_EQ(table.LockType(), 3);
  EXPECT_TRUE(table.UseBrackets());
  EXPECT_TRUE(table.UseRecordCount());
  EXPECT_FALSE(table.CacheBlobs());
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(components.RecordCount(), -1);  // no count while the table is closed
}

TEST(DaoComponents, EnvironmentFillsOnlyTheCredentialsThatAreSet) {
  ScopedEnv user("CORVID_USER", "reader"), password("CORVID_PASSWORD", nullptr),
      db("CORVID_DB_PASSWORD", "");
  DaoComponents components;
  const NameValueList& preset = components.VxDaoDB().PresetLoginParams();
  EXPECT_EQ(preset.Find("USER NAME"), "reader");
  EXPECT_EQ(preset.Find("PASSWORD"), std::nullopt);
  EXPECT_EQ(preset.Find("DBPASSWORD"), "");  // set but empty: an empty database password
}

}  // namespace
}  // namespace corvid
