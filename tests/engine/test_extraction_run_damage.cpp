// The extraction run over a damaged database: every record that can be read
// is written, each damaged record or page gets one log line, damaged records
// are skipped and counted, and the end says "N of M records read; the
// database is damaged" in red. Failures that are not damage still end the
// run early. Also: names longer than the file system holds, and output
// directories that cannot be made.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "engine/extraction_run.h"
#include "engine/output_naming.h"
#include "support_run_doubles.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using testing::FakeBlob;
using testing::FakeConnection;
using testing::FakeHost;
using testing::FakeTable;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::ScratchDir;
namespace fs = std::filesystem;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) + "jpeg body";

constexpr int kImg = 1;  // field positions of the table below
constexpr int kId = 0;

class DamagedRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.inputs.database = "/data/photos.mdb";
        host_.inputs.table = "table";
        host_.inputs.blobField = "img";
        host_.inputs.nameField1 = "id";
        host_.inputs.filterValue = "*";
        host_.inputs.outputDirectory = dir_.Prefix();
        table_.fields = {"id", "img"};
    }

    void AddRecords(int count) {
        for (int i = 1; i <= count; ++i)
            table_.rows.push_back({std::to_string(i), FakeBlob(kJpeg + std::to_string(i))});
    }

    RunReport Run() { return RunExtraction(host_, connection_, table_); }

    // The files written, by name (no temporaries left behind).
    std::vector<std::string> Written() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : dir_.Files()) names.push_back(name);
        return names;
    }

    // The run completed over damage: closing line with the records visited,
    // the red status, the counts, everything released.
    void ExpectDamaged(const RunReport& report, std::int64_t visited, std::int64_t read,
                       std::int64_t unreadable) {
        EXPECT_TRUE(report.completed) << report.failure;
        EXPECT_TRUE(report.damaged);
        EXPECT_EQ(report.recordsVisited, visited);
        EXPECT_EQ(report.recordsRead, read);
        EXPECT_EQ(report.recordsUnreadable, unreadable);
        ASSERT_FALSE(host_.log.empty());
        EXPECT_TRUE(std::regex_match(
            host_.log.back(),
            std::regex(R"(\d\d:\d\d:\d\d - table \()" + std::to_string(visited) + R"(\))")))
            << host_.log.back();
        ASSERT_EQ(host_.statuses.size(), 1u);
        EXPECT_EQ(host_.statuses.back(),
                  (std::pair<std::string, Colour>{std::to_string(read) + " of " +
                                                      std::to_string(read + unreadable) +
                                                      " records read; the database is damaged",
                                                  kRed}));
        EXPECT_FALSE(table_.active);
        EXPECT_FALSE(connection_.connected);
        EXPECT_FALSE(host_.busy);
    }

    // The log without its heading and closing lines.
    std::vector<std::string> Body() const {
        if (host_.log.size() < 2) return {};
        return {host_.log.begin() + 1, host_.log.end() - 1};
    }

    ScratchDir dir_;
    FakeHost host_;
    FakeConnection connection_;
    FakeTable table_;
};

TEST_F(DamagedRunTest, ADamagedValueSkipsItsRecordAndTheRunGoesOn) {
    AddRecords(5);
    // Record 2: the blob cannot be opened; 3: its name cannot be read;
    // 4: the blob breaks off after a few bytes.
    table_.damagedCells[{1, kImg}] =
        "Table 'table', page 44, row 1, field 'img': the long-value chain loops back.";
    table_.damagedCells[{2, kId}] =
        "Table 'table', page 12, row 2, field 'id': the row runs past its page.";
    FakeBlob broken(kJpeg + "4 and much more");
    broken.damagedAfter = 5;
    broken.damage = "Table 'table', page 45, row 3, field 'img': page 46 is not a long-value page.";
    table_.rows[3][kImg] = broken;

    const RunReport report = Run();
    ExpectDamaged(report, 5, 2, 3);
    EXPECT_THAT(
        Body(),
        ElementsAre(dir_.Prefix() + "1.jpg",
                    "Table 'table', page 44, row 1, field 'img': the long-value chain loops back.",
                    "Table 'table', page 12, row 2, field 'id': the row runs past its page.",
                    "Table 'table', page 45, row 3, field 'img': page 46 is not a long-value page.",
                    dir_.Prefix() + "5.jpg"));
    // Nothing, not even part of a file, for the damaged records.
    EXPECT_THAT(Written(), ElementsAre("1.jpg", "5.jpg"));
    EXPECT_EQ(report.filesWritten, 2);
    EXPECT_EQ(report.damageLines, 3);
}

