#include "engine/ole_unwrap.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>

#include "engine/byte_cursor.h"
#include "engine/ole_compound_file.h"
#include "engine/ole_package.h"
#include "engine/ooxml_kind.h"

namespace corvid {
namespace {

constexpr std::uint16_t kAccessOleSignature = 0x1C15;
constexpr std::size_t kAccessHeaderFixedSize = 20;
constexpr std::uint32_t kOle1Version = 0x0501;
constexpr std::uint32_t kFormatLinked = 1;
constexpr std::uint32_t kFormatEmbedded = 2;
constexpr std::uint32_t kFormatStatic = 3;

UnwrappedObject NotExplained(std::string reason, bool damaged) {
    UnwrappedObject out;
    out.kind = UnwrappedObject::Kind::NotExplained;
    out.reason = std::move(reason);
    out.damaged = damaged;
    return out;
}

UnwrappedObject Document(std::span<const std::byte> bytes, std::string extension,
                         std::string description) {
    UnwrappedObject out;
    out.kind = UnwrappedObject::Kind::Document;
    out.view = bytes;
    out.extension = std::move(extension);
    out.description = std::move(description);
    return out;
}

UnwrappedObject FromPackage(const PackageContent& package, std::string description) {
    UnwrappedObject out;
    out.description = std::move(description);
    out.embeddedName = package.fileName;
    if (package.linked) {
        out.kind = UnwrappedObject::Kind::Linked;
        out.linkTarget = package.linkTarget;
    } else {
        out.kind = UnwrappedObject::Kind::Document;
        out.view = package.fileBytes;
    }
    return out;
}

// A BMP file padded by the painting program: the file is as long as its
// header says (bfSize).
UnwrappedObject PaintbrushBitmap(std::span<const std::byte> native) {
    ByteCursor cursor(native, "PBrush bitmap");
    const auto magic = cursor.Take(2, "the BMP signature");
    if (std::memcmp(magic.data(), "BM", 2) != 0) cursor.Fail("the native data is not a BMP file");
    const std::uint32_t fileSize = cursor.U32();
    if (fileSize < 14 + 12)
        cursor.Fail("the BMP file size " + std::to_string(fileSize) + " is too small");
    if (fileSize > native.size())
        cursor.Fail("the BMP file size " + std::to_string(fileSize) +
                    " is larger than the native data's " + std::to_string(native.size()) +
                    " bytes");
    return Document(native.first(fileSize), ".bmp", "PBrush bitmap");
}

UnwrappedObject OfficeOpenXml(std::span<const std::byte> zip, std::string description) {
    return Document(zip, OfficeOpenXmlExtension(zip), std::move(description));
}

UnwrappedObject CompoundFile(std::span<const std::byte> native) {
    CompoundFileContent content = ReadCompoundFile(native);
    using Kind = CompoundFileContent::Kind;
    UnwrappedObject out;
    switch (content.kind) {
        case Kind::Document:
            return Document(native, content.extension, "compound file document");
        case Kind::Ole10Native: {
            const PackageContent package = ParsePackage(content.stream);
            // Keep the packaged file's bytes, not the whole stream.
            std::vector<std::byte> file(package.fileBytes.begin(), package.fileBytes.end());
            out = FromPackage(package, "Package in a compound file");
            out.view = {};
            if (!package.linked) out.owned = std::move(file);
            return out;
        }
        case Kind::OoxmlPackage:
            if (!StartsWithZipSignature(content.stream))
                throw OleStructureError("compound file: the Package stream is not a zip");
            out.extension = OfficeOpenXmlExtension(content.stream);
            out.kind = UnwrappedObject::Kind::Document;
            out.description = "Office Open XML package in a compound file";
            out.owned = std::move(content.stream);
            return out;
        case Kind::Contents: {
            const bool pdf =
                content.stream.size() >= 5 && std::memcmp(content.stream.data(), "%PDF-", 5) == 0;
            out.kind = UnwrappedObject::Kind::Document;
            out.extension = pdf ? ".pdf" : "";
            out.description = "CONTENTS stream of a compound file";
            out.owned = std::move(content.stream);
            return out;
        }
        case Kind::Unknown:
            break;
    }
    return NotExplained("a compound file without a stream the unwrapping knows", false);
}

UnwrappedObject Unwrap(std::span<const std::byte> value) {
    ByteCursor header(value, "Access OLE header");
    if (value.size() < kAccessHeaderFixedSize || header.U16() != kAccessOleSignature)
        return NotExplained("no Access OLE header", false);
    const std::uint16_t headerSize = header.U16();
    header.U32();  // object type; the OLE 1.0 format below decides
    const std::uint16_t nameLength = header.U16();
    const std::uint16_t classLength = header.U16();
    const std::uint16_t nameOffset = header.U16();
    const std::uint16_t classOffset = header.U16();
    if (headerSize < kAccessHeaderFixedSize || headerSize > value.size())
        header.Fail("header size " + std::to_string(headerSize) + " outside the value of " +
                    std::to_string(value.size()) + " bytes");
    if (std::size_t{nameOffset} + nameLength > headerSize ||
        std::size_t{classOffset} + classLength > headerSize)
        header.Fail("a name runs past the header");

    ByteCursor ole(value.subspan(headerSize), "OLE 1.0 object");
    const std::uint32_t version = ole.U32();
    if (version != kOle1Version) ole.Fail("version " + std::to_string(version) + " is not 0x0501");
    const std::uint32_t format = ole.U32();
    if (format == kFormatStatic) return NotExplained("a static picture", false);
    if (format != kFormatEmbedded && format != kFormatLinked)
        ole.Fail("unknown format " + std::to_string(format));
    const std::string className = ole.LengthText("the class name");
    const std::string topic = ole.LengthText("the topic name");
    ole.LengthText("the item name");

    if (format == kFormatLinked) {
        UnwrappedObject out;
        out.kind = UnwrappedObject::Kind::Linked;
        out.linkTarget = topic;
        out.description = "linked " + className + " object";
        return out;
    }

    const std::uint32_t nativeSize = ole.U32();
    const std::span<const std::byte> native = ole.Take(nativeSize, "the native data");

    // Newer programs keep a compound file as native data whatever the class.
    if (StartsWithCompoundFileSignature(native)) return CompoundFile(native);
    if (className == "Package") return FromPackage(ParsePackage(native), "Package");
    if (className == "PBrush" || className == "Paint.Picture") return PaintbrushBitmap(native);
    if (StartsWithZipSignature(native)) {
        UnwrappedObject out = OfficeOpenXml(native, className + " zip");
        if (!out.extension.empty()) return out;
    }
    UnwrappedObject out = Document(native, "", "native data of class " + className);
    out.unknownClass = true;
    return out;
}

}  // namespace

UnwrappedObject UnwrapOleObject(std::span<const std::byte> value) {
    try {
        return Unwrap(value);
    } catch (const OleStructureError& error) {
        return NotExplained(error.what(), true);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        return NotExplained(error.what(), true);
    }
}

}  // namespace corvid
