// Complex columns (attachments, multi-value lists, version histories) and
// the decoding of attached files. The files' bytes are checked against what
// libmdb reads from the hidden tables, decoded here with zlib on its own.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "jet/reader/attachment_data.h"
#include "jet/reader/complex_column.h"
#include "tests/attachment_file_data.h"
#include "tests/jet/reader/support_libmdb_oracle.h"
#include "tests/jet/reader/support_reader_fixtures.h"

namespace corvid::jet::reader {
namespace {

using Bytes = std::vector<std::byte>;

Bytes B(std::string_view text) {
  Bytes b;
  for (char c : text) b.push_back(static_cast<std::byte>(c));
  return b;
}

void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::byte>(v >> (8 * i)));
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("short");
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

Bytes Compress(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                6) != Z_OK)
    throw std::runtime_error("compress");
  out.resize(size);
  return out;
}

// The content (header + file) of an attachment: header length, unknown,
// extension length with its zero, the extension in UTF-16LE.
Bytes Content(std::string_view extension, const Bytes& file, std::uint32_t padding = 0) {
  Bytes c;
  const std::uint32_t units =
      extension.empty() ? 0 : static_cast<std::uint32_t>(extension.size() + 1);
  Put32(c, 12 + 2 * units + padding);
  Put32(c, 1);
  Put32(c, units);
  for (char ch : extension) c.insert(c.end(), {static_cast<std::byte>(ch), std::byte{0}});
  if (units) c.insert(c.end(), {std::byte{0}, std::byte{0}});
  c.insert(c.end(), padding, std::byte{0x55});
  c.insert(c.end(), file.begin(), file.end());
  return c;
}

Bytes Stored(std::uint32_t flag, std::uint32_t contentLength, const Bytes& body) {
  Bytes s;
  Put32(s, flag);
  Put32(s, contentLength);
  s.insert(s.end(), body.begin(), body.end());
  return s;
}

using testing_attachments::DecodeFileData;

// Reads `stored` through the reader, handing it over in pieces of
// `pieceSize` and reading into a buffer of `bufferSize`.
Bytes ReadInPieces(const Bytes& stored, std::size_t pieceSize, std::size_t bufferSize,
                   std::string* extension = nullptr) {
  std::size_t at = 0;
  AttachmentDataReader reader(
      [&]() -> std::span<const std::byte> {
        const std::size_t n = std::min(pieceSize, stored.size() - at);
        std::span<const std::byte> piece(stored.data() + at, n);
        at += n;
        return piece;
      },
      DamageLocation{.table = "T"}, "the attachment \"a.bin\"");
  if (extension) *extension = reader.Extension();
  Bytes out, buffer(bufferSize);
  for (std::size_t n = reader.Read(buffer); n > 0; n = reader.Read(buffer))
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
  EXPECT_EQ(out.size(), reader.Size());
  return out;
}

TEST(AttachmentData, StoredAndCompressedValuesDecodeWhateverThePieceAndBufferSizes) {
  Bytes file(300000);
  std::mt19937 random(7);
  for (std::size_t i = 0; i < file.size(); ++i)  // compressible, not trivially
    file[i] = static_cast<std::byte>(i % 251 < 200 ? i % 7 : random() & 0xFF);
  const Bytes content = Content("pdf", file, 6);
  const Bytes compressed = Stored(1, static_cast<std::uint32_t>(content.size()), Compress(content));
  const Bytes stored = Stored(0, static_cast<std::uint32_t>(content.size()), content);
  for (const Bytes* value : {&compressed, &stored}) {
    for (auto [piece, buffer] :
         {std::pair<std::size_t, std::size_t>{1, 7}, {4096, 65536}, {1 << 20, 1000}}) {
      SCOPED_TRACE(std::to_string(piece) + "/" + std::to_string(buffer));
      std::string extension;
      EXPECT_EQ(ReadInPieces(*value, piece, buffer, &extension), file);
      EXPECT_EQ(extension, "pdf");
    }
  }
  EXPECT_EQ(DecodeAttachmentData(compressed), DecodeFileData(compressed));
  // No extension, and an empty file.
  const Bytes bare = Content("", {});
  std::string extension = "x";
  EXPECT_TRUE(ReadInPieces(Stored(1, static_cast<std::uint32_t>(bare.size()), Compress(bare)), 3, 5,
                           &extension)
                  .empty());
  EXPECT_EQ(extension, "");
}

