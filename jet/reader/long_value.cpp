#include "jet/reader/long_value.h"

#include <algorithm>
#include <unordered_set>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {

void ReadLongValue(PageSource& pages, const ReadFormat& format, const LongValue& value,
                   const std::function<void(std::span<const std::byte>)>& sink) {
  if (value.storage == kLongValueInline) {
    if (!value.inlineBytes.empty()) sink(value.inlineBytes);
    return;
  }
  if (value.length == 0) return;
  if (value.length > pages.FileSize())
    throw DamageError("a long value of " + std::to_string(value.length) + " bytes is longer than the file");
  PagePtr holder;
  if (value.storage == kLongValueSingleRow) {
    const std::span<const std::byte> row = RowAtPointer(pages, format, value.pointer, holder);
    if (row.size() < value.length)
      throw DamageError("the long value's row holds " + std::to_string(row.size()) + " of its " +
                            std::to_string(value.length) + " bytes",
                        DamageLocation{.page = value.pointer >> 8, .row = static_cast<int>(value.pointer & 0xFF)});
    sink(row.first(value.length));
    return;
  }
  std::size_t remaining = value.length;
  std::uint32_t pointer = value.pointer;
  std::unordered_set<std::uint32_t> seen;
  while (remaining > 0) {
    const DamageLocation where{.page = pointer >> 8, .row = static_cast<int>(pointer & 0xFF)};
    if (pointer == 0)
      throw DamageError("the long value's chain ends " + std::to_string(remaining) + " bytes short of its " +
                        std::to_string(value.length));
    if (!seen.insert(pointer).second) throw DamageError("the long value's chain loops back", where);
    const std::span<const std::byte> row = RowAtPointer(pages, format, pointer, holder);
    if (row.size() < 4) throw DamageError("a long-value chain row of " + std::to_string(row.size()) + " bytes", where);
    const std::uint32_t next = Read32(row, 0);
    const std::span<const std::byte> piece = row.subspan(4, std::min(remaining, row.size() - 4));
    if (!piece.empty()) sink(piece);
    remaining -= piece.size();
    pointer = next;
  }
}

Bytes ReadLongValueBytes(PageSource& pages, const ReadFormat& format, const LongValue& value) {
  Bytes bytes;
  if (value.length <= pages.FileSize()) bytes.reserve(value.length);
  ReadLongValue(pages, format, value,
                [&bytes](std::span<const std::byte> piece) { bytes.insert(bytes.end(), piece.begin(), piece.end()); });
  return bytes;
}

}  // namespace corvid::jet::reader
