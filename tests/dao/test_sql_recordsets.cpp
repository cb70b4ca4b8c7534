// Filter, Sort, Find and Select ... Where ... Order By through the engine,
// checked against mdb-export's rows filtered and sorted here by plainly
// written rules: a writer-made table of 1,500 rows and nwind's Orders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/recordset.h"
#include "tests/dao/test_engine_support.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;
namespace w = corvid::jet;

using Row = std::vector<std::string>;  // one mdb-export row
const std::string kNull = "\x01NULL";

bool Null(const std::string& cell) { return cell == kNull; }
long long Int(const std::string& cell) { return std::stoll(cell); }
double Num(const std::string& cell) { return std::stod(cell); }
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first column (the row's id) of every row a recordset shows, in order.
std::vector<long long> Ids(Recordset& rs) {
  std::vector<long long> ids;
  if (rs.Bof() && rs.Eof()) return ids;
  rs.MoveFirst();
  for (; !rs.Eof(); rs.MoveNext())
    ids.push_back(std::get<std::int64_t>(rs.Fields().Item(0).Value()));
  return ids;
}

std::vector<long long> IdsWhere(const std::vector<Row>& rows,
                                const std::function<bool(const Row&)>& keep) {
  std::vector<long long> ids;
  for (const Row& row : rows)
    if (keep(row)) ids.push_back(Int(row[0]));
  return ids;
}

struct FilterCase {
  std::string condition;
  std::function<bool(const Row&)> keep;
};

// Filter, FindFirst/Next/Last/Previous and the SQL Where of each condition
// against the rows mdb-export gives.
void CheckConditions(Database& db, const std::string& table, const std::vector<Row>& exported,
                     const std::vector<FilterCase>& cases) {
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.condition);
    std::vector<long long> expected = IdsWhere(exported, c.keep);

    auto base = db.OpenRecordset(table, dbOpenDynaset);
    base->SetFilter(c.condition);
    auto filtered = base->OpenRecordset(dbOpenSnapshot, 0);
    EXPECT_EQ(Ids(*filtered), expected);
    if (!expected.empty()) filtered->MoveLast();
    EXPECT_EQ(filtered->RecordCount(), static_cast<std::int32_t>(expected.size()));

    auto sql = db.OpenRecordset("Select * From [" + table + "] Where " + c.condition + ";");
    EXPECT_EQ(Ids(*sql), expected);

    auto find = db.OpenRecordset(table, dbOpenDynaset);
    auto id = [&] { return std::get<std::int64_t>(find->Fields().Item(0).Value()); };
    find->MoveFirst();
    find->FindFirst(c.condition);
    if (expected.empty()) {
      EXPECT_TRUE(find->NoMatch());
      EXPECT_EQ(id(), Int(exported.front()[0]));  // still on the first row
      continue;
    }
    ASSERT_FALSE(find->NoMatch());
    EXPECT_EQ(id(), expected.front());
    find->FindNext(c.condition);
    if (expected.size() > 1) {
      ASSERT_FALSE(find->NoMatch());
      EXPECT_EQ(id(), expected[1]);
    } else {
      EXPECT_TRUE(find->NoMatch());
    }
    find->FindLast(c.condition);
    ASSERT_FALSE(find->NoMatch());
    EXPECT_EQ(id(), expected.back());
    find->FindPrevious(c.condition);
    if (expected.size() > 1) {
      ASSERT_FALSE(find->NoMatch());
      EXPECT_EQ(id(), expected[expected.size() - 2]);
    } else {
      EXPECT_TRUE(find->NoMatch());
      EXPECT_EQ(id(), expected.back());
    }
  }
}

