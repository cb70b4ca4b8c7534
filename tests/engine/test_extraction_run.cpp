#include "engine/extraction_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "engine/field_index.h"
#include "engine/recognition.h"
#include "support_run_doubles.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using testing::FakeBlob;
using testing::FakeConnection;
using testing::FakeHost;
using testing::FakeTable;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using testing::ReadFile;
using testing::ScratchDir;
using ::testing::StartsWith;
using testing::WriteFile;
namespace fs = std::filesystem;

// Bytes in front of the document that contain no signature of any format.
const std::string kWrapper = std::string("\x15\x1c\x2f\x00\x02\x00\x00\x00OLE wrapper", 19);
// A JPEG with a JFIF APP0 segment.
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) + "jpeg body";
const std::string kUnknown = "no signature in here at all";

// An Access "Picture" object holding a static DIB: the marker, the zero that
// ends "DIB", width, height and size, then the bitmap information header.
std::string StaticDibBlob() {
    std::string blob(
        "\xFF\xFF\xFF\xFFPicture\x00\x00\x01\x05\x00\x00\x03\x00\x00\x00\x04\x00\x00\x00"
        "DIB",
        28);
    blob += std::string(1, '\0');
    blob += std::string("\x10\x00\x00\x00\x10\x00\x00\x00\x00\x04\x00\x00", 12);
    blob += std::string("\x28\x00\x00\x00", 4) + "rest of the bitmap";
    return blob;
}

class ExtractionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.inputs.database = "/data/photos.mdb";
        host_.inputs.table = "table";
        host_.inputs.blobField = "img";
        host_.inputs.nameField1 = "id";
        host_.inputs.filterValue = "*";
        host_.inputs.outputDirectory = dir_.Prefix();
        table_.fields = {"id", "img", "name2", "region"};
    }

    void AddRecord(const std::string& id, FakeBlob blob, const std::string& name2 = "",
                   const std::string& region = "") {
        table_.rows.push_back({id, std::move(blob), name2, region});
    }

    RunReport Run() { return RunExtraction(host_, connection_, table_); }

    std::string Out(const std::string& name) const { return dir_.Prefix() + name; }

    // The run ended completely and normally: closing line, "ok", everything released.
    void ExpectCompleted(const RunReport& report, std::int64_t records) {
        EXPECT_TRUE(report.completed);
        EXPECT_THAT(report.failure, IsEmpty());
        EXPECT_EQ(report.recordsVisited, records);
        ASSERT_GE(host_.log.size(), 2u);
        EXPECT_TRUE(std::regex_match(
            host_.log.back(),
            std::regex(R"(\d\d:\d\d:\d\d - table \()" + std::to_string(records) + R"(\))")))
            << host_.log.back();
        ExpectReleased();
        ASSERT_FALSE(host_.statuses.empty());
        EXPECT_EQ(host_.statuses.back(), (std::pair<std::string, Colour>{"ok", kButtonFace}));
    }

    // The run ended early: no closing line, the failure's message last in the
    // log and in red on the status line.
    void ExpectEndedEarly(const RunReport& report, const std::string& message) {
        EXPECT_FALSE(report.completed);
        EXPECT_EQ(report.failure, message);
        ASSERT_FALSE(host_.log.empty());
        EXPECT_EQ(host_.log.back(), message);
        for (const auto& line : host_.log)
            EXPECT_THAT(line, ::testing::Not(HasSubstr(" - table (")));
        ExpectReleased();
        ASSERT_EQ(host_.statuses.size(), 1u);
        EXPECT_EQ(host_.statuses.back(), (std::pair<std::string, Colour>{message, kRed}));
    }

    void ExpectReleased() {
        EXPECT_FALSE(table_.active);
        EXPECT_FALSE(connection_.connected);
        EXPECT_EQ(connection_.calls.back(), "Connected=false");
        EXPECT_FALSE(host_.busy);
    }

    ScratchDir dir_;
    FakeHost host_;
    FakeConnection connection_;
    FakeTable table_;
};

TEST_F(ExtractionRunTest, EmptyTableLogsHeadingAndZeroCount) {
    const RunReport report = Run();
    ExpectCompleted(report, 0);
    ASSERT_EQ(host_.log.size(), 2u);
    EXPECT_TRUE(
        std::regex_match(host_.log[0], std::regex(R"(\d\d/\d\d/\d\d - Corvid v1\.2\.3\.4)")))
        << host_.log[0];
    EXPECT_THAT(dir_.Files(), IsEmpty());
    EXPECT_THAT(connection_.calls,
                ElementsAre("LoginPrompt=false", "DatabaseType=Access", "Database=/data/photos.mdb",
                            "Connected=true", "Connected=false"));
    EXPECT_THAT(table_.calls, ElementsAre("TableName=table", "Active=true", "Active=false"));
}

