// The properties of an object, as stored in its catalog row's LvProp long
// value: "KKD\0" (Jet 3) or "MR2\0" (Jet 4, ACE), then chunks of a 32-bit
// length (counting its own six header bytes) and a 16-bit type. A type 0x80
// chunk lists the property names; chunks of type 0x00 and 0x01 are blocks of
// values, one for the object itself (an empty block name) and one per column
// (named after it). A value entry: 16-bit entry length, a DDL flag byte, the
// column type of the value, 16-bit index into the names, 16-bit data length
// and the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/reader/text_decoding.h"

namespace corvid::jet::reader {

struct StoredProperty {
  std::string name;
  std::uint8_t type = 0;  // a StoredType number
  bool ddl = false;
  std::vector<std::byte> data;
};

struct PropertyBlock {
  std::string name;  // "" for the object, else a column's name
  std::vector<StoredProperty> properties;
};

// Every block of `blob`. Throws DamageError when the signature, a chunk or
// an entry does not fit the blob, or a value names a property the name list
// does not have. An empty blob has no blocks.
std::vector<PropertyBlock> ParsePropertyBlob(std::span<const std::byte> blob,
                                             const TextDecoder& text);

}  // namespace corvid::jet::reader
