// Case folding for names and filter texts held as UTF-8.
//
// ASCII letters and the Latin-1 letters (U+00C0..U+00DE <-> U+00E0..U+00FE,
// except the multiplication and division signs) fold; every other byte is
// compared as it is. Folding never changes the length of a text.
#pragma once

#include <string>
#include <string_view>

namespace corvid {

// The text with its ASCII and Latin-1 capital letters made small.
std::string LowerCase(std::string_view text);

// Case-insensitive equality under the folding above.
bool SameText(std::string_view a, std::string_view b);

// Case-insensitive three-way comparison of the folded bytes (unsigned):
// negative, zero or positive.
int CompareText(std::string_view a, std::string_view b);

}  // namespace corvid