TEST_F(ExtractionRunTest, ClosingSequenceRestoresCursorBeforeOk) {
    host_.inputs.loginPrompt = true;
    Run();
    EXPECT_EQ(connection_.calls.front(), "LoginPrompt=true");
    ASSERT_GE(host_.events.size(), 6u);
    EXPECT_EQ(host_.events.front(), "cursor:busy");
    const std::vector<std::string> tail(host_.events.end() - 4, host_.events.end());
    EXPECT_EQ(tail[1], "messages");
    EXPECT_EQ(tail[2], "cursor:normal");
    EXPECT_EQ(tail[3], "status:ok");
    EXPECT_EQ(host_.processMessagesCalls, 2);
}

TEST_F(ExtractionRunTest, FailedConnectionEscapesWithHeadingOnly) {
    connection_.connectFailure = "Cannot find Database:\r\n/data/photos.mdb";
    AddRecord("1", {kJpeg});
    try {
        Run();
        FAIL() << "the connection failure did not escape";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Cannot find Database:\r\n/data/photos.mdb");
    }
    EXPECT_EQ(host_.log.size(), 1u);
    EXPECT_THAT(host_.statuses, IsEmpty());
    EXPECT_FALSE(host_.busy);
    EXPECT_THAT(table_.calls, IsEmpty());
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

TEST_F(ExtractionRunTest, UnknownTableEndsEarlyInRed) {
    host_.inputs.table = "nosuchtable";
    AddRecord("1", {kJpeg});
    const RunReport report = Run();
    ExpectEndedEarly(report, "Table 'nosuchtable' does not exist");
    EXPECT_EQ(host_.log.size(), 2u);
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

TEST_F(ExtractionRunTest, WritesRecognisedPayloadsUnderFieldNames) {
    host_.inputs.blobField = "IMG";  // typed in another case than the table's
    host_.inputs.nameField1 = "ID";
    AddRecord("123", {kWrapper + kJpeg});
    AddRecord("124", {kUnknown});
    AddRecord("125", {StaticDibBlob()});
    const RunReport report = Run();

    ExpectCompleted(report, 3);
    EXPECT_THAT(std::vector<std::string>(host_.log.begin() + 1, host_.log.end() - 1),
                ElementsAre(Out("123.jpg"), Out("124.dmp"), Out("125.bmp")));
    const std::string bitmapHeader(reinterpret_cast<const char*>(kBitmapFileHeader.data()),
                                   kBitmapFileHeader.size());
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{
                                {"123.jpg", kJpeg},
                                {"124.dmp", kUnknown},
                                {"125.bmp", bitmapHeader + StaticDibBlob().substr(41)},
                            }));
    EXPECT_EQ(report.filesWritten, 3);
    EXPECT_EQ(report.bytesWritten, static_cast<std::int64_t>(kJpeg.size() + kUnknown.size() + 14 +
                                                             StaticDibBlob().size() - 41));
}

