// The database file under construction: a temporary file beside the final
// name, written page by page. Pages are numbered as they are allocated;
// consecutive new pages are gathered in a buffer and written in large
// blocks. Commit() flushes, syncs and renames the file into place; a
// PageFile destroyed without Commit() removes the temporary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/page_sink.h"

namespace corvid::jet {

class PageFile final : public PageSink {
 public:
  // maxPages: the most pages the file may hold (Access's size limit).
  PageFile(std::string finalPath, std::size_t pageSize, std::uint32_t maxPages = 0x00FFFFFFu);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Allocates `count` consecutive pages (zero-filled until written) and
  // returns the first page number.
  std::uint32_t Allocate(std::uint32_t count = 1) override;
  // Writes one whole page (any allocated page, in any order).
  void Write(std::uint32_t page, std::span<const std::byte> bytes) override;
  // Allocate + Write.
  std::uint32_t Append(std::span<const std::byte> bytes);

  std::uint32_t PageCount() const { return pageCount_; }
  std::size_t PageSize() const { return pageSize_; }
  const std::string& TemporaryPath() const { return tempPath_; }

  void Commit();

 private:
  void Flush();

  std::string finalPath_;
  std::string tempPath_;
  std::size_t pageSize_;
  std::uint32_t maxPages_;
  int fd_ = -1;
  std::uint32_t pageCount_ = 0;
  std::uint32_t bufferFirstPage_ = 0;  // pages [bufferFirstPage_, pageCount_) are in buffer_
  std::vector<std::byte> buffer_;
  bool committed_ = false;
};

}  // namespace corvid::jet
