// Rows inserted, changed and deleted in place in writer-made Jet 4 and Jet 3
// files, read back by mdbtools (mdb-export, mdb-count and libmdb for the
// long values byte for byte); the refusals that leave a file untouched.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support_mdb_judge.h"
#include "support_temp_dir.h"
#include "jet/byte_order.h"
#include "jet/data_page.h"
#include "jet/jet_format.h"
#include "jet/mdb_writer.h"
#include "jet/row_page.h"
#include "jet/stored_table.h"
#include "jet/table_editor.h"
#include "jet/usage_map_update.h"
#include "tests/fixture_files.h"

namespace corvid::jet {
namespace {

using testing::JudgedTable;
using testing::MdbExportLines;
using testing::ReadWithLibmdb;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;

const std::string kFixtures = corvid::testing_fixtures::MdbFixtureDir();

Bytes PatternBytes(std::size_t size, std::uint32_t salt) {
  Bytes bytes(size);
  std::mt19937 random(salt);
  for (auto& b : bytes) b = static_cast<std::byte>(random() & 0xFF);
  return bytes;
}

// Random letters: values that mdb-export prints on one line.
Bytes LetterBytes(std::size_t size, std::uint32_t salt) {
  Bytes bytes(size);
  std::mt19937 random(salt);
  for (auto& b : bytes) b = static_cast<std::byte>('a' + random() % 26);
  return bytes;
}

std::string AsString(const Bytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// mdbtools must read the file without complaint.
std::string Clean(const std::string& command) {
  const auto result = RunCommand(command);
  EXPECT_EQ(result.exitCode, 0) << command << "\n" << result.err;
  EXPECT_EQ(result.err, "") << command;
  return result.out;
}

int MdbCount(const std::string& path, const std::string& table) {
  return std::stoi(Clean("mdb-count " + ShellQuote(path) + " " + ShellQuote(table)));
}

struct Sample {
  std::string path;
  JetFormat format;
  std::uint32_t tdef = 0;
};

// Table "Docs": id AutoNumber, name Text(40), notes Memo, blob OLE Object,
// with three rows (ids 1..3) of small values.
Sample MakeSample(const TempDir& dir, JetFormat format, const std::string& name = "docs.mdb") {
  Sample s{dir.File(name), format};
  WriterOptions options;
  options.format = format;
  MdbWriter writer(s.path, options);
  auto& t = writer.AddTable({"Docs",
                             {{"id", ColumnType::AutoNumber},
                              {"name", ColumnType::Text, 40},
                              {"notes", ColumnType::Memo},
                              {"blob", ColumnType::OleObject}}});
  t.AddRow(
      {Null, std::string("alpha"), std::string("first note"), Bytes{std::byte{1}, std::byte{2}}});
  t.AddRow({Null, std::string("beta"), Null, Null});
  t.AddRow({Null, std::string("gamma"), std::string("third"), LetterBytes(300, 3)});
  writer.Finish();
  s.tdef = static_cast<std::uint32_t>(ReadWithLibmdb(s.path, "Docs").tdefPage);
  return s;
}

// The row locations of a table in scan order (what libmdb visits).
std::vector<RowLocation> LiveRows(const std::string& path, std::uint32_t tdef,
                                  const JetConstants& jet) {
  std::vector<RowLocation> rows;
  const std::vector<char> bytes = FileBytes(path);
  for (std::size_t page = 1; page * jet.pageSize < bytes.size(); ++page) {
    std::span<const std::byte> image(
        reinterpret_cast<const std::byte*>(bytes.data()) + page * jet.pageSize, jet.pageSize);
    if (image[0] != std::byte{kPageTypeData} || Get32(image, 4) != tdef) continue;
    RowPage p(jet, image);
    for (std::size_t r = 0; r < p.RowCount(); ++r)
      if (!p.Deleted(r) && !p.Lookup(r))
        rows.push_back({static_cast<std::uint32_t>(page), static_cast<std::uint16_t>(r)});
  }
  return rows;
}

// Pages holding live long-value rows.
std::vector<std::uint32_t> LongValuePagesInUse(const std::string& path, const JetConstants& jet) {
  std::vector<std::uint32_t> pages;
  const std::vector<char> bytes = FileBytes(path);
  for (std::size_t page = 1; page * jet.pageSize < bytes.size(); ++page) {
    std::span<const std::byte> image(
        reinterpret_cast<const std::byte*>(bytes.data()) + page * jet.pageSize, jet.pageSize);
    if (image[0] != std::byte{kPageTypeData} || Get32(image, 4) != kLongValueOwner) continue;
    RowPage p(jet, image);
    for (std::size_t r = 0; r < p.RowCount(); ++r)
      if (!p.Deleted(r)) {
        pages.push_back(static_cast<std::uint32_t>(page));
        break;
      }
  }
  return pages;
}

class TableEditorTest : public ::testing::TestWithParam<JetFormat> {
 protected:
  const JetConstants& Jet() const { return ConstantsFor(GetParam()); }
  // Every live long-value page is listed in its column's own usage map.
  void ExpectLongValuePagesListed(const Sample& s) const {
    EditSession session(s.path, std::nullopt);
    session.SetPageSize(Jet().pageSize);
    const StoredTable table = ReadStoredTable(Jet(), session, s.tdef, "Docs");
    std::vector<std::uint32_t> listed;
    for (const LongValueMaps& maps : table.longValueMaps)
      for (std::uint32_t page : ReadUsageMap(Jet(), session, maps.usedPagesMap))
        listed.push_back(page);
    std::sort(listed.begin(), listed.end());
    for (std::uint32_t page : LongValuePagesInUse(s.path, Jet()))
      EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), page)) << "page " << page;
  }
  TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Formats, TableEditorTest,
                         ::testing::Values(JetFormat::Jet4, JetFormat::Jet3), [](const auto& info) {
                           return info.param == JetFormat::Jet4 ? "Jet4" : "Jet3";
                         });

