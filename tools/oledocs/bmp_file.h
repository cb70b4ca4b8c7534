// The parts of a BMP file the wrappers need: the device-independent bitmap
// behind the 14-byte file header, and its dimensions.
#pragma once

#include <cstdint>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

struct BmpFile {
  ByteSpan dib;             // information header, colour table and pixels
  std::int32_t width = 0;   // pixels
  std::int32_t height = 0;  // pixels, as stored (negative for a top-down bitmap)
};

// Throws std::invalid_argument when `file` does not start with "BM" and a
// bitmap information header of at least 40 bytes. The DIB ends where the
// file header's size field says, or at the end of `file` when that field is
// zero or larger than the data.
BmpFile ParseBmpFile(ByteSpan file);

}  // namespace corvid::oledocs
