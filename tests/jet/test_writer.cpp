// Databases made by the writer, read back by mdbtools (command-line tools and
// libmdb): tables, column types, counts, values, NULLs, long values byte for
// byte, many pages, non-ASCII names and the header password.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support_mdb_judge.h"
#include "support_temp_dir.h"
#include "jet/header_page.h"
#include "jet/jet_format.h"
#include "jet/mdb_writer.h"
#include "tests/fixture_files.h"

namespace corvid::jet {
namespace {

using testing::JudgedTable;
using testing::MdbExportLines;
using testing::MdbTables;
using testing::ReadWithLibmdb;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;

Bytes PatternBytes(std::size_t size, std::uint32_t salt) {
  Bytes bytes(size);
  std::mt19937 random(salt);
  for (auto& b : bytes) b = static_cast<std::byte>(random() & 0xFF);
  return bytes;
}

std::string AsString(const Bytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<std::byte> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  std::transform(chars.begin(), chars.end(), bytes.begin(),
                 [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

// Every mdbtools command must run cleanly: exit 0 and nothing on stderr
// (libmdb reports inconsistent usage maps and bad rows there).
std::string CleanOutput(const std::string& command) {
  const auto result = RunCommand(command);
  EXPECT_EQ(result.exitCode, 0) << command << "\n" << result.err;
  EXPECT_EQ(result.err, "") << command;
  return result.out;
}

TEST(MdbWriterJudgedByMdbtools, EveryColumnTypeRoundTrips) {
  TempDir dir;
  const std::string path = dir.File("types.mdb");
  {
    MdbWriter writer(path);
    auto& table = writer.AddTable({"Types",
                                   {{"Auto", ColumnType::AutoNumber},
                                    {"LongCol", ColumnType::Long},
                                    {"IntCol", ColumnType::Integer},
                                    {"ByteCol", ColumnType::Byte},
                                    {"Flag", ColumnType::YesNo},
                                    {"Money", ColumnType::Currency},
                                    {"Real", ColumnType::Double},
                                    {"Stamp", ColumnType::DateTime},
                                    {"Label", ColumnType::Text, 20},
                                    {"Notes", ColumnType::Memo},
                                    {"Blob", ColumnType::OleObject},
                                    {"Raw", ColumnType::Binary, 8},
                                    {"Uid", ColumnType::Guid}}});
    table.AddRow({Null, std::int64_t{-2147483648LL}, std::int64_t{-32768}, std::int64_t{255}, true,
                  Currency{-12345678}, 3.25, Date{45000.75}, std::string("first"),
                  std::string("a memo"), Bytes{std::byte{0}, std::byte{0xFF}, std::byte{0x10}},
                  Bytes{std::byte{0xAB}, std::byte{0xCD}},
                  Guid{{0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD, 0x01, 0x23, 0x45, 0x67,
                        0x89, 0xAB, 0xCD, 0xEF}}});
    table.AddRow({Null, std::int64_t{2147483647}, std::int64_t{32767}, std::int64_t{0}, false,
                  std::int64_t{7}, -0.5, Date{2.0}, std::string("second"), Null, Null, Null, Null});
    table.AddRow(
        {std::int64_t{40}, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null});
    table.AddRow({Null, std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, true, Currency{1}, 1e300,
                  Date{0.25}, std::string("last"), std::string(""), Bytes{}, Bytes{}, Null});
    writer.Finish();
  }
  EXPECT_EQ(CleanOutput("mdb-ver " + ShellQuote(path)), "JET4\n");
  EXPECT_EQ(MdbTables(path), std::vector<std::string>{"Types"});
  EXPECT_EQ(CleanOutput("mdb-count " + ShellQuote(path) + " Types"), "4\n");

  const std::string schema = CleanOutput("mdb-schema " + ShellQuote(path) + " -T Types");
  for (const char* line :
       {"[Auto]\t\t\tLong Integer", "[LongCol]\t\t\tLong Integer", "[IntCol]\t\t\tInteger",
        "[ByteCol]\t\t\tByte", "[Flag]\t\t\tBoolean NOT NULL", "[Money]\t\t\tCurrency",
        "[Real]\t\t\tDouble", "[Stamp]\t\t\tDateTime", "[Label]\t\t\tText (20)",
        "[Notes]\t\t\tMemo/Hyperlink", "[Blob]\t\t\tOLE", "[Raw]\t\t\tBinary",
        "[Uid]\t\t\tReplication ID"})
    EXPECT_NE(schema.find(line), std::string::npos) << line << "\n" << schema;

  // With -b hex mdb-export prints binary values (and the GUID's text) in hex;
  // it prints zero-length Memo and Binary values as NULL (the null mask is
  // checked through libmdb below).
  const auto lines = CleanOutput("mdb-export -H -Q -d '|' -0 NULL -T '%Y-%m-%d %H:%M:%S' -b hex " +
                                 ShellQuote(path) + " Types");
  std::string guidHex;
  // libmdb's GUID text groups the last eight bytes together.
  for (unsigned char c : std::string("{01234567-89AB-CDEF-0123456789ABCDEF}")) {
    static const char* digits = "0123456789ABCDEF";
    guidHex += digits[c >> 4];
    guidHex += digits[c & 15];
  }
  EXPECT_EQ(
      lines,
      "1|-2147483648|-32768|255|1|-1234.5678|3.25|2023-03-15 18:00:00|first|a memo|00FF10|ABCD|" +
          guidHex +
          "\n"
          "2|2147483647|32767|0|0|7.0000|-0.5|1900-01-01 00:00:00|second|NULL|NULL|NULL|NULL\n"
          "40|NULL|NULL|NULL|0|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL\n"
          "41|1|2|3|1|0.0001|1e+300|1899-12-30 06:00:00|last|NULL||NULL|NULL\n");

  const JudgedTable judged = ReadWithLibmdb(path, "Types");
  ASSERT_TRUE(judged.found);
  EXPECT_TRUE(judged.columns[0].autoLong);
  EXPECT_FALSE(judged.columns[1].autoLong);
  ASSERT_EQ(judged.rows.size(), 4u);
  // mdb-export shows empty values as NULL; the null mask tells them apart.
  EXPECT_FALSE(judged.rows[3][9].null);
  EXPECT_EQ(judged.rows[3][9].value, "");
  EXPECT_FALSE(judged.rows[3][10].null);
  EXPECT_EQ(judged.rows[3][10].value, "");
  EXPECT_FALSE(judged.rows[3][11].null);
  EXPECT_TRUE(judged.rows[1][9].null);
  EXPECT_TRUE(judged.rows[1][10].null);
  EXPECT_TRUE(judged.rows[1][11].null);
  EXPECT_EQ(judged.rows[0][10].value, std::string("\x00\xFF\x10", 3));
}

TEST(MdbWriterJudgedByMdbtools, NullAndEmptyTextStayDistinct) {
  TempDir dir;
  const std::string path = dir.File("nulls.mdb");
  {
    MdbWriter writer(path);
    auto& table = writer.AddTable({"T",
                                   {{"id", ColumnType::Long},
                                    {"packed", ColumnType::Text, 10},
                                    {"wide", ColumnType::Text, 10, false},
                                    {"memo", ColumnType::Memo}}});
    table.AddRow({std::int64_t{1}, Null, Null, Null});
    table.AddRow({std::int64_t{2}, std::string(), std::string(), std::string()});
    table.AddRow({std::int64_t{3}, std::string("x"), std::string("x"), std::string("x")});
    writer.Finish();
  }
  const JudgedTable judged = ReadWithLibmdb(path, "T");
  ASSERT_EQ(judged.rows.size(), 3u);
  for (std::size_t column = 1; column <= 3; ++column) {
    SCOPED_TRACE(column);
    EXPECT_TRUE(judged.rows[0][column].null);
    EXPECT_FALSE(judged.rows[1][column].null);
    EXPECT_EQ(judged.rows[1][column].value, "");
    EXPECT_FALSE(judged.rows[2][column].null);
    EXPECT_EQ(judged.rows[2][column].value, "x");
  }
}

TEST(MdbWriterJudgedByMdbtools, LongValuesInlineSinglePageAndChainsReadBackByteForByte) {
  TempDir dir;
  const std::string path = dir.File("blobs.mdb");
  // Sizes around each storage boundary: inline (<= 64), one long-value row
  // (<= 4076), and chains (4076 bytes per page) ending exactly on and just
  // past a page.
  const std::vector<std::size_t> sizes{1,    63,   64,   65,   3000,   4075,
                                       4076, 4077, 8152, 8153, 100000, 10u * 1024 * 1024};
  std::vector<Bytes> values;
  {
    MdbWriter writer(path);
    auto& table = writer.AddTable({"Blobs",
                                   {{"id", ColumnType::Long},
                                    {"data", ColumnType::OleObject},
                                    {"other", ColumnType::OleObject}}});
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      values.push_back(PatternBytes(sizes[i], static_cast<std::uint32_t>(i + 1)));
      // A second long value in the same row shares the long-value pages.
      table.AddRow(
          {static_cast<std::int64_t>(i), ByteView{values.back()}, Bytes(PatternBytes(100, 99))});
    }
    writer.Finish();
  }
  const JudgedTable judged = ReadWithLibmdb(path, "Blobs");
  ASSERT_EQ(judged.rows.size(), sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(judged.rows[i][1].longValueFlags, sizes[i] <= 64     ? 0x80
                                                : sizes[i] <= 4076 ? 0x40
                                                                   : 0x00);
    EXPECT_EQ(judged.rows[i][1].value.size(), sizes[i]);
    EXPECT_TRUE(judged.rows[i][1].value == AsString(values[i]));
    EXPECT_TRUE(judged.rows[i][2].value == AsString(PatternBytes(100, 99)));
  }
  CleanOutput("mdb-export " + ShellQuote(path) + " Blobs > /dev/null");
}

TEST(MdbWriterJudgedByMdbtools, LongMemoTextReadsBack) {
  TempDir dir;
  const std::string path = dir.File("memo.mdb");
  std::string shortText = "Grüße aus Köln";
  std::string longText;
  for (int i = 0; i < 900; ++i)
    longText += "Zeile " + std::to_string(i) + " – äöü €\n";  // > 1024 chars, uncompressed
  {
    MdbWriter writer(path);
    auto& table =
        writer.AddTable({"Memos", {{"id", ColumnType::Long}, {"text", ColumnType::Memo}}});
    table.AddRow({std::int64_t{1}, shortText});
    table.AddRow({std::int64_t{2}, longText});
    writer.Finish();
  }
  const JudgedTable judged = ReadWithLibmdb(path, "Memos");
  ASSERT_EQ(judged.rows.size(), 2u);
  EXPECT_EQ(judged.rows[0][1].value, shortText);
  EXPECT_EQ(judged.rows[1][1].value, longText);
}

TEST(MdbWriterJudgedByMdbtools, ManyRowsOverManyPagesOfInterleavedTables) {
  TempDir dir;
  const std::string path = dir.File("many.mdb");
  // Two tables filled alternately, so neither owns a contiguous run of pages;
  // wide rows give hundreds of pages, more than an inline usage map spans.
  constexpr int kRows = 3000;
  const std::string wide(200, 'w');
  {
    MdbWriter writer(path);
    auto& a =
        writer.AddTable({"A", {{"n", ColumnType::Long}, {"s", ColumnType::Text, 255, false}}});
    auto& b =
        writer.AddTable({"B", {{"n", ColumnType::Long}, {"s", ColumnType::Text, 255, false}}});
    auto& c = writer.AddTable({"Small", {{"n", ColumnType::Long}}});
    for (int i = 0; i < kRows; ++i) {
      a.AddRow({std::int64_t{i}, wide});
      b.AddRow({std::int64_t{-i}, wide});
    }
    for (int i = 0; i < 5000; ++i) c.AddRow({std::int64_t{i}});
    EXPECT_GT(writer.PagesWritten(), 600u);
    writer.Finish();
  }
  EXPECT_EQ(CleanOutput("mdb-count " + ShellQuote(path) + " A"), std::to_string(kRows) + "\n");
  EXPECT_EQ(CleanOutput("mdb-count " + ShellQuote(path) + " B"), std::to_string(kRows) + "\n");
  EXPECT_EQ(CleanOutput("mdb-count " + ShellQuote(path) + " Small"), "5000\n");
  const auto a = MdbExportLines(path, "A");
  ASSERT_EQ(a.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(a[i], std::to_string(i) + "\t" + wide);
  const auto small = MdbExportLines(path, "Small");
  ASSERT_EQ(small.size(), 5000u);
  EXPECT_EQ(small.back(), "4999");
  const JudgedTable judged = ReadWithLibmdb(path, "B");
  EXPECT_EQ(judged.declaredRows, static_cast<std::size_t>(kRows));
  EXPECT_EQ(judged.usageMapType, 1);  // pointers to bitmap pages
  EXPECT_EQ(ReadWithLibmdb(path, "Small").usageMapType, 0);
  ASSERT_EQ(judged.rows.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(judged.rows.back()[0].value, std::to_string(-(kRows - 1)));
}

TEST(MdbWriterJudgedByMdbtools, NonAsciiTableColumnNamesAndText) {
  TempDir dir;
  const std::string path = dir.File("names.mdb");
  const std::string table = "Umsätze €uro";
  // (Characters beyond the BMP are left out: libmdb converts UCS-2 only.)
  const std::vector<std::string> texts{"ääkkösiä",
                                       "Ελληνικά",
                                       "日本語テキスト",
                                       "mixed ä and Ω",
                                       "plain ascii",
                                       "Ā has a zero low byte",
                                       "alpha Ω omega and back"};
  {
    MdbWriter writer(path);
    auto& t = writer.AddTable({table,
                               {{"Grüße", ColumnType::Text, 30},
                                {"Größe", ColumnType::Long},
                                {"Ωmega", ColumnType::Text, 30, false}}});
    for (std::size_t i = 0; i < texts.size(); ++i)
      t.AddRow({texts[i], static_cast<std::int64_t>(i), texts[i]});
    writer.Finish();
  }
  EXPECT_EQ(MdbTables(path), std::vector<std::string>{table});
  const std::string schema =
      CleanOutput("mdb-schema " + ShellQuote(path) + " -T " + ShellQuote(table));
  EXPECT_NE(schema.find("[Grüße]"), std::string::npos) << schema;
  EXPECT_NE(schema.find("[Größe]"), std::string::npos) << schema;
  EXPECT_NE(schema.find("[Ωmega]"), std::string::npos) << schema;
  const auto lines = MdbExportLines(path, table);
  ASSERT_EQ(lines.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(lines[i], texts[i] + "\t" + std::to_string(i) + "\t" + texts[i]);
}

TEST(MdbWriterJudgedByMdbtools, PasswordIsMaskedAsAccessMasksIt) {
  TempDir dir;
  const std::string path = dir.File("secret.mdb");
  WriterOptions options;
  options.password = "Geheim€1";
  options.creationDate = 45321.6;
  {
    MdbWriter writer(path, options);
    writer.AddTable({"T", {{"n", ColumnType::Long}}}).AddRow({std::int64_t{5}});
    writer.Finish();
  }
  // Not stored in clear, neither as UCS-2 nor masked only by the header key.
  const auto bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), kJet4.pageSize);
  EXPECT_EQ(ReadHeaderPassword(kJet4, bytes), "Geheim€1");
  std::vector<std::byte> page0(bytes.begin(), bytes.begin() + kJet4.pageSize);
  UnmaskHeader(kJet4, page0);
  EXPECT_NE(page0[0x42], std::byte{'G'});
  // The date mask: whole days of the creation date, little-endian, repeated.
  const std::uint32_t days = 45321;
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(std::to_integer<std::uint8_t>(page0[0x42 + 2 * i]) ^
                  static_cast<std::uint8_t>(days >> (8 * ((2 * i) % 4))),
              static_cast<std::uint8_t>(std::u16string(u"Geheim€1")[i] & 0xFF));
  // mdbtools opens it like any other (the password is the application's business).
  EXPECT_EQ(CleanOutput("mdb-ver " + ShellQuote(path)), "JET4\n");
  EXPECT_EQ(MdbExportLines(path, "T"), std::vector<std::string>{"5"});
}

TEST(MdbWriterJudgedByMdbtools, EmptyDatabasesAndTables) {
  TempDir dir;
  {
    MdbWriter writer(dir.File("none.mdb"));
    writer.Finish();
  }
  EXPECT_TRUE(MdbTables(dir.File("none.mdb")).empty());
  EXPECT_EQ(
      MdbTables(dir.File("none.mdb"), true),
      (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
  {
    MdbWriter writer(dir.File("empty.mdb"));
    writer.AddTable({"E", {{"a", ColumnType::Long}, {"m", ColumnType::Memo}}});
    writer.Finish();
  }
  EXPECT_EQ(CleanOutput("mdb-count " + ShellQuote(dir.File("empty.mdb")) + " E"), "0\n");
  EXPECT_TRUE(MdbExportLines(dir.File("empty.mdb"), "E").empty());
}

TEST(MdbWriterJudgedByMdbtools, ManyTablesSpreadTheCatalogOverSeveralPages) {
  TempDir dir;
  const std::string path = dir.File("tables.mdb");
  std::vector<std::string> names;
  {
    MdbWriter writer(path);
    for (int i = 0; i < 400; ++i) {
      names.push_back("Table " + std::to_string(i) + " mit Überlänge " + std::string(30, 'x'));
      writer.AddTable({names.back(), {{"n", ColumnType::Long}}}).AddRow({std::int64_t{i}});
    }
    writer.Finish();
  }
  EXPECT_EQ(MdbTables(path), names);
  EXPECT_EQ(MdbExportLines(path, names[399]), std::vector<std::string>{"399"});
  EXPECT_GT(ReadWithLibmdb(path, "MSysObjects").rows.size(), 400u);
}

TEST(MdbWriterJudgedByMdbtools, AutoNumberContinuesAfterTheLastNumberUsed) {
  TempDir dir;
  const std::string path = dir.File("auto.mdb");
  {
    MdbWriter writer(path);
    auto& t = writer.AddTable({"T", {{"id", ColumnType::AutoNumber}, {"s", ColumnType::Text}}});
    t.AddRow({Null, std::string("a")});
    t.AddRow({std::int64_t{100}, std::string("b")});
    t.AddRow({Null, std::string("c")});
    t.AddRow({std::int64_t{50},
              std::string("d")});  // lower explicit values do not move the counter back
    t.AddRow({Null, std::string("e")});
    writer.Finish();
  }
  EXPECT_EQ(MdbExportLines(path, "T"),
            (std::vector<std::string>{"1\ta", "100\tb", "101\tc", "50\td", "102\te"}));
  // The table definition records the last number handed out, so that the next
  // row added by Access (or our own editing) gets 103.
  const JudgedTable judged = ReadWithLibmdb(path, "T");
  const auto bytes = ReadFileBytes(path);
  const std::size_t at = judged.tdefPage * kJet4.pageSize + 20;
  ASSERT_GT(bytes.size(), at + 4);
  EXPECT_EQ(std::to_integer<int>(bytes[at]) | std::to_integer<int>(bytes[at + 1]) << 8, 102);
}

// The masking must agree with files Access wrote: their empty password,
// decoded the same way, must come out empty, and the unmasked layout of
// our header must match theirs field by field.
TEST(MdbWriterHeader, MatchesRealAccessHeaders) {
  for (const std::string& fixture :
       {corvid::testing_fixtures::FixturePath("mdb/testV2003.mdb"),
        corvid::testing_fixtures::FixturePath("mdb/test2V2000.mdb"),
        corvid::testing_fixtures::FixturePath("mdb/testUnicodeCompV2003.mdb")}) {
    SCOPED_TRACE(fixture);
    auto real = ReadFileBytes(fixture);
    ASSERT_GE(real.size(), kJet4.pageSize);
    EXPECT_EQ(ReadHeaderPassword(kJet4, real), "");
    // A wrong mask (the date bytes shifted) would leave garbage.
    UnmaskHeader(kJet4, real);
    const auto ours = [] {
      auto page = BuildHeaderPage(kJet4, HeaderFields{});
      UnmaskHeader(kJet4, page);
      return page;
    }();
    for (std::size_t offset : {0x00, 0x04, 0x14, 0x18, 0x1C, 0x20, 0x3C, 0x3E, 0x6E, 0x98, 0x9C}) {
      SCOPED_TRACE(offset);
      EXPECT_TRUE(
          std::equal(ours.begin() + offset, ours.begin() + offset + 4, real.begin() + offset));
    }
  }
  auto nwind = ReadFileBytes(corvid::testing_fixtures::FixturePath("mdb/nwind.mdb"));
  ASSERT_GE(nwind.size(), kJet3.pageSize);
  EXPECT_EQ(ReadHeaderPassword(kJet3, nwind), "");
}

}  // namespace
}  // namespace corvid::jet
