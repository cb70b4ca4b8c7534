#include "jet/usage_map.h"

#include "jet/byte_order.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kInlineHeader = 5;  // type + start page
constexpr std::size_t kBitmapPageHeader = 4;

void SetBit(std::span<std::byte> bitmap, std::size_t bit) {
  bitmap[bit / 8] |= static_cast<std::byte>(1u << (bit % 8));
}

}  // namespace

std::size_t PagesPerBitmapPage(const JetConstants& jet) {
  return (jet.pageSize - kBitmapPageHeader) * 8;
}

UsageMap BuildUsageMap(const JetConstants& jet, std::span<const std::uint32_t> pages,
                       const std::function<std::uint32_t()>& allocatePage) {
  UsageMap map;
  const std::size_t inlineBits = (jet.usageMapRowSize - kInlineHeader) * 8;
  const std::uint32_t first = pages.empty() ? 0 : pages.front();
  if (pages.empty() || pages.back() - first < inlineBits) {
    map.row.assign(jet.usageMapRowSize, std::byte{0});
    map.row[0] = std::byte{0x00};
    Put32(map.row, 1, first);
    auto bitmap = std::span<std::byte>(map.row).subspan(kInlineHeader);
    for (std::uint32_t page : pages) SetBit(bitmap, page - first);
    return map;
  }

  const std::size_t perPage = PagesPerBitmapPage(jet);
  const std::size_t entries = pages.back() / perPage + 1;
  map.row.assign(1 + 4 * entries, std::byte{0});
  map.row[0] = std::byte{0x01};
  std::size_t next = 0;
  for (std::size_t entry = 0; entry < entries; ++entry) {
    const std::uint64_t lo = entry * perPage, hi = lo + perPage;
    if (next >= pages.size() || pages[next] >= hi) continue;  // no pages here: null pointer
    std::vector<std::byte> bitmapPage(jet.pageSize, std::byte{0});
    bitmapPage[0] = std::byte{kPageTypeUsageBitmap};
    bitmapPage[1] = std::byte{0x01};
    auto bitmap = std::span<std::byte>(bitmapPage).subspan(kBitmapPageHeader);
    for (; next < pages.size() && pages[next] < hi; ++next) SetBit(bitmap, pages[next] - lo);
    const std::uint32_t number = allocatePage();
    Put32(map.row, 1 + 4 * entry, number);
    map.bitmapPages.emplace_back(number, std::move(bitmapPage));
  }
  return map;
}

}  // namespace corvid::jet
