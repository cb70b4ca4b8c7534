// The engine over our own reader: files only it can read (pages RC4-encoded
// with the database key, Large Number columns), and damage in a file met
// while reading: a damaged value is DAO's 3049 naming where it lies, the
// database hands out its damage notes, and a recordset says how many rows
// the table lists.

#include <gtest/gtest.h>

#include <filesystem>

#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "jet/mdb_writer.h"
#include "jet/reader/database.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

// A value of the reader as the engine shows it, for the types the RC4
// fixtures hold (numbers and text); other types only by their Null-ness.
std::string ReaderText(const jet::reader::Value& v) {
  if (jet::reader::IsNull(v)) return "";
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
  if (const auto* i = std::get_if<std::int16_t>(&v)) return std::to_string(*i);
  if (const auto* i = std::get_if<std::uint8_t>(&v)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  return "<value>";
}

TEST(EngineOverReader, DatabaseKeyEncodedFilesReadLikeTheReaderReadsThem) {
  for (const char* name : {"db-enc.mdb", "db97-enc.mdb"}) {
    SCOPED_TRACE(name);
    const std::string path = kFixtures + name;
    auto reader = jet::reader::Database::Open(path);
    ASSERT_NE(reader.Header().databaseKey, 0u) << "the fixture's pages are meant to be encoded";
    EngineSession session;
    auto database = session.Open(path);
    int tables = 0;
    for (const std::string& table : reader.TableNames()) {
      SCOPED_TRACE(table);
      ++tables;
      auto rs = database->OpenRecordset(table, dbOpenSnapshot);
      jet::reader::Table ours = reader.OpenTable(table);
      jet::reader::RowCursor cursor = ours.Rows();
      jet::reader::Row row;
      int rows = 0;
      while (cursor.Next(row)) {
        ASSERT_FALSE(rs->Eof()) << "the engine has fewer rows than the reader";
        for (std::size_t c = 0; c < row.values.size(); ++c) {
          Variant value = rs->Fields().Item(static_cast<int>(c)).Value();
          const std::string expected = ReaderText(row.values[c]);
          if (expected == "<value>")
            EXPECT_FALSE(IsNull(value));
          else
            EXPECT_EQ(VariantToText(value), expected) << "column " << c;
        }
        rs->MoveNext();
        ++rows;
      }
      EXPECT_TRUE(rs->Eof()) << "the engine has more rows than the reader";
      EXPECT_GT(rows, 0);
      EXPECT_EQ(rs->ListedCount(), static_cast<std::int32_t>(ours.Definition().rowCount));
    }
    EXPECT_GT(tables, 0);
    EXPECT_TRUE(database->TakeDamageNotes().empty());
  }
}

TEST(EngineOverReader, EncodedFilesAreNotChanged) {
  TempDir dir;
  const std::string path = dir.File("db-enc.mdb");
  std::filesystem::copy_file(kFixtures + "db-enc.mdb", path);
  EngineSession session;
  auto database = session.workspace->OpenDatabase(path, 0, false, ";UID=Admin;PWD=;");
  auto rs = database->OpenRecordset("Table1", dbOpenDynaset);
  EXPECT_FALSE(rs->Updatable());
  try {
    rs->AddNew();
    ADD_FAILURE() << "AddNew on an encoded file";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kCannotUpdate);
    EXPECT_NE(std::string(error.what()).find("Cannot update. Database or object is read-only."),
              std::string::npos);
    EXPECT_NE(std::string(error.what()).find("encrypted"), std::string::npos) << error.what();
  }
}

TEST(EngineOverReader, LargeNumberIsA64BitInteger) {
  EngineSession session;
  auto database = session.Open(kFixtures + "bigint.accdb");
  auto reader = jet::reader::Database::Open(kFixtures + "bigint.accdb");
  jet::reader::Table table = reader.OpenTable("Table");
  jet::reader::RowCursor cursor = table.Rows();
  jet::reader::Row row;
  ASSERT_TRUE(cursor.Next(row));
  const std::int64_t stored = std::get<std::int64_t>(row.values.at(1));

  Field& numeric = database->TableDefs().Item("Table").Fields().Item("Numeric");
  EXPECT_EQ(numeric.Type(), dbBigInt);
  auto rs = database->OpenRecordset("Table", dbOpenTable);
  Variant value = rs->Fields().Item("Numeric").Value();
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(value));
  EXPECT_EQ(std::get<std::int64_t>(value), stored);
  EXPECT_EQ(VariantToText(value), std::to_string(stored));

  // A filter compares it as a number.
  auto match = database->OpenRecordset(
      "SELECT * FROM [Table] WHERE [Numeric] = " + std::to_string(stored), dbOpenSnapshot);
  EXPECT_FALSE(match->Eof());
  auto none = database->OpenRecordset(
      "SELECT * FROM [Table] WHERE [Numeric] = " + std::to_string(stored == 1 ? 2 : stored - 1),
      dbOpenSnapshot);
  EXPECT_TRUE(none->Eof());
}

