#include "dao/mdb/mdb_header.h"

#include "SrcLib/code_pages.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <vector>

namespace corvid::dao {
namespace {

constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kCreationDateOffset = 0x72;  // Jet 4 and later
constexpr std::size_t kJet3PasswordSize = 20;
constexpr std::size_t kJet4PasswordSize = 40;

// The header block after 0x18 is masked with RC4 under a fixed key.
void Rc4Mask(std::byte* data, std::size_t length) {
  const std::array<std::uint8_t, 4> key{0xC7, 0xDA, 0x39, 0x6B};
  std::array<std::uint8_t, 256> state{};
  for (int i = 0; i < 256; ++i) state[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state[i] + key[i % key.size()]);
    std::swap(state[i], state[j]);
  }
  std::uint8_t x = 0, y = 0;
  for (std::size_t n = 0; n < length; ++n) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + state[x]);
    std::swap(state[x], state[y]);
    data[n] ^= std::byte{state[static_cast<std::uint8_t>(state[x] + state[y])]};
  }
}

std::size_t MaskedLength(int jetVersion) { return jetVersion == 0 ? 126 : 128; }

// Jet 4 XORs the password once more with the creation date's whole days.
std::array<std::byte, 4> DateMask(const std::byte* header) {
  double date = 0;
  std::memcpy(&date, header + kCreationDateOffset, sizeof date);
  auto days = static_cast<std::int32_t>(date);
  std::array<std::byte, 4> mask{};
  for (int i = 0; i < 4; ++i) mask[i] = std::byte(static_cast<std::uint32_t>(days) >> (8 * i));
  return mask;
}



// Converts between character sets; unconvertible input yields "".
std::string Convert(const char* to, const char* from, std::string_view text) {
  iconv_t convert = iconv_open(to, from);
  if (convert == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* at = out.data();
  std::size_t outLeft = out.size();
  std::size_t result = iconv(convert, &in, &inLeft, &at, &outLeft);
  iconv_close(convert);
  if (result == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::optional<MdbHeader> ParseMdbHeader(std::span<const std::byte> firstPage) {
  if (firstPage.size() < 0x98) return std::nullopt;
  static constexpr char kJet[] = "Standard Jet DB";
  static constexpr char kAce[] = "Standard ACE DB";
  const auto* raw = reinterpret_cast<const char*>(firstPage.data());
  if (raw[0] != 0 || raw[1] != 1 || raw[2] != 0 || raw[3] != 0) return std::nullopt;
  bool jet = std::memcmp(raw + 4, kJet, 15) == 0;
  bool ace = std::memcmp(raw + 4, kAce, 15) == 0;
  if (!jet && !ace) return std::nullopt;

  MdbHeader header;
  header.jetVersion = static_cast<unsigned char>(raw[0x14]);
  switch (header.jetVersion) {
    case 0:
      header.format = MdbFormat::Jet3;
      header.versionText = "3.0";
      break;
    case 1:
      header.format = MdbFormat::Jet4;
      header.versionText = "4.0";
      break;
    case 2:
      header.format = MdbFormat::Ace;
      header.versionText = "12.0";
      break;
    case 3:
      header.format = MdbFormat::Ace;
      header.versionText = "14.0";
      break;
    case 4:
      header.format = MdbFormat::Ace;
      header.versionText = "15.0";
      break;
    case 5:
    case 6:
      header.format = MdbFormat::Ace;
      header.versionText = "16.0";
      break;
    default:
      return std::nullopt;
  }
  header.pageSize = header.format == MdbFormat::Jet3 ? 2048 : 4096;

  std::vector<std::byte> block(firstPage.begin(), firstPage.begin() + 0x98);
  Rc4Mask(block.data() + kMaskedStart, MaskedLength(header.jetVersion));
  if (header.format == MdbFormat::Jet3) {
    std::string raw;
    for (std::size_t i = 0; i < kJet3PasswordSize; ++i) {
      auto c = static_cast<char>(block[kPasswordOffset + i]);
      if (c == 0) break;
      raw += c;
    }
    header.password = Convert("UTF-8", "CP1252", raw);
    if (header.password.empty() && !raw.empty()) header.password = raw;
  } else {
    auto mask = DateMask(block.data());
    for (std::size_t i = 0; i < kJet4PasswordSize; i += 2) {
      auto lo = static_cast<std::uint32_t>(block[kPasswordOffset + i] ^ mask[i % 4]);
      auto hi = static_cast<std::uint32_t>(block[kPasswordOffset + i + 1] ^ mask[(i + 1) % 4]);
      std::uint32_t unit = lo | (hi << 8);
      if (unit == 0) break;
      AppendUtf8(header.password, unit);
    }
  }
  return header;
}

void StoreMdbPassword(std::span<std::byte> firstPage, std::string_view password) {
  if (firstPage.size() < 0x98) return;
  int jetVersion = static_cast<int>(firstPage[0x14]);
  std::byte* block = firstPage.data();
  Rc4Mask(block + kMaskedStart, MaskedLength(jetVersion));
  auto units = DecodeUtf8(password);
  if (jetVersion == 0) {
    std::string raw = Convert("CP1252", "UTF-8", password);
    for (std::size_t i = 0; i < kJet3PasswordSize; ++i)
      block[kPasswordOffset + i] = i < raw.size() ? std::byte(raw[i]) : std::byte{0};
  } else {
    auto mask = DateMask(block);
    for (std::size_t i = 0; i < kJet4PasswordSize / 2; ++i) {
      std::uint32_t unit = i < units.size() ? units[i] : 0;
      block[kPasswordOffset + 2 * i] = std::byte(unit & 0xFF) ^ mask[(2 * i) % 4];
      block[kPasswordOffset + 2 * i + 1] = std::byte(unit >> 8) ^ mask[(2 * i + 1) % 4];
    }
  }
  Rc4Mask(block + kMaskedStart, MaskedLength(jetVersion));
}

}  // namespace corvid::dao