class WrittenItems : public ::testing::TestWithParam<w::JetFormat> {
 protected:
  static constexpr int kRows = 1500;
  void SetUp() override {
    path = dir.File("items.mdb");
    w::WriterOptions options;
    options.format = GetParam();
    w::MdbWriter writer(path, options);
    auto& items = writer.AddTable({"Items",
                                   {{"id", w::ColumnType::Long},
                                    {"name", w::ColumnType::Text, 40},
                                    {"qty", w::ColumnType::Long},
                                    {"price", w::ColumnType::Double},
                                    {"when", w::ColumnType::DateTime},
                                    {"flag", w::ColumnType::YesNo}}});
    const char* names[] = {"alpha",  "Beta", "GAMMA", "delta", "ab*c",
                           "O'Neil", "abc",  "Abd",   "beta"};
    for (int i = 0; i < kRows; ++i) {
      w::Value name = w::Null;
      if (i % 17 != 0) name = std::string(names[i % 9]) + " " + std::to_string(i % 50);
      w::Value qty = w::Null;
      if (i % 13 != 0) qty = std::int64_t{(i * 7919) % 1000};
      items.AddRow({std::int64_t{i + 1}, name, qty, (i % 100) * 1.25,
                    w::Date{44197.0 + i % 400 + (i % 3) * 0.25}, i % 2 == 0});
    }
    writer.Finish();
    exported = MdbExport(path, "Items");
    ASSERT_EQ(exported.size(), static_cast<std::size_t>(kRows));
    database = session.Open(path);
  }
  TempDir dir;
  std::string path;
  std::vector<Row> exported;  // id, name, qty, price, when, flag
  EngineSession session;
  std::shared_ptr<Database> database;
};

TEST_P(WrittenItems, FilterFindAndWhereAgreeWithMdbExport) {
  auto qty = [](const Row& r) { return Null(r[2]) ? -1 : Int(r[2]); };
  CheckConditions(
      *database, "Items", exported,
      {{"[qty] > 500", [&](const Row& r) { return qty(r) > 500; }},
       {"[name] LIKE 'ab*'",
        [](const Row& r) { return !Null(r[1]) && Lower(r[1]).rfind("ab", 0) == 0; }},
       {"[name] LIKE '*[*]*'",
        [](const Row& r) { return !Null(r[1]) && r[1].find('*') != std::string::npos; }},
       {"[name] LIKE LCASE(\"AB[*]C 1*\")",
        [](const Row& r) { return !Null(r[1]) && r[1].rfind("ab*c 1", 0) == 0; }},
       {"[name] = 'beta 3'", [](const Row& r) { return !Null(r[1]) && Lower(r[1]) == "beta 3"; }},
       {"([name] = \"O'Neil 5\")", [](const Row& r) { return r[1] == "O'Neil 5"; }},
       {"[Items].[name] = 'O''Neil 14'", [](const Row& r) { return r[1] == "O'Neil 14"; }},
       {"[name] IS NULL OR [qty] < 10",
        [&](const Row& r) { return Null(r[1]) || (!Null(r[2]) && qty(r) < 10); }},
       {"[qty] IS NULL", [](const Row& r) { return Null(r[2]); }},
       {"NOT ([flag] = True) AND [when] >= #03/01/2021#",
        [](const Row& r) { return r[5] == "0" && r[4] >= "2021-03-01"; }},
       {"[when] = #01/05/2021 12:00:00#",
        [](const Row& r) { return r[4] == "2021-01-05 12:00:00"; }},
       {"[qty] <> 100 AND NOT [name] LIKE 'a*'",
        [&](const Row& r) {
          return !Null(r[2]) && qty(r) != 100 && !Null(r[1]) && Lower(r[1])[0] != 'a';
        }},
       {"[price] >= 100 AND [price] < 110.5",
        [](const Row& r) { return Num(r[3]) >= 100 && Num(r[3]) < 110.5; }},
       {"[name] = 'nobody'", [](const Row&) { return false; }}});
}

