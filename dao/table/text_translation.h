#pragma once
// Conversion between UTF-8 and code page 850 (the OEM code page) for the
// table's Translation setting.

#include <string>
#include <string_view>

namespace corvid {

// Characters without a code-page-850 form become "?".
std::string Utf8ToCp850(std::string_view text);
std::string Cp850ToUtf8(std::string_view text);
// Windows-1252, the code page Access text is read in; "?" where it has no
// form.
std::string Utf8ToCp1252(std::string_view text);
// A text the engine read as ANSI whose bytes really are OEM (code page 850):
// the ANSI bytes re-read as code page 850.
std::string OemStoredTextToUtf8(std::string_view text);

}  // namespace corvid
