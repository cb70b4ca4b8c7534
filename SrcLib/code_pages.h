#pragma once
// The one text codec: UTF-8, UTF-16, Windows-1252 and code page 850, the
// encodings texts meet on their way between Access files, OLE data, the
// user's terminal and file names.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Code points of the Windows-1252 bytes 80-9F; 0 marks the five unassigned
// positions (81, 8D, 8F, 90, 9D). Every other byte is its own code point.
inline constexpr std::array<char32_t, 32> kWindows1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a code point, or nothing when the code page lacks
// it (the unassigned positions included).
std::optional<unsigned char> CodePointToWindows1252(char32_t cp);

// Appends the UTF-8 form of a code point (up to U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// Decodes the character that starts at text[i] and moves i past it. A
// malformed sequence (bad lead byte, missing continuation, overlong form,
// surrogate, beyond U+10FFFF, cut short) gives nothing and moves i one byte.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& i);

// The code points of a UTF-8 text; each malformed byte becomes U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text);

// UTF-16 code units of a UTF-8 text; each malformed byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// The same, or nothing when the text is not well-formed UTF-8.
std::optional<std::u16string> ValidUtf8ToUtf16(std::string_view utf8);

// Windows-1252 bytes of a UTF-8 text; a character outside the code page and
// each malformed byte become "?".
std::string Utf8ToWindows1252(std::string_view utf8);
// The same, or nothing when a character is outside the code page or the
// text is not well-formed UTF-8.
std::optional<std::string> ExactUtf8ToWindows1252(std::string_view utf8);
// UTF-8 of Windows-1252 bytes, or nothing when one of them is an unassigned
// position.
std::optional<std::string> Windows1252ToUtf8(std::string_view bytes);

// UTF-16LE code units (two bytes each; an odd last byte is dropped) as UTF-8;
// a surrogate without its partner becomes U+FFFD, a zero unit U+0000.
std::string Utf16LeToUtf8(std::span<const std::byte> bytes);

// Code page 850 (the OEM code page) and UTF-8; a character without a
// code-page-850 form and each malformed byte become "?".
std::string Utf8ToCp850(std::string_view utf8);
std::string Cp850ToUtf8(std::string_view bytes);

}  // namespace corvid