TEST(AttachmentData, DamagedValuesAreDamageErrorsNamingTheAttachment) {
  const Bytes file = B("Attachment body that is long enough to compress");
  const Bytes content = Content("txt", file);
  const auto length = static_cast<std::uint32_t>(content.size());
  const Bytes zipped = Compress(content);
  Bytes flipped = zipped;
  flipped[flipped.size() / 2] ^= std::byte{0x5A};
  Bytes badChecksum = zipped;
  badChecksum.back() ^= std::byte{0x01};
  Bytes hugeExtension;
  Put32(hugeExtension, 12 + 2 * 1000);
  Put32(hugeExtension, 1);
  Put32(hugeExtension, 1000);
  hugeExtension.resize(12 + 2000 + 4);
  Bytes headerPastContent;
  Put32(headerPastContent, 100);
  Put32(headerPastContent, 1);
  Put32(headerPastContent, 0);
  Bytes extensionPastHeader;
  Put32(extensionPastHeader, 14);
  Put32(extensionPastHeader, 1);
  Put32(extensionPastHeader, 4);
  extensionPastHeader.resize(40);

  struct Case {
    const char* what;
    Bytes stored;
  };
  const Case cases[] = {
      {"flag 2", Stored(2, length, zipped)},
      {"prefix cut", Bytes(zipped.begin(), zipped.begin() + 5)},
      {"content shorter than a header", Stored(0, 8, Bytes(8))},
      {"header past the content", Stored(0, 12, headerPastContent)},
      {"extension past the header", Stored(0, 40, extensionPastHeader)},
      {"extension too long",
       Stored(0, static_cast<std::uint32_t>(hugeExtension.size()), hugeExtension)},
      {"stored value shorter than its length", Stored(0, length + 10, content)},
      {"stored value longer than its length", Stored(0, length - 3, content)},
      {"compressed bytes changed", Stored(1, length, flipped)},
      {"checksum wrong", Stored(1, length, badChecksum)},
      {"stream cut short", Stored(1, length, Bytes(zipped.begin(), zipped.end() - 6))},
      {"inflates to less than its length", Stored(1, length + 1, zipped)},
      {"inflates to more than its length", Stored(1, length - 1, zipped)},
      {"not zlib at all", Stored(1, length, content)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      ReadInPieces(c.stored, 16, 64);
      ADD_FAILURE() << "no damage reported";
    } catch (const DamageError& e) {
      EXPECT_NE(std::string(e.what()).find("the attachment \"a.bin\""), std::string::npos)
          << e.what();
      EXPECT_EQ(e.Where().table, "T");
    }
  }
}

// The hidden table of an attachment column, read by libmdb: key -> (file name -> file bytes).
std::map<std::int32_t, std::map<std::string, Bytes>> OracleAttachments(
    const std::string& path, const std::string& flatTable, const std::string& keyColumn) {
  const testing::OracleTable t = testing::ReadWithLibmdb(path, flatTable);
  const auto column = [&](const std::string& name) {
    const auto it = std::find(t.columns.begin(), t.columns.end(), name);
    if (it == t.columns.end()) throw std::runtime_error("no column " + name);
    return static_cast<std::size_t>(it - t.columns.begin());
  };
  const std::size_t key = column(keyColumn), data = column("FileData"), name = column("FileName");
  std::map<std::int32_t, std::map<std::string, Bytes>> out;
  for (const auto& row : t.rows)
    out[std::stoi(row[key].text)][row[name].text] = DecodeFileData(row[data].bytes);
  return out;
}

