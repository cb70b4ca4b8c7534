// TVxDaoDatabase against a scripted engine: construction, the setter rules,
// loading, connect and disconnect with their events, connect texts,
// credentials and the login retry loop, object lists and services.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dao/connection/stored_configuration.h"
#include "dao/com_apartment.h"
#include "dao/dao_database.h"
#include "dao/discovery/configuration_store.h"
#include "fake_dao_engine.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A scratch directory with an empty file that stands for a database (the
// scripted engine never reads it).
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/corvid-connection-XXXXXX";
    path_ = mkdtemp(pattern);
    std::ofstream(path_ + "/photos.mdb") << "x";
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name = "photos.mdb") const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class ConnectionTest : public ::testing::Test {
 protected:
  std::shared_ptr<dao::MemoryConfigurationStore> store =
      std::make_shared<dao::MemoryConfigurationStore>();
  fake::Script script;
  std::shared_ptr<fake::ScriptedPrompt> prompt = std::make_shared<fake::ScriptedPrompt>();
  ScratchDir dir;

  std::unique_ptr<TVxDaoDatabase> Make() {
    auto db = std::make_unique<TVxDaoDatabase>(nullptr, store, fake::CreationFor(script));
    db->SetCredentialsPrompt(prompt);
    return db;
  }
  // A component ready to connect to the scratch file.
  std::unique_ptr<TVxDaoDatabase> MakeForFile() {
    auto db = Make();
    db->F_Set_DatabaseType("Access");
    db->F_Set_Database(dir.File());
    return db;
  }
  std::vector<std::string> LogFrom(std::string_view prefix) const {
    std::vector<std::string> lines;
    for (const auto& line : script.log)
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
  }
};

std::string ThrownMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

// ---- Construction ----------------------------------------------------------

TEST_F(ConnectionTest, ConstructionSetsTheDefaultsAndPreparesTheEngineWithoutWorkspace) {
  store->SetText(dao::Hive::LocalMachine,
                 "SOFTWARE\\Microsoft\\Office\\12.0\\Access Connectivity Engine\\Engines",
                 "SystemDB", "/etc/system.mdw");
  auto db = Make();
  EXPECT_EQ(db->ComponentVersion(), "11.00");
  EXPECT_FALSE(db->Exclusive());
  EXPECT_EQ(db->DatabaseType(), "Access");
  EXPECT_EQ(db->Database(), "");
  EXPECT_EQ(db->DatabaseParameters(), "");
  EXPECT_EQ(db->DatabaseVersionInfo(), "");
  EXPECT_FALSE(db->ReadOnly());
  EXPECT_FALSE(db->LoginPrompt());
  EXPECT_EQ(db->UserName(), "Admin");
  EXPECT_TRUE(db->UseODBCDialog());
  EXPECT_EQ(db->Password(), "");
  EXPECT_EQ(db->DatabasePassword(), "");
  EXPECT_EQ(db->SystemDatabase(), "/etc/system.mdw");
  EXPECT_TRUE(db->SaveUserName());
  EXPECT_FALSE(db->ShowSystemObjects());
  EXPECT_TRUE(db->SmartOpen());
  EXPECT_EQ(db->EngineType(), 2);
  EXPECT_FALSE(db->PrivateEngine());
  EXPECT_TRUE(db->TrackTransactions());
  EXPECT_TRUE(db->UsesDynaDao());
  EXPECT_EQ(db->Version(), "12.0");
  EXPECT_EQ(db->VersionDetails(), "12.0");
  EXPECT_EQ(db->VersionInfo(), "(In Access'2007 mode)");
  EXPECT_EQ(db->Workspace(), "DaoWorkspace");
  EXPECT_EQ(db->DefaultCursorDriver(), -1);
  EXPECT_EQ(db->QueryTimeout(), 60);
  EXPECT_FALSE(db->MdbVersionAutoDetect());
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(db->TransactionDepth(), 0);
  EXPECT_THAT(db->EngineVersions(), ElementsAre("12.0"));
  EXPECT_THAT(db->DatabaseTypes(), ElementsAre("Access", "ODBC"));
  EXPECT_EQ(db->DatabaseLanguage(), "");

  EXPECT_NE(db->EngineObject(), nullptr);
  EXPECT_EQ(db->WorkspaceObject(), nullptr);
  EXPECT_EQ(db->DatabaseObject(), nullptr);
  EXPECT_THAT(script.log, ElementsAre("CreateEngine 12.0", "Engine.SystemDB /etc/system.mdw",
                                      "Engine.DefaultUser Admin", "Engine.DefaultPassword ",
                                      "Engine.DefaultType 2"));
}

TEST_F(ConnectionTest, ConstructionPicksTheOldestInstalledEngineAndSkipsAnEmptySystemDb) {
  script.installed = {"3.6", "12.0"};
  auto db = Make();
  EXPECT_THAT(db->EngineVersions(), ElementsAre("3.6", "12.0"));
  EXPECT_EQ(db->Version(), "3.6");
  EXPECT_EQ(db->VersionInfo(), "(In Access'2000 mode)");
  EXPECT_EQ(db->SystemDatabase(), "");
  EXPECT_FALSE(script.Logged("Engine.SystemDB"));
}

