// The table component over the real Northwind file: an index chosen by
// IndexName orders a table-type table (and changing it while open re-orders
// it), SortedBy lines order a dynaset, and changing Filter or Filtered while
// open reopens the table. Every order is checked against mdb-export's rows,
// sorted here.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "dao/engine/engine_error.h"
#include "test_engine_support.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using testing_support::kFixtures;
using testing_support::OpenDatabase;
namespace engine_testing = dao::testing;

const std::string kNorthwind = kFixtures + "nwind.mdb";

// mdb-export's rows of a table as columns of text. Texts come quoted (they
// may hold line breaks and the separator), doubled quotes inside.
std::vector<std::vector<std::string>> Exported(const std::string& table) {
  const auto text = engine_testing::RunCommand("mdb-export -H -d '|' -D '%Y-%m-%d' " +
                                               engine_testing::Quote(kNorthwind) + " " +
                                               engine_testing::Quote(table));
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == '|') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
    } else {
      field += c;
    }
  }
  return rows;
}

std::vector<std::string> Walk(TVxDaoTable& table, const std::vector<std::string>& fields) {
  std::vector<std::string> keys;
  for (table.First(); !table.Eof(); table.Next()) {
    std::string key;
    for (const auto& field : fields) key += table.FieldByName(field).AsString() + "/";
    keys.push_back(key);
  }
  return keys;
}

TEST(TableIndexOrder, IndexNameOrdersATableTypeTableAndReordersWhileOpen) {
  auto rows = Exported("Order Details");
  ASSERT_EQ(rows.size(), 2155u);
  std::vector<std::pair<long, long>> primary;
  for (const auto& row : rows) primary.emplace_back(std::stol(row[0]), std::stol(row[1]));
  std::sort(primary.begin(), primary.end());
  std::vector<std::string> byPrimaryKey;
  for (const auto& [order, product] : primary)
    byPrimaryKey.push_back(std::to_string(order) + "/" + std::to_string(product) + "/");

  OpenDatabase db(kNorthwind);
  db.table.F_Set_TableName("Order Details");
  db.table.F_Set_TableType(1);
  db.table.F_Set_IndexName("PrimaryKey");
  EXPECT_EQ(db.table.IndexFieldCount(), 2);
  db.table.Open();
  EXPECT_EQ(Walk(db.table, {"OrderID", "ProductID"}), byPrimaryKey);
  EXPECT_EQ(db.table.RecordCount(), 2155);

  // another index while open: the table goes to its first record in the new
  // order; within equal ProductIDs the order is the engine's, so compare the
  // key sequence and the records as a set
  db.table.Next();
  db.table.F_Set_IndexName("ProductID");
  EXPECT_EQ(db.table.IndexFieldCount(), 1);
  EXPECT_EQ(db.table.RecNo(), 1);
  std::vector<long> products;
  std::vector<std::string> records;
  for (; !db.table.Eof(); db.table.Next()) {
    products.push_back(std::stol(db.table.FieldByName("ProductID").AsString()));
    records.push_back(db.table.FieldByName("OrderID").AsString() + "/" +
                      db.table.FieldByName("ProductID").AsString() + "/");
  }
  EXPECT_TRUE(std::is_sorted(products.begin(), products.end()));
  std::sort(records.begin(), records.end());
  std::vector<std::string> expected = byPrimaryKey;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(records, expected);
  EXPECT_EQ(db.table.RecordCount(), 2155);

  // an index the table does not have: the engine's refusal is passed on and
  // the table keeps its index
  EXPECT_THROW(db.table.F_Set_IndexName("NoSuchIndex"), dao::EngineError);
  EXPECT_EQ(db.table.IndexName(), "ProductID");
  EXPECT_EQ(db.table.IndexFieldCount(), 1);
}

TEST(TableIndexOrder, SortedByLinesOrderADynaset) {
  auto rows = Exported("Orders");  // OrderID, CustomerID, ..., ShipCountry last
  ASSERT_GT(rows.size(), 800u);
  std::vector<std::tuple<std::string, long>> keys;
  for (const auto& row : rows) {
    std::string country = row.back();
    std::transform(country.begin(), country.end(), country.begin(), ::tolower);
    keys.emplace_back(country, std::stol(row[0]));
  }
  // ShipCountry ascending (case-insensitive), then OrderID descending
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
    return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b)
                                            : std::get<1>(a) > std::get<1>(b);
  });
  std::vector<std::string> expected;
  for (const auto& key : keys) expected.push_back(std::to_string(std::get<1>(key)) + "/");

  OpenDatabase db(kNorthwind);
  db.table.F_Set_TableName("Orders");
  db.table.F_Set_TableType(2);
  db.table.F_Set_SortedBy({"[ShipCountry]", "[OrderID] DESC"});
  db.table.Open();
  EXPECT_EQ(Walk(db.table, {"OrderID"}), expected);
}

TEST(TableIndexOrder, FilterChangesWhileOpenReopenTheTable) {
  auto rows = Exported("Orders");
  std::map<std::string, int> perCountry;
  for (const auto& row : rows) ++perCountry[row.back()];
  ASSERT_GT(perCountry["France"], 0);
  ASSERT_GT(perCountry["Germany"], 0);

  OpenDatabase db(kNorthwind);
  db.table.F_Set_TableName("Orders");
  db.table.F_Set_TableType(2);
  db.table.F_Set_Filter("[ShipCountry] = 'France'");
  db.table.Open();
  EXPECT_EQ(db.table.RecordCount(), static_cast<int>(rows.size()));  // not Filtered yet
  db.table.Last();
  db.table.F_Set_Filtered(true);
  EXPECT_EQ(db.table.RecordCount(), perCountry["France"]);
  EXPECT_EQ(db.table.RecNo(), 1);
  EXPECT_EQ(db.table.FieldByName("ShipCountry").AsString(), "France");

  db.table.F_Set_Filter("[ShipCountry] = 'germany'");  // text compares without regard to case
  EXPECT_EQ(db.table.RecordCount(), perCountry["Germany"]);
  EXPECT_EQ(db.table.FieldByName("ShipCountry").AsString(), "Germany");

  // a Filtered change that fails keeps the old value and the table usable
  db.table.F_Set_Filtered(false);
  db.table.F_Set_Filter("[ShipCountry] = ");
  EXPECT_THROW(db.table.F_Set_Filtered(true), dao::EngineError);
  EXPECT_FALSE(db.table.Filtered());
}

}  // namespace
}  // namespace corvid
