// TVxDaoTable on writer-made databases: field definitions, value texts and
// native values, navigation, counts, bookmarks, configuration rules.

#include <gtest/gtest.h>

#include <algorithm>

#include "dao/dataset/data_set_error.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/values/field_type_mapping.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using namespace testing_support;

using TableOnThings = OnMadeDatabase<ThingsDatabase>;

std::vector<std::string> Texts(const DaoRecordBuffer& buffer) {
  std::vector<std::string> texts;
  for (const auto& value : buffer.RecValues) texts.push_back(value.text);
  return texts;
}

TEST_F(TableOnThings, FieldDefinitionsFollowTheTypeMapping) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("THINGS");
  db.table.Open();
  struct Expected {
    const char* name;
    TFieldType type;
    int size;
  };
  const std::vector<Expected> expected{
      {"ID", TFieldType::ftAutoInc, 0},     {"Name", TFieldType::ftString, 50},
      {"Notes", TFieldType::ftMemo, 0},     {"Pic", TFieldType::ftBlob, 0},
      {"Count", TFieldType::ftInteger, 0},  {"Flag", TFieldType::ftBoolean, 0},
      {"When", TFieldType::ftDateTime, 0},  {"Uid", TFieldType::ftBytes, 16},
      {"Price", TFieldType::ftCurrency, 0}, {"Ratio", TFieldType::ftFloat, 0},
      {"Raw", TFieldType::ftBytes, 8},      {"Small", TFieldType::ftSmallint, 0}};
  ASSERT_EQ(db.table.FieldDefs().Count(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    const TFieldDef& def = db.table.FieldDefs()[i];
    EXPECT_EQ(def.name, expected[i].name);
    EXPECT_EQ(def.dataType, expected[i].type);
    if (expected[i].size) EXPECT_EQ(def.size, expected[i].size);
    EXPECT_EQ(db.table.Fields(i).FieldNo(), static_cast<int>(i) + 1);
  }
  // The GUID field is marked and takes exactly the 25 GUID characters.
  EXPECT_EQ(db.table.FieldDefs()[7].precision, kGuidMarker);
  EXPECT_EQ(db.table.Fields(7).ValidChars().size(), 25u);
  EXPECT_EQ(db.table.Fields(7).ValidChars(), kGuidChars);
  EXPECT_EQ(db.table.Fields(10).ValidChars(), "");
  EXPECT_EQ(db.table.FieldTypeNames(),
            (std::vector<std::string>{"ftAutoInc", "ftString", "ftMemo", "ftBlob", "ftInteger",
                                      "ftBoolean", "ftDateTime", "ftUnknown", "ftCurrency",
                                      "ftFloat", "ftUnknown", "ftSmallInt"}));
  EXPECT_EQ(db.table.NonBlobFieldNames().size(), 10u);
  EXPECT_EQ(db.table.NonFtBlobFieldNames().size(), 11u);
}