struct ReadAttachments {
  std::map<std::int32_t, std::map<std::string, Bytes>> files;
  std::map<std::int32_t, std::vector<std::string>> names;  // in stored order
};

ReadAttachments ReadAllAttachments(Database& db, const std::string& table,
                                   const std::string& column) {
  Table t = db.OpenTable(table);
  ComplexColumn complex = ComplexColumn::Open(db, t, column);
  EXPECT_EQ(complex.Kind(), ComplexKind::Attachment);
  const int index =
      static_cast<int>(t.Definition().FindColumn(column) - t.Definition().columns.data());
  ReadAttachments out;
  RowCursor rows = t.Rows();
  Row row;
  while (rows.Next(row)) {
    const std::int32_t key = std::get<ComplexKey>(row.values[static_cast<std::size_t>(index)]).key;
    out.names[key];
    for (const Attachment& a : complex.Attachments(key)) {
      out.names[key].push_back(a.fileName);
      AttachmentDataReader file = complex.OpenFile(a, std::to_string(key));
      EXPECT_EQ(file.Extension(), a.fileType);
      Bytes bytes;
      file.ReadAll([&](std::span<const std::byte> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
      });
      out.files[key][a.fileName] = bytes;
    }
  }
  return out;
}

TEST(ComplexColumns, AttachmentsOfEveryRecordMatchTheHiddenTableReadByLibmdb) {
  const std::string path = testing::kFixtures + "attachments.accdb";
  Database db = Database::Open(path);
  const ReadAttachments got = ReadAllAttachments(db, "Table1", "Attachments");
  // Records 1, 2, 3 hold 0, 1 and 3 attachments.
  ASSERT_EQ(got.names.size(), 3u);
  EXPECT_TRUE(got.names.at(1).empty());
  EXPECT_EQ(got.names.at(2), std::vector<std::string>{"attachment1.txt"});
  EXPECT_EQ(got.names.at(3),
            (std::vector<std::string>{"attachment1.txt", "attachment2.txt", "attachment3.txt"}));
  EXPECT_EQ(got.files.at(3).at("attachment2.txt"), B("Attachment 2"));
  // The flat table's key column is "_Field1" (the column's name at creation).
  auto oracle = OracleAttachments(path, "f_F42896D510474144890B9076E2CD27D9_Field1", "_Field1");
  EXPECT_EQ(got.files, oracle);
  EXPECT_TRUE(db.Report().Empty());
}

TEST(ComplexColumns, AttachmentMultiValueAndVersionHistoryColumnsOfOneTable) {
  const std::string path = testing::kFixtures + "complexDataTestV2007.accdb";
  Database db = Database::Open(path);
  const ReadAttachments got = ReadAllAttachments(db, "Table1", "attach-data");
  EXPECT_EQ(got.names.at(2), (std::vector<std::string>{"test_data.txt", "test_data2.txt"}));
  EXPECT_EQ(got.files.at(2).at("test_data.txt"), B("this is some test data for attachment."));
  EXPECT_EQ(got.files, OracleAttachments(path, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data",
                                         "_attach-data"));

  Table table = db.OpenTable("Table1");
  ComplexColumn multi = ComplexColumn::Open(db, table, "multi-value-data");
  EXPECT_EQ(multi.Kind(), ComplexKind::MultiValue);
  EXPECT_EQ(multi.TemplateName(), "MSysComplexType_Text");
  ASSERT_EQ(multi.ValueColumns().size(), 1u);
  const auto values = [&](std::int32_t key) {
    std::vector<std::string> out;
    for (const Row& r : multi.Rows(key))
      out.push_back(
          std::get<std::string>(r.values[static_cast<std::size_t>(multi.ValueColumns()[0])]));
    return out;
  };
  EXPECT_EQ(values(2), (std::vector<std::string>{"value1", "value4"}));
  EXPECT_EQ(values(3), (std::vector<std::string>{"value1", "value2", "value3", "value4"}));
  EXPECT_TRUE(values(1).empty());
  EXPECT_EQ(
      multi.FlatTable().Definition().columns[static_cast<std::size_t>(multi.KeyColumn())].name,
      "_multi-value-data");

  ComplexColumn history =
      ComplexColumn::Open(db, table, "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880");
  EXPECT_EQ(history.Kind(), ComplexKind::VersionHistory);
  EXPECT_EQ(history.Rows(3).size(), 3u);
  EXPECT_THROW(history.Attachments(3), JetError);
  EXPECT_THROW(ComplexColumn::Open(db, table, "memo-data"), JetError);
  EXPECT_THROW(ComplexColumn::Open(db, table, "no such column"), NotFoundError);
}

