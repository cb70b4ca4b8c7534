#pragma once
// Raw extraction: carve every stretch that starts with a TIFF signature
// straight out of the bytes of the database file.

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Whether a file is encrypted so that its bytes on disk are ciphertext,
// judged from its first bytes (up to 4096). The layer that knows the
// database format provides it; an empty one judges nothing encrypted.
using EncryptedFileCheck = std::function<bool(std::span<const std::byte> firstBytes)>;

inline constexpr std::string_view kEncryptedFileRefusal =
    "The file is encrypted; raw carving cannot see its contents. Extract with the password "
    "instead.";

// Carves the database file named in the host's inputs into the output
// directory (files "tiff0002.tif", ...). Failures escape as exceptions whose
// message is the one the user sees; segment files written before remain.
// A file `encrypted` judges encrypted is refused with kEncryptedFileRefusal
// before anything is written.
RawReport RunRawExtraction(RunHost& host, const EncryptedFileCheck& encrypted = {});

// Scans `input` for `signature` and writes every stretch from one signature
// to the next into namePrefix + number (4 digits at least) + extension,
// logging each name first. Progress goes to the status line. `bufferSize` is
// the size of the read buffer (tests use small ones).
RawReport CarveBySignature(ExclusiveInputFile& input, std::span<const std::byte> signature,
                           std::string_view extension, std::string_view namePrefix, RunHost& host,
                           std::size_t bufferSize = kCarveBufferSize);

}  // namespace corvid
