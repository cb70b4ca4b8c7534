// Master/detail links between TVxDaoTable components: the detail shows the
// records whose detail fields equal the master's current values, follows the
// master as it moves, and refuses circular links.

#include <gtest/gtest.h>

#include <algorithm>

#include "dao/dataset/data_source.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/recordset.h"
#include "test_table_locate_support.h"

namespace corvid {
namespace {

using namespace testing_support;

const std::string kNwind = kFixtures + "nwind.mdb";

std::vector<std::string> Column(TVxDaoTable& table, const std::string& field) {
  std::vector<std::string> values;
  for (table.First(); !table.Eof(); table.Next()) values.push_back(Text(table, field));
  table.First();
  return values;
}

// A detail table on the master's database.
struct Detail {
  explicit Detail(OpenDatabase& db) {
    table.F_Set_Database(&db.database);
    table.F_Set_ReadOnly(true);
  }
  ~Detail() {
    try {
      table.Close();
    } catch (...) {
    }
  }
  TVxDaoTable table;
};

class MasterDetailOnAwkward : public OnAwkwardDatabase {
 protected:
  void SetUp() override {
    db_ = std::make_unique<OpenDatabase>(path_);
    db_->table.F_Set_TableName("Awkward");
    detail_ = std::make_unique<Detail>(*db_);
    detail_->table.F_Set_TableName("Kinds");
    source_.SetDataSet(&db_->table);
  }
  void TearDown() override {
    detail_.reset();
    source_.SetDataSet(nullptr);
    db_.reset();
  }
  TVxDaoTable& Master() { return db_->table; }
  TVxDaoTable& Table() { return detail_->table; }
  // Moves the master to the record whose ID is `id`.
  void MasterTo(const std::string& id) { ASSERT_TRUE(Master().Locate("ID", {id})); }

  std::unique_ptr<OpenDatabase> db_;
  std::unique_ptr<Detail> detail_;
  TDataSource source_;
};

TEST_F(MasterDetailOnAwkward, ArrowLineComparesTheDetailFieldWithTheMasterField) {
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();  // opens the master too (MasterAutoActivate)
  ASSERT_TRUE(Master().Active());
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-a", "one-b", "one-c"}));
  MasterTo("2");
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"two-a"}));
  MasterTo("3");
  EXPECT_TRUE(Table().IsEmpty());
  Master().Next();  // ID 4
  EXPECT_TRUE(Table().IsEmpty());
  Master().Next();  // ID 5
  EXPECT_EQ(Text(Table(), "Label"), "five");
  EXPECT_EQ(Table().RecNo(), 1);
}

TEST_F(MasterDetailOnAwkward, TextKeysWithQuotesAndNullMasterValues) {
  Table().F_Set_MasterFields({"OwnerName -> Name"});
  Table().F_Set_MasterSource(&source_);
  Master().Open();
  Table().Open();
  EXPECT_EQ(Column(Table(), "KindID"), (std::vector<std::string>{"1", "3", "6"}));  // say "hi"
  MasterTo("4");                                                                    // Name is Null
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"nobody"}));
  MasterTo("2");  // a*b?c: no pattern, an equal text
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"two-a"}));
}

TEST_F(MasterDetailOnAwkward, SeveralPairsFilterAndSortCombine) {
  Table().F_Set_MasterFields({"OwnerID -> ID", "not a pair", "OwnerName -> Name"});
  Table().F_Set_Filter("[Label] <> \"one-b\"");
  Table().F_Set_Filtered(true);
  Table().F_Set_SortedBy({"[Label] DESC"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-c", "one-a"}));
  MasterTo("5");
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"five"}));
}

TEST_F(MasterDetailOnAwkward, OneLineOfNamesUsesTheSameNameOnBothSides) {
  // Kinds as its own master through a second component: KindID;OwnerID.
  Detail kinds(*db_);
  kinds.table.F_Set_TableName("Kinds");
  TDataSource kindsSource(&kinds.table);
  Table().F_Set_MasterFields({"KindID;OwnerID"});
  Table().F_Set_MasterSource(&kindsSource);
  Table().Open();
  ASSERT_TRUE(kinds.table.Active());
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-a"}));
  kinds.table.Last();
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-c"}));
  kinds.table.Prior();
  kinds.table.Prior();  // KindID 4: OwnerID is Null
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"nobody"}));
  Table().Close();
}

