// Editing through the table component on real Access files: records
// inserted, changed (memo and OLE values, through field texts and through
// blob streams in write mode) and deleted on writer-made databases, read back
// by mdbtools and by reopening the table; a table with indexes refuses with
// the engine's reason and its file stays byte for byte as it was.

#include <gtest/gtest.h>

#include <filesystem>

#include "dao/table/blob_stream.h"
#include "dao/dataset/data_set_error.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "test_engine_support.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using namespace testing_support;
using dao::testing::MdbExport;
using dao::testing::Sha256;

std::string Hex(const std::vector<std::byte>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::byte b : bytes) {
    text += kDigits[std::to_integer<unsigned>(b) >> 4];
    text += kDigits[std::to_integer<unsigned>(b) & 15];
  }
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// "Notes": id, title, body (Memo), pic (OLE Object); three records.
std::string MakeNotesDatabase(const ScratchDir& dir, jet::JetFormat format) {
  using namespace jet;
  const std::string path = dir / (format == JetFormat::Jet3 ? "notes97.mdb" : "notes.mdb");
  MdbWriter writer(path, WriterOptions{format, {}, 46023.0, 0x409});
  auto& notes = writer.AddTable({"Notes",
                                 {{"id", ColumnType::Long},
                                  {"title", ColumnType::Text, 50},
                                  {"body", ColumnType::Memo},
                                  {"pic", ColumnType::OleObject}}});
  notes.AddRow(
      {std::int64_t{1}, std::string("one"), std::string("first body"), Bytes(PatternBytes(100))});
  notes.AddRow({std::int64_t{2}, std::string("two"), std::string("second body"),
                Bytes(PatternBytes(200, 1))});
  notes.AddRow({std::int64_t{3}, std::string("three"), Null, Null});
  writer.Finish();
  return path;
}

struct WritableTable {
  explicit WritableTable(const std::string& path, const std::string& name) : db(path) {
    db.table.F_Set_ReadOnly(false);
    db.table.F_Set_TableName(name);
    db.table.Open();
  }
  void GoTo(const std::string& id) {
    db.table.First();
    while (!db.table.Eof() && db.table.Fields(0).AsString() != id) db.table.Next();
    ASSERT_EQ(db.table.Fields(0).AsString(), id);
  }
  TField& Field(const char* name) { return db.table.FieldByName(name); }
  OpenDatabase db;
};

void WriteStream(TField& field, const std::vector<std::byte>& bytes) {
  TVxBlobStream stream(field, TBlobStreamMode::bmWrite);
  ASSERT_EQ(stream.Write(bytes), bytes.size());
}

std::vector<std::byte> ReadStream(TField& field) {
  TVxBlobStream stream(field, TBlobStreamMode::bmRead);
  return std::vector<std::byte>(stream.Data().begin(), stream.Data().end());
}

class EditingFiles : public ::testing::TestWithParam<jet::JetFormat> {};

