// A big-endian ("MM") TIFF, which Qt writes only on big-endian machines:
// one uncompressed RGB strip, 8 bits per sample.
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

enum FieldType : std::uint16_t { kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  std::uint16_t tag;
  FieldType type;
  std::uint32_t count;
  std::uint32_t value;  // the value itself, or the offset of the values
};

}  // namespace

Bytes BuildTiffBigEndian(PictureSize size) {
  const std::uint32_t width = static_cast<std::uint32_t>(size.width);
  const std::uint32_t height = static_cast<std::uint32_t>(size.height);
  const std::uint32_t stripBytes = width * height * 3;

  constexpr std::uint32_t kIfdOffset = 8;
  constexpr std::uint16_t kEntries = 13;
  constexpr std::uint32_t kValuesOffset = kIfdOffset + 2 + kEntries * 12 + 4;
  constexpr std::uint32_t kBitsOffset = kValuesOffset;           // 3 shorts
  constexpr std::uint32_t kXResolutionOffset = kBitsOffset + 6;  // 2 longs
  constexpr std::uint32_t kYResolutionOffset = kXResolutionOffset + 8;
  constexpr std::uint32_t kStripOffset = kYResolutionOffset + 8;

  const Entry entries[kEntries] = {
      {256, kShort, 1, width},                  // ImageWidth (sizes stay below 65536)
      {257, kShort, 1, height},                 // ImageLength
      {258, kShort, 3, kBitsOffset},            // BitsPerSample
      {259, kShort, 1, 1},                      // Compression: none
      {262, kShort, 1, 2},                      // PhotometricInterpretation: RGB
      {273, kLong, 1, kStripOffset},            // StripOffsets
      {277, kShort, 1, 3},                      // SamplesPerPixel
      {278, kLong, 1, height},                  // RowsPerStrip
      {279, kLong, 1, stripBytes},              // StripByteCounts
      {282, kRational, 1, kXResolutionOffset},  // XResolution
      {283, kRational, 1, kYResolutionOffset},  // YResolution
      {284, kShort, 1, 1},                      // PlanarConfiguration: chunky
      {296, kShort, 1, 2},                      // ResolutionUnit: inch
  };

  Bytes out;
  out.reserve(kStripOffset + stripBytes);
  ByteWriter tiff(out, ByteWriter::Order::Big);
  tiff.Text("MM").U16(42).U32(kIfdOffset);
  tiff.U16(kEntries);
  for (const Entry& e : entries) {
    tiff.U16(e.tag).U16(e.type).U32(e.count);
    const bool inline_short = e.type == kShort && e.count == 1;
    if (inline_short) {
      tiff.U16(static_cast<std::uint16_t>(e.value)).U16(0);  // left-justified
    } else {
      tiff.U32(e.value);
    }
  }
  tiff.U32(0);  // no next IFD
  tiff.U16(8).U16(8).U16(8);
  tiff.U32(72).U32(1);
  tiff.U32(72).U32(1);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      const std::uint32_t rgb = PatternPixel(x, y, size);
      tiff.U8(rgb >> 16 & 0xFF).U8(rgb >> 8 & 0xFF).U8(rgb & 0xFF);
    }
  }
  return out;
}

}  // namespace corvid::oledocs::formats
