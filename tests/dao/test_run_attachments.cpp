// The extraction run over attachment fields on the real connection and
// table: every attached file is written under the record's name and its own
// name, with its own bytes (checked against libmdb's reading of the hidden
// table, decoded with zlib on its own); a damaged file is reported and left
// out while the run goes on.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dao/engine/dao_constants.h"
#include "jet/mdb_writer.h"
#include "jet/reader/database.h"
#include "tests/dao/attachment_oracle.h"
#include "tests/dao/test_table_support.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

using namespace testing_support;
using testing_attachments::OracleAttachments;
namespace fs = std::filesystem;

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  if (!fs::exists(dir)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

RecordingHost AttachmentRun(const std::string& database, const std::string& field,
                            const fs::path& out, const std::string& nameField = "ID") {
  RecordingHost host;
  host.inputs.database = database;
  host.inputs.table = "Table1";
  host.inputs.blobField = field;
  host.inputs.nameField1 = nameField;
  host.inputs.filterValue = "*";
  host.inputs.outputDirectory = out.string() + "/";
  return host;
}

TEST(RunAttachments, EveryAttachedFileIsWrittenUnderTheRecordAndItsOwnName) {
  ScratchDir dir;
  const fs::path out = dir.Path() / "out";
  const std::string database = kFixtures + "attachments.accdb";
  RecordingHost host = AttachmentRun(database, "Attachments", out);
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_EQ(host.status, "ok");
  EXPECT_EQ(report.recordsVisited, 3);
  EXPECT_EQ(report.attachmentsWritten, 4);
  EXPECT_EQ(report.filesWritten, 4);
  EXPECT_EQ(report.emptyBlobs, 1);  // record 1 has no attachment
  EXPECT_EQ(report.damagedAttachments, 0);
  EXPECT_EQ(Files(out), (std::vector<std::string>{"2_attachment1.txt", "3_attachment1.txt",
                                                  "3_attachment2.txt", "3_attachment3.txt"}));
  // The heading, one line per written file in stored order, the closing line.
  const std::string prefix = out.string() + "/";
  ASSERT_EQ(host.log.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(host.log.begin() + 1, host.log.end() - 1),
            (std::vector<std::string>{prefix + "2_attachment1.txt", prefix + "3_attachment1.txt",
                                      prefix + "3_attachment2.txt", prefix + "3_attachment3.txt"}));
  EXPECT_NE(host.log.back().find(" - Table1 (3)"), std::string::npos) << host.log.back();

  const auto oracle =
      OracleAttachments(database, "f_F42896D510474144890B9076E2CD27D9_Field1", "_Field1");
  for (const auto& [key, files] : oracle)
    for (const auto& [name, bytes] : files) {
      SCOPED_TRACE(name);
      EXPECT_EQ(ReadFileBytes(out / (std::to_string(key) + "_" + name)), bytes);
    }
}

TEST(RunAttachments, FileNamesFromField1AndTheComplexDataFile) {
  ScratchDir dir;
  const fs::path out = dir.Path() / "out";
  const std::string database = kFixtures + "complexDataTestV2007.accdb";
  RecordingHost host = AttachmentRun(database, "attach-data", out, "id");
  host.inputs.nameFromField1 = true;
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  // Rows 2 and 4 hold files; both have a "test_data2.txt".
  EXPECT_EQ(report.attachmentsWritten, 3);
  // With the name from field 1 the attachment's own name replaces it, so
  // the two files of the same name meet at one path, and the run says so.
  EXPECT_EQ(Files(out), (std::vector<std::string>{"test_data.txt", "test_data2.txt"}));
  EXPECT_EQ(report.duplicatePaths, 1);
  const auto oracle =
      OracleAttachments(database, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data", "_attach-data");
  EXPECT_EQ(ReadFileBytes(out / "test_data.txt"), oracle.at(2).at("test_data.txt"));
  EXPECT_EQ(ReadFileBytes(out / "test_data2.txt"), oracle.at(4).at("test_data2.txt"));

  // Names as usual: the record's name base, "_", the file's own name.
  ScratchDir second;
  RecordingHost named = AttachmentRun(database, "attach-data", second.Path(), "id");
  ASSERT_TRUE(RunOnRealComponents(named).completed);
  EXPECT_EQ(Files(second.Path()),
            (std::vector<std::string>{"row2_test_data.txt", "row2_test_data2.txt",
                                      "row4_test_data2.txt"}));
}

// A multi-value field holds values, not documents: the run says so instead
// of writing the keys as files.
TEST(RunAttachments, AMultiValueFieldIsNoDocumentField) {
  ScratchDir dir;
  RecordingHost host = AttachmentRun(kFixtures + "complexDataTestV2007.accdb", "multi-value-data",
                                     dir.Path() / "out", "id");
  const RunReport report = RunOnRealComponents(host);
  EXPECT_FALSE(report.completed);
  EXPECT_NE(report.failure.find("'multi-value-data' is a multi-value field"), std::string::npos)
      << report.failure;
  EXPECT_TRUE(Files(dir.Path() / "out").empty());
}

// A damaged compressed value in a copy: that file is reported and left out,
// the record's other file and the other records are written, and the run
// completes saying the database is damaged.
TEST(RunAttachments, ADamagedAttachmentIsReportedAndSkipped) {
  ScratchDir dir;
  const std::string original = kFixtures + "complexDataTestV2007.accdb";
  const std::string flat = "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data";
  const auto stored = testing_attachments::StoredFileData(original, flat, "test_data.txt");
  std::vector<std::byte> image = ReadFileBytes(original);
  const auto at = std::search(image.begin(), image.end(), stored.begin(), stored.end());
  ASSERT_NE(at, image.end());
  at[static_cast<std::ptrdiff_t>(stored.size()) - 10] ^= std::byte{0x21};  // deflate data
  const fs::path copy = dir.Path() / "damaged.accdb";
  {
    FILE* f = std::fopen(copy.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    std::fclose(f);
  }
  const fs::path out = dir.Path() / "out";
  RecordingHost host = AttachmentRun(copy.string(), "attach-data", out, "id");
  const RunReport report = RunOnRealComponents(host);
  ASSERT_TRUE(report.completed) << report.failure;
  EXPECT_TRUE(report.damaged);
  EXPECT_EQ(report.damagedAttachments, 1);
  EXPECT_EQ(report.attachmentsWritten, 2);
  EXPECT_EQ(Files(out), (std::vector<std::string>{"row2_test_data2.txt", "row4_test_data2.txt"}));
  const auto line = std::find_if(host.log.begin(), host.log.end(), [](const std::string& l) {
    return l.find("row2_test_data.txt: ") != std::string::npos;
  });
  ASSERT_NE(line, host.log.end());
  EXPECT_NE(line->find("Table \"Table1\""), std::string::npos) << *line;
  EXPECT_NE(line->find("the attachment \"test_data.txt\" of record 2"), std::string::npos) << *line;
  EXPECT_NE(line->find("(not written)"), std::string::npos) << *line;
  EXPECT_NE(host.status.find("damaged"), std::string::npos) << host.status;
  EXPECT_EQ(ReadFileBytes(out / "row2_test_data2.txt"),
            OracleAttachments(original, flat, "_attach-data").at(2).at("test_data2.txt"));
}

// A column of a type the engine does not read (its type byte changed in the
// table definition of a written file) keeps its number; named as the field
// with the documents or as a name field it stops the run with a message
// naming the column and the number, and nothing is written.
TEST(RunAttachments, AColumnOfAnUnknownTypeStopsTheRunNamingItsTypeNumber) {
  ScratchDir dir;
  const std::string path = (dir.Path() / "odd.mdb").string();
  {
    jet::MdbWriter writer(path);
    auto& table = writer.AddTable(
        {"Table1", {{"ID", jet::ColumnType::Long}, {"odd", jet::ColumnType::Binary, 8}}});
    table.AddRow({std::int64_t{1}, jet::Bytes{std::byte{1}, std::byte{2}}});
    writer.Finish();
  }
  std::uint32_t page = 0;
  std::uint32_t pageSize = 0;
  {
    auto reader = jet::reader::Database::Open(path);
    page = reader.OpenTable("Table1").Definition().page;
    pageSize = static_cast<std::uint32_t>(reader.Format().pageSize);
  }
  std::vector<std::byte> image = ReadFileBytes(path);
  // Jet 4: the column entries (25 bytes, the type first) follow the 63-byte
  // header of a table without indexes.
  const std::size_t first = std::size_t{page} * pageSize + 63, second = first + 25;
  ASSERT_LT(second, image.size());
  ASSERT_EQ(image[first], std::byte{0x04});   // ID: Long
  ASSERT_EQ(image[second], std::byte{0x09});  // odd: Binary
  image[second] = std::byte{0x14};
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    std::fclose(f);
  }

  for (const auto& [blob, name] :
       {std::pair<std::string, std::string>{"odd", "ID"}, {"ID", "odd"}}) {
    SCOPED_TRACE(blob + "/" + name);
    const fs::path out = dir.Path() / ("out-" + blob);
    RecordingHost host = AttachmentRun(path, blob, out, name);
    const RunReport report = RunOnRealComponents(host);
    EXPECT_FALSE(report.completed);
    EXPECT_NE(report.failure.find(
                  "The field 'odd' has a column type that Corvid does not read (type number 0x14)"),
              std::string::npos)
        << report.failure;
    EXPECT_TRUE(Files(out).empty());
  }
}

}  // namespace
}  // namespace corvid
