#include "jet/reader/usage_map.h"

#include <algorithm>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

constexpr std::size_t kInlineHeader = 5;  // type, start page
constexpr std::size_t kBitmapPageHeader = 4;

void AddBits(std::span<const std::byte> bitmap, std::uint64_t firstPage, std::uint32_t pageCount,
             UsageMap& map) {
  for (std::size_t i = 0; i < bitmap.size(); ++i) {
    const auto bits = static_cast<unsigned>(bitmap[i]);
    if (bits == 0) continue;
    for (unsigned b = 0; b < 8; ++b) {
      if ((bits & (1u << b)) == 0) continue;
      const std::uint64_t page = firstPage + 8 * i + b;
      if (page < pageCount) {
        map.pages.push_back(static_cast<std::uint32_t>(page));
      } else {
        ++map.pagesBeyondFile;
      }
    }
  }
}

}  // namespace

UsageMap ReadUsageMap(PageSource& pages, const JetConstants& format, std::uint32_t pointer) {
  PagePtr holder;
  const std::span<const std::byte> row = RowAtPointer(pages, format, pointer, holder);
  UsageMap map;
  const std::uint8_t type = Read8(row, 0);
  if (type == 0) {
    const std::uint32_t start = Read32(row, 1);
    AddBits(row.subspan(kInlineHeader), start, pages.PageCount(), map);
  } else if (type == 1) {
    const std::size_t perPage = (pages.PageSize() - kBitmapPageHeader) * 8;
    const std::size_t entries = (row.size() - 1) / 4;
    for (std::size_t entry = 0; entry < entries; ++entry) {
      const std::uint32_t bitmapPage = Read32(row, 1 + 4 * entry);
      if (bitmapPage == 0) continue;
      PagePtr page = pages.Read(bitmapPage);
      if (PageType(*page) != kPageTypeUsageBitmap)
        throw DamageError("not a usage bitmap page (type " + std::to_string(PageType(*page)) + ")",
                          DamageLocation{.page = bitmapPage});
      AddBits(std::span<const std::byte>(*page).subspan(kBitmapPageHeader),
              std::uint64_t{entry} * perPage, pages.PageCount(), map);
    }
  } else {
    throw DamageError(
        "unknown usage map type " + std::to_string(type),
        DamageLocation{.page = pointer >> 8, .row = static_cast<int>(pointer & 0xFF)});
  }
  std::sort(map.pages.begin(), map.pages.end());
  map.pages.erase(std::unique(map.pages.begin(), map.pages.end()), map.pages.end());
  return map;
}

}  // namespace corvid::jet::reader
