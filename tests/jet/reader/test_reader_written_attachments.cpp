// Access 2007 files with attachment columns made by the writer: libmdb reads
// the hidden tables' rows, and our reader reads every file back.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "jet/mdb_writer.h"
#include "jet/reader/complex_column.h"
#include "tests/jet/reader/support_libmdb_oracle.h"
#include "tests/jet/reader/support_reader_fixtures.h"

namespace corvid::jet::reader {
namespace {

namespace w = corvid::jet;
using Bytes = std::vector<std::byte>;

Bytes Text(std::string_view s) {
  Bytes b;
  for (char c : s) b.push_back(static_cast<std::byte>(c));
  return b;
}

// Compressible but not uniform bytes.
Bytes Sample(std::size_t size, unsigned seed) {
  Bytes b(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<std::byte>((i % 64 < 48) ? 'a' + (i / 64) % 26 : (x >> 24));
  }
  return b;
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<std::uint8_t>(b.at(at + static_cast<std::size_t>(i)));
  return v;
}

// The file of a stored value, decoded without the reader.
Bytes Decode(const Bytes& stored) {
  const std::uint32_t flag = Get32(stored, 0), length = Get32(stored, 4);
  Bytes content(length);
  if (flag == 1) {
    uLongf size = length;
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(content.data()), &size,
                         reinterpret_cast<const Bytef*>(stored.data() + 8),
                         static_cast<uLong>(stored.size() - 8)),
              Z_OK);
    EXPECT_EQ(size, length);
  } else {
    EXPECT_EQ(flag, 0u);
    EXPECT_EQ(stored.size(), 8u + length);
    std::memcpy(content.data(), stored.data() + 8,
                std::min<std::size_t>(length, stored.size() - 8));
  }
  return Bytes(content.begin() + Get32(content, 0), content.end());
}

w::WriterOptions Ace(std::string password = {}) {
  w::WriterOptions options;
  options.format = w::JetFormat::Ace2007;
  options.password = std::move(password);
  return options;
}

struct File {
  std::string name;
  Bytes data;
  bool compress = true;
};

class WrittenAttachments : public ::testing::Test {
 protected:
  void SetUp() override {
    files_[2] = {{"a.txt", Text("Attachment 1"), true}};
    files_[3] = {{"scan 0001.pdf", Sample(300000, 3), true},  // a chain of long-value rows
                 {"raw.bin", Sample(5000, 4), false},
                 {"noextension", Text("plain"), true},
                 {"empty.dat", {}, true}};
    w::MdbWriter writer(path_, Ace());
    auto& docs = writer.AddTable({"Docs",
                                  {{"id", w::ColumnType::Long},
                                   {"Files", w::ColumnType::Attachment},
                                   {"note", w::ColumnType::Text, 50},
                                   {"Photos", w::ColumnType::Attachment}}});
    docs.AddRow({std::int64_t{1}, std::int64_t{1}, std::string("none"), w::Null});
    docs.AddRow({std::int64_t{2}, std::int64_t{2}, std::string("one"), std::int64_t{2}});
    docs.AddRow({std::int64_t{3}, std::int64_t{3}, std::string("four"), w::Null});
    docs.AddRow({std::int64_t{4}, w::Null, std::string("null"), w::Null});
    for (const auto& [key, list] : files_)
      for (const File& f : list) docs.AddAttachment("Files", key, {f.name, f.data, f.compress});
    docs.AddAttachment("photos", 2, {"p.jpg", Text("jpeg"), true});
    writer.AddTable({"Plain", {{"x", w::ColumnType::Long}}}).AddRow({std::int64_t{5}});
    writer.Finish();
  }

  testing::TempDir dir_;
  std::string path_ = dir_.Path("attachments.accdb").string();
  std::map<std::int32_t, std::vector<File>> files_;
};