TEST_P(TableEditorTest, InsertTakesTheNextAutoNumberAndRaisesTheCount) {
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  editor.Insert({Null, std::string("delta"), std::string("fourth"), Bytes{std::byte{9}}});
  editor.Insert({std::int64_t{10}, std::string("explicit"), Null, Null});
  editor.Insert({Null, std::string("after"), Null, Null});

  const auto lines = MdbExportLines(s.path, "Docs");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], "4\tdelta\tfourth\t\x09");
  EXPECT_EQ(lines[4], "10\texplicit\t\t");
  EXPECT_EQ(lines[5], "11\tafter\t\t");
  EXPECT_EQ(MdbCount(s.path, "Docs"), 6);
  const JudgedTable judged = ReadWithLibmdb(s.path, "Docs");
  EXPECT_EQ(judged.declaredRows, 6u);
  ASSERT_EQ(judged.rows.size(), 6u);
  EXPECT_EQ(judged.rows[3][3].value, std::string("\x09"));
}

TEST_P(TableEditorTest, MemoAndOleValuesCrossTheInlineSinglePageAndChainForms) {
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  const RowLocation first = LiveRows(s.path, s.tdef, Jet()).front();
  // inline (<= 64 bytes), one long-value row, a chain of rows, and back.
  const std::vector<std::size_t> sizes{
      10, 1500, 3 * Jet().pageSize + 17, 40, Jet().maxLongValueRow, Jet().maxLongValueRow + 1, 0};
  RowLocation at = first;
  std::uint32_t salt = 100;
  for (std::size_t size : sizes) {
    SCOPED_TRACE("value size " + std::to_string(size));
    const Bytes blob = PatternBytes(size, ++salt);
    const std::string memo(size / 3, static_cast<char>('a' + salt % 26));
    at = editor.Update(at, {std::int64_t{1}, std::string("alpha"), memo, blob});
    const JudgedTable judged = ReadWithLibmdb(s.path, "Docs");
    ASSERT_EQ(judged.rows.size(), 3u);
    const auto& row = *std::find_if(judged.rows.begin(), judged.rows.end(),
                                    [](const auto& r) { return r[0].value == "1"; });
    EXPECT_EQ(row[3].value, AsString(blob));
    EXPECT_FALSE(row[3].null);
    EXPECT_EQ(row[2].value, memo);
    EXPECT_EQ(judged.declaredRows, 3u);
    EXPECT_EQ(MdbCount(s.path, "Docs"), 3);
    // The other rows are untouched.
    const auto lines = MdbExportLines(s.path, "Docs");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "2\tbeta\t\t"), lines.end());
  }
}

