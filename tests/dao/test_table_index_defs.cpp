// TVxDaoTable's IndexDefs and IndexFieldCount on real files: read from the
// table definition for table-type tables, and writing or deleting an index
// refused by the read-only engine with the file left as it was.

#include <gtest/gtest.h>

#include <filesystem>

#include "dao/engine/database.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/tabledef.h"
#include "test_table_locate_support.h"

namespace corvid {
namespace {

using namespace testing_support;

const std::string kNwind = kFixtures + "nwind.mdb";
const std::string kIndexTest = kFixtures + "indexTestV2003.mdb";

int EngineErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const dao::EngineError& e) {
    return e.Number();
  }
  return 0;
}

TEST(TableIndexDefs, ReadFromTheTableDefinitionOfATableTypeTable) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Order Details");
  db.table.F_Set_TableType(1);
  db.table.Open();
  const TVxDaoIndexDefs& defs = db.table.IndexDefs();
  // As many definitions as the engine's Indexes collection has, by name.
  dao::Indexes& indexes =
      db.database.DatabaseObject()->TableDefs().Item("Order Details").TableIndexes();
  ASSERT_EQ(defs.Count(), static_cast<std::size_t>(indexes.Count()));
  for (int i = 0; i < indexes.Count(); ++i)
    EXPECT_EQ(defs[static_cast<std::size_t>(i)].name, indexes.Item(i).Name());
  const TVxDaoIndexDef* primary = defs.Find("primarykey");
  ASSERT_NE(primary, nullptr);
  EXPECT_EQ(primary->fields, "OrderID;ProductID");
  EXPECT_EQ(primary->descFields, "");
  EXPECT_TRUE(primary->Has(TIndexOption::ixPrimary));
  EXPECT_TRUE(primary->Has(TIndexOption::ixUnique));
  EXPECT_FALSE(primary->Has(TIndexOption::ixDescending));
  const TVxDaoIndexDef* product = defs.Find("ProductID");
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->fields, "ProductID");
  EXPECT_TRUE(product->options.empty());
  // Read again when the table is closed and its field definitions rebuilt.
  db.table.Close();
  EXPECT_EQ(db.table.IndexDefs().Count(), defs.Count());
}

TEST(TableIndexDefs, OnlyTableTypeTablesWithATableNameHaveThem) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Order Details");
  db.table.Open();  // dynaset
  EXPECT_EQ(db.table.IndexDefs().Count(), 0u);
  db.table.Close();
  db.table.F_Set_TableType(1);
  db.table.Open();
  EXPECT_GT(db.table.IndexDefs().Count(), 0u);
  db.table.Close();
  db.table.F_Set_TableType(2);  // another type clears them
  EXPECT_EQ(db.table.IndexDefs().Count(), 0u);
  db.table.F_Set_TableType(1);
  db.table.UpdateIndexDefs();
  EXPECT_GT(db.table.IndexDefs().Count(), 0u);
  db.table.F_Set_TableName("Orders");  // a new source clears them
  EXPECT_EQ(db.table.IndexDefs().Count(), 0u);
}

TEST(TableIndexDefs, RelationshipEntriesAreListedButNotUsedForLocate) {
  OpenDatabase db(kIndexTest);
  db.table.F_Set_TableName("Table1");
  db.table.F_Set_TableType(1);
  db.table.Open();
  std::set<std::string> names;
  for (const auto& def : db.table.IndexDefs()) names.insert(def.name);
  EXPECT_EQ(names, (std::set<std::string>{"PrimaryKey", "id", "Table2Table1", "Table3Table1"}));
  // otherfk1 is only in a relationship entry: locate has no index for it.
  EXPECT_THROW(db.table.Locate("otherfk1", {"1"}), DatabaseError);
  ASSERT_TRUE(db.table.Locate("id", {"2"}));
  EXPECT_EQ(Text(db.table, "data"), "baz11-2");
}

TEST(TableIndexDefs, IndexFieldCountOfTheSetIndex) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Order Details");
  db.table.F_Set_TableType(1);
  EXPECT_EQ(db.table.IndexFieldCount(), 0);
  db.table.F_Set_IndexName("PrimaryKey");
  EXPECT_EQ(db.table.IndexFieldCount(), 2);
  db.table.F_Set_IndexName("ProductID");
  EXPECT_EQ(db.table.IndexFieldCount(), 1);
  db.table.F_Set_IndexName("NoSuchIndex");
  EXPECT_EQ(db.table.IndexFieldCount(), 0);
}

TEST(TableIndexDefs, WritingAndDeletingAreRefusedAndTheFileIsLeftAsItWas) {
  ScratchDir dir;
  const std::string copy = dir / "nwind.mdb";
  std::filesystem::copy_file(kNwind, copy);
  const auto before = ReadFileBytes(copy);
  {
    OpenDatabase db(copy);
    db.table.F_Set_TableName("Order Details");
    db.table.F_Set_TableType(1);
    db.table.Open();
    db.table.MoveBy(3);
    const std::size_t count = db.table.IndexDefs().Count();
    db.table.IndexDefs().Add("ByQuantity", "Quantity", {TIndexOption::ixUnique}, "Discount");
    EXPECT_EQ(EngineErrorOf([&] { db.table.IndexDefs().Update(); }), 3027);
    EXPECT_TRUE(db.table.Active());  // opened again after the attempt
    EXPECT_EQ(EngineErrorOf([&] { db.table.IndexDefs().Delete("ProductID"); }), 3027);
    EXPECT_TRUE(db.table.Active());
    // Opening the table again read the definitions from the file again.
    EXPECT_EQ(db.table.IndexDefs().Count(), count);
    EXPECT_EQ(db.table.IndexDefs().Find("ByQuantity"), nullptr);
    // A definition naming a field the table lacks is left out of the
    // update; the list is then read again.
    db.table.IndexDefs().Clear();
    db.table.IndexDefs().Add("Broken", "NoSuchField");
    db.table.IndexDefs().Update();
    EXPECT_EQ(db.table.IndexDefs().Count(), count);
    EXPECT_EQ(db.table.IndexDefs().Find("Broken"), nullptr);
  }
  {
    // Shaping an index the file has is refused the same way.
    OpenDatabase db(copy);
    dao::Index& index = db.database.DatabaseObject()
                            ->TableDefs()
                            .Item("Order Details")
                            .TableIndexes()
                            .Item("OrderID");
    EXPECT_EQ(EngineErrorOf([&] { index.SetPrimary(true); }), 3027);
    EXPECT_EQ(EngineErrorOf([&] { index.SetUnique(true); }), 3027);
    EXPECT_EQ(EngineErrorOf([&] { index.AppendField("ProductID", dao::dbDescending); }), 3027);
  }
  EXPECT_EQ(ReadFileBytes(copy), before);
}

TEST(TableIndexDefs, WithoutATableNameDeletingDoesNothing) {
  OpenDatabase db(kNwind);
  db.table.F_Set_SQL({"Select * From [Orders]"});
  db.table.IndexDefs().Delete("PrimaryKey");
  EXPECT_FALSE(db.table.Active());
}

}  // namespace
}  // namespace corvid
