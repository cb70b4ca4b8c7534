#pragma once
// The general byte stream: read, write, seek; size and position derived from
// seek; copy-from in chunks, failing on a short read.

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid {

enum class SeekOrigin : int { Beginning = 0, Current = 1, End = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Returns the number of bytes delivered; 0 at or past the end.
  virtual std::size_t Read(std::span<std::byte> destination) = 0;
  // Returns the number of bytes taken.
  virtual std::size_t Write(std::span<const std::byte> source) = 0;
  // Returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }
  std::int64_t Size();

  // Copies exactly `count` bytes from `source` at its current position;
  // throws when a read delivers fewer bytes than asked.
  void CopyFrom(TStream& source, std::int64_t count);
};

}  // namespace corvid
