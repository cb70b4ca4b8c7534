// Every table of every real fixture libmdb can read, and of writer-made
// Jet 3 and Jet 4 files, read with our reader and with libmdb: the same
// columns, the same rows in the same order, every value the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "jet/reader/data_page.h"
#include "jet/reader/database.h"
#include "tests/jet/reader/support_libmdb_oracle.h"
#include "tests/jet/reader/support_reader_fixtures.h"

namespace corvid::jet::reader {
namespace {

using testing::OracleTable;

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string Printf(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Days since 1899-12-30 as "%Y-%m-%d %H:%M:%S", rounded to the second.
std::string DateText(double days) {
  const double seconds =
      std::floor(days) * 86400.0 + std::round((days - std::floor(days)) * 86400.0);
  std::time_t t = static_cast<std::time_t>(seconds) - 25569LL * 86400;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, testing::kOracleDateFormat, &tm);
  return text;
}

std::string MoneyText(std::int64_t v) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  char text[64];
  std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return text;
}

// Our value in the form libmdb prints it.
std::string OracleText(const Table& table, const Value& value) {
  return std::visit(Overloaded{
                        [](const Null&) { return std::string(); },
                        [](bool b) { return std::string(b ? "1" : "0"); },
                        [](std::uint8_t v) { return std::to_string(v); },
                        [](std::int16_t v) { return std::to_string(v); },
                        [](std::int32_t v) { return std::to_string(v); },
                        [](std::int64_t v) { return std::to_string(v); },
                        [](const Money& m) { return MoneyText(m.tenThousandths); },
                        [](float f) { return Printf("%.8g", static_cast<double>(f)); },
                        [](double d) { return Printf("%.16g", d); },
                        [](const DateTime& d) { return DateText(d.days); },
                        // libmdb leaves out the hyphen before the last twelve digits.
                        [](const Guid& g) { return g.Text().erase(24, 1); },
                        [](const Decimal& d) { return d.Text(); },
                        [](const ComplexKey& k) { return std::to_string(k.key); },
                        [](const std::string& s) { return s; },
                        [](const Bytes& b) {
                          return std::string(reinterpret_cast<const char*>(b.data()), b.size());
                        },
                        [&table](const LongValue& v) { return table.MemoText(v); },
                        [](const UnknownValue&) { return std::string("?"); },
                    },
                    value);
}

// Compares one table; returns the number of values compared. Rows are
// compared as sorted lists: libmdb returns a row moved elsewhere (reached
// through a lookup row) where it now lies, we where it was.
std::size_t CompareTable(Database& db, const std::string& path, const std::string& name) {
  SCOPED_TRACE(path + " / " + name);
  const OracleTable oracle = testing::ReadWithLibmdb(path, name);
  Table table = db.OpenTable(name);
  const TableDefinition& def = table.Definition();
  EXPECT_EQ(def.columns.size(), oracle.columns.size());
  std::vector<int> ours;  // our column index per libmdb column
  for (std::size_t i = 0; i < oracle.columns.size(); ++i) {
    int found = -1;
    for (std::size_t k = 0; k < def.columns.size(); ++k)
      if (def.columns[k].name == oracle.columns[i]) found = static_cast<int>(k);
    EXPECT_GE(found, 0) << "column " << oracle.columns[i];
    if (found >= 0) {
      EXPECT_EQ(def.columns[found].type, oracle.types[i]) << oracle.columns[i];
    }
    // libmdb does not know complex and Large Number columns.
    if (found >= 0 && (def.columns[found].type == static_cast<std::uint8_t>(StoredType::Complex) ||
                       def.columns[found].type == static_cast<std::uint8_t>(StoredType::BigInt)))
      found = -1;
    ours.push_back(found);
  }
  using Cells = std::vector<std::string>;
  std::vector<Cells> expected, actual;
  for (const auto& row : oracle.rows) {
    Cells cells;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (ours[i] < 0) {
        cells.emplace_back();
      } else if (def.columns[ours[i]].type == static_cast<std::uint8_t>(StoredType::Ole)) {
        cells.emplace_back(reinterpret_cast<const char*>(row[i].bytes.data()), row[i].bytes.size());
      } else {
        cells.push_back(row[i].text);
      }
    }
    expected.push_back(std::move(cells));
  }
  RowCursor rows = table.Rows();
  Row row;
  while (rows.Next(row)) {
    EXPECT_FALSE(row.recovered);
    Cells cells;
    for (std::size_t i = 0; i < oracle.columns.size(); ++i) {
      if (ours[i] < 0) {
        cells.emplace_back();
        continue;
      }
      const Value& value = row.values[ours[i]];
      if (def.columns[ours[i]].type == static_cast<std::uint8_t>(StoredType::Ole)) {
        const Bytes bytes =
            IsNull(value) ? Bytes{} : table.LongValueBytes(std::get<LongValue>(value));
        cells.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      } else {
        // libmdb's texts end at the first zero byte.
        std::string text = OracleText(table, value);
        cells.push_back(text.substr(0, text.find('\0')));
      }
    }
    actual.push_back(std::move(cells));
  }
  EXPECT_EQ(rows.RowsRecovered(), 0u);
  EXPECT_EQ(rows.RowsUnreadable(), 0u);
  EXPECT_EQ(actual.size(), expected.size());
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  std::size_t compared = 0, failures = 0;
  for (std::size_t r = 0; r < std::min(actual.size(), expected.size()) && failures < 20; ++r) {
    for (std::size_t i = 0; i < oracle.columns.size(); ++i) {
      ++compared;
      if (actual[r][i] == expected[r][i]) continue;
      ++failures;
      const bool ole =
          ours[i] >= 0 && def.columns[ours[i]].type == static_cast<std::uint8_t>(StoredType::Ole);
      ADD_FAILURE() << "sorted row " << r << ", " << oracle.columns[i] << " (type "
                    << oracle.types[i] << "): "
                    << (ole ? std::to_string(actual[r][i].size()) + " bytes"
                            : "\"" + actual[r][i] + "\"")
                    << ", libmdb "
                    << (ole ? std::to_string(expected[r][i].size()) + " bytes"
                            : "\"" + expected[r][i] + "\"");
    }
  }
  return compared;
}

