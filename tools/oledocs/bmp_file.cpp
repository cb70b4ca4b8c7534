#include "tools/oledocs/bmp_file.h"

#include <stdexcept>

#include "tools/oledocs/byte_writer.h"

namespace corvid::oledocs {

namespace {
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kMinInfoHeaderSize = 40;
}  // namespace

BmpFile ParseBmpFile(ByteSpan file) {
  if (file.size() < kFileHeaderSize + kMinInfoHeaderSize || file[0] != std::byte{'B'} ||
      file[1] != std::byte{'M'}) {
    throw std::invalid_argument("not a BMP file");
  }
  const std::uint32_t infoSize = ReadU32(file, kFileHeaderSize);
  if (infoSize < kMinInfoHeaderSize || infoSize > file.size() - kFileHeaderSize) {
    throw std::invalid_argument("BMP file without a bitmap information header");
  }
  std::size_t end = ReadU32(file, 2);
  if (end == 0 || end > file.size() || end < kFileHeaderSize + infoSize) end = file.size();
  BmpFile bmp;
  bmp.dib = file.subspan(kFileHeaderSize, end - kFileHeaderSize);
  bmp.width = static_cast<std::int32_t>(ReadU32(file, kFileHeaderSize + 4));
  bmp.height = static_cast<std::int32_t>(ReadU32(file, kFileHeaderSize + 8));
  return bmp;
}

}  // namespace corvid::oledocs
