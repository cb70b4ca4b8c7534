#include "jet/long_value_store.h"

#include <algorithm>

#include "jet/byte_order.h"

namespace corvid::jet {

ColumnLongValuePages::ColumnLongValuePages(const JetConstants& jet, PageSink& file)
    : jet_(jet), file_(file), shared_(jet, kLongValueOwner), chainPage_(jet, kLongValueOwner) {}

std::uint32_t ColumnLongValuePages::StoreSingle(std::span<const std::byte> value) {
  if (!sharedNumber_ || !shared_.Fits(value.size())) {
    Flush();
    shared_.Reset();
    sharedNumber_ = file_.Allocate(1);
    pages_.push_back(*sharedNumber_);
  }
  const std::uint16_t row = shared_.AddRow(value);
  return (*sharedNumber_ << 8) | row;
}

std::uint32_t ColumnLongValuePages::StoreChain(std::span<const std::byte> value) {
  // Each chain row fills a page: the next-row pointer, then the data (as Access does).
  const std::size_t chunk = DataPage::Capacity(jet_) - 4;
  const auto count = static_cast<std::uint32_t>((value.size() + chunk - 1) / chunk);
  const std::uint32_t first = file_.Allocate(count);
  for (std::uint32_t k = 0; k < count; ++k) pages_.push_back(first + k);
  for (std::uint32_t k = 0; k < count; ++k) {
    const auto piece = value.subspan(k * chunk, std::min(chunk, value.size() - k * chunk));
    chainPage_.Reset();
    auto [row, space] = chainPage_.AddRowSpace(4 + piece.size());
    Put32(space, 0, k + 1 < count ? (first + k + 1) << 8 : 0);
    std::copy(piece.begin(), piece.end(), space.begin() + 4);
    file_.Write(first + k, chainPage_.Bytes());
  }
  return first << 8;
}

void ColumnLongValuePages::Flush() {
  if (sharedNumber_) file_.Write(*sharedNumber_, shared_.Bytes());
}

std::vector<std::uint32_t> ColumnLongValuePages::PagesWithFreeSpace() const {
  if (!sharedNumber_ || shared_.FreeSpace() < 64) return {};
  return {*sharedNumber_};
}

}  // namespace corvid::jet
