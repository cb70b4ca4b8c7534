#include "jet/reader/text_decoding.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "SrcLib/code_pages.h"

namespace corvid::jet::reader {
namespace {

bool IsWindows1252(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
  return name == "CP1252" || name == "WINDOWS1252";
}

}  // namespace

struct TextDecoder::Converter {
  iconv_t handle = reinterpret_cast<iconv_t>(-1);
  std::mutex lock;  // one iconv state, used one text at a time
  ~Converter() {
    if (handle != reinterpret_cast<iconv_t>(-1)) iconv_close(handle);
  }
};

TextDecoder::TextDecoder(JetFormat version) : unicode_(version != JetFormat::Jet3) {
  if (unicode_) return;
  codePage_ = "CP1252";
  for (const char* variable : {"CORVID_JET3_CHARSET", "MDB_JET3_CHARSET"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      codePage_ = value;
      break;
    }
  }
  if (IsWindows1252(codePage_)) return;
  auto converter = std::make_unique<Converter>();
  converter->handle = iconv_open("UTF-8", codePage_.c_str());
  // A code page iconv does not know falls back to Windows-1252.
  if (converter->handle == reinterpret_cast<iconv_t>(-1)) {
    codePage_ = "CP1252";
    return;
  }
  converter_ = std::move(converter);
}

TextDecoder::~TextDecoder() = default;

std::string TextDecoder::Decode(std::span<const std::byte> stored) const {
  if (!unicode_) return DecodeCodePage(stored);
  if (stored.size() < 2 || stored[0] != std::byte{0xFF} || stored[1] != std::byte{0xFE})
    return Utf16LeToUtf8(stored);
  // Compressed: one byte per character until a zero byte switches to two
  // bytes per character, and back at the next zero.
  std::vector<std::byte> units;
  units.reserve(2 * stored.size());
  bool compressed = true;
  std::size_t i = 2;
  while (i < stored.size()) {
    if (stored[i] == std::byte{0}) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      units.push_back(stored[i]);
      units.push_back(std::byte{0});
      ++i;
    } else if (i + 1 < stored.size()) {
      units.push_back(stored[i]);
      units.push_back(stored[i + 1]);
      i += 2;
    } else {
      break;
    }
  }
  return Utf16LeToUtf8(units);
}

std::string TextDecoder::DecodeCodePage(std::span<const std::byte> stored) const {
  std::string out;
  if (!converter_) {
    out.reserve(stored.size());
    for (std::byte b : stored) {
      const auto c = static_cast<unsigned char>(b);
      char32_t cp = c;
      if (c >= 0x80 && c <= 0x9F)
        cp = kWindows1252High[c - 0x80] ? kWindows1252High[c - 0x80] : kReplacementCharacter;
      AppendUtf8(out, cp);
    }
    return out;
  }
  std::lock_guard guard(converter_->lock);
  iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buffer(stored.size() * 4 + 16);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(stored.data()));
  std::size_t inLeft = stored.size();
  while (inLeft > 0) {
    char* at = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t result = iconv(converter_->handle, &in, &inLeft, &at, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (result == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      AppendUtf8(out, kReplacementCharacter);  // a byte the code page cannot decode
      ++in;
      --inLeft;
      iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace corvid::jet::reader
