// TVxDaoTable over an engine that meets damage: a value the file does not
// give raises DataDamageError (not another error, and never an empty value)
// while the table stays usable, a move that fails does the same, the table
// passes on the listed row count and the database's damage notes, and the
// run adapters turn all of it into the engine's types; then a whole
// extraction run over the components.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "dao/discovery/configuration_store.h"
#include "dao/engine/data_damage_error.h"
#include "dao/run_ports.h"
#include "engine/extraction_run.h"
#include "test_table_editing_memory.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using testing_support::RecordingHost;
using testing_support::ScratchDir;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) + "jpeg body";

dao::Bytes BytesOf(const std::string& text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return {p, p + text.size()};
}

fake::MemoryColumn Column(const char* name, int type, std::int32_t size, std::int32_t attributes) {
  fake::MemoryColumn column;
  column.name = name;
  column.type = type;
  column.size = size;
  column.attributes = attributes;
  return column;
}

// Five records, ID 1 to 5, with a name and a picture each. Bookmarks are the
// IDs.
class DamagedTable : public ::testing::Test {
 public:
  void SetUp() override {
    const std::int32_t variable = dao::dbVariableField | dao::dbUpdatableField;
    rows->columns = {Column("ID", dao::dbLong, 4, dao::dbFixedField),
                     Column("Name", dao::dbText, 50, variable),
                     Column("Pic", dao::dbLongBinary, 0, variable)};
    for (int i = 1; i <= 5; ++i)
      rows->AddRow(
          {std::int64_t{i}, "name" + std::to_string(i), BytesOf(kJpeg + std::to_string(i))});
    rows->updatable = false;
    script.openRecordset = [this](std::string_view, int type, int,
                                  int) -> std::unique_ptr<dao::Recordset> {
      return std::make_unique<fake::MemoryRecordset>(rows, type);
    };
    std::ofstream(dir / "photos.mdb") << "x";
    database = std::make_unique<TVxDaoDatabase>(nullptr, store, fake::CreationFor(script));
    database->F_Set_DatabaseType("Access");
    database->F_Set_Database(dir / "photos.mdb");
    database->F_Set_Connected(true);
    table = std::make_unique<TVxDaoTable>();
    table->F_Set_Database(database.get());
    table->F_Set_TableName("Photos");
    table->F_Set_ReadOnly(true);
  }
  void TearDown() override {
    table.reset();
    database.reset();
  }

  // The text of the DataDamageError `action` raises; fails the test for
  // any other outcome.
  static std::string DamageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const dao::DataDamageError& damage) {
      EXPECT_EQ(damage.Number(), dao::kDatabaseDamaged);
      return damage.what();
    } catch (const std::exception& other) {
      ADD_FAILURE() << "another error: " << other.what();
      return {};
    }
    ADD_FAILURE() << "nothing raised";
    return {};
  }

  std::string BlobText() {
    auto stream = table->CreateBlobStream(table->FieldByName("Pic"), TBlobStreamMode::bmRead);
    std::string text(static_cast<std::size_t>(stream->Size()), '\0');
    text.resize(stream->Read(std::as_writable_bytes(std::span(text))));
    return text;
  }

  ScratchDir dir;
  fake::Script script;
  std::shared_ptr<dao::MemoryConfigurationStore> store =
      std::make_shared<dao::MemoryConfigurationStore>();
  std::shared_ptr<fake::MemoryTable> rows = std::make_shared<fake::MemoryTable>();
  std::unique_ptr<TVxDaoDatabase> database;
  std::unique_ptr<TVxDaoTable> table;
};

TEST_F(DamagedTable, ADamagedValueRaisesDamageAndTheOtherValuesAndRecordsStayReadable) {
  rows->damagedValues[{2, 1}] =
      "Table 'Photos', page 12, row 1, field 'Name': the row runs past its page.";
  rows->damagedValues[{3, 2}] =
      "Table 'Photos', page 44, row 2, field 'Pic': the long-value chain loops back.";
  for (const bool cacheBlobs : {false, true}) {
    SCOPED_TRACE(cacheBlobs);
    table->F_Set_CacheBlobs(cacheBlobs);
    table->Open();
    std::vector<std::string> seen;
    while (!table->Eof()) {
      const std::string id = table->FieldByName("ID").AsString();
      seen.push_back(id);
      if (id == "2") {
        EXPECT_EQ(DamageOf([&] { (void)table->FieldByName("Name").AsString(); }),
                  "Table 'Photos', page 12, row 1, field 'Name': the row runs past its page.");
        EXPECT_EQ(BlobText(), kJpeg + "2");
      } else if (id == "3") {
        EXPECT_EQ(table->FieldByName("Name").AsString(), "name3");
        EXPECT_EQ(DamageOf([&] { (void)BlobText(); }),
                  "Table 'Photos', page 44, row 2, field 'Pic': the long-value chain loops back.");
      } else {
        EXPECT_EQ(table->FieldByName("Name").AsString(), "name" + id);
        EXPECT_EQ(BlobText(), kJpeg + id);
      }
      table->Next();
    }
    // The damage cost no record and moved the table nowhere.
    EXPECT_THAT(seen, ElementsAre("1", "2", "3", "4", "5"));
    table->Close();
  }
}

