// Reading back a stored row far enough to find its long values: the null
// mask and the variable-length offset table (Jet 4's two-byte offsets, Jet
// 3's one-byte offsets with their 256-byte jump table).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/mdbwriter/jet_format.h"
#include "tools/mdbwriter/table_layout.h"

namespace corvid::mdbwriter {

struct StoredLongValue {
  std::uint16_t column = 0;
  std::vector<std::byte> header;  // the 12 bytes in the row: length and flags, pointer, unused
};

// The long-value headers of the row's non-NULL Memo and OLE Object fields.
// Throws WriterError when the row does not hold together.
std::vector<StoredLongValue> LongValuesOfRow(const JetConstants& jet, const TableLayout& layout,
                                             std::span<const std::byte> row);

}  // namespace corvid::mdbwriter
