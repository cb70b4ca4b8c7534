#include "SrcLib/file_names.h"

#include "SrcLib/code_pages.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "SrcLib/FastStrings.h"

namespace corvid {
namespace {

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsBlankOrControl(unsigned char c) { return c <= 0x20; }
inline bool IsWordChar(unsigned char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}
inline bool IsNameSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

void TrimBlanksAndControls(std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlankOrControl(Byte(text[begin]))) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlankOrControl(Byte(text[end - 1]))) --end;
  text = text.substr(begin, end - begin);
}

// Windows-1252 byte for a code point, or '?' when the code page lacks it.
char ToWindows1252(char32_t cp) {
  // The five unassigned positions round-trip as the C1 controls of the same value.
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D)
    return static_cast<char>(cp);
  if (const auto byte = CodePointToWindows1252(cp)) return static_cast<char>(*byte);
  return '?';
}

// Decodes UTF-8 and re-encodes in Windows-1252. A malformed sequence (bad lead
// byte, missing continuation, overlong form, surrogate, beyond U+10FFFF)
// becomes one '?' per offending byte, as an unmappable character would.
std::string Utf8ToFileNameBytes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto cp = NextUtf8(text, i);
    out.push_back(cp ? ToWindows1252(*cp) : '?');
  }
  return out;
}

// The file-name byte table: bytes 80..9F read as in code page 850, C0..FF as
// in Windows-1252; 0 marks bytes that become "_".
constexpr std::array<char, 256> MakeCleanTable() {
  std::array<char, 256> t{};
  for (auto& c : t) c = '_';
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<char>(c);
  t['!'] = '!', t['('] = '(', t[')'] = ')', t['-'] = '-', t['_'] = '_';
  t[':'] = '-';
  auto set = [&t](int from, int to, char value) {
    for (int c = from; c <= to; ++c) t[c] = value;
  };
  set(0x80, 0x80, 'C'), set(0xC7, 0xC7, 'C');
  set(0x82, 0x82, 'e'), set(0x88, 0x8A, 'e'), set(0xE8, 0xEB, 'e');
  set(0x83, 0x86, 'a'), set(0x91, 0x91, 'a'), set(0xE0, 0xE6, 'a');
  set(0x87, 0x87, 'c'), set(0xE7, 0xE7, 'c');
  set(0x8B, 0x8D, 'i'), set(0xEC, 0xEF, 'i');
  set(0x8E, 0x8F, 'A'), set(0x92, 0x92, 'A'), set(0xC0, 0xC6, 'A');
  set(0x90, 0x90, 'E'), set(0xC8, 0xCB, 'E');
  set(0x93, 0x95, 'o'), set(0x9B, 0x9B, 'o'), set(0xF2, 0xF8, 'o');
  set(0x96, 0x97, 'u'), set(0xF9, 0xFC, 'u');
  set(0x98, 0x98, 'y'), set(0xFD, 0xFD, 'y'), set(0xFF, 0xFF, 'y');
  set(0x99, 0x99, 'O'), set(0x9D, 0x9D, 'O'), set(0xD2, 0xD8, 'O');
  set(0x9A, 0x9A, 'U'), set(0xD9, 0xDC, 'U');
  set(0xCC, 0xCF, 'I');
  set(0xD0, 0xD0, 'D');
  set(0xD1, 0xD1, 'N');
  set(0xDD, 0xDD, 'Y');
  set(0xF0, 0xF0, 'd');
  set(0xF1, 0xF1, 'n');
  return t;
}

constexpr std::array<char, 256> kCleanTable = MakeCleanTable();

}  // namespace

std::string TrimToWordChars(std::string text) {
  TrimBlanksAndControls(text);
  std::size_t begin = 0;
  while (begin < text.size() && !IsWordChar(Byte(text[begin]))) ++begin;
  std::size_t end = text.size();
  while (end > begin && !IsWordChar(Byte(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::int64_t NthNumber(std::string text, int n) {
  std::string_view run;
  std::size_t i = 0;
  for (int count = 0; count < n; ++count) {
    while (i < text.size() && !IsDigit(Byte(text[i]))) ++i;
    const std::size_t start = i;
    while (i < text.size() && IsDigit(Byte(text[i]))) ++i;
    run = std::string_view(text).substr(start, i - start);
    if (i == text.size() && count + 1 < n) return -1;  // no further runs
  }
  if (run.empty()) return -1;
  std::int64_t value = -1;
  const auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), value);
  if (error != std::errc() || end != run.data() + run.size()) return -1;
  return value;
}

std::string CleanFileName(std::string text) {
  if (text.empty()) return text;
  if (text.find_first_of("\xC2\xC3") != std::string::npos) {
    text = Utf8ToFileNameBytes(text);
    TrimBlanksAndControls(text);
  }
  for (char& c : text) c = kCleanTable[Byte(c)];
  text = ReplaceEach("__", "_", std::move(text));
  text = ReplaceEach("--", "-", std::move(text));
  text = ReplaceEach("_-_", "-", std::move(text));
  text = ReplaceEach("-_", "-", std::move(text));
  text = ReplaceEach("_-", "_", std::move(text));
  std::size_t begin = 0;
  while (text.size() - begin >= 2 && text[begin] == '_') ++begin;
  std::size_t end = text.size();
  while (end - begin >= 2 && text[end - 1] == '_') --end;
  return text.substr(begin, end - begin);
}

std::string BaseNameWithoutExt(std::string path) {
  std::size_t start = 0;
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsNameSeparator(path[i - 1])) {
      start = i;
      break;
    }
  }
  std::string name = path.substr(start);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string ExtensionOf(std::string path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  if (path.find_first_of("/\\:", dot + 1) != std::string::npos) return {};
  return path.substr(dot);
}

std::string PadLeftWith(std::string text, std::size_t minLength, char fill) {
  if (text.size() >= minLength) return text;
  return std::string(minLength - text.size(), fill) + text;
}

}  // namespace corvid