TEST_F(MasterDetailOnAwkward, DateGuidYesNoAndDoubleMasterValues) {
  // A second component over Awkward follows the first by one field at a
  // time: the records holding the master record's value of that field.
  Table().F_Set_TableName("Awkward");
  Table().F_Set_UseBrackets(false);  // plain names need no brackets
  Table().F_Set_MasterSource(&source_);
  struct Case {
    std::string field;
    std::string masterId;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases{
      {"When", "1", {"1", "5"}},
      {"When", "4", {"4"}},
      {"When", "3", {"3", "7"}},  // a Null master value: IS NULL
      {"Uid", "2", {"2"}},
      {"Flag", "1", {"1", "3", "5"}},
      {"Flag", "2", {"2", "4", "6", "7"}},
      {"Score", "2", {"2"}},
      {"Score", "1", {"1", "5"}},
      {"ID;Name", "7", {"7"}},
  };
  Master().Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field + " of " + c.masterId);
    Table().F_Set_MasterFields({c.field});
    if (!Table().Active()) Table().Open();
    MasterTo(c.masterId);
    EXPECT_EQ(Column(Table(), "ID"), c.ids);
  }
}

TEST_F(MasterDetailOnAwkward, AnSqlSourceFiltersTheCurrentRecordsetKeptAsPrevious) {
  Table().F_Set_SQL({"Select * From [Kinds] Where [KindID] > 1"});
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  EXPECT_NE(Table().PreviousRecordset(), nullptr);
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-b", "one-c"}));
  MasterTo("5");
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"five"}));
  Table().Close();
  EXPECT_EQ(Table().PreviousRecordset(), nullptr);
}

TEST_F(MasterDetailOnAwkward, DisabledControlsOnEitherSideHoldTheDetail) {
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  Master().DisableControls();
  MasterTo("2");
  EXPECT_EQ(Text(Table(), "Label"), "one-a");
  Master().EnableControls();  // the last enable tells the followers
  EXPECT_EQ(Text(Table(), "Label"), "two-a");
  Table().DisableControls();
  MasterTo("5");
  EXPECT_EQ(Text(Table(), "Label"), "two-a");
  Table().EnableControls();
  MasterTo("1");
  EXPECT_EQ(Text(Table(), "Label"), "one-a");
}

TEST_F(MasterDetailOnAwkward, DisablingNestsAndOnlyTheLastEnableTells) {
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  Master().DisableControls();
  Master().DisableControls();
  MasterTo("2");
  Master().EnableControls();
  EXPECT_TRUE(Master().ControlsDisabled());
  EXPECT_EQ(Text(Table(), "Label"), "one-a");
  Master().EnableControls();
  EXPECT_FALSE(Master().ControlsDisabled());
  EXPECT_EQ(Text(Table(), "Label"), "two-a");
  Master().EnableControls();  // one more enable than disables changes nothing
  EXPECT_FALSE(Master().ControlsDisabled());
}

TEST_F(MasterDetailOnAwkward, ATableTypeDetailByTableNamePassesTheEnginesRefusalOfSql) {
  // The link opens "Select * From [Kinds] Where ...", which can't give a
  // table-type recordset: the engine's error reaches the caller and the
  // detail stays closed.
  Table().F_Set_TableType(1);
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  try {
    Table().Open();
    FAIL() << "opened";
  } catch (const dao::EngineError& e) {
    EXPECT_EQ(e.Number(), 3219);
  }
  EXPECT_FALSE(Table().Active());
}

TEST_F(MasterDetailOnAwkward, MasterAutoActivateOffLeavesAnInactiveMasterAndEveryRecord) {
  Table().F_Set_MasterAutoActivate(false);
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  EXPECT_FALSE(Master().Active());
  EXPECT_EQ(Table().RecordCount(), 6);
  Master().Open();  // the master's opening re-applies the link
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-a", "one-b", "one-c"}));
  source_.SetEnabled(false);  // a disabled source: no link
  EXPECT_EQ(Table().RecordCount(), 6);
}

