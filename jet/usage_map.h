// Usage maps: which pages belong to a table. Small spans are an inline
// bitmap in the map row itself (type 0: start page + bitmap); larger ones a
// row of pointers to bitmap pages (type 1), each bitmap page covering a
// fixed range of page numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet {

struct UsageMap {
  std::vector<std::byte> row;  // the map row stored on a data page
  // Bitmap pages the row points to, with the page numbers they were given.
  std::vector<std::pair<std::uint32_t, std::vector<std::byte>>> bitmapPages;
};

// `pages` must be ascending. allocatePage is called once per bitmap page.
UsageMap BuildUsageMap(const JetConstants& jet, std::span<const std::uint32_t> pages,
                       const std::function<std::uint32_t()>& allocatePage);

// Pages covered by one bitmap page of a type-1 map.
std::size_t PagesPerBitmapPage(const JetConstants& jet);

}  // namespace corvid::jet