TEST(FieldTypeMapping, EveryDaoTypeCode) {
  struct Case {
    int dao, attributes, size;
    std::optional<std::string> format;
    TFieldType type;
    int mappedSize;
  };
  using T = TFieldType;
  const std::vector<Case> cases{{1, 0, 1, {}, T::ftBoolean, 0},
                                {2, 0, 1, {}, T::ftSmallint, 0},
                                {3, 0, 2, {}, T::ftSmallint, 0},
                                {4, 0, 4, {}, T::ftInteger, 0},
                                {4, 0x11, 4, {}, T::ftAutoInc, 0},
                                {16, 0, 8, {}, T::ftInteger, 0},
                                {5, 0, 8, {}, T::ftCurrency, 0},
                                {6, 0, 4, {}, T::ftFloat, 0},
                                {7, 0, 8, {}, T::ftFloat, 0},
                                {19, 0, 8, {}, T::ftFloat, 0},
                                {20, 0, 8, {}, T::ftFloat, 0},
                                {21, 0, 8, {}, T::ftFloat, 0},
                                {8, 0, 8, {}, T::ftDateTime, 0},
                                {8, 0, 8, "Short Time", T::ftTime, 0},
                                {8, 0, 8, "long time", T::ftTime, 0},
                                {8, 0, 8, "Medium Time", T::ftTime, 0},
                                {8, 0, 8, "General Date", T::ftDateTime, 0},
                                {8, 0, 8, "Short Date", T::ftDate, 0},
                                {8, 0, 8, "yyyy-mm-dd", T::ftDate, 0},
                                {22, 0, 8, {}, T::ftTime, 0},
                                {23, 0, 8, {}, T::ftDateTime, 0},
                                {9, 0, 20, {}, T::ftBytes, 20},
                                {15, 0, 16, {}, T::ftBytes, 16},
                                {10, 0, 0, {}, T::ftString, 255},
                                {10, 0, 40, {}, T::ftString, 40},
                                {18, 0, 10, {}, T::ftString, 10},
                                {11, 0, 0, {}, T::ftBlob, 0},
                                {17, 0, 30, {}, T::ftBlob, 30},
                                {12, 0, 0, {}, T::ftMemo, 0},
                                {101, 0, 4, {}, T::ftIDispatch, 0},
                                {107, 0, 16, {}, T::ftIDispatch, 16},
                                {109, 0, 9, {}, T::ftIDispatch, 9},
                                {104, 0, 4, {}, T::ftIDispatch, 0},
                                {13, 0, 0, {}, T::ftUnknown, 0},
                                {99, 0, 0, {}, T::ftUnknown, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dao) + " " + c.format.value_or("-"));
    const MappedFieldType mapped = MapDaoFieldType(c.dao, c.attributes, c.size, c.format);
    EXPECT_EQ(mapped.type, c.type);
    EXPECT_EQ(mapped.size, c.mappedSize);
    EXPECT_EQ(mapped.isGuid, c.dao == 15);
  }
}

TEST_F(TableOnThings, ValueTextsOfThreeRecords) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Things");
  db.table.Open();
  ASSERT_FALSE(db.table.Eof());
  // Record 1: every value; the OLE Object holds its size only.
  EXPECT_EQ(Texts(*db.table.ActiveRecordBuffer()),
            (std::vector<std::string>{"1", "alpha", "15" /* UTF-8 bytes of the memo */, "1234",
                                      "42", "True", "730519 43200000",
                                      "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}", "12.5",
                                      "0.1", std::string("r\0w", 3), "-7"}));
  db.table.Next();
  // Record 2: NULL everywhere but the Yes/No field, which has no NULL.
  EXPECT_EQ(Texts(*db.table.ActiveRecordBuffer()),
            (std::vector<std::string>{"2", "", "", "", "", "False", "", "", "", "", "", ""}));
  db.table.Next();
  // Record 3: empty text and empty blob read as NULL too.
  EXPECT_EQ(Texts(*db.table.ActiveRecordBuffer()),
            (std::vector<std::string>{"3", "", "", "", "0", "False", "730519 0", "", "0", "-2.5",
                                      "", "0"}));
  EXPECT_TRUE(db.table.FieldByName("Name").IsNull());
  EXPECT_TRUE(db.table.FieldByName("Pic").IsNull());
  db.table.Next();
  EXPECT_TRUE(db.table.Eof());
}

