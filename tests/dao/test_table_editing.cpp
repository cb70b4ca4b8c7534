// TVxDaoTable editing against an in-memory engine table: start-edit and
// start-insert, the values a post assigns, delete and the bookmark map, the
// retry/abort/fail choices of the error events, RefreshSorted, and the
// refusals of a read-only table; and locate on a recordset without bookmarks,
// which only an engine double offers.

#include <gtest/gtest.h>

#include <fstream>

#include "dao/table/blob_stream.h"
#include "dao/dataset/data_set_error.h"
#include "dao/dataset/data_source.h"
#include "dao/discovery/configuration_store.h"
#include "dao/engine/database_error.h"
#include "test_table_editing_memory.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using testing_support::ScratchDir;

std::string Text(const dao::Variant& v) {
  return dao::IsNull(v) ? "<null>" : dao::VariantToText(v);
}

fake::MemoryColumn Column(const char* name, int type, std::int32_t size,
                          std::int32_t attributes = dao::dbFixedField | dao::dbUpdatableField) {
  fake::MemoryColumn column;
  column.name = name;
  column.type = type;
  column.size = size;
  column.attributes = attributes;
  return column;
}

class TableEditing : public ::testing::Test {
 public:
  void SetUp() override {
    const std::int32_t variable = dao::dbVariableField | dao::dbUpdatableField;
    rows->columns = {
        Column("ID", dao::dbLong, 4, dao::dbFixedField | dao::dbAutoIncrField),
        Column("Name", dao::dbText, 50, variable),
        Column("Notes", dao::dbMemo, 0, variable),
        Column("Pic", dao::dbLongBinary, 0, variable),
        Column("Count", dao::dbLong, 4),
        Column("Flag", dao::dbBoolean, 1),
        Column("When", dao::dbDate, 8),
        Column("Price", dao::dbCurrency, 8),
        Column("Ratio", dao::dbDouble, 8),
        Column("Uid", dao::dbGUID, 16),
    };
    for (int i = 1; i <= 4; ++i)
      rows->AddRow({std::int64_t{i}, "name" + std::to_string(i), dao::Null{}, dao::Null{},
                    std::int64_t{i * 10}, false, dao::Null{}, dao::Null{}, dao::Null{},
                    dao::Null{}});
    rows->lastAutoNumber = 4;
    script.openRecordset = [this](std::string_view source, int type, int,
                                  int) -> std::unique_ptr<dao::Recordset> {
      opened.emplace_back(source);
      return std::make_unique<fake::MemoryRecordset>(rows, type);
    };
    std::ofstream(dir / "photos.mdb") << "x";
    database = std::make_unique<TVxDaoDatabase>(nullptr, store, fake::CreationFor(script));
    database->F_Set_DatabaseType("Access");
    database->F_Set_Database(dir / "photos.mdb");
    database->F_Set_Connected(true);
    table = std::make_unique<TVxDaoTable>();
    table->F_Set_Database(database.get());
    table->F_Set_TableName("Things");
  }
  void TearDown() override {
    table.reset();
    database.reset();
  }
  void Open() {
    table->Open();
    rows->log.clear();
  }
  // Moves to the record whose ID is `id`.
  void GoTo(int id) {
    table->First();
    while (!table->Eof() && table->FieldByName("ID").AsString() != std::to_string(id))
      table->Next();
    ASSERT_EQ(table->FieldByName("ID").AsString(), std::to_string(id));
  }
  std::string Stored(int id, const char* column) {
    for (const auto& [bookmark, values] : rows->rows)
      if (Text(values[0]) == std::to_string(id))
        return Text(values[static_cast<std::size_t>(rows->Column(column))]);
    return "<no row>";
  }
  std::vector<std::string> Log() const { return rows->log; }

  ScratchDir dir;
  fake::Script script;
  std::shared_ptr<dao::MemoryConfigurationStore> store =
      std::make_shared<dao::MemoryConfigurationStore>();
  std::shared_ptr<fake::MemoryTable> rows = std::make_shared<fake::MemoryTable>();
  std::vector<std::string> opened;
  std::unique_ptr<TVxDaoDatabase> database;
  std::unique_ptr<TVxDaoTable> table;
};

using Strings = std::vector<std::string>;

TEST_F(TableEditing, EditPostAssignsOnlyTheModifiedFieldsOfThatRecord) {
  Open();
  GoTo(2);
  table->Edit();
  EXPECT_EQ(table->State(), TDataSetState::dsEdit);
  table->FieldByName("Name").SetText("second");
  table->FieldByName("Count").SetText("77");
  EXPECT_TRUE(table->Modified());
  table->Post();
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Log(), (Strings{"Edit", "SetValue Name", "SetValue Count", "Update"}));
  EXPECT_EQ(Stored(2, "Name"), "second");
  EXPECT_EQ(Stored(2, "Count"), "77");
  EXPECT_EQ(Stored(1, "Name"), "name1");
  EXPECT_EQ(Stored(3, "Name"), "name3");
  // The table stays on the record, showing what the file holds now.
  EXPECT_EQ(table->FieldByName("ID").AsString(), "2");
  EXPECT_EQ(table->FieldByName("Name").AsString(), "second");
  EXPECT_EQ(table->RecNo(), 2);
}