TEST_P(EditingFiles, InsertEditAndDeleteReadBackExactly) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, GetParam());
  const std::vector<std::byte> newPic = PatternBytes(5000, 5);
  const std::vector<std::byte> changedPic = PatternBytes(3000, 9);
  const std::string longBody(5000, 'b');
  {
    WritableTable notes(path, "Notes");
    ASSERT_TRUE(notes.db.table.CanModify());
    // Insert: values through field texts and the picture through a stream.
    notes.db.table.Append();
    notes.Field("id").SetText("4");
    notes.Field("title").SetText("fourth Käse");
    notes.Field("body").SetText("memo body\r\nsecond line");
    WriteStream(notes.Field("pic"), newPic);
    notes.db.table.Post();
    EXPECT_EQ(notes.Field("title").AsString(), "fourth Käse");
    // Edit: a memo long enough for its own pages, and a new picture.
    notes.GoTo("2");
    notes.db.table.Edit();
    notes.Field("body").SetText(longBody);
    WriteStream(notes.Field("pic"), changedPic);
    notes.db.table.Post();
    EXPECT_EQ(notes.Field("body").AsString(), longBody);
    // Delete.
    notes.GoTo("3");
    notes.db.table.Delete();
    EXPECT_EQ(notes.Field("id").AsString(), "4");  // the next record
    std::vector<std::string> ids;
    for (notes.db.table.First(); !notes.db.table.Eof(); notes.db.table.Next())
      ids.push_back(notes.Field("id").AsString());
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "4"}));
    EXPECT_EQ(notes.db.table.RecordCount(), 3);
  }
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<std::vector<std::string>> expected{
      {"1", "one", "first body", Hex(PatternBytes(100))},
      {"2", "two", longBody, Hex(changedPic)},
      {"4", "fourth Käse", "memo body\r\nsecond line", Hex(newPic)},
  };
  for (std::size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE(r);
    ASSERT_EQ(rows[r].size(), 4u);
    EXPECT_EQ(rows[r][0], expected[r][0]);
    EXPECT_EQ(rows[r][1], expected[r][1]);
    EXPECT_EQ(rows[r][2], expected[r][2]);
    EXPECT_EQ(Upper(rows[r][3]), expected[r][3]);
  }
  // The table reads the same when opened again.
  WritableTable again(path, "Notes");
  again.GoTo("2");
  EXPECT_EQ(again.Field("body").AsString(), longBody);
  EXPECT_EQ(ReadStream(again.Field("pic")), changedPic);
  again.GoTo("4");
  EXPECT_EQ(again.Field("body").AsString(), "memo body\r\nsecond line");
  EXPECT_EQ(ReadStream(again.Field("pic")), newPic);
  EXPECT_EQ(again.db.table.RecordCount(), 3);
}

TEST_P(EditingFiles, ClearingValuesWritesNulls) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, GetParam());
  {
    WritableTable notes(path, "Notes");
    notes.GoTo("1");
    notes.db.table.Edit();
    notes.Field("body").SetText("");
    notes.Field("pic").Clear();
    notes.Field("title").SetText("");
    notes.db.table.Post();
    EXPECT_TRUE(notes.Field("pic").IsNull());
  }
  const auto rows = MdbExport(path, "Notes");
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "\x01NULL", "\x01NULL", "\x01NULL"}));
}

// The engine's field attributes decide what can be written: the AutoNumber
// is the engine's, every other field the user's.
TEST(EditingTypedValues, TheAutoNumberIsNotWritable) {
  ScratchDir dir;
  const std::string path = MakeThingsDatabase(dir);
  WritableTable things(path, "Things");
  EXPECT_TRUE(things.Field("ID").ReadOnly());
  EXPECT_FALSE(things.Field("Name").ReadOnly());
  things.db.table.Edit();
  try {
    things.Field("ID").SetText("99");
    ADD_FAILURE() << "written";
  } catch (const DataSetError& e) {
    EXPECT_STREQ(e.what(), "Field 'ID' cannot be modified");
  }
  things.db.table.Cancel();
}

TEST_P(EditingFiles, EmptiedFromTheEndAndFilledAgain) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, GetParam());
  {
    WritableTable notes(path, "Notes");
    std::vector<std::string> current;
    notes.db.table.Last();
    while (!notes.db.table.IsEmpty()) {
      notes.db.table.Delete();
      current.push_back(notes.db.table.IsEmpty() ? "-" : notes.Field("id").AsString());
    }
    EXPECT_EQ(current, (std::vector<std::string>{"2", "1", "-"}));  // each time the one before
    EXPECT_TRUE(notes.db.table.Eof());
    EXPECT_EQ(notes.db.table.RecordCount(), 0);
  }
  EXPECT_TRUE(MdbExport(path, "Notes").empty());
  {
    WritableTable notes(path, "Notes");
    EXPECT_TRUE(notes.db.table.IsEmpty());
    notes.db.table.Edit();  // an empty table inserts
    notes.Field("id").SetText("10");
    notes.Field("body").SetText("again");
    notes.db.table.Post();
    EXPECT_FALSE(notes.db.table.IsEmpty());
    EXPECT_EQ(notes.Field("body").AsString(), "again");
  }
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"10", "\x01NULL", "again", "\x01NULL"}));
}