TEST_P(TableEditorTest, LongValuesKeptByAnUpdateStayWhereTheyAre) {
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  const std::vector<RowLocation> rows = LiveRows(s.path, s.tdef, Jet());
  const std::vector<std::uint32_t> initial =
      LongValuePagesInUse(s.path, Jet());  // the third row's value
  const Bytes chain = PatternBytes(3 * Jet().pageSize, 9);
  const RowLocation first = editor.Update(
      rows[0], {std::int64_t{1}, std::string("alpha"), std::string("short memo"), chain});
  const std::vector<std::uint32_t> pagesBefore = LongValuePagesInUse(s.path, Jet());
  const auto sizeBefore = FileBytes(s.path).size();
  // name changes; notes (inline) and blob (a chain) are kept.
  const RowLocation again = editor.Update(
      first, {std::int64_t{1}, std::string("renamed"), Null, Null}, {false, false, true, true});
  EXPECT_EQ(again, first);
  EXPECT_EQ(LongValuePagesInUse(s.path, Jet()), pagesBefore);
  EXPECT_EQ(FileBytes(s.path).size(), sizeBefore);
  // Row 2 held no values: kept NULLs stay NULL.
  editor.Update(rows[1], {std::int64_t{2}, std::string("beta2"), std::string("x"), Bytes{}},
                {false, false, true, true});
  const JudgedTable judged = ReadWithLibmdb(s.path, "Docs");
  ASSERT_EQ(judged.rows.size(), 3u);
  EXPECT_EQ(judged.rows[0][1].value, "renamed");
  EXPECT_EQ(judged.rows[0][2].value, "short memo");
  EXPECT_EQ(judged.rows[0][3].value, AsString(chain));
  EXPECT_EQ(judged.rows[1][1].value, "beta2");
  EXPECT_TRUE(judged.rows[1][2].null);
  EXPECT_TRUE(judged.rows[1][3].null);
  // Replacing the kept value later frees its pages.
  editor.Update(first, {std::int64_t{1}, std::string("renamed"), Null, Null});
  EXPECT_EQ(LongValuePagesInUse(s.path, Jet()), initial);
}

TEST_P(TableEditorTest, UpdateKeepsTheSlotWhenTheRowFitsAndMovesItOtherwise) {
  TempDir dir;
  const std::string path = dir.File("wide.mdb");
  {
    WriterOptions options;
    options.format = GetParam();
    MdbWriter writer(path, options);
    auto& t = writer.AddTable(
        {"Wide",
         {{"id", ColumnType::Long}, {"a", ColumnType::Text, 255}, {"b", ColumnType::Text, 255}}});
    // Rows that nearly fill the page: growing one cannot stay on it.
    for (int i = 0; i < 40; ++i)
      t.AddRow({std::int64_t{i}, std::string(200, 'x'), std::string(200, 'y')});
    writer.Finish();
  }
  const auto tdef = static_cast<std::uint32_t>(ReadWithLibmdb(path, "Wide").tdefPage);
  TableEditor editor(path, tdef, "Wide");
  std::vector<RowLocation> rows = LiveRows(path, tdef, Jet());
  ASSERT_EQ(rows.size(), 40u);

  const RowLocation same = editor.Update(rows[1], {std::int64_t{1}, std::string("short"), Null});
  EXPECT_EQ(same, rows[1]);
  // Every other row keeps its slot.
  std::vector<RowLocation> after = LiveRows(path, tdef, Jet());
  EXPECT_EQ(after, rows);

  // Grow a row on a full page: it moves, and is read once.
  RowLocation full = rows[0];
  for (const RowLocation& r : rows)
    if (r.page == rows[5].page) full = r;
  const std::string big(255, 'z');
  const RowLocation moved = editor.Update(full, {std::int64_t{99}, big, big});
  const auto lines = MdbExportLines(path, "Wide");
  EXPECT_EQ(lines.size(), 40u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "99\t" + big + "\t" + big), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "1\tshort\t"), 1);
  EXPECT_EQ(MdbCount(path, "Wide"), 40);
  after = LiveRows(path, tdef, Jet());
  EXPECT_EQ(std::count(after.begin(), after.end(), moved), 1);
}

