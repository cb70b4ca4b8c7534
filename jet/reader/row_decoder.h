// The values of one stored row: the column count, the null mask at the
// end, the fixed area, and the variable columns found through the offset
// table (Jet 3: one byte per offset plus a jump table for every 256 bytes;
// Jet 4 and ACE: two bytes per offset).
#pragma once

#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/reader/table_definition.h"
#include "jet/reader/text_decoding.h"
#include "jet/reader/value.h"

namespace corvid::jet::reader {

// One value per column of `def`, in its order. Throws DamageError naming
// the field when the row's structure or a value does not fit the row.
std::vector<Value> DecodeRow(std::span<const std::byte> row, const TableDefinition& def,
                             const JetConstants& format, const TextDecoder& text);

}  // namespace corvid::jet::reader
