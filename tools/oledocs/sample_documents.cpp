#include "tools/oledocs/sample_documents.h"

#include <array>
#include <stdexcept>

#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs {

namespace {

using namespace std::string_view_literals;

constexpr std::array<DocumentInfo, 24> kFormats = {{
    {DocumentFormat::Pdf, "pdf", ".pdf", "%PDF-1."sv, true},
    {DocumentFormat::Png, "png", ".png", "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"sv, true},
    {DocumentFormat::JpegJfif, "jpeg-jfif", ".jpg", "\xFF\xD8\xFF"sv, true},
    {DocumentFormat::JpegExif, "jpeg-exif", ".jpg", "\xFF\xD8\xFF"sv, true},
    {DocumentFormat::Bmp, "bmp", ".bmp", "BM"sv, true},
    {DocumentFormat::TiffLittleEndian, "tiff-le", ".tif", "II*\0"sv, true},
    {DocumentFormat::TiffBigEndian, "tiff-be", ".tif", "MM\0*"sv, false},
    {DocumentFormat::Gif87a, "gif87a", ".gif", "GIF87a"sv, false},
    {DocumentFormat::Gif89a, "gif89a", ".gif", "GIF89a"sv, false},
    {DocumentFormat::Psd, "psd", ".psd", "8BPS\0\x01\0\0\0\0\0\0\0"sv, false},
    {DocumentFormat::Cpt9, "cpt9", ".cpt", "CPT9FILE"sv, false},
    {DocumentFormat::Cpt7, "cpt7", ".cpt", "CPT7FILE"sv, false},
    {DocumentFormat::Cpt, "cpt", ".cpt", "CPTFILE"sv, false},
    {DocumentFormat::WmfPlaceable, "wmf-placeable", ".wmf", "\xD7\xCD\xC6\x9A\0\0"sv, false},
    {DocumentFormat::WmfStandard, "wmf-standard", ".wmf", "\x01\0\x09\0\0\x03"sv, false},
    {DocumentFormat::Psp, "psp", ".psp", "Paint Shop Pro Image File\n\x1a\0\0\0\0\0"sv, false},
    {DocumentFormat::RiffAvi, "avi", ".avi", "RIFF"sv, false},
    {DocumentFormat::Dwg, "dwg", ".dwg", "AC10"sv, false},
    {DocumentFormat::Jp2, "jp2", ".jp2", "\0\0\0\x0CjP  \r\n"sv, false},
    {DocumentFormat::Pict, "pict", ".img", "PICT\0\x08"sv, false},
    {DocumentFormat::Crw, "crw", ".crw", "II\x1a\0\0\0HEAPCCDR\x02\0"sv, false},
    {DocumentFormat::Ole2Compound, "ole2", ".office", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, false},
    {DocumentFormat::OfficeOpenXml, "ooxml", ".officex", "PK\x03\x04\x14\0\x06\0"sv, false},
    {DocumentFormat::PlainZip, "zip", ".dmp", "PK\x03\x04\x0A\0\0\0"sv, false},
}};

constexpr int kMaxSide = 4096;

}  // namespace

std::span<const DocumentInfo> AllDocumentFormats() { return kFormats; }

const DocumentInfo& InfoFor(DocumentFormat format) {
  for (const DocumentInfo& info : kFormats) {
    if (info.format == format) return info;
  }
  throw std::invalid_argument("unknown document format");
}

std::uint32_t PatternPixel(int x, int y, PictureSize size) {
  // Four coloured quadrants with a white square in the middle: few colours
  // (a GIF palette holds them exactly) and edges a decoder must get right.
  const bool centre = x >= size.width / 4 && x < size.width - size.width / 4 &&
                      y >= size.height / 4 && y < size.height - size.height / 4;
  if (centre) return 0xFFFFFF;
  const bool right = x >= size.width / 2;
  const bool bottom = y >= size.height / 2;
  if (!bottom) return right ? 0x20A040 : 0xD02020;
  return right ? 0xF0D020 : 0x2040D0;
}

Bytes MakeSampleDocument(DocumentFormat format, PictureSize size) {
  if (size.width < 1 || size.height < 1 || size.width > kMaxSide || size.height > kMaxSide) {
    throw std::invalid_argument("picture size outside 1..4096");
  }
  using namespace formats;
  switch (format) {
    case DocumentFormat::Pdf:
      return RenderPdf(size);
    case DocumentFormat::Png:
      return RenderPng(size);
    case DocumentFormat::JpegJfif:
      return RenderJpegJfif(size);
    case DocumentFormat::JpegExif:
      return RenderJpegExif(size);
    case DocumentFormat::Bmp:
      return RenderBmp(size);
    case DocumentFormat::TiffLittleEndian:
      return RenderTiffLittleEndian(size);
    case DocumentFormat::TiffBigEndian:
      return BuildTiffBigEndian(size);
    case DocumentFormat::Gif87a:
      return BuildGif(size, false);
    case DocumentFormat::Gif89a:
      return BuildGif(size, true);
    case DocumentFormat::Psd:
      return BuildPsd(size);
    case DocumentFormat::Cpt9:
      return BuildCpt("CPT9FILE", size);
    case DocumentFormat::Cpt7:
      return BuildCpt("CPT7FILE", size);
    case DocumentFormat::Cpt:
      return BuildCpt("CPTFILE", size);
    case DocumentFormat::WmfPlaceable:
      return BuildWmf(size, true);
    case DocumentFormat::WmfStandard:
      return BuildWmf(size, false);
    case DocumentFormat::Psp:
      return BuildPsp(size);
    case DocumentFormat::RiffAvi:
      return BuildAvi(size);
    case DocumentFormat::Dwg:
      return BuildDwg();
    case DocumentFormat::Jp2:
      return BuildJp2(size);
    case DocumentFormat::Pict:
      return BuildPict(size);
    case DocumentFormat::Crw:
      return BuildCrw();
    case DocumentFormat::Ole2Compound:
      return BuildCompoundFile();
    case DocumentFormat::OfficeOpenXml:
      return BuildOfficeOpenXmlPackage();
    case DocumentFormat::PlainZip:
      return BuildPlainZip();
  }
  throw std::invalid_argument("unknown document format");
}

}  // namespace corvid::oledocs
