// The extraction run with OLE objects unwrapped by their structure, embedded
// file names and the manifest; and the default run, which must write exactly
// what the signature recognition alone writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/extraction_run.h"
#include "engine/run_manifest.h"
#include "engine/sha256.h"
#include "support_run_doubles.h"
#include "tests/fixture_files.h"
#include "tools/oledocs/embedded_containers.h"
#include "tools/oledocs/ole_value_layout.h"
#include "tools/oledocs/ole_wrappers.h"

namespace corvid {
namespace {

using oledocs::Bytes;
using ::testing::ElementsAre;
using testing::FakeBlob;
using testing::FakeConnection;
using testing::FakeHost;
using testing::FakeTable;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::ScratchDir;
using ::testing::StartsWith;

const std::string kPaintbrushFixture = testing_fixtures::FixturePath("ole/paintbrush");

std::string Text(const Bytes& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
Bytes Raw(std::string_view text) {
    Bytes out(text.size());
    std::memcpy(out.data(), text.data(), text.size());
    return out;
}

// A small bitmap file of 2 x 2 pixels, 24 bits (rows padded to 8 bytes).
Bytes SmallBmp() {
    std::string bmp("BM", 2);
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp += static_cast<char>(v >> (8 * i));
    };
    auto u16 = [&](std::uint16_t v) {
        bmp += static_cast<char>(v);
        bmp += static_cast<char>(v >> 8);
    };
    u32(70);
    u32(0);
    u32(54);
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(24);
    u32(0);
    u32(16);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    bmp += std::string("\x10\x20\x30\x40\x50\x60\0\0\x70\x80\x90\xA0\xB0\xC0\0\0", 16);
    return Raw(bmp);
}

const std::string kMinutes = "minutes of the meeting\r\n";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) + "jpeg body";

Bytes Wrap(const std::string& oleClass, const Bytes& native) {
    return oledocs::WrapEmbeddedObject({oleClass, oleClass, oleClass}, native);
}

Bytes WordCompoundFile() {
    return oledocs::BuildCompoundFileWith({{"WordDocument", Raw("word binary document")}});
}

// Damaged, but the signature recognition still finds the bitmap in it.
Bytes DamagedPaintbrush() {
    Bytes bmp = SmallBmp();
    bmp[2] = std::byte{0xFF};  // the bitmap claims more bytes than the native data holds
    bmp[3] = std::byte{0x7F};
    return Wrap("PBrush", bmp);
}

// Damaged, and nothing in it for the signature recognition.
Bytes DamagedPackage() {
    return Wrap("Package", Raw(std::string("\x02\x00label without its end", 23)));
}

class UnwrapRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.inputs.database = "/data/photos.mdb";
        host_.inputs.table = "table";
        host_.inputs.blobField = "img";
        host_.inputs.nameField1 = "id";
        host_.inputs.filterField = "region";
        host_.inputs.filterValue = "*";
        host_.inputs.outputDirectory = dir_.Prefix();
        table_.fields = {"id", "img", "name2", "region"};
    }
    void Add(const std::string& id, const Bytes& value, const std::string& region = "") {
        table_.rows.push_back({id, FakeBlob(Text(value)), std::string(), region});
    }
    RunReport Run() { return RunExtraction(host_, connection_, table_); }
    std::string Out(const std::string& name) const { return dir_.Prefix() + name; }
    std::vector<std::string> MiddleLog() const {
        return {host_.log.begin() + 1, host_.log.end() - 1};
    }

    ScratchDir dir_;
    FakeHost host_;
    FakeConnection connection_;
    FakeTable table_;
};

