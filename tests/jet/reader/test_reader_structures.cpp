// The reader's parts on their own: the header page, text decoding (code
// pages, compressed Unicode), the page source and its codec hook, value
// texts, and what real files hold (indexes, multi-page definitions,
// complex column keys, Large Number values).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "jet/reader/database.h"
#include "jet/reader/header_page.h"
#include "jet/reader/text_decoding.h"
#include "tests/jet/reader/support_reader_fixtures.h"
#include "SrcLib/code_pages.h"
#include "jet/mdb_writer.h"
#include "jet/table_editor.h"

namespace corvid::jet::reader {
namespace {

namespace w = corvid::jet;

std::vector<std::byte> B(std::initializer_list<int> values) {
  std::vector<std::byte> bytes;
  for (int v : values) bytes.push_back(std::byte(v));
  return bytes;
}

// Sets an environment variable for the life of the guard.
class EnvGuard {
 public:
  EnvGuard(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~EnvGuard() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(HeaderPage, VersionsAndPageSizesOfRealFiles) {
  struct Case {
    const char* file;
    JetFormat version;
    std::size_t pageSize;
  };
  for (const Case& c :
       {Case{"nwind.mdb", JetFormat::Jet3, 2048}, Case{"testV2003.mdb", JetFormat::Jet4, 4096},
        Case{"testV2010.accdb", JetFormat::Ace2007, 4096},
        Case{"db97-enc.mdb", JetFormat::Jet3, 2048}}) {
    SCOPED_TRACE(c.file);
    const auto bytes = testing::ReadFile(testing::kFixtures + c.file);
    const HeaderPage header = ParseHeaderPage(bytes);
    EXPECT_EQ(header.version, c.version);
    EXPECT_EQ(header.pageSize, c.pageSize);
  }
}

TEST(HeaderPage, PagesEncodedWithTheDatabaseKeyAreDecoded) {
  for (const char* file : {"db-enc.mdb", "db97-enc.mdb"}) {
    SCOPED_TRACE(file);
    Database db = Database::Open(testing::kFixtures + file);
    EXPECT_NE(db.Header().databaseKey, 0u);
    Table table = db.OpenTable("Table1");
    RowCursor rows = table.Rows();
    Row row;
    std::vector<std::string> texts;
    while (rows.Next(row))
      texts.push_back(std::get<std::string>(
          row.values[table.Definition().FindColumn("col1") - table.Definition().columns.data()]));
    EXPECT_EQ(texts, (std::vector<std::string>{"hello", "world"}));
  }
}

TEST(HeaderPage, PasswordIsUnmaskedForEveryVersion) {
  // A real Jet 4 file, and writer-made Jet 3 and Jet 4 files.
  const HeaderPage real =
      ParseHeaderPage(testing::ReadFile(testing::kFixtures + "V2003_with-password.mdb"));
  EXPECT_EQ(Utf16LeToUtf8(real.password), "password");
  testing::TempDir dir;
  for (bool jet3 : {true, false}) {
    const std::string path = dir.Path(jet3 ? "p3.mdb" : "p4.mdb").string();
    w::WriterOptions options;
    options.format = jet3 ? w::JetFormat::Jet3 : w::JetFormat::Jet4;
    options.password = "Grüße1";
    w::MdbWriter writer(path, options);
    writer.AddTable({"t", {{"n", w::ColumnType::Long}}}).AddRow({std::int64_t{1}});
    writer.Finish();
    const HeaderPage header = ParseHeaderPage(testing::ReadFile(path));
    const std::string password = jet3 ? TextDecoder(JetFormat::Jet3).Decode(header.password)
                                      : Utf16LeToUtf8(header.password);
    EXPECT_EQ(password, "Grüße1");
  }
  const HeaderPage none = ParseHeaderPage(testing::ReadFile(testing::kFixtures + "testV2003.mdb"));
  EXPECT_TRUE(none.password.empty());
}

TEST(HeaderPage, WhatIsNoDatabaseIsAFormatError) {
  auto header = testing::ReadFile(testing::kFixtures + "testV2003.mdb");
  header.resize(4096);
  std::vector<std::vector<std::byte>> cases;
  cases.push_back(std::vector<std::byte>(100, std::byte{0}));  // too short
  cases.push_back(std::vector<std::byte>(4096, std::byte{'x'}));
  cases.push_back(header);
  cases.back()[0x14] = std::byte{0x40};  // a version nobody wrote
  cases.push_back(header);
  cases.back()[4] = std::byte{'X'};  // not the signature
  for (const auto& bytes : cases) EXPECT_THROW(ParseHeaderPage(bytes), FormatError);
  // A header alone (no catalog page) is refused as a database too.
  EXPECT_THROW(Database::OpenImage(header), FormatError);
}

TEST(TextDecoding, Jet4PlainAndCompressedUnicode) {
  struct Case {
    std::vector<std::byte> stored;
    std::string text;
  };
  const std::vector<Case> cases{
      {B({'a', 0, 'b', 0}), "ab"},
      {B({0xFF, 0xFE, 'a', 'b', 'c'}), "abc"},
      {B({0xFF, 0xFE, 'a', 0x00, 0x3A, 0x04, 0x00, 'c'}), "aкc"},  // one byte, two, one again
      {B({0xFF, 0xFE, 0xE4, 0xE4}), "ää"},
      {B({0xFF, 0xFE}), ""},
      {B({0xFF, 0xFE, 0x00, 0x3A}), ""},                  // a two-byte run cut short
      {B({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80"},  // a surrogate pair
      {B({0x00, 0xD8, 'a', 0}),
       "\xEF\xBF\xBD"
       "a"},                    // a lone surrogate
      {B({'a', 0, 'b'}), "a"},  // an odd last byte
  };
  const TextDecoder decoder(JetFormat::Jet4);
  for (const Case& c : cases) EXPECT_EQ(decoder.Decode(c.stored), c.text);
}

TEST(TextDecoding, Jet3CodePageFromTheEnvironment) {
  const auto stored = B({'G', 'r', 0xFC, 0xDF, 'e', 0x80, 0x81});
  struct Case {
    const char* corvid;
    const char* mdb;
    std::string text;
  };
  const std::vector<Case> cases{
      {nullptr, nullptr, "Grüße€\xEF\xBF\xBD"},  // Windows-1252; 81 is unassigned
      {"ISO-8859-5", nullptr, "Grќпe\xC2\x80\xC2\x81"},
      {nullptr, "ISO-8859-5", "Grќпe\xC2\x80\xC2\x81"},
      {"CP1252", "ISO-8859-5", "Grüße€\xEF\xBF\xBD"},  // ours first
      {"no-such-code-page", nullptr, "Grüße€\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.corvid ? c.corvid : "-") + " / " + (c.mdb ? c.mdb : "-"));
    EnvGuard corvid("CORVID_JET3_CHARSET", c.corvid);
    EnvGuard mdb("MDB_JET3_CHARSET", c.mdb);
    EXPECT_EQ(TextDecoder(JetFormat::Jet3).Decode(stored), c.text);
  }
}

TEST(TextDecoding, Jet3FileReadInAnotherCodePage) {
  testing::TempDir dir;
  const std::string path = dir.Path("cp.mdb").string();
  w::WriterOptions options;
  options.format = w::JetFormat::Jet3;
  w::MdbWriter writer(path, options);
  writer.AddTable({"Grüße", {{"wort", w::ColumnType::Text, 20}}}).AddRow({std::string("Grüße")});
  writer.Finish();
  {
    EnvGuard corvid("CORVID_JET3_CHARSET", nullptr);
    Database db = Database::Open(path);
    ASSERT_EQ(db.TableNames(), std::vector<std::string>{"Grüße"});
  }
  EnvGuard corvid("CORVID_JET3_CHARSET", "ISO-8859-5");
  Database db = Database::Open(path);
  ASSERT_EQ(db.TableNames(), std::vector<std::string>{"Grќпe"});
  Table table = db.OpenTable("Grќпe");
  RowCursor rows = table.Rows();
  Row row;
  ASSERT_TRUE(rows.Next(row));
  EXPECT_EQ(std::get<std::string>(row.values[0]), "Grќпe");
}

// Inverts every byte: shows where the codec runs.
class InvertingCodec final : public PageCodec {
 public:
  void Decode(std::uint32_t, std::span<std::byte> page) const override {
    for (std::byte& b : page) b = ~b;
  }
};

TEST(PageSource, FileAndMemoryAgreeAndTheCodecSkipsPageZero) {
  const std::string path = testing::kFixtures + "testV2003.mdb";
  const auto image = testing::ReadFile(path);
  PageSource file(std::make_unique<FileByteSource>(path), 4096, 1);  // a cache of one page
  PageSource memory(std::make_unique<MemoryByteSource>(image), 4096);
  ASSERT_EQ(file.PageCount(), image.size() / 4096);
  for (std::uint32_t page : {0u, 5u, 1u, 5u, file.PageCount() - 1}) {
    const auto expected =
        std::vector<std::byte>(image.begin() + page * 4096, image.begin() + (page + 1) * 4096);
    EXPECT_EQ(*file.Read(page), expected) << page;
    EXPECT_EQ(*memory.Read(page), expected) << page;
  }
  try {
    file.Read(file.PageCount());
    FAIL() << "a page beyond the end was read";
  } catch (const DamageError& e) {
    EXPECT_EQ(e.Where().page, file.PageCount());
  }
  memory.SetCodec(std::make_shared<InvertingCodec>());
  EXPECT_EQ((*memory.Read(0))[0], image[0]);
  EXPECT_EQ((*memory.Read(1))[0], ~image[4096]);
}

TEST(PageSource, APageHeldByACallerOutlivesItsEviction) {
  // The cache reuses the buffer of a page it evicts, but only when no caller
  // holds that page any more.
  const auto image = testing::ReadFile(testing::kFixtures + "testV2003.mdb");
  PageSource memory(std::make_unique<MemoryByteSource>(image), 4096, 2);
  auto pageAt = [&](std::uint32_t n) {
    return std::vector<std::byte>(image.begin() + n * 4096, image.begin() + (n + 1) * 4096);
  };
  const PagePtr held = memory.Read(1);
  for (std::uint32_t n = 2; n < 12; ++n) EXPECT_EQ(*memory.Read(n), pageAt(n)) << n;
  EXPECT_EQ(*held, pageAt(1));
  EXPECT_EQ(*memory.Read(1), pageAt(1));
}

TEST(PageSource, PagesReadAheadLandDecodedInTheirOwnBuffers) {
  // Pages read one after another come in many at a time, straight into the
  // buffers the cache keeps, and are decoded there: with any cache size,
  // every page must be its own bytes, decoded once, and a page a caller
  // holds must never be reused for another.
  const std::string path = testing::kFixtures + "testV2003.mdb";
  const auto image = testing::ReadFile(path);
  const std::uint32_t pages = static_cast<std::uint32_t>(image.size() / 4096);
  auto decoded = [&](std::uint32_t n) {
    std::vector<std::byte> page(image.begin() + n * 4096, image.begin() + (n + 1) * 4096);
    if (n != 0)
      for (std::byte& b : page) b = ~b;
    return page;
  };
  for (std::size_t cache : {2u, 3u, 16u, 256u}) {
    PageSource file(std::make_unique<FileByteSource>(path), 4096, cache);
    PageSource memory(std::make_unique<MemoryByteSource>(image), 4096, cache);
    for (PageSource* source : {&file, &memory}) {
      SCOPED_TRACE(::testing::Message()
                   << "cache " << cache << (source == &file ? " file" : " memory"));
      source->SetCodec(std::make_shared<InvertingCodec>());
      std::vector<PagePtr> held;
      for (std::uint32_t n = 0; n < pages; ++n) {
        const PagePtr page = source->Read(n);
        ASSERT_EQ(*page, decoded(n)) << n;
        if (n % 97 == 1) held.push_back(page);
      }
      // Over again from the middle (partly cached), then the held pages.
      for (std::uint32_t n = pages / 2; n < pages; ++n)
        ASSERT_EQ(*source->Read(n), decoded(n)) << n;
      for (const PagePtr& page : held) {
        const std::uint32_t n = static_cast<std::uint32_t>(&page - held.data()) * 97 + 1;
        EXPECT_EQ(*page, decoded(n)) << n;
      }
    }
  }
}

TEST(PageSource, ScatteredReadsFillEachBufferInTurn) {
  const std::string path = testing::kFixtures + "testV2003.mdb";
  const auto image = testing::ReadFile(path);
  const FileByteSource file(path);
  const MemoryByteSource memory(image);
  for (const ByteSource* source : std::initializer_list<const ByteSource*>{&file, &memory}) {
    // Empty buffers among them, and sizes that are no multiple of a page.
    std::vector<std::vector<std::byte>> buffers{
        {}, std::vector<std::byte>(5), std::vector<std::byte>(4096),
        {}, std::vector<std::byte>(3), std::vector<std::byte>(70000)};
    std::vector<std::span<std::byte>> spans(buffers.begin(), buffers.end());
    source->ReadScatteredAt(7, spans);
    std::size_t at = 7;
    for (const auto& buffer : buffers) {
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), image.begin() + at)) << at;
      at += buffer.size();
    }
    // Past the end of the file: an error, never a short buffer taken as read.
    std::vector<std::byte> last(4096), beyond(4096);
    const std::array<std::span<std::byte>, 2> tail{last, beyond};
    EXPECT_THROW(source->ReadScatteredAt(image.size() - 4096 + 1, tail), DamageError);
  }
}

TEST(PageSource, ACutOffLastPageIsNotAPage) {
  auto image = testing::ReadFile(testing::kFixtures + "testV2003.mdb");
  image.resize(image.size() - 100);
  PageSource memory(std::make_unique<MemoryByteSource>(image), 4096);
  EXPECT_EQ(memory.PageCount(), image.size() / 4096);
  EXPECT_THROW(memory.Read(memory.PageCount()), DamageError);
}

TEST(ValueText, DecimalsAndGuids) {
  struct Case {
    Decimal value;
    std::string text;
  };
  const std::vector<Case> cases{
      {Decimal{.negative = false, .high = 0, .low = 12345, .precision = 18, .scale = 2}, "123.45"},
      {Decimal{.negative = true, .high = 0, .low = 5, .precision = 18, .scale = 3}, "-0.005"},
      {Decimal{.negative = false, .high = 0, .low = 0, .precision = 18, .scale = 0}, "0"},
      {Decimal{.negative = false, .high = 1, .low = 0, .precision = 28, .scale = 0},
       "18446744073709551616"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value.Text(), c.text);
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(g.Text(), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
}

TEST(RealFiles, IndexDefinitionsOfOrderDetails) {
  Database db = Database::Open(testing::kFixtures + "nwind.mdb");
  Table table = db.OpenTable("Order Details");
  const TableDefinition& def = table.Definition();
  auto columnName = [&def](std::uint16_t number) {
    for (const ColumnDefinition& c : def.columns)
      if (c.number == number) return c.name;
    return std::string("?");
  };
  auto find = [&def](const std::string& name) -> const IndexDefinition* {
    for (const IndexDefinition& i : def.indexes)
      if (i.name == name) return &i;
    return nullptr;
  };
  const IndexDefinition* primary = find("PrimaryKey");
  ASSERT_NE(primary, nullptr);
  EXPECT_EQ(primary->kind, 1);
  ASSERT_EQ(primary->columns.size(), 2u);
  EXPECT_EQ(columnName(primary->columns[0].columnNumber), "OrderID");
  EXPECT_EQ(columnName(primary->columns[1].columnNumber), "ProductID");
  for (const char* single : {"OrderID", "ProductID"}) {
    const IndexDefinition* index = find(single);
    ASSERT_NE(index, nullptr) << single;
    ASSERT_EQ(index->columns.size(), 1u);
    EXPECT_EQ(columnName(index->columns[0].columnNumber), single);
  }
}

TEST(RealFiles, DefinitionOverSeveralPages) {
  Database db = Database::Open(testing::kFixtures + "test2V2000.mdb");
  Table table = db.OpenTable("MSP_PROJECTS");
  // Columns past the first page come through (the last one is on the second page).
  EXPECT_GT(table.Definition().columns.size(), 70u);
  EXPECT_GT(table.Definition().pages.size(), 1u);
  EXPECT_NE(table.Definition().FindColumn("RESERVED_BINARY_DATA"), nullptr);
}

TEST(RealFiles, ComplexColumnsGiveTheirKeyAndLargeNumbersTheir64Bits) {
  Database db = Database::Open(testing::kFixtures + "complexDataTestV2007.accdb");
  Table table = db.OpenTable("Table1");
  const TableDefinition& def = table.Definition();
  const auto id = static_cast<std::size_t>(def.FindColumn("id") - def.columns.data());
  const auto attach = static_cast<std::size_t>(def.FindColumn("attach-data") - def.columns.data());
  EXPECT_EQ(def.columns[attach].type, static_cast<std::uint8_t>(StoredType::Complex));
  EXPECT_NE(def.columns[attach].complexId, 0u);
  RowCursor rows = table.Rows();
  Row row;
  bool seen = false;
  while (rows.Next(row)) {
    if (std::get<std::string>(row.values[id]) != "row2") continue;
    EXPECT_EQ(std::get<ComplexKey>(row.values[attach]).key, 2);
    seen = true;
  }
  EXPECT_TRUE(seen);

  Database big = Database::Open(testing::kFixtures + "bigint.accdb");
  Table numbers = big.OpenTable("Table");
  const ColumnDefinition* column = numbers.Definition().FindColumn("Numeric");
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->type, static_cast<std::uint8_t>(StoredType::BigInt));
  RowCursor bigRows = numbers.Rows();
  ASSERT_TRUE(bigRows.Next(row));
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(
      row.values[column - numbers.Definition().columns.data()]));
}

TEST(RealFiles, MissingTableIsNotFound) {
  Database db = Database::Open(testing::kFixtures + "testV2003.mdb");
  EXPECT_THROW(db.OpenTable("NoSuchTable"), NotFoundError);
  EXPECT_NO_THROW(db.OpenTable("table1"));  // names compare without case
}

// A row the table editor deletes carries the deleted flag in the page's
// offsets table, not the flag of a row that moved: the reader then passes
// over it (rows deleted by Access and by the editor look the same), and no
// row is taken for a pointer to somewhere else.
TEST(EditedFiles, ARowDeletedByTheTableEditorIsDeletedForTheReader) {
  for (const w::JetFormat format : {w::JetFormat::Jet4, w::JetFormat::Jet3}) {
    SCOPED_TRACE(format == w::JetFormat::Jet3 ? "Jet 3" : "Jet 4");
    testing::TempDir dir;
    const std::string path = dir.Path("edited.mdb").string();
    w::WriterOptions options;
    options.format = format;
    w::MdbWriter writer(path, options);
    auto& t = writer.AddTable({"t", {{"n", w::ColumnType::Long}, {"s", w::ColumnType::Text, 20}}});
    for (std::int64_t n = 1; n <= 3; ++n) t.AddRow({n, std::string("row ") + std::to_string(n)});
    writer.Finish();

    std::uint32_t tdef = 0;
    std::uint32_t dataPage = 0;
    {
      Database db = Database::Open(path);
      Table table = db.OpenTable("t");
      tdef = table.Definition().page;
      RowCursor rows = table.Rows();
      Row row;
      ASSERT_TRUE(rows.Next(row));
      dataPage = row.page;
    }
    w::TableEditor editor(path, tdef, "t");
    editor.Delete(w::RowLocation{dataPage, 1});

    const w::JetConstants& jet = w::ConstantsFor(format);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> page(jet.pageSize);
    in.seekg(static_cast<std::streamoff>(dataPage) * static_cast<std::streamoff>(jet.pageSize));
    ASSERT_TRUE(in.read(page.data(), static_cast<std::streamsize>(page.size())));
    const std::size_t at = jet.dataRowCountOffset + 2 + 2 * 1;
    const auto entry = static_cast<std::uint16_t>(static_cast<unsigned char>(page[at]) |
                                                  static_cast<unsigned char>(page[at + 1]) << 8);
    EXPECT_EQ(entry & w::kRowDeleted, w::kRowDeleted);
    EXPECT_EQ(entry & w::kRowLookup, 0);

    Database db = Database::Open(path);
    RowCursor rows = db.OpenTable("t").Rows();
    std::vector<std::int32_t> seen;
    Row row;
    while (rows.Next(row)) seen.push_back(std::get<std::int32_t>(row.values[0]));
    EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(rows.RowsUnreadable(), 0u);
    EXPECT_FALSE(rows.Recovering());
    EXPECT_TRUE(db.Report().Entries().empty());
  }
}

}  // namespace
}  // namespace corvid::jet::reader
