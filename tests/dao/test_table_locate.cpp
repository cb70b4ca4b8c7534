// Locate and the key-based find family of TVxDaoTable on real files: the
// nwind fixture (Order Details: 2,155 rows, composite PrimaryKey) checked
// against mdb-export rows searched in the test, and a writer-made database
// of awkward key values.

#include <gtest/gtest.h>

#include <algorithm>

#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "test_table_locate_support.h"

namespace corvid {
namespace {

using namespace testing_support;

const std::string kNwind = kFixtures + "nwind.mdb";

// Order Details as mdb-export reads it: OrderID, ProductID, UnitPrice, Quantity, Discount.
const std::vector<std::vector<std::string>>& OrderDetails() {
  static const auto rows = ExportedRows(kNwind, "Order Details");
  return rows;
}

// 0-based position of the first exported row that `match` accepts; -1 when none.
int FirstRow(const std::function<bool(const std::vector<std::string>&)>& match) {
  const auto& rows = OrderDetails();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (match(rows[i])) return static_cast<int>(i);
  return -1;
}

void OpenOrderDetails(OpenDatabase& db, int tableType, const std::string& indexName = "") {
  db.table.F_Set_TableName("Order Details");
  db.table.F_Set_TableType(tableType);
  if (!indexName.empty()) db.table.F_Set_IndexName(indexName);
  db.table.Open();
}

TEST(TableLocate, DynasetLocateMatchesTheExportedRows) {
  ASSERT_GE(OrderDetails().size(), 2000u);
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 2);
  const auto& rows = OrderDetails();
  for (std::size_t i = 0; i < rows.size(); i += 211) {
    const std::string order = rows[i][0], product = rows[i][1];
    SCOPED_TRACE(order + "/" + product);
    ASSERT_TRUE(db.table.Locate("OrderID;ProductID", {order, product}));
    EXPECT_EQ(Text(db.table, "OrderID"), order);
    EXPECT_EQ(Text(db.table, "ProductID"), product);
    EXPECT_EQ(db.table.RecNo(), static_cast<int>(i) + 1);
  }
  // One key field: the first row of that order in the table's order.
  const int first = FirstRow([](const auto& row) { return row[1] == "42"; });
  ASSERT_TRUE(db.table.Locate("ProductID", {"42"}));
  EXPECT_EQ(db.table.RecNo(), first + 1);
  EXPECT_EQ(Text(db.table, "OrderID"), OrderDetails()[static_cast<std::size_t>(first)][0]);
}

TEST(TableLocate, NoMatchLeavesTheRecordWhereItWas) {
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 2);
  db.table.MoveBy(5);
  const std::string before = Text(db.table, "OrderID") + "/" + Text(db.table, "ProductID");
  int scrolls = 0;
  db.table.AfterScroll = [&](TDataSet&) { ++scrolls; };
  EXPECT_FALSE(db.table.Locate("OrderID;ProductID", {"10248", "12"}));
  EXPECT_FALSE(db.table.Locate("OrderID", {"NULL"}));
  EXPECT_EQ(Text(db.table, "OrderID") + "/" + Text(db.table, "ProductID"), before);
  EXPECT_EQ(db.table.RecNo(), 6);
  EXPECT_EQ(scrolls, 0);
  db.table.Next();
  EXPECT_EQ(db.table.RecNo(), 7);
}

TEST(TableLocate, TableTypeSeeksTheCompositePrimaryKey) {
  // No IndexName: AutoFindIndex picks PrimaryKey (OrderID, ProductID), and
  // the table, still in its own order, moves to the record the Seek found.
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 1);
  ASSERT_NE(db.table.IndexDefs().Find("PrimaryKey"), nullptr);
  const auto& rows = OrderDetails();
  for (std::size_t i = 7; i < rows.size(); i += 307) {
    SCOPED_TRACE(rows[i][0] + "/" + rows[i][1]);
    ASSERT_TRUE(db.table.Locate("ProductID;OrderID", {rows[i][1], rows[i][0]}));
    EXPECT_EQ(Text(db.table, "OrderID"), rows[i][0]);
    EXPECT_EQ(Text(db.table, "ProductID"), rows[i][1]);
    EXPECT_EQ(db.table.RecNo(), static_cast<int>(i) + 1);
    db.table.Next();
    if (i + 1 < rows.size()) EXPECT_EQ(Text(db.table, "ProductID"), rows[i + 1][1]);
  }
  EXPECT_FALSE(db.table.Locate("OrderID;ProductID", {"10248", "12"}));
}

