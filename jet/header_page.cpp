#include "jet/header_page.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"
#include "jet/text_encoding.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kJet3SortOrderOffset = 0x3A;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kDatabaseKeyOffset = 0x3E;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet4SortOrderOffset = 0x6E;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::size_t kMaxPasswordChars = 20;
constexpr std::array<std::uint8_t, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};  // 0x6B39DAC7
constexpr char kEngineName[] = "Standard Jet DB";

// Jet 4 xors the password with the whole days of the creation date.
std::array<std::byte, 4> PasswordDateMask(double creationDate) {
  const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(creationDate));
  std::array<std::byte, 4> mask{};
  Put32(mask, 0, days);
  return mask;
}

}  // namespace

void ApplyRc4(std::span<const std::uint8_t> key, std::span<std::byte> data) {
  std::array<std::uint8_t, 256> s{};
  for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
    std::swap(s[i], s[j]);
  }
  std::uint8_t x = 0, y = 0;
  for (auto& b : data) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    b ^= static_cast<std::byte>(s[static_cast<std::uint8_t>(s[x] + s[y])]);
  }
}

std::vector<std::byte> BuildHeaderPage(const JetConstants& jet, const HeaderFields& fields) {
  std::vector<std::byte> page(jet.pageSize, std::byte{0});
  std::span<std::byte> p(page);
  Put32(p, 0, 0x00000100);  // page type 0, then 01 00 00
  std::copy_n(reinterpret_cast<const std::byte*>(kEngineName), sizeof kEngineName - 1, page.begin() + 4);
  Put32(p, kVersionOffset, jet.versionByte);

  // The masked block as Access leaves it in a new database.
  Put32(p, 0x18, 0x00000100);
  Put32(p, 0x1C, 0x00000101);
  for (std::uint32_t k = 0; k < 4; ++k) Put32(p, 0x20 + 4 * k, 2 + k);
  Put16(p, kCodePageOffset, fields.codePage);
  Put32(p, kDatabaseKeyOffset, 0);  // 0: pages are not encrypted

  const std::u16string password = Utf8ToUtf16(fields.password);
  if (password.size() > kMaxPasswordChars)
    throw WriterError("the database password may have at most 20 characters");
  std::vector<std::byte> passwordBytes(jet.passwordLength, std::byte{0});
  if (jet.format == JetFormat::Jet4) {
    const auto ucs2 = EncodeUcs2(password);
    std::copy(ucs2.begin(), ucs2.end(), passwordBytes.begin());
  } else {
    const auto single = EncodeWindows1252(password);
    if (!single) throw WriterError("the database password has a character outside Windows-1252");
    std::copy(single->begin(), single->end(), passwordBytes.begin());
  }
  if (jet.passwordMaskedByDate) {
    const auto mask = PasswordDateMask(fields.creationDate);
    for (std::size_t i = 0; i < passwordBytes.size(); ++i) passwordBytes[i] ^= mask[i % mask.size()];
  }
  std::copy(passwordBytes.begin(), passwordBytes.end(), page.begin() + kPasswordOffset);

  if (jet.format == JetFormat::Jet4) {
    Put32(p, kJet4SortOrderOffset, fields.sortOrder);
    PutDouble(p, kCreationDateOffset, fields.creationDate);
    // Outside the masked block: the engine's format marker "4.0".
    Put32(p, 0x98, 0x0654);
    page[0x9C] = std::byte{'4'};
    page[0x9D] = std::byte{'.'};
    page[0x9E] = std::byte{'0'};
  } else {
    Put16(p, kJet3SortOrderOffset, fields.sortOrder);
  }
  ApplyRc4(kHeaderKey, p.subspan(kMaskedStart, jet.maskedHeaderLength));
  return page;
}

void UnmaskHeader(const JetConstants& jet, std::span<std::byte> page0) {
  ApplyRc4(kHeaderKey, page0.subspan(kMaskedStart, jet.maskedHeaderLength));
}

std::string ReadHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0) {
  std::vector<std::byte> page(page0.begin(), page0.begin() + jet.pageSize);
  UnmaskHeader(jet, page);
  std::vector<std::byte> bytes(page.begin() + kPasswordOffset,
                               page.begin() + kPasswordOffset + jet.passwordLength);
  if (jet.passwordMaskedByDate) {
    double date;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | std::to_integer<std::uint64_t>(page[kCreationDateOffset + i]);
    std::memcpy(&date, &bits, sizeof date);
    const auto mask = PasswordDateMask(date);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= mask[i % mask.size()];
  }
  std::string out;
  auto appendUtf8 = [&out](std::uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  };
  if (jet.format == JetFormat::Jet4) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      std::uint32_t unit = Get16(bytes, i);
      if (unit == 0) break;
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
        const std::uint32_t low = Get16(bytes, i + 2);
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
      appendUtf8(unit);
    }
  } else {
    for (std::byte b : bytes) {
      if (b == std::byte{0}) break;
      appendUtf8(std::to_integer<std::uint32_t>(b));  // Latin-1 range only
    }
  }
  return out;
}

}  // namespace corvid::jet