TEST_F(TableOnThings, NativeValuesAndFieldTexts) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Things");
  db.table.Open();
  auto& t = db.table;
  EXPECT_EQ(std::get<std::int32_t>(t.FieldByName("Count").Value()), 42);
  EXPECT_EQ(t.FieldByName("Count").AsString(), "42");
  EXPECT_EQ(std::get<std::int16_t>(t.FieldByName("Flag").Value()), 1);
  EXPECT_EQ(t.FieldByName("Flag").AsString(), "True");
  // 3 February 2001 at noon: the day number and the milliseconds to noon.
  EXPECT_EQ(std::get<double>(t.FieldByName("When").Value()), 730519.0 * 86400000.0 + 43200000.0);
  EXPECT_EQ(t.FieldByName("When").AsString(), "02/03/01 12:00:00");
  EXPECT_EQ(t.FieldByName("Uid").AsString(), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(std::get<std::vector<std::byte>>(t.FieldByName("Uid").Value()).size(), 16u);
  EXPECT_EQ(t.FieldByName("Price").AsString(), "12.5");
  EXPECT_EQ(t.FieldByName("Ratio").AsString(), "0.1");
  EXPECT_EQ(t.FieldByName("Small").AsString(), "-7");
  EXPECT_EQ(t.FieldByName("Raw").AsString(), std::string("r\0w", 3));
  EXPECT_EQ(t.FieldByName("Notes").AsString(), "Käse\r\nline two");  // through the blob stream
  EXPECT_EQ(t.FieldByName("Pic").AsString().size(), 1234u);
  t.Last();
  EXPECT_EQ(t.FieldByName("When").AsString(), "02/03/01");  // midnight: the date alone
  EXPECT_EQ(t.FieldByName("Name").AsString(), "");
}

TEST_F(TableOnThings, StepsCountsAndRecordNumbers) {
  OpenDatabase db(Path());
  auto& t = db.table;
  t.F_Set_TableName("Things");
  t.Open();
  std::vector<int> numbers;
  std::vector<std::string> ids;
  for (; !t.Eof(); t.Next()) {
    numbers.push_back(t.RecNo());
    ids.push_back(t.Fields(0).AsString());
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.HighestPos(), 3);
  t.Prior();
  EXPECT_EQ(t.Fields(0).AsString(), "2");
  t.SetRecNo(1);
  EXPECT_EQ(t.Fields(0).AsString(), "1");
  t.SetRecNo(3);
  EXPECT_EQ(t.Fields(0).AsString(), "3");
}

// Record numbers follow every kind of move, in every recordset type that can
// move backwards, with one buffer and with a window of several.
TEST_F(TableOnThings, RecordNumbersAfterEveryMove) {
  for (int type : {1, 2, 4}) {
    for (std::size_t window : {1u, 3u}) {
      SCOPED_TRACE("type " + std::to_string(type) + " window " + std::to_string(window));
      OpenDatabase db(Path());
      auto& t = db.table;
      t.F_Set_TableType(type);
      t.F_Set_TableName("Things");
      t.SetBufferCount(window);
      t.Open();
      std::vector<std::pair<std::string, int>> seen;
      auto note = [&] { seen.emplace_back(t.Fields(0).AsString(), t.RecNo()); };
      note();
      t.Next();
      note();
      t.Last();
      note();
      t.Prior();
      note();
      t.Prior();
      note();
      t.SetRecNo(3);
      note();
      t.First();
      note();
      EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{
                          {"1", 1}, {"2", 2}, {"3", 3}, {"2", 2}, {"1", 1}, {"3", 3}, {"1", 1}}));
      EXPECT_EQ(t.RecordCount(), 3);
    }
  }
}

// Counting and numbering move the engine's cursor; stepping on afterwards
// must still visit every record once, whatever the window size.
TEST_F(TableOnThings, CountingMidWalkDoesNotDisturbTheWalk) {
  for (int type : {1, 2, 4}) {
    for (std::size_t window : {1u, 2u, 3u}) {
      SCOPED_TRACE("type " + std::to_string(type) + " window " + std::to_string(window));
      OpenDatabase db(Path());
      auto& t = db.table;
      t.F_Set_TableType(type);
      t.F_Set_UseRecordCount(false);  // count afresh every time
      t.F_Set_TableName("Things");
      t.SetBufferCount(window);
      t.Open();
      std::vector<std::string> ids;
      for (; !t.Eof(); t.Next()) {
        ids.push_back(t.Fields(0).AsString());
        if (ids.size() == 1) EXPECT_EQ(t.RecordCount(), 3);  // once, on the first record
      }
      EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3"}));
      ids.clear();
      for (t.First(); !t.Eof(); t.Next()) {
        ids.push_back(t.Fields(0).AsString());
        if (ids.size() == 1) EXPECT_EQ(t.RecNo(), 1);
      }
      EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3"}));
      std::vector<std::string> back;
      for (t.Last(); !t.Bof(); t.Prior()) {
        back.push_back(t.Fields(0).AsString());
        EXPECT_EQ(t.RecordCount(), 3);
      }
      EXPECT_EQ(back, (std::vector<std::string>{"3", "2", "1"}));
    }
  }
}

