#include "tools/oledocs/ole_wrappers.h"

#include "SrcLib/code_pages.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "tools/oledocs/bmp_file.h"
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/metafile.h"

namespace corvid::oledocs {

namespace {

// Offset of the friendly name: the fixed part of the Access header.
constexpr std::size_t kAccessHeaderFixedSize = 20;
constexpr std::uint32_t kUnknownExtent = 0xFFFFFFFF;
constexpr std::byte kChecksumSeed{0};
constexpr std::uint32_t kPackagerSignature = 2;
constexpr std::uint32_t kPackagedEmbeddedFile = 0x00030000;
constexpr std::uint16_t kMetafileMapMode = 8;  // anisotropic
constexpr std::size_t kPaintNativeAlignment = 16;

std::uint32_t Size32(std::size_t size, const char* what) {
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error(std::string(what) + " larger than 4 GiB");
  }
  return static_cast<std::uint32_t>(size);
}

// A length-prefixed, zero-terminated OLE 1.0 name; an empty name is just a
// zero length.
void Ole1Name(ByteWriter& writer, std::string_view name) {
  if (name.empty()) {
    writer.U32(0);
  } else {
    writer.U32(Size32(name.size() + 1, "OLE name")).TextZ(name);
  }
}

// Builds one value in a single buffer: the Access header, then whatever
// the caller appends, then the trailer over everything behind the header.
class ValueBuilder {
 public:
  ValueBuilder(std::string_view friendlyName, std::string_view className, OleObjectType type,
               std::size_t expectedSize)
      : out_(AccessOleHeader(friendlyName, className, type)), headerSize_(out_.size()) {
    out_.reserve(headerSize_ + expectedSize + 4);
  }
  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;
  ByteWriter& Writer() { return writer_; }
  Bytes Finish() {
    const auto trailer = AccessOleTrailer(ByteSpan(out_).subspan(headerSize_));
    writer_.Raw(trailer);
    return std::move(out_);
  }

 private:
  Bytes out_;
  std::size_t headerSize_;
  ByteWriter writer_{out_};
};

// The OLE 1.0 embedded object up to its native data size, which the caller
// writes (or patches) together with the native data; returns the offset of
// the size field.
std::size_t BeginEmbedded(ByteWriter& writer, std::string_view className) {
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Embedded));
  Ole1Name(writer, className);
  Ole1Name(writer, {});  // topic
  Ole1Name(writer, {});  // item
  const std::size_t sizeField = writer.Size();
  writer.U32(0);
  return sizeField;
}

void EndEmbedded(ByteWriter& writer, std::size_t sizeField, ByteSpan presentation) {
  writer.PatchU32(sizeField, Size32(writer.Size() - sizeField - 4, "native data"));
  if (presentation.empty()) {
    writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::None));
  } else {
    writer.Raw(presentation);
  }
}

}  // namespace

Bytes AccessOleHeader(std::string_view friendlyName, std::string_view className,
                      OleObjectType type) {
  const std::size_t nameSize = friendlyName.size() + 1;
  const std::size_t classSize = className.size() + 1;
  const std::size_t headerSize = kAccessHeaderFixedSize + nameSize + classSize;
  if (headerSize > std::numeric_limits<std::uint16_t>::max()) {
    throw std::length_error("OLE object names too long for the Access header");
  }
  Bytes out;
  ByteWriter writer(out);
  writer.U16(kAccessOleSignature)
      .U16(static_cast<std::uint16_t>(headerSize))
      .U32(static_cast<std::uint32_t>(type))
      .U16(static_cast<std::uint16_t>(nameSize))
      .U16(static_cast<std::uint16_t>(classSize))
      .U16(static_cast<std::uint16_t>(kAccessHeaderFixedSize))
      .U16(static_cast<std::uint16_t>(kAccessHeaderFixedSize + nameSize))
      .U32(kUnknownExtent)
      .TextZ(friendlyName)
      .TextZ(className);
  return out;
}

Bytes Ole1EmbeddedObject(std::string_view className, ByteSpan nativeData,
                         std::string_view topicName, std::string_view itemName) {
  Bytes out;
  out.reserve(nativeData.size() + className.size() + 32);
  ByteWriter writer(out);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Embedded));
  Ole1Name(writer, className);
  Ole1Name(writer, topicName);
  Ole1Name(writer, itemName);
  writer.U32(Size32(nativeData.size(), "native data")).Raw(nativeData);
  return out;
}

Bytes Ole1NoPresentation() {
  Bytes out;
  ByteWriter(out).U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::None));
  return out;
}

Bytes Ole1MetafilePresentation(ByteSpan metafile, std::int32_t widthHimetric,
                               std::int32_t heightHimetric) {
  Bytes out;
  ByteWriter writer(out);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Presentation));
  Ole1Name(writer, "METAFILEPICT");
  writer.I32(widthHimetric)
      .I32(-heightHimetric)
      .U32(Size32(metafile.size() + 8, "metafile"))
      .U16(kMetafileMapMode)
      .I16(static_cast<std::int16_t>(widthHimetric))
      .I16(static_cast<std::int16_t>(heightHimetric))
      .U16(0)  // metafile handle, meaningless once stored
      .Raw(metafile);
  return out;
}

