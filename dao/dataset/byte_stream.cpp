#include "dao/dataset/byte_stream.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace corvid {

std::int64_t TStream::Size() {
  const std::int64_t position = Seek(0, SeekOrigin::Current);
  const std::int64_t size = Seek(0, SeekOrigin::End);
  Seek(position, SeekOrigin::Beginning);
  return size;
}

void TStream::CopyFrom(TStream& source, std::int64_t count) {
  constexpr std::int64_t kChunk = 1 << 16;
  std::vector<std::byte> chunk(static_cast<std::size_t>(std::min(count, kChunk)));
  while (count > 0) {
    const auto want = static_cast<std::size_t>(std::min(count, kChunk));
    const std::size_t got = source.Read(std::span(chunk).first(want));
    if (got != want) throw std::runtime_error("Stream read error");
    if (Write(std::span<const std::byte>(chunk).first(want)) != want)
      throw std::runtime_error("Stream write error");
    count -= static_cast<std::int64_t>(want);
  }
}

}  // namespace corvid
