// Small sample documents of every format the extraction recognises.
//
// Where a library can make the format (Qt: PNG, JPEG, BMP, little-endian TIFF,
// PDF) the document is rendered and is a real, openable file. GIF and
// big-endian TIFF are built here as small valid files. The other formats are
// minimal well-formed files: their headers are right and complete, and they
// carry as little content as the format allows.
//
// Every document is deterministic: the same format and size give the same
// bytes on every call and every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

enum class DocumentFormat {
  Pdf,               // rendered (QPdfWriter)
  Png,               // rendered
  JpegJfif,          // rendered, APP0 "JFIF" header
  JpegExif,          // rendered, APP1 "Exif" header only, no "JFIF" anywhere
  Bmp,               // rendered, 24 bits, 40-byte information header
  TiffLittleEndian,  // rendered (TIFF plug-in), "II*"
  TiffBigEndian,     // built, "MM" 00 "*", uncompressed RGB
  Gif87a,            // built, LZW-coded
  Gif89a,            // built, LZW-coded, with a graphic control extension
  Psd,               // built, Photoshop version 1, RGB, raw
  Cpt9,              // minimal Corel Photo-Paint 9 header "CPT9FILE"
  Cpt7,              // minimal Corel Photo-Paint 7 header "CPT7FILE"
  Cpt,               // minimal older Corel Photo-Paint header "CPTFILE"
  WmfPlaceable,      // built metafile with the placeable (D7 CD C6 9A) header
  WmfStandard,       // built metafile, standard header only
  Psp,               // minimal Paint Shop Pro image header
  RiffAvi,           // minimal RIFF "AVI " file: header list, empty movie list, index
  Dwg,               // minimal drawing header "AC1015"
  Jp2,               // minimal JPEG 2000 file: signature, file type and header boxes
  Pict,              // "PICT" 00 08 tag and a minimal version 2 picture
  Crw,               // minimal Canon raw (CIFF) file with an empty heap
  Ole2Compound,      // minimal valid compound file (empty root storage)
  OfficeOpenXml,     // ZIP package of a minimal word-processing document, flags 6
  PlainZip,          // ZIP with flags 0 (not an Office package)
};

struct DocumentInfo {
  DocumentFormat format;
  std::string_view name;       // short name for file names and logs: "jpeg-exif"
  std::string_view extension;  // what recognition appends: ".jpg", ".office", ".dmp"...
  std::string_view signature;  // bytes every document of this format starts with
  bool rendered;               // made by a library (Qt) rather than built by hand
};

// Every format, in the order of the enumeration.
std::span<const DocumentInfo> AllDocumentFormats();
const DocumentInfo& InfoFor(DocumentFormat format);

struct PictureSize {
  int width = 48;
  int height = 32;
};

// The sample document of `format`. Picture formats draw a fixed test pattern
// of `size` pixels; the header-only formats record the size where they have
// fields for it. Throws std::runtime_error when a library fails to render
// (e.g. the TIFF plug-in is missing) and std::invalid_argument for a size
// outside 1..4096.
Bytes MakeSampleDocument(DocumentFormat format, PictureSize size = {});

// The test pattern every rendered or built picture shows, as 0xRRGGBB per
// pixel: lets tests compare decoded pixels with what was drawn.
std::uint32_t PatternPixel(int x, int y, PictureSize size);

}  // namespace corvid::oledocs
