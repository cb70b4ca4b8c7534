#include "engine/recognition.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/find_bytes.h"

namespace corvid {
namespace {

using namespace std::string_view_literals;

// Signatures, bytes as written in the files.
constexpr std::string_view kPdf = "%PDF-1."sv;
constexpr std::string_view kStaticDib =
    "\xFF\xFF\xFF\xFF"
    "Picture\0"
    "\0"
    "\x01\x05\0\0"
    "\x03\0\0\0"
    "\x04\0\0\0"
    "DIB"sv;
constexpr std::string_view kDibHeaderSize = "\x28\0\0\0"sv;
constexpr std::string_view kJpegStart = "\xFF\xD8\xFF"sv;
constexpr std::string_view kJfif = "JFIF\0"sv;
constexpr std::string_view kPng =
    "\x89PNG\r\n\x1A\n"
    "\0\0\0\x0D"
    "IHDR"sv;
constexpr std::string_view kPsd = "8BPS\0\x01\0\0\0\0\0\0\0"sv;
constexpr std::string_view kCpt9 = "CPT9FILE"sv;
constexpr std::string_view kCpt7 = "CPT7FILE"sv;
constexpr std::string_view kCpt = "CPTFILE"sv;
constexpr std::string_view kWmfPlaceable = "\xD7\xCD\xC6\x9A\0\0"sv;
constexpr std::string_view kWmfStandard = "\x01\0\x09\0\0\x03"sv;
constexpr std::string_view kGif89 = "GIF89a"sv;
constexpr std::string_view kGif87 = "GIF87a"sv;
constexpr std::string_view kPsp = "Paint Shop Pro Image File\n\x1A\0\0\0\0\0"sv;
constexpr std::string_view kBm = "BM"sv;
constexpr std::string_view kRiff = "RIFF"sv;
constexpr std::string_view kDwg = "AC10"sv;
constexpr std::string_view kJp2 =
    "\0\0\0\x0C"
    "jP  \r\n"sv;
constexpr std::string_view kPict = "PICT\0\x08"sv;
constexpr std::string_view kCrw =
    "II\x1A\0\0\0"
    "HEAPCCDR\x02\0"sv;
constexpr std::string_view kTiffLittle = "II*\0"sv;
constexpr std::string_view kTiffBig = "MM\0*"sv;
constexpr std::string_view kOle2 = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;
constexpr std::string_view kZip = "PK\x03\x04\x14\0\x06\0"sv;

static_assert(kStaticDib.size() == 28 && kPng.size() == 16 && kPsd.size() == 13);
static_assert(kPsp.size() == 32 && kJp2.size() == 10 && kCrw.size() == 16);
static_assert(kWmfPlaceable.size() == 6 && kWmfStandard.size() == 6 && kPict.size() == 6);
static_assert(kOle2.size() == 8 && kZip.size() == 8 && kJfif.size() == 5);

// Distances from a marker's first byte to the first byte of the bitmap
// information header that must follow it.
constexpr std::int64_t kStaticDibToHeader = 41;
constexpr std::int64_t kBmToHeader = 14;

enum class Kind {
    Plain,      // found: start at the match
    StaticDib,  // marker, then the first DIB header size exactly 41 bytes on
    BmpFile,    // "BM", then the first DIB header size exactly 14 bytes on
    JpegJfif,   // JPEG start, and the JFIF tag anywhere in the window
};

struct Test {
    Kind kind;
    std::string_view signature;
    std::string_view extension;
};

constexpr Test kFirstPass[] = {
    {Kind::Plain, kPdf, ".pdf"},          {Kind::StaticDib, kStaticDib, ".bmp"},
    {Kind::JpegJfif, kJpegStart, ".jpg"}, {Kind::Plain, kPng, ".png"},
    {Kind::Plain, kPsd, ".psd"},          {Kind::Plain, kCpt9, ".cpt"},
    {Kind::Plain, kCpt7, ".cpt"},         {Kind::Plain, kCpt, ".cpt"},
    {Kind::Plain, kWmfPlaceable, ".wmf"}, {Kind::Plain, kWmfStandard, ".wmf"},
    {Kind::Plain, kGif89, ".gif"},        {Kind::Plain, kGif87, ".gif"},
    {Kind::Plain, kPsp, ".psp"},          {Kind::BmpFile, kBm, ".bmp"},
    {Kind::Plain, kJpegStart, ".jpg"},    {Kind::Plain, kRiff, ".avi"},
    {Kind::Plain, kDwg, ".dwg"},          {Kind::Plain, kJp2, ".jp2"},
    {Kind::Plain, kPict, ".img"},         {Kind::Plain, kCrw, ".crw"},
    {Kind::Plain, kTiffLittle, ".tif"},   {Kind::Plain, kTiffBig, ".tif"},
};

constexpr Test kDeepPass[] = {
    {Kind::Plain, kWmfPlaceable, ".wmf"}, {Kind::Plain, kWmfStandard, ".wmf"},
    {Kind::JpegJfif, kJpegStart, ".jpg"}, {Kind::Plain, kPng, ".png"},
    {Kind::Plain, kGif89, ".gif"},        {Kind::Plain, kGif87, ".gif"},
    {Kind::Plain, kTiffLittle, ".tif"},   {Kind::Plain, kTiffBig, ".tif"},
    {Kind::Plain, kPdf, ".pdf"},          {Kind::Plain, kJpegStart, ".jpg"},
};

std::span<const std::byte> Bytes(std::string_view text) {
    return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

// One search window: its bytes, how many of them hold blob bytes (the rest is
// zero), and the limit its searches use.
struct Window {
    std::span<const std::byte> bytes;
    std::size_t filled;
    std::int64_t limit;

    bool Find(std::string_view signature, std::int64_t& position, std::int64_t searchLimit) const {
        return FindBytesZeroTail(Bytes(signature), bytes, filled, position, searchLimit);
    }
    bool Find(std::string_view signature, std::int64_t& position) const {
        return Find(signature, position, limit);
    }
};

// Runs one test; on success sets the start position (and the header flag).
bool RunTest(const Test& test, const Window& window, RecognitionResult& result) {
    std::int64_t at = 0;
    if (!window.Find(test.signature, at)) return false;
    switch (test.kind) {
        case Kind::Plain:
            result.startPosition = static_cast<std::size_t>(at);
            return true;
        case Kind::StaticDib:
        case Kind::BmpFile: {
            const std::int64_t distance =
                test.kind == Kind::StaticDib ? kStaticDibToHeader : kBmToHeader;
            std::int64_t header = 0;
            if (!window.Find(kDibHeaderSize, header) || header != at + distance) return false;
            if (test.kind == Kind::StaticDib) {
                result.startPosition = static_cast<std::size_t>(header);
                result.bitmapFileHeader = true;
            } else {
                result.startPosition = static_cast<std::size_t>(at);
            }
            return true;
        }
        case Kind::JpegJfif: {
            std::int64_t tag = 0;
            // The tag may lie anywhere in the window, whatever the pass's limit.
            if (!window.Find(kJfif, tag, 0)) return false;
            result.startPosition = static_cast<std::size_t>(at);
            return true;
        }
    }
    return false;
}

template <std::size_t N>
bool RunPass(const Test (&tests)[N], const Window& window, std::string& outputPath,
             RecognitionResult& result) {
    for (const Test& test : tests) {
        if (RunTest(test, window, result)) {
            outputPath += test.extension;
            return true;
        }
    }
    return false;
}

// Copies the blob's first bytes into a window and re-zeroes whatever an
// earlier, longer blob left behind it.
std::size_t Fill(std::byte* window, std::size_t& dirty, std::span<const std::byte> payload,
                 std::size_t maximum) {
    const std::size_t copied = std::min(maximum, payload.size());
    if (copied > 0) std::memcpy(window, payload.data(), copied);
    if (dirty > copied) std::memset(window + copied, 0, dirty - copied);
    dirty = copied;
    return copied;
}

}  // namespace

struct Recogniser::Windows {
    std::array<std::byte, kFirstWindowSize> first{};
    std::array<std::byte, kDeepWindowSize> deep{};
    std::size_t firstDirty = 0;
    std::size_t deepDirty = 0;
};

Recogniser::Recogniser() : windows_(std::make_unique<Windows>()) {}
Recogniser::~Recogniser() = default;
Recogniser::Recogniser(Recogniser&&) noexcept = default;
Recogniser& Recogniser::operator=(Recogniser&&) noexcept = default;

RecognitionResult Recogniser::Recognise(std::span<const std::byte> payload, std::string& outputPath,
                                        const RecognitionOptions& options) {
    Windows& w = *windows_;
    RecognitionResult result;
    const std::size_t firstFilled = Fill(w.first.data(), w.firstDirty, payload, kFirstWindowCopy);

    if (!options.nameFromField1 && options.filterFieldBox != "dmp") {
        const Window first{w.first, firstFilled, 0};
        bool found = RunPass(kFirstPass, first, outputPath, result);
        if (!found && options.deepSearch && payload.size() > kFirstWindowCopy) {
            const std::size_t n = Fill(w.deep.data(), w.deepDirty, payload, kDeepWindowCopy);
            const Window deep{w.deep, n, static_cast<std::int64_t>(n)};
            found = RunPass(kDeepPass, deep, outputPath, result);
        }
        if (!PathHasExtension(outputPath)) {
            std::int64_t at = 0;
            if (first.Find(kOle2, at)) {
                outputPath += ".office";
                result.startPosition = static_cast<std::size_t>(at);
            } else if (first.Find(kZip, at)) {
                outputPath += ".officex";
                result.startPosition = static_cast<std::size_t>(at);
            }
        }
    }

    if (!PathHasExtension(outputPath)) {
        outputPath += ".dmp";
        result.startPosition = 1;
        result.skip = options.skipUnknown;
    }
    return result;
}

bool PathHasExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    return path.find_first_of("/\\:", dot + 1) == std::string_view::npos;
}

}  // namespace corvid
