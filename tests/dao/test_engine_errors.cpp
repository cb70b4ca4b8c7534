// Failures of the engine carry DAO's numbers, name what failed, and are
// recorded as item 0 of the engine's Errors. The engine never writes to a
// database file and leaves no lock files beside it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "dao/engine/dao_constants.h"
#include "dao/engine/variant.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

const std::string kNwind = kFixtures + "nwind.mdb";
const std::string kJet4 = kFixtures + "testV2003.mdb";

// Runs `action`, expects an EngineError with `number`, and returns it.
EngineError ExpectEngineError(int number, const std::function<void()>& action) {
  try {
    action();
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), number) << error.what();
    return error;
  }
  ADD_FAILURE() << "no EngineError " << number;
  return EngineError(0, "");
}

struct OpenFailure {
  const char* what;
  int number;
  std::function<std::string(const TempDir&)> makePath;  // the path to open
  const char* messagePart;
};

TEST(EngineOpenFailures, EachHasItsNumberAndNamesThePath) {
  TempDir dir;
  const std::vector<OpenFailure> cases = {
      {"missing file", kFileNotFound, [](const TempDir& d) { return d.File("absent.mdb"); },
       "Could not find file"},
      {"missing folder", kPathNotValid,
       [](const TempDir& d) { return d.File("no-such-folder/absent.mdb"); }, "is not a valid path"},
      {"directory", kUnrecognizedFormat, [](const TempDir& d) { return d.path.string(); },
       "directory"},
      {"not a database", kUnrecognizedFormat,
       [](const TempDir& d) {
         WriteAll(d.File("notes.mdb"), std::vector<char>(8192, 'x'));
         return d.File("notes.mdb");
       },
       "not an Access database"},
      {"empty file", kUnrecognizedFormat,
       [](const TempDir& d) {
         WriteAll(d.File("empty.mdb"), {});
         return d.File("empty.mdb");
       },
       "Unrecognized database format"},
      {"truncated in a page", kUnrecognizedFormat,
       [](const TempDir& d) {
         auto bytes = ReadAll(kNwind);
         bytes.resize(bytes.size() / 2 + 777);
         WriteAll(d.File("cut.mdb"), bytes);
         return d.File("cut.mdb");
       },
       "truncated"},
      {"header page only", kUnrecognizedFormat,
       [](const TempDir& d) {
         auto bytes = ReadAll(kJet4);
         bytes.resize(4096);
         WriteAll(d.File("header-only.mdb"), bytes);
         return d.File("header-only.mdb");
       },
       "truncated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EngineSession session;
    std::string path = c.makePath(dir);
    EngineError error = ExpectEngineError(c.number, [&] { session.Open(path); });
    EXPECT_NE(std::string(error.what()).find(c.messagePart), std::string::npos) << error.what();
    if (c.number != kPathNotValid || path.find("no-such-folder") == std::string::npos) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    // Recorded as the first entry of the engine's Errors.
    ASSERT_EQ(session.engine->EngineErrors().Count(), 1);
    EXPECT_EQ(session.engine->EngineErrors().Item(0).number, c.number);
    EXPECT_EQ(session.engine->EngineErrors().Item(0).description, error.Description());
  }
}

// Table names, row counts and all value texts of a file, as one text.
std::string Summary(const std::string& path) {
  EngineSession session;
  auto database = session.Open(path);
  std::string summary;
  auto& tables = database->TableDefs();
  for (int i = 0; i < tables.Count(); ++i) {
    if (tables.Item(i).Attributes() & dbSystemObject) continue;
    auto rs = database->OpenRecordset(tables.Item(i).Name(), dbOpenDynaset);
    summary += "[" + tables.Item(i).Name() + "]";
    for (; !rs->Eof(); rs->MoveNext())
      for (int f = 0; f < rs->Fields().Count(); ++f)
        summary += VariantToText(rs->Fields().Item(f).Value()) + "|";
  }
  return summary;
}

TEST(EngineOpenFailures, FileCutAtAPageBoundaryFailsOrIsComplete) {
  // A cut at a page boundary passes the size check; what is missing must
  // then be noticed where it is needed, never read as fewer tables or rows.
  TempDir dir;
  for (auto [name, pageSize] : {std::pair{"nwind.mdb", 2048}, std::pair{"testV2010.accdb", 4096},
                                std::pair{"testV2003.mdb", 4096}}) {
    const std::string fixture = kFixtures + name;
    const std::string complete = Summary(fixture);
    auto bytes = ReadAll(fixture);
    const std::size_t pages = bytes.size() / static_cast<std::size_t>(pageSize);
    int failures = 0;
    for (std::size_t cut = 3; cut < pages; cut += pages / 25 + 1) {
      SCOPED_TRACE(std::string(name) + " cut after page " + std::to_string(cut));
      std::vector<char> part(bytes.begin(), bytes.begin() + static_cast<long>(cut) * pageSize);
      WriteAll(dir.File("cut.mdb"), part);
      try {
        EXPECT_TRUE(Summary(dir.File("cut.mdb")) == complete) << "data lost without an error";
      } catch (const EngineError& error) {
        ++failures;
        EXPECT_TRUE(error.Number() == kUnrecognizedFormat || error.Number() == kDatabaseDamaged)
            << error.Number() << " " << error.what();
      }
    }
    EXPECT_GT(failures, 0) << name;
  }
}

TEST(EngineOpenFailures, UnreadableFileIs3051) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  WriteAll(dir.File("locked.mdb"), ReadAll(kJet4));
  ::chmod(dir.File("locked.mdb").c_str(), 0);
  EngineSession session;
  ExpectEngineError(kCannotOpenFile, [&] { session.Open(dir.File("locked.mdb")); });
}