Bytes Ole1StaticDib(ByteSpan dib, std::int32_t widthHimetric, std::int32_t heightHimetric) {
  Bytes out;
  ByteWriter writer(out);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Static));
  Ole1Name(writer, "DIB");
  writer.I32(widthHimetric).I32(heightHimetric).U32(Size32(dib.size(), "DIB")).Raw(dib);
  return out;
}

std::array<std::byte, 4> AccessOleTrailer(ByteSpan ole1Part) {
  // XOR eight bytes at a time, then fold the word into one byte.
  std::uint64_t word = 0;
  std::size_t at = 0;
  for (; at + 8 <= ole1Part.size(); at += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, ole1Part.data() + at, 8);
    word ^= chunk;
  }
  std::byte checksum = kChecksumSeed;
  for (int shift = 0; shift < 64; shift += 8) checksum ^= static_cast<std::byte>(word >> shift);
  for (; at < ole1Part.size(); ++at) checksum ^= ole1Part[at];
  return {checksum, std::byte{0xAD}, std::byte{0x05}, std::byte{0xFE}};
}

std::int32_t PixelsToHimetric(std::int32_t pixels) {
  const std::int64_t scaled = static_cast<std::int64_t>(pixels) * 2540;
  return static_cast<std::int32_t>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

Bytes WrapEmbeddedObject(const EmbeddedObjectSpec& object, ByteSpan nativeData,
                         ByteSpan presentation) {
  ValueBuilder value(object.friendlyName, object.accessClass, OleObjectType::Embedded,
                     nativeData.size() + presentation.size() + object.oleClass.size() + 40);
  ByteWriter& writer = value.Writer();
  const std::size_t sizeField = BeginEmbedded(writer, object.oleClass);
  writer.Raw(nativeData);
  EndEmbedded(writer, sizeField, presentation);
  return value.Finish();
}

Bytes BitmapMetafilePresentation(ByteSpan bmpFile) {
  const BmpFile bmp = ParseBmpFile(bmpFile);
  const std::int32_t height = bmp.height < 0 ? -bmp.height : bmp.height;
  if (bmp.width <= 0 || bmp.width > std::numeric_limits<std::int16_t>::max() ||
      height > std::numeric_limits<std::int16_t>::max()) {
    throw std::invalid_argument("bitmap size does not fit a metafile presentation");
  }
  const Bytes metafile =
      DibMetafile(bmp.dib, static_cast<std::int16_t>(bmp.width), static_cast<std::int16_t>(height));
  return Ole1MetafilePresentation(metafile, PixelsToHimetric(bmp.width), PixelsToHimetric(height));
}

Bytes WrapPaintbrushBitmap(ByteSpan bmpFile, Presentation presentation) {
  ParseBmpFile(bmpFile);  // throws for what is not a BMP file
  Bytes native(bmpFile.begin(), bmpFile.end());
  native.resize((native.size() + kPaintNativeAlignment - 1) / kPaintNativeAlignment *
                kPaintNativeAlignment);
  const Bytes presentationBytes =
      presentation == Presentation::Metafile ? BitmapMetafilePresentation(bmpFile) : Bytes{};
  return WrapEmbeddedObject({"Bitmap Image", "Paint.Picture", "PBrush"}, native, presentationBytes);
}

Bytes WrapPackage(std::string_view fileName, std::string_view sourcePath, ByteSpan fileBytes) {
  const std::string label = Utf8ToWindows1252(fileName);
  const std::string path = Utf8ToWindows1252(sourcePath);
  ValueBuilder value("Package", "Package", OleObjectType::Embedded,
                     fileBytes.size() + 4 * (label.size() + 2 * path.size()) + 80);
  ByteWriter& writer = value.Writer();
  const std::size_t sizeField = BeginEmbedded(writer, "Package");
  writer.U16(kPackagerSignature).TextZ(label).TextZ(path).U32(kPackagedEmbeddedFile);
  // The packager records where it copied the file before embedding it; the
  // original path stands in for that temporary copy.
  writer.U32(Size32(path.size() + 1, "path")).TextZ(path);
  writer.U32(Size32(fileBytes.size(), "packaged file")).Raw(fileBytes);
  for (std::string_view name : {sourcePath, fileName, sourcePath}) {
    const std::u16string wide = Utf8ToUtf16(name);
    writer.U32(Size32(wide.size(), "name"));
    for (char16_t unit : wide) writer.U16(unit);
  }
  EndEmbedded(writer, sizeField, {});
  return value.Finish();
}

Bytes WrapPdfDocument(ByteSpan pdfFile) {
  return WrapEmbeddedObject({"Acrobat Document", "AcroExch.Document", "AcroExch.Document"},
                            pdfFile);
}

Bytes WrapStaticDib(ByteSpan bmpFile) {
  const BmpFile bmp = ParseBmpFile(bmpFile);
  const std::int32_t height = bmp.height < 0 ? -bmp.height : bmp.height;
  ValueBuilder value("Picture", "", OleObjectType::Static, bmp.dib.size() + 32);
  value.Writer().Raw(Ole1StaticDib(bmp.dib, PixelsToHimetric(bmp.width), PixelsToHimetric(height)));
  return value.Finish();
}

Bytes BareLongBinary(ByteSpan document) { return Bytes(document.begin(), document.end()); }

}  // namespace corvid::oledocs