TEST_F(DamagedTable, AMoveThatFailsRaisesDamageAndTheNextMoveGoesOn) {
  rows->unreachableRows[3] =
      "Table 'Photos', page 20, row 5: the row's offset points outside the page.";
  table->Open();
  std::vector<std::string> seen;
  std::vector<std::string> damage;
  while (!table->Eof()) {
    seen.push_back(table->FieldByName("ID").AsString());
    try {
      table->Next();
    } catch (const dao::DataDamageError& error) {
      damage.push_back(error.what());
      table->Next();
    }
  }
  EXPECT_THAT(seen, ElementsAre("1", "2", "4", "5"));
  EXPECT_THAT(
      damage,
      ElementsAre("Table 'Photos', page 20, row 5: the row's offset points outside the page."));
}

TEST_F(DamagedTable, ListedCountAndDamageNotesReachTheRunAdapters) {
  rows->listed = 7;
  rows->damagedValues[{1, 2}] =
      "Table 'Photos', page 44, row 0, field 'Pic': page 45 is not a long-value page.";
  rows->damagedValues[{2, 1}] =
      "Table 'Photos', page 12, row 1, field 'Name': the row runs past its page.";
  DaoRecordTable records(*table);
  EXPECT_EQ(records.ListedCount(), -1);  // closed
  records.SetTableName("Photos");
  records.SetActive(true);
  EXPECT_EQ(records.ListedCount(), 7);

  script.damageNotes = {"Table 'Photos', page 30: not a data page of this table; skipped."};
  EXPECT_THAT(records.TakeDamageNotes(),
              ElementsAre("Table 'Photos', page 30: not a data page of this table; skipped."));
  EXPECT_TRUE(records.TakeDamageNotes().empty());  // each note once

  // Record 1: the blob is damaged, as the run's own damage type.
  try {
    (void)records.OpenBlobStream(2);
    ADD_FAILURE() << "nothing raised";
  } catch (const RecordDamageError& damage) {
    EXPECT_STREQ(damage.what(),
                 "Table 'Photos', page 44, row 0, field 'Pic': page 45 is not a long-value page.");
  }
  EXPECT_EQ(records.FieldText(1), "name1");
  records.Next();
  try {
    (void)records.FieldText(1);
    ADD_FAILURE() << "nothing raised";
  } catch (const RecordDamageError& damage) {
    EXPECT_STREQ(damage.what(),
                 "Table 'Photos', page 12, row 1, field 'Name': the row runs past its page.");
  }
  // Failures that are not damage stay what they were.
  EXPECT_THROW((void)records.FieldText(9), DatabaseError);
  try {
    (void)records.FieldText(9);
  } catch (const RecordDamageError&) {
    ADD_FAILURE() << "a field out of range is no damage";
  } catch (...) {
  }
  records.SetActive(false);
}

TEST_F(DamagedTable, AnExtractionRunOverTheComponentsWritesWhatItCanAndSaysTheDatabaseIsDamaged) {
  rows->listed = 6;  // one row the file lists cannot be found at all
  rows->damagedValues[{2, 2}] =
      "Table 'Photos', page 44, row 1, field 'Pic': the long-value chain loops back.";
  rows->unreachableRows[4] =
      "Table 'Photos', page 20, row 3: the row's offset points outside the page.";
  script.damageNotes = {
      "Table 'Photos': usage map page 7 is not a usage map; the data pages were searched."};

  RecordingHost host;
  host.inputs.database = dir / "photos.mdb";
  host.inputs.table = "Photos";
  host.inputs.blobField = "Pic";
  host.inputs.nameField1 = "ID";
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = dir / "out/";
  database->F_Set_Connected(false);
  table->F_Set_TableType(2);
  DaoDatabaseConnection connection(*database);
  DaoRecordTable records(*table);
  const RunReport report = RunExtraction(host, connection, records);

  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_TRUE(report.damaged);
  // Read: 1, 3, 5; unreadable: 2 (its picture), 4 (not reached), and the
  // sixth row the table lists.
  EXPECT_EQ(report.recordsRead, 3);
  EXPECT_EQ(report.recordsUnreadable, 3);
  EXPECT_EQ(host.status, "3 of 6 records read; the database is damaged");
  ASSERT_EQ(host.log.size(), 8u);
  EXPECT_EQ(host.log[1],
            "Table 'Photos': usage map page 7 is not a usage map; the data pages were searched.");
  EXPECT_EQ(host.log[2], dir / "out/1.jpg");
  EXPECT_EQ(host.log[3],
            "Table 'Photos', page 44, row 1, field 'Pic': the long-value chain loops back.");
  EXPECT_EQ(host.log[4], dir / "out/3.jpg");
  EXPECT_EQ(host.log[5],
            "Table 'Photos', page 20, row 3: the row's offset points outside the page.");
  EXPECT_EQ(host.log[6], dir / "out/5.jpg");
  EXPECT_THAT(host.log[7], ::testing::EndsWith(" - Photos (4)"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out/2.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out/4.jpg"));
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "out/5.jpg"), BytesOf(kJpeg + "5"));
}

}  // namespace
}  // namespace corvid
