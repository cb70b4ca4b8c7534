#include "jet/text_encoding.h"

#include "SrcLib/code_pages.h"

#include <utility>

#include "jet/mdb_writer.h"

namespace corvid::jet {

std::u16string Utf8ToUtf16(std::string_view utf8) {
  auto units = ValidUtf8ToUtf16(utf8);
  if (!units) throw WriterError("text is not valid UTF-8");
  return std::move(*units);
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
