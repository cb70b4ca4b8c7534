// Rows on a data page: the row count, the offsets table (with its deleted
// and lookup flags) and where each row's bytes begin and end. Every offset
// is checked against the page. A lookup row holds only a pointer to where
// the row was moved; the row there is flagged deleted so that a scan of
// that page does not return it twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "jet/reader/page_source.h"
#include "jet/jet_format.h"

namespace corvid::jet::reader {

struct RowSlot {
  bool deleted = false;
  bool lookup = false;  // the row holds a pointer to the row's real place
  std::size_t start = 0, end = 0;
};

inline std::uint8_t PageType(const Page& page) { return static_cast<std::uint8_t>(page[0]); }
std::uint32_t PageOwner(const Page& page, const JetConstants& format);

// Throws DamageError when the count does not fit the page.
std::size_t RowCountOf(const Page& page, const JetConstants& format);

// Row `row` (< RowCountOf); throws DamageError when its offsets do not fit.
// The offsets of a deleted row are checked only when `deletedToo` (a row a
// lookup row points to carries the deleted flag so that scans pass it by).
RowSlot SlotOf(const Page& page, const JetConstants& format, std::size_t row,
               bool deletedToo = false);

// The bytes of the row a pointer (page << 8 | row) names, on a data page.
// Throws DamageError (naming the page and row) when the page is no data
// page, the row is missing or deleted. `page` keeps the bytes alive.
std::span<const std::byte> RowAtPointer(PageSource& pages, const JetConstants& format,
                                        std::uint32_t pointer, PagePtr& page);

}  // namespace corvid::jet::reader