TEST_P(WrittenItems, SortAndOrderByAgreeWithMdbExport) {
  // [name] ascending (Null first, letter case ignored), ties by [id] descending.
  std::vector<Row> byName = exported;
  std::stable_sort(byName.begin(), byName.end(), [](const Row& a, const Row& b) {
    if (Null(a[1]) != Null(b[1])) return Null(a[1]);
    if (!Null(a[1]) && Lower(a[1]) != Lower(b[1])) return Lower(a[1]) < Lower(b[1]);
    return Int(a[0]) > Int(b[0]);
  });
  auto rs = database->OpenRecordset("Items", dbOpenDynaset);
  rs->SetSort("[name], [id] DESC");
  auto sorted = rs->OpenRecordset(dbOpenDynaset, 0);
  EXPECT_EQ(Ids(*sorted), IdsWhere(byName, [](const Row&) { return true; }));

  // Filter and Sort together, and the same through SQL: [qty] DESC puts Null last.
  std::vector<Row> byQty;
  for (const Row& r : exported)
    if (Null(r[2]) || Int(r[2]) > 900) byQty.push_back(r);
  std::stable_sort(byQty.begin(), byQty.end(), [](const Row& a, const Row& b) {
    if (Null(a[2]) != Null(b[2])) return Null(b[2]);
    if (!Null(a[2]) && Int(a[2]) != Int(b[2])) return Int(a[2]) > Int(b[2]);
    return Int(a[0]) < Int(b[0]);
  });
  std::vector<long long> expected = IdsWhere(byQty, [](const Row&) { return true; });
  rs->SetFilter("[qty] > 900 OR [qty] IS NULL");
  rs->SetSort("qty DESC, id");
  EXPECT_EQ(Ids(*rs->OpenRecordset(dbOpenSnapshot, 0)), expected);
  auto sql = database->OpenRecordset(
      "Select * From [Items] Where [qty] > 900 OR [qty] IS NULL Order By [qty] DESC, [id];");
  EXPECT_EQ(Ids(*sql), expected);

  // A recordset opened from a filtered one narrows it further.
  auto narrowed = database->OpenRecordset("Items", dbOpenDynaset);
  narrowed->SetFilter("[flag] = True");
  auto even = narrowed->OpenRecordset(dbOpenDynaset, 0);
  even->SetFilter("[qty] < 50");
  EXPECT_EQ(Ids(*even->OpenRecordset(dbOpenDynaset, 0)), IdsWhere(exported, [](const Row& r) {
              return r[5] == "1" && !Null(r[2]) && Int(r[2]) < 50;
            }));
}

TEST_P(WrittenItems, BookmarksAndClonesOfAFilteredRecordset) {
  auto rs = database->OpenRecordset("Items", dbOpenDynaset);
  rs->SetFilter("[qty] < 100");
  auto filtered = rs->OpenRecordset(dbOpenDynaset, 0);
  std::vector<long long> expected =
      IdsWhere(exported, [](const Row& r) { return !Null(r[2]) && Int(r[2]) < 100; });
  ASSERT_GT(expected.size(), 10u);
  filtered->Move(5);
  Bytes mark = filtered->Bookmark();
  EXPECT_EQ(filtered->AbsolutePosition(), 5);
  auto clone = filtered->Clone();
  clone->SetBookmark(mark);
  EXPECT_EQ(std::get<std::int64_t>(clone->Fields().Item("id").Value()), expected[5]);
  clone->FindNext("[qty] < 100");
  EXPECT_EQ(std::get<std::int64_t>(clone->Fields().Item("id").Value()), expected[6]);
  EXPECT_EQ(Ids(*clone), expected);
}

