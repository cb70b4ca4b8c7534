// Conversions of UTF-8 names into the encodings OLE data stores them in.
#pragma once

#include <string>
#include <string_view>

namespace corvid::oledocs {

// Windows-1252 bytes for a UTF-8 text; characters outside the code page
// (and malformed UTF-8 sequences) become "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// UTF-16 code units for a UTF-8 text; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace corvid::oledocs