TEST_P(TableEditorTest, DeleteRemovesTheRowAndFreesItsLongValues) {
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  const RowLocation third = LiveRows(s.path, s.tdef, Jet())[2];
  const RowLocation big =
      editor.Update(third, {std::int64_t{3}, std::string("gamma"), std::string(5000, 'm'),
                            PatternBytes(3 * Jet().pageSize, 7)});
  editor.Delete(big);
  EXPECT_THROW(editor.Delete(big), WriterError);
  EXPECT_EQ(MdbCount(s.path, "Docs"), 2);
  const auto lines = MdbExportLines(s.path, "Docs");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "1\talpha\tfirst note\t\x01\x02");
  EXPECT_EQ(lines[1], "2\tbeta\t\t");
  EXPECT_EQ(ReadWithLibmdb(s.path, "Docs").declaredRows, 2u);
  // No long-value row is left live: the page images hold only deleted LVAL rows.
  const std::vector<char> bytes = FileBytes(s.path);
  std::size_t liveLongValueRows = 0;
  for (std::size_t page = 1; page * Jet().pageSize < bytes.size(); ++page) {
    std::span<const std::byte> image(
        reinterpret_cast<const std::byte*>(bytes.data()) + page * Jet().pageSize, Jet().pageSize);
    if (image[0] != std::byte{kPageTypeData} || Get32(image, 4) != kLongValueOwner) continue;
    RowPage p(Jet(), image);
    for (std::size_t r = 0; r < p.RowCount(); ++r) liveLongValueRows += p.Deleted(r) ? 0 : 1;
  }
  // Row 1 kept none (its values are inline); row 2 has no values.
  EXPECT_EQ(liveLongValueRows, 0u);
}

TEST_P(TableEditorTest, ManyInsertsGrowTheFileAndTheUsageMapBeyondItsInlineRange) {
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  // Each row brings a chain of long-value pages, so the table's data pages
  // end up spread over more pages than an inline map covers.
  const std::size_t inlineRange = (Jet().usageMapRowSize - 5) * 8;
  const std::size_t chainPages = 12;
  const std::size_t inserts = inlineRange / chainPages + 40;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < inserts; ++i) {
    const std::string name = "row" + std::to_string(i) + std::string(30, 'n');
    editor.Insert({Null, name.substr(0, 40), Null,
                   LetterBytes(chainPages * (Jet().pageSize - 20), static_cast<std::uint32_t>(i))});
    expected.push_back(std::to_string(i + 4) + "\t" + name.substr(0, 40));
  }
  const JudgedTable judged = ReadWithLibmdb(s.path, "Docs");
  EXPECT_EQ(judged.usageMapType, 1);
  ASSERT_EQ(judged.rows.size(), inserts + 3);
  EXPECT_EQ(judged.declaredRows, inserts + 3);
  for (std::size_t i = 0; i < inserts; i += 37) {
    EXPECT_EQ(judged.rows[i + 3][1].value, expected[i].substr(expected[i].find('\t') + 1));
    EXPECT_EQ(judged.rows[i + 3][3].value, AsString(LetterBytes(chainPages * (Jet().pageSize - 20),
                                                                static_cast<std::uint32_t>(i))));
  }
  EXPECT_EQ(static_cast<std::size_t>(MdbCount(s.path, "Docs")), inserts + 3);
  const auto lines = MdbExportLines(s.path, "Docs");
  ASSERT_EQ(lines.size(), inserts + 3);
  for (std::size_t i = 0; i < inserts; ++i)
    EXPECT_EQ(lines[i + 3].substr(0, expected[i].size() + 1), expected[i] + "\t");
  ExpectLongValuePagesListed(s);
  // New data pages with room are in the free-space map.
  {
    EditSession session(s.path, std::nullopt);
    session.SetPageSize(Jet().pageSize);
    const StoredTable table = ReadStoredTable(Jet(), session, s.tdef, "Docs");
    const std::vector<std::uint32_t> used = ReadUsageMap(Jet(), session, table.usedPagesMap);
    const std::vector<std::uint32_t> free = ReadUsageMap(Jet(), session, table.freePagesMap);
    ASSERT_FALSE(used.empty());
    EXPECT_TRUE(std::binary_search(free.begin(), free.end(), used.back()))
        << "the last data page has room";
    for (std::uint32_t page : free)
      EXPECT_TRUE(std::binary_search(used.begin(), used.end(), page)) << page;
  }
  // And the map keeps taking pages once it is a map of bitmap pages.
  editor.Insert({Null, std::string("last"), std::string("x"), Null});
  EXPECT_EQ(MdbCount(s.path, "Docs"), static_cast<int>(inserts + 4));
}

