#include "jet/row_page.h"

#include <algorithm>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"

namespace corvid::jet {
RowPage::RowPage(const JetConstants& jet, std::span<const std::byte> image) : jet_(jet) {
  if (image.size() != jet.pageSize || image[0] != std::byte{kPageTypeData})
    throw WriterError("page is not a data page");
  header_.assign(image.begin(),
                 image.begin() + static_cast<std::ptrdiff_t>(jet.dataRowCountOffset));
  owner_ = Get32(image, jet.dataOwnerOffset);
  const std::size_t count = Get16(image, jet.dataRowCountOffset);
  const std::size_t headerEnd = jet.dataRowCountOffset + 2 + 2 * count;
  if (count > jet.maxRowsPerPage || headerEnd > jet.pageSize)
    throw WriterError("data page with a bad row count");
  std::size_t end = jet.pageSize;
  for (std::size_t r = 0; r < count; ++r) {
    const std::uint32_t entry = Get16(image, jet.dataRowCountOffset + 2 + 2 * r);
    const std::size_t start = entry & kRowOffsetMask;
    Slot slot;
    slot.deleted = (entry & kRowDeleted) != 0;
    slot.lookup = (entry & kRowLookup) != 0;
    // A deleted row's bytes may overlap others' (Jet leaves them as they
    // were); they are not kept.
    if (!slot.deleted) {
      if (start < headerEnd || start > end) throw WriterError("data page with bad row offsets");
      slot.bytes.assign(image.begin() + static_cast<std::ptrdiff_t>(start),
                        image.begin() + static_cast<std::ptrdiff_t>(end));
      end = start;
    } else if (start >= headerEnd && start <= end) {
      end = start;
    }
    rows_.push_back(std::move(slot));
  }
}

std::size_t RowPage::UsedBytes() const {
  std::size_t used = jet_.dataRowCountOffset + 2 + 2 * rows_.size();
  for (const Slot& s : rows_) used += s.bytes.size();
  return used;
}

std::size_t RowPage::FreeSpace() const { return jet_.pageSize - UsedBytes(); }

bool RowPage::FitsReplacement(std::size_t row, std::size_t size) const {
  const std::size_t old = rows_.at(row).bytes.size();
  return size <= old || size - old <= FreeSpace();
}

bool RowPage::FitsNew(std::size_t size) const {
  return rows_.size() < jet_.maxRowsPerPage && size + 2 <= FreeSpace();
}

void RowPage::Replace(std::size_t row, std::span<const std::byte> bytes) {
  if (!FitsReplacement(row, bytes.size()))
    throw WriterError("internal error: row replacement does not fit its page");
  Slot& slot = rows_.at(row);
  slot.bytes.assign(bytes.begin(), bytes.end());
  slot.deleted = false;
  slot.lookup = false;
}

std::uint16_t RowPage::Add(std::span<const std::byte> bytes) {
  if (!FitsNew(bytes.size())) throw WriterError("internal error: new row does not fit its page");
  rows_.push_back(Slot{std::vector<std::byte>(bytes.begin(), bytes.end()), false, false});
  return static_cast<std::uint16_t>(rows_.size() - 1);
}

void RowPage::Delete(std::size_t row) {
  Slot& slot = rows_.at(row);
  slot.bytes.clear();
  slot.deleted = true;
}

std::vector<std::byte> RowPage::Image() const {
  std::vector<std::byte> page(jet_.pageSize, std::byte{0});
  std::copy(header_.begin(), header_.end(), page.begin());
  Put16(page, jet_.dataRowCountOffset, static_cast<std::uint32_t>(rows_.size()));
  std::size_t end = jet_.pageSize;
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const Slot& slot = rows_[r];
    const std::size_t start = end - slot.bytes.size();
    std::copy(slot.bytes.begin(), slot.bytes.end(),
              page.begin() + static_cast<std::ptrdiff_t>(start));
    std::uint32_t entry = static_cast<std::uint32_t>(start);
    if (slot.deleted) entry |= kRowDeleted;
    if (slot.lookup) entry |= kRowLookup;
    Put16(page, jet_.dataRowCountOffset + 2 + 2 * r, entry);
    end = start;
  }
  Put16(page, 2, static_cast<std::uint32_t>(FreeSpace()));
  return page;
}

}  // namespace corvid::jet