TEST(EngineOpenFailures, LookupsOfMissingObjects) {
  EngineSession session;
  auto database = session.Open(kNwind);
  EngineError noTable =
      ExpectEngineError(kObjectNotFound, [&] { database->OpenRecordset("Nope"); });
  EXPECT_NE(std::string(noTable.what()).find("'Nope'"), std::string::npos);
  EXPECT_EQ(session.engine->EngineErrors().Item(0).number, kObjectNotFound);

  ExpectEngineError(kItemNotFound, [&] { database->TableDefs().Item("Nope"); });
  ExpectEngineError(kItemNotFound, [&] { database->TableDefs().Item(10000); });
  ExpectEngineError(kItemNotFound, [&] { database->TableDefs().Item(-1); });
  auto recordset = database->OpenRecordset("Categories");
  EngineError noField =
      ExpectEngineError(kItemNotFound, [&] { recordset->Fields().Item("NoSuchField"); });
  EXPECT_NE(std::string(noField.what()).find("NoSuchField"), std::string::npos);
  ExpectEngineError(kItemNotFound, [&] { session.engine->EngineErrors().Item(5); });
}

TEST(EngineOpenFailures, WritesAndUnavailableFeaturesRaiseClearErrors) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto recordset = database->OpenRecordset("Categories", dbOpenDynaset);
  EXPECT_FALSE(recordset->Updatable());
  EXPECT_FALSE(database->Updatable());
  for (auto action : std::vector<std::function<void()>>{
           [&] { recordset->Edit(); }, [&] { recordset->AddNew(); }, [&] { recordset->Update(); },
           [&] { recordset->Delete(); },
           [&] { recordset->Fields().Item("CategoryName").SetValue(std::string("x")); },
           [&] { database->CreateQueryDef("q", "SELECT 1"); },
           [&] { database->TableDefs().Item("Categories").TableIndexes().Delete("PrimaryKey"); },
           [&] { database->TableDefs().Item("Categories").CreateField("f", dbText, 10); }})
    ExpectEngineError(kCannotUpdate, action);
  recordset->CancelUpdate();  // nothing pending: no error

  for (auto action : std::vector<std::function<void()>>{
           [&] { recordset->SetIndex("PrimaryKey"); },
           [&] { recordset->Seek("=", {std::int64_t{3}}); },
           [&] { database->OpenRecordset("SELECT CategoryName FROM Categories"); }}) {
    EngineError error = ExpectEngineError(kOperationNotSupported, action);
    EXPECT_NE(std::string(error.what()).find("not"), std::string::npos);
  }
  EngineError index = ExpectEngineError(kOperationNotSupported, [&] { recordset->SetIndex("x"); });
  EXPECT_NE(std::string(index.what()).find("Index"), std::string::npos);
}

