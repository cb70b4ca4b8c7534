#include "SrcLib/json_text.h"

#include <optional>

#include "SrcLib/code_pages.h"

namespace corvid {

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t at = i;
    const std::optional<char32_t> cp = NextUtf8(text, i);
    if (!cp) {
      out += "\\ufffd";
      continue;
    }
    switch (*cp) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (*cp < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[*cp >> 4];
          out += kHex[*cp & 0xF];
        } else {
          out.append(text.substr(at, i - at));
        }
    }
  }
  out += '"';
}

}  // namespace corvid
