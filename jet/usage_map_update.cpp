#include "jet/usage_map_update.h"

#include <algorithm>
#include <set>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"
#include "jet/row_page.h"
#include "jet/usage_map.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kInlineHeader = 5;
constexpr std::size_t kBitmapPageHeader = 4;

std::vector<std::byte> MapRow(const JetConstants& jet, EditSession& session,
                              std::uint32_t mapPointer) {
  const std::uint32_t page = mapPointer >> 8;
  const std::uint32_t row = mapPointer & 0xFF;
  if (page == 0 || page >= session.PageCount())
    throw WriterError("a usage map points to page " + std::to_string(page) +
                      ", which the file does not have");
  RowPage map(jet, session.Read(page));
  if (!map.Exists(row) || map.Deleted(row) || map.Row(row).empty())
    throw WriterError("a usage map row is missing on page " + std::to_string(page));
  return std::vector<std::byte>(map.Row(row).begin(), map.Row(row).end());
}

bool TestBit(std::span<const std::byte> bitmap, std::size_t bit) {
  return (std::to_integer<unsigned>(bitmap[bit / 8]) >> (bit % 8)) & 1u;
}
void SetBit(std::span<std::byte> bitmap, std::size_t bit) {
  bitmap[bit / 8] |= static_cast<std::byte>(1u << (bit % 8));
}

}  // namespace

std::vector<std::uint32_t> ReadUsageMap(const JetConstants& jet, EditSession& session,
                                        std::uint32_t mapPointer) {
  const std::vector<std::byte> row = MapRow(jet, session, mapPointer);
  std::vector<std::uint32_t> pages;
  const auto type = std::to_integer<unsigned>(row[0]);
  if (type == 0) {
    if (row.size() < kInlineHeader) throw WriterError("a usage map row is too short");
    const std::uint32_t start = Get32(row, 1);
    const auto bitmap = std::span<const std::byte>(row).subspan(kInlineHeader);
    for (std::size_t bit = 0; bit < bitmap.size() * 8; ++bit)
      if (TestBit(bitmap, bit)) pages.push_back(start + static_cast<std::uint32_t>(bit));
  } else if (type == 1) {
    const std::size_t perPage = PagesPerBitmapPage(jet);
    for (std::size_t entry = 0; 1 + 4 * entry + 4 <= row.size(); ++entry) {
      const std::uint32_t bitmapPage = Get32(row, 1 + 4 * entry);
      if (bitmapPage == 0) continue;
      if (bitmapPage >= session.PageCount())
        throw WriterError("a usage map's bitmap page " + std::to_string(bitmapPage) +
                          " is missing");
      const auto& image = session.Read(bitmapPage);
      if (image[0] != std::byte{kPageTypeUsageBitmap})
        throw WriterError("page " + std::to_string(bitmapPage) + " is not a usage bitmap page");
      const auto bitmap = std::span<const std::byte>(image).subspan(kBitmapPageHeader);
      for (std::size_t bit = 0; bit < perPage; ++bit)
        if (TestBit(bitmap, bit))
          pages.push_back(static_cast<std::uint32_t>(entry * perPage + bit));
    }
  } else {
    throw WriterError("a usage map has a type (" + std::to_string(type) +
                      ") the editor does not know");
  }
  return pages;
}

void AddToUsageMap(const JetConstants& jet, EditSession& session, std::uint32_t mapPointer,
                   std::span<const std::uint32_t> added) {
  if (added.empty()) return;
  const std::uint32_t mapPage = mapPointer >> 8;
  const std::uint32_t mapRow = mapPointer & 0xFF;
  const std::vector<std::byte> old = MapRow(jet, session, mapPointer);
  std::vector<std::byte> row = old;
  const auto type = std::to_integer<unsigned>(row[0]);
  if (type == 0) {
    const std::uint32_t start = Get32(row, 1);
    const std::size_t bits = (row.size() - kInlineHeader) * 8;
    const bool fits = std::all_of(added.begin(), added.end(),
                                  [&](std::uint32_t p) { return p >= start && p - start < bits; });
    if (fits) {
      auto bitmap = std::span<std::byte>(row).subspan(kInlineHeader);
      for (std::uint32_t p : added) SetBit(bitmap, p - start);
    } else {
      std::set<std::uint32_t> all;
      for (std::uint32_t p : ReadUsageMap(jet, session, mapPointer)) all.insert(p);
      all.insert(added.begin(), added.end());
      const std::vector<std::uint32_t> sorted(all.begin(), all.end());
      UsageMap rebuilt = BuildUsageMap(jet, sorted, [&] { return session.Allocate(1); });
      for (auto& [number, bytes] : rebuilt.bitmapPages) session.Write(number, bytes);
      row = std::move(rebuilt.row);
    }
  } else if (type == 1) {
    const std::size_t perPage = PagesPerBitmapPage(jet);
    for (std::uint32_t p : added) {
      const std::size_t entry = p / perPage;
      if (1 + 4 * (entry + 1) > row.size()) row.resize(1 + 4 * (entry + 1), std::byte{0});
      std::uint32_t bitmapPage = Get32(row, 1 + 4 * entry);
      std::vector<std::byte> image;
      if (bitmapPage == 0) {
        bitmapPage = session.Allocate(1);
        image.assign(jet.pageSize, std::byte{0});
        image[0] = std::byte{kPageTypeUsageBitmap};
        image[1] = std::byte{0x01};
        Put32(row, 1 + 4 * entry, bitmapPage);
      } else {
        image = session.Read(bitmapPage);
        if (image[0] != std::byte{kPageTypeUsageBitmap})
          throw WriterError("page " + std::to_string(bitmapPage) + " is not a usage bitmap page");
      }
      SetBit(std::span<std::byte>(image).subspan(kBitmapPageHeader), p - entry * perPage);
      session.Write(bitmapPage, image);
    }
  } else {
    throw WriterError("a usage map has a type (" + std::to_string(type) +
                      ") the editor does not know");
  }
  if (row == old) return;
  RowPage page(jet, session.Read(mapPage));
  if (!page.FitsReplacement(mapRow, row.size()))
    throw WriterError("the usage map on page " + std::to_string(mapPage) + " has no room to grow");
  page.Replace(mapRow, row);
  session.Write(mapPage, page.Image());
}

}  // namespace corvid::jet
