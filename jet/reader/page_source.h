// The pages of one database file: read with pread (or from an image in
// memory), decoded by the page codec, kept in a small cache of bounded size.
// The file is only ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/reader/page_codec.h"

namespace corvid::jet::reader {

// Where the bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills `out` from `offset`; throws JetError when that cannot be done.
  virtual void ReadAt(std::uint64_t offset, std::span<std::byte> out) const = 0;
  // Fills the buffers one after the other with the bytes from `offset` on,
  // as ReadAt would fill them laid end to end.
  virtual void ReadScatteredAt(std::uint64_t offset,
                               std::span<const std::span<std::byte>> out) const;
};

// A file opened read-only.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(
      const std::string& path);  // throws JetError naming the path and the reason
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;
  // In one system call where it can (preadv).
  void ReadScatteredAt(std::uint64_t offset,
                       std::span<const std::span<std::byte>> out) const override;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// A file image in memory; the bytes must outlive the source.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const std::byte> image) : image_(image) {}
  std::uint64_t Size() const override { return image_.size(); }
  void ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;

 private:
  std::span<const std::byte> image_;
};

using Page = std::vector<std::byte>;
using PagePtr = std::shared_ptr<const Page>;

class PageSource {
 public:
  static constexpr std::size_t kDefaultCachePages = 256;

  PageSource(std::unique_ptr<ByteSource> bytes, std::size_t pageSize,
             std::size_t cachePages = kDefaultCachePages);

  // Decoding applies to every page after 0, from the next read on.
  void SetCodec(std::shared_ptr<const PageCodec> codec);

  std::size_t PageSize() const { return pageSize_; }
  // Whole pages in the file (a cut-off last page does not count).
  std::uint32_t PageCount() const { return pageCount_; }
  std::uint64_t FileSize() const { return bytes_->Size(); }

  // Page `number`; throws DamageError (with the page) when it lies beyond
  // the end of the file.
  PagePtr Read(std::uint32_t number);

  // Pages read in one system call once reads run on page by page (long
  // values mostly lie on consecutive pages).
  static constexpr std::uint32_t kReadAheadPages = 64;

 private:
  // A buffer for a page about to enter the cache, with `pending` pages
  // already on their way in: the one of the page that leaves to make room,
  // when nobody holds that, else a new one.
  std::shared_ptr<Page> FreeBuffer(std::size_t pending = 0);
  void Keep(std::uint32_t number, std::shared_ptr<Page> page);

  std::unique_ptr<ByteSource> bytes_;
  std::size_t pageSize_;
  std::uint32_t pageCount_;
  std::size_t cacheLimit_;
  std::shared_ptr<const PageCodec> codec_;
  std::list<std::uint32_t> recent_;  // most recent first
  struct Cached {
    PagePtr page;
    std::list<std::uint32_t>::iterator position;
  };
  using CacheMap = std::unordered_map<std::uint32_t, Cached>;
  CacheMap cache_;
  // The entries and list links of evicted pages, taken again by the next
  // pages kept: a full cache turns over without allocating.
  std::vector<CacheMap::node_type> spareEntries_;
  std::list<std::uint32_t> spareLinks_;
  std::uint32_t lastMiss_ = 0xFFFFFFFFu;
};

}  // namespace corvid::jet::reader
