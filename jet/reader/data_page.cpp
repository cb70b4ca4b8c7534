#include "jet/reader/data_page.h"

#include "jet/reader/checked_bytes.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {

std::uint32_t PageOwner(const Page& page, const JetConstants& format) {
  return Read32(page, format.dataOwnerOffset);
}

std::size_t RowCountOf(const Page& page, const JetConstants& format) {
  const std::size_t count = Read16(page, format.dataRowCountOffset);
  if (count > format.maxRowsPerPage || format.dataRowCountOffset + 2 + 2 * count > page.size())
    throw DamageError("the page says it holds " + std::to_string(count) + " rows, more than fit");
  return count;
}

RowSlot SlotOf(const Page& page, const JetConstants& format, std::size_t row, bool deletedToo) {
  const std::size_t tableEnd = format.dataRowCountOffset + 2 + 2 * RowCountOf(page, format);
  const std::uint16_t raw = Read16(page, format.dataRowCountOffset + 2 + 2 * row);
  RowSlot slot;
  slot.deleted = (raw & kRowDeleted) != 0;
  slot.lookup = (raw & kRowLookup) != 0;
  slot.start = raw & kRowOffsetMask;
  slot.end =
      row == 0 ? page.size() : (Read16(page, format.dataRowCountOffset + 2 * row) & kRowOffsetMask);
  if (slot.deleted && !deletedToo) return slot;  // a deleted row's offsets are not used
  if (slot.start < tableEnd || slot.start >= slot.end || slot.end > page.size())
    throw DamageError("the row's offsets " + std::to_string(slot.start) + ".." +
                          std::to_string(slot.end) + " do not fit the page",
                      DamageLocation{.row = static_cast<int>(row)});
  return slot;
}

std::span<const std::byte> RowAtPointer(PageSource& pages, const JetConstants& format,
                                        std::uint32_t pointer, PagePtr& page) {
  const std::uint32_t number = pointer >> 8;
  const int row = static_cast<int>(pointer & 0xFF);
  const DamageLocation where{.page = number, .row = row};
  try {
    if (number == 0) throw DamageError("a row pointer names page 0");
    page = pages.Read(number);
    if (PageType(*page) != kPageTypeData)
      throw DamageError("not a data page (type " + std::to_string(PageType(*page)) + ")");
    if (static_cast<std::size_t>(row) >= RowCountOf(*page, format))
      throw DamageError("the page has no row " + std::to_string(row));
    const RowSlot slot = SlotOf(*page, format, static_cast<std::size_t>(row));
    if (slot.deleted) throw DamageError("the row is deleted");
    return std::span<const std::byte>(*page).subspan(slot.start, slot.end - slot.start);
  } catch (const DamageError& e) {
    throw e.Within(where);
  }
}

}  // namespace corvid::jet::reader
