#pragma once
// Raw extraction: carve every stretch that starts with a TIFF signature
// straight out of the bytes of the database file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/exclusive_input_file.h"
#include "engine/run_host.h"
#include "engine/run_report.h"

namespace corvid {

inline constexpr std::size_t kCarveBufferSize = std::size_t{4} << 20;

// "II*\0", the little-endian TIFF signature.
inline constexpr std::byte kTiffLittleEndianSignature[4] = {std::byte{0x49}, std::byte{0x49},
                                                             std::byte{0x2A}, std::byte{0x00}};

// Carves the database file named in the host's inputs into the output
// directory (files "tiff0002.tif", ...). Failures escape as exceptions whose
// message is the one the user sees; segment files written before remain.
RawReport RunRawExtraction(RunHost& host);

// Scans `input` for `signature` and writes every stretch from one signature
// to the next into namePrefix + number (4 digits at least) + extension,
// logging each name first. Progress goes to the status line. `bufferSize` is
// the size of the read buffer (tests use small ones).
RawReport CarveBySignature(ExclusiveInputFile& input, std::span<const std::byte> signature,
                           std::string_view extension, std::string_view namePrefix,
                           RunHost& host, std::size_t bufferSize = kCarveBufferSize);

}  // namespace corvid