TEST_P(WrittenItems, BadTextsFailWhenUsedAndLeaveTheRecordsetAsItWas) {
  auto rs = database->OpenRecordset("Items", dbOpenDynaset);
  rs->MoveFirst();
  rs->Move(3);
  struct Bad {
    std::function<void()> action;
    int number;
  };
  for (const Bad& b : std::vector<Bad>{
           {[&] { rs->FindFirst("[qty] >"); }, 3075},
           {[&] { rs->FindNext("[nope] = 1"); }, 3070},
           {[&] { rs->FindFirst("[name] = 5"); }, 3464},
           {[&] {
              rs->SetFilter("[name] LIKE 'a");
              rs->OpenRecordset(dbOpenDynaset, 0);
            },
            3075},
           {[&] {
              rs->SetFilter("");
              rs->SetSort("[name] DOWN");
              rs->OpenRecordset(dbOpenDynaset, 0);
            },
            3138},
           {[&] { database->OpenRecordset("Select * From [Items] Where [qty] = = 1"); }, 3075},
           {[&] { database->OpenRecordset("Select * From [Items] Order By [nope]"); }, 3070},
           {[&] { database->OpenRecordset("Select * From Where"); }, 3131}}) {
    try {
      b.action();
      ADD_FAILURE() << "no error " << b.number;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Number(), b.number) << e.what();
    }
  }
  EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), 4);
}

TEST_P(WrittenItems, EmptyResultsForwardOnlyAndTheEndsOfFind) {
  auto rs = database->OpenRecordset("Items", dbOpenDynaset);
  rs->SetFilter("[qty] > 5000");
  auto none = rs->OpenRecordset(dbOpenDynaset, 0);
  EXPECT_TRUE(none->Bof());
  EXPECT_TRUE(none->Eof());
  EXPECT_EQ(none->RecordCount(), 0);
  none->FindFirst("[id] > 0");
  EXPECT_TRUE(none->NoMatch());

  // FindNext from the last row finds nothing and stays there; from BOF it
  // starts at the first row.
  rs->MoveLast();
  rs->FindNext("[id] > 0");
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), kRows);
  rs->FindPrevious("[id] > 0");
  EXPECT_FALSE(rs->NoMatch());
  EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), kRows - 1);
  auto clone = rs->Clone();  // at no record
  clone->FindNext("[id] > 0");
  EXPECT_EQ(std::get<std::int64_t>(clone->Fields().Item("id").Value()), 1);

  auto forward = database->OpenRecordset("Items", dbOpenForwardOnly);
  try {
    forward->FindFirst("[id] = 3");
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Number(), kOperationNotSupported);
  }
  // A forward-only recordset opened from a filter walks the filtered rows.
  rs->SetFilter("[id] <= 3");
  EXPECT_EQ(Ids(*rs->OpenRecordset(dbOpenForwardOnly, 0)), (std::vector<long long>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Formats, WrittenItems,
                         ::testing::Values(w::JetFormat::Jet4, w::JetFormat::Jet3),
                         [](const auto& info) {
                           return info.param == w::JetFormat::Jet3 ? "Jet3" : "Jet4";
                         });

// The key and master/detail texts for values of every kind: GUID, binary,
// currency, Yes/No and dates.
TEST(SqlOnWrittenKeys, ValuesOfEveryKindCompare) {
  TempDir dir;
  const std::string path = dir.File("keys.mdb");
  {
    w::MdbWriter writer(path);
    auto& keys = writer.AddTable({"Keys",
                                  {{"id", w::ColumnType::Long},
                                   {"uid", w::ColumnType::Guid},
                                   {"raw", w::ColumnType::Binary, 8},
                                   {"price", w::ColumnType::Currency},
                                   {"flag", w::ColumnType::YesNo},
                                   {"when", w::ColumnType::DateTime}}});
    w::Guid guid;
    for (int i = 0; i < 16; ++i)
      guid.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA0 + i);
    keys.AddRow({std::int64_t{1}, guid, w::Bytes{std::byte{'r'}, std::byte{'w'}},
                 w::Currency{125000}, true, w::Date{36925.5}});
    keys.AddRow({std::int64_t{2}, w::Null, w::Null, w::Currency{-5}, false, w::Date{36925.0}});
    keys.AddRow({std::int64_t{3}, w::Null, w::Bytes{std::byte{'x'}}, w::Null, false, w::Null});
    writer.Finish();
  }
  EngineSession session;
  auto db = session.Open(path);
  struct Case {
    const char* condition;
    std::vector<long long> ids;
  };
  for (const Case& c : std::vector<Case>{
           {"([uid] = {guid {A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}})", {1}},
           {"([uid] = {guid {a3a2a1a0-a5a4-a7a6-a8a9-aaabacadaeaf}})", {1}},
           {"([uid] IS NULL)", {2, 3}},
           {"([raw] = \"rw\")", {1}},
           {"([price] = 12.5)", {1}},
           {"([price] < 0)", {2}},
           {"([flag] = True)", {1}},
           {"([flag] = False) AND ([when] IS NULL)", {3}},
           {"([when] = #02/03/2001 12:00:00#)", {1}},
           {"([when] = #02/03/2001#)", {2}},
           {"([id] = 2) AND ([flag] = False)", {2}},
       }) {
    auto rs = db->OpenRecordset("Keys", dbOpenDynaset);
    rs->SetFilter(c.condition);
    EXPECT_EQ(Ids(*rs->OpenRecordset(dbOpenDynaset, 0)), c.ids) << c.condition;
  }
}

