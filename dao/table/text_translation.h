#pragma once
// Conversion between UTF-8 and code page 850 (the OEM code page) for the
// table's Translation setting.

#include <string>
#include <string_view>

namespace corvid {

// Characters without a code-page-850 form become "?".
std::string Utf8ToCp850(std::string_view text);
std::string Cp850ToUtf8(std::string_view text);

}  // namespace corvid
