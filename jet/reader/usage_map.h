// A usage map: which pages belong to a table (or hold its free space).
// Type 0 keeps a bitmap inline after its start page; type 1 lists bitmap
// pages (type 0x05) that each cover a run of pages.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/reader/page_source.h"
#include "jet/jet_format.h"

namespace corvid::jet::reader {

struct UsageMap {
  std::vector<std::uint32_t> pages;  // ascending, each below the page count
  std::size_t pagesBeyondFile = 0;   // bits set for pages the file does not have
};

// Reads the map whose row `pointer` (page << 8 | row) names. Throws
// DamageError when the map row or a bitmap page cannot be read.
UsageMap ReadUsageMap(PageSource& pages, const JetConstants& format, std::uint32_t pointer);

}  // namespace corvid::jet::reader
