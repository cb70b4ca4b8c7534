#include "engine/recognition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>
#include "tests/fixture_files.h"

namespace corvid {
namespace {

using namespace std::string_view_literals;
using Blob = std::vector<std::byte>;

constexpr std::string_view kStaticDib =
    "\xFF\xFF\xFF\xFF"
    "Picture\0"
    "\0"
    "\x01\x05\0\0"
    "\x03\0\0\0"
    "\x04\0\0\0"
    "DIB"sv;
constexpr std::string_view kDibHeaderSize = "\x28\0\0\0"sv;
constexpr std::string_view kPng =
    "\x89PNG\r\n\x1A\n"
    "\0\0\0\x0D"
    "IHDR"sv;
constexpr std::string_view kJfifJpeg = "\xFF\xD8\xFF\xE0\0\x10JFIF\0"sv;
constexpr std::string_view kExifJpeg =
    "\xFF\xD8\xFF\xE1\0\x20"
    "Exif\0\0"sv;
constexpr std::string_view kPsd = "8BPS\0\x01\0\0\0\0\0\0\0"sv;
constexpr std::string_view kPsp = "Paint Shop Pro Image File\n\x1A\0\0\0\0\0"sv;
constexpr std::string_view kJp2 =
    "\0\0\0\x0C"
    "jP  \r\n"sv;
constexpr std::string_view kCrw =
    "II\x1A\0\0\0"
    "HEAPCCDR\x02\0"sv;
constexpr std::string_view kOle2 = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;
constexpr std::string_view kZipOffice = "PK\x03\x04\x14\0\x06\0"sv;
constexpr std::string_view kZipPlain = "PK\x03\x04\x14\0\0\0"sv;

// A blob of `size` filler bytes ('z', in no signature) with pieces laid over it.
Blob Make(std::size_t size,
          std::initializer_list<std::pair<std::size_t, std::string_view>> pieces) {
    Blob blob(size, std::byte{'z'});
    for (const auto& [offset, bytes] : pieces)
        for (std::size_t i = 0; i < bytes.size() && offset + i < size; ++i)
            blob[offset + i] = static_cast<std::byte>(bytes[i]);
    return blob;
}

struct Outcome {
    std::string path;
    std::size_t start;
    bool skip;
    bool header;
};

Outcome Classify(Recogniser& recogniser, const Blob& blob, const RecognitionOptions& options = {},
                 std::string path = "out/123") {
    const RecognitionResult r = recogniser.Recognise(blob, path, options);
    return {path, r.startPosition, r.skip, r.bitmapFileHeader};
}

Outcome Classify(const Blob& blob, const RecognitionOptions& options = {},
                 std::string path = "out/123") {
    Recogniser recogniser;
    return Classify(recogniser, blob, options, std::move(path));
}

struct Case {
    const char* name;
    Blob blob;
    std::string extension;
    std::size_t start;
};

void ExpectCases(const std::vector<Case>& cases, const RecognitionOptions& options) {
    Recogniser recogniser;  // one for all, as in a run
    for (const Case& c : cases) {
        const Outcome o = Classify(recogniser, c.blob, options);
        EXPECT_EQ(o.path, "out/123" + c.extension) << c.name;
        EXPECT_EQ(o.start, c.start) << c.name;
        EXPECT_FALSE(o.skip) << c.name;
    }
}

TEST(Recognition, FirstPassInItsOrder) {
    const std::vector<Case> cases = {
        {"plain PDF", Make(100, {{0, "%PDF-1.4"}}), ".pdf", 1},
        {"PDF behind a wrapper", Make(100, {{50, "%PDF-1.5"}}), ".pdf", 51},
        {"PNG wins over an earlier GIF", Make(300, {{10, "GIF89a"}, {100, kPng}}), ".png", 101},
        {"JFIF JPEG wins over an earlier PNG", Make(400, {{10, kPng}, {200, kJfifJpeg}}), ".jpg",
         201},
        {"JFIF tag before the JPEG start", Make(400, {{10, "JFIF\0"sv}, {300, "\xFF\xD8\xFF"}}),
         ".jpg", 301},
        {"10-byte PSD: missing bytes read as zeros", Make(10, {{0, "8BPS\0\x01\0\0\0\0"sv}}),
         ".psd", 1},
        {"CPT9 before plain CPT", Make(100, {{5, "CPTFILE"}, {20, "CPT9FILE"}}), ".cpt", 21},
        {"CPT7", Make(100, {{7, "CPT7FILE"}}), ".cpt", 8},
        {"placeable WMF", Make(100, {{3, "\xD7\xCD\xC6\x9A\0\0"sv}}), ".wmf", 4},
        {"standard WMF", Make(100, {{3, "\x01\0\x09\0\0\x03"sv}}), ".wmf", 4},
        {"GIF87a", Make(100, {{9, "GIF87a"}}), ".gif", 10},
        {"Paint Shop Pro", Make(100, {{1, kPsp}}), ".psp", 2},
        {"BMP file 14 bytes before its info header",
         Make(300, {{0x4E, "BM"}, {0x4E + 14, kDibHeaderSize}}), ".bmp", 0x4F},
        {"Exif JPEG without JFIF", Make(300, {{30, kExifJpeg}}), ".jpg", 31},
        {"BMP test comes before the plain JPEG test",
         Make(300, {{30, kExifJpeg}, {200, "BM"}, {214, kDibHeaderSize}}), ".bmp", 201},
        {"RIFF", Make(100, {{4, "RIFF"}}), ".avi", 5},
        {"DWG", Make(100, {{4, "AC1015"}}), ".dwg", 5},
        {"JPEG 2000", Make(100, {{4, kJp2}}), ".jp2", 5},
        {"PICT", Make(100, {{4, "PICT\0\x08"sv}}), ".img", 5},
        {"Canon raw before TIFF", Make(100, {{4, kCrw}, {40, "II*\0"sv}}), ".crw", 5},
        {"TIFF little-endian", Make(100, {{6, "II*\0"sv}}), ".tif", 7},
        {"TIFF big-endian", Make(100, {{6, "MM\0*"sv}}), ".tif", 7},
        {"OLE2 compound file", Make(2000, {{512, kOle2}}), ".office", 513},
        {"Office Open XML package", Make(2000, {{64, kZipOffice}}), ".officex", 65},
        {"ZIP with flags 0", Make(2000, {{64, kZipPlain}}), ".dmp", 1},
        {"a first-pass format beats the Office tests", Make(2000, {{0, kOle2}, {600, "GIF89a"}}),
         ".gif", 601},
        {"BMP whose wrapper holds an earlier 28 00 00 00",
         Make(300, {{20, kDibHeaderSize}, {0x4E, "BM"}, {0x4E + 14, kDibHeaderSize}}), ".dmp", 1},
        {"one byte", Make(1, {}), ".dmp", 1},
        {"empty", Make(0, {}), ".dmp", 1},
    };
    ExpectCases(cases, {});
}

TEST(Recognition, StaticDibGetsTheBitmapFileHeader) {
    // OLE header, the "Picture" presentation record, its terminating zero and
    // three 32-bit values, then the bitmap information header.
    const std::size_t marker = 20;
    const Blob blob = Make(500, {{marker, kStaticDib},
                                 {marker + 28,
                                  "\0"
                                  "\x10\0\0\0"
                                  "\x08\0\0\0"
                                  "\x00\x02\0\0"sv},
                                 {marker + 41, kDibHeaderSize}});
    const Outcome o = Classify(blob);
    EXPECT_EQ(o.path, "out/123.bmp");
    EXPECT_TRUE(o.header);
    ASSERT_EQ(o.start, marker + 41 + 1);
    EXPECT_EQ(blob[o.start - 1], std::byte{0x28});

    // One more 28 00 00 00 earlier in the wrapper: the pair no longer matches.
    const Blob shifted =
        Make(500, {{4, kDibHeaderSize}, {marker, kStaticDib}, {marker + 41, kDibHeaderSize}});
    const Outcome failed = Classify(shifted);
    EXPECT_EQ(failed.path, "out/123.dmp");
    EXPECT_FALSE(failed.header);
    EXPECT_EQ(failed.start, 1u);

    static_assert(kBitmapFileHeader[0] == std::byte{'B'} && kBitmapFileHeader[1] == std::byte{'M'});
    EXPECT_EQ(kBitmapFileHeader[10], std::byte{54});
    for (std::size_t i : {2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13})
        EXPECT_EQ(kBitmapFileHeader[i], std::byte{0}) << i;
}

TEST(Recognition, PaintbrushObjectFromAccess) {
    std::ifstream in(corvid::testing_fixtures::FixturePath("ole/paintbrush"), std::ios::binary);
    ASSERT_TRUE(in) << "fixture missing";
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Blob blob(bytes.size());
    std::memcpy(blob.data(), bytes.data(), bytes.size());
    const Outcome o = Classify(blob);
    EXPECT_EQ(o.path, "out/123.bmp");
    EXPECT_EQ(o.start, 0x4Eu + 1);  // the BMP file inside the PBrush object
    EXPECT_FALSE(o.header);
}

TEST(Recognition, SkipAndTheSwitchesThatTurnTestsOff) {
    const Blob pdf = Make(100, {{0, "%PDF-1.4"}});
    const Blob unknown = Make(100, {});

    Outcome o = Classify(unknown, {.skipUnknown = true});
    EXPECT_EQ(o.path, "out/123.dmp");
    EXPECT_TRUE(o.skip);
    EXPECT_FALSE(Classify(pdf, {.skipUnknown = true}).skip);

    // "dmp" in the filter-field box: written whole as .dmp, or skipped.
    o = Classify(pdf, {.filterFieldBox = "dmp"});
    EXPECT_EQ(o.path, "out/123.dmp");
    EXPECT_EQ(o.start, 1u);
    EXPECT_FALSE(o.skip);
    EXPECT_TRUE(Classify(pdf, {.skipUnknown = true, .filterFieldBox = "dmp"}).skip);
    for (std::string_view other : {"DMP", "dmp ", "xdmp", ""})
        EXPECT_EQ(Classify(pdf, {.filterFieldBox = other}).path, "out/123.pdf") << other;

    // Name from field 1: no signature test; the name's own extension stays.
    o = Classify(pdf, {.nameFromField1 = true, .skipUnknown = true}, "out/Photo_1.JPG");
    EXPECT_EQ(o.path, "out/Photo_1.JPG");
    EXPECT_EQ(o.start, 1u);
    EXPECT_FALSE(o.skip);
    o = Classify(pdf, {.nameFromField1 = true}, "out/Photo_1");
    EXPECT_EQ(o.path, "out/Photo_1.dmp");
    EXPECT_EQ(o.start, 1u);
    EXPECT_TRUE(Classify(pdf, {.nameFromField1 = true, .skipUnknown = true}, "out/Photo_1").skip);
}

TEST(Recognition, FirstWindowBoundary) {
    struct BoundaryCase {
        const char* name;
        Blob blob;
        bool deep;
        std::string extension;
        std::size_t start;
    };
    Blob zeroPadded = Make(9000, {{8261, "II*"}});
    zeroPadded[8264] = std::byte{'X'};  // not copied: the window holds a zero there
    const std::vector<BoundaryCase> cases = {
        {"8,264 bytes, signature in the last four", Make(8264, {{8260, "MM\0*"sv}}), false, ".tif",
         8261},
        {"8,265 bytes, last byte not examined", Make(8265, {{8261, "MM\0*"sv}}), false, ".dmp", 1},
        {"8,265 bytes, deep pass sees it", Make(8265, {{8261, "MM\0*"sv}}), true, ".tif", 8262},
        {"8,264 bytes: no deep pass", Make(8264, {{8262, "GIF89a"}}), true, ".dmp", 1},
        {"GIF straddling the boundary", Make(20000, {{8262, "GIF89a"}}), false, ".dmp", 1},
        {"GIF straddling, deep", Make(20000, {{8262, "GIF89a"}}), true, ".gif", 8263},
        {"PSD straddling, deep pass has no PSD test", Make(20000, {{8262, kPsd}}), true, ".dmp", 1},
        {"zero padding completes a TIFF signature", zeroPadded, false, ".tif", 8262},
    };
    Recogniser recogniser;
    for (const BoundaryCase& c : cases) {
        const Outcome o = Classify(recogniser, c.blob, {.deepSearch = c.deep});
        EXPECT_EQ(o.path, "out/123" + c.extension) << c.name;
        EXPECT_EQ(o.start, c.start) << c.name;
    }
}

TEST(Recognition, DeepPassOnlyWithTheOptionAndOnlyForItsFormats) {
    struct DeepCase {
        std::string_view signature;
        std::string extension;  // with the deep option; without it every one is .dmp
    };
    const DeepCase cases[] = {
        {"\xD7\xCD\xC6\x9A\0\0"sv, ".wmf"},
        {"\x01\0\x09\0\0\x03"sv, ".wmf"},
        {kJfifJpeg, ".jpg"},
        {kPng, ".png"},
        {"GIF89a", ".gif"},
        {"GIF87a", ".gif"},
        {"II*\0"sv, ".tif"},
        {"MM\0*"sv, ".tif"},
        {"%PDF-1.", ".pdf"},
        {kExifJpeg, ".jpg"},
        // Formats of the first pass only.
        {kPsd, ".dmp"},
        {"CPT9FILE", ".dmp"},
        {"CPTFILE", ".dmp"},
        {kPsp, ".dmp"},
        {"RIFF", ".dmp"},
        {"AC10", ".dmp"},
        {kJp2, ".dmp"},
        {"PICT\0\x08"sv, ".dmp"},
        {kCrw, ".dmp"},
    };
    Recogniser recogniser;
    for (const DeepCase& c : cases) {
        const Blob blob = Make(40000, {{20000, c.signature}});
        EXPECT_EQ(Classify(recogniser, blob).path, "out/123.dmp") << c.extension;
        const Outcome o = Classify(recogniser, blob, {.deepSearch = true});
        EXPECT_EQ(o.path, "out/123" + c.extension) << c.signature;
        EXPECT_EQ(o.start, c.extension == ".dmp" ? 1u : 20001u) << c.signature;
    }
}

TEST(Recognition, DeepPassOrderAndWindow) {
    struct Case2 {
        const char* name;
        Blob blob;
        std::string extension;
        std::size_t start;
    };
    const std::vector<Case2> cases = {
        {"table order, not position", Make(40000, {{15000, "%PDF-1."}, {30000, kPng}}), ".png",
         30001},
        {"PDF before the plain JPEG test", Make(40000, {{10000, kExifJpeg}, {20000, "%PDF-1."}}),
         ".pdf", 20001},
        {"JFIF anywhere in the deep window",
         Make(400000, {{10000, "\xFF\xD8\xFF"}, {12000, kPng}, {300000, "JFIF\0"sv}}), ".jpg",
         10001},
        {"last signature inside the deep window", Make(400000, {{327663, kPng}}), ".png", 327664},
        {"one byte beyond it", Make(400000, {{327664, kPng}}), ".dmp", 1},
        // The search stops at the limit n: the zero after the copy may complete
        // a signature, but not two zeros.
        {"zero after the copy completes placeable WMF",
         Make(40000, {{39995, "\xD7\xCD\xC6\x9A\0"sv}}), ".wmf", 39996},
        {"two zeros beyond the limit", Make(40000, {{39996, "\xD7\xCD\xC6\x9A"sv}}), ".dmp", 1},
        {"Office tests still run after a fruitless deep pass", Make(20000, {{100, kOle2}}),
         ".office", 101},
    };
    Recogniser recogniser;
    for (const Case2& c : cases) {
        const Outcome o = Classify(recogniser, c.blob, {.deepSearch = true});
        EXPECT_EQ(o.path, "out/123" + c.extension) << c.name;
        EXPECT_EQ(o.start, c.start) << c.name;
    }
}

TEST(Recognition, ExtensionOfTheWholePath) {
    struct Case3 {
        std::string_view path;
        bool has;
    };
    const Case3 cases[] = {
        {"out/123", false}, {"out/123.jpg", true}, {"out.d/123", false}, {"a.b\\c", false},
        {"a.b:c", false},   {"x.", true},          {"", false},          {"/tmp/.jpg", true},
    };
    for (const Case3& c : cases) EXPECT_EQ(PathHasExtension(c.path), c.has) << c.path;

    // A directory with a dot does not count as an extension.
    EXPECT_EQ(Classify(Make(10, {}), {}, "out.d/123").path, "out.d/123.dmp");
}

// A reused recogniser must answer exactly like a fresh one, however large the
// blob before was: the windows are cleaned between blobs.
TEST(Recognition, ReusedWindowsGiveTheSameResultsAsFreshOnes) {
    const std::string_view pieces[] = {"GIF89a",  kPng,      kPsd,           "II*",
                                       "MM\0*"sv, "%PDF-1.", "\xFF\xD8\xFF", "JFIF",
                                       kOle2,     "BM",      kDibHeaderSize};
    std::mt19937 random(31);
    const std::size_t sizes[] = {1, 9, 100, 8263, 8264, 8265, 9000, 60000, 327679, 327680, 340000};
    Recogniser reused;
    for (int round = 0; round < 150; ++round) {
        const std::size_t size = sizes[random() % std::size(sizes)];
        Blob blob(size, std::byte{'z'});
        const int count = random() % 4;
        for (int k = 0; k < count; ++k) {
            const std::string_view piece = pieces[random() % std::size(pieces)];
            const std::size_t at = random() % size;
            for (std::size_t i = 0; i < piece.size() && at + i < size; ++i)
                blob[at + i] = static_cast<std::byte>(piece[i]);
        }
        const RecognitionOptions options{.deepSearch = random() % 2 == 0};
        const Outcome fresh = Classify(blob, options);
        const Outcome again = Classify(reused, blob, options);
        ASSERT_EQ(again.path, fresh.path) << "round " << round;
        ASSERT_EQ(again.start, fresh.start) << "round " << round;
        ASSERT_EQ(again.header, fresh.header) << "round " << round;
    }
    // The classic leak: a large recognised blob, then a short one.
    Recogniser recogniser;
    EXPECT_EQ(Classify(recogniser, Make(20000, {{5000, "GIF89a"}, {200000, "x"}})).path,
              "out/123.gif");
    EXPECT_EQ(Classify(recogniser, Make(10, {})).path, "out/123.dmp");
    // The byte after a short blob must read as zero again, even where a longer
    // blob left something else: here it completes "II*" to a TIFF signature.
    EXPECT_EQ(Classify(recogniser, Make(9000, {})).path, "out/123.dmp");
    const Outcome tiff = Classify(recogniser, Make(100, {{97, "II*"}}));
    EXPECT_EQ(tiff.path, "out/123.tif");
    EXPECT_EQ(tiff.start, 98u);
    EXPECT_EQ(Classify(recogniser, Make(300000, {{200000, kPng}}), {.deepSearch = true}).path,
              "out/123.png");
    EXPECT_EQ(Classify(recogniser, Make(10000, {}), {.deepSearch = true}).path, "out/123.dmp");
}

}  // namespace
}  // namespace corvid
