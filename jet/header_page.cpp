#include "jet/header_page.h"

#include "SrcLib/code_pages.h"

#include <algorithm>
#include <cstring>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"
#include "jet/rc4.h"
#include "jet/text_encoding.h"

namespace corvid::jet {

std::vector<std::byte> BuildHeaderPage(const JetConstants& jet, const HeaderFields& fields) {
  std::vector<std::byte> page(jet.pageSize, std::byte{0});
  std::span<std::byte> p(page);
  std::copy(kHeaderMagic.begin(), kHeaderMagic.end(), reinterpret_cast<std::uint8_t*>(page.data()));
  const bool ace = jet.format == JetFormat::Ace2007;
  std::copy_n(reinterpret_cast<const std::byte*>(ace ? kEngineNameAce : kEngineNameJet),
              kEngineNameLength, page.begin() + kHeaderEngineNameOffset);
  Put32(p, kHeaderVersionOffset, jet.versionByte);

  // The masked block as Access leaves it in a new database.
  Put32(p, kHeaderMaskedStart, 0x00000100);
  Put32(p, 0x1C, 0x00000101);
  for (std::uint32_t k = 0; k < 4; ++k) Put32(p, 0x20 + 4 * k, 2 + k);
  Put16(p, kHeaderCodePageOffset, fields.codePage);
  Put32(p, kHeaderDatabaseKeyOffset, 0);  // 0: pages are not encrypted

  if (jet.format != JetFormat::Jet3) {
    Put32(p, jet.sortOrderOffset, fields.sortOrder);
    PutDouble(p, kHeaderCreationDateOffset, fields.creationDate);
    // Outside the masked block: the engine's format marker "4.0".
    Put32(p, 0x98, 0x0654);
    page[0x9C] = std::byte{'4'};
    page[0x9D] = std::byte{'.'};
    page[0x9E] = std::byte{'0'};
  } else {
    Put16(p, jet.sortOrderOffset, fields.sortOrder);
  }

  const std::u16string password = Utf8ToUtf16(fields.password);
  if (password.size() > kMaxPasswordChars)
    throw WriterError("the database password may have at most 20 characters");
  // Access protects an .accdb file with a password by encrypting it, which
  // the writer does not do.
  if (ace && !password.empty())
    throw WriterError("the writer cannot protect an Access 2007 file with a password");
  if (jet.format != JetFormat::Jet3) {
    PutHeaderPassword(jet, p, EncodeUcs2(password));
  } else {
    const auto single = EncodeWindows1252(password);
    if (!single) throw WriterError("the database password has a character outside Windows-1252");
    PutHeaderPassword(jet, p, *single);
  }
  UnmaskHeader(jet, p);  // RC4 runs both ways: this masks the block
  return page;
}

void UnmaskHeader(const JetConstants& jet, std::span<std::byte> page0) {
  ApplyRc4(kHeaderMaskKey, page0.subspan(kHeaderMaskedStart, jet.maskedHeaderLength));
}

void PutHeaderPassword(const JetConstants& jet, std::span<std::byte> page0,
                       std::span<const std::byte> encoded) {
  std::span<std::byte> field = page0.subspan(kHeaderPasswordOffset, jet.passwordLength);
  std::fill(field.begin(), field.end(), std::byte{0});
  std::copy_n(encoded.begin(), std::min(encoded.size(), field.size()), field.begin());
  if (jet.passwordMaskedByDate) {
    const auto mask = PasswordDateMask(GetDouble(page0, kHeaderCreationDateOffset));
    for (std::size_t i = 0; i < field.size(); ++i) field[i] ^= std::byte{mask[i % mask.size()]};
  }
}

std::string GetHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0) {
  std::vector<std::byte> bytes(page0.begin() + kHeaderPasswordOffset,
                               page0.begin() + kHeaderPasswordOffset + jet.passwordLength);
  std::string out;
  if (jet.passwordMaskedByDate) {
    const auto mask = PasswordDateMask(GetDouble(page0, kHeaderCreationDateOffset));
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= std::byte{mask[i % mask.size()]};
  }
  if (jet.format != JetFormat::Jet3) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      char32_t unit = Get16(bytes, i);
      if (unit == 0) break;
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
        const char32_t low = Get16(bytes, i + 2);
        if (low >= 0xDC00 && low < 0xE000) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      AppendUtf8(out, unit);
    }
  } else {
    std::string raw;
    for (std::byte b : bytes) {
      if (b == std::byte{0}) break;
      raw.push_back(static_cast<char>(b));
    }
    out = Windows1252ToUtf8(raw).value_or(raw);
  }
  return out;
}

std::string ReadHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0) {
  std::vector<std::byte> page(page0.begin(), page0.begin() + kHeaderMaskedEnd);
  UnmaskHeader(jet, page);
  return GetHeaderPassword(jet, page);
}

}  // namespace corvid::jet