// What the signature recognition writes today for each kind of value: the
// extension and the offset of the first byte written (to the value's end).
TEST_F(UnwrapRunTest, DefaultRunWritesWhatTheSignatureRecognitionWrites) {
    const Bytes paintbrush = Raw(ReadFile(kPaintbrushFixture));
    ASSERT_FALSE(paintbrush.empty());
    const Bytes package = oledocs::WrapPackage("minutes.txt", "C:\\minutes.txt", Raw(kMinutes));
    const Bytes pbrush = oledocs::WrapPaintbrushBitmap(SmallBmp());
    const Bytes word = Wrap("Word.Document.8", WordCompoundFile());
    const Bytes linked = oledocs::WrapLinkedPackage("plan.dxf", "C:\\cad\\plan.dxf");
    const Bytes jpegInUnknownClass = Wrap("Some.Drawing", Raw(kJpeg));
    struct Case {
        Bytes value;
        std::string extension;
        std::size_t start;
    };
    const Case cases[] = {
        {paintbrush, ".bmp", 0x4E},
        {package, ".dmp", 0},
        {pbrush, ".bmp", oledocs::ParseAccessOleValue(pbrush).dataOffset},
        {word, ".office", oledocs::ParseAccessOleValue(word).dataOffset},
        {linked, ".dmp", 0},
        {jpegInUnknownClass, ".jpg", oledocs::ParseAccessOleValue(jpegInUnknownClass).dataOffset},
        {DamagedPaintbrush(), ".bmp", oledocs::ParseAccessOleValue(DamagedPaintbrush()).dataOffset},
        {DamagedPackage(), ".dmp", 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) Add(std::to_string(i), cases[i].value);
    host_.inputs.embeddedNames = true;  // without unwrapping it changes nothing
    const RunReport report = Run();

    ASSERT_TRUE(report.completed) << report.failure;
    std::map<std::string, std::string> expected;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = std::to_string(i) + cases[i].extension;
        expected[name] = Text(cases[i].value).substr(cases[i].start);
        paths.push_back(Out(name));
    }
    EXPECT_EQ(dir_.Files(), expected);
    EXPECT_EQ(MiddleLog(), paths);
    EXPECT_FALSE(report.unwrapping);
}

TEST_F(UnwrapRunTest, UnwrappedValuesGiveTheirDocumentsAndTheLogTellsTheRest) {
    const Bytes bmp = SmallBmp();
    const Bytes docx = oledocs::BuildOfficeOpenXml(oledocs::OfficeOpenXmlKind::Word);
    Add("1", oledocs::WrapPackage("minutes.docx", "C:\\docs\\minutes.docx", docx));
    Add("2", oledocs::WrapPaintbrushBitmap(bmp, oledocs::Presentation::Metafile));
    Add("3", Wrap("Word.Document.8", WordCompoundFile()));
    Add("4", oledocs::WrapLinkedPackage("plan.dxf", "C:\\cad\\plan.dxf"));
    Add("5", Wrap("Some.Drawing", Raw(kJpeg)));  // unknown class, its bytes recognised
    Add("6",
        Wrap("Some.Drawing", Raw("no signature here")));  // unknown class, whole value searched
    Add("7", DamagedPackage());
    Add("8", Raw(kJpeg));  // no OLE object at all
    Add("9", oledocs::WrapPackage("README", "C:\\README", Raw(kMinutes)));
    host_.inputs.unwrap = true;
    const RunReport report = Run();

    ASSERT_TRUE(report.completed) << report.failure;
    const auto files = dir_.Files();
    EXPECT_EQ(files.at("1.docx"), Text(docx));
    EXPECT_EQ(files.at("2.bmp"), Text(bmp));
    EXPECT_EQ(files.at("3.doc"), Text(WordCompoundFile()));
    EXPECT_EQ(files.count("4.dmp") + files.count("4.dxf"), 0u);
    EXPECT_EQ(files.at("5.jpg"), kJpeg);
    EXPECT_EQ(files.at("6.dmp"), Text(Wrap("Some.Drawing", Raw("no signature here"))));
    EXPECT_EQ(files.at("7.dmp"), Text(DamagedPackage()));
    EXPECT_EQ(files.at("8.jpg"), kJpeg);
    EXPECT_EQ(files.at("9.dmp"), kMinutes);
    EXPECT_EQ(files.size(), 8u);
    EXPECT_THAT(
        MiddleLog(),
        ElementsAre(
            Out("1.docx"), Out("2.bmp"), Out("3.doc"),
            Out("4") + ": linked to C:\\cad\\plan.dxf (nothing written)", Out("5.jpg"),
            Out("6") +
                ": native data of class Some.Drawing not recognised; the whole value is searched",
            Out("6.dmp"), StartsWith(Out("7") + ": Package: the label has no terminating zero"),
            Out("7.dmp"), Out("8") + ": no Access OLE header; the whole value is searched",
            Out("8.jpg"), Out("9.dmp")));
    EXPECT_EQ(report.filesWritten, 8);
    EXPECT_EQ(report.linkedObjects, 1);
    EXPECT_EQ(report.damagedObjects, 1);
    EXPECT_TRUE(report.unwrapping);
}

