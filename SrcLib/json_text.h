#pragma once
// JSON string literals for the program's machine-readable outputs (the run
// manifest, the database listing).

#include <string>
#include <string_view>

namespace corvid {

// Appends `text` (UTF-8) as a quoted JSON string: quotes, backslashes and
// control characters escaped, other characters kept as they are; bytes that
// are not UTF-8 become U+FFFD so the output stays valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace corvid
