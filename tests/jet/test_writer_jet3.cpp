// The Access 97 (Jet 3, 2 KiB pages) mode, read back by mdbtools: one-byte
// row offsets with their jump table, Windows-1252 text, long values.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
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

using testing::MdbExportLines;
using testing::MdbTables;
using testing::ReadWithLibmdb;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;

WriterOptions Jet3() {
  WriterOptions options;
  options.format = JetFormat::Jet3;
  return options;
}

TEST(MdbWriterJet3, RowsWhoseVariableDataCrossesOffsetBoundariesReadBack) {
  // Row offsets are single bytes; every 256-byte boundary the variable data
  // crosses needs a jump-table entry (and sometimes a dummy slot). Sweep the
  // lengths so the boundaries fall before, inside and after each column.
  TempDir dir;
  const std::string path = dir.File("jumps.mdb");
  struct Expected {
    std::string a, b, c;
  };
  std::vector<Expected> expected;
  {
    MdbWriter writer(path, Jet3());
    auto& t = writer.AddTable({"Wide",
                               {{"id", ColumnType::Long},
                                {"a", ColumnType::Text, 255},
                                {"b", ColumnType::Text, 255},
                                {"c", ColumnType::Text, 255},
                                {"n", ColumnType::Integer}}});
    int id = 0;
    for (std::size_t la = 0; la <= 255; la += 17) {
      for (std::size_t lb = 0; lb <= 255; lb += 23) {
        for (std::size_t lc :
             {std::size_t{0}, std::size_t{1}, std::size_t{200}, std::size_t{255}}) {
          Expected e{std::string(la, 'a'), std::string(lb, 'b'), std::string(lc, 'c')};
          t.AddRow(
              {std::int64_t{id++}, e.a, lb % 2 ? Value(Null) : Value(e.b), e.c, std::int64_t{7}});
          if (lb % 2) e.b = "<NULL>";
          expected.push_back(e);
        }
      }
    }
    writer.Finish();
  }
  const auto result =
      RunCommand("mdb-export -H -Q -d '|' -0 '<NULL>' " + ShellQuote(path) + " Wide");
  EXPECT_EQ(result.err, "");
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(result.out);
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& e = expected[i];
    // mdb-export prints a zero-length text as NULL.
    auto shown = [](const std::string& s) { return s.empty() ? std::string("<NULL>") : s; };
    ASSERT_EQ(lines[i],
              std::to_string(i) + "|" + shown(e.a) + "|" + shown(e.b) + "|" + shown(e.c) + "|7")
        << i;
  }
}

TEST(MdbWriterJet3, RowsWithTheMostVariableColumns) {
  // 255 one-character columns: the offset table and null mask alone take 289
  // bytes. Rows whose data ends past the first 256-byte boundary, or early
  // enough that the row stays under 512 bytes, read back; in between a row
  // would need two unused jump slots, which readers do not allow: it is
  // refused, and the writer goes on.
  TempDir dir;
  const std::string path = dir.File("columns.mdb");
  std::vector<ColumnDef> columns;
  for (int i = 0; i < 255; ++i) columns.push_back({"c" + std::to_string(i), ColumnType::Text, 1});
  auto row = [](int filled) {
    std::vector<Value> values;
    for (int i = 0; i < 255; ++i)
      values.push_back(i < filled ? Value(std::string(1, static_cast<char>('a' + i % 26)))
                                  : Value(Null));
    return values;
  };
  {
    MdbWriter writer(path, Jet3());
    auto& t = writer.AddTable({"T", columns});
    t.AddRow(row(255));
    t.AddRow(row(0));
    try {
      t.AddRow(row(240));
      ADD_FAILURE() << "no error";
    } catch (const WriterError& e) {
      EXPECT_NE(std::string(e.what()).find("cannot be stored in the Access 97 format"),
                std::string::npos)
          << e.what();
    }
    t.AddRow(row(200));
    writer.Finish();
  }
  const auto judged = ReadWithLibmdb(path, "T");
  ASSERT_EQ(judged.rows.size(), 3u);
  for (int i = 0; i < 255; ++i) {
    EXPECT_EQ(judged.rows[0][i].value, std::string(1, static_cast<char>('a' + i % 26))) << i;
    EXPECT_TRUE(judged.rows[1][i].null) << i;
  }
  EXPECT_EQ(judged.rows[2][199].value, std::string(1, static_cast<char>('a' + 199 % 26)));
  EXPECT_TRUE(judged.rows[2][200].null);
}

