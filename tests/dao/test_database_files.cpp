// TVxDaoDatabase on real Access files through the engine that is really
// here: every fixture connects, lists the tables mdb-tables lists and reports
// its version; missing, truncated, foreign, locked and password-protected
// files fail with clear messages; nothing is ever written.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/engine/engine_error.h"
#include "fake_dao_engine.h"
#include "jet/mdb_writer.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kFixtures = corvid::testing_fixtures::MdbFixtureDir();

struct Fixture {
  const char* file;
  const char* version;  // the database's Version as the engine reports it
};
const Fixture kFixtureFiles[] = {
    {"nwind.mdb", "3.0"},
    {"testV2003.mdb", "4.0"},
    {"testV2010.accdb", "14.0"},  // ACE 14 header (Access 2010)
    {"testUnicodeCompV2003.mdb", "4.0"},
    {"indexTestV2003.mdb", "4.0"},
    {"queryTestV2003.mdb", "4.0"},
    {"test2V2000.mdb", "4.0"},
};

// Names mdb-tables prints (one per line), sorted.
std::vector<std::string> MdbTables(const std::string& path, bool system) {
  const std::string command =
      std::string("mdb-tables -1 ") + (system ? "-S " : "") + "'" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> names;
  if (!pipe) return names;
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe.get()) != nullptr) {
    std::string name(line.data());
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (!name.empty()) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> DirectoryEntries(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

std::string ThrownMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

int ThrownEngineNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const dao::EngineError& error) {
    return error.Number();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "not an engine error: " << error.what();
    return -1;
  }
  return 0;
}

class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/corvid-dbfiles-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Tests run in parallel with others that open the same fixtures, exclusively
// at times: each test connects to its own copy so that no lock collides.
class FixtureCopies {
 public:
  std::string Of(const std::string& file) {
    const std::string copy = dir_.File(file);
    if (!fs::exists(copy)) fs::copy_file(kFixtures + file, copy);
    return copy;
  }

 private:
  ScratchDir dir_;
};

// A component as the extraction run drives it: type, then path.
std::unique_ptr<TVxDaoDatabase> AccessDatabase(const std::string& path, bool exclusive = true) {
  auto db = std::make_unique<TVxDaoDatabase>();
  db->F_Set_Exclusive(exclusive);
  db->F_Set_SmartOpen(false);
  db->F_Set_DatabaseType("Access");
  db->F_Set_Database(path);
  return db;
}

TEST(DatabaseFilesTest, EveryFixtureConnectsListsItsUserTablesAndReportsItsVersion) {
  FixtureCopies copies;
  for (const auto& fixture : kFixtureFiles) {
    SCOPED_TRACE(fixture.file);
    const std::string path = copies.Of(fixture.file);
    auto db = AccessDatabase(path);
    db->F_Set_Connected(true);
    ASSERT_TRUE(db->Connected());
    ASSERT_NE(db->DatabaseObject(), nullptr);
    EXPECT_EQ(db->DatabaseVersionInfo(), fixture.version);
    EXPECT_EQ(Sorted(db->TableNames()), MdbTables(path, false));
    EXPECT_NE(db->DatabaseLanguage(), "") << "a collating order the table names";

    db->F_Set_ShowSystemObjects(true);
    EXPECT_EQ(Sorted(db->TableNames()), MdbTables(path, true));
    EXPECT_GT(db->TableNames().size(), MdbTables(path, false).size());
    db->F_Set_Connected(false);
    EXPECT_EQ(db->DatabaseObject(), nullptr);
    EXPECT_EQ(db->DatabaseVersionInfo(), fixture.version) << "kept after disconnect";
  }
}

TEST(DatabaseFilesTest, StoredWindowConfigurationConnectsOnTheEngineHere) {
  TVxDaoDatabase db;
  db.BeginLoading();
  db.F_Set_Exclusive(true);
  db.F_Set_SystemDatabase("system.mdb");
  db.F_Set_Version("3.6");
  db.F_Set_Workspace("DaoWorkspace");
  db.FinishSetup();
  EXPECT_EQ(db.Version(), "12.0");
  EXPECT_EQ(db.VersionInfo(), "(In Access'2007 mode)");
  FixtureCopies copies;
  db.F_Set_DatabaseType("Access");
  db.F_Set_Database(copies.Of("nwind.mdb"));
  db.F_Set_Connected(true);
  EXPECT_TRUE(db.Connected());
  EXPECT_THAT(db.TableNames(), ::testing::Contains("Categories"));
  EXPECT_THAT(db.TableNames(), ::testing::Contains("Umsätze"));
}

TEST(DatabaseFilesTest, VersionThreeSixtyIsStoredAsThreeSixAndUnknownVersionsRollBack) {
  TVxDaoDatabase db;
  db.F_Set_Version("12.00");
  EXPECT_EQ(db.Version(), "12.0");
  // No 3.6 engine is installed here: the rebuild falls back to 12.0.
  db.F_Set_Version("3.60");
  EXPECT_EQ(db.Version(), "12.0");
  EXPECT_NE(ThrownMessage([&] { db.F_Set_Version("9.9"); }), "(nothing thrown)");
  EXPECT_EQ(db.Version(), "12.0");
  EXPECT_NE(db.WorkspaceObject(), nullptr);
}

