// Index and Seek on table-type recordsets of a real file, checked against
// the rows mdb-export reads, ordered and searched in the test itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"
#include "dao/mdb/index_seek.h"
#include "test_engine_support.h"

namespace corvid::dao {
namespace {

using testing::EngineSession;
using Key = std::pair<std::int64_t, std::int64_t>;  // OrderID, ProductID

const std::string kNwind = testing::kFixtures + "nwind.mdb";

std::vector<Key> ExportedKeys() {
  std::vector<Key> keys;
  for (const auto& row : testing::MdbExport(kNwind, "Order Details"))
    keys.emplace_back(std::stoll(row.at(0)), std::stoll(row.at(1)));
  std::sort(keys.begin(), keys.end());
  return keys;
}

Key Current(Recordset& recordset) {
  return {std::get<std::int64_t>(recordset.Fields().Item("OrderID").Value()),
          std::get<std::int64_t>(recordset.Fields().Item("ProductID").Value())};
}

int Raised(const std::function<void()>& action) {
  try {
    action();
  } catch (const EngineError& error) {
    return error.Number();
  }
  return 0;
}

TEST(IndexSeek, PrimaryKeyOrdersTheTableByBothFields) {
  const auto expected = ExportedKeys();
  ASSERT_GT(expected.size(), 2000u);
  EngineSession session;
  auto database = session.Open(kNwind);
  auto table = database->OpenRecordset("Order Details", dbOpenTable);
  table->SetIndex("primarykey");
  std::vector<Key> seen;
  for (; !table->Eof(); table->MoveNext()) seen.push_back(Current(*table));
  EXPECT_EQ(seen, expected);
}

TEST(IndexSeek, BookmarksStayWithTheirRecordsAcrossIndexOrders) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto table = database->OpenRecordset("Order Details", dbOpenTable);  // stored order
  // A clone put on an index shows the rows in another order; a bookmark it
  // hands over still names the same record in the table's order, and back.
  auto clone = table->Clone();
  clone->SetIndex("ProductID");
  for (std::int32_t step : {0, 1, 700, 2154}) {
    clone->MoveFirst();
    if (step > 0) clone->Move(step);
    const Key found = Current(*clone);
    table->SetBookmark(clone->Bookmark());
    EXPECT_EQ(Current(*table), found) << "step " << step;
    table->MoveNext();
    if (table->Eof()) table->MoveFirst();
    const Key other = Current(*table);
    clone->SetBookmark(table->Bookmark());
    EXPECT_EQ(Current(*clone), other) << "step " << step;
  }
  // a second index on the table itself keeps its bookmarks valid as well
  table->MoveFirst();
  table->Move(1000);
  const Bytes remembered = table->Bookmark();
  const Key record = Current(*table);
  table->SetIndex("PrimaryKey");
  table->SetBookmark(remembered);
  EXPECT_EQ(Current(*table), record);
}

// The row Seek must land on, found by walking the sorted keys.
std::optional<Key> Expected(const std::vector<Key>& sorted, const std::string& op,
                            const std::vector<std::int64_t>& keys) {
  auto compare = [&](const Key& key) {
    std::int64_t fields[] = {key.first, key.second};
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (fields[i] != keys[i]) return fields[i] < keys[i] ? -1 : 1;
    return 0;
  };
  if (op == "=" || op == ">=" || op == ">") {
    for (const auto& key : sorted) {
      int order = compare(key);
      if ((op == "=" && order == 0) || (op == ">=" && order >= 0) || (op == ">" && order > 0))
        return key;
    }
  } else {
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
      int order = compare(*it);
      if ((op == "<=" && order <= 0) || (op == "<" && order < 0)) return *it;
    }
  }
  return std::nullopt;
}