TEST_F(TableEditing, EditStartsFromTheValuesTheFileHoldsNow) {
  Open();
  GoTo(3);
  // Someone else changes the record after the table read it.
  rows->rows[3][1] = std::string("changed elsewhere");
  EXPECT_EQ(table->FieldByName("Name").AsString(), "name3");
  table->Edit();
  EXPECT_EQ(table->FieldByName("Name").AsString(), "changed elsewhere");
  // The value before the edit is still there as the old value.
  EXPECT_EQ(std::get<std::string>(table->FieldByName("Name").OldValue()), "name3");
  table->FieldByName("Count").SetText("5");
  EXPECT_EQ(std::get<std::int32_t>(table->FieldByName("Count").OldValue()), 30);
  table->Cancel();
}

TEST_F(TableEditing, PostedValuesFollowTheFieldTypes) {
  rows->columns[1].allowZeroLength = true;  // Name takes "", Notes does not
  Open();
  GoTo(1);
  table->Edit();
  table->FieldByName("Name").SetText("");
  table->FieldByName("Notes").SetText("");
  table->FieldByName("Count").SetText("");
  table->FieldByName("Flag").SetText("True");
  table->FieldByName("When").SetText("02/03/2001 12:00:00");
  table->FieldByName("Price").SetText("12.5");
  table->FieldByName("Ratio").SetText("0.25");
  table->FieldByName("Uid").SetText("{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  table->FieldByName("Pic").SetText(std::string("a\0b", 3));
  table->Post();
  const auto& stored = rows->rows.at(1);
  EXPECT_EQ(std::get<std::string>(stored[1]), "");  // zero-length allowed
  EXPECT_TRUE(dao::IsNull(stored[2]));              // memo without AllowZeroLength: Null
  EXPECT_TRUE(dao::IsNull(stored[4]));
  EXPECT_EQ(std::get<bool>(stored[5]), true);
  EXPECT_DOUBLE_EQ(std::get<dao::Date>(stored[6]).days, 36925.5);  // 3 February 2001, noon
  EXPECT_EQ(std::get<dao::Currency>(stored[7]).scaled, 125000);
  EXPECT_DOUBLE_EQ(std::get<double>(stored[8]), 0.25);
  EXPECT_EQ(std::get<std::string>(stored[9]), "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}");
  const dao::Bytes pic{std::byte{'a'}, std::byte{0}, std::byte{'b'}};
  EXPECT_EQ(std::get<dao::Bytes>(stored[3]), pic);
  // Read back through the table.
  EXPECT_TRUE(table->FieldByName("Name").IsNull());  // the empty text is NULL in a buffer
  EXPECT_EQ(table->FieldByName("When").Value(), FieldValue(730519.0 * 86400000.0 + 43200000.0));
  EXPECT_EQ(table->FieldByName("Uid").AsString(), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
}

TEST_F(TableEditing, NativeValuesWrittenThroughTheFieldsArePosted) {
  Open();
  GoTo(4);
  table->Edit();
  table->FieldByName("Count").SetValue(std::int32_t{-3});
  table->FieldByName("Flag").SetValue(std::int16_t{1});
  table->FieldByName("When").SetValue(730519.0 * 86400000.0);  // midnight
  table->FieldByName("Ratio").Clear();
  table->Post();
  EXPECT_EQ(Stored(4, "Count"), "-3");
  EXPECT_EQ(std::get<bool>(rows->rows.at(4)[5]), true);
  EXPECT_DOUBLE_EQ(std::get<dao::Date>(rows->rows.at(4)[6]).days, 36925.0);
  EXPECT_EQ(Stored(4, "Ratio"), "<null>");
}

TEST_F(TableEditing, TextsThatDoNotFitTheTypeAreRefusedAtEntry) {
  Open();
  table->Edit();
  struct Case {
    const char* field;
    const char* text;
    const char* message;
  };
  for (const Case& c : {Case{"Count", "12x", "'12x' is not a valid integer value"},
                        Case{"Flag", "maybe", "'maybe' is not a valid boolean value"},
                        Case{"Ratio", "1.2.3", "'1.2.3' is not a valid floating point value"},
                        Case{"When", "31/31/2001", "'31/31/2001' is not a valid date and time"},
                        Case{"Uid", "{1234}", "'{1234}' is not a valid GUID value"},
                        Case{"ID", "5", "Field 'ID' cannot be modified"}}) {
    SCOPED_TRACE(c.field);
    try {
      table->FieldByName(c.field).SetText(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const DataSetError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_FALSE(table->Modified());
  table->Cancel();
  EXPECT_EQ(Log(), (Strings{"Edit", "CancelUpdate"}));
}

TEST_F(TableEditing, WritingOutsideEditOrInsertIsRefused) {
  Open();
  try {
    table->FieldByName("Name").SetText("x");
    ADD_FAILURE() << "accepted";
  } catch (const DataSetError& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
  EXPECT_THROW(TVxBlobStream(table->FieldByName("Notes"), TBlobStreamMode::bmWrite), DataSetError);
  // A read-write stream takes nothing while the record is not being edited.
  TVxBlobStream stream(table->FieldByName("Notes"), TBlobStreamMode::bmReadWrite);
  EXPECT_THROW(stream.Write(std::as_bytes(std::span("ab", 2))), DataSetError);
  EXPECT_EQ(table->FieldByName("Name").AsString(), "name1");
}

TEST_F(TableEditing, InsertPostsTheNewRecordAndShowsIt) {
  rows->columns[4].defaultValue = "0";
  table->F_Set_UseDaoProperties(true);
  Open();
  EXPECT_EQ(table->RecordCount(), 4);
  GoTo(2);
  table->Insert();
  EXPECT_EQ(table->State(), TDataSetState::dsInsert);
  // The new record shows the field defaults; nothing is asked of the engine yet.
  EXPECT_EQ(table->FieldByName("Count").AsString(), "0");
  EXPECT_TRUE(table->FieldByName("ID").IsNull());
  EXPECT_TRUE(Log().empty());
  table->FieldByName("Name").SetText("fifth");
  table->Post();
  // Only the written field is assigned: the auto-number and the engine's
  // own defaults are the engine's business.
  EXPECT_EQ(Log(), (Strings{"AddNew", "SetValue Name", "Update"}));
  EXPECT_EQ(rows->rows.size(), 5u);
  EXPECT_EQ(Text(rows->rows.rbegin()->second[1]), "fifth");
  EXPECT_EQ(table->FieldByName("Name").AsString(), "fifth");
  EXPECT_EQ(table->RecordCount(), 5);
  EXPECT_EQ(table->RecNo(), 5);
}

TEST_F(TableEditing, DefaultExpressionsOfFieldObjectsArePosted) {
  Open();
  table->Close();
  // Persistent fields, one with a default expression.
  for (const char* name : {"ID", "Name", "Count"}) {
    TFieldType type = std::string(name) == "Name" ? TFieldType::ftString : TFieldType::ftInteger;
    if (std::string(name) == "ID") type = TFieldType::ftAutoInc;
    table->AddField(name, type, TFieldKind::fkData, std::string(name) == "Name" ? 50 : 0);
  }
  table->FieldByName("Count").SetDefaultExpression("'9'");
  Open();
  table->Append();
  EXPECT_EQ(table->FieldByName("Count").AsString(), "9");
  table->FieldByName("Name").SetText("appended");
  table->Post();
  EXPECT_EQ(Log(), (Strings{"AddNew", "SetValue Name", "SetValue Count", "Update"}));
  EXPECT_EQ(Text(rows->rows.rbegin()->second[4]), "9");
}

TEST_F(TableEditing, EditOnAnEmptyTableInserts) {
  rows->rows.clear();
  Open();
  EXPECT_TRUE(table->IsEmpty());
  table->Edit();
  EXPECT_EQ(table->State(), TDataSetState::dsInsert);
  table->FieldByName("Name").SetText("first");
  table->Post();
  EXPECT_EQ(rows->rows.size(), 1u);
  EXPECT_FALSE(table->IsEmpty());
  EXPECT_EQ(table->FieldByName("Name").AsString(), "first");
}

TEST_F(TableEditing, CancelDropsTheChanges) {
  Open();
  GoTo(2);
  table->Edit();
  table->FieldByName("Name").SetText("dropped");
  table->Cancel();
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table->FieldByName("Name").AsString(), "name2");
  EXPECT_EQ(Stored(2, "Name"), "name2");
  table->Insert();
  table->FieldByName("Name").SetText("never");
  table->Cancel();
  EXPECT_EQ(rows->rows.size(), 4u);
  EXPECT_EQ(table->FieldByName("ID").AsString(), "2");
  EXPECT_EQ(Log(), (Strings{"Edit", "CancelUpdate"}));
}

TEST_F(TableEditing, LeavingEditModePostsAModifiedRecordAndCancelsAnUnmodifiedOne) {
  Open();
  GoTo(1);
  table->Edit();
  table->Next();  // nothing changed: cancelled
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Log(), (Strings{"Edit", "CancelUpdate"}));
  EXPECT_EQ(table->FieldByName("ID").AsString(), "2");
  rows->log.clear();
  table->Edit();
  table->FieldByName("Name").SetText("moved on");
  table->Next();  // changed: posted, then the move
  EXPECT_EQ(Log(), (Strings{"Edit", "SetValue Name", "Update"}));
  EXPECT_EQ(Stored(2, "Name"), "moved on");
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");
  // An inserted record is posted by a move as well.
  table->Insert();
  table->FieldByName("Name").SetText("by First");
  table->First();
  EXPECT_EQ(rows->rows.size(), 5u);
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
}

TEST_F(TableEditing, PostFindsItsRecordAfterTheCursorWasMovedAway) {
  Open();
  GoTo(2);
  table->Edit();
  table->FieldByName("Name").SetText("still two");
  // Counting a dynaset walks the engine cursor, which ends the engine's edit.
  table->F_Set_UseRecordCount(false);
  EXPECT_EQ(table->RecordCount(), 4);
  table->Post();
  EXPECT_EQ(Stored(2, "Name"), "still two");
  EXPECT_EQ(Stored(4, "Name"), "name4");
}

TEST_F(TableEditing, DeleteStepsToTheNextRecordAndKeepsBookmarksRight) {
  table->SetBufferCount(3);
  Open();
  GoTo(1);
  const TBookmark first = table->GetBookmark();
  table->Next();
  const TBookmark second = table->GetBookmark();
  table->Next();
  table->Next();
  const TBookmark fourth = table->GetBookmark();
  // With a window of three records the engine cursor is not on the active
  // one: the delete must still take the active record.
  table->GotoBookmark(second);
  table->Delete();
  EXPECT_EQ(rows->ColumnTexts("ID"), (Strings{"1", "3", "4"}));
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");
  EXPECT_EQ(table->RecordCount(), 3);
  // The map forgot the deleted record; the records after it moved up.
  EXPECT_FALSE(table->BookmarkValid(second));
  table->GotoBookmark(fourth);
  EXPECT_EQ(table->FieldByName("ID").AsString(), "4");
  EXPECT_EQ(table->RecNo(), 3);
  // The last record deleted: the one before becomes current.
  table->Delete();
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");
  EXPECT_EQ(table->RecNo(), 2);
  table->GotoBookmark(first);
  table->Delete();
  table->Delete();
  EXPECT_TRUE(rows->rows.empty());
  EXPECT_TRUE(table->IsEmpty());
  EXPECT_THROW(table->Delete(), DataSetError);
}

TEST_F(TableEditing, DeleteWhileInsertingCancelsTheNewRecord) {
  Open();
  table->Insert();
  table->Delete();
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(rows->rows.size(), 4u);
  EXPECT_TRUE(Log().empty());
}

std::vector<std::string> IdsFromFirst(TVxDaoTable& table) {
  std::vector<std::string> ids;
  table.First();
  while (!table.Eof()) {
    ids.push_back(table.FieldByName("ID").AsString());
    table.Next();
  }
  return ids;
}

TEST_F(TableEditing, NewRecordsTakeTheirPlaceInABufferWindow) {
  table->SetBufferCount(3);
  Open();
  GoTo(3);
  table->Insert();
  EXPECT_TRUE(table->FieldByName("ID").IsNull());  // the new record is the active one
  table->Cancel();
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");
  table->Prior();
  EXPECT_EQ(table->FieldByName("ID").AsString(), "2");
  table->Append();
  EXPECT_TRUE(table->Eof());
  table->FieldByName("Name").SetText("appended");
  table->Post();
  EXPECT_EQ(table->FieldByName("Name").AsString(), "appended");
  // Walking the table visits every record once, the new one last.
  EXPECT_EQ(IdsFromFirst(*table), (Strings{"1", "2", "3", "4", "5"}));
  table->Last();
  table->Insert();
  table->FieldByName("Name").SetText("before the last");
  table->Post();
  EXPECT_EQ(IdsFromFirst(*table), (Strings{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(TableEditing, EditInAWindowChangesTheActiveRecord) {
  table->SetBufferCount(3);
  Open();
  table->First();
  table->Next();  // the window holds records 1-3, the engine cursor stands on 3
  table->Edit();
  table->FieldByName("Name").SetText("second in a window");
  table->Post();
  EXPECT_EQ(rows->ColumnTexts("Name"), (Strings{"name1", "second in a window", "name3", "name4"}));
  EXPECT_EQ(table->FieldByName("ID").AsString(), "2");
}

TEST_F(TableEditing, FollowersHearTheStateChanges) {
  Open();
  TDataSource source(table.get());
  int stateChanges = 0;
  source.AddLink([&stateChanges](TDataEvent event) {
    if (event == TDataEvent::deUpdateState) ++stateChanges;
  });
  table->Edit();
  EXPECT_EQ(stateChanges, 1);
  table->FieldByName("Name").SetText("heard");
  table->Post();
  EXPECT_EQ(stateChanges, 2);
  table->Insert();
  table->Cancel();
  EXPECT_EQ(stateChanges, 4);
}

TEST_F(TableEditing, CalculatedFieldsFollowTheValuesBeingEdited) {
  for (const char* name : {"ID", "Name", "Count"}) {
    const std::string n = name;
    table->AddField(name,
                    n == "Name" ? TFieldType::ftString
                    : n == "ID" ? TFieldType::ftAutoInc
                                : TFieldType::ftInteger,
                    TFieldKind::fkData, n == "Name" ? 50 : 0);
  }
  TField& twice = table->AddField("Twice", TFieldType::ftInteger, TFieldKind::fkCalculated);
  table->OnCalcFields = [&](TDataSet& data) {
    const FieldValue count = data.FieldByName("Count").Value();
    if (const auto* n = std::get_if<std::int32_t>(&count)) twice.SetValue(std::int32_t{2 * *n});
  };
  Open();
  EXPECT_EQ(twice.AsString(), "20");
  table->Edit();
  table->FieldByName("Count").SetText("21");
  EXPECT_EQ(twice.AsString(), "42");
  EXPECT_THROW(twice.SetText("1"), DataSetError);  // only the calculation sets it
  table->Cancel();
  EXPECT_EQ(twice.AsString(), "20");
}

TEST_F(TableEditing, OnNewRecordFillsTheRecordOrStopsTheInsert) {
  Open();
  table->OnNewRecord = [](TDataSet& data) { data.FieldByName("Count").SetText("100"); };
  table->Insert();
  EXPECT_EQ(table->FieldByName("Count").AsString(), "100");
  EXPECT_FALSE(table->Modified());  // the prepared values alone are not an edit
  table->First();                   // so leaving the record cancels it
  EXPECT_EQ(rows->rows.size(), 4u);
  table->OnNewRecord = [](TDataSet&) { throw DataSetError("no new records today"); };
  EXPECT_THROW(table->Insert(), DataSetError);
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table->FieldByName("ID").AsString(), "1");
  table->OnNewRecord = [](TDataSet&) { throw OperationAborted(); };
  EXPECT_NO_THROW(table->Append());
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
}

// --- the error events

struct Choice {
  explicit Choice(TDataAction first) : action(first) {}
  TDataAction action;
  int calls = 0;
  std::string seen;
};

TDataSetErrorEvent Chooser(Choice& choice, TDataAction later = TDataAction::daFail) {
  return [&choice, later](TDataSet&, const std::exception& e, TDataAction& action) {
    choice.seen = e.what();
    action = ++choice.calls == 1 ? choice.action : later;
  };
}

TEST_F(TableEditing, EditErrorRetryAbortOrFail) {
  Open();
  const std::string locked = "Could not update; currently locked.";
  struct Case {
    TDataAction action;
    bool handler;
    TDataSetState after;
    bool raises;
  };
  for (const Case& c : {Case{TDataAction::daRetry, true, TDataSetState::dsEdit, false},
                        Case{TDataAction::daAbort, true, TDataSetState::dsBrowse, false},
                        Case{TDataAction::daFail, true, TDataSetState::dsBrowse, true},
                        Case{TDataAction::daFail, false, TDataSetState::dsBrowse, true}}) {
    SCOPED_TRACE(static_cast<int>(c.action));
    rows->FailNext("Edit", 3260, locked);
    Choice choice{c.action};
    table->OnEditError = c.handler ? Chooser(choice) : nullptr;
    try {
      table->Edit();
      EXPECT_FALSE(c.raises);
    } catch (const dao::EngineError& e) {
      EXPECT_TRUE(c.raises);
      EXPECT_EQ(e.Number(), 3260);
      EXPECT_EQ(e.what(), locked);
    }
    EXPECT_EQ(table->State(), c.after);
    if (c.handler) {
      EXPECT_EQ(choice.seen, locked);
    }
    table->Cancel();
    EXPECT_EQ(table->FieldByName("ID").AsString(), "1");
  }
}

TEST_F(TableEditing, PostErrorRetryAbortOrFailKeepTheEnteredValues) {
  Open();
  GoTo(3);
  const std::string tooBig =
      "The field is too small to accept the amount of data you attempted to add.";
  // Retry: the whole post runs again and succeeds.
  Choice retry{TDataAction::daRetry};
  table->OnPostError = Chooser(retry);
  rows->FailNext("Update", 3163, tooBig);
  table->Edit();
  table->FieldByName("Name").SetText("retried");
  table->Post();
  EXPECT_EQ(retry.calls, 1);
  EXPECT_EQ(Stored(3, "Name"), "retried");
  // Abort and fail: the record stays in edit with what the user entered.
  for (TDataAction action : {TDataAction::daAbort, TDataAction::daFail}) {
    SCOPED_TRACE(static_cast<int>(action));
    Choice choice{action};
    table->OnPostError = Chooser(choice);
    rows->FailNext("Update", 3163, tooBig);
    table->Edit();
    const std::string before = Stored(3, "Name");
    const std::string entered = "kept " + std::to_string(static_cast<int>(action));
    table->FieldByName("Name").SetText(entered);
    if (action == TDataAction::daAbort) {
      EXPECT_NO_THROW(table->Post());
    } else {
      EXPECT_THROW(table->Post(), dao::EngineError);
    }
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    EXPECT_EQ(table->FieldByName("Name").AsString(), entered);
    EXPECT_EQ(Stored(3, "Name"), before);
    table->Post();  // the next attempt goes through
    EXPECT_EQ(Stored(3, "Name"), entered);
  }
}

TEST_F(TableEditing, AFailedInsertCancelsItsPendingAddAndStaysInInsert) {
  Open();
  rows->FailNext("Update", 3314, "The field 'Name' cannot contain a Null value.");
  table->Insert();
  table->FieldByName("Count").SetText("1");
  try {
    table->Post();
    ADD_FAILURE() << "posted";
  } catch (const dao::EngineError& e) {
    EXPECT_EQ(e.Number(), 3314);
  }
  EXPECT_EQ(Log(), (Strings{"AddNew", "SetValue Count", "Update", "CancelUpdate"}));
  EXPECT_EQ(table->State(), TDataSetState::dsInsert);
  EXPECT_EQ(table->FieldByName("Count").AsString(), "1");
  table->FieldByName("Name").SetText("named");
  table->Post();
  EXPECT_EQ(rows->rows.size(), 5u);
}

TEST_F(TableEditing, DeleteErrorRetryAbortOrFail) {
  Open();
  GoTo(2);
  const std::string locked = "Could not delete; currently locked.";
  Choice retry{TDataAction::daRetry};
  table->OnDeleteError = Chooser(retry);
  rows->FailNext("Delete", 3260, locked);
  table->Delete();
  EXPECT_EQ(rows->ColumnTexts("ID"), (Strings{"1", "3", "4"}));
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");

  Choice abort{TDataAction::daAbort};
  table->OnDeleteError = Chooser(abort);
  rows->FailNext("Delete", 3260, locked);
  EXPECT_NO_THROW(table->Delete());
  EXPECT_EQ(rows->rows.size(), 3u);
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");  // recovered where it was
  EXPECT_TRUE(table->BookmarkValid(table->GetBookmark()));

  Choice fail{TDataAction::daFail};
  table->OnDeleteError = Chooser(fail);
  rows->FailNext("Delete", 3260, locked);
  EXPECT_THROW(table->Delete(), dao::EngineError);
  EXPECT_EQ(rows->rows.size(), 3u);

  table->OnDeleteError = nullptr;
  rows->FailNext("Delete", 3260, locked);
  EXPECT_THROW(table->Delete(), dao::EngineError);
  EXPECT_EQ(table->FieldByName("ID").AsString(), "3");
}

TEST_F(TableEditing, ARecordDeletedElsewhereIsAbsorbedOnDelete) {
  Open();
  GoTo(3);
  rows->rows.erase(3);  // another user deleted it
  EXPECT_NO_THROW(table->Delete());
  EXPECT_EQ(rows->ColumnTexts("ID"), (Strings{"1", "2", "4"}));
  EXPECT_EQ(table->RecordCount(), 3);
  EXPECT_FALSE(table->FieldByName("ID").AsString().empty());
  // With a handler that fails, the table recovers and the error goes on.
  GoTo(2);
  rows->rows.erase(2);
  Choice fail{TDataAction::daFail};
  table->OnDeleteError = Chooser(fail);
  try {
    table->Delete();
    ADD_FAILURE() << "no error";
  } catch (const dao::EngineError& e) {
    EXPECT_EQ(e.Number(), dao::kRecordDeleted);
  }
  EXPECT_EQ(fail.calls, 1);
  EXPECT_EQ(table->RecordCount(), 2);
}

TEST_F(TableEditing, EditingARecordDeletedElsewhereFails) {
  Open();
  // Deleted while being edited: the post cannot write it anywhere; the
  // table shows the records as they are now.
  GoTo(3);
  table->Edit();
  table->FieldByName("Name").SetText("lost cause");
  table->F_Set_UseRecordCount(false);
  table->RecordCount();  // the cursor moves, the engine's edit ends
  rows->rows.erase(3);
  EXPECT_THROW(table->Post(), dao::EngineError);
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(rows->ColumnTexts("ID"), (Strings{"1", "2", "4"}));
  EXPECT_EQ(table->RecordCount(), 3);
  // Deleted before the edit starts.
  GoTo(2);
  rows->rows.erase(2);
  EXPECT_THROW(table->Edit(), dao::EngineError);
  EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(rows->ColumnTexts("Name"), (Strings{"name1", "name4"}));
}

TEST_F(TableEditing, EventsFrameEachOperationAndBeforeHandlersCanStopIt) {
  Open();
  std::vector<std::string> events;
  auto note = [&events](const char* name) {
    return [&events, name](TDataSet&) { events.emplace_back(name); };
  };
  table->BeforeEdit = note("BeforeEdit");
  table->AfterEdit = note("AfterEdit");
  table->BeforePost = note("BeforePost");
  table->AfterPost = note("AfterPost");
  table->BeforeInsert = note("BeforeInsert");
  table->OnNewRecord = note("OnNewRecord");
  table->AfterInsert = note("AfterInsert");
  table->BeforeCancel = note("BeforeCancel");
  table->AfterCancel = note("AfterCancel");
  table->BeforeDelete = note("BeforeDelete");
  table->AfterDelete = note("AfterDelete");
  table->Edit();
  table->FieldByName("Name").SetText("x");
  table->Post();
  table->Insert();
  table->Cancel();
  table->Delete();
  EXPECT_EQ(events, (Strings{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeInsert",
                             "OnNewRecord", "AfterInsert", "BeforeCancel", "AfterCancel",
                             "BeforeDelete", "AfterDelete"}));
  // A BeforePost handler that stops the post quietly.
  table->BeforePost = [](TDataSet&) { throw OperationAborted(); };
  table->Edit();
  table->FieldByName("Name").SetText("not yet");
  EXPECT_NO_THROW(table->Post());
  EXPECT_EQ(table->State(), TDataSetState::dsEdit);
  EXPECT_EQ(Stored(2, "Name"), "name2");
  table->Cancel();
}

TEST_F(TableEditing, RequiredFieldsMustHaveAValueBeforeTheEngineIsAsked) {
  rows->columns[1].required = true;
  Open();
  table->Insert();
  table->FieldByName("Count").SetText("3");
  try {
    table->Post();
    ADD_FAILURE() << "posted";
  } catch (const DataSetError& e) {
    EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
  }
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(table->State(), TDataSetState::dsInsert);
  table->Cancel();
}

TEST_F(TableEditing, RefreshSortedRequeriesAfterEveryPost) {
  table->F_Set_SortedBy({"Name"});
  table->F_Set_RefreshSorted(true);
  Open();
  table->Last();
  table->Edit();
  table->FieldByName("Name").SetText("aaa");
  table->Post();
  EXPECT_EQ(Log(), (Strings{"Edit", "SetValue Name", "Update", "Requery"}));
  // Back at the first record, in the new order.
  EXPECT_TRUE(table->Bof());
  EXPECT_EQ(table->FieldByName("Name").AsString(), "aaa");
  // Without RefreshSorted the table stays on the posted record.
  table->F_Set_RefreshSorted(false);
  table->Last();
  rows->log.clear();
  table->Edit();
  table->FieldByName("Name").SetText("zzz");
  table->Post();
  EXPECT_EQ(Log(), (Strings{"Edit", "SetValue Name", "Update"}));
  EXPECT_EQ(table->FieldByName("Name").AsString(), "zzz");
}

TEST_F(TableEditing, BlobStreamsInWriteModeReachThePost) {
  Open();
  GoTo(2);
  table->Edit();
  {
    TVxBlobStream pic(table->FieldByName("Pic"), TBlobStreamMode::bmWrite);
    const std::vector<std::byte> bytes = testing_support::PatternBytes(10);
    EXPECT_EQ(pic.Write(bytes), 10u);
    // Writing 3 bytes at position 5 keeps the first 5 and the 3.
    pic.SetPosition(5);
    const std::vector<std::byte> three{std::byte{0xA1}, std::byte{0xA2}, std::byte{0xA3}};
    EXPECT_EQ(pic.Write(three), 3u);
    EXPECT_EQ(pic.Size(), 8);
  }
  {
    // Truncating at a position keeps what stands before it.
    TVxBlobStream notes(table->FieldByName("Notes"), TBlobStreamMode::bmReadWrite);
    notes.Write(std::as_bytes(std::span("abcdef", 6)));
    notes.SetPosition(2);
    notes.Truncate();
    EXPECT_EQ(notes.Size(), 2);
  }
  EXPECT_EQ(table->FieldByName("Notes").AsString(), "ab");
  EXPECT_TRUE(table->Modified());
  // Read back before the post: the written value, not the file's.
  TVxBlobStream again(table->FieldByName("Pic"), TBlobStreamMode::bmRead);
  EXPECT_EQ(again.Size(), 8);
  table->FieldByName("Notes").SetText("memo\r\ntext");
  EXPECT_EQ(table->FieldByName("Notes").AsString(), "memo\r\ntext");
  table->Post();
  std::vector<std::byte> expected = testing_support::PatternBytes(5);
  expected.insert(expected.end(), {std::byte{0xA1}, std::byte{0xA2}, std::byte{0xA3}});
  EXPECT_EQ(std::get<dao::Bytes>(rows->rows.at(2)[3]), expected);
  EXPECT_EQ(Stored(2, "Notes"), "memo\r\ntext");
  // After the post the stream reads what the file holds.
  TVxBlobStream posted(table->FieldByName("Pic"), TBlobStreamMode::bmRead);
  EXPECT_TRUE(std::ranges::equal(posted.Data(), expected));
}

TEST_F(TableEditing, AReadOnlyTableRefusesEveryEdit) {
  struct Case {
    const char* what;
    std::function<void(TableEditing&)> configure;
    const char* message;
  };
  const char* generic = "Cannot modify a read-only dataset";
  for (const Case& c :
       {Case{"ReadOnly", [](TableEditing& t) { t.table->F_Set_ReadOnly(true); }, generic},
        // the engine's own refusal says why
        Case{"not updatable", [](TableEditing& t) { t.rows->updatable = false; },
             fake::MemoryRecordset::kNotUpdatable},
        Case{"snapshot", [](TableEditing& t) { t.table->F_Set_TableType(4); }, generic}}) {
    SCOPED_TRACE(c.what);
    table->Close();
    table->F_Set_ReadOnly(false);
    table->F_Set_TableType(2);
    rows->updatable = true;
    c.configure(*this);
    Open();
    EXPECT_FALSE(table->CanModify());
    for (auto operation :
         {&TDataSet::Edit, &TDataSet::Insert, &TDataSet::Append, &TDataSet::Delete}) {
      try {
        (table.get()->*operation)();
        ADD_FAILURE() << "allowed";
      } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
    EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(rows->rows.size(), 4u);
    try {
      TVxBlobStream(table->FieldByName("Pic"), TBlobStreamMode::bmWrite);
      ADD_FAILURE() << "allowed";
    } catch (const DatabaseError& e) {
      EXPECT_STREQ(e.what(), "Cannot write to ReadOnly table!");
    }
  }
}

// Reverses texts both ways.
class ReversingEncrypter : public TVxEncrypter {
 public:
  void SetEncodedString(const std::string& text) override { text_ = text; }
  std::string DecodedString() override { return std::string(text_.rbegin(), text_.rend()); }
  void SetDecodedString(const std::string& text) override { text_ = text; }
  std::string EncodedString() override { return std::string(text_.rbegin(), text_.rend()); }

 private:
  std::string text_;
};

// Decodes only.
class DecodingEncrypter : public TVxEncrypter {
 public:
  void SetEncodedString(const std::string& text) override { text_ = text; }
  std::string DecodedString() override { return text_; }

 private:
  std::string text_;
};

TEST_F(TableEditing, TheEncrypterEncodesTextsItDecodes) {
  ReversingEncrypter reversing;
  table->F_Set_Encrypter(&reversing);
  Open();
  EXPECT_EQ(table->FieldByName("Name").AsString(), "1eman");
  table->Edit();
  table->FieldByName("Name").SetText("plain");
  table->FieldByName("Notes").SetText("memo");
  table->FieldByName("Count").SetText("12");  // numbers are not passed through
  table->Post();
  EXPECT_EQ(Stored(1, "Name"), "nialp");
  EXPECT_EQ(Stored(1, "Notes"), "omem");
  EXPECT_EQ(Stored(1, "Count"), "12");
  EXPECT_EQ(table->FieldByName("Name").AsString(), "plain");
  // An Encrypter that cannot encode refuses instead of writing plain text.
  DecodingEncrypter decoding;
  table->F_Set_Encrypter(&decoding);
  table->Edit();
  table->FieldByName("Name").SetText("secret");
  EXPECT_THROW(table->Post(), DatabaseError);
  EXPECT_EQ(Stored(1, "Name"), "nialp");
  table->Cancel();
}

TEST_F(TableEditing, TranslationStoresTextsInTheOemCodePage) {
  table->F_Set_Translation(true);
  Open();
  table->Edit();
  table->FieldByName("Name").SetText("Käse");
  table->Post();
  // ä is 84 in code page 850; the engine reads that byte as Windows-1252 „.
  EXPECT_EQ(Stored(1, "Name"),
            "K\xE2\x80\x9E"
            "se");
  EXPECT_EQ(table->FieldByName("Name").AsString(), "Käse");
}

TEST_F(TableEditing, LocateWithoutBookmarksComparesRecordByRecord) {
  rows->bookmarkable = false;
  rows->rows.begin()->second[static_cast<std::size_t>(rows->Column("Name"))] = dao::Null{};  // ID 1
  Open();
  ASSERT_FALSE(table->HasBookmarks());
  struct Case {
    const char* fields;
    Strings values;
    TLocateOptions options;
    int foundId;  // 0: no match, the table stays on ID 3
  };
  const Case cases[] = {
      {"Name", {"name2"}, 0, 2},
      {"Name", {"NAME2"}, 0, 0},  // letter case counts without the option
      {"Name", {"NAME2"}, loCaseInsensitive, 2},
      {"Name", {"*ame4*"}, loPartialKey, 4},  // one leading and one trailing "*" dropped
      {"Name", {"AME3"}, loPartialKey | loCaseInsensitive, 3},
      {"Name;Count", {"name3", "30"}, 0, 3},
      {"Name;Count", {"name3", "40"}, 0, 0},  // every key field must match
      {"Name", {"NULL"}, 0, 1},               // the null key finds the null value
      {"Name", {"zzz"}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fields) + " " + c.values.front());
    GoTo(3);
    const bool found = table->Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, c.foundId != 0);
    EXPECT_EQ(table->FieldByName("ID").AsString(), std::to_string(c.foundId != 0 ? c.foundId : 3));
    EXPECT_EQ(table->RecNo(), c.foundId != 0 ? c.foundId : 3);
  }
  // the find family needs bookmarks
  GoTo(1);
  EXPECT_FALSE(table->FindFirst("Name", {"name2"}));
  EXPECT_EQ(table->FieldByName("ID").AsString(), "1");
}

}  // namespace
}  // namespace corvid
