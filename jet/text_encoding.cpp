#include "jet/text_encoding.h"

#include "SrcLib/code_pages.h"

#include <array>
#include <cstdint>

#include "jet/mdb_writer.h"

namespace corvid::jet {

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  auto bad = [] { throw WriterError("text is not valid UTF-8"); };
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0;
    std::size_t extra = 0;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
    } else {
      bad();
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size()) bad();
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) bad();
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr std::array<std::uint32_t, 4> kMin{0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) bad();
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return out;
}

std::vector<std::byte> EncodeUcs2(std::u16string_view text) {
  std::vector<std::byte> out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<std::byte>(c & 0xFF));
    out.push_back(static_cast<std::byte>(c >> 8));
  }
  return out;
}

std::optional<std::vector<std::byte>> CompressUcs2(std::u16string_view text) {
  std::vector<std::byte> out{std::byte{0xFF}, std::byte{0xFE}};
  bool compressed = true;
  for (char16_t c : text) {
    if ((c & 0xFF) == 0) return std::nullopt;  // would read as a mode toggle
    const bool oneByte = (c >> 8) == 0;
    if (oneByte != compressed) {
      out.push_back(std::byte{0});
      compressed = oneByte;
    }
    out.push_back(static_cast<std::byte>(c & 0xFF));
    if (!oneByte) out.push_back(static_cast<std::byte>(c >> 8));
  }
  if (out.size() >= text.size() * 2) return std::nullopt;
  return out;
}

std::vector<std::byte> EncodeJet4Text(std::u16string_view text, bool allowCompression) {
  if (allowCompression) {
    if (auto compressed = CompressUcs2(text)) return std::move(*compressed);
  }
  return EncodeUcs2(text);
}

std::optional<std::vector<std::byte>> EncodeWindows1252(std::u16string_view text) {
  std::vector<std::byte> out;
  out.reserve(text.size());
  for (char16_t c : text) {
    const auto byte = CodePointToWindows1252(c);
    if (!byte) return std::nullopt;
    out.push_back(static_cast<std::byte>(*byte));
  }
  return out;
}

}  // namespace corvid::jet
