// Reads the layout of an Access OLE Object value: where its header, OLE 1.0
// object, native data, presentation and trailer lie. Lets tests (and tools)
// check a value field by field and find the document inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

struct OlePresentationLayout {
  std::uint32_t format = 0;  // 0: none; 5: presentation object
  std::string className;     // "METAFILEPICT", "DIB", "BITMAP"
  std::int32_t width = 0;    // as stored
  std::int32_t height = 0;   // as stored (negative for METAFILEPICT)
  std::size_t dataOffset = 0;
  std::size_t dataSize = 0;
};

struct AccessOleLayout {
  // Access OLE header.
  std::uint16_t headerSize = 0;
  std::uint32_t objectType = 0;
  std::uint16_t nameSize = 0;  // including the terminating zero
  std::uint16_t classSize = 0;
  std::uint16_t nameOffset = 0;
  std::uint16_t classOffset = 0;
  std::uint32_t extent = 0;
  std::string friendlyName;
  std::string className;

  // OLE 1.0 object, at headerSize.
  std::uint32_t oleVersion = 0;
  std::uint32_t oleFormat = 0;  // 2 embedded, 3 static
  std::string oleClass;
  std::string topicName;          // embedded only
  std::string itemName;           // embedded only
  std::int32_t staticWidth = 0;   // static only
  std::int32_t staticHeight = 0;  // static only
  // Native data (embedded) or picture data (static).
  std::size_t dataOffset = 0;
  std::size_t dataSize = 0;

  // Presentation that follows the native data (embedded only).
  OlePresentationLayout presentation;

  // Trailer.
  std::size_t trailerOffset = 0;
  std::byte checksum{0};
  bool checksumMatches = false;  // checksum is the XOR of the OLE 1.0 part
};

// Throws std::invalid_argument, naming what is wrong, when `value` is not a
// complete Access OLE value (wrong signature, a length that runs past the
// end, a missing trailer).
AccessOleLayout ParseAccessOleValue(ByteSpan value);

}  // namespace corvid::oledocs