TEST(TableLocate, TableTypeOnTheChosenIndexKeepsIndexOrder) {
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 1, "PrimaryKey");
  std::vector<std::pair<long, long>> keys;
  for (const auto& row : OrderDetails()) keys.emplace_back(std::stol(row[0]), std::stol(row[1]));
  std::sort(keys.begin(), keys.end());
  const auto wanted = std::make_pair(10300L, 68L);
  const auto at = std::find(keys.begin(), keys.end(), wanted);
  ASSERT_NE(at, keys.end());
  ASSERT_TRUE(db.table.Locate("OrderID;ProductID", {"10300", "68"}));
  EXPECT_EQ(db.table.RecNo(), static_cast<int>(at - keys.begin()) + 1);
  db.table.Next();
  EXPECT_EQ(std::stol(Text(db.table, "OrderID")), (at + 1)->first);
  EXPECT_EQ(std::stol(Text(db.table, "ProductID")), (at + 1)->second);
}

TEST(TableLocate, PartOfAnIndexSeeksAtOrAfterButAnswersOnlyForAMatch) {
  // Without AutoFindIndex the set IndexName (PrimaryKey) is used with ">=":
  // an order that exists is found at its first product; one that doesn't
  // lands Seek on the next order, which is no match.
  OpenDatabase db(kNwind);
  db.table.F_Set_AutoFindIndex(false);
  OpenOrderDetails(db, 1, "PrimaryKey");
  ASSERT_TRUE(db.table.Locate("OrderID", {"10249"}));
  EXPECT_EQ(Text(db.table, "OrderID"), "10249");
  EXPECT_EQ(Text(db.table, "ProductID"), "14");
  const int before = db.table.RecNo();
  EXPECT_FALSE(db.table.Locate("OrderID", {"10247"}));
  EXPECT_FALSE(db.table.Locate("OrderID", {"99999"}));
  EXPECT_EQ(db.table.RecNo(), before);
}

TEST(TableLocate, TableTypeWithoutAnyIndexRefuses) {
  ScratchDir dir;
  OpenDatabase db(MakeAwkwardDatabase(dir));
  db.table.F_Set_TableName("Awkward");
  db.table.F_Set_TableType(1);
  db.table.Open();
  EXPECT_EQ(db.table.IndexDefs().Count(), 0u);
  EXPECT_EQ(
      MessageOf([&] { db.table.Locate("ID", {"3"}); }),
      "Index Property is Empty!\nYou must set an index before using Locate with StandardTables");
}

TEST(TableLocate, SeekRefusesAKeyOfTheWrongKind) {
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 1);
  try {
    db.table.Locate("OrderID;ProductID", {"ten", "11"});
    FAIL() << "no error";
  } catch (const dao::EngineError& e) {
    EXPECT_EQ(e.Number(), 3464);
  }
}

using LocateOnAwkward = OnAwkwardDatabase;

