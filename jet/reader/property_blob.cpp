#include "jet/reader/property_blob.h"

#include <cstring>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

constexpr std::size_t kChunkHeader = 6;
constexpr std::uint16_t kNamesChunk = 0x80;

std::vector<std::string> ReadNames(ByteSpan chunk, const TextDecoder& text) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (pos < chunk.size()) {
    const std::uint16_t length = Read16(chunk, pos);
    pos += 2;
    names.push_back(text.Decode(Slice(chunk, pos, length)));
    pos += length;
  }
  return names;
}

PropertyBlock ReadBlock(ByteSpan chunk, const std::vector<std::string>& names,
                        const TextDecoder& text) {
  PropertyBlock block;
  // A 32-bit length of the block's name part, then the name.
  const std::uint16_t nameLength = Read16(chunk, 4);
  block.name = text.Decode(Slice(chunk, 6, nameLength));
  std::size_t pos = 6 + static_cast<std::size_t>(nameLength);
  while (pos < chunk.size()) {
    const std::uint16_t entryLength = Read16(chunk, pos);
    if (entryLength < 8)
      throw DamageError("a property entry of " + std::to_string(entryLength) + " bytes");
    ByteSpan entry = Slice(chunk, pos, entryLength);
    StoredProperty property;
    property.ddl = Read8(entry, 2) != 0;
    property.type = Read8(entry, 3);
    const std::uint16_t nameIndex = Read16(entry, 4);
    const std::uint16_t dataLength = Read16(entry, 6);
    if (nameIndex >= names.size())
      throw DamageError("a property names entry " + std::to_string(nameIndex) + " of " +
                        std::to_string(names.size()) + " names");
    property.name = names[nameIndex];
    ByteSpan data = Slice(entry, 8, dataLength);
    property.data.assign(data.begin(), data.end());
    block.properties.push_back(std::move(property));
    pos += entryLength;
  }
  return block;
}

}  // namespace

std::vector<PropertyBlock> ParsePropertyBlob(std::span<const std::byte> blob,
                                             const TextDecoder& text) {
  std::vector<PropertyBlock> blocks;
  if (blob.empty()) return blocks;
  try {
    ByteSpan signature = Slice(blob, 0, 4);
    if (std::memcmp(signature.data(), "KKD\0", 4) != 0 &&
        std::memcmp(signature.data(), "MR2\0", 4) != 0)
      throw DamageError("the property blob has no KKD or MR2 signature");
    std::vector<std::string> names;
    std::size_t pos = 4;
    while (pos < blob.size()) {
      const std::uint32_t length = Read32(blob, pos);
      if (length < kChunkHeader)
        throw DamageError("a property chunk of " + std::to_string(length) + " bytes");
      ByteSpan chunk = Slice(blob, pos, length);
      const std::uint16_t type = Read16(chunk, 4);
      ByteSpan body = chunk.subspan(kChunkHeader);
      if (type == kNamesChunk)
        names = ReadNames(body, text);
      else if (type == 0x00 || type == 0x01)
        blocks.push_back(ReadBlock(body, names, text));
      pos += length;  // length >= 6: the walk always moves on
    }
  } catch (const DamageError& e) {
    throw e.Within(DamageLocation{.field = "LvProp"});
  }
  return blocks;
}

}  // namespace corvid::jet::reader