TEST(DatabaseFilesTest, MissingFileAndDirectoryGiveCannotFindDatabase) {
  ScratchDir dir;
  const std::string missing = dir.File("absent.mdb");
  auto db = AccessDatabase(missing);
  EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }),
            "Cannot find Database:\r\n" + missing);
  auto onDirectory = AccessDatabase(dir.Path());
  EXPECT_EQ(ThrownMessage([&] { onDirectory->F_Set_Connected(true); }),
            "Cannot find Database:\r\n" + dir.Path());
  EXPECT_FALSE(onDirectory->Connected());
}

TEST(DatabaseFilesTest, TruncatedAndForeignFilesFailWithTheEnginesError) {
  ScratchDir dir;
  const std::string original = FileBytes(kFixtures + "testV2003.mdb");
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"truncated.mdb", original.substr(0, 5000)},
      {"header-only.mdb", original.substr(0, 100)},
      {"empty.mdb", ""},
      {"text.mdb", "This is not an Access database, just some text.\n"},
      {"pdf.mdb", "%PDF-1.4\n" + std::string(8192, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir.File(c.name), std::ios::binary) << c.bytes;
    auto db = AccessDatabase(dir.File(c.name));
    const std::string message = ThrownMessage([&] { db->F_Set_Connected(true); });
    EXPECT_THAT(message, HasSubstr(c.name)) << "the message names the file";
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->DatabaseObject(), nullptr);
    EXPECT_EQ(db->FirstEngineError().Number, dao::kUnrecognizedFormat) << message;
  }
}

TEST(DatabaseFilesTest, ASecondExclusiveOpenFailsWhileTheFirstHoldsTheFile) {
  FixtureCopies copies;
  const std::string path = copies.Of("testV2003.mdb");
  auto first = AccessDatabase(path, /*exclusive=*/true);
  first->F_Set_Connected(true);
  auto second = AccessDatabase(path, /*exclusive=*/true);
  EXPECT_EQ(ThrownEngineNumber([&] { second->F_Set_Connected(true); }), dao::kFileInUse);
  EXPECT_FALSE(second->Connected());
  auto shared = AccessDatabase(path, /*exclusive=*/false);
  EXPECT_EQ(ThrownEngineNumber([&] { shared->F_Set_Connected(true); }), dao::kFileInUse);

  first->F_Set_Connected(false);
  second->F_Set_Connected(true);  // the lock went with the disconnect
  EXPECT_TRUE(second->Connected());
}

TEST(DatabaseFilesTest, SharedOpensCoexist) {
  FixtureCopies copies;
  const std::string path = copies.Of("nwind.mdb");
  auto first = AccessDatabase(path, false);
  auto second = AccessDatabase(path, false);
  first->F_Set_Connected(true);
  second->F_Set_Connected(true);
  EXPECT_TRUE(first->Connected() && second->Connected());
}

TEST(DatabaseFilesTest, DisconnectClosesTheOpenTablesBeforeTheDatabaseAndDestructionDetachesThem) {
  FixtureCopies copies;
  auto db = AccessDatabase(copies.Of("nwind.mdb"));
  db->F_Set_Connected(true);
  TVxDaoTable categories;
  TVxDaoTable employees;
  categories.F_Set_Database(db.get());
  categories.F_Set_TableName("Categories");
  employees.F_Set_Database(db.get());
  employees.F_Set_TableName("EMPLOYEES");
  categories.SetActive(true);
  employees.SetActive(true);
  ASSERT_EQ(db->ActiveTables().size(), 2u);

  db->F_Set_Connected(false);
  EXPECT_FALSE(categories.Active());
  EXPECT_FALSE(employees.Active());
  EXPECT_TRUE(db->ActiveTables().empty());

  // Reconnected, a table opens again; destroying the connection detaches it.
  db->F_Set_Connected(true);
  categories.SetActive(true);
  EXPECT_EQ(db->ActiveTables().size(), 1u);
  db.reset();
  EXPECT_FALSE(categories.Active());
  EXPECT_EQ(categories.Database(), nullptr);
}

class ProtectedFileTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string Write(jet::JetFormat format, const std::string& password) {
    const std::string path = dir.File(format == jet::JetFormat::Jet3 ? "p3.mdb" : "p4.mdb");
    jet::WriterOptions options;
    options.format = format;
    options.password = password;
    jet::MdbWriter writer(path, options);
    auto& table = writer.AddTable({"Photos", {{"id", jet::ColumnType::Long}}});
    table.AddRow({std::int64_t{1}});
    writer.Finish();
    return path;
  }
};

