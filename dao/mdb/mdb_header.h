#pragma once
// The header page of an Access file: format, page size, the engine version
// DAO reports, the collating order and the masked database password.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "jet/jet_format.h"

namespace corvid::dao {

enum class MdbFormat { Jet3, Jet4, Ace };

struct MdbHeader {
  int jetVersion = 0;  // byte 0x14: 0 Jet 3, 1 Jet 4, 2.. ACE
  MdbFormat format = MdbFormat::Jet3;
  std::size_t pageSize = jet::kJet3.pageSize;
  std::string versionText;  // "3.0", "4.0", "12.0", "14.0", ...
  std::string password;     // UTF-8; empty when the file has none
};

// Reads the header from the file's first bytes (at least 0x80 of them);
// nothing when they are not an Access header. Works on a copy: the caller's
// bytes stay as they are.
std::optional<MdbHeader> ParseMdbHeader(std::span<const std::byte> firstPage);

// Writes `password` into a header page the way Access masks it (Jet 3 and
// Jet 4 layouts; ACE files keep Jet 4's). Used to build protected test
// copies; the engine itself never writes a file.
void StoreMdbPassword(std::span<std::byte> firstPage, std::string_view password);

}  // namespace corvid::dao