TEST_F(TableOnThings, EmptyTable) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Empty");
  db.table.Open();
  EXPECT_TRUE(db.table.Eof());
  EXPECT_TRUE(db.table.Bof());
  EXPECT_EQ(db.table.RecordCount(), 0);
  EXPECT_EQ(db.table.RecNo(), -1);
  EXPECT_EQ(db.table.Fields(1).AsString(), "");
}

TEST_F(TableOnThings, ForwardOnlyTable) {
  OpenDatabase db(Path());
  auto& t = db.table;
  t.F_Set_TableType(8);
  t.F_Set_ReadOnly(false);
  t.F_Set_TableName("Things");
  t.Open();
  EXPECT_TRUE(t.ReadOnly());
  EXPECT_EQ(t.Fields(0).AsString(), "1");
  t.Next();
  EXPECT_EQ(t.Fields(0).AsString(), "2");
  EXPECT_EQ(t.MoveBy(-1), 0);  // Prior answers AtBof
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.Fields(0).AsString(), "2");
  EXPECT_EQ(t.RecordCount(), -1);
  t.Next();
  EXPECT_EQ(t.Fields(0).AsString(), "3");
  EXPECT_EQ(t.RecNo(), 3);
  t.Next();
  EXPECT_TRUE(t.Eof());
}

TEST_F(TableOnThings, ReadOnlyIsForced) {
  for (int type : {1, 2, 4, 8}) {
    SCOPED_TRACE(type);
    OpenDatabase db(Path());
    db.table.F_Set_TableType(type);
    db.table.F_Set_ReadOnly(false);
    db.table.F_Set_TableName("Things");
    db.table.Open();
    // Snapshots and forward-only recordsets are read-only; table and dynaset
    // recordsets of this index-free table on a writable open can change rows.
    const bool readOnly = type == 4 || type == 8;
    EXPECT_EQ(db.table.ReadOnly(), readOnly);
    EXPECT_EQ(db.table.IsModifiable(), !readOnly);
    EXPECT_EQ(db.table.RecordCount(), type == 8 ? -1 : 3);
  }
}

TEST(OpenOptions, SumsOfTheDaoValues) {
  EXPECT_EQ(OpenOptionBits({TOpenOption::dbDenyWrite, TOpenOption::dbSeeChanges}), 513);
  EXPECT_EQ(OpenOptionBits({TOpenOption::dbForwardOnly}), 256);
  EXPECT_EQ(OpenOptionBits({}), 0);
  EXPECT_EQ(
      OpenOptionBits(
          {TOpenOption::dbDenyWrite, TOpenOption::dbDenyRead, TOpenOption::dbReadOnly,
           TOpenOption::dbAppendOnly, TOpenOption::dbInconsistent, TOpenOption::dbConsistent,
           TOpenOption::dbSQLPassThrough, TOpenOption::dbFailOnError, TOpenOption::dbForwardOnly,
           TOpenOption::dbSeeChanges, TOpenOption::dbRunAsync, TOpenOption::dbExecDirect}),
      4095);
}

TEST_F(TableOnThings, OpenOptionsReachTheRecordset) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Things");
  db.table.F_Set_OpenOptions({TOpenOption::dbDenyWrite, TOpenOption::dbSeeChanges});
  db.table.Open();
  EXPECT_EQ(db.table.OptionBits(), 513);
  db.table.Next();
  db.table.F_Set_OpenOptions({TOpenOption::dbReadOnly});  // reopens at the first record
  EXPECT_EQ(db.table.OptionBits(), 4);
  EXPECT_EQ(db.table.Fields(0).AsString(), "1");
}