TEST_F(WrittenAttachments, OurReaderReadsEveryFileBack) {
  Database db = Database::Open(path_);
  EXPECT_EQ(db.Header().version, JetFormat::Ace2007);
  EXPECT_EQ(db.TableNames(),
            (std::vector<std::string>{"Docs", "Plain"}));  // the hidden tables are not listed
  Table docs = db.OpenTable("Docs");
  ComplexColumn column = ComplexColumn::Open(db, docs, "Files");
  EXPECT_EQ(column.Kind(), ComplexKind::Attachment);
  std::map<std::int32_t, std::vector<std::string>> names;
  RowCursor rows = docs.Rows();
  Row row;
  while (rows.Next(row)) {
    if (IsNull(row.values[1])) continue;
    const std::int32_t key = std::get<ComplexKey>(row.values[1]).key;
    const std::vector<Attachment> found = column.Attachments(key);
    const std::vector<File>& expected = files_[key];
    ASSERT_EQ(found.size(), expected.size()) << key;
    for (std::size_t i = 0; i < found.size(); ++i) {
      SCOPED_TRACE(found[i].fileName);
      EXPECT_EQ(found[i].fileName, expected[i].name);
      AttachmentDataReader file = column.OpenFile(found[i]);
      EXPECT_EQ(file.Compressed(), expected[i].compress);
      EXPECT_EQ(file.Extension(), found[i].fileType);
      Bytes bytes;
      file.ReadAll([&](std::span<const std::byte> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
      });
      EXPECT_EQ(bytes, expected[i].data);
    }
  }
  EXPECT_EQ(column.Attachments(3)[0].fileType, "pdf");
  EXPECT_EQ(column.Attachments(3)[2].fileType, "");

  ComplexColumn photos = ComplexColumn::Open(db, docs, "Photos");
  ASSERT_EQ(photos.Attachments(2).size(), 1u);
  EXPECT_NE(photos.FlatTable().Name(), column.FlatTable().Name());
  EXPECT_TRUE(db.Report().Empty());
}

TEST_F(WrittenAttachments, LibmdbReadsTheHiddenTableAndTheComplexColumnsList) {
  Database db = Database::Open(path_);
  Table docs = db.OpenTable("Docs");
  const std::string flat = ComplexColumn::Open(db, docs, "Files").FlatTable().Name();
  EXPECT_EQ(flat.rfind("f_", 0), 0u);
  const testing::OracleTable hidden = testing::ReadWithLibmdb(path_, flat);
  EXPECT_EQ(hidden.columns,
            (std::vector<std::string>{"_Files", "FileData", "FileFlags", "FileName",
                                      "FileTimeStamp", "FileType", "FileURL", "Docs_Files"}));
  std::map<std::int32_t, std::vector<File>> read;
  for (const auto& r : hidden.rows) {
    read[std::stoi(r[0].text)].push_back(
        {r[3].text, Decode(r[1].bytes), Get32(r[1].bytes, 0) == 1});
    EXPECT_EQ(r[5].text, r[3].text.find('.') == std::string::npos
                             ? ""
                             : r[3].text.substr(r[3].text.rfind('.') + 1));
  }
  ASSERT_EQ(read.size(), 2u);
  for (const auto& [key, list] : files_) {
    ASSERT_EQ(read[key].size(), list.size()) << key;
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(read[key][i].name, list[i].name);
      EXPECT_EQ(read[key][i].data, list[i].data) << list[i].name;
      EXPECT_EQ(read[key][i].compress, list[i].compress) << list[i].name;
    }
  }
  const testing::OracleTable complex = testing::ReadWithLibmdb(path_, "MSysComplexColumns");
  ASSERT_EQ(complex.rows.size(), 2u);
  EXPECT_EQ(complex.rows[0][0].text, "Files");
  EXPECT_EQ(std::stoul(complex.rows[0][3].text), docs.Definition().page);  // ConceptualTableID
  EXPECT_EQ(testing::ReadWithLibmdb(path_, "Docs").rows.size(), 4u);
}

TEST(WrittenAttachmentErrors, TheWriterRefusesWhatAnAccessFileCannotHold) {
  testing::TempDir dir;
  {
    w::MdbWriter jet4(dir.Path("a.mdb").string());
    EXPECT_THROW(jet4.AddTable({"T", {{"f", w::ColumnType::Attachment}}}), w::WriterError);
  }
  EXPECT_THROW(w::MdbWriter(dir.Path("b.accdb").string(), Ace("secret")), w::WriterError);
  w::MdbWriter ace(dir.Path("c.accdb").string(), Ace());
  auto& t = ace.AddTable({"T", {{"id", w::ColumnType::Long}, {"f", w::ColumnType::Attachment}}});
  const Bytes data = Text("x");
  EXPECT_THROW(t.AddAttachment("id", 1, {"a.txt", data}), w::WriterError);
  EXPECT_THROW(t.AddAttachment("f", 1, {"", data}), w::WriterError);
  EXPECT_THROW(ace.AddTable({"MSysComplexColumns", {{"x", w::ColumnType::Long}}}), w::WriterError);
  t.AddAttachment("F", 1, {"a.txt", data});  // column names are case-insensitive
}

}  // namespace
}  // namespace corvid::jet::reader