// nwind's Orders (830 rows) with the texts the table component builds.
TEST(SqlOnNwind, OrdersAgreeWithMdbExport) {
  const std::string nwind = kFixtures + "nwind.mdb";
  std::vector<Row> orders = MdbExport(nwind, "Orders");
  ASSERT_EQ(orders.size(), 830u);
  EngineSession session;
  auto db = session.Open(nwind);
  // OrderID 0, CustomerID 1, OrderDate 3, Freight 7, ShipRegion 11, ShipCountry 13.
  CheckConditions(
      *db, "Orders", orders,
      {{"([ShipCountry] = \"germany\")", [](const Row& r) { return r[13] == "Germany"; }},
       {"([ShipRegion] IS NULL) AND ([Freight] > 100)",
        [](const Row& r) { return Null(r[11]) && Num(r[7]) > 100; }},
       {"([OrderDate] = #11/16/1994#)", [](const Row& r) { return r[3] == "1994-11-16 00:00:00"; }},
       {"[OrderDate] >= #01/01/1995 00:00:00# AND [OrderDate] < #02/01/1995 00:00:00#",
        [](const Row& r) { return r[3].rfind("1995-01", 0) == 0; }},
       {"([CustomerID] LIKE LCASE(\"bo*\"))",
        [](const Row& r) { return r[1].rfind("BO", 0) == 0; }},
       {"([OrderID] = 10248) AND ([CustomerID] = \"VINET\")",
        [](const Row& r) { return r[0] == "10248" && r[1] == "VINET"; }}});

  // Sort by country descending, then OrderID.
  std::vector<Row> sorted = orders;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Row& a, const Row& b) {
    if (Lower(a[13]) != Lower(b[13])) return Lower(a[13]) > Lower(b[13]);
    return Int(a[0]) < Int(b[0]);
  });
  std::vector<long long> expected = IdsWhere(sorted, [](const Row&) { return true; });
  auto rs = db->OpenRecordset("Orders", dbOpenDynaset);
  rs->SetSort("[ShipCountry] DESC, [OrderID]");
  EXPECT_EQ(Ids(*rs->OpenRecordset(dbOpenSnapshot, 0)), expected);
  auto sql = db->OpenRecordset("Select * From [Orders] Order By [ShipCountry] DESC, [OrderID];",
                               dbOpenSnapshot);
  EXPECT_EQ(Ids(*sql), expected);

  // The form Access stores a select query in.
  std::vector<long long> german = IdsWhere(orders, [](const Row& r) { return r[13] == "Germany"; });
  std::sort(german.begin(), german.end(), std::greater<>());
  auto stored = db->OpenRecordset(
      "SELECT Orders.*\r\nFROM Orders\r\nWHERE (((Orders.ShipCountry)=\"Germany\"))\r\n"
      "ORDER BY Orders.OrderID DESC;\r\n");
  EXPECT_EQ(Ids(*stored), german);
}

}  // namespace
}  // namespace corvid::dao
