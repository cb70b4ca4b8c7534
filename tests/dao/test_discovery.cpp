// Engine discovery and the configuration look-ups, against the default store
// (the engine really here) and stores with other contents.

#include <gtest/gtest.h>

#include "dao/discovery/configuration_store.h"
#include "dao/discovery/engine_discovery.h"
#include "dao/discovery/engine_factory.h"
#include "dao/engine/database_error.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

// A store where the given versions are installed (public and private ProgIDs).
std::shared_ptr<MemoryConfigurationStore> StoreWith(std::vector<std::string> versions) {
  auto store = std::make_shared<MemoryConfigurationStore>();
  for (const auto& version : versions) {
    for (bool isPrivate : {false, true}) {
      std::string progId = EngineProgId(version, isPrivate);
      store->SetText(Hive::ClassesRoot, progId, "Engine", std::string(kLibmdbEngineClass));
      store->SetText(Hive::ClassesRoot, progId, "Version", version);
    }
  }
  return store;
}

TEST(DiscoveryDefaultStore, DescribesTheEngineThatIsHere) {
  auto store = DefaultConfigurationStore();
  EXPECT_EQ(DetectEngineVersions(*store, false), std::vector<std::string>{"12.0"});
  EXPECT_EQ(DetectEngineVersions(*store, true), std::vector<std::string>{"12.0"});
  for (const char* progId : {"DAO.DBEngine.120", "DAO.PrivateDBEngine.120"}) {
    auto engine = CreateEngineObject(*store, progId);
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine->Version(), "12.0");
  }
  for (const char* progId : {"DAO.DBEngine.35", "DAO.DBEngine.36", "DAO.PrivateDBEngine.36", ""})
    EXPECT_THROW(CreateEngineObject(*store, progId), EngineError) << progId;

  // A stored "3.6" (the main window's) falls back to 12.0.
  CreatedEngine created = CreateEngine(*store, "3.6", false);
  ASSERT_TRUE(created.engine);
  EXPECT_EQ(created.version, "12.0");
  EXPECT_EQ(VersionInfoFor(created.engine->Version(), ""), "(In Access'2007 mode)");

  std::vector<std::string> types{"stale"};
  ReadDatabaseTypes(*store, "12.0", types);
  EXPECT_EQ(types, (std::vector<std::string>{"Access", "ODBC", "stale"}))
      << "an absent ISAM key keeps the earlier entries";
  std::vector<std::string> drivers{"kept"}, system{"x"}, user{"y"}, files{"z"};
  ReadOdbcDrivers(*store, drivers);
  EXPECT_EQ(drivers, std::vector<std::string>{"kept"});
  ReadSystemDsns(*store, system);
  ReadUserDsns(*store, user);
  BuildDsnFiles(*store, user, system, files);
  EXPECT_TRUE(system.empty());
  EXPECT_TRUE(user.empty());
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(DefaultSystemDatabase(*store, "12.0"), "");
}

TEST(DiscoveryVersions, DetectionAndFallBackFollowTheProbingOrder) {
  struct Case {
    std::vector<std::string> installed;
    std::vector<std::string> detected;
    std::vector<std::pair<std::string, std::string>> wantedToCreated;
  };
  const std::vector<Case> cases = {
      {{"3.5"}, {"3.5"}, {{"3.5", "3.5"}}},
      {{"3.5", "3.6"}, {"3.5", "3.6"}, {{"3.5", "3.5"}, {"3.6", "3.6"}}},
      {{"3.6"}, {"3.6"}, {{"3.5", "3.6"}, {"3.6", "3.6"}}},
      {{"12.0", "3.5"}, {"3.5", "12.0"}, {{"3.6", "12.0"}, {"12.0", "12.0"}, {"3.5", "3.5"}}},
  };
  for (const Case& c : cases) {
    auto store = StoreWith(c.installed);
    EXPECT_EQ(DetectEngineVersions(*store, false), c.detected);
    for (const auto& [wanted, created] : c.wantedToCreated) {
      CreatedEngine engine = CreateEngine(*store, wanted, false);
      ASSERT_TRUE(engine.engine) << wanted;
      EXPECT_EQ(engine.version, created) << wanted;
      EXPECT_EQ(engine.engine->Version(), created);
    }
  }
}

TEST(DiscoveryVersions, NoEngineAtAll) {
  MemoryConfigurationStore empty;
  EXPECT_TRUE(DetectEngineVersions(empty, false).empty());
  try {
    CreateEngine(empty, "3.5", false);
    ADD_FAILURE() << "created an engine from nothing";
  } catch (const DatabaseError& error) {
    EXPECT_STREQ(error.what(),
                 "You does not have Microsoft DAO installed ot it is an OLD Version!");
  }
  // Only 3.5 installed: a wanted 12.0 has no fall-back.
  EXPECT_THROW(CreateEngine(*StoreWith({"3.5"}), "12.0", false), DatabaseError);
}