TEST(IndexSeek, SeekOnTheCompositePrimaryKey) {
  const auto sorted = ExportedKeys();
  const Key first = sorted.front(), last = sorted.back(), middle = sorted[sorted.size() / 2];
  const std::vector<std::vector<std::int64_t>> keyCases = {
      {middle.first, middle.second},      // a stored pair
      {middle.first, middle.second + 1},  // between two products of one order (or past them)
      {middle.first},                     // the order alone: its first or last product
      {first.first, first.second},        // the lowest key
      {first.first - 1},                  // below every key
      {last.first, last.second},          // the highest key
      {last.first + 1, 0},                // above every key
      {10500, 999},                       // an order without that product
  };
  EngineSession session;
  auto database = session.Open(kNwind);
  auto table = database->OpenRecordset("Order Details", dbOpenTable);
  table->SetIndex("PrimaryKey");
  for (const auto& keys : keyCases)
    for (const std::string op : {"=", ">=", ">", "<=", "<"}) {
      std::vector<Variant> values(keys.begin(), keys.end());
      table->MoveFirst();
      const Key before = Current(*table);
      table->Seek(op, values);
      auto expected = Expected(sorted, op, keys);
      std::string what = op + " " + std::to_string(keys[0]) +
                         (keys.size() > 1 ? ", " + std::to_string(keys[1]) : "");
      ASSERT_EQ(table->NoMatch(), !expected) << what;
      // a miss leaves the current record where it was
      EXPECT_EQ(Current(*table), expected ? *expected : before) << what;
    }
}

TEST(IndexSeek, SingleFieldAndTextIndexes) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto details = database->OpenRecordset("Order Details", dbOpenTable);
  details->SetIndex("ProductID");
  details->Seek("=", {Variant(std::int64_t{11})});
  ASSERT_FALSE(details->NoMatch());
  EXPECT_EQ(Current(*details).second, 11);
  details->MovePrevious();  // the row before in index order has a smaller product
  EXPECT_LT(Current(*details).second, 11);

  // Text keys compare without regard to letter case.
  auto products = database->OpenRecordset("Products", dbOpenTable);
  products->SetIndex("ProductName");
  auto firstName = VariantToText(products->Fields().Item("ProductName").Value());
  std::string lower;
  for (char c : firstName) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  products->MoveLast();
  products->Seek("=", {Variant(lower)});
  ASSERT_FALSE(products->NoMatch()) << lower;
  EXPECT_EQ(VariantToText(products->Fields().Item("ProductName").Value()), firstName);
  products->Seek("<", {Variant(lower)});
  EXPECT_TRUE(products->NoMatch());  // nothing sorts before the first name
}

TEST(IndexSeek, ErrorsOfIndexAndSeek) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto table = database->OpenRecordset("Order Details", dbOpenTable);
  const Variant one(std::int64_t{10248});
  EXPECT_EQ(Raised([&] { table->Seek("=", {one}); }), IndexSeek::kNoCurrentIndex);
  EXPECT_EQ(Raised([&] { table->SetIndex("NoSuchIndex"); }), 3800);
  // relationship entries are no index to seek on
  EXPECT_EQ(Raised([&] { table->SetIndex("OrdersOrder Details"); }), 3800);
  table->SetIndex("PrimaryKey");
  EXPECT_EQ(Raised([&] { table->Seek("=", {}); }), kInvalidArgument);
  EXPECT_EQ(Raised([&] { table->Seek("=", {one, one, one}); }), kInvalidArgument);
  EXPECT_EQ(Raised([&] { table->Seek("==", {one}); }), kInvalidArgument);
  EXPECT_EQ(Raised([&] { table->Seek("<>", {one}); }), kInvalidArgument);
  EXPECT_EQ(Raised([&] { table->Seek("=", std::vector<Variant>(14, one)); }), kInvalidArgument);
  // a key of another kind than its field is refused, never silently ordered
  EXPECT_EQ(Raised([&] { table->Seek("=", {Variant(std::string("10248"))}); }), 3464);
  EXPECT_EQ(Raised([&] { table->Seek(">=", {one, Variant(Bytes{})}); }), 3464);
  EXPECT_EQ(Raised([&] { table->Seek("=", {one, Variant(Null{})}); }), 0);
  EXPECT_EQ(Raised([&] { table->Seek(" >= ", {one}); }), 0);
  EXPECT_FALSE(table->NoMatch());
  auto dynaset = database->OpenRecordset("Order Details", dbOpenDynaset);
  EXPECT_EQ(Raised([&] { dynaset->SetIndex("PrimaryKey"); }), kOperationNotSupported);
  EXPECT_EQ(Raised([&] { dynaset->Seek("=", {one}); }), kOperationNotSupported);
}

}  // namespace
}  // namespace corvid::dao
