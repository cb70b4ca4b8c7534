// The bytes of a Memo or OLE value: inline in the row, in one LVAL row, or
// in a chain of LVAL rows (each starting with the pointer to the next).
// Chains are bounded by the value's length and checked for cycles; a
// length larger than the file is damage, never an allocation.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <unordered_set>
#include <vector>

#include "jet/reader/page_source.h"
#include "jet/jet_format.h"
#include "jet/reader/value.h"

namespace corvid::jet::reader {

// The value's bytes piece by piece, pulled: each piece stays valid until the
// next call. Holds one page at a time, so memory does not grow with the
// value. Throws DamageError (naming the LVAL page and row at fault) when the
// next piece cannot be read.
class LongValueCursor {
 public:
  // `pages` must outlive the cursor.
  LongValueCursor(PageSource& pages, const JetConstants& format, LongValue value);

  // The next piece; empty at the end.
  std::span<const std::byte> Next();

  std::uint32_t Length() const { return value_.length; }

 private:
  PageSource& pages_;
  const JetConstants& format_;
  LongValue value_;
  PagePtr holder_;
  bool started_ = false;
  std::size_t remaining_ = 0;
  std::uint32_t pointer_ = 0;
  std::unordered_set<std::uint32_t> seen_;
};

// Hands the value's bytes to `sink` piece by piece, in order. Throws
// DamageError (naming the LVAL page and row at fault) when the value cannot
// be read whole; the pieces handed over until then were good.
void ReadLongValue(PageSource& pages, const JetConstants& format, const LongValue& value,
                   const std::function<void(std::span<const std::byte>)>& sink);

// The whole value in memory.
Bytes ReadLongValueBytes(PageSource& pages, const JetConstants& format, const LongValue& value);

}  // namespace corvid::jet::reader
