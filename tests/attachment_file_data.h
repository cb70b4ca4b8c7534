#pragma once
// The file of an attachment's stored FileData value, decoded with zlib in one
// piece and without the reader: the independent answer tests check the
// reader's streaming decoder and the run's attachment bytes against.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace corvid::testing_attachments {

using FileBytes = std::vector<std::byte>;

inline std::uint32_t Get32(const FileBytes& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("a FileData value shorter than its header");
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

// The file of a stored FileData value: flag, content length, then the
// content (a zlib stream when the flag is 1), whose header gives its own
// length before the file's bytes.
inline FileBytes DecodeFileData(const FileBytes& stored) {
  const std::uint32_t flag = Get32(stored, 0), length = Get32(stored, 4);
  FileBytes content(length);
  if (flag == 1) {
    uLongf size = length;
    if (uncompress(reinterpret_cast<Bytef*>(content.data()), &size,
                   reinterpret_cast<const Bytef*>(stored.data() + 8),
                   static_cast<uLong>(stored.size() - 8)) != Z_OK ||
        size != length)
      throw std::runtime_error("uncompress failed");
  } else {
    if (stored.size() < 8 + static_cast<std::size_t>(length))
      throw std::runtime_error("a stored value shorter than its length");
    std::memcpy(content.data(), stored.data() + 8, length);
  }
  return FileBytes(content.begin() + Get32(content, 0), content.end());
}

}  // namespace corvid::testing_attachments