TEST(DiscoveryVersions, UnknownVersionCreatesNothingWithoutError) {
  for (const char* wanted : {"4.0", "", "3.60", "12"}) {
    CreatedEngine created = CreateEngine(*DefaultConfigurationStore(), wanted, false);
    EXPECT_FALSE(created.engine) << wanted;
    EXPECT_EQ(created.version, "");
  }
}

TEST(DiscoveryVersions, RegisteredButUncreatableEngineIsDropped) {
  auto store = StoreWith({"12.0"});
  store->SetText(Hive::ClassesRoot, "DAO.DBEngine.36", "Engine", "some.other.class");
  EXPECT_EQ(DetectEngineVersions(*store, false), std::vector<std::string>{"12.0"});
  EXPECT_EQ(CreateEngine(*store, "3.6", false).version, "12.0");
}

TEST(DiscoveryVersions, PrivateEngineUsesThePrivateProgIds) {
  auto store = std::make_shared<MemoryConfigurationStore>();
  store->SetText(Hive::ClassesRoot, "DAO.PrivateDBEngine.36", "Engine",
                 std::string(kLibmdbEngineClass));
  EXPECT_EQ(DetectEngineVersions(*store, true), std::vector<std::string>{"3.6"});
  EXPECT_TRUE(DetectEngineVersions(*store, false).empty());
  EXPECT_EQ(EngineProgId("3.5", false), "DAO.DBEngine.35");
  EXPECT_EQ(EngineProgId("12.0", true), "DAO.PrivateDBEngine.120");
  EXPECT_EQ(EngineProgId("9.9", true), "");
}

TEST(DiscoveryVersions, VersionInfoByVersionDetails) {
  EXPECT_EQ(VersionInfoFor("3.5", "old"), "(In Access'97 mode)");
  EXPECT_EQ(VersionInfoFor("3.6", "old"), "(In Access'2000 mode)");
  EXPECT_EQ(VersionInfoFor("12.0", "old"), "(In Access'2007 mode)");
  EXPECT_EQ(VersionInfoFor("14.0", "old"), "old");
}

struct ProbeCase {
  const char* what;
  std::string file;
  std::string databaseType;
  std::vector<std::string> installed;
  bool usesDynaDao;
  std::string versionBefore;
  std::string versionAfter;
};

TEST(DiscoveryMdbVersion, FileHeaderProbe) {
  TempDir dir;
  auto bytes = ReadAll(kFixtures + "testV2003.mdb");
  bytes.resize(100);
  WriteAll(dir.File("short.mdb"), bytes);
  const std::string jet3 = kFixtures + "nwind.mdb", jet4 = kFixtures + "testV2003.mdb",
                    ace = kFixtures + "testV2010.accdb";
  const std::vector<ProbeCase> cases = {
      {"Jet 3 with 3.5 installed", jet3, "Access", {"3.5", "3.6"}, true, "3.6", "3.5"},
      {"Jet 4 with 3.5 installed", jet4, "Access", {"3.5", "3.6"}, true, "12.0", "3.6"},
      {"ACE with 3.5: 3.5, 3.6, 12.0 in one call", ace, "Access", {"3.5"}, true, "3.5", "12.0"},
      {"ACE without 3.5 at 12.0 keeps it", ace, "Access", {"12.0"}, true, "12.0", "12.0"},
      {"ACE without 3.5 at 3.6 moves", ace, "Access", {"12.0"}, true, "3.6", "12.0"},
      {"Jet 4 without 3.5 keeps the version", jet4, "Access", {"12.0"}, true, "12.0", "12.0"},
      {"no UsesDynaDao: no raise", ace, "Access", {"3.5"}, false, "3.6", "3.5"},
      {"type in capitals skips", ace, "ACCESS", {"3.5"}, true, "3.6", "3.6"},
      {"ODBC skips", ace, "ODBC", {"3.5"}, true, "3.6", "3.6"},
      {"100-byte file", dir.File("short.mdb"), "Access", {"3.5"}, true, "3.6", "3.6"},
      {"missing file", dir.File("absent.mdb"), "Access", {"3.5"}, true, "3.6", "3.6"},
      {"directory", dir.path.string(), "Access", {"3.5"}, true, "3.6", "3.6"},
  };
  for (const ProbeCase& c : cases) {
    std::string version = c.versionBefore;
    DetectMdbVersion(c.file, c.databaseType, c.installed, c.usesDynaDao, version);
    EXPECT_EQ(version, c.versionAfter) << c.what;
  }
}

