// Every table of every fixture read through TVxDaoTable and compared, value by
// value, with what mdb-export reads from the same file: field names, record
// counts, and values in their value-text forms (numbers numerically, dates
// as instants, text and binary byte for byte).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "dao/table/blob_stream.h"
#include "dao/dataset/day_numbers.h"
#include "dao/engine/dao_constants.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using namespace testing_support;

// Separators no fixture value contains (one holds every byte from 01 to FF).
const std::string kFieldSep = "\x1f<F>\x1f";
const std::string kRowSep = "\x1e<R>\x1e";
const std::string kNull = "\x1c<N>\x1c";

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  return parts;
}

std::vector<std::string> TableNames(const std::string& file) {
  auto names = Split(Shell("mdb-tables -1 " + Quoted(file)), "\n");
  std::erase_if(names, [](const std::string& n) { return n.empty(); });
  return names;
}

// The header and the rows of mdb-export, NULL as kNull, binary in hex.
std::vector<std::vector<std::string>> Export(const std::string& file, const std::string& table) {
  const std::string command = std::string("mdb-export -Q -d '") + kFieldSep + "' -R '" + kRowSep +
                              "' -0 '" + kNull +
                              "' -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " +
                              Quoted(file) + " " + Quoted(table);
  const std::string text = Shell(command);
  // Header and rows each end with the row separator.
  std::vector<std::vector<std::string>> rows;
  for (const std::string& row : Split(text, kRowSep)) rows.push_back(Split(row, kFieldSep));
  if (rows.size() > 1 && rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
  if (!rows.empty() && !rows.front().empty() && !rows.front().back().empty() &&
      rows.front().back().back() == '\n')
    rows.front().back().pop_back();
  return rows;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string InstantOfDateText(const std::string& text) {
  const auto dt = ParseDateText(text);
  if (!dt) return "bad date text " + text;
  const CivilDate d = CivilFromDayNumber(dt->day);
  const int s = (dt->milliseconds + 500) / 1000;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", d.year, d.month, d.day,
                s / 3600, s / 60 % 60, s % 60);
  return buffer;
}

// Compares one value of our table with mdb-export's text of it.
void ExpectSameValue(TVxDaoTable& table, std::size_t column, const std::string& theirs) {
  TField& field = table.Fields(column);
  const std::string& ours = table.ActiveRecordBuffer()->RecValues[column].text;
  const bool theirNull = theirs == kNull;
  SCOPED_TRACE(field.FieldName());
  switch (field.DataType()) {
    case TFieldType::ftString:
      EXPECT_EQ(ours, theirNull ? "" : theirs);
      break;
    case TFieldType::ftMemo:
    case TFieldType::ftBlob: {
      TVxBlobStream stream(field, TBlobStreamMode::bmRead);
      const auto data = stream.Data();
      const std::string value(reinterpret_cast<const char*>(data.data()), data.size());
      if (field.DataType() == TFieldType::ftMemo)
        EXPECT_EQ(value, theirNull ? "" : theirs);
      else
        EXPECT_EQ(Hex(value), theirNull ? "" : theirs);
      // Uncached, the buffer holds the value's size.
      EXPECT_EQ(ours, value.empty() ? "" : std::to_string(value.size()));
      break;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
      if (theirNull)
        EXPECT_EQ(ours, "");
      else
        EXPECT_EQ(std::stoll(ours), std::stoll(theirs));
      break;
    case TFieldType::ftBoolean:
      EXPECT_EQ(ours, theirs == "1" ? "True" : "False");
      break;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
      if (theirNull) {
        EXPECT_EQ(ours, "");
      } else {
        const double a = std::stod(ours), b = std::stod(theirs);
        EXPECT_NEAR(a, b, 1e-6 * std::max(1.0, std::fabs(b))) << ours << " vs " << theirs;
      }
      break;
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      if (theirNull)
        EXPECT_EQ(ours, "");
      else
        EXPECT_EQ(InstantOfDateText(ours), theirs);
      break;
    case TFieldType::ftBytes:
      if (field.ValidChars() == kGuidChars) {
        EXPECT_EQ(ours, theirNull ? "" : "{guid " + theirs + "}");
      } else {
        EXPECT_EQ(Hex(ours), theirNull ? "" : theirs);
      }
      break;
    default:
      ADD_FAILURE() << "unexpected field type " << static_cast<int>(field.DataType());
  }
}

TEST(TableFixtures, EveryValueMatchesMdbExport) {
  int tablesCompared = 0;
  long valuesCompared = 0;
  for (const std::string& file : corvid::testing_fixtures::PlainMdbFixtures()) {
    for (const std::string& name : TableNames(file)) {
      SCOPED_TRACE(file + " " + name);
      const auto exported = Export(file, name);
      ASSERT_FALSE(exported.empty());
      OpenDatabase db(file);
      db.table.F_Set_TableName(name);
      db.table.Open();
      std::vector<std::string> names;
      for (std::size_t i = 0; i < db.table.FieldCount(); ++i)
        names.push_back(db.table.Fields(i).FieldName());
      EXPECT_EQ(names, exported.front());
      std::size_t row = 1;
      for (; !db.table.Eof(); db.table.Next(), ++row) {
        ASSERT_LT(row, exported.size()) << "more records than mdb-export reads";
        ASSERT_EQ(exported[row].size(), db.table.FieldCount()) << "row " << row;
        for (std::size_t column = 0; column < db.table.FieldCount(); ++column) {
          ExpectSameValue(db.table, column, exported[row][column]);
          ++valuesCompared;
        }
      }
      EXPECT_EQ(row, exported.size()) << "fewer records than mdb-export reads";
      EXPECT_EQ(db.table.RecordCount(), static_cast<int>(exported.size() - 1));
      ++tablesCompared;
    }
  }
  EXPECT_GE(tablesCompared, 20);
  EXPECT_GT(valuesCompared, 10000);
}

TEST(TableFixtures, NonAsciiTextIsIntact) {
  OpenDatabase db(kFixtures + "testUnicodeCompV2003.mdb");
  db.table.F_Set_TableName("Table");
  db.table.Open();
  bool found = false;
  for (; !db.table.Eof(); db.table.Next())
    if (db.table.FieldByName("Unicode").AsString().find("ääkkösiä") != std::string::npos)
      found = true;
  EXPECT_TRUE(found);
  OpenDatabase nwind(kFixtures + "nwind.mdb");
  nwind.table.F_Set_TableName("umsätze");
  nwind.table.Open();
  EXPECT_EQ(nwind.table.RecordCount(), 830);
}

TEST(TableFixtures, TypesOfTestV2003Table1) {
  for (const char* file : {"testV2003.mdb", "testV2010.accdb"}) {
    SCOPED_TRACE(file);
    OpenDatabase db(kFixtures + file);
    db.table.F_Set_TableName("Table1");
    db.table.Open();
    while (!db.table.Eof() && db.table.FieldByName("A").AsString() != "abcdefg") db.table.Next();
    ASSERT_FALSE(db.table.Eof());
    std::vector<std::string> types(db.table.FieldTypeNames());
    EXPECT_EQ(types, (std::vector<std::string>{"ftString", "ftString", "ftSmallInt", "ftSmallInt",
                                               "ftInteger", "ftFloat", "ftDateTime", "ftCurrency",
                                               "ftBoolean"}));
    EXPECT_EQ(db.table.FieldDefs()[0].size, 50);
    EXPECT_EQ(db.table.FieldDefs()[1].size, 100);
    EXPECT_EQ(db.table.FieldByName("F").AsString(), "444.555");
    EXPECT_EQ(db.table.FieldByName("H").AsString(), "3.5");
    EXPECT_EQ(db.table.FieldByName("G").AsString(), "09/21/74");
    EXPECT_EQ(db.table.FieldByName("I").AsString(), "True");
  }
}

// Date fields formatted "Medium Date" hold dates only (a Date field without
// a format is a date-time: Table1's G above).
TEST(TableFixtures, DateFormatRefinesTheFieldType) {
  OpenDatabase db(kFixtures + "nwind.mdb");
  db.table.F_Set_TableName("Umsätze");
  db.table.Open();
  for (const char* name : {"OrderDate", "RequiredDate", "ShippedDate"}) {
    SCOPED_TRACE(name);
    TField* field = db.table.FindField(name);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->DataType(), TFieldType::ftDate);
    const std::string text = field->AsString();
    EXPECT_EQ(text.size(), 8u) << text;  // mm/dd/yy, no time
  }
}

}  // namespace
}  // namespace corvid