TEST_P(TableEditorTest, ARandomRunOfChangesReadsBackAsItsModel) {
  // Inserts, updates (growing, shrinking, keeping long values) and deletes
  // in a repeatable random order; the table must read back as the model says.
  Sample s = MakeSample(dir_, GetParam());
  TableEditor editor(s.path, s.tdef, "Docs");
  struct Model {
    RowLocation at;
    std::int64_t id;
    std::string name, notes;
    Bytes blob;
    bool notesNull, blobNull;
  };
  std::vector<Model> model;
  {
    const std::vector<RowLocation> rows = LiveRows(s.path, s.tdef, Jet());
    model.push_back(
        {rows[0], 1, "alpha", "first note", Bytes{std::byte{1}, std::byte{2}}, false, false});
    model.push_back({rows[1], 2, "beta", "", Bytes{}, true, true});
    model.push_back({rows[2], 3, "gamma", "third", LetterBytes(300, 3), false, false});
  }
  std::mt19937 random(GetParam() == JetFormat::Jet4 ? 4 : 3);
  auto size = [&] {
    switch (random() % 4) {
      case 0:
        return std::size_t{random() % 64};
      case 1:
        return std::size_t{65 + random() % 1500};
      case 2:
        return std::size_t{Jet().pageSize + random() % (3 * Jet().pageSize)};
      default:
        return std::size_t{0};
    }
  };
  std::int64_t nextId = 4;
  for (int step = 0; step < 160; ++step) {
    const unsigned op = random() % 10;
    if (op < 4 || model.empty()) {
      Model m{{},
              nextId++,
              "n" + std::to_string(step),
              std::string(size(), 'a' + step % 26),
              LetterBytes(size(), step),
              random() % 5 == 0,
              random() % 5 == 0};
      m.at = editor.Insert({Null, m.name, m.notesNull ? Value(Null) : Value(m.notes),
                            m.blobNull ? Value(Null) : Value(m.blob)});
      model.push_back(std::move(m));
    } else if (op < 8) {
      Model& m = model[random() % model.size()];
      m.name = "u" + std::to_string(step) + std::string(random() % 30, 'x');
      const bool keep = random() % 3 == 0;
      if (!keep) {
        m.notes = std::string(size(), 'b' + step % 20);
        m.blob = LetterBytes(size(), 1000 + step);
        m.notesNull = random() % 6 == 0;
        m.blobNull = random() % 6 == 0;
      }
      m.at = editor.Update(m.at,
                           {m.id, m.name, m.notesNull ? Value(Null) : Value(m.notes),
                            m.blobNull ? Value(Null) : Value(m.blob)},
                           {false, false, keep, keep});
    } else {
      const std::size_t k = random() % model.size();
      editor.Delete(model[k].at);
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  const JudgedTable judged = ReadWithLibmdb(s.path, "Docs");
  ASSERT_EQ(judged.rows.size(), model.size());
  EXPECT_EQ(judged.declaredRows, model.size());
  EXPECT_EQ(static_cast<std::size_t>(MdbCount(s.path, "Docs")), model.size());
  std::map<std::string, const Model*> byId;
  for (const Model& m : model) byId[std::to_string(m.id)] = &m;
  for (const auto& row : judged.rows) {
    ASSERT_TRUE(byId.count(row[0].value))
        << "row " << row[0].value << " read back but not in the model";
    const Model& m = *byId[row[0].value];
    SCOPED_TRACE("id " + row[0].value);
    EXPECT_EQ(row[1].value, m.name);
    EXPECT_EQ(row[2].null, m.notesNull);
    if (!m.notesNull && !m.notes.empty()) EXPECT_EQ(row[2].value, m.notes);
    EXPECT_EQ(row[3].null, m.blobNull);
    if (!m.blobNull) EXPECT_EQ(row[3].value, AsString(m.blob));
    byId.erase(row[0].value);
  }
  ExpectLongValuePagesListed(s);
}

TEST_P(TableEditorTest, ValuesTheTableCannotTakeWriteNothing) {
  Sample s = MakeSample(dir_, GetParam());
  const std::vector<char> before = FileBytes(s.path);
  TableEditor editor(s.path, s.tdef, "Docs");
  const RowLocation first = LiveRows(s.path, s.tdef, Jet()).front();
  EXPECT_THROW(editor.Insert({Null, std::string(41, 'x'), Null, Null}), WriterError);
  EXPECT_THROW(editor.Insert({Null, std::string("short")}), WriterError);
  EXPECT_THROW(editor.Update(first, {Null, 3.5, Null, Null}), WriterError);
  EXPECT_THROW(editor.Update(RowLocation{first.page, 200}, {Null, Null, Null, Null}), WriterError);
  EXPECT_THROW(editor.Delete(RowLocation{s.tdef, 0}), WriterError);
  EXPECT_EQ(FileBytes(s.path), before);
}

TEST_P(TableEditorTest, AWriteFailureBeforeTheFirstOverwriteLeavesTheFileAsItWas) {
  Sample s = MakeSample(dir_, GetParam());
  const std::vector<char> before = FileBytes(s.path);
  TableEditor editor(s.path, s.tdef, "Docs");
  int writes = 0;
  editor.SetWriteHook([&](std::uint32_t, bool added) {
    EXPECT_TRUE(added) << "an existing page was written before every new one";
    if (++writes == 2) throw WriterError("disk full (simulated)");
  });
  // A chain value: several new pages are written before any existing one.
  EXPECT_THROW(editor.Insert({Null, std::string("x"), Null, PatternBytes(3 * Jet().pageSize, 1)}),
               WriterError);
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(FileBytes(s.path), before);

  // The first overwrite fails after the growth was written: nothing of the
  // old file changed, so the growth is taken back too.
  editor.SetWriteHook([&](std::uint32_t, bool added) {
    if (!added) throw WriterError("disk full (simulated)");
  });
  EXPECT_THROW(editor.Insert({Null, std::string("x"), Null, PatternBytes(3 * Jet().pageSize, 1)}),
               WriterError);
  EXPECT_EQ(FileBytes(s.path), before);
  editor.SetWriteHook(nullptr);
  editor.Insert({Null, std::string("fine"), Null, Null});
  EXPECT_EQ(MdbCount(s.path, "Docs"), 4);
}

TEST_P(TableEditorTest, LongValuesBehindWideTextAreFoundAndFreed) {
  // Rows of every length around the 256-byte boundaries, where the Access 97
  // row keeps a jump table for its one-byte offsets.
  TempDir dir;
  const std::string path = dir.File("wide-lv.mdb");
  {
    WriterOptions options;
    options.format = GetParam();
    MdbWriter writer(path, options);
    writer.AddTable({"Wide",
                     {{"a", ColumnType::Text, 255},
                      {"b", ColumnType::Text, 255},
                      {"notes", ColumnType::Memo},
                      {"blob", ColumnType::OleObject}}});
    writer.Finish();
  }
  const auto tdef = static_cast<std::uint32_t>(ReadWithLibmdb(path, "Wide").tdefPage);
  TableEditor editor(path, tdef, "Wide");
  const std::u8string_view wide = u8"α";  // two bytes per character in Jet 4, no compression
  const std::size_t longest =
      GetParam() == JetFormat::Jet4 ? 560 : 510;  // Text(255) holds 255 characters
  for (std::size_t length = 200; length <= longest; length += 9) {
    // About `length` bytes of text in the row, split over both columns.
    SCOPED_TRACE("text bytes " + std::to_string(length));
    const bool jet4 = GetParam() == JetFormat::Jet4;
    const std::string unit =
        jet4 ? std::string(reinterpret_cast<const char*>(wide.data()), wide.size()) : "x";
    const std::size_t chars = jet4 ? length / 2 : length;
    std::string a, b;
    for (std::size_t i = 0; i < chars / 2; ++i) a += unit;
    for (std::size_t i = chars / 2; i < chars; ++i) b += unit;
    RowLocation at =
        editor.Insert({a, b, std::string(900, 'm'), PatternBytes(3 * Jet().pageSize, 1)});
    EXPECT_FALSE(LongValuePagesInUse(path, Jet()).empty());
    at = editor.Update(at, {a, b, std::string(100, 'n'), PatternBytes(80, 2)});
    const JudgedTable judged = ReadWithLibmdb(path, "Wide");
    ASSERT_EQ(judged.rows.size(), 1u);
    EXPECT_EQ(judged.rows[0][2].value, std::string(100, 'n'));
    EXPECT_EQ(judged.rows[0][3].value, AsString(PatternBytes(80, 2)));
    editor.Delete(at);
    EXPECT_TRUE(LongValuePagesInUse(path, Jet()).empty());
    EXPECT_EQ(MdbCount(path, "Wide"), 0);
  }
}

TEST(TableEditorSafety, AFileReplacedUnderThePathIsNotWritten) {
  TempDir dir;
  Sample s = MakeSample(dir, JetFormat::Jet4);
  int fd = ::open(s.path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const FileIdentity opened = EditSession::IdentityOf(fd);
  ::close(fd);
  TableEditor editor(s.path, s.tdef, "Docs", opened);
  editor.Insert({Null, std::string("same file"), Null, Null});
  // Another database takes the name (as a save-by-rename would do it).
  const std::string other = dir.File("other.mdb");
  std::filesystem::copy_file(s.path, other);
  std::filesystem::rename(other, s.path);
  const std::vector<char> before = FileBytes(s.path);
  try {
    editor.Insert({Null, std::string("wrong file"), Null, Null});
    ADD_FAILURE() << "no refusal";
  } catch (const WriterError& error) {
    EXPECT_NE(std::string(error.what()).find("replaced"), std::string::npos) << error.what();
  }
  EXPECT_EQ(FileBytes(s.path), before);
}

TEST(TableEditorSafety, AFileWithADatabasePasswordIsEditedAndKeepsItsPassword) {
  TempDir dir;
  const std::string path = dir.File("secret.mdb");
  {
    WriterOptions options;
    options.password = "s3cret";
    MdbWriter writer(path, options);
    writer.AddTable({"T", {{"id", ColumnType::AutoNumber}, {"name", ColumnType::Text, 20}}})
        .AddRow({Null, std::string("a")});
    writer.Finish();
  }
  const std::vector<char> before = FileBytes(path);
  const auto tdef = static_cast<std::uint32_t>(ReadWithLibmdb(path, "T").tdefPage);
  TableEditor(path, tdef, "T").Insert({Null, std::string("b")});
  EXPECT_EQ(MdbExportLines(path, "T"), (std::vector<std::string>{"1\ta", "2\tb"}));
  const std::vector<char> after = FileBytes(path);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 4096, after.begin()))
      << "the header page changed";
}

TEST(TableEditorRefusal, IndexedSystemAndAceTablesAreRefusedAndLeftByteForByte) {
  TempDir dir;
  struct Case {
    std::string fixture, table;
    std::uint32_t tdef;  // 0: the table's own, from libmdb
    std::string reason;
  };
  const std::vector<Case> cases{
      {"nwind.mdb", "Order Details", 0, "has indexes"},
      {"nwind.mdb", "Categories", 0, "has indexes"},
      {"indexTestV2003.mdb", "Table1", 0, "has indexes"},
      {"testV2003.mdb", "MSysObjects", 2, "system table"},
      {"testV2010.accdb", "Table1", 2, "ACE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture + " / " + c.table);
    const std::string copy = dir.File("copy-" + c.fixture);
    std::filesystem::copy_file(kFixtures + c.fixture, copy,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    const std::uint32_t tdef =
        c.tdef ? c.tdef : static_cast<std::uint32_t>(ReadWithLibmdb(copy, c.table).tdefPage);
    const std::vector<char> before = FileBytes(copy);
    TableEditor editor(copy, tdef, c.table);
    try {
      editor.Insert({Null});
      ADD_FAILURE() << "no refusal";
    } catch (const WriterError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
    EXPECT_THROW(editor.Delete(RowLocation{tdef + 1, 0}), WriterError);
    EXPECT_THROW(editor.Check(), WriterError);
    EXPECT_EQ(FileBytes(copy), before);
  }
}

}  // namespace
}  // namespace corvid::jet