TEST_F(DamagedRunTest, RecordsTheTableListsButNeverShowsCountAsUnreadable) {
    struct Case {
        std::int64_t listed;
        bool damaged;
        std::int64_t unreadable;
    };
    // Listed: unknown, fewer than found (the count is stale, not damage),
    // as many as found, more than found.
    for (const Case c :
         {Case{-1, false, 0}, Case{2, false, 0}, Case{3, false, 0}, Case{9, true, 6}}) {
        SCOPED_TRACE(c.listed);
        host_ = FakeHost{};
        host_.inputs.database = "/data/photos.mdb";
        host_.inputs.table = "table";
        host_.inputs.blobField = "img";
        host_.inputs.nameField1 = "id";
        host_.inputs.outputDirectory = dir_.Prefix();
        table_.rows.clear();
        AddRecords(3);
        table_.listed = c.listed;
        const RunReport report = Run();
        EXPECT_TRUE(report.completed);
        EXPECT_EQ(report.damaged, c.damaged);
        EXPECT_EQ(report.recordsRead, 3);
        EXPECT_EQ(report.recordsUnreadable, c.unreadable);
        EXPECT_EQ(report.recordsListed, c.listed);
        ASSERT_EQ(host_.statuses.size(), 1u);
        if (c.damaged)
            EXPECT_EQ(host_.statuses[0],
                      (std::pair<std::string, Colour>{
                          "3 of 9 records read; the database is damaged", kRed}));
        else
            EXPECT_EQ(host_.statuses[0], (std::pair<std::string, Colour>{"ok", kButtonFace}));
    }
}

TEST_F(DamagedRunTest, DamageNotesAreLoggedWhereTheyAppearAndMakeTheRunDamaged) {
    AddRecords(3);
    table_.notesAtOpen = {
        "Table 'table': usage map page 7 is not a usage map; the data pages were searched."};
    table_.notesAt[1] = {"Table 'table', page 30: not a data page of this table; skipped."};
    table_.notesAt[3] = {"Table 'table', page 31, row 0: row offsets overlap; skipped."};

    const RunReport report = Run();
    // No record was lost that the run could count, but the file is damaged.
    ExpectDamaged(report, 3, 3, 0);
    EXPECT_THAT(
        Body(),
        ElementsAre(
            "Table 'table': usage map page 7 is not a usage map; the data pages were searched.",
            dir_.Prefix() + "1.jpg",
            "Table 'table', page 30: not a data page of this table; skipped.",
            dir_.Prefix() + "2.jpg", dir_.Prefix() + "3.jpg",
            "Table 'table', page 31, row 0: row offsets overlap; skipped."));
    EXPECT_EQ(report.damageLines, 3);
}

TEST_F(DamagedRunTest, ANoteRepeatingTheErrorJustLoggedIsNotLoggedTwice) {
    AddRecords(2);
    const std::string damage =
        "Table 'table', page 44, row 0, field 'img': the long-value chain loops back.";
    table_.damagedCells[{0, kImg}] = damage;
    table_.notesAt[1] = {damage};  // the database notes the same record when the cursor moves on
    table_.listed = 2;
    const RunReport report = Run();
    ExpectDamaged(report, 2, 1, 1);
    EXPECT_THAT(Body(), ElementsAre(damage, dir_.Prefix() + "2.jpg"));
}

TEST_F(DamagedRunTest, AStepOntoARecordThatFailsCountsItAndTheWalkGoesOn) {
    AddRecords(4);
    table_.unreachableRows[1] =
        "Table 'table', page 20, row 5: the row's offset points outside the page.";
    table_.listed = 4;
    const RunReport report = Run();
    // Records 1, 3 and 4 were visited; record 2 was never reached.
    ExpectDamaged(report, 3, 3, 1);
    EXPECT_THAT(Written(), ElementsAre("1.jpg", "3.jpg", "4.jpg"));
    EXPECT_THAT(
        Body(),
        ElementsAre(dir_.Prefix() + "1.jpg",
                    "Table 'table', page 20, row 5: the row's offset points outside the page.",
                    dir_.Prefix() + "3.jpg", dir_.Prefix() + "4.jpg"));
}