TEST(ComplexColumns, ADamagedCompressedValueInACopyIsDamageNamingTableRecordAndFile) {
  const std::string path = testing::kFixtures + "complexDataTestV2007.accdb";
  const testing::OracleTable flat =
      testing::ReadWithLibmdb(path, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data");
  const Bytes stored = flat.rows.at(0)[1].bytes;  // test_data.txt
  Bytes image = testing::ReadFile(path);
  const auto at = std::search(image.begin(), image.end(), stored.begin(), stored.end());
  ASSERT_NE(at, image.end());
  at[static_cast<std::ptrdiff_t>(stored.size()) - 10] ^=
      std::byte{0x21};  // inside the deflate data

  Database db = Database::OpenImage(image);
  Table table = db.OpenTable("Table1");
  ComplexColumn column = ComplexColumn::Open(db, table, "attach-data");
  const std::vector<Attachment> files = column.Attachments(2);
  ASSERT_EQ(files.size(), 2u);
  try {
    column.OpenFile(files[0], "row2").ReadAll([](std::span<const std::byte>) {});
    ADD_FAILURE() << "no damage reported";
  } catch (const DamageError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("the attachment \"test_data.txt\" of record row2"), std::string::npos)
        << text;
    EXPECT_EQ(e.Where().table, "Table1");
    EXPECT_EQ(e.Where().field, "attach-data");
  }
  // The other attachment of the record still reads.
  EXPECT_EQ(DecodeAttachmentData(column.FlatTable().LongValueBytes(files[1].fileData)),
            B("this is some more test data for attachment."));
}

// The column definition's complex id must lead to the row of this table's
// column in MSysComplexColumns: a changed id is damage, not another table's values.
TEST(ComplexColumns, AComplexIdThatLeadsElsewhereIsDamage) {
  const std::string path = testing::kFixtures + "attachments.accdb";
  const Bytes original = testing::ReadFile(path);
  std::uint32_t page = 0;
  {
    Database db = Database::Open(path);
    page = db.OpenTable("Table1").Definition().page;
  }
  // The third column entry of Table1's definition: after the 63-byte header
  // and the real-index entries (12 bytes each); its complex id at byte 11.
  const std::size_t tdef = std::size_t{page} * 4096;
  const std::size_t realIndexes = Get32(original, tdef + 51);
  const std::size_t idAt = tdef + 63 + 12 * realIndexes + 2 * 25 + 11;
  ASSERT_EQ(static_cast<std::uint8_t>(original.at(tdef + 63 + 12 * realIndexes + 2 * 25)), 0x12);
  ASSERT_EQ(Get32(original, idAt), 2u);
  struct Case {
    std::uint8_t id;
    const char* problem;
  };
  for (const Case& c : {Case{1, "to another table"}, Case{9, "no row for complex id 9"}}) {
    SCOPED_TRACE(c.problem);
    Bytes image = original;
    image[idAt] = std::byte{c.id};
    Database db = Database::OpenImage(image);
    Table table = db.OpenTable("Table1");
    try {
      ComplexColumn::Open(db, table, "Attachments");
      ADD_FAILURE() << "no damage reported";
    } catch (const DamageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << e.what();
      EXPECT_EQ(e.Where().table, "Table1");
      EXPECT_EQ(e.Where().field, "Attachments");
    }
  }
}

}  // namespace
}  // namespace corvid::jet::reader
