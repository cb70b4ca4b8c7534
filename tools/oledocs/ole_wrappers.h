// OLE Object values as Access stores them in a long-binary (OLE Object) field.
//
// An embedded object is laid out as
//
//   Access OLE header  15 1C (signature), header size (16 bits), object type
//                      (32 bits: 1 linked, 2 embedded, 3 static), friendly-name
//                      length, class-name length, friendly-name offset,
//                      class-name offset (16 bits each), FF FF FF FF, then the
//                      friendly name and the class name, each zero-terminated.
//   OLE 1.0 object     version 0x0501, format id 2, class name (length-prefixed,
//                      zero-terminated), topic and item names (empty: length 0),
//                      native data size and the native data.
//   presentation       01 05 00 00 00 00 00 00 when there is none; otherwise a
//                      METAFILEPICT presentation object (format id 5).
//   trailer            one checksum byte (the XOR of every byte between the
//                      Access header and the trailer), then AD 05 FE.
//
// A static picture (what Access keeps for a pasted bitmap) has object type 3,
// the friendly name "Picture" and an empty class name; its OLE 1.0 object has
// format id 3 and class "DIB", followed by width, height, data size and the
// device-independent bitmap itself. The FF FF FF FF of the header, the name
// and that OLE 1.0 object form the static DIB marker, and the bitmap
// information header starts exactly 41 bytes after the marker.
//
// All integers are little-endian. Every builder returns the complete field
// value, byte for byte as it goes into the database.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::oledocs {

using Bytes = std::vector<std::byte>;
using ByteSpan = std::span<const std::byte>;

inline constexpr std::uint16_t kAccessOleSignature = 0x1C15;
inline constexpr std::uint32_t kOle1Version = 0x0501;

enum class OleObjectType : std::uint32_t { Linked = 1, Embedded = 2, Static = 3 };

// OLE 1.0 format ids.
enum class Ole1Format : std::uint32_t {
  None = 0,
  Linked = 1,
  Embedded = 2,
  Static = 3,
  Presentation = 5
};

// What follows the native data of an embedded object.
enum class Presentation {
  None,      // 01 05 00 00 00 00 00 00
  Metafile,  // METAFILEPICT presentation: a metafile that draws the bitmap
};

// ---- Building blocks -------------------------------------------------------

// The Access OLE header. Names are written as given (Access writes them in
// the ANSI code page) and zero-terminated; each must be shorter than 64 KiB.
Bytes AccessOleHeader(std::string_view friendlyName, std::string_view className,
                      OleObjectType type);

// OLE 1.0 embedded object: version, format id 2, class, topic, item, native.
Bytes Ole1EmbeddedObject(std::string_view className, ByteSpan nativeData,
                         std::string_view topicName = {}, std::string_view itemName = {});

// The presentation record Access writes when an object has no presentation.
Bytes Ole1NoPresentation();

// A METAFILEPICT presentation object: version, format id 5, "METAFILEPICT",
// width and height in hundredths of a millimetre (height stored negative),
// size, the 8-byte METAFILEPICT header (mapping mode 8, extents) and the
// metafile (a standard Windows metafile, no placeable header).
Bytes Ole1MetafilePresentation(ByteSpan metafile, std::int32_t widthHimetric,
                               std::int32_t heightHimetric);

// A static OLE 1.0 object holding a device-independent bitmap (class "DIB").
// `dib` is the bitmap information header, colour table and pixels (a BMP file
// without its 14-byte file header).
Bytes Ole1StaticDib(ByteSpan dib, std::int32_t widthHimetric, std::int32_t heightHimetric);

// The METAFILEPICT presentation Paint gives a bitmap: a metafile that
// stretches the BMP file's DIB over its pixel size, with the extent in
// hundredths of a millimetre at 96 dots per inch. Can follow the native data
// of any embedded object (WrapEmbeddedObject). Throws std::invalid_argument
// when `bmpFile` is not a BMP file or is wider or taller than 32767 pixels.
Bytes BitmapMetafilePresentation(ByteSpan bmpFile);

// The 4-byte trailer that closes every Access OLE value; `ole1Part` is every
// byte between the Access header and the trailer.
std::array<std::byte, 4> AccessOleTrailer(ByteSpan ole1Part);

// Extent of a bitmap in hundredths of a millimetre at 96 dots per inch,
// rounded to the nearest unit (127 pixels give 3360).
std::int32_t PixelsToHimetric(std::int32_t pixels);

// ---- Whole values ----------------------------------------------------------

// An embedded object of any class.
struct EmbeddedObjectSpec {
  std::string friendlyName;  // Access header, e.g. "Bitmap Image"
  std::string accessClass;   // Access header, e.g. "Paint.Picture"
  std::string oleClass;      // OLE 1.0 class, e.g. "PBrush"
};
Bytes WrapEmbeddedObject(const EmbeddedObjectSpec& object, ByteSpan nativeData,
                         ByteSpan presentation /* empty: Ole1NoPresentation() */ = {});

// A Paintbrush bitmap ("Bitmap Image" / "Paint.Picture" around class
// "PBrush"): the native data is the BMP file, padded with zero bytes to a
// multiple of 16 as Paint does. With Presentation::Metafile, a METAFILEPICT
// presentation that stretches the bitmap over its extent follows. Throws
// std::invalid_argument when `bmpFile` is not a BMP file with a 40-byte (or
// larger) bitmap information header.
Bytes WrapPaintbrushBitmap(ByteSpan bmpFile, Presentation presentation = Presentation::None);

// A file embedded through the Object Packager ("Package" / "Package" around
// class "Package"). The packager data (signature 2) carries the file name
// (the label), the original path, the embedded-file marker 00 00 03 00, the
// path of the packager's temporary copy (here the original path again), the
// file's size and bytes, and then the temporary path, the label and the
// original path once more in UTF-16. Names are UTF-8; the ANSI copies hold
// them in Windows-1252 ("?" for characters outside it).
Bytes WrapPackage(std::string_view fileName, std::string_view sourcePath, ByteSpan fileBytes);

// A PDF document embedded as an object of its own class ("Acrobat Document" /
// "AcroExch.Document" around class "AcroExch.Document"); the native data is
// the PDF file.
Bytes WrapPdfDocument(ByteSpan pdfFile);

// A static picture: a pasted bitmap as Access keeps it. `bmpFile` is a BMP
// file; its 14-byte file header is dropped and the rest stored as the DIB.
// Throws std::invalid_argument when `bmpFile` is not a BMP file.
Bytes WrapStaticDib(ByteSpan bmpFile);

// A bare long binary: the document itself, without any wrapper.
Bytes BareLongBinary(ByteSpan document);

}  // namespace corvid::oledocs
