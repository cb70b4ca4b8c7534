// Text as Jet stores it: UCS-2 (Jet 4, optionally in the compressed form
// that starts with FF FE) or a single-byte code page (Jet 3, Windows-1252).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace corvid::jet {

// UTF-8 to UTF-16 code units (the codec of SrcLib/code_pages.h); throws
// WriterError on malformed UTF-8.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Plain little-endian UCS-2.
std::vector<std::byte> EncodeUcs2(std::u16string_view text);

// The compressed form (FF FE, then one byte per character whose high byte is
// zero, a 00 byte toggling to two-byte characters and back), or nothing when
// the text has a character the form cannot hold (low byte 00) or compression
// would not make it shorter.
std::optional<std::vector<std::byte>> CompressUcs2(std::u16string_view text);

// Jet 4 text value: compressed when allowed and shorter, otherwise UCS-2.
std::vector<std::byte> EncodeJet4Text(std::u16string_view text, bool allowCompression);

// Windows-1252; nothing when a character has no code in that page.
std::optional<std::vector<std::byte>> EncodeWindows1252(std::u16string_view text);

}  // namespace corvid::jet