TEST_F(TableOnThings, FieldNamesOpensAndClosesAndNeverThrows) {
  OpenDatabase db(Path());
  std::vector<std::string> names{"stale"};
  db.table.F_Set_TableName("things");
  db.table.FieldNames(names);
  EXPECT_EQ(names.size(), 12u);
  EXPECT_EQ(names.front(), "ID");
  EXPECT_EQ(names.back(), "Small");
  EXPECT_FALSE(db.table.Active());
  EXPECT_TRUE(db.database.ActiveTables().empty());

  db.table.F_Set_TableName("NoSuchTable");
  names = {"stale"};
  EXPECT_NO_THROW(db.table.FieldNames(names));
  EXPECT_TRUE(names.empty());
  EXPECT_FALSE(db.table.Active());
}

TEST_F(TableOnThings, SettersRefuseWhileActive) {
  OpenDatabase db(Path());
  auto& t = db.table;
  t.F_Set_TableName("Things");
  t.Open();
  struct Case {
    std::function<void()> set;
    const char* message;
  };
  const std::vector<Case> cases{
      {[&] { t.F_Set_TableName("Empty"); },
       "TVxDaoTable.F_Set_TableName: Cannot set TableName while Table is active!"},
      {[&] { t.F_Set_TableType(4); },
       "TVxDaoTable.F_Set_TableType: Cannot set TableType while Table is active!"},
      {[&] { t.F_Set_LockType(1); },
       "TVxDaoTable.F_Set_LockType: Cannot set LockType while Table is active!"},
      {[&] { t.F_Set_Database(nullptr); },
       "TVxDaoTable.F_Set_Database: Cannot set Database while Table is Active!"},
      {[&] { t.F_Set_QueryDefName("q"); },
       "TVxDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!"},
      {[&] { t.F_Set_IndexName("PrimaryKey"); },
       "TVxDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      c.set();
      ADD_FAILURE() << "no error";
    } catch (const DatabaseError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(t.TableName(), "Things");
  EXPECT_EQ(t.TableType(), 2);
  EXPECT_EQ(t.Database(), &db.database);
}

TEST_F(TableOnThings, OpeningFailuresLeaveTheTableInactive) {
  struct Case {
    std::function<void(OpenDatabase&)> configure;
    std::string message;
  };
  const std::vector<Case> cases{
      {[](OpenDatabase& db) { db.table.F_Set_Database(nullptr); },
       "TVxDaoTable.OpenDaoRecordset: Missing Database Property"},
      {[](OpenDatabase&) {},
       "TVxDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!"},
      {[](OpenDatabase& db) {
         db.table.F_Set_TableName("Things");
         db.database.F_Set_Connected(false);
       },
       "TVxDaoTable.OpenDaoRecordset: Database is NOT connected"},
      {[](OpenDatabase& db) {
         db.table.F_Set_TableName("Things");
         db.table.F_Set_TableType(16);
       },
       "TVxDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    OpenDatabase db(Path());
    c.configure(db);
    try {
      db.table.Open();
      ADD_FAILURE() << "opened";
    } catch (const DatabaseError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_FALSE(db.table.Active());
  }
  OpenDatabase db(Path());
  db.table.F_Set_TableName("NoSuchTable");
  EXPECT_THROW(db.table.Open(), dao::EngineError);  // the engine's own message passes through
  EXPECT_FALSE(db.table.Active());
}

TEST_F(TableOnThings, RegistersWithTheDatabaseAndClosesWithIt) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Things");
  db.table.Open();
  EXPECT_EQ(db.table.Name().rfind("VxDaoTable_", 0), 0u) << db.table.Name();
  EXPECT_TRUE(std::all_of(db.table.Name().begin() + 11, db.table.Name().end(), ::isdigit));
  ASSERT_EQ(db.database.ActiveTables().size(), 1u);
  EXPECT_EQ(db.database.ActiveTables()[0].table, static_cast<AttachedTable*>(&db.table));
  db.database.F_Set_Connected(false);
  EXPECT_FALSE(db.table.Active());
  EXPECT_TRUE(db.database.ActiveTables().empty());
}

TEST_F(TableOnThings, BookmarksGoBackToTheirRecord) {
  OpenDatabase db(Path());
  auto& t = db.table;
  t.F_Set_TableName("Things");
  t.Open();
  t.Next();
  const TBookmark second = t.GetBookmark();
  ASSERT_EQ(second.size(), 4u);
  EXPECT_EQ(t.BookmarkText().size(), 4u);
  t.Next();
  const TBookmark third = t.GetBookmark();
  EXPECT_EQ(t.CompareBookmarks(second, third), -1);
  t.GotoBookmark(second);
  EXPECT_EQ(t.Fields(0).AsString(), "2");
  EXPECT_TRUE(t.BookmarkValid(third));
  const TBookmark unknown{std::byte{0x55}, std::byte{0x55}, std::byte{0}, std::byte{0}};
  EXPECT_FALSE(t.BookmarkValid(unknown));
  try {
    t.GotoBookmark(unknown);
    ADD_FAILURE();
  } catch (const DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Invalid Bookmark!");
  }
  t.Close();
  EXPECT_THROW(t.GotoBookmark(second), DataSetError);
}

TEST_F(TableOnThings, ForwardOnlyRecordsetsHaveNoBookmarks) {
  OpenDatabase db(Path());
  db.table.F_Set_TableType(8);
  db.table.F_Set_TableName("Things");
  db.table.Open();
  if (db.table.HasBookmarks())
    GTEST_SKIP() << "the engine offers bookmarks on forward-only recordsets";
  EXPECT_TRUE(db.table.GetBookmark().empty());
  EXPECT_EQ(db.table.BookmarkText(), "");
  try {
    db.table.GotoBookmark({std::byte{1}, std::byte{0}, std::byte{0}, std::byte{0}});
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Bookmarks are not supported!");
  }
}

TEST(CompareBookmarkValues, OrdersBySignedValue) {
  const TBookmark none;
  const TBookmark one{std::byte{1}, std::byte{0}, std::byte{0}, std::byte{0}};
  const TBookmark topBit{std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0x80}};
  struct Case {
    const TBookmark& a;
    const TBookmark& b;
    int result;
  };
  for (const Case& c : {Case{none, none, 0}, Case{one, none, -1}, Case{none, one, 1},
                        Case{one, one, 0}, Case{topBit, one, -1}, Case{one, topBit, 1}}) {
    EXPECT_EQ(TVxDaoTable::CompareBookmarkBytes(c.a, c.b), c.result);
  }
}

TEST_F(TableOnThings, SortingAndRecordsetFiltersReachTheEngine) {
  {
    // Null sorts first, then the empty text, then "alpha"; DESC reverses.
    OpenDatabase db(Path());
    db.table.F_Set_TableName("Things");
    db.table.F_Set_TableType(2);
    db.table.F_Set_SortedBy({"Name DESC"});
    db.table.Open();
    ASSERT_FALSE(db.table.Eof());
    EXPECT_EQ(db.table.FieldByName("Name").AsString(), "alpha");
    db.table.Next();
    EXPECT_EQ(db.table.FieldByName("Count").AsString(), "0");  // the empty name
    db.table.Next();
    EXPECT_TRUE(db.table.FieldByName("Count").IsNull());  // the Null name
    db.table.Next();
    EXPECT_TRUE(db.table.Eof());
  }
  {
    OpenDatabase db(Path());
    db.table.F_Set_TableName("Things");
    db.table.F_Set_TableType(2);
    db.table.F_Set_Filter("Count > 1");
    db.table.F_Set_Filtered(true);
    db.table.Open();
    ASSERT_FALSE(db.table.Eof());
    EXPECT_EQ(db.table.FieldByName("Count").AsString(), "42");
    db.table.Next();
    EXPECT_TRUE(db.table.Eof());
  }
  {
    // A filter the engine can't read fails the open with its syntax error.
    OpenDatabase db(Path());
    db.table.F_Set_TableName("Things");
    db.table.F_Set_TableType(2);
    db.table.F_Set_Filter("Count >");
    db.table.F_Set_Filtered(true);
    EXPECT_THROW(db.table.Open(), dao::EngineError);
    EXPECT_FALSE(db.table.Active());
  }
}

TEST_F(TableOnThings, RecordFilterEventSkipsRecords) {
  OpenDatabase db(Path());
  auto& t = db.table;
  t.F_Set_TableName("Things");
  t.F_Set_OnFilterRecord(
      [](TDataSet& data, bool& accept) { accept = data.Fields(0).AsString() != "2"; });
  t.F_Set_Filtered(true);
  t.Open();
  std::vector<std::string> ids;
  std::vector<int> numbers;
  for (; !t.Eof(); t.Next()) {
    ids.push_back(t.Fields(0).AsString());
    numbers.push_back(t.RecNo());  // counted among the accepted records
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.Fields(0).AsString(), "3");  // counting did not move the table
  t.Prior();
  EXPECT_EQ(t.Fields(0).AsString(), "1");
}

TEST_F(TableOnThings, CachedMemosAndBlobsLiveInTheBuffer) {
  OpenDatabase db(Path());
  db.table.F_Set_TableName("Things");
  db.table.F_Set_CacheMemos(true);
  db.table.F_Set_CacheBlobs(true);
  db.table.Open();
  const auto& values = db.table.ActiveRecordBuffer()->RecValues;
  EXPECT_EQ(values[2].text, "Käse\r\nline two");
  EXPECT_EQ(values[3].text.size(), 1234u);
  EXPECT_EQ(db.table.FieldByName("Pic").AsString(), values[3].text);
}

TEST(TranslateText, Utf8AndCodePage850) {
  TVxDaoTable table;
  const std::string utf8 = "Käse ÆØÅ é";
  std::string out;
  EXPECT_EQ(table.TranslateText(&utf8, &out, true), static_cast<int>(utf8.size()));
  EXPECT_EQ(out, utf8);  // without Translation the text passes unchanged
  table.F_Set_Translation(true);
  EXPECT_EQ(table.TranslateText(&utf8, &out, true), 10);
  EXPECT_EQ(out, "K\x84se \x92\x9d\x8f \x82");
  std::string back;
  table.TranslateText(&out, &back, false);
  EXPECT_EQ(back, utf8);
  const std::string euro = "€";
  table.TranslateText(&euro, &out, true);
  EXPECT_EQ(out, "?");
  EXPECT_EQ(table.TranslateText(nullptr, &out, true), 0);
  EXPECT_EQ(table.TranslateText(&out, &out, true), 0);
}

// A text stored in the OEM code page reads right only with Translation: the
// byte 84 is "ä" in code page 850 but a low double quote in Windows-1252.
TEST(TranslateText, FieldTextsOfOemStoredTexts) {
  ScratchDir dir;
  const std::string path = dir / "oem.mdb";
  {
    jet::MdbWriter writer(path, jet::WriterOptions{jet::JetFormat::Jet3});
    auto& table = writer.AddTable(
        {"T", {{"Name", jet::ColumnType::Text, 20}, {"Notes", jet::ColumnType::Memo}}});
    table.AddRow({std::string("K\u201Ese"),
                  std::string("\u201E\u201E")});  // as Windows-1252 shows the 850 bytes
    writer.Finish();
  }
  for (bool translation : {false, true}) {
    SCOPED_TRACE(translation);
    OpenDatabase db(path);
    db.table.F_Set_TableName("T");
    db.table.F_Set_Translation(translation);
    db.table.Open();
    EXPECT_EQ(db.table.Fields(0).AsString(), translation ? "Käse" : "K\u201Ese");
    EXPECT_EQ(db.table.Fields(1).AsString(), translation ? "ää" : "\u201E\u201E");
  }
}

}  // namespace
}  // namespace corvid