TEST_F(ExtractionRunTest, NameField2JoinsFieldOneOrIsLeftOut) {
    const struct {
        std::string nameField2;
        std::string expected;
    } cases[] = {
        {"name2", "Smith_John-1.jpg"},
        {"", "Smith_John.jpg"},
        {"nosuchfield", "Smith_John.jpg"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        FakeHost host;
        host.inputs = host_.inputs;
        host.inputs.outputDirectory = dir.Prefix();
        host.inputs.nameField2 = c.nameField2;
        FakeTable table;
        table.fields = table_.fields;
        table.rows.push_back(
            {std::string("Smith, John"), FakeBlob{kJpeg}, std::string("-1"), std::string()});
        FakeConnection connection;
        const RunReport report = RunExtraction(host, connection, table);
        EXPECT_TRUE(report.completed) << c.nameField2;
        EXPECT_EQ(dir.Files(), (std::map<std::string, std::string>{{c.expected, kJpeg}}))
            << c.nameField2;
    }
}

TEST_F(ExtractionRunTest, EmptyBlobIsCountedAndStillCreatesItsDirectory) {
    host_.inputs.filterField = "region";
    host_.inputs.filterAsDirectory = true;
    AddRecord("1", {""}, "", "North");
    table_.rows.push_back(
        {std::string("2"), std::monostate{}, std::string(), std::string("South")});
    const RunReport report = Run();

    ExpectCompleted(report, 2);
    EXPECT_EQ(host_.log.size(), 2u);
    EXPECT_EQ(report.emptyBlobs, 2);
    EXPECT_EQ(report.filesWritten, 0);
    EXPECT_TRUE(fs::is_directory(dir_.Path() / "North"));
    EXPECT_TRUE(fs::is_directory(dir_.Path() / "South"));
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

// The run makes a record's directory once and writes the next records into
// it without looking again; a directory removed meanwhile is made again.
TEST_F(ExtractionRunTest, ADirectoryRemovedDuringTheRunIsMadeAgain) {
    host_.inputs.filterField = "region";
    host_.inputs.filterAsDirectory = true;
    AddRecord("1", {kJpeg}, "", "North");
    AddRecord("2", {kJpeg}, "", "North");
    AddRecord("3", {kJpeg}, "", "North");
    table_.onArrive = [&](std::size_t row) {
        if (row == 1 || row == 2) fs::remove_all(dir_.Path() / "North");
    };
    const RunReport report = Run();

    ExpectCompleted(report, 3);
    EXPECT_EQ(report.filesWritten, 3);
    EXPECT_THAT(dir_.Files(), ElementsAre(Pair("North/3.jpg", kJpeg)));
}

TEST_F(ExtractionRunTest, ClosingCountIncludesRejectedEmptyAndSkippedRecords) {
    host_.inputs.filterField = "region";
    host_.inputs.filterValue = "100 - 200";
    host_.inputs.skipUnknown = true;
    AddRecord("1", {kJpeg}, "", "50");      // rejected by the filter
    AddRecord("2", {""}, "", "150");        // empty blob
    AddRecord("3", {kUnknown}, "", "150");  // skipped as unknown
    AddRecord("4", {kJpeg}, "", "150");     // written
    AddRecord("5", {kJpeg}, "", "");        // no filter text: passes silently
    const RunReport report = Run();

    ExpectCompleted(report, 5);
    EXPECT_EQ(report.rejectedByFilter, 1);
    EXPECT_EQ(report.emptyBlobs, 1);
    EXPECT_EQ(report.skippedUnknown, 1);
    EXPECT_EQ(report.filesWritten, 2);
    EXPECT_EQ(report.duplicatePaths, 0);
    EXPECT_THAT(std::vector<std::string>(host_.log.begin() + 1, host_.log.end() - 1),
                ElementsAre("1: 100 - 200<>50", "2: 100 - 200=150", "3: 100 - 200=150",
                            "4: 100 - 200=150", Out("4.jpg"), Out("5.jpg")));
}

TEST_F(ExtractionRunTest, DumpCopyHoldsTheWholeBlobAndIsNotLogged) {
    host_.inputs.dumpCopy = true;
    AddRecord("12", {kWrapper + kJpeg});
    const RunReport report = Run();

    ExpectCompleted(report, 1);
    EXPECT_THAT(host_.log, ::testing::Contains(Out("12.jpg")));
    EXPECT_THAT(host_.log, ::testing::Not(::testing::Contains(Out("12.jpg.dmp"))));
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{{"12.jpg", kJpeg},
                                                                {"12.jpg.dmp", kWrapper + kJpeg}}));
    EXPECT_EQ(report.filesWritten, 1);
    EXPECT_EQ(report.dumpCopiesWritten, 1);
}

