// A data page of an existing file opened for changes: its rows by row
// number, each live or deleted. Replacing, adding and deleting rows keeps
// every other row's number; the page is re-packed (rows laid out from the
// end of the page in row-number order) whenever a row changes size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet {

class RowPage {
 public:
  // Reads a data page image. Throws WriterError when it is not a data page
  // or its row offsets are inconsistent.
  RowPage(const JetConstants& jet, std::span<const std::byte> image);

  std::uint32_t Owner() const { return owner_; }
  std::size_t RowCount() const { return rows_.size(); }
  bool Exists(std::size_t row) const { return row < rows_.size(); }
  bool Deleted(std::size_t row) const { return rows_.at(row).deleted; }
  // A row that only points to where the row moved (Jet's lookup flag).
  bool Lookup(std::size_t row) const { return rows_.at(row).lookup; }
  std::span<const std::byte> Row(std::size_t row) const { return rows_.at(row).bytes; }

  std::size_t FreeSpace() const;
  // Whether row `row` may become `size` bytes long on this page.
  bool FitsReplacement(std::size_t row, std::size_t size) const;
  // Whether a new row of `size` bytes fits.
  bool FitsNew(std::size_t size) const;

  void Replace(std::size_t row, std::span<const std::byte> bytes);
  // Adds a row under the next row number and returns it; it must fit.
  std::uint16_t Add(std::span<const std::byte> bytes);
  // Flags the row deleted; its bytes are dropped from the page.
  void Delete(std::size_t row);

  // The page image with the rows re-packed.
  std::vector<std::byte> Image() const;

 private:
  struct Slot {
    std::vector<std::byte> bytes;
    bool deleted = false;
    bool lookup = false;
  };
  std::size_t UsedBytes() const;

  const JetConstants& jet_;
  std::vector<std::byte> header_;  // the page's bytes before the row count
  std::uint32_t owner_ = 0;
  std::vector<Slot> rows_;
};

}  // namespace corvid::jet
