// Lookup on TVxDaoTable: values of the first record matching the keys, read
// through a snapshot while the table's record and Filter stay as they were.

#include <gtest/gtest.h>

#include "dao/engine/database_error.h"
#include "test_table_locate_support.h"

namespace corvid {
namespace {

using namespace testing_support;

const std::string kNwind = kFixtures + "nwind.mdb";

TEST(TableLookup, ValuesOfTheMatchingRecordInTheGivenOrder) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Order Details");
  db.table.Open();
  db.table.MoveBy(3);
  const int before = db.table.RecNo();
  // Checked against mdb-export's reading of the same record.
  const auto rows = ExportedRows(kNwind, "Order Details");
  const auto& row = rows.at(1000);
  const auto values =
      db.table.Lookup("OrderID;ProductID", {row[0], row[1]}, "Quantity;ProductID;UnitPrice");
  ASSERT_TRUE(values);
  ASSERT_EQ(values->size(), 3u);
  EXPECT_EQ(std::to_string(std::get<std::int64_t>((*values)[0])), row[3]);
  EXPECT_EQ(std::to_string(std::get<std::int64_t>((*values)[1])), row[1]);
  EXPECT_NEAR(std::get<dao::Currency>((*values)[2]).ToDouble(), std::stod(row[2]), 1e-9);
  EXPECT_EQ(db.table.RecNo(), before);

  const auto single = db.table.Lookup("OrderID", {"10248"}, "ProductID");
  ASSERT_TRUE(single);
  ASSERT_EQ(single->size(), 1u);
  EXPECT_EQ(std::get<std::int64_t>(single->front()), 11);
}

TEST(TableLookup, OnATableTypeTableWithAnIndex) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Order Details");
  db.table.F_Set_TableType(1);
  db.table.F_Set_IndexName("ProductID");
  db.table.Open();
  db.table.Next();
  const std::string before = Text(db.table, "OrderID") + "/" + Text(db.table, "ProductID");
  const auto values = db.table.Lookup("OrderID;ProductID", {"10248", "42"}, "Quantity");
  ASSERT_TRUE(values);
  EXPECT_EQ(std::get<std::int64_t>(values->front()), 10);
  EXPECT_EQ(Text(db.table, "OrderID") + "/" + Text(db.table, "ProductID"), before);
  db.table.Next();  // still in the index's order
  EXPECT_LE(std::stoi(Text(db.table, "ProductID")), 2);
}

TEST(TableLookup, NoMatchAnswersFalseAndChangesNothing) {
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Customers");
  db.table.F_Set_Filter("[Country] = \"Germany\"");
  db.table.F_Set_Filtered(true);
  db.table.Open();
  db.table.Next();
  const std::string before = Text(db.table, "CustomerID");
  const int recNo = db.table.RecNo();
  const int count = db.table.RecordCount();
  EXPECT_FALSE(db.table.Lookup("CustomerID", {"NOONE"}, "CompanyName"));
  EXPECT_FALSE(db.table.Lookup("CustomerID", {"NULL"}, "CompanyName"));
  EXPECT_EQ(Text(db.table, "CustomerID"), before);
  EXPECT_EQ(db.table.RecNo(), recNo);
  EXPECT_EQ(db.table.Filter(), "[Country] = \"Germany\"");
  // The recordset's own filtering is unchanged too: the next open of it
  // and the walk still see the same records.
  EXPECT_EQ(db.table.RecordCount(), count);
  db.table.Refresh();
  EXPECT_EQ(db.table.RecordCount(), count);
  // A lookup through the filtered table sees only its records.
  EXPECT_FALSE(db.table.Lookup("CustomerID", {"ANATR"}, "CompanyName"));
  const auto found = db.table.Lookup("CustomerID", {"ALFKI"}, "City");
  ASSERT_TRUE(found);
  EXPECT_EQ(std::get<std::string>(found->front()), "Berlin");
}