TEST_F(ExtractionRunTest, MissingNameField1EndsAtFirstRecordBeforeAnyFilterLine) {
    host_.inputs.nameField1 = "nosuchfield";
    host_.inputs.filterField = "region";
    host_.inputs.filterValue = "test";
    AddRecord("1", {kJpeg}, "", "a test");
    const RunReport report = Run();

    ExpectEndedEarly(report, "Field \"nosuchfield\" not found in table \"table\"");
    EXPECT_EQ(host_.log.size(), 2u);
    EXPECT_EQ(report.recordsVisited, 0);
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

TEST_F(ExtractionRunTest, MissingBlobFieldEndsAtFirstRecordPassingTheFilter) {
    host_.inputs.blobField = "picture";
    host_.inputs.filterField = "region";
    host_.inputs.filterValue = "Test";
    host_.inputs.filterAsDirectory = true;
    AddRecord("1", {kJpeg}, "", "xyz");
    AddRecord("2", {kJpeg}, "", "a TEST b");
    AddRecord("3", {kJpeg}, "", "test");
    const RunReport report = Run();

    ExpectEndedEarly(report, "Field \"picture\" not found in table \"table\"");
    EXPECT_THAT(std::vector<std::string>(host_.log.begin() + 1, host_.log.end()),
                ElementsAre("1: test<>xyz", "2: test=*a TEST b*", report.failure));
    EXPECT_EQ(report.recordsVisited, 1);
    EXPECT_TRUE(fs::is_directory(dir_.Path() / "a_TEST_b"));  // made before the blob was looked at
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

TEST_F(ExtractionRunTest, UncreatableOutputFileEndsEarlyAndKeepsEarlierFiles) {
    WriteFile(dir_.Path() / "blocker", "a file where a directory should be");
    AddRecord("1", {kJpeg});
    AddRecord("2", {kJpeg});
    table_.fields[0] = "id";
    host_.inputs.filterField = "region";
    host_.inputs.filterAsDirectory = true;
    table_.rows[1][3] = std::string("blocker");
    const RunReport report = Run();

    // The directory that could not be made is named, with mkdir's own reason.
    const std::string path = Out("blocker/2.jpg");
    ExpectEndedEarly(report, "Cannot create directory \"" + Out("blocker") + "\". Not a directory");
    EXPECT_THAT(host_.log, ::testing::Contains(Out("1.jpg")));
    EXPECT_THAT(host_.log, ::testing::Not(::testing::Contains(path)));
    EXPECT_EQ(report.filesWritten, 1);
    EXPECT_EQ(dir_.Files().size(), 2u);  // 1.jpg and the blocker, nothing else
}

// A write that fails half-way leaves neither a partial file nor a damaged
// older file of that name.
TEST_F(ExtractionRunTest, FailedWriteKeepsOlderFile) {
    WriteFile(dir_.Path() / "7.dmp", "older");
    AddRecord("7", {std::string(256 * 1024, 'z')});

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const RunReport report = Run();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    ExpectEndedEarly(report, "Cannot write file \"" + Out("7.dmp") + "\". File too large");
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{{"7.dmp", "older"}}));
}

TEST_F(ExtractionRunTest, DuplicateOutputPathsAreCountedAndTheLaterFileWins) {
    AddRecord("5", {kJpeg});
    AddRecord("5", {kWrapper + "%PDF-1.4 later"});
    AddRecord("5", {kJpeg + "third"});
    AddRecord("6", {kJpeg});
    const RunReport report = Run();

    ExpectCompleted(report, 4);
    EXPECT_EQ(report.duplicatePaths, 1);  // 5.jpg twice; 5.pdf once
    EXPECT_EQ(report.filesWritten, 4);
    EXPECT_EQ(ReadFile(dir_.Path() / "5.jpg"), kJpeg + "third");
    EXPECT_EQ(ReadFile(dir_.Path() / "5.pdf"), "%PDF-1.4 later");
    EXPECT_EQ(std::count(host_.log.begin(), host_.log.end(), Out("5.jpg")), 2);
}

TEST_F(ExtractionRunTest, BlobReadErrorsEndTheRun) {
    const struct {
        const char* what;
        FakeBlob blob;
        std::string message;
    } cases[] = {
        {"ends early", {"only 5", 0, 100}, "The blob ended after 6 of 100 bytes"},
        {"2 GiB",
         {"x", 0, std::int64_t{1} << 31},
         "The blob for \"" + Out("9") + "\" is too large: 2147483648 bytes (the limit is 2 GiB)"},
        {"negative size",
         {"x", 0, -1},
         "The blob for \"" + Out("9") + "\" reports an invalid size"},
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.inputs = host_.inputs;
        FakeTable table;
        table.fields = table_.fields;
        table.rows.push_back({std::string("9"), c.blob, std::string(), std::string()});
        FakeConnection connection;
        const RunReport report = RunExtraction(host, connection, table);
        EXPECT_FALSE(report.completed) << c.what;
        EXPECT_EQ(report.failure, c.message) << c.what;
        EXPECT_FALSE(table.active) << c.what;
        EXPECT_FALSE(connection.connected) << c.what;
    }
    EXPECT_THAT(dir_.Files(), IsEmpty());
}

