// A data page under construction: rows are laid out from the end of the page
// towards its header, their start offsets listed after the header. Table rows
// and long-value rows ("LVAL" in place of the owner's tdef page) use the same
// layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet {

class DataPage {
 public:
  // owner: the tdef page of the table, or kLongValueOwner for a long-value page.
  DataPage(const JetConstants& jet, std::uint32_t owner);

  // Continues a page read from a file (to append rows to it). Throws
  // WriterError when the image is not a consistent data page.
  static DataPage FromBytes(const JetConstants& jet, std::span<const std::byte> image);

  // Whether a row of `size` bytes still fits (space and row-count limits).
  bool Fits(std::size_t size) const;
  // Adds a row and returns its row number on the page; the row must fit.
  std::uint16_t AddRow(std::span<const std::byte> row);
  // Reserves space for a row and returns (row number, writable bytes).
  std::pair<std::uint16_t, std::span<std::byte>> AddRowSpace(std::size_t size);

  std::size_t RowCount() const { return rowCount_; }
  bool Empty() const { return rowCount_ == 0; }
  std::size_t FreeSpace() const;
  // The page image (the free-space field is kept current).
  std::span<const std::byte> Bytes() const { return page_; }
  void Reset();

  // The largest row an empty page can take.
  static std::size_t Capacity(const JetConstants& jet);

 private:
  const JetConstants& jet_;
  std::uint32_t owner_;
  std::vector<std::byte> page_;
  std::size_t rowCount_ = 0;
  std::size_t rowsStart_;  // lowest offset used by row data
};

}  // namespace corvid::jet
