// Where pages go: the new file the writer builds, or the pages an edit of an
// existing file adds. Pages are allocated (numbered) first and written whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid::jet {

class PageSink {
 public:
  virtual ~PageSink() = default;
  // Allocates `count` consecutive pages and returns the first page number.
  virtual std::uint32_t Allocate(std::uint32_t count = 1) = 0;
  // Writes one whole page that was allocated before.
  virtual void Write(std::uint32_t page, std::span<const std::byte> bytes) = 0;
};

}  // namespace corvid::jet