TEST_F(ExtractionRunTest, BlobDeliveredInSmallReadsIsCopiedWhole) {
    std::string big(100000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7 + i / 251) & 0x7F);
    const std::string payload = kWrapper + kJpeg + big;
    AddRecord("1", {payload, 7});
    AddRecord("2", {kUnknown, 1});
    const RunReport report = Run();
    ExpectCompleted(report, 2);
    EXPECT_EQ(ReadFile(dir_.Path() / "1.jpg"), kJpeg + big);
    EXPECT_EQ(ReadFile(dir_.Path() / "2.dmp"), kUnknown);
}

// A reader that holds the whole blob lends it: the run recognises and writes
// it where it is, without reading a copy.
TEST_F(ExtractionRunTest, BlobHeldByTheReaderIsWrittenFromThere) {
    FakeBlob wrapped{kWrapper + kJpeg};
    wrapped.held = true;
    FakeBlob unknown{kUnknown};
    unknown.held = true;
    AddRecord("1", wrapped);
    AddRecord("2", unknown);
    const RunReport report = Run();
    ExpectCompleted(report, 2);
    EXPECT_EQ(ReadFile(dir_.Path() / "1.jpg"), kJpeg);
    EXPECT_EQ(ReadFile(dir_.Path() / "2.dmp"), kUnknown);
}

TEST_F(ExtractionRunTest, HostileNamesStayInsideTheOutputDirectory) {
    host_.inputs.filterField = "region";
    host_.inputs.filterAsDirectory = true;
    AddRecord("../../escape", {kJpeg}, "", "../..");
    AddRecord("/etc/passwd", {kJpeg}, "", "/");
    AddRecord("...", {kJpeg}, "", "");
    const RunReport report = Run();
    ExpectCompleted(report, 3);
    for (const auto& line : std::vector<std::string>(host_.log.begin() + 1, host_.log.end() - 1)) {
        const fs::path written = fs::weakly_canonical(line);
        EXPECT_THAT(written.string(), StartsWith(dir_.Path().string() + "/")) << line;
        EXPECT_TRUE(fs::exists(written)) << line;
    }
    EXPECT_EQ(report.filesWritten, 3);
}

// The window's switches reach recognition: field 1 as the file name and the
// filter box "dmp" turn the signature tests off, "Deep" looks further in.
TEST_F(ExtractionRunTest, RecognitionSwitchesTakeEffect) {
    const std::string deepJpeg = std::string(9000, 'q') + kJpeg;
    const struct {
        const char* what;
        bool nameFromField1, deep, skip;
        std::string filterField, name, blob;
        std::map<std::string, std::string> files;
    } cases[] = {
        {"name from field 1",
         true,
         false,
         false,
         "",
         "C:\\img\\Photo 1.JPG",
         kWrapper + kJpeg,
         {{"Photo_1.JPG", kWrapper + kJpeg}}},
        {"name from field 1 without extension",
         true,
         false,
         false,
         "",
         "photo",
         kWrapper + kJpeg,
         {{"photo.dmp", kWrapper + kJpeg}}},
        {"filter box dmp",
         false,
         false,
         false,
         "dmp",
         "3",
         kWrapper + kJpeg,
         {{"3.dmp", kWrapper + kJpeg}}},
        {"filter box dmp and skip", false, false, true, "dmp", "3", kWrapper + kJpeg, {}},
        {"deep search off", false, false, false, "", "4", deepJpeg, {{"4.dmp", deepJpeg}}},
        {"deep search on", false, true, false, "", "4", deepJpeg, {{"4.jpg", kJpeg}}},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        FakeHost host;
        host.inputs = host_.inputs;
        host.inputs.outputDirectory = dir.Prefix();
        host.inputs.nameFromField1 = c.nameFromField1;
        host.inputs.deepSearch = c.deep;
        host.inputs.skipUnknown = c.skip;
        host.inputs.filterField = c.filterField;
        FakeTable table;
        table.fields = table_.fields;
        table.rows.push_back({c.name, FakeBlob{c.blob}, std::string(), std::string()});
        FakeConnection connection;
        const RunReport report = RunExtraction(host, connection, table);
        EXPECT_TRUE(report.completed) << c.what;
        EXPECT_EQ(dir.Files(), c.files) << c.what;
    }
}

