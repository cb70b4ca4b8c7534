#include "jet/reader/long_value.h"

#include <algorithm>
#include <unordered_set>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {

LongValueCursor::LongValueCursor(PageSource& pages, const JetConstants& format, LongValue value)
    : pages_(pages), format_(format), value_(std::move(value)) {}

std::span<const std::byte> LongValueCursor::Next() {
  if (!started_) {
    started_ = true;
    if (value_.storage == kLongValueInline) return value_.inlineBytes;
    if (value_.length == 0) return {};
    if (value_.length > pages_.FileSize())
      throw DamageError("a long value of " + std::to_string(value_.length) +
                        " bytes is longer than the file");
    if (value_.storage == kLongValueSingleRow) {
      const std::span<const std::byte> row = RowAtPointer(pages_, format_, value_.pointer, holder_);
      if (row.size() < value_.length)
        throw DamageError("the long value's row holds " + std::to_string(row.size()) + " of its " +
                              std::to_string(value_.length) + " bytes",
                          DamageLocation{.page = value_.pointer >> 8,
                                         .row = static_cast<int>(value_.pointer & 0xFF)});
      return row.first(value_.length);
    }
    remaining_ = value_.length;
    pointer_ = value_.pointer;
  }
  // Chained rows: a zero-length piece row is passed over, not taken for the end.
  while (remaining_ > 0) {
    const DamageLocation where{.page = pointer_ >> 8, .row = static_cast<int>(pointer_ & 0xFF)};
    if (pointer_ == 0)
      throw DamageError("the long value's chain ends " + std::to_string(remaining_) +
                        " bytes short of its " + std::to_string(value_.length));
    if (!seen_.insert(pointer_).second)
      throw DamageError("the long value's chain loops back", where);
    const std::span<const std::byte> row = RowAtPointer(pages_, format_, pointer_, holder_);
    if (row.size() < 4)
      throw DamageError("a long-value chain row of " + std::to_string(row.size()) + " bytes",
                        where);
    const std::uint32_t next = Read32(row, 0);
    const std::span<const std::byte> piece = row.subspan(4, std::min(remaining_, row.size() - 4));
    remaining_ -= piece.size();
    pointer_ = next;
    if (!piece.empty()) return piece;
  }
  return {};
}

void ReadLongValue(PageSource& pages, const JetConstants& format, const LongValue& value,
                   const std::function<void(std::span<const std::byte>)>& sink) {
  LongValueCursor cursor(pages, format, value);
  for (std::span<const std::byte> piece = cursor.Next(); !piece.empty(); piece = cursor.Next())
    sink(piece);
}

Bytes ReadLongValueBytes(PageSource& pages, const JetConstants& format, const LongValue& value) {
  Bytes bytes;
  if (value.length <= pages.FileSize()) bytes.reserve(value.length);
  ReadLongValue(pages, format, value, [&bytes](std::span<const std::byte> piece) {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  });
  return bytes;
}

}  // namespace corvid::jet::reader
