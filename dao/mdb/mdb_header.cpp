#include "dao/mdb/mdb_header.h"

#include "SrcLib/code_pages.h"

#include <cstring>
#include <vector>

#include "jet/header_page.h"
#include "jet/jet_format.h"
#include "jet/text_encoding.h"

namespace corvid::dao {

std::optional<MdbHeader> ParseMdbHeader(std::span<const std::byte> firstPage) {
  if (firstPage.size() < jet::kHeaderMaskedEnd) return std::nullopt;
  const auto* raw = reinterpret_cast<const char*>(firstPage.data());
  if (std::memcmp(raw, jet::kHeaderMagic.data(), jet::kHeaderMagic.size()) != 0)
    return std::nullopt;
  const char* name = raw + jet::kHeaderEngineNameOffset;
  bool isJet = std::memcmp(name, jet::kEngineNameJet, jet::kEngineNameLength) == 0;
  bool isAce = std::memcmp(name, jet::kEngineNameAce, jet::kEngineNameLength) == 0;
  if (!isJet && !isAce) return std::nullopt;

  MdbHeader header;
  header.jetVersion = static_cast<unsigned char>(raw[jet::kHeaderVersionOffset]);
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
  const jet::JetConstants& layout = jet::ConstantsForVersionByte(header.jetVersion);
  header.pageSize = layout.pageSize;

  std::vector<std::byte> block(firstPage.begin(), firstPage.begin() + jet::kHeaderMaskedEnd);
  jet::UnmaskHeader(layout, block);
  header.password = jet::GetHeaderPassword(layout, block);
  return header;
}

void StoreMdbPassword(std::span<std::byte> firstPage, std::string_view password) {
  if (firstPage.size() < jet::kHeaderMaskedEnd) return;
  const jet::JetConstants& layout =
      jet::ConstantsForVersionByte(std::to_integer<unsigned>(firstPage[jet::kHeaderVersionOffset]));
  jet::UnmaskHeader(layout, firstPage);
  std::vector<std::byte> encoded;
  if (layout.format == jet::JetFormat::Jet3) {
    // A password the code page cannot hold is stored as none.
    const std::string bytes = ExactUtf8ToWindows1252(password).value_or("");
    for (char c : bytes) encoded.push_back(static_cast<std::byte>(c));
  } else {
    std::u16string units = Utf8ToUtf16(password);
    if (units.size() > jet::kMaxPasswordChars) units.resize(jet::kMaxPasswordChars);
    encoded = jet::EncodeUcs2(units);
  }
  jet::PutHeaderPassword(layout, firstPage, encoded);
  jet::UnmaskHeader(layout, firstPage);
}

}  // namespace corvid::dao