// The written file runs from the recognised start to the blob's last byte,
// also for blobs around the size of the first search window.
TEST_F(ExtractionRunTest, PayloadTailsAroundTheFirstWindow) {
    auto pdfAt = [](std::size_t offset, std::size_t size) {
        std::string blob(size, 'w');
        blob.replace(offset, 7, "%PDF-1.");
        return blob;
    };
    const struct {
        const char* what;
        std::string blob;
        std::string file;
        std::string contents;
    } cases[] = {
        {"one byte", "x", "1.dmp", "x"},
        {"signature ends at the last byte examined", pdfAt(8257, 8265), "1.pdf", "%PDF-1.w"},
        {"signature ends one byte further", pdfAt(8258, 8265), "1.dmp", pdfAt(8258, 8265)},
        {"window-sized blob", pdfAt(8257, 8264), "1.pdf", "%PDF-1."},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        FakeHost host;
        host.inputs = host_.inputs;
        host.inputs.outputDirectory = dir.Prefix();
        FakeTable table;
        table.fields = table_.fields;
        table.rows.push_back(
            {std::string("1"), FakeBlob{c.blob, 1000}, std::string(), std::string()});
        FakeConnection connection;
        EXPECT_TRUE(RunExtraction(host, connection, table).completed) << c.what;
        EXPECT_EQ(dir.Files(), (std::map<std::string, std::string>{{c.file, c.contents}}))
            << c.what;
    }
}

TEST_F(ExtractionRunTest, ProgressReportsRecordsVisited) {
    AddRecord("1", {kJpeg});
    AddRecord("2", {""});
    AddRecord("3", {kUnknown});
    std::vector<std::int64_t> seen;
    const RunReport report = RunExtraction(host_, connection_, table_,
                                           [&](std::int64_t visited) { seen.push_back(visited); });
    ExpectCompleted(report, 3);
    EXPECT_THAT(seen, ElementsAre(1, 2, 3));
}

TEST_F(ExtractionRunTest, FailedDisconnectIsNotReportedAsSuccess) {
    connection_.disconnectFailure = "Disconnect failed";
    AddRecord("1", {kJpeg});
    const RunReport report = Run();
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.failure, "Disconnect failed");
    EXPECT_EQ(host_.log.back(), "Disconnect failed");
    EXPECT_EQ(host_.statuses.back(), (std::pair<std::string, Colour>{"Disconnect failed", kRed}));
    EXPECT_FALSE(host_.busy);
    EXPECT_TRUE(fs::exists(dir_.Path() / "1.jpg"));
}

// An output path that names the database itself (or a hard link to it) is
// refused: the run never replaces the file it reads.
TEST_F(ExtractionRunTest, NeverWritesOverTheDatabaseFile) {
    host_.inputs.database = Out("photos.mdb");
    WriteFile(host_.inputs.database, "the database");
    ASSERT_EQ(::link(host_.inputs.database.c_str(), Out("alias.mdb").c_str()), 0);
    host_.inputs.nameFromField1 = true;
    AddRecord("alias.mdb", {"blob bytes"});
    const RunReport report = Run();
    ExpectEndedEarly(report, "Cannot create file \"" + Out("alias.mdb") +
                                 "\". It is the database file being read");
    EXPECT_EQ(ReadFile(host_.inputs.database), "the database");
}

// A failure that is not a std::exception still ends the run as a failure.
TEST_F(ExtractionRunTest, ForeignExceptionEndsTheRunToo) {
    struct ThrowingTable : FakeTable {
        void Next() override { throw 42; }
    } table;
    table.fields = table_.fields;
    table.rows.push_back({std::string("1"), FakeBlob{kJpeg}, std::string(), std::string()});
    const RunReport report = RunExtraction(host_, connection_, table);
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.failure, "The run ended early: unknown error");
    EXPECT_EQ(host_.statuses.back(), (std::pair<std::string, Colour>{report.failure, kRed}));
    EXPECT_FALSE(table.active);
    EXPECT_FALSE(connection_.connected);
    EXPECT_TRUE(fs::exists(dir_.Path() / "1.jpg"));
}

TEST(FieldIndex, FindsFirstNameThenAlternativesCaseInsensitively) {
    const std::vector<std::string> names{"id", "Img", "Name", "ÅR", "id"};
    const struct {
        std::string name, alternative1, alternative2;
        int expected;
    } cases[] = {
        {"ID", "", "", 0},
        {"img", "", "", 1},
        {"år", "", "", 3},
        {"missing", "", "", -1},
        {"missing", "NAME", "", 2},
        {"missing", "", "img", 1},
        {"missing", "gone", "IMG", 1},
        {"", "", "", -1},
        {"name", "id", "", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldIndex(names, c.name, c.alternative1, c.alternative2), c.expected)
            << c.name << "|" << c.alternative1 << "|" << c.alternative2;
    EXPECT_EQ(FieldIndex({}, "id"), -1);
}

}  // namespace
}  // namespace corvid
