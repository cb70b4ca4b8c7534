// Reading back a stored row far enough to find its long values: the null
// mask and the variable-length offset table (Jet 4's two-byte offsets, Jet
// 3's one-byte offsets with their 256-byte jump table).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/table_layout.h"

namespace corvid::jet {

struct StoredLongValue {
  std::uint16_t column = 0;
  // The field's bytes in the row: the 12-byte header (length and flags,
  // pointer, unused) and, for an inline value, its data. Shorter than 12
  // bytes only for an empty value Access stored without a header.
  std::vector<std::byte> field;
};

// The row's non-NULL Memo and OLE Object fields.
// Throws WriterError when the row does not hold together.
std::vector<StoredLongValue> LongValuesOfRow(const JetConstants& jet, const TableLayout& layout,
                                             std::span<const std::byte> row);

}  // namespace corvid::jet