TEST_F(ConnectionTest, ConstructionReadsTypesDriversAndDataSourcesAndVersionRereadsTheTypes) {
  using dao::Hive;
  script.installed = {"3.6", "12.0"};
  store->AddKey(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\dBase III");
  store->AddKey(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\Paradox 5.x");
  store->AddKey(Hive::LocalMachine,
                "SOFTWARE\\Microsoft\\Office\\12.0\\Access Connectivity Engine\\ISAM "
                "Formats\\Excel 12.0");
  store->SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", "SQLite3",
                 "Installed");
  store->SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources", "Machine1",
                 "SQLite3");
  store->SetText(Hive::CurrentUser, "SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources", "Mine",
                 "SQLite3");
  store->SetText(Hive::CurrentUser, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "DBQ", "/data/mine.db");
  store->SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Machine1", "DBQ", "/srv/m.db");

  auto db = Make();
  EXPECT_THAT(db->DatabaseTypes(), ElementsAre("Access", "ODBC", "dBase III", "Paradox 5.x"));
  EXPECT_THAT(db->OdbcDrivers(), ElementsAre("SQLite3"));
  EXPECT_THAT(db->SystemDsns(), ElementsAre("Machine1"));
  EXPECT_THAT(db->UserDsns(), ElementsAre("Mine"));
  EXPECT_THAT(db->DsnFiles(), ElementsAre("Mine=/data/mine.db", "Machine1=/srv/m.db"));
  EXPECT_EQ(db->ReadDsnFile("Machine1", true), "/srv/m.db");
  EXPECT_EQ(db->ReadDsnFile("Machine1", false), "");

  db->F_Set_Version("12.0");
  EXPECT_THAT(db->DatabaseTypes(), ElementsAre("Access", "ODBC", "Excel 12.0"));
}

TEST_F(ConnectionTest, ComInitialisationIsBalancedPerComponentAndAcrossRebuilds) {
  const int before = dao::ApartmentCount();
  {
    auto first = Make();
    auto second = Make();
    EXPECT_EQ(dao::ApartmentCount(), before + 2);
    second->RebuildEngine();
    second->RebuildEngine();
    EXPECT_EQ(dao::ApartmentCount(), before + 2);
  }
  EXPECT_EQ(dao::ApartmentCount(), before);
  EXPECT_EQ(script.engineCount, 0);
}

TEST_F(ConnectionTest, NoEngineInstalledFailsConstructionAndGivesComBack) {
  script.installed.clear();
  const int before = dao::ApartmentCount();
  EXPECT_EQ(ThrownMessage([&] { Make(); }), "Cannot find DAO on your system!");
  EXPECT_EQ(dao::ApartmentCount(), before);
}

// ---- Loading and FinishSetup -------------------------------------------------

// The main window's stored configuration applied while loading.
void ApplyStoredWindowConfiguration(TVxDaoDatabase& db) {
  db.BeginLoading();
  ApplyStoredDatabaseConfiguration(db);
}

TEST_F(ConnectionTest, StoredConfigurationIsAppliedOnceAtFinishSetupAndFallsBackToTheEngineHere) {
  auto db = Make();
  script.log.clear();
  ApplyStoredWindowConfiguration(*db);
  EXPECT_TRUE(db->Loading());
  EXPECT_THAT(script.log, IsEmpty()) << "setters only store while loading";
  EXPECT_EQ(db->Version(), "3.6");
  EXPECT_EQ(db->VersionDetails(), "12.0") << "VersionDetails ignores writes";

  db->FinishSetup();
  EXPECT_FALSE(db->Loading());
  EXPECT_EQ(script.CountLogged("CreateEngine"), 1);
  EXPECT_EQ(script.CountLogged("Engine.CreateWorkspace"), 1);
  EXPECT_TRUE(script.Logged("Engine.SystemDB system.mdb"));
  EXPECT_TRUE(script.Logged("Engine.CreateWorkspace DaoWorkspace|Admin||2"));
  EXPECT_EQ(db->Version(), "12.0") << "no 3.6 engine here: falls back to 12.0";
  EXPECT_EQ(db->VersionDetails(), "12.0");
  EXPECT_EQ(db->VersionInfo(), "(In Access'2007 mode)");
  EXPECT_TRUE(db->Exclusive());
  EXPECT_NE(db->WorkspaceObject(), nullptr);
}

TEST_F(ConnectionTest, FinishSetupSwallowsAConfigurationTheMachineCannotHonour) {
  auto db = Make();
  db->BeginLoading();
  db->F_Set_UserName("nobody");
  EXPECT_NO_THROW(db->FinishSetup());
  EXPECT_EQ(db->WorkspaceObject(), nullptr);
  db->F_Set_Database(dir.File());
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "Not a valid account name or password.");
}

// ---- Setter rules --------------------------------------------------------------

