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

  // The whole content, whatever the position, when the stream holds it in
  // memory (valid until the next write); empty when it does not, and then
  // the content is to be read. Lets a reader use the bytes where they are
  // instead of copying them.
  virtual std::span<const std::byte> HeldBytes() const { return {}; }

  std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }
  std::int64_t Size();

  // Copies exactly `count` bytes from `source` at its current position;
  // throws when a read delivers fewer bytes than asked.
  void CopyFrom(TStream& source, std::int64_t count);
};

}  // namespace corvid