TEST_P(EditingFiles, AMegabyteOleValueWrittenInChunks) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, GetParam());
  const std::vector<std::byte> big = PatternBytes(1 << 20, 11);
  {
    WritableTable notes(path, "Notes");
    notes.GoTo("3");  // a NULL picture so far
    notes.db.table.Edit();
    {
      TVxBlobStream stream(notes.Field("pic"), TBlobStreamMode::bmWrite);
      for (std::size_t at = 0; at < big.size(); at += 65536)
        ASSERT_EQ(stream.Write(std::span(big).subspan(at, 65536)), 65536u);
    }
    notes.db.table.Post();
  }
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Upper(rows[2][3]), Hex(big));
  WritableTable again(path, "Notes");
  again.GoTo("3");
  EXPECT_EQ(ReadStream(again.Field("pic")), big);
  again.GoTo("1");
  EXPECT_EQ(ReadStream(again.Field("pic")), PatternBytes(100));
}

TEST_P(EditingFiles, SmallPiecesAndMovingOnWithTheStreamStillOpen) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, GetParam());
  const std::vector<std::byte> value = PatternBytes(20000, 5);
  {
    WritableTable notes(path, "Notes");
    notes.GoTo("3");
    notes.db.table.Edit();
    TVxBlobStream stream(notes.Field("pic"), TBlobStreamMode::bmWrite);
    // piece by piece, with a rewrite in the middle that drops the tail (the
    // stream's write discards what stood behind the position)
    for (std::size_t at = 0; at < value.size(); at += 7)
      stream.Write(std::span(value).subspan(at, std::min<std::size_t>(7, value.size() - at)));
    stream.Seek(10000, SeekOrigin::Beginning);
    stream.Write(std::span(value).subspan(10000, 3));
    stream.Seek(0, SeekOrigin::End);
    stream.Write(std::span(value).subspan(10003));
    // moving on while the stream is still open posts what it wrote
    EXPECT_TRUE(notes.db.table.Modified());
    notes.db.table.First();
    EXPECT_EQ(notes.db.table.State(), TDataSetState::dsBrowse);
  }
  WritableTable again(path, "Notes");
  again.GoTo("3");
  EXPECT_EQ(ReadStream(again.Field("pic")), value);
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Upper(rows[2][3]), Hex(value));
}

INSTANTIATE_TEST_SUITE_P(Formats, EditingFiles,
                         ::testing::Values(jet::JetFormat::Jet4, jet::JetFormat::Jet3),
                         [](const auto& info) {
                           return info.param == jet::JetFormat::Jet3 ? "Jet3" : "Jet4";
                         });

TEST(EditingFixtures, AnIndexedTableRefusesWithTheEnginesReasonAndStaysUnchanged) {
  ScratchDir dir;
  const std::string path = dir / "nwind.mdb";
  std::filesystem::copy_file(kFixtures + "nwind.mdb", path);
  const std::string before = Sha256(path);
  {
    WritableTable details(path, "Order Details");
    EXPECT_FALSE(details.db.table.CanModify());
    const std::string refusal = "Cannot update. Database or object is read-only.";
    std::vector<std::string> errors;
    for (auto operation :
         {&TDataSet::Edit, &TDataSet::Insert, &TDataSet::Append, &TDataSet::Delete}) {
      try {
        (details.db.table.*operation)();
        ADD_FAILURE() << "allowed";
      } catch (const dao::EngineError& e) {
        EXPECT_EQ(e.Number(), dao::kCannotUpdate);
        EXPECT_EQ(std::string(e.what()).substr(0, refusal.size()), refusal);
        EXPECT_NE(std::string(e.what()).find("indexes"), std::string::npos) << e.what();
      }
      EXPECT_EQ(details.db.table.State(), TDataSetState::dsBrowse);
    }
    EXPECT_THROW(TVxBlobStream(details.Field("OrderID"), TBlobStreamMode::bmWrite), std::exception);
  }
  EXPECT_EQ(Sha256(path), before);
}

TEST(EditingFixtures, ATableSetReadOnlyRefusesPlainly) {
  ScratchDir dir;
  const std::string path = dir / "nwind.mdb";
  std::filesystem::copy_file(kFixtures + "nwind.mdb", path);
  OpenDatabase db(path);  // ReadOnly as the main window sets it
  db.table.F_Set_TableName("Order Details");
  db.table.Open();
  try {
    db.table.Edit();
    ADD_FAILURE() << "allowed";
  } catch (const DataSetError& e) {
    EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
  }
}