TEST_F(ConnectionTest, GuardedSettersRefuseWhileConnectedAndChangeNothing) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  ASSERT_TRUE(db->Connected());
  struct Case {
    const char* property;
    std::function<void()> set;
    std::function<bool()> unchanged;
    const char* message;
  };
  TVxDaoDatabase& d = *db;
  const std::string path = d.Database();
  const Case cases[] = {
      {"Database", [&] { d.F_Set_Database("/x.mdb"); }, [&] { return d.Database() == path; },
       "TVxDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!"},
      {"SystemDatabase", [&] { d.F_Set_SystemDatabase("s.mdw"); },
       [&] { return d.SystemDatabase().empty(); },
       "TVxDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is "
       "connected!"},
      {"Version", [&] { d.F_Set_Version("3.5"); }, [&] { return d.Version() == "12.0"; },
       "TVxDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!"},
      {"Workspace", [&] { d.F_Set_Workspace("W"); },
       [&] { return d.Workspace() == "DaoWorkspace"; },
       "TVxDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!"},
      {"DatabaseType", [&] { d.F_Set_DatabaseType("ODBC"); },
       [&] { return d.DatabaseType() == "Access" && d.Database() == path; },
       "TVxDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is "
       "connected!"},
      {"EngineType", [&] { d.F_Set_EngineType(1); }, [&] { return d.EngineType() == 2; },
       "TVxDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is "
       "connected!"},
      {"PrivateEngine", [&] { d.F_Set_PrivateEngine(true); }, [&] { return !d.PrivateEngine(); },
       "TVxDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is "
       "connected!"},
      {"ReadOnly", [&] { d.F_Set_ReadOnly(true); }, [&] { return !d.ReadOnly(); },
       "TVxDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!"},
      {"Exclusive", [&] { d.F_Set_Exclusive(true); }, [&] { return !d.Exclusive(); },
       "TVxDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is "
       "connected!"},
      {"LoginPrompt", [&] { d.F_Set_LoginPrompt(true); }, [&] { return !d.LoginPrompt(); },
       "TVxDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is "
       "connected!"},
      {"UserName", [&] { d.F_Set_UserName("x"); }, [&] { return d.UserName() == "Admin"; },
       "TVxDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!"},
      {"Password", [&] { d.F_Set_Password("x"); }, [&] { return d.Password().empty(); },
       "TVxDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!"},
      {"DatabasePassword", [&] { d.F_Set_DatabasePassword("x"); },
       [&] { return d.DatabasePassword().empty(); },
       "TVxDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database "
       "is connected!"},
      {"DatabaseParameters", [&] { d.F_Set_DatabaseParameters("x"); },
       [&] { return d.DatabaseParameters().empty(); },
       "TVxDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database "
       "is connected!"},
      {"TrackTransactions", [&] { d.F_Set_TrackTransactions(false); },
       [&] { return d.TrackTransactions(); },
       "Cannot set TrackTransactions property when Database is connected!"},
  };
  const auto logSize = script.log.size();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.property);
    EXPECT_EQ(ThrownMessage(c.set), c.message);
    EXPECT_TRUE(c.unchanged());
  }
  EXPECT_EQ(script.log.size(), logSize) << "a refused setter must not touch the engine";
  EXPECT_TRUE(d.Connected());

  // These may change in any state.
  d.F_Set_SaveUserName(false);
  d.F_Set_SmartOpen(false);
  d.F_Set_QueryTimeout(5);
  d.F_Set_MdbVersionAutoDetect(true);
  d.F_Set_UseODBCDialog(false);
  d.F_Set_DefaultCursorDriver(3);
  d.F_Set_ShowSystemObjects(true);
  EXPECT_EQ(d.QueryTimeout(), 5);
  EXPECT_EQ(d.DefaultCursorDriver(), 3);
}

TEST_F(ConnectionTest, VersionKeepsOneDigitAfterThePointAndRebuilds) {
  script.installed = {"3.5", "3.6", "12.0"};
  auto db = Make();
  ASSERT_EQ(db->Version(), "3.5");
  struct Case {
    const char* given;
    const char* stored;
    const char* info;
  };
  for (const Case& c : {Case{"3.60", "3.6", "(In Access'2000 mode)"},
                        Case{"12.00", "12.0", "(In Access'2007 mode)"},
                        Case{"3.5", "3.5", "(In Access'97 mode)"}}) {
    SCOPED_TRACE(c.given);
    db->F_Set_Version(c.given);
    EXPECT_EQ(db->Version(), c.stored);
    EXPECT_EQ(db->VersionDetails(), c.stored);
    EXPECT_EQ(db->VersionInfo(), c.info);
    ASSERT_NE(db->WorkspaceObject(), nullptr);
    EXPECT_EQ(static_cast<fake::FakeEngine*>(db->EngineObject())->Version(), c.stored);
  }
}

TEST_F(ConnectionTest, AVersionThatNamesNoEngineRollsBackAndPassesTheErrorOn) {
  auto db = Make();
  db->RebuildEngine();
  script.log.clear();
  const std::string message = ThrownMessage([&] { db->F_Set_Version("4.1"); });
  EXPECT_THAT(message, HasSubstr("4.1"));
  EXPECT_EQ(db->Version(), "12.0");
  EXPECT_EQ(db->VersionDetails(), "12.0");
  ASSERT_NE(db->EngineObject(), nullptr) << "the previous version was rebuilt";
  EXPECT_NE(db->WorkspaceObject(), nullptr);
  EXPECT_THAT(LogFrom("CreateEngine"), ElementsAre("CreateEngine 4.1", "CreateEngine 12.0"));
}

TEST_F(ConnectionTest, ARebuildFailureRestoresThePreviousValue) {
  // No private engine can be created here: the rebuild fails.
  auto failingCreation = fake::CreationFor(script);
  auto inner = failingCreation.createEngine;
  auto db2 = std::make_unique<TVxDaoDatabase>(
      nullptr, store,
      EngineCreation{failingCreation.detectVersions,
                     [inner](const dao::ConfigurationStore& st, std::string_view v, bool priv) {
                       if (priv)
                         throw DatabaseError(
                             "You does not have Microsoft DAO installed ot it is an OLD Version!");
                       return inner(st, v, priv);
                     }});
  EXPECT_EQ(ThrownMessage([&] { db2->F_Set_PrivateEngine(true); }),
            "You does not have Microsoft DAO installed ot it is an OLD Version!");
  EXPECT_FALSE(db2->PrivateEngine());
  EXPECT_NE(db2->WorkspaceObject(), nullptr);
}

TEST_F(ConnectionTest, WorkspaceTakesTheCreatedWorkspacesOwnName) {
  auto db = Make();
  db->F_Set_Workspace("");
  EXPECT_EQ(db->Workspace(), "#Default Workspace#");
  db->F_Set_Workspace("Mine");
  EXPECT_EQ(db->Workspace(), "Mine");
  EXPECT_TRUE(script.Logged("Workspace.Close #Default Workspace#"));
}

TEST_F(ConnectionTest, OdbcDirectWorkspaceGetsTheDefaultCursorDriver) {
  auto db = Make();
  db->F_Set_DefaultCursorDriver(2);
  EXPECT_FALSE(script.Logged("Workspace.DefaultCursorDriver")) << "only for EngineType 1";
  db->F_Set_EngineType(1);
  EXPECT_TRUE(script.Logged("Engine.CreateWorkspace DaoWorkspace|Admin||1"));
  EXPECT_TRUE(script.Logged("Workspace.DefaultCursorDriver 2"));
  db->F_Set_DefaultCursorDriver(4);
  EXPECT_TRUE(script.Logged("Workspace.DefaultCursorDriver 4"));
}

