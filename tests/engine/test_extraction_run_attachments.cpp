// The extraction run over an attachment field: every attached file of a
// record is written under the record's name and its own, with its own bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/extraction_run.h"
#include "engine/run_manifest.h"
#include "SrcLib/file_names.h"
#include "support_run_doubles.h"

namespace corvid {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FakeAttachment;
using testing::FakeAttachments;
using testing::FakeBlob;
using testing::FakeConnection;
using testing::FakeHost;
using testing::FakeTable;
using ::testing::HasSubstr;
using testing::ScratchDir;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) + "jpeg body";
const std::string kPdf = "%PDF-1.4 a document";

class AttachmentRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.inputs.database = "/data/archive.accdb";
        host_.inputs.table = "table";
        host_.inputs.blobField = "Files";
        host_.inputs.nameField1 = "id";
        host_.inputs.nameField2 = "suffix";
        host_.inputs.filterValue = "*";
        host_.inputs.outputDirectory = dir_.Prefix();
        table_.fields = {"id", "Files", "suffix"};
    }

    void AddRecord(const std::string& id, std::vector<FakeAttachment> files,
                   const std::string& suffix = "") {
        table_.rows.push_back({id, FakeAttachments{std::move(files)}, suffix});
    }

    RunReport Run() { return RunExtraction(host_, connection_, table_); }
    std::string Out(const std::string& name) const { return dir_.Prefix() + name; }
    // The log between the heading and the closing line.
    std::vector<std::string> Body() const {
        return std::vector<std::string>(host_.log.begin() + 1, host_.log.end() - 1);
    }

    ScratchDir dir_;
    FakeHost host_;
    FakeConnection connection_;
    FakeTable table_;
};

TEST_F(AttachmentRunTest, EveryFileOfEveryRecordIsWrittenWithItsOwnNameAndBytes) {
    const std::string big(3 * 1024 * 1024 + 17, 'z');  // more than one copy buffer
    AddRecord("1", {});
    AddRecord("2", {{"attachment1.txt", FakeBlob{"Attachment 1"}}});
    AddRecord("7",
              {{"scan 0001.pdf", FakeBlob{kPdf, 3}},
               {"photo", FakeBlob{kJpeg}},
               {"big.bin", FakeBlob{big}}},
              "x");
    const RunReport report = Run();

    EXPECT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(report.recordsVisited, 3);
    EXPECT_EQ(report.attachmentsWritten, 4);
    EXPECT_EQ(report.filesWritten, 4);
    EXPECT_EQ(report.emptyBlobs, 1);  // the record without attachments
    EXPECT_EQ(report.damagedAttachments, 0);
    const std::map<std::string, std::string> expected{
        {"2_attachment1.txt", "Attachment 1"},
        {"7x_scan_0001.pdf", kPdf},
        {"7x_photo.jpg",
         kJpeg},  // no extension in the name: recognition gives it, the bytes stay whole
        {"7x_big.bin", big},
    };
    EXPECT_EQ(dir_.Files(), expected);
    EXPECT_THAT(Body(), ElementsAre(Out("2_attachment1.txt"), Out("7x_scan_0001.pdf"),
                                    Out("7x_photo.jpg"), Out("7x_big.bin")));
    EXPECT_EQ(report.bytesWritten,
              static_cast<std::int64_t>(12 + kPdf.size() + kJpeg.size() + big.size()));
    EXPECT_EQ(table_.openBlobStreams, 0);  // the attachment field is never read as one blob
}

TEST_F(AttachmentRunTest, WithField1AsFileNameTheAttachmentsOwnNameIsUsed) {
    host_.inputs.nameFromField1 = true;
    AddRecord("7", {{"C:\\scans\\scan 0001.PDF", FakeBlob{kPdf}}, {"photo", FakeBlob{kJpeg}}},
              "ignored");
    const RunReport report = Run();
    EXPECT_TRUE(report.completed) << report.failure;
    // As for a field 1 without extension, recognition is off: ".dmp".
    const std::map<std::string, std::string> expected{{"scan_0001.PDF", kPdf},
                                                      {"photo.dmp", kJpeg}};
    EXPECT_EQ(dir_.Files(), expected);
}

TEST_F(AttachmentRunTest, UnknownFileWithoutExtensionFollowsSkipUnknown) {
    AddRecord("1",
              {{"mystery", FakeBlob{"no signature"}}, {"known.txt", FakeBlob{"no signature"}}});
    RunReport report = Run();
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{{"1_mystery.dmp", "no signature"},
                                                                {"1_known.txt", "no signature"}}));
    host_.inputs.skipUnknown = true;
    host_.log.clear();
    ScratchDir other;
    host_.inputs.outputDirectory = other.Prefix();
    report = Run();
    EXPECT_EQ(report.skippedUnknown, 1);
    EXPECT_EQ(report.attachmentsWritten, 1);
    EXPECT_EQ(other.Files(), (std::map<std::string, std::string>{{"1_known.txt", "no signature"}}));
}

TEST_F(AttachmentRunTest, ADamagedFileIsReportedAndLeftOutAndTheRunGoesOn) {
    host_.inputs.manifestPath = dir_.Prefix() + "manifest.csv";
    AddRecord("1", {{"a.txt", FakeBlob{"first"}},
                    {"broken.pdf", FakeBlob{std::string(5000, 'p'), 100}, 2000},  // fails mid-file
                    {"closed.txt", FakeBlob{"x"}, 0},   // fails on opening
                    {"unnamed", FakeBlob{kJpeg}, 4}});  // fails while recognising
    AddRecord("2", {{"b.txt", FakeBlob{"second"}}});
    const RunReport report = Run();

    EXPECT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(report.recordsVisited, 2);
    EXPECT_EQ(report.attachmentsWritten, 2);
    EXPECT_EQ(report.damagedAttachments, 3);
    std::map<std::string, std::string> files = dir_.Files();
    files.erase("manifest.csv");
    EXPECT_EQ(files,
              (std::map<std::string, std::string>{{"1_a.txt", "first"}, {"2_b.txt", "second"}}));
    EXPECT_THAT(
        Body(),
        ElementsAre(Out("1_a.txt"),
                    Out("1_broken.pdf") + ": damaged after 2000 bytes (not written)",
                    Out("1_closed.txt") + ": damaged on opening (not written)",
                    Out("1_unnamed") + ": damaged after 4 bytes (not written)", Out("2_b.txt")));
    const std::string manifest = testing::ReadFile(dir_.Path() / "manifest.csv");
    EXPECT_THAT(manifest, HasSubstr("damaged"));
    EXPECT_THAT(manifest, HasSubstr("broken.pdf"));
}

TEST_F(AttachmentRunTest, TheFilterAndTheFilterDirectoryApplyPerRecord) {
    host_.inputs.filterField = "suffix";
    host_.inputs.filterValue = "keep";
    host_.inputs.filterAsDirectory = true;
    AddRecord("1", {{"a.txt", FakeBlob{"a"}}}, "keep");
    AddRecord("2", {{"b.txt", FakeBlob{"b"}}}, "drop");
    const RunReport report = Run();
    EXPECT_EQ(report.rejectedByFilter, 1);
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{{"keep/1keep_a.txt", "a"}}));
}

}  // namespace
}  // namespace corvid