TEST(TableLookup, AwkwardKeysAndNullResults) {
  ScratchDir dir;
  OpenDatabase db(MakeAwkwardDatabase(dir));
  db.table.F_Set_TableName("Awkward");
  db.table.Open();
  struct Case {
    std::string fields;
    std::vector<std::string> keys;
    std::int64_t id;
  };
  const std::vector<Case> cases{
      {"Name", {"say \"hi\""}, 1},
      {"Name", {"a*b?c"}, 2},
      {"Name", {"![#]-x"}, 3},
      {"Name", {"NULL"}, 4},
      {"Uid", {"{12345678-9ABC-DEF0-0123-456789ABCDEF}"}, 1},
      {"When;Flag", {"02/03/2001 12:00:00", "True"}, 1},
      {"Score", {"3"}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields + " " + c.keys.front());
    const auto values = db.table.Lookup(c.fields, c.keys, "ID");
    ASSERT_TRUE(values);
    EXPECT_EQ(std::get<std::int64_t>(values->front()), c.id);
  }
  // LIKE characters are not patterns in a lookup: "a*" is no key of "a*b?c".
  EXPECT_FALSE(db.table.Lookup("Name", {"a*"}, "ID"));
  const auto nulls = db.table.Lookup("ID", {"3"}, "Uid;Score;When");
  ASSERT_TRUE(nulls);
  for (const auto& value : *nulls) EXPECT_TRUE(dao::IsNull(value));
}

TEST(TableLookup, RefusalsCarryTheirMessages) {
  ScratchDir dir;
  OpenDatabase db(MakeAwkwardDatabase(dir));
  db.table.F_Set_TableName("Awkward");
  db.table.Open();
  EXPECT_EQ(MessageOf([&] { db.table.Lookup("ID;Name", {"1"}, "Name"); }),
            "Number of elements in the KeyValues array must be equal to the number of fields.");
  EXPECT_EQ(MessageOf([&] { db.table.Lookup("ID", {"1"}, ""); }), "ResultFields are not defined");
  EXPECT_EQ(MessageOf([&] { db.table.Lookup("ID", {"1"}, "Name;Nope"); }),
            "Invalid field name: Nope");
  EXPECT_EQ(MessageOf([&] { db.table.Lookup("ID", {"x\"y"}, "Name"); }).substr(0, 6), "Syntax");
}

TEST(TableLookup, EmptyTableAnswersFalseBeforeCheckingArguments) {
  ScratchDir dir;
  OpenDatabase db(MakeThingsDatabase(dir));
  db.table.F_Set_TableName("Empty");
  db.table.Open();
  EXPECT_FALSE(db.table.Lookup("ID", {"1", "2"}, ""));
}

TEST(TableLookup, CalculatedResultFieldsAreComputedOnTheFoundRecord) {
  ScratchDir dir;
  OpenDatabase db(MakeAwkwardDatabase(dir));
  db.table.F_Set_TableName("Awkward");
  db.table.AddField("ID", TFieldType::ftInteger, TFieldKind::fkData);
  db.table.AddField("Name", TFieldType::ftString, TFieldKind::fkData, 60);
  db.table.AddField("Twice", TFieldType::ftInteger, TFieldKind::fkCalculated);
  std::vector<std::string> seen;  // the records the calculation ran on
  db.table.OnCalcFields = [&](TDataSet& set) {
    seen.push_back(set.FieldByName("Name").AsString());
  };
  db.table.Open();
  seen.clear();
  const auto values = db.table.Lookup("Name", {"abcdef"}, "ID;Twice");
  ASSERT_TRUE(values);
  EXPECT_EQ(std::get<std::int64_t>((*values)[0]), 6);
  EXPECT_TRUE(dao::IsNull((*values)[1]));  // the handler set no value
  EXPECT_EQ(seen, (std::vector<std::string>{"abcdef"}));
  EXPECT_EQ(Text(db.table, "Name"), "say \"hi\"");
}

}  // namespace
}  // namespace corvid
