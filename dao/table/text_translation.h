#pragma once
// The table's Translation setting: texts between UTF-8 and code page 850
// (the OEM code page), with the codec of SrcLib/code_pages.h.

#include <string>
#include <string_view>

namespace corvid {

// A text the engine read as ANSI whose bytes really are OEM (code page 850):
// the ANSI bytes re-read as code page 850.
std::string OemStoredTextToUtf8(std::string_view text);

}  // namespace corvid