TEST(DiscoveryMdbVersion, ProbedFileIsClosedOnEveryPath) {
  auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  TempDir dir;
  WriteAll(dir.File("short.mdb"), std::vector<char>(100, 0));
  auto before = openDescriptors();
  for (int i = 0; i < 20; ++i) {
    std::string version = "3.6";
    DetectMdbVersion(dir.File("short.mdb"), "Access", {"3.5"}, true, version);
    DetectMdbVersion(kFixtures + "testV2010.accdb", "Access", {"3.5"}, true, version);
  }
  EXPECT_EQ(openDescriptors(), before);
}

TEST(DiscoveryRegistry, LookUpsReadTheirKeys) {
  MemoryConfigurationStore store;
  store.SetText(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\3.5\\Engines", "SystemDB",
                "/data/system35.mdw");
  store.SetText(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB",
                "/data/system.mdw");
  store.AddKey(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\dBase 5.0");
  store.AddKey(Hive::LocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\Excel 8.0");
  store.SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", "SQL Server",
                "Installed");
  store.SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers",
                "Microsoft Access Driver (*.mdb)", "Installed");
  // Data sources: the key text has a leading "\" and a different letter case.
  store.SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sales", "x");
  store.SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "NoFile", "x");
  store.SetText(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Sales", "DBQ", "/srv/sales.mdb");
  store.AddKey(Hive::LocalMachine, "SOFTWARE\\ODBC\\ODBC.INI\\NoFile");
  store.SetText(Hive::CurrentUser, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Mine", "x");
  store.SetText(Hive::CurrentUser, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "DBQ", "/home/me/mine.mdb");

  EXPECT_EQ(DefaultSystemDatabase(store, "3.6"), "/data/system.mdw");
  EXPECT_EQ(DefaultSystemDatabase(store, "7.7"), "/data/system35.mdw") << "3.5's key";
  EXPECT_EQ(DefaultSystemDatabase(store, "12.0"), "");

  std::vector<std::string> types{"old"};
  ReadDatabaseTypes(store, "3.6", types);
  EXPECT_EQ(types, (std::vector<std::string>{"Access", "ODBC", "dBase 5.0", "Excel 8.0"}));

  std::vector<std::string> drivers;
  ReadOdbcDrivers(store, drivers);
  EXPECT_EQ(drivers, (std::vector<std::string>{"SQL Server", "Microsoft Access Driver (*.mdb)"}));

  std::vector<std::string> system, user, files;
  ReadSystemDsns(store, system);
  ReadUserDsns(store, user);
  EXPECT_EQ(system, (std::vector<std::string>{"Sales", "NoFile"}));
  EXPECT_EQ(user, std::vector<std::string>{"Mine"});
  EXPECT_EQ(ReadDsnFile(store, "Sales", true), "/srv/sales.mdb");
  EXPECT_EQ(ReadDsnFile(store, "Sales", false), "") << "HKCU has no such source";
  BuildDsnFiles(store, user, system, files);
  EXPECT_EQ(files, (std::vector<std::string>{"Mine=/home/me/mine.mdb", "Sales=/srv/sales.mdb"}));
}

TEST(DiscoveryRegistry, StoreAnswersLikeTheRegistry) {
  MemoryConfigurationStore store;
  store.SetText(Hive::LocalMachine, "A\\B\\C", "Value", "text");
  EXPECT_TRUE(store.KeyExists(Hive::LocalMachine, "a\\b"));
  EXPECT_TRUE(store.KeyExists(Hive::LocalMachine, "\\A\\B\\C\\"));
  EXPECT_FALSE(store.KeyExists(Hive::CurrentUser, "A\\B\\C"));
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, ""));
  EXPECT_EQ(store.ReadText(Hive::LocalMachine, "A\\B\\C", "value"), "text");
  EXPECT_EQ(store.ReadText(Hive::LocalMachine, "A\\B\\C", "Missing"), "");
  EXPECT_EQ(store.ReadText(Hive::LocalMachine, "A\\X", "Value"), "");
  EXPECT_EQ(store.SubkeyNames(Hive::LocalMachine, "A"), std::vector<std::string>{"B"});
  EXPECT_TRUE(store.SubkeyNames(Hive::LocalMachine, "Nope").empty());
}

TEST(DiscoveryRegistry, ScopedStoreReplacesTheCurrentOne) {
  EXPECT_NO_THROW(CreateEngineObject("DAO.DBEngine.120"));
  {
    ScopedConfigurationStore scoped(std::make_shared<MemoryConfigurationStore>());
    EXPECT_THROW(CreateEngineObject("DAO.DBEngine.120"), EngineError);
    {
      ScopedConfigurationStore inner(StoreWith({"3.5"}));
      EXPECT_EQ(CreateEngineObject("DAO.DBEngine.35")->Version(), "3.5");
    }
    EXPECT_THROW(CreateEngineObject("DAO.DBEngine.35"), EngineError);
  }
  EXPECT_NO_THROW(CreateEngineObject("DAO.DBEngine.120"));
}

}  // namespace
}  // namespace corvid::dao