TEST(EditingFixtures, TheExtractionRunsTableStaysReadOnly) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, jet::JetFormat::Jet4);
  const std::string before = Sha256(path);
  {
    OpenDatabase db(path);  // configured as the main window configures it
    db.table.F_Set_TableName("Notes");
    db.table.Open();
    EXPECT_FALSE(db.table.CanModify());
    try {
      db.table.Edit();
      ADD_FAILURE() << "allowed";
    } catch (const DataSetError& e) {
      EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
    }
  }
  EXPECT_EQ(Sha256(path), before);
}

}  // namespace
}  // namespace corvid

namespace corvid {
namespace {

// Every kind of column of the things table, written through field texts and
// read back by mdbtools and by the table.
TEST(EditingTypedValues, EveryColumnKindRoundTrips) {
  ScratchDir dir;
  const std::string path = MakeThingsDatabase(dir);
  {
    WritableTable things(path, "Things");
    ASSERT_TRUE(things.db.table.CanModify());
    things.db.table.Append();
    things.Field("Name").SetText("Käse & Brot");
    things.Field("Notes").SetText("line one\r\nline two");
    things.Field("Count").SetText("-123456");
    things.Field("Flag").SetText("True");
    things.Field("When").SetText("02/03/2001 12:34:56");
    things.Field("Uid").SetText("{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    things.Field("Price").SetText("-12.3456");
    things.Field("Ratio").SetText("0.125");
    things.Field("Raw").SetValue(
        std::vector<std::byte>{std::byte{0x41}, std::byte{0xFF}, std::byte{7}});
    things.Field("Small").SetText("-32768");
    WriteStream(things.Field("Pic"), PatternBytes(777, 3));
    things.db.table.Post();
    EXPECT_FALSE(things.Field("ID").IsNull());  // the engine numbered it
  }
  const auto rows = MdbExport(path, "Things");
  ASSERT_EQ(rows.size(), 4u);
  const auto& row = rows[3];
  ASSERT_EQ(row.size(), 12u);
  EXPECT_EQ(row[0], "4");
  EXPECT_EQ(row[1], "Käse & Brot");
  EXPECT_EQ(row[2], "line one\r\nline two");
  EXPECT_EQ(Upper(row[3]), Hex(PatternBytes(777, 3)));
  EXPECT_EQ(row[4], "-123456");
  EXPECT_EQ(row[5], "1");
  EXPECT_EQ(row[6], "2001-02-03 12:34:56");
  // mdb-export gives the hex of its own text of the GUID (without the last dash).
  EXPECT_EQ(Upper(row[7]), Hex(BytesOf("{12345678-9ABC-DEF0-0123456789ABCDEF}")));
  EXPECT_EQ(std::stod(row[8]), -12.3456);
  EXPECT_EQ(std::stod(row[9]), 0.125);
  EXPECT_EQ(Upper(row[10]), "41FF07");  // (mdb-export cuts binary columns at a zero byte)
  EXPECT_EQ(row[11], "-32768");

  WritableTable again(path, "Things");
  again.GoTo("4");
  EXPECT_EQ(again.Field("When").Value(),
            FieldValue(730519.0 * 86400000.0 + (12 * 3600 + 34 * 60 + 56) * 1000.0));
  EXPECT_EQ(again.Field("Price").Value(), FieldValue(-12.3456));
  EXPECT_EQ(again.Field("Uid").AsString(), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(again.Field("Notes").AsString(), "line one\r\nline two");
  EXPECT_EQ(again.Field("Raw").Value(),
            FieldValue(std::vector<std::byte>{std::byte{0x41}, std::byte{0xFF}, std::byte{7}}));
  EXPECT_EQ(ReadStream(again.Field("Pic")), PatternBytes(777, 3));
}

// A table-type recordset edits the same way; its count and record numbers
// follow the inserts and deletes.
TEST(EditingTypedValues, ATableTypeRecordsetCountsWhatWasInsertedAndDeleted) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, jet::JetFormat::Jet4);
  OpenDatabase db(path);
  db.table.F_Set_ReadOnly(false);
  db.table.F_Set_TableType(1);
  db.table.F_Set_TableName("Notes");
  db.table.Open();
  EXPECT_EQ(db.table.RecordCount(), 3);
  db.table.Append();
  db.table.FieldByName("id").SetText("9");
  db.table.Post();
  EXPECT_EQ(db.table.RecordCount(), 4);
  EXPECT_EQ(db.table.RecNo(), 4);
  db.table.First();
  db.table.Delete();
  EXPECT_EQ(db.table.FieldByName("id").AsString(), "2");
  EXPECT_EQ(db.table.RecordCount(), 3);
  EXPECT_EQ(db.table.RecNo(), 1);
  db.table.Last();
  EXPECT_EQ(db.table.FieldByName("id").AsString(), "9");
  EXPECT_EQ(db.table.RecNo(), 3);
}

// Two tables on one connection: a record one of them deleted is gone for
// the other too. Its edit fails; its delete takes no other record with it.
TEST(EditingTypedValues, ARecordDeletedThroughAnotherTable) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, jet::JetFormat::Jet4);
  OpenDatabase db(path);
  auto configure = [&db](TVxDaoTable& table) {
    table.F_Set_Database(&db.database);
    table.F_Set_ReadOnly(false);
    table.F_Set_TableName("Notes");
    table.Open();
  };
  configure(db.table);
  TVxDaoTable other;
  configure(other);
  auto goTo = [](TVxDaoTable& table, const std::string& id) {
    for (table.First(); !table.Eof() && table.Fields(0).AsString() != id; table.Next()) {
    }
    ASSERT_EQ(table.Fields(0).AsString(), id);
  };
  goTo(db.table, "2");
  goTo(other, "2");
  other.Delete();
  EXPECT_THROW(db.table.Edit(), dao::EngineError);
  EXPECT_EQ(db.table.State(), TDataSetState::dsBrowse);

