// The extraction run on the real connection, table and blob stream, over the
// Access files in the fixtures.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "dao/table/blob_stream.h"
#include "engine/recognition.h"
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/ole_value_layout.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"
#include "test_table_support.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

// The value of a blob field per record, read through the table.
std::vector<std::vector<std::byte>> BlobValues(const std::string& file,
                                               const std::string& tableName,
                                               const std::string& field) {
  OpenDatabase db(file);
  db.table.F_Set_TableName(tableName);
  db.table.Open();
  std::vector<std::vector<std::byte>> values;
  for (; !db.table.Eof(); db.table.Next()) {
    auto stream = db.table.CreateBlobStream(db.table.FieldByName(field), TBlobStreamMode::bmRead);
    values.emplace_back(static_cast<TVxBlobStream&>(*stream).Data().begin(),
                        static_cast<TVxBlobStream&>(*stream).Data().end());
  }
  return values;
}

TEST(RunEndToEnd, NorthwindCategoriesWriteEightBitmaps) {
  ScratchDir out;
  RecordingHost host;
  host.inputs.database = kFixtures + "nwind.mdb";
  host.inputs.table = "Categories";
  host.inputs.blobField = "Picture";
  host.inputs.nameField1 = "CategoryID";
  host.inputs.filterField = "filter";
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = out.Path().string() + "/";
  const RunReport report = RunOnRealComponents(host);

  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_EQ(report.recordsVisited, 8);
  EXPECT_EQ(host.status, "ok");
  EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"1.bmp", "2.bmp", "3.bmp", "4.bmp",
                                                         "5.bmp", "6.bmp", "7.bmp", "8.bmp"}));
  // Heading line, one path per record, the closing line.
  ASSERT_EQ(host.log.size(), 10u);
  EXPECT_EQ(host.log[1], out.Path().string() + "/1.bmp");
  EXPECT_NE(host.log.back().find(" - Categories (8)"), std::string::npos) << host.log.back();

  const auto values = BlobValues(kFixtures + "nwind.mdb", "Categories", "Picture");
  ASSERT_EQ(values.size(), 8u);
  for (int id = 1; id <= 8; ++id) {
    SCOPED_TRACE(id);
    const auto& value = values[static_cast<std::size_t>(id - 1)];
    EXPECT_EQ(value.size(), 10746u);
    const auto written = ReadFileBytes(out.Path() / (std::to_string(id) + ".bmp"));
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written[0], std::byte{'B'});
    EXPECT_EQ(written[1], std::byte{'M'});
    // The file is the value from the BMP inside the OLE wrapper to its end.
    const std::vector<std::byte> bm{std::byte{'B'}, std::byte{'M'}};
    const auto start = std::search(value.begin() + 20, value.end(), bm.begin(), bm.end());
    ASSERT_NE(start, value.end());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), start, value.end()));
    EXPECT_EQ(written.size(), static_cast<std::size_t>(value.end() - start));
    QImage image;
    EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(written.data()),
                                   static_cast<int>(written.size())));
    EXPECT_GT(image.width(), 0);
  }
}

TEST(RunEndToEnd, NorthwindEmployeesWriteNinePhotos) {
  ScratchDir out;
  RecordingHost host;
  host.inputs.database = kFixtures + "nwind.mdb";
  host.inputs.table = "employees";  // letter case differs from the file's
  host.inputs.blobField = "PHOTO";
  host.inputs.nameField1 = "employeeid";
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = out.Path().string() + "/";
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_EQ(report.recordsVisited, 9);
  EXPECT_EQ(report.filesWritten, 9);
  const auto files = Files(out.Path());
  ASSERT_EQ(files.size(), 9u);
  const auto third = ReadFileBytes(out.Path() / files[2]);
  EXPECT_EQ(third[0], std::byte{'B'});
  EXPECT_NE(host.log.back().find(" - employees (9)"), std::string::npos) << host.log.back();
}