TEST(EngineOpenFailures, ObjectsOfAClosedDatabaseAreInvalid) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto recordset = database->OpenRecordset("Categories");
  database->Close();
  ExpectEngineError(kObjectInvalid, [&] { recordset->MoveNext(); });
  ExpectEngineError(kObjectInvalid, [&] { database->TableDefs(); });
  ExpectEngineError(kObjectInvalid, [&] { database->OpenRecordset("Categories"); });
}

TEST(EngineLock, ExclusiveOpenKeepsOthersOut) {
  EngineSession first, second;
  auto exclusive = first.Open(kNwind, /*exclusive=*/true);
  EngineError error = ExpectEngineError(kFileInUse, [&] { second.Open(kNwind, true); });
  // DAO's own text, said once.
  EXPECT_NE(std::string(error.what()).find("'; file already in use."), std::string::npos);
  EXPECT_EQ(std::string(error.what()).find("in use by another program"), std::string::npos);
  EXPECT_NE(std::string(error.what()).find(kNwind), std::string::npos);
  ExpectEngineError(kFileInUse, [&] { second.Open(kNwind, false); });
  exclusive->Close();
  // Released with Close: both kinds of open work again.
  auto shared1 = second.Open(kNwind, false);
  auto shared2 = first.Open(kNwind, false);
  ExpectEngineError(kFileInUse, [&] { first.Open(kNwind, true); });
  shared1->Close();
  shared2->Close();
  EXPECT_NO_THROW(first.Open(kNwind, true)->Close());
}

TEST(EngineLock, DestroyingTheDatabaseReleasesTheLock) {
  EngineSession session;
  { auto database = session.Open(kJet4, true); }
  session.workspace->Databases().Refresh();
  EXPECT_NO_THROW(session.Open(kJet4, true)->Close());
}

TEST(EngineReadOnly, NothingIsWrittenAndNoLockFileAppears) {
  TempDir dir;
  for (const std::string& fixture : FixtureFiles()) {
    SCOPED_TRACE(fixture);
    std::string copy = dir.File(std::filesystem::path(fixture).filename().string());
    WriteAll(copy, ReadAll(fixture));
    ::chmod(copy.c_str(), 0444);  // read-only media: still opens
    const std::string before = Sha256(copy);
    struct stat statBefore {};
    ::stat(copy.c_str(), &statBefore);
    {
      EngineSession session;
      auto database = session.Open(copy, true);
      auto& tables = database->TableDefs();
      for (int i = 0; i < tables.Count(); ++i) {
        TableDef& table = tables.Item(i);
        if (table.Attributes() & dbSystemObject) continue;
        auto recordset = database->OpenRecordset(table.Name(), dbOpenDynaset);
        for (; !recordset->Eof(); recordset->MoveNext())
          for (int f = 0; f < recordset->Fields().Count(); ++f) recordset->Fields().Item(f).Value();
      }
      database->Close();
    }
    EXPECT_EQ(Sha256(copy), before);
    struct stat statAfter {};
    ::stat(copy.c_str(), &statAfter);
    EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
    EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
  }
  // Only the copies themselves: no .ldb/.laccdb lock files beside them.
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    EXPECT_EQ(entry.path().extension() == ".ldb" || entry.path().extension() == ".laccdb", false)
        << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, FixtureFiles().size());
}

}  // namespace
}  // namespace corvid::dao
