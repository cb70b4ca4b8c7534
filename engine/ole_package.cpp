#include "engine/ole_package.h"

#include <cstdint>
#include <optional>

#include "SrcLib/code_pages.h"
#include "engine/byte_cursor.h"

namespace corvid {
namespace {

constexpr std::uint16_t kPackagerSignature = 2;
constexpr std::uint32_t kEmbeddedFile = 0x00030000;
constexpr std::uint32_t kLinkedFile = 0x00010000;

// A zero-terminated ANSI text of the packager as UTF-8; the five positions
// Windows-1252 leaves unassigned become U+FFFD instead of failing the name.
std::string AnsiText(std::string_view text) {
    if (auto utf8 = Windows1252ToUtf8(text)) return *utf8;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto one = Windows1252ToUtf8(text.substr(i, 1));
        out += one ? *one : std::string("\xEF\xBF\xBD");
    }
    return out;
}

// A 32-bit count of UTF-16 code units and the units, as UTF-8 (unpaired
// surrogates become U+FFFD); nothing when it does not fit what is left.
std::optional<std::string> Utf16Name(ByteCursor& cursor) {
    if (cursor.Remaining() < 4) return std::nullopt;
    const std::uint32_t units = cursor.U32();
    if (units > cursor.Remaining() / 2) return std::nullopt;
    std::string out = Utf16LeToUtf8(cursor.Take(std::size_t{units} * 2, "a UTF-16 name"));
    // A terminating zero unit ends the name.
    if (const std::size_t zero = out.find('\0'); zero != std::string::npos) out.resize(zero);
    return out;
}

}  // namespace

std::string FileNamePart(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

PackageContent ParsePackage(std::span<const std::byte> native) {
    ByteCursor cursor(native, "Package");
    if (cursor.U16() != kPackagerSignature) cursor.Fail("not packager data (signature is not 2)");
    const std::string label = cursor.TextZ("the label");
    const std::string originalPath = cursor.TextZ("the original path");
    const std::uint32_t kind = cursor.U32();

    PackageContent content;
    if (kind == kLinkedFile) {
        content.linked = true;
        cursor.U16();
        content.linkTarget = AnsiText(cursor.TextZ("the link target"));
        content.fileName = FileNamePart(AnsiText(label));
        return content;
    }
    if (kind != kEmbeddedFile) cursor.Fail("unknown packaged kind " + std::to_string(kind));

    cursor.LengthText("the temporary path");
    const std::uint32_t size = cursor.U32();
    content.fileBytes = cursor.Take(size, "the packaged file");

    // The UTF-16 names are missing from older packagers' data; when they are
    // there, they keep letters the ANSI label lost.
    std::optional<std::string> wideName;
    if (Utf16Name(cursor)) wideName = Utf16Name(cursor);
    std::string name = wideName && !wideName->empty() ? *wideName : AnsiText(label);
    if (name.empty()) name = AnsiText(originalPath);
    content.fileName = FileNamePart(name);
    return content;
}

}  // namespace corvid