TEST_F(DamagedRunTest, AStepThatKeepsFailingTheSameWayEndsTheWalkNotTheRun) {
    AddRecords(6);
    table_.stuckAfter = 1;  // from record 2 on, nothing can be reached
    table_.listed = 6;
    const RunReport report = Run();
    // Two visited; the failed step counts one record, the table lists three more.
    ExpectDamaged(report, 2, 2, 4);
    EXPECT_EQ(table_.nextCalls, 3);  // one step, one failure, one retry that failed the same way
    EXPECT_THAT(Written(), ElementsAre("1.jpg", "2.jpg"));
    EXPECT_THAT(Body(), ElementsAre(dir_.Prefix() + "1.jpg", dir_.Prefix() + "2.jpg",
                                    "row after 1 cannot be reached"));
}

TEST_F(DamagedRunTest, AFailureThatIsNotDamageStillEndsTheRunEarly) {
    AddRecords(3);
    table_.damagedCells[{0, kImg}] =
        "Table 'table', page 44, row 0, field 'img': the long-value chain loops back.";
    // The second record's output cannot be created: a directory is in the way.
    fs::create_directory(dir_.Path() / "2.jpg");
    table_.listed = 3;
    const RunReport report = Run();
    EXPECT_FALSE(report.completed);
    EXPECT_FALSE(report.damaged);
    EXPECT_THAT(report.failure, HasSubstr("2.jpg"));
    ASSERT_EQ(host_.statuses.size(), 1u);
    EXPECT_EQ(host_.statuses[0].first, report.failure);
    EXPECT_EQ(host_.statuses[0].second, kRed);
    EXPECT_EQ(host_.log.back(), report.failure);  // no closing line
    EXPECT_FALSE(table_.active);
}

TEST_F(DamagedRunTest, TheManifestMarksSkippedRecordsUnreadable) {
    AddRecords(3);
    table_.damagedCells[{1, kImg}] =
        "Table 'table', page 44, row 1, field 'img': the long-value chain loops back.";
    host_.inputs.manifestPath = dir_.Prefix() + "manifest.csv";
    const RunReport report = Run();
    ExpectDamaged(report, 3, 2, 1);
    const std::string manifest = ReadFile(dir_.Path() / "manifest.csv");
    EXPECT_THAT(manifest, HasSubstr("table,img,2,,,unreadable,"));
    EXPECT_THAT(manifest, Not(HasSubstr("failed")));
}

// ---- names and directories

TEST_F(DamagedRunTest, ANameLongerThanTheFileSystemHoldsIsShortenedAndLogged) {
    std::string accents;  // 200 two-byte characters
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
    struct Case {
        std::string name1;
        bool nameFromField1;
        bool dump;
        std::string written;  // the name the file gets
    };
    const std::vector<Case> cases = {
        // The recognised extension stays; the dump copy's ".dmp" must fit too.
        {std::string(300, 'a'), false, false, std::string(251, 'a') + ".jpg"},
        {std::string(300, 'a'), false, true, std::string(247, 'a') + ".jpg"},
        // A name from field 1 whose (uncleaned) extension is too long to
        // keep: cut before the character that would not fit whole.
        {"x." + accents, true, false, "x." + accents.substr(0, 252)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.size());
        ScratchDir out;
        host_.log.clear();
        host_.statuses.clear();
        host_.inputs.outputDirectory = out.Prefix();
        host_.inputs.nameFromField1 = c.nameFromField1;
        host_.inputs.dumpCopy = c.dump;
        table_.rows = {{c.name1, FakeBlob(kJpeg)}, {"next", FakeBlob(kJpeg)}};
        const RunReport report = Run();
        ASSERT_TRUE(report.completed) << report.failure;
        EXPECT_FALSE(report.damaged);
        EXPECT_EQ(report.filesWritten, 2);
        ASSERT_TRUE(fs::exists(out.Path() / c.written)) << ::testing::PrintToString(host_.log);
        EXPECT_EQ(ReadFile(out.Path() / c.written), kJpeg);
        std::error_code tooLong;  // without a dump copy the name may be too long to ask about
        EXPECT_EQ(fs::exists(out.Path() / (c.written + ".dmp"), tooLong), c.dump);
        const std::string wanted = c.nameFromField1 ? c.name1 : c.name1 + ".jpg";
        ASSERT_EQ(host_.log.size(), 5u);
        EXPECT_EQ(host_.log[1], out.Prefix() + wanted + ": the name is " +
                                    std::to_string(wanted.size()) +
                                    " bytes long, more than the file system holds; written as " +
                                    out.Prefix() + c.written);
        EXPECT_EQ(host_.log[2], out.Prefix() + c.written);
        EXPECT_THAT(host_.log[3], ::testing::StartsWith(out.Prefix() + "next"));
    }
}

