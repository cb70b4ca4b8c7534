#pragma once
// A field's value read piece by piece, for values too large to hold twice
// (an attached file is decoded as it is read).

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid::dao {

class ValueStream {
 public:
  virtual ~ValueStream() = default;
  // The number of the value's bytes.
  virtual std::int64_t Size() = 0;
  // Reads up to out.size() bytes; 0 only at the end. Damage in the stored
  // value raises DataDamageError (3049).
  virtual std::size_t Read(std::span<std::byte> out) = 0;
};

}  // namespace corvid::dao
