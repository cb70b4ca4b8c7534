// The file held in an attachment's FileData value. The stored value is a
// 32-bit flag (0: the content follows as is, 1: the content follows as a
// zlib stream), the 32-bit length of the content, then the content. The
// content starts with a header: its own length (counting these four bytes),
// a 32-bit value of no known use, the length of the file's extension in
// UTF-16 code units counting a terminating zero, the extension; the file's
// bytes follow the header up to the content's length.
//
// The reader decodes as it is read: it pulls the stored bytes piece by
// piece and inflates into a bounded buffer, so memory does not grow with the
// attachment. Every length is checked; a value that does not decode (a flag
// other than 0 or 1, lengths that do not fit, an inflate error, a content
// length other than the one stored) throws DamageError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {

class AttachmentDataReader {
 public:
  // Hands out the stored value's bytes in order; an empty span at the end.
  // Each piece need only stay valid until the next call.
  using Source = std::function<std::span<const std::byte>()>;

  // Reads up to the end of the header (DamageError when it does not check
  // out). `where` and `label` (what the attachment is, e.g. the attachment
  // "scan.pdf" of record 7) go into every DamageError it throws.
  AttachmentDataReader(Source source, DamageLocation where, std::string label);
  ~AttachmentDataReader();
  AttachmentDataReader(AttachmentDataReader&&) noexcept;
  AttachmentDataReader& operator=(AttachmentDataReader&&) noexcept;

  bool Compressed() const;
  // The extension the header names, e.g. "txt" (UTF-8, without the dot).
  const std::string& Extension() const;
  // The number of the file's bytes.
  std::uint64_t Size() const;

  // Reads up to out.size() of the file's bytes; 0 only at the end, after
  // the whole content has checked out against its stored length.
  std::size_t Read(std::span<std::byte> out);

  // Reads the rest of the file into `sink`, piece by piece.
  void ReadAll(const std::function<void(std::span<const std::byte>)>& sink);

  // The largest extension the reader accepts, in code units.
  static constexpr std::uint32_t kMaxExtensionUnits = 256;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole file of a FileData value held in memory (tests, small values).
std::vector<std::byte> DecodeAttachmentData(std::span<const std::byte> stored,
                                            const DamageLocation& where = {},
                                            const std::string& label = "the attachment");

}  // namespace corvid::jet::reader