TEST_F(DamagedRunTest, AFilterDirectoryNameLongerThanTheFileSystemHoldsIsShortenedOnce) {
    table_.fields = {"id", "img", "group"};
    const std::string group(300, 'g');
    table_.rows = {{"1", FakeBlob(kJpeg), group}, {"2", FakeBlob(kJpeg), group}};
    host_.inputs.filterField = "group";
    host_.inputs.filterAsDirectory = true;
    const RunReport report = Run();
    ASSERT_TRUE(report.completed) << report.failure;
    const std::string shortened = dir_.Prefix() + std::string(255, 'g') + "/";
    EXPECT_TRUE(fs::exists(shortened + "1.jpg"));
    EXPECT_TRUE(fs::exists(shortened + "2.jpg"));
    EXPECT_THAT(Body(), ElementsAre(dir_.Prefix() + group +
                                        "/: the name is 300 bytes long, more than the file "
                                        "system holds; written as " +
                                        shortened,
                                    shortened + "1.jpg", shortened + "2.jpg"));
}

TEST_F(DamagedRunTest, ADirectoryThatCannotBeMadeIsReportedWithItsOwnReason) {
    AddRecords(1);
    testing::WriteFile(dir_.Path() / "plain", "a file where a directory should be");
    host_.inputs.outputDirectory = dir_.Prefix() + "plain/out/";
    const RunReport report = Run();
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.failure,
              "Cannot create directory \"" + dir_.Prefix() + "plain\". Not a directory");
    EXPECT_EQ(host_.log.back(), report.failure);
}

TEST_F(DamagedRunTest, ADirectoryThatCannotBeMadeDoesNotMatterWhenNothingIsWritten) {
    // An empty blob writes nothing, so its directory is not needed.
    table_.rows.push_back({"1", FakeBlob()});
    testing::WriteFile(dir_.Path() / "plain", "x");
    host_.inputs.outputDirectory = dir_.Prefix() + "plain/out/";
    const RunReport report = Run();
    EXPECT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(report.emptyBlobs, 1);
}

TEST(FitFileName, CutsTheNameAtACharacterAndKeepsTheExtension) {
    const std::string e = "\xC3\xA9";         // two bytes
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    struct Case {
        std::string path;
        std::size_t longest;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/out/short.jpg", 10, "/out/short.jpg"},        // fits exactly (9 bytes)
        {"/out/abcdefghij.jpg", 10, "/out/abcdef.jpg"},  // ASCII: cut anywhere
        {"/out/" + e + e + e + e + ".jpg", 9,
         "/out/" + e + e + ".jpg"},                                    // 5 bytes left: 2 characters
        {"/out/" + euro + euro + ".png", 9, "/out/" + euro + ".png"},  // never half a character
        {"abcdefghijkl", 10, "abcdefghij"},                            // no directory, no extension
        {"/out/name.averyveryverylongextension", 10,
         "/out/name.avery"},                              // an extension too long to keep
        {"/out/.hiddenfilename", 10, "/out/.hiddenfil"},  // a leading dot is no extension
        {"/a.b/abcdefghijkl", 10, "/a.b/abcdefghij"},  // a dot in the directory is not an extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string fitted = FitFileName(c.path, c.longest);
        EXPECT_EQ(fitted, c.expected);
        EXPECT_LE(
            fitted.size() - (fitted.rfind('/') == std::string::npos ? 0 : fitted.rfind('/') + 1),
            c.longest);
    }
}

}  // namespace
}  // namespace corvid
