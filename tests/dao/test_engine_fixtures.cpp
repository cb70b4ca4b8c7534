// Every fixture read through the engine agrees with mdbtools' own programs:
// the user tables with mdb-tables, every value of every table with mdb-export.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include "dao/engine/dao_constants.h"
#include "dao/engine/variant.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

std::string Hex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::byte b : bytes) {
    out += digits[static_cast<unsigned>(b) >> 4];
    out += digits[static_cast<unsigned>(b) & 15];
  }
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool NearlyEqual(double a, double b, double relative) {
  return std::fabs(a - b) <= relative * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// Compares one engine value with mdb-export's text of it; "" when they agree.
std::string Disagreement(Field& field, const Variant& value, const std::string& exported) {
  const bool exportedNull = exported == "\x01NULL";
  if (IsNull(value) != exportedNull)
    return "null mismatch (engine " + std::string(IsNull(value) ? "Null" : "value") + ")";
  if (exportedNull) return {};
  switch (field.Type()) {
    case dbBoolean:
      return std::get<bool>(value) == (exported == "1") ? "" : "boolean";
    case dbByte:
    case dbInteger:
    case dbLong:
      return std::get<std::int64_t>(value) == std::stoll(exported) ? "" : "integer";
    case dbSingle:
      return NearlyEqual(std::get<float>(value), std::strtod(exported.c_str(), nullptr), 1e-6)
                 ? ""
                 : "single";
    case dbDouble:
      return NearlyEqual(std::get<double>(value), std::strtod(exported.c_str(), nullptr), 1e-13)
                 ? ""
                 : "double";
    case dbDecimal:
      return NearlyEqual(std::get<double>(value), std::strtod(exported.c_str(), nullptr), 1e-13)
                 ? ""
                 : "decimal";
    case dbCurrency:
      return std::llround(std::strtod(exported.c_str(), nullptr) * 10000.0) ==
                     std::get<Currency>(value).scaled
                 ? ""
                 : "currency";
    case dbDate:
      return VariantToText(value) == exported ? "" : "date " + VariantToText(value);
    case dbText:
    case dbMemo:
      return std::get<std::string>(value) == exported
                 ? ""
                 : "text '" + std::get<std::string>(value) + "'";
    case dbGUID: {
      const auto& text = std::get<std::string>(value);  // "{guid {...}}"
      return text.size() == 44 && Upper(text.substr(6, 38)) == Upper(exported) ? ""
                                                                               : "guid " + text;
    }
    case dbBinary:
    case dbLongBinary:
      return Hex(std::get<Bytes>(value)) == Upper(exported) ? "" : "binary";
    default:
      return {};
  }
}

class EveryFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryFixture, UserTablesAreTheOnesMdbTablesLists) {
  EngineSession session;
  auto database = session.Open(GetParam());
  std::vector<std::string> userTables, allTables;
  auto& tables = database->TableDefs();
  for (int i = 0; i < tables.Count(); ++i) {
    allTables.push_back(tables.Item(i).Name());
    if ((tables.Item(i).Attributes() & dbSystemObject) == 0)
      userTables.push_back(tables.Item(i).Name());
  }
  EXPECT_EQ(userTables, MdbTables(GetParam()));
  // The engine's own tables are there too, marked by the attribute bits.
  EXPECT_NE(std::find(allTables.begin(), allTables.end(), "MSysObjects"), allTables.end());
}

TEST_P(EveryFixture, EveryValueEqualsMdbExport) {
  EngineSession session;
  auto database = session.Open(GetParam());
  for (const std::string& table : MdbTables(GetParam())) {
    SCOPED_TRACE(table);
    auto expected = MdbExport(GetParam(), table);
    auto recordset = database->OpenRecordset(table, dbOpenDynaset);
    auto& fields = recordset->Fields();
    std::size_t row = 0;
    for (; !recordset->Eof(); recordset->MoveNext(), ++row) {
      ASSERT_LT(row, expected.size()) << "more rows than mdb-export";
      ASSERT_EQ(static_cast<std::size_t>(fields.Count()), expected[row].size());
      for (int i = 0; i < fields.Count(); ++i) {
        Field& field = fields.Item(i);
        Variant value = field.Value();
        EXPECT_EQ(Disagreement(field, value, expected[row][static_cast<std::size_t>(i)]), "")
            << "row " << row << " field " << field.Name() << " exported '"
            << expected[row][static_cast<std::size_t>(i)].substr(0, 80) << "'";
      }
    }
    EXPECT_EQ(row, expected.size());
    if (!expected.empty()) recordset->MoveLast();
    EXPECT_EQ(recordset->RecordCount(), static_cast<std::int32_t>(expected.size()));
  }
}

// mdb-schema's Access type text for a DAO field.
std::string SchemaTypeText(Field& field) {
  switch (field.Type()) {
    case dbBoolean:
      return "Boolean";
    case dbByte:
      return "Byte";
    case dbInteger:
      return "Integer";
    case dbLong:
      return "Long Integer";
    case dbCurrency:
      return "Currency";
    case dbSingle:
      return "Single";
    case dbDouble:
      return "Double";
    case dbDate:
      return "DateTime";
    case dbText:
      return "Text (" + std::to_string(field.Size()) + ")";
    case dbMemo:
      return "Memo/Hyperlink (255)";
    case dbLongBinary:
      return "OLE (255)";
    case dbGUID:
      return "Replication ID";
    default:
      return "type " + std::to_string(field.Type());
  }
}

// Column name → type text of every table, as mdb-schema lists them.
std::map<std::string, std::vector<std::pair<std::string, std::string>>> MdbSchema(
    const std::string& file) {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> tables;
  std::string current;
  for (const std::string& line :
       Split(RunCommand("mdb-schema --no-indexes --no-relations --no-comments " + Quote(file) +
                        " access"),
             "\n")) {
    if (line.starts_with("CREATE TABLE [")) {
      current = line.substr(14, line.rfind(']') - 14);
    } else if (line.starts_with("\t[") && !current.empty()) {
      auto close = line.find(']');
      std::string name = line.substr(2, close - 2);
      std::string type = line.substr(line.find_first_not_of('\t', close + 1));
      while (!type.empty() && (type.back() == ' ' || type.back() == ',')) type.pop_back();
      if (type.ends_with(" NOT NULL")) type.erase(type.size() - 9);
      tables[current].emplace_back(name, type);
    }
  }
  return tables;
}

TEST_P(EveryFixture, FieldNamesTypesAndSizesAgreeWithMdbSchema) {
  EngineSession session;
  auto database = session.Open(GetParam());
  auto schema = MdbSchema(GetParam());
  for (const std::string& table : MdbTables(GetParam())) {
    SCOPED_TRACE(table);
    ASSERT_EQ(schema.count(table), 1u);
    const auto& columns = schema.at(table);
    auto& fields = database->TableDefs().Item(table).Fields();
    ASSERT_EQ(static_cast<std::size_t>(fields.Count()), columns.size());
    for (int i = 0; i < fields.Count(); ++i) {
      EXPECT_EQ(fields.Item(i).Name(), columns[static_cast<std::size_t>(i)].first);
      EXPECT_EQ(SchemaTypeText(fields.Item(i)), columns[static_cast<std::size_t>(i)].second)
          << fields.Item(i).Name();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EveryFixture, ::testing::ValuesIn(FixtureFiles()),
                         [](const auto& info) {
                           std::string name = std::filesystem::path(info.param).stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace corvid::dao
