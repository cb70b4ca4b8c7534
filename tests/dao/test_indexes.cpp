// Index definitions of real files, checked against mdbtools' own reading
// (`mdb-schema <file> mysql` prints one ALTER TABLE line per index).

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "dao/engine/dao_constants.h"
#include "dao/engine/tabledef.h"
#include "test_engine_support.h"

namespace corvid::dao {
namespace {

using testing::EngineSession;
using testing::kFixtures;

struct IndexLine {
  bool primary = false;
  bool unique = false;
  std::vector<std::string> fields;
  bool operator==(const IndexLine&) const = default;
};

// table → index name ("PRIMARY" for the primary key, whose name mdb-schema
// does not print) → definition.
using SchemaIndexes = std::map<std::string, std::map<std::string, IndexLine>>;

std::vector<std::string> BacktickedNames(const std::string& list) {
  std::vector<std::string> names;
  static const std::regex name("`([^`]*)`");
  for (std::sregex_iterator it(list.begin(), list.end(), name), end; it != end; ++it)
    names.push_back((*it)[1]);
  return names;
}

SchemaIndexes MdbSchemaIndexes(const std::string& file) {
  SchemaIndexes result;
  static const std::regex index(
      R"(^ALTER TABLE `([^`]*)` ADD (UNIQUE )?INDEX `([^`]*)` \((.*)\);$)");
  static const std::regex primary(R"(^ALTER TABLE `([^`]*)` ADD PRIMARY KEY \((.*)\);$)");
  for (const auto& line :
       testing::Split(testing::RunCommand("mdb-schema " + testing::Quote(file) + " mysql"), "\n")) {
    std::smatch match;
    if (std::regex_match(line, match, index))
      result[match[1]][match[3]] = IndexLine{false, match[2].matched, BacktickedNames(match[4])};
    else if (std::regex_match(line, match, primary))
      result[match[1]]["PRIMARY"] = IndexLine{true, true, BacktickedNames(match[2])};
  }
  return result;
}

SchemaIndexes EngineIndexes(Database& database, int* foreignCount) {
  SchemaIndexes result;
  auto& tables = database.TableDefs();
  for (int t = 0; t < tables.Count(); ++t) {
    TableDef& table = tables.Item(t);
    if (table.Attributes() & dbSystemObject) continue;
    Indexes& indexes = table.TableIndexes();
    for (int i = 0; i < indexes.Count(); ++i) {
      Index& index = indexes.Item(i);
      if (index.Foreign()) {
        // relationship entries are no index of their own
        EXPECT_FALSE(index.Primary()) << table.Name() << "." << index.Name();
        ++*foreignCount;
        continue;
      }
      // a primary key is always unique
      if (index.Primary()) {
        EXPECT_TRUE(index.Unique()) << table.Name() << "." << index.Name();
      }
      result[table.Name()][index.Primary() ? "PRIMARY" : index.Name()] =
          IndexLine{index.Primary(), index.Unique(), index.FieldNames()};
    }
  }
  return result;
}

class IndexDefinitions : public ::testing::TestWithParam<const char*> {};

TEST_P(IndexDefinitions, MatchWhatMdbtoolsReads) {
  const std::string file = kFixtures + GetParam();
  SchemaIndexes expected = MdbSchemaIndexes(file);
  ASSERT_FALSE(expected.empty()) << "mdb-schema printed no index for " << file;
  EngineSession session;
  auto database = session.Open(file);
  int foreign = 0;
  SchemaIndexes actual = EngineIndexes(*database, &foreign);
  // mdb-schema leaves tables without indexes out
  std::erase_if(actual, [](const auto& table) { return table.second.empty(); });
  EXPECT_EQ(actual.size(), expected.size());
  for (const auto& [table, indexes] : expected) {
    ASSERT_TRUE(actual.count(table)) << table;
    for (const auto& [name, line] : indexes) {
      ASSERT_TRUE(actual[table].count(name)) << table << "." << name;
      EXPECT_EQ(actual[table][name].fields, line.fields) << table << "." << name;
      EXPECT_EQ(actual[table][name].unique, line.unique) << table << "." << name;
    }
    EXPECT_EQ(actual[table].size(), indexes.size()) << table;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, IndexDefinitions,
                         ::testing::Values("nwind.mdb", "indexTestV2003.mdb"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST(IndexDefinitions, CompositePrimaryKeyOfOrderDetails) {
  EngineSession session;
  auto database = session.Open(kFixtures + "nwind.mdb");
  Indexes& indexes = database->TableDefs().Item("Order Details").TableIndexes();
  Index& primary = indexes.Item("primarykey");
  EXPECT_EQ(primary.Name(), "PrimaryKey");
  EXPECT_TRUE(primary.Primary());
  EXPECT_TRUE(primary.Unique());
  EXPECT_FALSE(primary.Foreign());
  EXPECT_EQ(primary.FieldNames(), (std::vector<std::string>{"OrderID", "ProductID"}));
  for (const char* single : {"OrderID", "ProductID"}) {
    Index& index = indexes.Item(single);
    EXPECT_FALSE(index.Primary()) << single;
    EXPECT_FALSE(index.Unique()) << single;
    EXPECT_EQ(index.FieldNames(), std::vector<std::string>{single});
  }
}

TEST(IndexDefinitions, RelationshipEntriesAreMarkedForeign) {
  EngineSession session;
  auto database = session.Open(kFixtures + "indexTestV2003.mdb");
  // Table1 references Table2 and Table3: the file keeps one entry per
  // relationship beside the real indexes, named after the relationship.
  Indexes& indexes = database->TableDefs().Item("Table1").TableIndexes();
  std::set<std::string> foreign, real;
  for (int i = 0; i < indexes.Count(); ++i) {
    Index& index = indexes.Item(i);
    (index.Foreign() ? foreign : real).insert(index.Name());
    if (index.Foreign()) {
      EXPECT_FALSE(index.Primary()) << index.Name();
      EXPECT_FALSE(index.Unique()) << index.Name();
    }
  }
  EXPECT_EQ(foreign, (std::set<std::string>{"Table2Table1", "Table3Table1"}));
  EXPECT_EQ(real, (std::set<std::string>{"PrimaryKey", "id"}));
}

TEST(IndexDefinitions, ChangingIndexesIsRefused) {
  EngineSession session;
  const std::string file = kFixtures + "nwind.mdb";
  const std::string before = testing::Sha256(file);
  {
    auto database = session.Open(file);
    TableDef& table = database->TableDefs().Item("Order Details");
    for (auto change : std::vector<std::function<void()>>{
             [&] { table.TableIndexes().Delete("PrimaryKey"); },
             [&] { table.TableIndexes().Append(table.TableIndexes().Item("OrderID")); },
             [&] { table.CreateIndex("Extra"); }}) {
      try {
        change();
        ADD_FAILURE() << "index change accepted";
      } catch (const EngineError& error) {
        EXPECT_EQ(error.Number(), kCannotUpdate);
      }
    }
    EXPECT_EQ(table.TableIndexes().Count(), 3 + 2);  // PrimaryKey, OrderID, ProductID + 2 relations
  }
  EXPECT_EQ(testing::Sha256(file), before);
}

}  // namespace
}  // namespace corvid::dao
