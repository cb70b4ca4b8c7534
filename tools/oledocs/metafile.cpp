#include "tools/oledocs/metafile.h"

#include <algorithm>
#include <stdexcept>

#include "tools/oledocs/byte_writer.h"

namespace corvid::oledocs {

namespace {

constexpr std::uint16_t kHeaderWords = 9;
constexpr std::uint16_t kMetafileVersion = 0x0300;

constexpr std::uint16_t kSetMapMode = 0x0103;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetStretchBltMode = 0x0107;
constexpr std::uint16_t kDibStretchBlt = 0x0B41;
constexpr std::uint16_t kEndOfFile = 0x0000;

constexpr std::uint16_t kMapModeAnisotropic = 8;
constexpr std::uint16_t kStretchHalftone = 4;
constexpr std::uint32_t kSourceCopy = 0x00CC0020;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;

// Collects records and keeps the figures the header needs.
class RecordList {
 public:
  // Starts a record of `words` 16-bit words in total (size and function
  // included) and returns the writer positioned at its parameters.
  ByteWriter& Begin(std::uint32_t words, std::uint16_t function) {
    maxRecordWords_ = std::max(maxRecordWords_, words);
    writer_.U32(words).U16(function);
    return writer_;
  }
  Bytes Finish() {
    Begin(3, kEndOfFile);
    if (records_.size() % 2 != 0) throw std::logic_error("metafile record of odd length");
    Bytes out;
    ByteWriter header(out);
    header
        .U16(1)  // in memory (not a disk metafile)
        .U16(kHeaderWords)
        .U16(kMetafileVersion)
        .U32(static_cast<std::uint32_t>(kHeaderWords + records_.size() / 2))
        .U16(0)  // no objects
        .U32(maxRecordWords_)
        .U16(0);
    header.Raw(records_);
    return out;
  }

 private:
  Bytes records_;
  ByteWriter writer_{records_};
  std::uint32_t maxRecordWords_ = 0;
};

}  // namespace

Bytes DibMetafile(ByteSpan dib, std::int16_t width, std::int16_t height) {
  if (dib.size() < 40) throw std::invalid_argument("DIB too short for a metafile");
  const std::int16_t sourceWidth = static_cast<std::int16_t>(ReadU32(dib, 4));
  const std::int16_t sourceHeight = static_cast<std::int16_t>(ReadU32(dib, 8));
  const std::size_t paddedDib = dib.size() + dib.size() % 2;

  RecordList records;
  records.Begin(4, kSetMapMode).U16(kMapModeAnisotropic);
  records.Begin(5, kSetWindowExt).I16(static_cast<std::int16_t>(-height)).I16(width);
  records.Begin(5, kSetWindowOrg).I16(0).I16(0);
  records.Begin(5, kSetStretchBltMode).U16(kStretchHalftone).U16(0);
  ByteWriter& blt = records.Begin(static_cast<std::uint32_t>(13 + paddedDib / 2), kDibStretchBlt);
  blt.U32(kSourceCopy)
      .I16(sourceHeight < 0 ? static_cast<std::int16_t>(-sourceHeight) : sourceHeight)
      .I16(sourceWidth)
      .I16(0)  // source y
      .I16(0)  // source x
      .I16(static_cast<std::int16_t>(-height))
      .I16(width)
      .I16(0)  // destination y
      .I16(0)  // destination x
      .Raw(dib)
      .Zeros(paddedDib - dib.size());
  return records.Finish();
}

Bytes PlaceableMetafile(ByteSpan standardMetafile, std::int16_t left, std::int16_t top,
                        std::int16_t right, std::int16_t bottom, std::uint16_t unitsPerInch) {
  Bytes out;
  ByteWriter writer(out);
  writer.U32(kPlaceableKey)
      .U16(0)  // handle, always zero in a file
      .I16(left)
      .I16(top)
      .I16(right)
      .I16(bottom)
      .U16(unitsPerInch)
      .U32(0);  // reserved
  std::uint16_t checksum = 0;
  for (std::size_t i = 0; i < out.size(); i += 2) checksum ^= ReadU16(out, i);
  writer.U16(checksum).Raw(standardMetafile);
  return out;
}

}  // namespace corvid::oledocs