TEST_F(UnwrapRunTest, RealPaintbrushValueIsWrittenUpToItsBitmapSize) {
    const std::string value = ReadFile(kPaintbrushFixture);
    Add("1", Raw(value));
    host_.inputs.unwrap = true;
    ASSERT_TRUE(Run().completed);
    EXPECT_EQ(dir_.Files().at("1.bmp"), value.substr(0x4E, 39990));
}

TEST_F(UnwrapRunTest, EmbeddedNamesJoinTheNameBaseAndGiveTheExtension) {
    const Bytes docx = oledocs::BuildOfficeOpenXml(oledocs::OfficeOpenXmlKind::Word);
    struct Case {
        const char* name;
        Bytes value;
        bool embeddedNames;
        std::string expected;
    };
    const Case cases[] = {
        {"embedded name", oledocs::WrapPackage("minutes.docx", "C:\\minutes.docx", docx), true,
         "17_minutes.docx"},
        {"unwrap alone keeps the name", oledocs::WrapPackage("minutes.docx", "C:\\x", docx), false,
         "17.docx"},
        {"name with non-ASCII letters and path parts",
         oledocs::WrapPackage("..\\Отчёт\\Åsa Öberg.TXT", "C:\\Отчёт\\Åsa Öberg.TXT",
                              Raw(kMinutes)),
         true, "17_Asa_Oberg.TXT"},
        {"dots and odd characters in the name",
         oledocs::WrapPackage("a.b c*.tar.gz", "C:\\x", Raw(kMinutes)), true, "17_a_b_c_tar.gz"},
        {"name without extension: recognised",
         oledocs::WrapPackage("photo", "C:\\photo", Raw(kJpeg)), true, "17_photo.jpg"},
        {"no package name: as today", oledocs::WrapPaintbrushBitmap(SmallBmp()), true, "17.bmp"},
        {"compound file with a package",
         Wrap("Package",
              oledocs::BuildCompoundFileWith(
                  {{"\x01Ole10Native", oledocs::Ole10NativeStream(oledocs::PackagerData(
                                           "drawing.dxf", "C:\\d.dxf", Raw(kMinutes)))}})),
         true, "17_drawing.dxf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        FakeHost host;
        host.inputs = host_.inputs;
        host.inputs.outputDirectory = dir.Prefix();
        host.inputs.unwrap = true;
        host.inputs.embeddedNames = c.embeddedNames;
        FakeTable table;
        table.fields = table_.fields;
        table.rows.push_back(
            {std::string("17"), FakeBlob(Text(c.value)), std::string(), std::string()});
        FakeConnection connection;
        ASSERT_TRUE(RunExtraction(host, connection, table).completed);
        const auto files = dir.Files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files.begin()->first, c.expected);
    }
}

TEST_F(UnwrapRunTest, RecognitionOffMeansNoUnwrapping) {
    const Bytes pbrush = oledocs::WrapPaintbrushBitmap(SmallBmp());
    Add("1", pbrush);
    host_.inputs.unwrap = true;
    host_.inputs.filterField = "dmp";
    ASSERT_TRUE(Run().completed);
    EXPECT_EQ(dir_.Files(), (std::map<std::string, std::string>{{"1.dmp", Text(pbrush)}}));
}

// ---- Manifest ------------------------------------------------------------------

// RFC 4180 records of a whole text.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                rows.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                rows.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.emplace_back(1);
            ++i;
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
}

std::string Sha256Of(const std::string& bytes) {
    Sha256 hash;
    hash.Update(std::as_bytes(std::span<const char>(bytes.data(), bytes.size())));
    return hash.HexDigest();
}