TEST_F(ConnectionTest, UserNameAndPasswordRebuildButIgnoreAFailure) {
  auto db = MakeForFile();
  EXPECT_NO_THROW(db->F_Set_UserName("nobody"));
  EXPECT_EQ(db->UserName(), "nobody");
  EXPECT_EQ(db->WorkspaceObject(), nullptr);
  EXPECT_NO_THROW(db->F_Set_UserName("Admin"));
  EXPECT_NE(db->WorkspaceObject(), nullptr);
  EXPECT_NO_THROW(db->F_Set_Password("wrong"));
  EXPECT_EQ(db->WorkspaceObject(), nullptr);
  // Without LoginPrompt the failure reaches the caller at connect.
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "Not a valid account name or password.");
  EXPECT_FALSE(db->Connected());
}

TEST_F(ConnectionTest, EmptySystemDatabaseTakesTheRegistryDefault) {
  store->SetText(dao::Hive::LocalMachine,
                 "SOFTWARE\\Microsoft\\Office\\12.0\\Access Connectivity Engine\\Engines",
                 "SystemDB", "/etc/system.mdw");
  auto db = Make();
  db->F_Set_SystemDatabase("other.mdw");
  EXPECT_EQ(db->SystemDatabase(), "other.mdw");
  db->F_Set_SystemDatabase("");
  EXPECT_EQ(db->SystemDatabase(), "/etc/system.mdw");
  EXPECT_EQ(LogFrom("Engine.SystemDB").back(), "Engine.SystemDB /etc/system.mdw");
}

// ---- Connect ---------------------------------------------------------------------

TEST_F(ConnectionTest, PathThenTypeLeavesThePathEmptyTypeThenPathWorks) {
  auto db = Make();
  db->F_Set_Database(dir.File());
  db->F_Set_DatabaseType("Access");
  EXPECT_EQ(db->Database(), "");
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "TVxDaoDatabase.F_Set_Active: Database property is not defined!");
  db->F_Set_DatabaseType("");
  db->F_Set_Database(dir.File());
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "TVxDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
  db->F_Set_DatabaseType("Access");
  db->F_Set_Database(dir.File());
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(ConnectionTest, ConnectAndDisconnectRunTheirEventsInOrder) {
  auto db = MakeForFile();
  std::vector<std::string> events;
  db->OnBeforeConnect = [&](TVxDaoDatabase& d) {
    events.push_back(std::string("before connect, connected=") + (d.Connected() ? "1" : "0"));
  };
  db->OnAfterConnect = [&](TVxDaoDatabase& d) {
    events.push_back(std::string("after connect, connected=") + (d.Connected() ? "1" : "0") +
                     " tables=" + std::to_string(d.TableNames().size()));
  };
  db->OnBeforeDisconnect = [&](TVxDaoDatabase& d) {
    events.push_back("before disconnect, tables=" + std::to_string(d.TableNames().size()));
  };
  db->OnAfterDisconnect = [&](TVxDaoDatabase& d) {
    events.push_back(std::string("after disconnect, connected=") + (d.Connected() ? "1" : "0"));
  };
  db->F_Set_Connected(true);
  db->F_Set_Connected(true);  // already connected: nothing
  db->F_Set_Connected(false);
  db->F_Set_Connected(false);
  EXPECT_THAT(events,
              ElementsAre("before connect, connected=0", "after connect, connected=1 tables=2",
                          "before disconnect, tables=2", "after disconnect, connected=0"));
  EXPECT_EQ(script.CountLogged("Workspace.OpenDatabase"), 1);
  EXPECT_EQ(script.CountLogged("Database.Close"), 1);
  // The engine is idled after the connect: free locks, then refresh cache.
  EXPECT_THAT(LogFrom("Engine.Idle"), ElementsAre("Engine.Idle 1", "Engine.Idle 8"));
  EXPECT_EQ(db->DatabaseObject(), nullptr);
  EXPECT_NE(db->WorkspaceObject(), nullptr) << "workspace and engine stay after disconnect";
}

TEST_F(ConnectionTest, AccessConnectSendsAllThreeKeysAndTheOpenModes) {
  struct Case {
    bool exclusive, readOnly;
    const char* user;
    const char* dbPassword;
    const char* parameters;
    const char* expectedTail;
  };
  const Case cases[] = {
      {false, false, "Admin", "", "", "|0|rw|;UID=Admin;PWD=;"},
      {true, false, "Admin", "", "", "|-1|rw|;UID=Admin;PWD=;"},
      {true, true, "Admin", "secret", "MaxLocks=5", "|-1|ro|;UID=Admin;PWD=secret;MaxLocks=5"},
  };
  for (const auto& c : cases) {
    script.log.clear();
    auto db = MakeForFile();
    db->F_Set_Exclusive(c.exclusive);
    db->F_Set_ReadOnly(c.readOnly);
    db->F_Set_DatabasePassword(c.dbPassword);
    db->F_Set_DatabaseParameters(c.parameters);
    db->F_Set_Connected(true);
    EXPECT_THAT(LogFrom("Workspace.OpenDatabase"),
                ElementsAre("Workspace.OpenDatabase " + dir.File() + c.expectedTail));
  }
  // Empty user name too: the keys stay.
  script.validUser = "";
  script.log.clear();
  auto db = MakeForFile();
  db->F_Set_UserName("");
  db->F_Set_Connected(true);
  EXPECT_THAT(LogFrom("Workspace.OpenDatabase"),
              ElementsAre("Workspace.OpenDatabase " + dir.File() + "|0|rw|;UID=;PWD=;"));
}

