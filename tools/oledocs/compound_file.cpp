// A minimal compound file (the container of Office 97-2003 documents):
// version 3, 512-byte sectors, one FAT sector and one directory sector that
// holds only the empty root storage.
#include <string_view>

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

constexpr std::size_t kSectorSize = 512;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void DirectoryEntry(ByteWriter& out, std::u16string_view name, std::uint8_t type) {
  for (char16_t unit : name) out.U16(unit);
  out.Zeros(64 - 2 * name.size());
  out.U16(name.empty() ? 0 : static_cast<std::uint16_t>(2 * (name.size() + 1)))
      .U8(type)
      .U8(name.empty() ? 0 : 1)          // black
      .U32(kNoStream)                    // left sibling
      .U32(kNoStream)                    // right sibling
      .U32(kNoStream)                    // child
      .Zeros(16)                         // class id
      .U32(0)                            // state bits
      .U64(0)                            // created
      .U64(0)                            // modified
      .U32(type == 5 ? kEndOfChain : 0)  // start of the (empty) mini stream
      .U64(0);                           // size
}

}  // namespace

Bytes BuildCompoundFile() {
  Bytes out;
  ByteWriter cfb(out);
  // Header.
  cfb.Raw(Bytes{std::byte{0xD0}, std::byte{0xCF}, std::byte{0x11}, std::byte{0xE0}, std::byte{0xA1},
                std::byte{0xB1}, std::byte{0x1A}, std::byte{0xE1}});
  cfb.Zeros(16)     // class id
      .U16(0x003E)  // minor version
      .U16(0x0003)  // major version 3
      .U16(0xFFFE)  // little-endian
      .U16(9)       // 512-byte sectors
      .U16(6)       // 64-byte mini sectors
      .Zeros(6)
      .U32(0)            // directory sectors (always 0 in version 3)
      .U32(1)            // FAT sectors
      .U32(1)            // first directory sector
      .U32(0)            // transaction signature
      .U32(4096)         // mini stream cut-off
      .U32(kEndOfChain)  // first mini FAT sector
      .U32(0)            // mini FAT sectors
      .U32(kEndOfChain)  // first DIFAT sector
      .U32(0);           // DIFAT sectors
  cfb.U32(0);            // the FAT is sector 0
  for (int i = 1; i < 109; ++i) cfb.U32(kFreeSector);
  // Sector 0: the FAT.
  cfb.U32(kFatSector).U32(kEndOfChain);
  for (std::size_t i = 2; i < kSectorSize / 4; ++i) cfb.U32(kFreeSector);
  // Sector 1: the directory.
  DirectoryEntry(cfb, u"Root Entry", 5);
  for (int i = 1; i < 4; ++i) DirectoryEntry(cfb, u"", 0);
  return out;
}

}  // namespace corvid::oledocs::formats