TEST_F(MasterDetailOnAwkward, ChangingTheLinkWhileActiveReopens) {
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source_);
  Table().Open();
  MasterTo("2");
  Table().F_Set_MasterFields({"OwnerName -> Name"});
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"two-a"}));
  MasterTo("1");
  EXPECT_EQ(Table().RecordCount(), 3);
  Table().F_Set_MasterSource(nullptr);
  EXPECT_TRUE(Table().MasterFields().empty());
  EXPECT_EQ(Table().RecordCount(), 6);
  MasterTo("2");
  EXPECT_EQ(Table().RecordCount(), 6);
}

TEST_F(MasterDetailOnAwkward, CircularLinksAreRefused) {
  TDataSource own(&Table());
  EXPECT_EQ(MessageOf([&] { Table().F_Set_MasterSource(&own); }), "Circular links not allowed!");
  EXPECT_EQ(Table().MasterSource(), nullptr);
  // Kinds follows Awkward; Awkward may not follow Kinds.
  TDataSource detailSource(&Table());
  Table().F_Set_MasterSource(&source_);
  EXPECT_EQ(MessageOf([&] { Master().F_Set_MasterSource(&detailSource); }),
            "Circular links not allowed!");
  EXPECT_EQ(Master().MasterSource(), nullptr);
}

TEST_F(MasterDetailOnAwkward, UnknownFieldsOnEitherSideFailTheOpen) {
  Table().F_Set_MasterFields({"OwnerID -> Nope"});
  Table().F_Set_MasterSource(&source_);
  EXPECT_NE(MessageOf([&] { Table().Open(); }), "(nothing raised)");
  EXPECT_FALSE(Table().Active());
  Table().F_Set_MasterFields({"Unknown -> ID"});
  EXPECT_NE(MessageOf([&] { Table().Open(); }), "(nothing raised)");
  EXPECT_FALSE(Table().Active());
}

TEST_F(MasterDetailOnAwkward, ClosingOrDestroyingTheMasterLeavesTheDetailAsItIs) {
  auto master = std::make_unique<TVxDaoTable>();
  master->F_Set_Database(&db_->database);
  master->F_Set_ReadOnly(true);
  master->F_Set_TableName("Awkward");
  TDataSource source(master.get());
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(&source);
  Table().Open();
  ASSERT_TRUE(master->Active());
  master->Close();
  EXPECT_FALSE(master->Active());  // not opened again by the detail
  EXPECT_EQ(Column(Table(), "Label"), (std::vector<std::string>{"one-a", "one-b", "one-c"}));
  master->Open();
  ASSERT_TRUE(master->Locate("ID", {"2"}));
  EXPECT_EQ(Text(Table(), "Label"), "two-a");
  master.reset();  // destroyed while open: closes for good
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_EQ(db_->database.ActiveTables().size(), 1u);  // the detail only
  EXPECT_EQ(Text(Table(), "Label"), "two-a");
  Table().Close();
  Table().Open();  // no master data set any more: every record
  EXPECT_EQ(Table().RecordCount(), 6);
}

TEST_F(MasterDetailOnAwkward, ASourceDestroyedFirstIsForgotten) {
  auto source = std::make_unique<TDataSource>(&Master());
  Table().F_Set_MasterFields({"OwnerID -> ID"});
  Table().F_Set_MasterSource(source.get());
  Table().Open();
  source.reset();
  EXPECT_EQ(Table().MasterSource(), nullptr);
  Master().Next();
  EXPECT_EQ(Text(Table(), "Label"), "one-a");
}

TEST(MasterDetail, OrderDetailsFollowOrdersOnNorthwind) {
  // Checked against mdb-export: every order's details are the exported
  // rows with its OrderID.
  const auto details = ExportedRows(kNwind, "Order Details");
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Orders");
  Detail detail(db);
  detail.table.F_Set_TableName("Order Details");
  TDataSource source(&db.table);
  detail.table.F_Set_MasterFields({"OrderID"});
  detail.table.F_Set_MasterSource(&source);
  detail.table.Open();
  for (int step = 0; step < 40 && !db.table.Eof(); ++step, db.table.MoveBy(20)) {
    const std::string order = Text(db.table, "OrderID");
    SCOPED_TRACE(order);
    std::vector<std::string> expected;
    for (const auto& row : details)
      if (row[0] == order) expected.push_back(row[1]);
    EXPECT_EQ(Column(detail.table, "ProductID"), expected);
  }
}

}  // namespace
}  // namespace corvid