TEST_F(ConnectionTest, OdbcConnectTextShapes) {
  struct Case {
    const char* database;
    const char* parameters;
    int engineType;
    const char* expected;
  };
  const Case cases[] = {
      {"Sales", "", 2, "Workspace.OpenDatabase Sales|1|rw|ODBC;UID=Admin;PWD=pw;DSN=Sales;"},
      {"Sales", "APP=x", 2,
       "Workspace.OpenDatabase Sales|1|rw|ODBC;UID=Admin;PWD=pw;DSN=Sales;APP=x"},
      {"oDbC;DSN=Sales", "", 2, "Workspace.OpenDatabase oDbC;DSN=Sales|1|rw|oDbC;DSN=Sales;"},
      {"ODBC;DSN=Sales", "APP=x", 1,
       "Workspace.OpenConnection ODBC;DSN=Sales|1|rw|ODBC;DSN=Sales;APP=x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.database);
    script.log.clear();
    script.validPassword = "pw";
    script.openFailure = dao::EngineError(dao::kOdbcCallFailed, "ODBC--call failed.");
    auto db = Make();
    db->F_Set_Password("pw");
    db->F_Set_EngineType(c.engineType);
    db->F_Set_DatabaseType("ODBC");
    db->F_Set_Database(c.database);
    db->F_Set_DatabaseParameters(c.parameters);
    EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }), "ODBC--call failed.");
    EXPECT_FALSE(db->Connected());
    const auto opens =
        c.engineType == 2 ? LogFrom("Workspace.OpenDatabase") : LogFrom("Workspace.OpenConnection");
    EXPECT_THAT(opens, ElementsAre(c.expected));
  }
}

TEST_F(ConnectionTest, IsamConnectTextUsesTheLongFormOnlyWithUserAndPassword) {
  struct Case {
    const char* user;
    const char* password;
    const char* expected;
  };
  const Case cases[] = {
      {"Admin", "pw", "dBase 5.0;UID=Admin;PWD=pw;P=1"},
      {"Admin", "", "dBase 5.0;P=1"},
      {"", "pw", "dBase 5.0;P=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password);
    script.log.clear();
    script.validUser = c.user;
    script.validPassword = c.password;
    script.openFailure = dao::EngineError(dao::kIsamNotFound, "Could not find installable ISAM.");
    auto db = Make();
    db->F_Set_UserName(c.user);
    db->F_Set_Password(c.password);
    db->F_Set_Exclusive(true);
    db->F_Set_DatabaseType("dBase 5.0");
    db->F_Set_Database(dir.Path());
    db->F_Set_DatabaseParameters("P=1");
    EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
              "Could not find installable ISAM.");
    EXPECT_THAT(LogFrom("Workspace.OpenDatabase"),
                ElementsAre("Workspace.OpenDatabase " + dir.Path() + "|-1|rw|" + c.expected));
  }
}

TEST_F(ConnectionTest, OdbcDirectWorkspaceRefusesAccessAndIsamTypes) {
  auto db = Make();
  db->F_Set_EngineType(1);
  db->F_Set_DatabaseType("Access");
  db->F_Set_Database(dir.File());
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "TVxDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for MS "
            "Access Databases!");
  db->F_Set_DatabaseType("Paradox 5.x");
  db->F_Set_Database(dir.Path());
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "TVxDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
  EXPECT_FALSE(script.Logged("Workspace.Open"));
}

TEST_F(ConnectionTest, MissingFileMessageAndSmartOpen) {
  const std::string programDirectory = [] {
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    return exe.substr(0, exe.rfind('/') + 1);
  }();
  struct Case {
    const char* label;
    bool smartOpen;
    std::string given;
    std::string reported;
  };
  const Case cases[] = {
      {"missing, SmartOpen", true, dir.File("absent.mdb"), programDirectory + "absent.mdb"},
      {"missing, no SmartOpen", false, dir.File("absent.mdb"), dir.File("absent.mdb")},
      {"directory, no SmartOpen", false, dir.Path(), dir.Path()},
      {"directory with slash, SmartOpen", true, dir.Path() + "/", programDirectory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto db = Make();
    db->F_Set_SmartOpen(c.smartOpen);
    db->F_Set_Database(c.given);
    EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
              "Cannot find Database:\r\n" + c.reported);
    EXPECT_EQ(db->Database(), c.reported) << "the property keeps the replaced path";
    EXPECT_FALSE(db->Connected());
  }
}

TEST_F(ConnectionTest, SmartOpenFindsTheFileInTheProgramDirectory) {
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string programDirectory = exe.substr(0, exe.rfind('/') + 1);
  const std::string name = "corvid-smartopen-" + std::to_string(getpid()) + ".mdb";
  std::ofstream(programDirectory + name) << "x";
  auto db = Make();
  db->F_Set_Database("/nowhere/" + name);
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->Database(), programDirectory + name);
  db->F_Set_Connected(false);
  std::filesystem::remove(programDirectory + name);
}

TEST_F(ConnectionTest, QueryTimeoutIsPutOnlyWhenItDiffersFromSixty) {
  for (int timeout : {60, 61}) {
    SCOPED_TRACE(timeout);
    script.log.clear();
    auto db = MakeForFile();
    db->F_Set_QueryTimeout(timeout);
    db->F_Set_Connected(true);
    EXPECT_EQ(script.Logged("Database.QueryTimeout"), timeout != 60);
  }
  EXPECT_TRUE(script.Logged("Database.QueryTimeout 61"));
}

TEST_F(ConnectionTest, AFailureAfterOpeningClosesTheDatabaseAgain) {
  script.queryTimeoutFailure = dao::EngineError(dao::kInvalidArgument, "Invalid argument.");
  auto db = MakeForFile();
  db->F_Set_QueryTimeout(5);
  bool afterConnect = false;
  db->OnAfterConnect = [&](TVxDaoDatabase&) { afterConnect = true; };
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }), "Invalid argument.");
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(afterConnect);
  EXPECT_EQ(db->DatabaseObject(), nullptr);
  EXPECT_TRUE(script.Logged("Database.Close")) << "the file must not stay open (and locked)";
  EXPECT_NE(db->WorkspaceObject(), nullptr);
}

