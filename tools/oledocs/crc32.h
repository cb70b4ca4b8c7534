// The CRC-32 of ZIP archives (polynomial 0xEDB88320, reflected).
#pragma once

#include <cstdint>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

std::uint32_t Crc32(ByteSpan bytes);

}  // namespace corvid::oledocs
