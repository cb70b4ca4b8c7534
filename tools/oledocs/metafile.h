// Windows metafiles: the standard form (a header and records of 16-bit
// words) and the placeable form (a 22-byte header in front of it).
#pragma once

#include <cstdint>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

// A standard metafile that stretches a device-independent bitmap over a
// window of `width` x `height` logical units: SetMapMode (anisotropic),
// SetWindowExt, SetWindowOrg, SetStretchBltMode, one DIBStretchBlt and the
// end record; what Paint puts into a METAFILEPICT presentation.
Bytes DibMetafile(ByteSpan dib, std::int16_t width, std::int16_t height);

// `standardMetafile` behind a placeable header with the given bounding box
// and logical units per inch; the header's checksum is the XOR of its first
// ten 16-bit words.
Bytes PlaceableMetafile(ByteSpan standardMetafile, std::int16_t left, std::int16_t top,
                        std::int16_t right, std::int16_t bottom, std::uint16_t unitsPerInch);

}  // namespace corvid::oledocs