TEST_F(ConnectionTest, DatabaseVersionInfoIsReadUnlessTheTypeIsExactlyOdbcAndSurvivesDisconnect) {
  auto db = MakeForFile();
  script.databaseVersion = "4.0";
  db->F_Set_Connected(true);
  EXPECT_EQ(db->DatabaseVersionInfo(), "4.0");
  db->F_Set_Connected(false);
  EXPECT_EQ(db->DatabaseVersionInfo(), "4.0");

  // "odbc" in lower case is opened as ODBC but its version is read.
  script.databaseVersion = "odbc-version";
  db->F_Set_DatabaseType("odbc");
  db->F_Set_Database("Sales");
  db->F_Set_EngineType(2);
  db->F_Set_Connected(true);
  EXPECT_TRUE(script.Logged("Workspace.OpenDatabase Sales|1|rw|odbc;UID=Admin;PWD=;DSN=Sales;"));
  EXPECT_EQ(db->DatabaseVersionInfo(), "odbc-version");
  db->F_Set_Connected(false);

  script.databaseVersion = "never read";
  db->F_Set_DatabaseType("ODBC");
  db->F_Set_Database("Sales");
  db->F_Set_Connected(true);
  EXPECT_EQ(db->DatabaseVersionInfo(), "odbc-version");
}

TEST_F(ConnectionTest, LowerCaseAccessOpensAsAccessButSkipsContainersRelationsAndDetection) {
  // A file whose header asks for the ACE engine.
  std::string header(160, '\0');
  header[13] = 'A', header[14] = 'C', header[15] = 'E', header[156] = '4', header[157] = '.';
  std::ofstream(dir.File("ace.accdb"), std::ios::binary) << header;
  script.installed = {"3.6", "12.0"};

  for (const char* type : {"Access", "access"}) {
    SCOPED_TRACE(type);
    script.log.clear();
    auto db = Make();
    ASSERT_EQ(db->Version(), "3.6");
    db->F_Set_MdbVersionAutoDetect(true);
    db->F_Set_DatabaseType(type);
    db->F_Set_Database(dir.File("ace.accdb"));
    db->F_Set_Connected(true);
    const bool exact = std::string(type) == "Access";
    EXPECT_TRUE(script.Logged("Workspace.OpenDatabase " + dir.File("ace.accdb") + "|0|rw|;UID="));
    EXPECT_EQ(script.Logged("Containers.Refresh"), exact);
    EXPECT_EQ(script.Logged("Relations.Refresh"), exact);
    EXPECT_EQ(db->Version(), exact ? "12.0" : "3.6");
  }
}

// ---- Object lists ------------------------------------------------------------------

TEST_F(ConnectionTest, TableNamesLeaveOutSystemTablesUnlessShowSystemObjects) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  EXPECT_THAT(db->TableNames(), ElementsAre("Customers", "Orders"));
  EXPECT_THAT(db->QueryDefNames(), ElementsAre("ByCity"));
  db->F_Set_ShowSystemObjects(true);
  EXPECT_THAT(db->TableNames(),
              ElementsAre("MSysObjects", "Customers", "MSysACEs", "USysRibbons", "Orders"));
  db->F_Set_Connected(false);
  EXPECT_THAT(db->TableNames(), IsEmpty());
  EXPECT_THAT(db->QueryDefNames(), IsEmpty());
}

TEST_F(ConnectionTest, RefreshObjectListsRefreshesTheCollectionsInOrder) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  script.log.clear();
  db->RefreshObjectLists();
  std::vector<std::string> refreshes;
  for (const auto& line : script.log)
    if (line.ends_with(".Refresh")) refreshes.push_back(line);
  // Properties and Errors keep no log of their own in the fake.
  EXPECT_THAT(refreshes,
              ElementsAre("TableDefs.Refresh", "QueryDefs.Refresh", "Containers.Refresh",
                          "Relations.Refresh", "Recordsets.Refresh", "Workspaces.Refresh",
                          "Users.Refresh", "Groups.Refresh", "Databases.Refresh"));
}

// ---- Credentials ---------------------------------------------------------------------

TEST_F(ConnectionTest, LoginRetryLoopShowsTheErrorAndAsksAgainUntilTheWorkspaceOpens) {
  script.validUser = "maria";
  script.validPassword = "right";
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  prompt->answers = {LoginAnswer{"maria", "wrong", ""}, LoginAnswer{"maria", "wrong2", ""},
                     LoginAnswer{"maria", "right", "dbpw"}};
  int afterConnect = 0;
  db->OnAfterConnect = [&](TVxDaoDatabase&) { ++afterConnect; };
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(afterConnect, 1);
  ASSERT_EQ(prompt->requests.size(), 3u);
  EXPECT_EQ(prompt->requests[0].databaseName, dir.File());
  EXPECT_EQ(prompt->requests[0].userName, "Admin");
  EXPECT_EQ(prompt->requests[1].userName, "maria") << "the retry shows the name typed before";
  EXPECT_THAT(prompt->information, ElementsAre("Not a valid account name or password.",
                                               "Not a valid account name or password."));
  EXPECT_EQ(db->UserName(), "maria");
  EXPECT_EQ(db->Password(), "right");
  EXPECT_EQ(db->DatabasePassword(), "dbpw");
  EXPECT_TRUE(script.Logged("Workspace.OpenDatabase " + dir.File() + "|0|rw|;UID=maria;PWD=dbpw;"));
}