TEST(MdbWriterJet3, TypesLongValuesAndWindows1252Text) {
  TempDir dir;
  const std::string path = dir.File("access97.mdb");
  std::mt19937 random(3);
  Bytes big(300000);
  for (auto& b : big) b = static_cast<std::byte>(random());
  const Bytes single(1500, std::byte{0x5A});
  {
    MdbWriter writer(path, Jet3());
    auto& t = writer.AddTable({"Kategorien",
                               {{"Nr", ColumnType::AutoNumber},
                                {"Name", ColumnType::Text, 30},
                                {"Bild", ColumnType::OleObject},
                                {"Notiz", ColumnType::Memo},
                                {"Preis", ColumnType::Currency},
                                {"Da", ColumnType::YesNo}}});
    t.AddRow({Null, std::string("Getränke €"), ByteView{big}, std::string("Größe"), Currency{25000},
              true});
    t.AddRow(
        {Null, std::string("Süßwaren"), ByteView{single}, std::string(3000, 'm'), Null, false});
    t.AddRow({Null, Null, Null, Null, Null, Null});
    EXPECT_THROW(t.AddRow({Null, std::string("日本"), Null, Null, Null, Null}), WriterError);
    writer.Finish();
  }
  EXPECT_EQ(RunCommand("mdb-ver " + ShellQuote(path)).out, "JET3\n");
  EXPECT_EQ(MdbTables(path), std::vector<std::string>{"Kategorien"});
  const auto judged = ReadWithLibmdb(path, "Kategorien");
  ASSERT_EQ(judged.rows.size(), 3u);
  EXPECT_TRUE(judged.columns[0].autoLong);
  EXPECT_EQ(judged.rows[0][0].value, "1");
  EXPECT_EQ(judged.rows[2][0].value, "3");
  EXPECT_EQ(judged.rows[0][1].value, "Getränke €");
  EXPECT_TRUE(judged.rows[0][2].value ==
              std::string(reinterpret_cast<const char*>(big.data()), big.size()));
  EXPECT_TRUE(judged.rows[1][2].value == std::string(1500, 'Z'));
  EXPECT_EQ(judged.rows[0][3].value, "Größe");
  EXPECT_EQ(judged.rows[1][3].value, std::string(3000, 'm'));
  EXPECT_EQ(judged.rows[0][4].value, "2.5000");
  EXPECT_EQ(judged.rows[0][5].value, "1");
  EXPECT_EQ(judged.rows[1][5].value, "0");
  for (std::size_t c = 1; c < 5; ++c) EXPECT_TRUE(judged.rows[2][c].null) << c;
}

TEST(MdbWriterJet3, ManyRowsAndThePasswordField) {
  TempDir dir;
  const std::string path = dir.File("many97.mdb");
  WriterOptions options = Jet3();
  options.password = "Passwort";
  {
    MdbWriter writer(path, options);
    // Enough pages that the usage map needs bitmap pages (an inline map spans 1024).
    auto& t = writer.AddTable({"T", {{"n", ColumnType::Long}, {"s", ColumnType::Text, 255}}});
    for (int i = 0; i < 9000; ++i)
      t.AddRow({std::int64_t{i}, std::string(250, static_cast<char>('a' + i % 26))});
    writer.Finish();
  }
  const auto lines = MdbExportLines(path, "T");
  ASSERT_EQ(lines.size(), 9000u);
  for (int i = 0; i < 9000; i += 997)
    EXPECT_EQ(lines[i],
              std::to_string(i) + "\t" + std::string(250, static_cast<char>('a' + i % 26)));
  EXPECT_EQ(ReadWithLibmdb(path, "T").usageMapType, 1);
  std::ifstream in(path, std::ios::binary);
  std::vector<char> head(kJet3.pageSize);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  std::vector<std::byte> page(head.size());
  for (std::size_t i = 0; i < head.size(); ++i) page[i] = static_cast<std::byte>(head[i]);
  EXPECT_EQ(ReadHeaderPassword(kJet3, page), "Passwort");
}

// Lengths of the rows of a long-value chain, followed from a pointer in the raw file.
std::vector<std::size_t> ChainRowLengths(const std::vector<std::byte>& file,
                                         std::uint32_t pointer) {
  std::vector<std::size_t> lengths;
  constexpr std::size_t kPage = 2048;
  auto get16 = [&](std::size_t at) {
    return std::to_integer<std::size_t>(file[at]) | std::to_integer<std::size_t>(file[at + 1]) << 8;
  };
  while (pointer != 0 && lengths.size() < 1000) {
    const std::size_t page = pointer >> 8, row = pointer & 0xFF, base = page * kPage;
    const std::size_t start = get16(base + 10 + 2 * row) & 0x1FFF;
    const std::size_t end = row == 0 ? kPage : get16(base + 10 + 2 * (row - 1)) & 0x1FFF;
    lengths.push_back(end - start);
    pointer = static_cast<std::uint32_t>(get16(base + start) | get16(base + start + 2) << 16);
  }
  return lengths;
}

std::vector<std::byte> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

TEST(MdbWriterJet3, LongValueChainsAreCutAsAccess97CutsThem) {
  // nwind.mdb's first category picture (10,746 bytes) starts at page 25, row 0.
  const auto access =
      ChainRowLengths(ReadAll(corvid::testing_fixtures::FixturePath("mdb/nwind.mdb")), 25u << 8);
  ASSERT_EQ(access.size(), 6u);

  TempDir dir;
  const std::string path = dir.File("chain.mdb");
  {
    MdbWriter writer(path, Jet3());
    auto& t = writer.AddTable({"T", {{"pic", ColumnType::OleObject}}});
    t.AddRow({Bytes(10746, std::byte{0x42})});
    writer.Finish();
  }
  const auto file = ReadAll(path);
  // Our single row: column count, then the 12-byte long-value field whose
  // second word points at the first chain row.
  const auto judged = ReadWithLibmdb(path, "T");
  ASSERT_EQ(judged.rows.size(), 1u);
  EXPECT_EQ(judged.rows[0][0].value, std::string(10746, 'B'));
  std::uint32_t pointer = 0;
  for (std::size_t page = 1; page * 2048 < file.size() && pointer == 0; ++page) {
    const std::size_t base = page * 2048;
    if (file[base] != std::byte{1} || file[base + 4] == std::byte{'L'}) continue;
    const std::size_t start = (std::to_integer<std::size_t>(file[base + 10]) |
                               std::to_integer<std::size_t>(file[base + 11]) << 8);
    if (std::to_integer<int>(file[base + start]) != 1 || 2048 - start != 1 + 12 + 1 + 1 + 1 + 1)
      continue;  // our T row
    for (int k = 0; k < 4; ++k)
      pointer |= std::to_integer<std::uint32_t>(file[base + start + 1 + 4 + k]) << (8 * k);
  }
  ASSERT_NE(pointer, 0u);
  EXPECT_EQ(ChainRowLengths(file, pointer), access);
}

}  // namespace
}  // namespace corvid::jet