TEST_F(ProtectedFileTest, WrongOrMissingDatabasePasswordFailsAndTheRightOneOpens) {
  for (auto format : {jet::JetFormat::Jet4, jet::JetFormat::Jet3}) {
    SCOPED_TRACE(format == jet::JetFormat::Jet3 ? "Jet 3" : "Jet 4");
    const std::string path = Write(format, "Kodord1");
    for (const char* wrong : {"", "kodord1", "Kodord", "Kodord12"}) {
      SCOPED_TRACE(wrong);
      auto db = AccessDatabase(path);
      db->F_Set_DatabasePassword(wrong);
      EXPECT_EQ(ThrownMessage([&] { db->F_Set_Connected(true); }), "Not a valid password.");
      EXPECT_EQ(db->FirstEngineError().Number, dao::kNotValidPassword);
      EXPECT_FALSE(db->Connected());
    }
    auto db = AccessDatabase(path);
    db->F_Set_DatabasePassword("Kodord1");
    db->F_Set_Connected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_THAT(db->TableNames(), ::testing::ElementsAre("Photos"));
  }
}

TEST_F(ProtectedFileTest, LoginPromptRetriesTheUserAccountAndTakesTheDatabasePassword) {
  const std::string path = Write(jet::JetFormat::Jet4, "pw");
  auto db = AccessDatabase(path);
  auto prompt = std::make_shared<fake::ScriptedPrompt>();
  db->SetCredentialsPrompt(prompt);
  db->F_Set_LoginPrompt(true);
  prompt->answers = {LoginAnswer{"maria", "", "pw"}, LoginAnswer{"Admin", "", "pw"}};
  db->F_Set_Connected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_THAT(prompt->information, ::testing::ElementsAre("Not a valid account name or password."));
  EXPECT_EQ(db->DatabasePassword(), "pw");
}

TEST(DatabaseFilesTest, ConnectListDisconnectWritesNothing) {
  // Writable copies (the fixtures themselves are read-only, and other test
  // processes lock them): any write the engine attempted would succeed here
  // and show.
  FixtureCopies copies;
  for (const auto& fixture : kFixtureFiles) {
    SCOPED_TRACE(fixture.file);
    const std::string path = copies.Of(fixture.file);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string directory = fs::path(path).parent_path().string();
    const std::string before = FileBytes(path);
    ASSERT_EQ(before, FileBytes(kFixtures + fixture.file));
    struct stat statBefore {};
    ASSERT_EQ(stat(path.c_str(), &statBefore), 0);
    const auto entriesBefore = DirectoryEntries(directory);
    for (bool exclusive : {true, false}) {
      auto db = AccessDatabase(path, exclusive);
      db->F_Set_Connected(true);
      db->F_Set_ShowSystemObjects(true);
      db->RefreshObjectLists();
      (void)db->DatabaseLanguage();
      db->IdleEngine();
      EXPECT_EQ(DirectoryEntries(directory), entriesBefore) << "no lock file beside the database";
      db->F_Set_Connected(false);
    }
    struct stat statAfter {};
    ASSERT_EQ(stat(path.c_str(), &statAfter), 0);
    EXPECT_TRUE(FileBytes(path) == before) << "the database file changed";
    EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
    EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
    EXPECT_EQ(DirectoryEntries(directory), entriesBefore);
  }
}

TEST(DatabaseFilesTest, QueryDefinitionsAreListedAndWritingServicesFailCleanly) {
  FixtureCopies copies;
  auto db = AccessDatabase(copies.Of("queryTestV2003.mdb"));
  db->F_Set_Connected(true);
  EXPECT_THAT(db->QueryDefNames(),
              ::testing::IsSupersetOf({"SelectQuery", "UpdateQuery", "AppendQuery", "DeleteQuery",
                                       "MakeTableQuery", "CrosstabQuery", "UnionQuery",
                                       "PassthroughQuery", "DataDefinitionQuery"}));
  EXPECT_EQ(db->GetQueryDefSql("NoSuchQuery"), "");
  EXPECT_NE(ThrownEngineNumber([&] { db->AddQueryDef("New", "SELECT 1;"); }), 0);
  EXPECT_NE(ThrownEngineNumber([&] { db->SetQueryDefSql("SelectQuery", "SELECT 2;"); }), 0);
  EXPECT_TRUE(db->Connected());
  EXPECT_THAT(db->TableNames(), ::testing::SizeIs(3)) << "lists rebuilt after the failure";
}

TEST(DatabaseFilesTest, OdbcAndIsamTypesFailWithTheEnginesClearError) {
  ScratchDir dir;
  struct Case {
    const char* type;
    std::string database;
  };
  for (const Case& c :
       {Case{"ODBC", "Sales"}, Case{"ODBC", "ODBC;DSN=Sales"}, Case{"dBase 5.0", dir.Path()}}) {
    SCOPED_TRACE(c.type);
    TVxDaoDatabase db;
    db.F_Set_DatabaseType(c.type);
    db.F_Set_Database(c.database);
    const std::string message = ThrownMessage([&] { db.F_Set_Connected(true); });
    EXPECT_NE(message, "(nothing thrown)");
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(db.Connected());
    EXPECT_NE(db.FirstEngineError().Number, 0) << message;
  }
}

}  // namespace
}  // namespace corvid