  db.table.Close();
  db.table.Open();
  goTo(db.table, "3");
  goTo(other, "3");
  other.Delete();
  try {
    db.table.Delete();  // gone already: absorbed, or the engine's error
  } catch (const dao::EngineError&) {
  }
  EXPECT_EQ(db.table.State(), TDataSetState::dsBrowse);
  other.Close();
  db.table.Close();
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "1");
}

// Counting a dynaset walks the engine's cursor, which drops the engine's
// pending edit: the post still writes the record being edited, and only it.
TEST(EditingTypedValues, APostAfterTheCursorMovedWritesTheEditedRecord) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, jet::JetFormat::Jet4);
  {
    WritableTable notes(path, "Notes");
    notes.db.table.F_Set_UseRecordCount(false);
    notes.GoTo("2");
    notes.db.table.Edit();
    notes.Field("title").SetText("zwei");
    EXPECT_EQ(notes.db.table.RecordCount(), 3);
    notes.db.table.Post();
    EXPECT_EQ(notes.Field("title").AsString(), "zwei");
  }
  const auto rows = MdbExport(path, "Notes");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "one");
  EXPECT_EQ(rows[1][1], "zwei");
  EXPECT_EQ(rows[2][1], "three");
}

// A value the column can't take fails the post with the engine's error; the
// record stays in edit with what was entered, and the file is untouched.
TEST(EditingTypedValues, ARefusedValueGoesToOnPostErrorAndLeavesTheFileAlone) {
  ScratchDir dir;
  const std::string path = MakeNotesDatabase(dir, jet::JetFormat::Jet4);
  const std::string before = Sha256(path);
  {
    WritableTable notes(path, "Notes");
    notes.GoTo("1");
    std::string seen;
    notes.db.table.OnPostError = [&seen](TDataSet&, const std::exception& e, TDataAction& action) {
      seen = e.what();
      action = TDataAction::daAbort;
    };
    notes.db.table.Edit();
    notes.Field("title").SetText(std::string(60, 'x'));  // Text(50)
    notes.db.table.Post();
    EXPECT_FALSE(seen.empty());
    EXPECT_EQ(notes.db.table.State(), TDataSetState::dsEdit);
    EXPECT_EQ(notes.Field("title").AsString(), std::string(60, 'x'));
    notes.db.table.Cancel();
    EXPECT_EQ(notes.Field("title").AsString(), "one");
  }
  EXPECT_EQ(Sha256(path), before);
}

}  // namespace
}  // namespace corvid
