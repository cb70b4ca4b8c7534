#include "tools/oledocs/sample_database_content.h"

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/sample_documents.h"

namespace corvid::oledocs {

namespace {

Bytes Doc(DocumentFormat format, PictureSize size = {}) { return MakeSampleDocument(format, size); }

Bytes Text(std::string_view text) {
  Bytes out;
  ByteWriter(out).Text(text);
  return out;
}

}  // namespace

std::vector<SampleTableRow> SampleTableRows() {
  // A bitmap larger than the recognition's first window keeps the metafile
  // presentation behind it out of that window, as with Paint's real objects.
  const PictureSize bigBitmap{96, 64};
  std::vector<SampleTableRow> rows;
  rows.push_back({1, "bitmap", WrapPaintbrushBitmap(Doc(DocumentFormat::Bmp)), "paintbrush",
                  "PBrush bitmap (BMP), no presentation", ".bmp"});
  rows.push_back({2, "bitmap",
                  WrapPaintbrushBitmap(Doc(DocumentFormat::Bmp, bigBitmap), Presentation::Metafile),
                  "paintbrush-with-preview", "PBrush bitmap (BMP) with a METAFILEPICT presentation",
                  ".bmp"});
  rows.push_back({3, "picture", WrapStaticDib(Doc(DocumentFormat::Bmp, {40, 30})), "pasted-picture",
                  "static picture (DIB)", ".bmp"});
  rows.push_back({4, "document",
                  WrapPackage("report.pdf", "C:\\Documents\\report.pdf", Doc(DocumentFormat::Pdf)),
                  "report.pdf", "Package holding a PDF", ".pdf"});
  rows.push_back({5, "document", WrapPdfDocument(Doc(DocumentFormat::Pdf, {120, 80})), "manual",
                  "PDF object (AcroExch.Document)", ".pdf"});
  rows.push_back(
      {6, "photo", Doc(DocumentFormat::JpegJfif, {64, 48}), "harbour", "bare JPEG (JFIF)", ".jpg"});
  rows.push_back({7, "photo", Doc(DocumentFormat::JpegExif, {64, 48}), "camera",
                  "bare JPEG (Exif only)", ".jpg"});
  rows.push_back({8, "photo", Doc(DocumentFormat::Png), "Blåbär och smörgås", "bare PNG", ".png"});
  rows.push_back({9, "animation", Doc(DocumentFormat::Gif89a), "spinner", "bare GIF 89a", ".gif"});
  rows.push_back({10, "scan", Doc(DocumentFormat::TiffLittleEndian), "scan-intel",
                  "bare TIFF (little-endian)", ".tif"});
  rows.push_back({11, "scan",
                  WrapPackage("scan-motorola.tif", "C:\\Scans\\scan-motorola.tif",
                              Doc(DocumentFormat::TiffBigEndian)),
                  "scan-motorola.tif", "Package holding a big-endian TIFF", ".tif"});
  rows.push_back({12, "drawing", Doc(DocumentFormat::WmfPlaceable), "floor-plan",
                  "bare placeable metafile", ".wmf"});
  rows.push_back({13, "office", Doc(DocumentFormat::OfficeOpenXml), "letter",
                  "bare Office Open XML package", ".officex"});
  rows.push_back({14, "empty", std::nullopt, "nothing", "NULL", ""});
  rows.push_back({15, "empty", Bytes{}, "zero-length", "empty (zero bytes)", ""});
  rows.push_back({16, "unknown",
                  Text("Corvid sample: plain text that carries no signature of any kind.\r\n"),
                  "plain-text", "unrecognised bytes", ".dmp"});
  rows.push_back({6, "photo", Doc(DocumentFormat::JpegJfif, {32, 24}), "harbour-again",
                  "bare JPEG (JFIF) under an id used before", ".jpg"});
  return rows;
}

std::vector<SamplePhotoRow> SamplePhotoRows() {
  std::vector<SamplePhotoRow> rows;
  rows.push_back({101, "holiday", 2019, "Beach", Doc(DocumentFormat::JpegJfif, {80, 60}), ".jpg"});
  rows.push_back({102, "holiday", 2021, "Göteborg harbour",
                  WrapPackage("harbour.jpg", "C:\\Photos\\harbour.jpg",
                              Doc(DocumentFormat::JpegJfif, {60, 80})),
                  ".jpg"});
  rows.push_back({103, "work", 2020, "Whiteboard", Doc(DocumentFormat::Png, {64, 40}), ".png"});
  rows.push_back({104, "work", 2022, "Org chart",
                  WrapPaintbrushBitmap(Doc(DocumentFormat::Bmp, {50, 30})), ".bmp"});
  rows.push_back(
      {105, "family", 2023, "Birthday", Doc(DocumentFormat::JpegExif, {72, 54}), ".jpg"});
  rows.push_back(
      {106, "family", 2018, "Old scan", Doc(DocumentFormat::TiffBigEndian, {40, 30}), ".tif"});
  rows.push_back(
      {107, "holiday", 2024, "Mountains", Doc(DocumentFormat::Gif87a, {48, 48}), ".gif"});
  rows.push_back({108, "work", 2024, "Slides", Doc(DocumentFormat::Ole2Compound), ".office"});
  return rows;
}

}  // namespace corvid::oledocs