TEST_F(UnwrapRunTest, CsvManifestReconcilesWithTheReportAndTheFiles) {
    const Bytes docx = oledocs::BuildOfficeOpenXml(oledocs::OfficeOpenXmlKind::Word);
    Add("1", oledocs::WrapPackage("minutes.docx", "C:\\minutes.docx", docx), "north");
    Add("2", oledocs::WrapLinkedPackage("plan.dxf", "C:\\cad\\plan.dxf"), "north");
    Add("3", Raw("no signature, \"quoted\"\r\nand a comma"), "south");
    table_.rows.push_back({std::string("4"), FakeBlob(), std::string(), std::string("north")});
    Add("5", DamagedPackage(), "north");  // skipped as unknown
    Add("5", Raw(kJpeg), "north");
    Add("5", Raw(kJpeg), "north");  // same path as the record before: the later file wins
    Add("7", DamagedPaintbrush(), "north");
    Add("6", Raw(kJpeg), "west");
    Add("Smith, \"J\"", Raw(kJpeg), "north");
    host_.inputs.unwrap = true;
    host_.inputs.skipUnknown = true;
    host_.inputs.dumpCopy = true;
    host_.inputs.filterValue = "north";
    host_.inputs.manifestPath = dir_.Prefix() + "run/manifest.csv";
    std::filesystem::create_directory(dir_.Path() / "run");
    const RunReport report = Run();
    ASSERT_TRUE(report.completed) << report.failure;

    const auto rows = ParseCsv(ReadFile(dir_.Path() / "run/manifest.csv"));
    ASSERT_GE(rows.size(), 2u);
    EXPECT_THAT(rows[0], ElementsAre("table", "blob field", "name 1", "name 2", "filter", "outcome",
                                     "path", "kind", "bytes", "sha256", "embedded name",
                                     "link target", "written more than once"));
    std::map<std::string, std::int64_t> outcomes;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        ASSERT_EQ(row.size(), 13u) << i;
        EXPECT_EQ(row[0], "table");
        EXPECT_EQ(row[1], "img");
        ++outcomes[row[5]];
        if (!row[6].empty()) {
            // Every file named exists and has the row's size and digest,
            // unless a later record wrote over it (then the row says so).
            const std::string bytes = ReadFile(row[6]);
            if (row[12] != "yes") {
                EXPECT_EQ(std::to_string(bytes.size()), row[8]) << row[6];
                EXPECT_EQ(Sha256Of(bytes), row[9]) << row[6];
            }
            EXPECT_EQ(row[9].size(), 64u);
        } else {
            EXPECT_EQ(row[8], "");
            EXPECT_EQ(row[9], "");
        }
    }
    EXPECT_EQ(outcomes["written"] + outcomes["damaged"], report.filesWritten);
    EXPECT_EQ(outcomes["damaged"], report.damagedObjects);
    EXPECT_EQ(outcomes["dump copy"], report.dumpCopiesWritten);
    EXPECT_EQ(outcomes["linked"], report.linkedObjects);
    EXPECT_EQ(outcomes["empty"], report.emptyBlobs);
    EXPECT_EQ(outcomes["skipped as unknown"], report.skippedUnknown);
    EXPECT_EQ(outcomes["rejected by the filter"], report.rejectedByFilter);
    EXPECT_EQ(outcomes["failed"], 0);
    EXPECT_EQ(outcomes["written"], 4);
    EXPECT_EQ(outcomes["damaged"], 1);
    EXPECT_EQ(outcomes["skipped as unknown"], 1);  // the damaged package
    EXPECT_EQ(report.rejectedByFilter, 2);

    // Rows with their own texts.
    const auto& linked =
        *std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r[5] == "linked"; });
    EXPECT_EQ(linked[2], "2");
    EXPECT_EQ(linked[4], "north");
    EXPECT_EQ(linked[11], "C:\\cad\\plan.dxf");
    EXPECT_EQ(linked[10], "plan.dxf");
    const auto& docxRow =
        *std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r[7] == ".docx"; });
    EXPECT_EQ(docxRow[10], "minutes.docx");
    EXPECT_EQ(docxRow[6], Out("1.docx"));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                            [](const auto& r) { return r[2] == "Smith, \"J\""; }));
}

TEST_F(UnwrapRunTest, PathsWrittenTwiceAreMarkedInEveryRowThatWroteThem) {
    Add("5", DamagedPackage());
    Add("5", Raw(kJpeg));
    Add("5", Raw(std::string("%PDF-1.4 a document")));
    Add("5", Raw(kJpeg));
    Add("6", Raw(kJpeg));
    host_.inputs.unwrap = true;
    host_.inputs.manifestPath = dir_.Prefix() + "m.csv";
    const RunReport report = Run();
    ASSERT_TRUE(report.completed);
    const auto rows = ParseCsv(ReadFile(dir_.Path() / "m.csv"));
    std::vector<std::string> marks;
    for (std::size_t i = 1; i < rows.size(); ++i)
        marks.push_back(rows[i][5] + " " + rows[i][6] + " " + rows[i][12]);
    EXPECT_THAT(marks,
                ElementsAre("damaged " + Out("5.dmp") + " ", "written " + Out("5.jpg") + " yes",
                            "written " + Out("5.pdf") + " ", "written " + Out("5.jpg") + " yes",
                            "written " + Out("6.jpg") + " "));
    EXPECT_EQ(report.duplicatePaths, 1);
}

