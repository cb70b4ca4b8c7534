#include "tools/oledocs/text_encoding.h"

#include "SrcLib/code_pages.h"

#include <array>
#include <cstdint>
#include <vector>

namespace corvid::oledocs {


std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  for (char32_t cp : DecodeUtf8(utf8)) {
    const auto byte = CodePointToWindows1252(cp);
    out.push_back(byte ? static_cast<char>(*byte) : '?');
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  return out;
}

}  // namespace corvid::oledocs
