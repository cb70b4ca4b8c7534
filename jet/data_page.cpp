#include "jet/data_page.h"

#include <algorithm>
#include <cassert>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"

namespace corvid::jet {

DataPage::DataPage(const JetConstants& jet, std::uint32_t owner)
    : jet_(jet), owner_(owner), page_(jet.pageSize), rowsStart_(jet.pageSize) {
  Reset();
}

void DataPage::Reset() {
  std::fill(page_.begin(), page_.end(), std::byte{0});
  rowCount_ = 0;
  rowsStart_ = jet_.pageSize;
  page_[0] = std::byte{kPageTypeData};
  page_[1] = std::byte{0x01};
  Put32(page_, jet_.dataOwnerOffset, owner_);
  Put16(page_, 2, FreeSpace());
}

DataPage DataPage::FromBytes(const JetConstants& jet, std::span<const std::byte> image) {
  if (image.size() != jet.pageSize || image[0] != std::byte{kPageTypeData})
    throw WriterError("not a data page");
  DataPage page(jet, Get32(image, jet.dataOwnerOffset));
  std::copy(image.begin(), image.end(), page.page_.begin());
  const std::size_t rows = Get16(image, jet.dataRowCountOffset);
  const std::size_t headerEnd = jet.dataRowCountOffset + 2 + 2 * rows;
  if (rows > jet.maxRowsPerPage || headerEnd > jet.pageSize)
    throw WriterError("data page with a bad row count");
  std::size_t lowest = jet.pageSize;
  for (std::size_t r = 0; r < rows; ++r) {
    const std::size_t offset =
        Get16(image, jet.dataRowCountOffset + 2 + 2 * r) & kRowOffsetMask;  // without flag bits
    if (offset < headerEnd || offset > lowest) throw WriterError("data page with bad row offsets");
    lowest = offset;
  }
  page.rowCount_ = rows;
  page.rowsStart_ = lowest;
  return page;
}

std::size_t DataPage::Capacity(const JetConstants& jet) {
  return jet.pageSize - jet.dataRowCountOffset - 2 - 2;
}

std::size_t DataPage::FreeSpace() const {
  const std::size_t headerEnd = jet_.dataRowCountOffset + 2 + 2 * rowCount_;
  return rowsStart_ - headerEnd;
}

bool DataPage::Fits(std::size_t size) const {
  return rowCount_ < jet_.maxRowsPerPage && size + 2 <= FreeSpace();
}

std::pair<std::uint16_t, std::span<std::byte>> DataPage::AddRowSpace(std::size_t size) {
  assert(Fits(size));
  rowsStart_ -= size;
  const auto row = static_cast<std::uint16_t>(rowCount_++);
  Put16(page_, jet_.dataRowCountOffset, static_cast<std::uint32_t>(rowCount_));
  Put16(page_, jet_.dataRowCountOffset + 2 + 2 * row, static_cast<std::uint32_t>(rowsStart_));
  Put16(page_, 2, FreeSpace());
  return {row, std::span<std::byte>(page_).subspan(rowsStart_, size)};
}

std::uint16_t DataPage::AddRow(std::span<const std::byte> row) {
  auto [number, space] = AddRowSpace(row.size());
  std::copy(row.begin(), row.end(), space.begin());
  return number;
}

}  // namespace corvid::jet
