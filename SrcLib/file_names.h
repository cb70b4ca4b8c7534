// Text routines that turn field values into file names and numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvid {

// Removes leading and trailing bytes 00..20, then strips bytes from the front
// and then from the back while they are not an ASCII digit, an ASCII letter or
// a byte 80..FF (so a UTF-8 letter at either end stays whole).
std::string TrimToWordChars(std::string text);

// The n-th run of decimal digits in the text (n >= 1) as a number, or -1 when
// there is no such run or it does not fit 64 bits. Signs are not part of a
// number: "-5" gives 5.
std::int64_t NthNumber(std::string text, int n);

// Turns any field text into a file-name part without separators, dots or
// characters outside a small safe set. Text holding a C2 or C3 byte is read as
// UTF-8 and converted to Windows-1252 first. Empty text stays empty; any other
// text gives at least one character.
std::string CleanFileName(std::string text);

// The file-name part of a name from the database (after the last "/", "\" or
// ":") without its extension (from its last "." on).
std::string BaseNameWithoutExt(std::string path);

// The extension of a name from the database: from its last "." on, provided
// no "/", "\" or ":" follows that dot; empty otherwise.
std::string ExtensionOf(std::string path);

// The text preceded by as many `fill` characters as make it `minLength` long.
std::string PadLeftWith(std::string text, std::size_t minLength, char fill);

}  // namespace corvid