void CompareDatabase(const std::string& path, bool withSystemTables) {
  SCOPED_TRACE(path);
  Database db = Database::Open(path);
  std::vector<std::string> names = db.TableNames();
  ASSERT_FALSE(names.empty());
  if (withSystemTables) {
    names.push_back("MSysObjects");
    if (db.Objects().FindTable("MSysQueries")) names.push_back("MSysQueries");
  }
  std::size_t compared = 0;
  for (const std::string& name : names) compared += CompareTable(db, path, name);
  EXPECT_GT(compared, 0u);
  for (const Damage& d : db.Report().Entries()) ADD_FAILURE() << d.Text();
}

TEST(ReaderAgainstLibmdb, EveryTableOfEveryRealFixture) {
  for (const std::string& path : testing::RealFixtureFiles()) {
    if (testing::IsOfficeEncryptedFixture(path)) {
      // libmdb cannot decrypt these; without the password the reader
      // refuses them (their own tests open them with it).
      EXPECT_THROW(Database::Open(path), PasswordError) << path;
      continue;
    }
    CompareDatabase(path, true);
  }
}

TEST(ReaderAgainstLibmdb, WriterMadeFilesOfBothVersions) {
  testing::TempDir dir;
  for (bool jet3 : {true, false}) {
    const std::string path = dir.Path(jet3 ? "all3.mdb" : "all4.mdb").string();
    testing::WriteAllTypesDatabase(path, jet3);
    CompareDatabase(path, false);
  }
}

TEST(ReaderAgainstLibmdb, TableWhoseUsageMapRefersToBitmapPages) {
  testing::TempDir dir;
  const std::string path = dir.Path("spread.mdb").string();
  testing::WriteSpreadDatabase(path);
  {
    Database db = Database::Open(path);
    const TableDefinition def = db.OpenTable("Rows").Definition();
    PagePtr holder;
    const auto mapRow = RowAtPointer(db.Pages(), db.Format(), def.usedPagesMap, holder);
    ASSERT_EQ(static_cast<int>(mapRow[0]), 1) << "the map should refer to bitmap pages";
  }
  CompareDatabase(path, false);
}

}  // namespace
}  // namespace corvid::jet::reader