TEST_F(LocateOnAwkward, TextKeysWithQuotesPatternCharactersAndOptions) {
  OpenDatabase db(path_);
  db.table.F_Set_TableName("Awkward");
  db.table.Open();
  struct Case {
    std::string key;
    TLocateOptions options;
    std::string id;  // empty: no match
  };
  const std::vector<Case> cases{
      {"say \"hi\"", 0, "1"},
      {"SAY \"HI\"", loCaseInsensitive, "1"},
      {"a*b?c", 0, "2"},
      {"a*", loPartialKey, "2"},  // the "*" is literal: "a*b?c"
      {"a", loPartialKey, "2"},
      {"![#]-", loPartialKey, "3"},
      {"![#]-X", loCaseInsensitive, "3"},
      {"abc", 0, "5"},  // text compares without regard to case
      {"ABCD", loPartialKey | loCaseInsensitive, "6"},
      {"a[b]", loPartialKey, "7"},
      {"a?c", 0, ""},
      {"b", loPartialKey, ""},
      {"NULL", 0, "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + " / " + std::to_string(c.options));
    db.table.First();
    const bool found = db.table.Locate("Name", {c.key}, c.options);
    EXPECT_EQ(found, !c.id.empty());
    EXPECT_EQ(Text(db.table, "ID"), c.id.empty() ? "1" : c.id);
  }
}

TEST_F(LocateOnAwkward, DatesGuidsBooleansAndNumbers) {
  OpenDatabase db(path_);
  db.table.F_Set_TableName("Awkward");
  db.table.Open();
  struct Case {
    std::string fields;
    std::vector<std::string> keys;
    std::string id;
  };
  const std::vector<Case> cases{
      {"When", {"02/03/2001 18:00:00"}, "4"},
      {"When", {"2/3/2001 6:00:00 PM"}, "4"},
      {"When;Flag", {"02/03/2001 12:00:00", "True"}, "1"},
      {"Uid", {"{12345678-9ABC-DEF0-0123-456789ABCD01}"}, "2"},
      {"Uid", {"NULL"}, "3"},
      {"Flag;Score", {"False", "2"}, "4"},
      {"Score", {"-0.25"}, "2"},
      {"Score", {""}, "3"},
      {"ID;Name", {"7", "a[b]c"}, "7"},
      {"When", {"NULL"}, "3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields + " " + c.keys.front());
    db.table.Last();
    ASSERT_TRUE(db.table.Locate(c.fields, c.keys));
    EXPECT_EQ(Text(db.table, "ID"), c.id);
  }
  EXPECT_FALSE(db.table.Locate("Score", {"1.25"}));
}

TEST_F(LocateOnAwkward, RefusalsAndPreconditions) {
  OpenDatabase db(path_);
  db.table.F_Set_TableName("Awkward");
  EXPECT_FALSE(db.table.Locate("ID", {"1"}));  // closed
  db.table.Open();
  EXPECT_EQ(MessageOf([&] { db.table.Locate("ID;Name", {"1"}); }),
            "Number of elements in the KeyValues array must be equal to the number of fields.");
  EXPECT_EQ(MessageOf([&] {
              db.table.FindNext("ID", {"1", "2"});
            }),
            "Number of elements in the KeyValues array must be equal to the number of fields.");
  EXPECT_NE(MessageOf([&] { db.table.Locate("Nope", {"1"}); }), "(nothing raised)");
  // A record filter turns locate off.
  db.table.F_Set_OnFilterRecord([](TDataSet&, bool& accept) { accept = true; });
  db.table.F_Set_Filtered(true);
  EXPECT_FALSE(db.table.Locate("ID", {"5"}));
  EXPECT_EQ(Text(db.table, "ID"), "1");
}

TEST_F(LocateOnAwkward, ForwardOnlyPassesTheEnginesRefusalAndStaysPut) {
  // No bookmarks: locate would start again from the first record, which a
  // forward-only recordset can't do; the find family answers false.
  OpenDatabase db(path_);
  db.table.F_Set_TableName("Awkward");
  db.table.F_Set_TableType(8);
  db.table.Open();
  db.table.Next();
  EXPECT_FALSE(db.table.FindFirst("Name", {"abc"}));
  try {
    db.table.Locate("Name", {"abc"});
    FAIL() << "no error";
  } catch (const dao::EngineError& e) {
    EXPECT_EQ(e.Number(), 3251);
  }
  EXPECT_EQ(Text(db.table, "ID"), "2");
  db.table.Next();
  EXPECT_EQ(Text(db.table, "ID"), "3");
}

TEST(TableLocate, AccentedTextsOnJet3AndJet4) {
  for (const auto format : {jet::JetFormat::Jet3, jet::JetFormat::Jet4}) {
    SCOPED_TRACE(format == jet::JetFormat::Jet3 ? "Jet 3" : "Jet 4");
    ScratchDir dir;
    const std::string path = dir / "accents.mdb";
    {
      jet::MdbWriter writer(path, jet::WriterOptions{format});
      auto& words = writer.AddTable(
          {"Words", {{"ID", jet::ColumnType::Long}, {"Word", jet::ColumnType::Text, 40}}});
      words.AddRow({std::int64_t{1}, std::string("Straße")});
      words.AddRow({std::int64_t{2}, std::string("Käse")});
      words.AddRow({std::int64_t{3}, std::string("ÄRGER [1]")});
      writer.Finish();
    }
    OpenDatabase db(path);
    db.table.F_Set_TableName("Words");
    db.table.Open();
    struct Case {
      std::string key;
      TLocateOptions options;
      std::string id;
    };
    for (const Case& c : std::vector<Case>{{"KÄSE", loCaseInsensitive, "2"},
                                           {"käse", 0, "2"},
                                           {"ärger [", loPartialKey | loCaseInsensitive, "3"},
                                           {"STRASSE", loCaseInsensitive, ""},
                                           {"straß", loPartialKey, "1"}}) {
      SCOPED_TRACE(c.key);
      db.table.First();
      EXPECT_EQ(db.table.Locate("Word", {c.key}, c.options), !c.id.empty());
      if (!c.id.empty()) EXPECT_EQ(Text(db.table, "ID"), c.id);
      const auto found = db.table.Lookup("Word", {c.key}, "ID");
      if (c.options == 0) EXPECT_TRUE(found.has_value());
    }
  }
}

TEST_F(LocateOnAwkward, EmptyTableAnswersFalse) {
  ScratchDir dir;
  OpenDatabase db(MakeThingsDatabase(dir));
  db.table.F_Set_TableName("Empty");
  db.table.Open();
  EXPECT_FALSE(db.table.Locate("ID", {"1"}));
  EXPECT_FALSE(db.table.FindFirst("ID", {"1"}));
}

class LocateOnEveryFormat : public ::testing::TestWithParam<const char*> {};

TEST_P(LocateOnEveryFormat, EveryColumnOfTable1FindsItsRow) {
  // Jet 4 and ACE files Access made: each exported value of each row locates
  // that row (text, Byte, Integer, Long, Double, Date, Currency, Yes/No).
  const std::string file = kFixtures + GetParam();
  const auto rows = ExportedRows(file, "Table1");
  OpenDatabase db(file);
  db.table.F_Set_TableName("Table1");
  db.table.Open();
  const char* names[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
  ASSERT_EQ(rows.size(), 2u);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < 9; ++c) {
      std::string key = rows[r][c];
      if (c == 6)
        key = key.substr(5, 2) + "/" + key.substr(8, 2) + "/" +
              key.substr(0, 4);  // mdb-export's Y-m-d
      if (c == 8) key = key == "1" ? "True" : "False";
      SCOPED_TRACE(std::string(names[c]) + " = " + key);
      db.table.Last();
      ASSERT_TRUE(db.table.Locate(names[c], {key}));
      EXPECT_EQ(db.table.RecNo(), static_cast<int>(r) + 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, LocateOnEveryFormat,
                         ::testing::Values("testV2003.mdb", "testV2010.accdb"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST(TableFind, FirstLastNextPriorFromTheCurrentRecord) {
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 2);
  // Order 10250 has three products; walk them with the find family.
  std::vector<int> positions;
  const auto& rows = OrderDetails();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i][0] == "10250") positions.push_back(static_cast<int>(i) + 1);
  ASSERT_EQ(positions.size(), 3u);

  ASSERT_TRUE(db.table.FindFirst("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[0]);
  ASSERT_TRUE(db.table.FindNext("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[1]);
  ASSERT_TRUE(db.table.FindNext("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[2]);
  EXPECT_FALSE(db.table.FindNext("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[2]);
  ASSERT_TRUE(db.table.FindPrior("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[1]);
  ASSERT_TRUE(db.table.FindLast("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[2]);
  db.table.Last();
  ASSERT_TRUE(db.table.FindPrior("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), positions[2]);
  db.table.First();
  EXPECT_FALSE(db.table.FindPrior("OrderID", {"10250"}));
  EXPECT_EQ(db.table.RecNo(), 1);
}

TEST(TableFind, PartialCaselessTextOnCustomers) {
  // Checked against mdb-export: the first company whose name starts with
  // the key, letter case ignored.
  const auto rows = ExportedRows(kNwind, "Customers");
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Customers");
  db.table.Open();
  for (const std::string key : {"fr", "LA ", "wo", "zz"}) {
    SCOPED_TRACE(key);
    int expected = -1;
    for (std::size_t i = 0; i < rows.size() && expected < 0; ++i) {
      std::string name = rows[i][1];
      std::string lowered = key;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name.rfind(lowered, 0) == 0) expected = static_cast<int>(i);
    }
    db.table.First();
    EXPECT_EQ(db.table.Locate("CompanyName", {key}, loPartialKey | loCaseInsensitive),
              expected >= 0);
    if (expected >= 0) {
      EXPECT_EQ(db.table.RecNo(), expected + 1);
      EXPECT_EQ(Text(db.table, "CustomerID"), rows[static_cast<std::size_t>(expected)][0]);
    }
  }
}

TEST(TableLocate, TableTypeMovesToTheSeekMatchInTheTablesOwnOrder) {
  // The ProductID index orders the records unlike the table: the table,
  // still in its own order, lands on the first record of that product.
  OpenDatabase db(kNwind);
  OpenOrderDetails(db, 1);
  std::vector<std::string> names;
  for (const auto& def : db.table.IndexDefs()) names.push_back(def.name);
  ASSERT_NE(db.table.IndexDefs().Find("ProductID"), nullptr) << ::testing::PrintToString(names);
  for (const std::string product : {"42", "1", "77", "11"}) {
    SCOPED_TRACE(product);
    const int first = FirstRow([&](const auto& row) { return row[1] == product; });
    ASSERT_GE(first, 0);
    db.table.First();
    ASSERT_TRUE(db.table.Locate("ProductID", {product}));
    EXPECT_EQ(Text(db.table, "ProductID"), product);
    EXPECT_EQ(Text(db.table, "OrderID"), OrderDetails()[static_cast<std::size_t>(first)][0]);
    EXPECT_EQ(db.table.RecNo(), first + 1);
  }
}

TEST(TableLocate, TableTypePartialTextKeyLandsOnTheFirstInIndexOrder) {
  // Seek ">=" on the CompanyName index: the alphabetically first company
  // starting with the key, shown at its place in the table's own order.
  const auto rows = ExportedRows(kNwind, "Customers");
  OpenDatabase db(kNwind);
  db.table.F_Set_TableName("Customers");
  db.table.F_Set_TableType(1);
  db.table.Open();
  ASSERT_NE(db.table.IndexDefs().Find("CompanyName"), nullptr);
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (const std::string key : {"FR", "la ", "Wo", "zz"}) {
    SCOPED_TRACE(key);
    int expected = -1;
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (lower(rows[i][1]).rfind(lower(key), 0) == 0 &&
          (expected < 0 || lower(rows[i][1]) < lower(rows[static_cast<std::size_t>(expected)][1])))
        expected = static_cast<int>(i);
    db.table.First();
    EXPECT_EQ(db.table.Locate("CompanyName", {key}, loPartialKey | loCaseInsensitive),
              expected >= 0);
    if (expected < 0) continue;
    EXPECT_EQ(Text(db.table, "CustomerID"), rows[static_cast<std::size_t>(expected)][0]);
    EXPECT_EQ(db.table.RecNo(), expected + 1);
  }
}

}  // namespace
}  // namespace corvid