TEST_F(ConnectionTest, CancelledLoginEndsQuietlyWhenTheWorkspaceCannotBeCreated) {
  script.validUser = "maria";  // an empty user name is refused
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  db->F_Set_SaveUserName(false);
  db->F_Set_DatabasePassword("old");
  prompt->answers = {LoginAnswer{"x", "y", "z"}};  // wrong, then cancel
  bool afterConnect = false;
  db->OnAfterConnect = [&](TVxDaoDatabase&) { afterConnect = true; };
  EXPECT_NO_THROW(db->F_Set_Connected(true));
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(afterConnect);
  ASSERT_EQ(prompt->requests.size(), 2u);
  for (const auto& request : prompt->requests)
    EXPECT_EQ(request.userName, "") << "SaveUserName off";
  EXPECT_THAT(prompt->information,
              ElementsAre("Not a valid account name or password.",
                          "If You not enter Username and Password You may not gain access to your "
                          "data!"));
  EXPECT_EQ(db->UserName(), "");
  EXPECT_EQ(db->Password(), "");
  EXPECT_EQ(db->DatabasePassword(), "");
}

TEST_F(ConnectionTest, CancelledLoginStillConnectsWhenEmptyCredentialsAreAccepted) {
  script.validUser = "";
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  db->F_Set_Connected(true);  // the prompt cancels at once
  EXPECT_TRUE(db->Connected());
  EXPECT_THAT(prompt->information,
              ElementsAre("If You not enter Username and Password You may not gain access to your "
                          "data!"));
  EXPECT_TRUE(script.Logged("Workspace.OpenDatabase " + dir.File() + "|0|rw|;UID=;PWD=;"));
}

TEST_F(ConnectionTest, OnLoginSuppliesTheCredentialsWithoutADialog) {
  for (bool loginPrompt : {true, false}) {
    SCOPED_TRACE(loginPrompt);
    script.validUser = "Admin";
    auto db = MakeForFile();
    db->F_Set_LoginPrompt(loginPrompt);
    db->F_Set_DatabasePassword("dbpw");
    std::vector<std::string> seen;
    db->OnLogin = [&](TVxDaoDatabase& d, NameValueList& params) {
      EXPECT_EQ(&d, db.get());
      seen = params.Lines();
      params.Remove("PASSWORD");
      params.SetValue("DBPASSWORD", "fromhandler");
    };
    db->F_Set_Connected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_THAT(seen, ElementsAre("USER NAME=Admin", "PASSWORD=", "DBPASSWORD=dbpw"));
    EXPECT_EQ(db->Password(), "");
    EXPECT_EQ(db->DatabasePassword(), "fromhandler");
    EXPECT_THAT(prompt->requests, IsEmpty());
  }
}

TEST_F(ConnectionTest, LoginParamNamesIgnoreCaseAndValuesMayHoldEqualsSigns) {
  script.validUser = "anna";
  script.validPassword = "a=b;c";
  auto db = MakeForFile();
  db->OnLogin = [](TVxDaoDatabase&, NameValueList& params) {
    params.Clear();
    params.Add("user name=anna");
    params.Add("PASSWORD=a=b;c");
    params.Add("DbPassword==x");
    params.Add("USER NAME=ignored, the first line counts");
  };
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->UserName(), "anna");
  EXPECT_EQ(db->Password(), "a=b;c");
  EXPECT_EQ(db->DatabasePassword(), "=x");
}

TEST_F(ConnectionTest, AHandlerThatRepeatsWrongCredentialsFailsInsteadOfLoopingForEver) {
  script.validUser = "maria";
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  int calls = 0;
  db->OnLogin = [&](TVxDaoDatabase&, NameValueList& params) {
    ++calls;
    params.SetValue("USER NAME", "nobody");
  };
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "Not a valid account name or password.");
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(db->Connected());
  EXPECT_THAT(prompt->requests, IsEmpty());
}

TEST_F(ConnectionTest, AHandlerThatChangesItsAnswerGetsAnotherAttempt) {
  script.validUser = "maria";
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  int calls = 0;
  db->OnLogin = [&](TVxDaoDatabase&, NameValueList& params) {
    params.SetValue("USER NAME", ++calls == 1 ? "nobody" : "maria");
  };
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(calls, 2);
}

TEST_F(ConnectionTest, PresetLoginParamsFillOnlyTheNamesPresent) {
  auto db = MakeForFile();
  db->F_Set_LoginPrompt(true);
  db->F_Set_DatabasePassword("kept");
  db->PresetLoginParams().Add("USER NAME=Admin");
  db->PresetLoginParams().Add("password=");
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->DatabasePassword(), "kept");
  EXPECT_THAT(prompt->requests, IsEmpty());
}

TEST_F(ConnectionTest, WithoutAPromptSourceTheTerminalPromptCancelsWithNoTerminal) {
  // No prompt set: the default terminal prompt runs; with no controlling
  // terminal (as under ctest) it counts as cancelled.
  if (access("/dev/tty", R_OK | W_OK) == 0 && isatty(STDIN_FILENO))
    GTEST_SKIP() << "a terminal is attached";
  script.validUser = "maria";
  auto db = std::make_unique<TVxDaoDatabase>(nullptr, store, fake::CreationFor(script));
  db->F_Set_Database(dir.File());
  db->F_Set_LoginPrompt(true);
  EXPECT_NO_THROW(db->F_Set_Connected(true));
  EXPECT_FALSE(db->Connected());
}

// ---- Disconnect and attached tables ---------------------------------------------