// A Jet 4 file with rows of a number and a picture spanning several pages.
std::string WrittenPictures(const TempDir& dir) {
  const std::string path = dir.File("pictures.mdb");
  jet::WriterOptions options;
  options.format = jet::JetFormat::Jet4;
  jet::MdbWriter writer(path, options);
  auto& table = writer.AddTable(
      {"Pictures", {{"id", jet::ColumnType::Long}, {"picture", jet::ColumnType::OleObject}}});
  for (int i = 0; i < 40; ++i) {
    jet::Bytes picture(static_cast<std::size_t>(9000 + i), static_cast<std::byte>(i));
    table.AddRow({std::int64_t{i}, picture});
  }
  writer.Finish();
  return path;
}

void ZeroPage(const std::string& path, std::uint32_t page, std::size_t pageSize) {
  auto bytes = ReadAll(path);
  std::fill(bytes.begin() + static_cast<long>(page * pageSize),
            bytes.begin() + static_cast<long>((page + 1) * pageSize), 0);
  WriteAll(path, bytes);
}

TEST(EngineOverReader, ADamagedValueIs3049NamingWhereItLies) {
  TempDir dir;
  const std::string path = WrittenPictures(dir);
  std::uint32_t lvalPage = 0, rowPage = 0;
  int rowNumber = 0;
  {
    auto reader = jet::reader::Database::Open(path);
    jet::reader::RowCursor cursor = reader.OpenTable("Pictures").Rows();
    jet::reader::Row row;
    for (int i = 0; i <= 5; ++i) ASSERT_TRUE(cursor.Next(row));
    lvalPage = std::get<jet::reader::LongValue>(row.values[1]).pointer >> 8;
    rowPage = row.page;
    rowNumber = row.row;
  }
  ZeroPage(path, lvalPage, 4096);

  EngineSession session;
  auto database = session.Open(path);
  auto rs = database->OpenRecordset("Pictures", dbOpenTable);
  int damaged = 0, read = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    try {
      rs->Fields().Item("picture").Value();
      ++read;
    } catch (const DataDamageError& error) {
      ++damaged;
      EXPECT_EQ(error.Number(), kDatabaseDamaged);
      const std::string text = error.what();
      EXPECT_NE(text.find("Pictures"), std::string::npos) << text;
      EXPECT_NE(text.find("picture"), std::string::npos) << text;
      EXPECT_NE(text.find("page"), std::string::npos) << text;
      if (VariantToText(rs->Fields().Item("id").Value()) == "5") {
        EXPECT_NE(text.find("page " + std::to_string(rowPage)), std::string::npos) << text;
        EXPECT_NE(text.find("row " + std::to_string(rowNumber)), std::string::npos) << text;
      }
    }
  }
  EXPECT_GE(damaged, 1);
  EXPECT_GT(read, 30);  // the run goes on past the damaged record
}

TEST(EngineOverReader, LostRowsShowInListedCountAndDamageNotes) {
  TempDir dir;
  const std::string path = WrittenPictures(dir);
  std::uint32_t dataPage = 0;
  {
    auto reader = jet::reader::Database::Open(path);
    jet::reader::RowCursor cursor = reader.OpenTable("Pictures").Rows();
    jet::reader::Row row;
    ASSERT_TRUE(cursor.Next(row));
    dataPage = row.page;
  }
  ZeroPage(path, dataPage, 4096);

  EngineSession session;
  auto database = session.Open(path);
  EXPECT_TRUE(database->TakeDamageNotes().empty()) << "nothing was read yet";
  auto rs = database->OpenRecordset("Pictures", dbOpenTable);
  std::int32_t visited = 0;
  for (; !rs->Eof(); rs->MoveNext()) ++visited;
  EXPECT_EQ(rs->ListedCount(), 40);
  EXPECT_LT(visited, 40);
  const std::vector<std::string> notes = database->TakeDamageNotes();
  ASSERT_FALSE(notes.empty());
  bool named = false;
  for (const auto& note : notes) named = named || note.find("Pictures") != std::string::npos;
  EXPECT_TRUE(named);
  EXPECT_TRUE(database->TakeDamageNotes().empty()) << "notes are handed out once";

  auto filtered = database->OpenRecordset("SELECT * FROM Pictures WHERE id > 3", dbOpenDynaset);
  EXPECT_EQ(filtered->ListedCount(), -1);
}

}  // namespace
}  // namespace corvid::dao
