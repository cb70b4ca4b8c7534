// The formats Qt writes: PNG, JPEG, BMP, TIFF (in the machine's byte order,
// little-endian here) and PDF.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <cstring>
#include <stdexcept>
#include <string>

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

constexpr int kJpegQuality = 90;

QImage PatternImage(PictureSize size) {
  QImage image(size.width, size.height, QImage::Format_RGB32);
  for (int y = 0; y < size.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < size.width; ++x) line[x] = 0xFF000000u | PatternPixel(x, y, size);
  }
  return image;
}

Bytes ToBytes(const QByteArray& data) {
  Bytes out(static_cast<std::size_t>(data.size()));
  std::memcpy(out.data(), data.constData(), out.size());
  return out;
}

Bytes Encode(const QImage& image, const char* format, int quality = -1) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) {
    throw std::runtime_error(std::string("Qt cannot write ") + format + ": " +
                             writer.errorString().toStdString());
  }
  return ToBytes(data);
}

// An APP1 "Exif" segment with a little-endian TIFF structure holding one
// entry, the orientation "top-left".
Bytes ExifSegment() {
  Bytes payload;
  ByteWriter tiff(payload);
  tiff.Text(std::string_view("Exif\0\0", 6));
  tiff.Text(std::string_view("II*\0", 4)).U32(8);  // IFD0 right behind the header
  tiff.U16(1);                                     // one entry
  tiff.U16(0x0112).U16(3).U32(1).U16(1).U16(0);    // Orientation, SHORT, 1 value: 1
  tiff.U32(0);                                     // no next IFD
  Bytes segment;
  ByteWriter(segment, ByteWriter::Order::Big)
      .U16(0xFFE1)
      .U16(static_cast<std::uint16_t>(payload.size() + 2))
      .Raw(payload);
  return segment;
}

}  // namespace

Bytes RenderPng(PictureSize size) { return Encode(PatternImage(size), "PNG"); }

Bytes RenderJpegJfif(PictureSize size) { return Encode(PatternImage(size), "JPEG", kJpegQuality); }

Bytes RenderJpegExif(PictureSize size) {
  // Qt's JPEG writer always starts with the JFIF APP0 segment; a camera
  // writes an Exif APP1 segment instead. Swap the one for the other.
  const Bytes jfif = RenderJpegJfif(size);
  if (jfif.size() < 6 || jfif[2] != std::byte{0xFF} || jfif[3] != std::byte{0xE0}) {
    throw std::runtime_error("Qt's JPEG does not start with an APP0 segment");
  }
  const std::size_t app0End =
      4 + (std::to_integer<std::size_t>(jfif[4]) << 8 | std::to_integer<std::size_t>(jfif[5]));
  Bytes out(jfif.begin(), jfif.begin() + 2);  // SOI
  const Bytes exif = ExifSegment();
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jfif.begin() + static_cast<std::ptrdiff_t>(app0End), jfif.end());
  return out;
}

Bytes RenderBmp(PictureSize size) { return Encode(PatternImage(size), "BMP"); }

Bytes RenderTiffLittleEndian(PictureSize size) {
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "Qt writes TIFF in the machine's byte order");
  return Encode(PatternImage(size), "TIFF");
}

Bytes RenderPdf(PictureSize size) {
  QByteArray data;
  {
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QSizeF(size.width, size.height), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);  // one point per pixel of the pattern
    pdf.setCreator("Corvid sample documents");
    pdf.setTitle("Corvid sample");
    QPainter painter(&pdf);
    // The pattern as vector rectangles, one per run of equal pixels in a row.
    for (int y = 0; y < size.height; ++y) {
      int x = 0;
      while (x < size.width) {
        const std::uint32_t colour = PatternPixel(x, y, size);
        int end = x + 1;
        while (end < size.width && PatternPixel(end, y, size) == colour) ++end;
        painter.fillRect(QRect(x, y, end - x, 1), QColor::fromRgb(colour));
        x = end;
      }
    }
  }
  // Qt stamps the creation time; fix it (same length, so the cross-reference
  // offsets stay right) to keep the document the same on every run.
  QString text = QString::fromLatin1(data);
  static const QRegularExpression stamp(R"(/CreationDate \(D:(\d{14})([-+]\d\d'\d\d'|Z)?)");
  const QRegularExpressionMatch match = stamp.match(text);
  if (!match.hasMatch()) throw std::runtime_error("Qt's PDF has no creation date to fix");
  data.replace(match.capturedStart(1), 14, "20260101000000");
  if (match.capturedLength(2) == 7) data.replace(match.capturedStart(2), 7, "+00'00'");
  return ToBytes(data);
}

}  // namespace corvid::oledocs::formats