TEST_F(ConnectionTest, DisconnectClosesEveryTableEvenWhenOneFails) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  std::vector<std::string> log;
  fake::RecordingTable first(*db, "Categories", log);
  fake::RecordingTable failing(*db, "Broken", log, /*failsToClose=*/true);
  fake::RecordingTable last(*db, "Orders", log);
  first.Open();
  failing.Open();
  last.Open();
  ASSERT_EQ(db->ActiveTables().size(), 3u);
  EXPECT_EQ(db->ActiveTables()[1].name, "Broken");

  db->OnBeforeDisconnect = [&](TVxDaoDatabase&) { log.push_back("before disconnect"); };
  db->OnAfterDisconnect = [&](TVxDaoDatabase&) { log.push_back("after disconnect"); };
  EXPECT_NO_THROW(db->F_Set_Connected(false));
  EXPECT_THAT(log, ElementsAre("before disconnect", "close Categories (by database)",
                               "close Broken (by database)", "close Orders (by database)",
                               "after disconnect"));
  EXPECT_FALSE(first.active || failing.active || last.active);
  EXPECT_FALSE(first.closingByDatabase) << "the mark is taken off again";
  EXPECT_THAT(db->ActiveTables(), IsEmpty());
  EXPECT_FALSE(db->Connected());
  EXPECT_TRUE(script.Logged("Database.Close"));
}

TEST_F(ConnectionTest, ATableClosingOnItsOwnUnregisters) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  std::vector<std::string> log;
  fake::RecordingTable a(*db, "A", log), b(*db, "B", log);
  a.Open();
  b.Open();
  a.Close();
  ASSERT_EQ(db->ActiveTables().size(), 1u);
  EXPECT_EQ(db->ActiveTables()[0].table, &b);
}

TEST_F(ConnectionTest, AFailingDatabaseCloseStillDisconnects) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  script.closeFailure = dao::EngineError(dao::kObjectInvalid, "Object invalid or no longer set.");
  bool after = false;
  db->OnAfterDisconnect = [&](TVxDaoDatabase&) { after = true; };
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(false); }), "Object invalid or no longer set.");
  EXPECT_FALSE(db->Connected());
  EXPECT_TRUE(after);
  EXPECT_EQ(db->DatabaseObject(), nullptr);
  script.closeFailure.reset();
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(ConnectionTest, DestructionDisconnectsWithEventsAndTellsItsTables) {
  std::vector<std::string> log;
  const int before = dao::ApartmentCount();
  {
    auto db = MakeForFile();
    db->F_Set_Connected(true);
    fake::RecordingTable table(*db, "T", log);
    db->AddClient(table);
    table.Open();
    db->OnAfterDisconnect = [&](TVxDaoDatabase&) { log.push_back("after disconnect"); };
    db.reset();
  }
  EXPECT_THAT(log, ElementsAre("close T (by database)", "after disconnect", "destroyed seen by T"));
  EXPECT_TRUE(script.Logged("Workspace.Close DaoWorkspace"));
  EXPECT_EQ(dao::ApartmentCount(), before);
  EXPECT_EQ(script.engineCount, 0);
}

// ---- Services ----------------------------------------------------------------------

TEST_F(ConnectionTest, DatabaseLanguageMapsTheCollatingOrder) {
  auto db = MakeForFile();
  EXPECT_EQ(db->DatabaseLanguage(), "") << "not connected";
  db->F_Set_Connected(true);
  struct Case {
    std::int32_t order;
    bool fails;
    const char* text;
  };
  for (const Case& c : {Case{1053, false, "Swedish or Finnish"}, Case{1024, false, "Neutral"},
                        Case{2052, false, "Simplified Chinese"},
                        Case{1033, false,
                             "General (English, French, German, Portuguese, Italian, and Modern "
                             "Spanish)"},
                        Case{1031, false, ""}, Case{0, true, "Undefined or unknown"}}) {
    SCOPED_TRACE(c.order);
    script.collatingOrder = c.order;
    script.collatingOrderFails = c.fails;
    EXPECT_EQ(db->DatabaseLanguage(), c.text);
  }
}

TEST_F(ConnectionTest, FirstEngineErrorReadsItemZeroOfTheEnginesErrors) {
  auto db = MakeForFile();
  TDaoErrRec empty = db->FirstEngineError();
  EXPECT_EQ(empty.Number, 0);
  EXPECT_EQ(empty.Source, "");
  EXPECT_EQ(empty.Description, "");
  EXPECT_EQ(empty.HelpFile, "");
  EXPECT_EQ(empty.HelpContext, 0);

  db->F_Set_Password("wrong");  // the rebuild fails; the failure is recorded
  const TDaoErrRec first = db->FirstEngineError();
  EXPECT_EQ(first.Number, 3029);
  EXPECT_EQ(first.Description, "Not a valid account name or password.");
}

TEST_F(ConnectionTest, QueryDefinitionServicesPassTheEnginesErrorsOn) {
  auto db = MakeForFile();
  db->F_Set_Connected(true);
  EXPECT_EQ(db->GetQueryDefSql("ByCity"), "SELECT 1;");
  EXPECT_EQ(db->GetQueryDefSql("bycity"), "") << "an item the engine does not find";
  EXPECT_EQ(db->GetQueryDefSql("Nothing"), "");
  const std::string readOnly = "Cannot update. Database or object is read-only.";
  EXPECT_EQ(ThrownMessage([&] { db->AddQueryDef("Q", "SELECT 2;"); }), readOnly);
  EXPECT_EQ(ThrownMessage([&] { db->SetQueryDefSql("ByCity", "SELECT 3;"); }), readOnly);
  EXPECT_EQ(ThrownMessage([&] { db->DeleteTableIndex("Customers", "PrimaryKey"); }), readOnly);
  EXPECT_EQ(ThrownMessage([&] { db->DeleteTableIndex("Nope", "PrimaryKey"); }),
            "Item not found in this collection.");
  EXPECT_THAT(db->TableNames(), ElementsAre("Customers", "Orders")) << "lists refreshed, intact";
  db->F_Set_Connected(false);
  EXPECT_EQ(db->GetQueryDefSql("ByCity"), "");
  EXPECT_THAT(ThrownMessage([&] { db->AddQueryDef("Q", "x"); }), HasSubstr("not connected"));
}

}  // namespace
}  // namespace corvid