TEST(RunEndToEnd, FilterLinesOnNorthwindCategories) {
  struct Case {
    std::string field, value;
    std::vector<std::string> lines;  // between the heading and the closing line
    std::vector<std::string> files;
  };
  const std::vector<Case> cases{
      {"CategoryName",
       "Con",
       {"1: con<>Beverages", "2: con=*Condiments*", "<2>", "3: con=*Confections*", "<3>",
        "4: con<>Dairy Products", "5: con<>Grains/Cereals", "6: con<>Meat/Poultry",
        "7: con<>Produce", "8: con<>Seafood"},
       {"2.bmp", "3.bmp"}},
      {"categoryid",
       "6 - 7",
       {"1: 6 - 7<>1", "2: 6 - 7<>2", "3: 6 - 7<>3", "4: 6 - 7<>4", "5: 6 - 7<>5", "6: 6 - 7=6",
        "<6>", "7: 6 - 7=7", "<7>", "8: 6 - 7<>8"},
       {"6.bmp", "7.bmp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    ScratchDir out;
    RecordingHost host;
    host.inputs.database = kFixtures + "nwind.mdb";
    host.inputs.table = "Categories";
    host.inputs.blobField = "Picture";
    host.inputs.nameField1 = "CategoryID";
    host.inputs.filterField = c.field;
    host.inputs.filterValue = c.value;
    host.inputs.outputDirectory = out.Path().string() + "/";
    const RunReport report = RunOnRealComponents(host);
    ASSERT_TRUE(report.completed) << report.failure;
    std::vector<std::string> expected;
    for (const std::string& line : c.lines)
      expected.push_back(line.front() == '<'
                             ? out.Path().string() + "/" + line.substr(1, line.size() - 2) + ".bmp"
                             : line);
    ASSERT_GE(host.log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(host.log.begin() + 1, host.log.end() - 1), expected);
    EXPECT_EQ(Files(out.Path()), c.files);
    EXPECT_NE(host.log.back().find(" - Categories (8)"), std::string::npos);
  }
}

TEST(RunEndToEnd, RunsThatEndEarly) {
  struct Case {
    std::string name, table, blob, name1;
  };
  for (const Case& c : {Case{"missing table", "NoSuchTable", "Picture", "CategoryID"},
                        Case{"missing name field", "Categories", "Picture", "NoSuchField"},
                        Case{"missing blob field", "Categories", "NoSuchBlob", "CategoryID"}}) {
    SCOPED_TRACE(c.name);
    ScratchDir out;
    RecordingHost host;
    host.inputs.database = kFixtures + "nwind.mdb";
    host.inputs.table = c.table;
    host.inputs.blobField = c.blob;
    host.inputs.nameField1 = c.name1;
    host.inputs.filterValue = "*";
    host.inputs.outputDirectory = out.Path().string() + "/";
    const RunReport report = RunOnRealComponents(host);
    EXPECT_FALSE(report.completed);
    EXPECT_TRUE(Files(out.Path()).empty());
    ASSERT_FALSE(host.log.empty());
    for (const std::string& line : host.log)
      EXPECT_EQ(line.find(" - " + c.table + " ("), std::string::npos);
  }
}

TEST(RunEndToEnd, MissingDatabaseFailsTheConnection) {
  RecordingHost host;
  host.inputs.database = corvid::testing_fixtures::FixturePath("mdb/no-such-file.mdb");
  host.inputs.table = "Categories";
  host.inputs.nameField1 = "CategoryID";
  EXPECT_ANY_THROW(RunOnRealComponents(host));
  EXPECT_EQ(host.log.size(), 1u);  // the heading line only
}

// One record per recognisable format and wrapper kind, in a writer-made
// database: each file gets the format's extension and holds the value from
// the document's first byte to the end of the value.
TEST(RunEndToEnd, EveryFormatInEveryWrapper) {
  namespace od = oledocs;
  struct Record {
    std::string label;
    std::string extension;
    od::Bytes value;
    od::Bytes expectedFile;
  };
  std::vector<Record> records;
  auto expectFrom = [](const od::Bytes& value, const od::Bytes& document) {
    const auto at = std::search(value.begin(), value.end(), document.begin(), document.end());
    return od::Bytes(at, value.end());
  };
  for (const od::DocumentInfo& info : od::AllDocumentFormats()) {
    const od::Bytes document = od::MakeSampleDocument(info.format);
    const std::string name(info.name);
    const std::string extension(info.extension);
    const bool unknown = extension == ".dmp";
    auto add = [&](const std::string& wrapper, od::Bytes value) {
      od::Bytes expected = unknown ? value : expectFrom(value, document);
      records.push_back(
          {name + " in " + wrapper, extension, std::move(value), std::move(expected)});
    };
    add("package", od::WrapPackage("sample" + extension, "C:\\docs\\sample" + extension, document));
    add("bare value", od::BareLongBinary(document));
    if (info.format == od::DocumentFormat::Bmp) {
      add("Paintbrush object", od::WrapPaintbrushBitmap(document));
      // A pasted picture: the bitmap file header is rebuilt in front of the DIB.
      const od::Bytes value = od::WrapStaticDib(document);
      od::Bytes expected(kBitmapFileHeader.begin(), kBitmapFileHeader.end());
      const od::Bytes dib(document.begin() + 14, document.end());
      const od::Bytes tail = expectFrom(value, dib);
      expected.insert(expected.end(), tail.begin(), tail.end());
      records.push_back({"bmp as static picture", ".bmp", value, expected});
    }
    if (info.format == od::DocumentFormat::Pdf)
      add("Acrobat object", od::WrapPdfDocument(document));
  }

  ScratchDir dir;
  const std::string database = dir / "formats.mdb";
  {
    jet::MdbWriter writer(database);
    auto& table = writer.AddTable(
        {"Docs", {{"id", jet::ColumnType::Long}, {"doc", jet::ColumnType::OleObject}}});
    for (std::size_t i = 0; i < records.size(); ++i)
      table.AddRow({static_cast<std::int64_t>(i + 1), jet::ByteView{records[i].value}});
    writer.Finish();
  }
  const fs::path out = dir.Path() / "out";
  RecordingHost host;
  host.inputs.database = database;
  host.inputs.table = "Docs";
  host.inputs.blobField = "doc";
  host.inputs.nameField1 = "id";
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = out.string() + "/";
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_EQ(report.recordsVisited, static_cast<std::int64_t>(records.size()));
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(records[i].label);
    const fs::path file = out / (std::to_string(i + 1) + records[i].extension);
    ASSERT_TRUE(fs::exists(file)) << "missing " << file
                                  << "; written: " << ::testing::PrintToString(Files(out));
    EXPECT_TRUE(ReadFileBytes(file) == records[i].expectedFile);
  }
}

// An empty table, NULL and empty blobs, a 10 MB blob over many pages.
TEST(RunEndToEnd, EmptyNullAndLargeBlobs) {
  ScratchDir dir;
  const std::string database = MakeThingsDatabase(dir);
  struct Case {
    std::string table, blob, name;
    std::int64_t visited;
    std::vector<std::string> files;
  };
  for (const Case& c :
       {Case{"Empty", "Pic", "ID", 0, {}}, Case{"Things", "Pic", "ID", 3, {"1.dmp"}},
        Case{"blobs", "IMG", "ID", 4, {"1.dmp", "2.dmp", "4.dmp"}}}) {
    SCOPED_TRACE(c.table);
    const fs::path out = dir.Path() / ("out-" + c.table);
    RecordingHost host;
    host.inputs.database = database;
    host.inputs.table = c.table;
    host.inputs.blobField = c.blob;
    host.inputs.nameField1 = c.name;
    host.inputs.filterValue = "*";
    host.inputs.outputDirectory = out.string() + "/";
    const RunReport report = RunOnRealComponents(host);
    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(report.recordsVisited, c.visited);
    EXPECT_EQ(host.log.size(), 2 + c.files.size());
    EXPECT_NE(host.log.back().find(" - " + c.table + " (" + std::to_string(c.visited) + ")"),
              std::string::npos);
    EXPECT_EQ(host.status, "ok");
    EXPECT_EQ(fs::exists(out) ? Files(out) : std::vector<std::string>{}, c.files);
  }
  const auto big = ReadFileBytes(dir.Path() / "out-blobs" / "4.dmp");
  EXPECT_TRUE(big == PatternBytes(10 * 1000 * 1000, 3));
}

// A damaged value is neither passed as an empty blob nor the end of the run:
// its record is logged and skipped, the readable records are written, and
// the run completes saying that the database is damaged.
TEST(RunEndToEnd, DamagedBlobSkipsItsRecordAndTheRunSaysSo) {
  ScratchDir dir;
  const std::string database = MakeThingsDatabase(dir);
  DamageMiddlePages(database);
  const fs::path out = dir.Path() / "out";
  RecordingHost host;
  host.inputs.database = database;
  host.inputs.table = "Blobs";
  host.inputs.blobField = "img";
  host.inputs.nameField1 = "id";
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = out.string() + "/";
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_TRUE(report.damaged);
  EXPECT_GE(report.recordsUnreadable, 1);
  EXPECT_EQ(report.recordsRead + report.recordsUnreadable, 4);
  EXPECT_EQ(host.status,
            std::to_string(report.recordsRead) + " of 4 records read; the database is damaged");
  const std::vector<std::string> files = Files(out);
  EXPECT_EQ(static_cast<std::int64_t>(files.size()), report.filesWritten);
  EXPECT_TRUE(std::ranges::find(files, "1.dmp") != files.end());
  EXPECT_TRUE(std::ranges::find(files, "2.dmp") != files.end());
  // The damaged record wrote nothing: every file written is whole.
  EXPECT_EQ(ReadFileBytes(out / "1.dmp"), PatternBytes(10));
}

// Unwrapped, every Northwind picture is its Paintbrush bitmap up to the size
// the bitmap's own header states, and the manifest lists each one with that
// size and digest.
TEST(RunEndToEnd, NorthwindPicturesUnwrappedAreTheBitmapsUpToTheirOwnSize) {
  for (const auto& [table, blobField, nameField, count] :
       {std::tuple<std::string, std::string, std::string, int>{"Categories", "Picture",
                                                               "CategoryID", 8},
        {"Employees", "Photo", "EmployeeID", 9}}) {
    SCOPED_TRACE(table);
    ScratchDir out;
    RecordingHost host;
    host.inputs.database = kFixtures + "nwind.mdb";
    host.inputs.table = table;
    host.inputs.blobField = blobField;
    host.inputs.nameField1 = nameField;
    host.inputs.filterValue = "*";
    host.inputs.outputDirectory = out.Path().string() + "/";
    host.inputs.unwrap = true;
    host.inputs.manifestPath = out.Path().string() + "/manifest.jsonl";
    const RunReport report = RunOnRealComponents(host);
    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(report.filesWritten, count);

    std::ifstream manifest(host.inputs.manifestPath);
    std::vector<std::string> rows;
    for (std::string line; std::getline(manifest, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(count));

    const auto values = BlobValues(kFixtures + "nwind.mdb", table, blobField);
    ASSERT_EQ(values.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(i);
      const std::vector<std::byte>& value = values[static_cast<std::size_t>(i)];
      const oledocs::AccessOleLayout layout = oledocs::ParseAccessOleValue(value);
      const std::uint32_t bitmapSize = oledocs::ReadU32(value, layout.dataOffset + 2);
      ASSERT_LT(bitmapSize, layout.dataSize + 1);
      const std::vector<std::byte> expected(
          value.begin() + static_cast<std::ptrdiff_t>(layout.dataOffset),
          value.begin() + static_cast<std::ptrdiff_t>(layout.dataOffset + bitmapSize));
      const std::string name = std::to_string(i + 1) + ".bmp";
      EXPECT_EQ(ReadFileBytes(out.Path() / name), expected);
      EXPECT_NE(
          rows[static_cast<std::size_t>(i)].find("\"bytes\":" + std::to_string(bitmapSize) + ","),
          std::string::npos);
      QImage image;
      EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(expected.data()),
                                     static_cast<int>(expected.size())));
    }
  }
}

}  // namespace
}  // namespace corvid
