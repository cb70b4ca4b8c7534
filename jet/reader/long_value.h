// The bytes of a Memo or OLE value: inline in the row, in one LVAL row, or
// in a chain of LVAL rows (each starting with the pointer to the next).
// Chains are bounded by the value's length and checked for cycles; a
// length larger than the file is damage, never an allocation.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "jet/reader/page_source.h"
#include "jet/reader/read_format.h"
#include "jet/reader/value.h"

namespace corvid::jet::reader {

// Hands the value's bytes to `sink` piece by piece, in order. Throws
// DamageError (naming the LVAL page and row at fault) when the value cannot
// be read whole; the pieces handed over until then were good.
void ReadLongValue(PageSource& pages, const ReadFormat& format, const LongValue& value,
                   const std::function<void(std::span<const std::byte>)>& sink);

// The whole value in memory.
Bytes ReadLongValueBytes(PageSource& pages, const ReadFormat& format, const LongValue& value);

}  // namespace corvid::jet::reader