TEST_F(UnwrapRunTest, JsonLinesManifestOfARunThatEndedEarlyIsMarkedIncomplete) {
    Add("1", Raw(kJpeg));
    Add("1", Raw(kJpeg));
    table_.rows.push_back(
        {std::string("2\n\"x\"\x01"), FakeBlob(kJpeg, 0, 1000), std::string(), std::string()});
    Add("3", Raw(kJpeg));
    host_.inputs.manifestPath = dir_.Prefix() + "manifest.jsonl";
    const RunReport report = Run();
    ASSERT_FALSE(report.completed);

    const std::string text = ReadFile(dir_.Path() / "manifest.jsonl");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_THAT(lines[0], StartsWith("{\"table\":\"table\",\"blobField\":\"img\",\"name1\":\"1\""));
    EXPECT_THAT(lines[0], HasSubstr("\"outcome\":\"written\""));
    EXPECT_THAT(lines[0], HasSubstr("\"bytes\":" + std::to_string(kJpeg.size()) + ","));
    EXPECT_THAT(lines[0], HasSubstr("\"sha256\":\"" + Sha256Of(kJpeg) + "\""));
    EXPECT_THAT(lines[0], HasSubstr("\"writtenMoreThanOnce\":true}"));
    EXPECT_THAT(lines[2], HasSubstr("\"name1\":\"2\\n\\\"x\\\"\\u0001\""));
    EXPECT_THAT(lines[2], HasSubstr("\"outcome\":\"failed\""));
    EXPECT_THAT(lines[2], HasSubstr("\"bytes\":null"));
    EXPECT_EQ(lines[3], "# incomplete: the run ended early: " + report.failure);
}

// The digests are taken beside the run; the manifest must still be exactly
// the one of digests taken in line, here for many files (some larger than
// what the hashing holds at once) and a run that a damaged blob ends.
TEST_F(UnwrapRunTest, ManifestOfManyFilesAndAnEarlyEndEqualsTheOneOfDigestsTakenInLine) {
    RunManifest expected(dir_.Prefix() + "expected.csv");
    std::mt19937 random(3);
    for (int id = 1; id <= 300; ++id) {
        const std::size_t size = id % 97 == 0 ? (std::size_t{3} << 19) : random() % 20000;
        std::string value = kJpeg;
        while (value.size() < size) value += static_cast<char>(random());
        if (id == 260) {
            // Claims more bytes than it holds: the run ends here.
            table_.rows.push_back(
                {std::to_string(id), FakeBlob(value, 0, 1 << 20), std::string(), std::string()});
            ManifestRow failed{"table", "img", std::to_string(id)};
            failed.outcome = ManifestOutcome::Failed;
            expected.Add(failed);
            continue;
        }
        table_.rows.push_back({std::to_string(id), FakeBlob(value), std::string(), std::string()});
        if (id > 260) continue;
        ManifestRow row{"table", "img", std::to_string(id)};
        row.outputPath = Out(std::to_string(id) + ".jpg");
        row.kind = ".jpg";
        row.bytes = static_cast<std::int64_t>(value.size());
        row.sha256 = Sha256Of(value);
        expected.Add(row);
    }
    host_.inputs.manifestPath = dir_.Prefix() + "manifest.csv";
    const RunReport report = Run();
    ASSERT_FALSE(report.completed);
    EXPECT_EQ(report.filesWritten, 259);
    EXPECT_EQ(ReadFile(dir_.Path() / "manifest.csv"), expected.Text(report.failure));
}

TEST_F(UnwrapRunTest, ManifestOfARunThatNeverConnected) {
    connection_.connectFailure = "Cannot find Database:\r\n/data/photos.mdb";
    host_.inputs.manifestPath = dir_.Prefix() + "m.csv";
    EXPECT_THROW(Run(), std::runtime_error);
    const auto rows = ParseCsv(ReadFile(dir_.Path() / "m.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0],
              "# incomplete: the run ended early: Cannot find Database:  /data/photos.mdb");
}

}  // namespace
}  // namespace corvid
