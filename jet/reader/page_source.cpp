#include "jet/reader/page_source.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {

FileByteSource::FileByteSource(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw JetError("cannot open " + path + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    const std::string reason = S_ISDIR(info.st_mode) ? "it is a directory" : std::strerror(errno);
    ::close(fd_);
    throw JetError("cannot read " + path + ": " + reason);
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

void FileByteSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got =
        ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw JetError("cannot read " + path_ + ": " + std::strerror(errno));
    if (got == 0) throw DamageError("the file ends at byte " + std::to_string(offset + done));
    done += static_cast<std::size_t>(got);
  }
}

void ByteSource::ReadScatteredAt(std::uint64_t offset,
                                 std::span<const std::span<std::byte>> out) const {
  for (std::span<std::byte> part : out) {
    ReadAt(offset, part);
    offset += part.size();
  }
}

void FileByteSource::ReadScatteredAt(std::uint64_t offset,
                                     std::span<const std::span<std::byte>> out) const {
  constexpr std::size_t kMaxParts = 64;
  static_assert(kMaxParts <= IOV_MAX);
  // The buffers still to fill: out[first] from `skip` on, then the rest (a
  // short read may stop anywhere).
  std::size_t first = 0;
  std::size_t skip = 0;
  std::uint64_t at = offset;
  for (;;) {
    while (first < out.size() && out[first].size() == skip) {
      skip = 0;
      ++first;
    }
    if (first == out.size()) return;
    std::array<iovec, kMaxParts> parts;
    std::size_t used = 0;
    for (std::size_t i = first; i < out.size() && used < kMaxParts; ++i) {
      const std::size_t from = i == first ? skip : 0;
      parts[used++] = iovec{out[i].data() + from, out[i].size() - from};
    }
    const ssize_t got = ::preadv(fd_, parts.data(), static_cast<int>(used), static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw JetError("cannot read " + path_ + ": " + std::strerror(errno));
    if (got == 0) throw DamageError("the file ends at byte " + std::to_string(at));
    at += static_cast<std::uint64_t>(got);
    for (std::size_t left = static_cast<std::size_t>(got); left > 0;) {
      const std::size_t taken = std::min(left, out[first].size() - skip);
      left -= taken;
      skip += taken;
      if (skip == out[first].size()) {
        skip = 0;
        ++first;
      }
    }
  }
}

void MemoryByteSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > image_.size() || out.size() > image_.size() - offset)
    throw DamageError("the file ends at byte " + std::to_string(image_.size()));
  std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

PageSource::PageSource(std::unique_ptr<ByteSource> bytes, std::size_t pageSize,
                       std::size_t cachePages)
    : bytes_(std::move(bytes)),
      pageSize_(pageSize),
      pageCount_(static_cast<std::uint32_t>(
          std::min<std::uint64_t>(bytes_->Size() / pageSize, 0xFFFFFFu))),
      cacheLimit_(std::max<std::size_t>(cachePages, 1)),
      codec_(std::make_shared<IdentityCodec>()) {
  cache_.reserve(std::min<std::size_t>(cacheLimit_, 1 << 16));
}

void PageSource::SetCodec(std::shared_ptr<const PageCodec> codec) {
  codec_ = codec ? std::move(codec) : std::make_shared<IdentityCodec>();
  cache_.clear();
  recent_.clear();
  spareEntries_.clear();
  spareLinks_.clear();
}

PagePtr PageSource::Read(std::uint32_t number) {
  if (auto it = cache_.find(number); it != cache_.end()) {
    recent_.splice(recent_.begin(), recent_, it->second.position);
    return it->second.page;
  }
  if (number >= pageCount_)
    throw DamageError("page " + std::to_string(number) + " lies beyond the end of the file (" +
                          std::to_string(pageCount_) + " pages)",
                      DamageLocation{.page = number});
  // Reads that run on page by page read ahead, in one call, the pages after
  // this one that are not cached yet (never past the end of the file).
  const bool sequential = number == lastMiss_ + 1;
  lastMiss_ = number;
  std::uint32_t count = 1;
  if (sequential) {
    const std::uint32_t limit = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({kReadAheadPages, pageCount_ - number, cacheLimit_ / 2 + 1}));
    while (count < limit && !cache_.contains(number + count)) ++count;
  }
  if (count == 1) {
    std::shared_ptr<Page> page = FreeBuffer();
    bytes_->ReadAt(static_cast<std::uint64_t>(number) * pageSize_, *page);
    if (number != 0) codec_->Decode(number, *page);
    Keep(number, page);
    return page;
  }
  // The pages are read straight into the buffers they are cached in, and
  // decoded there.
  std::array<std::shared_ptr<Page>, kReadAheadPages> pages;
  std::array<std::span<std::byte>, kReadAheadPages> buffers;
  for (std::uint32_t i = 0; i < count; ++i) {
    pages[i] = FreeBuffer(i);
    buffers[i] = *pages[i];
  }
  bytes_->ReadScatteredAt(static_cast<std::uint64_t>(number) * pageSize_,
                          std::span(buffers).first(count));
  // Cached last to first, so that the page asked for is the most recent.
  for (std::uint32_t i = count; i-- > 0;) {
    if (number + i != 0) codec_->Decode(number + i, buffers[i]);
    Keep(number + i, pages[i]);
  }
  lastMiss_ = number + count - 1;
  return pages[0];
}

std::shared_ptr<Page> PageSource::FreeBuffer(std::size_t pending) {
  std::shared_ptr<Page> page;
  if (!cache_.empty() && cache_.size() + pending >= cacheLimit_) {
    const auto oldest = cache_.find(recent_.back());
    if (oldest->second.page.use_count() == 1)
      page = std::const_pointer_cast<Page>(std::move(oldest->second.page));
    spareLinks_.splice(spareLinks_.end(), recent_, std::prev(recent_.end()));
    spareEntries_.push_back(cache_.extract(oldest));
    spareEntries_.back().mapped().page.reset();  // a page a caller still holds is theirs alone
  }
  if (!page) page = std::make_shared<Page>(pageSize_);
  return page;
}

void PageSource::Keep(std::uint32_t number, std::shared_ptr<Page> page) {
  if (spareEntries_.empty()) {
    recent_.push_front(number);
    cache_.emplace(number, Cached{std::move(page), recent_.begin()});
    return;
  }
  recent_.splice(recent_.begin(), spareLinks_, spareLinks_.begin());
  recent_.front() = number;
  CacheMap::node_type entry = std::move(spareEntries_.back());
  spareEntries_.pop_back();
  entry.key() = number;
  entry.mapped() = Cached{std::move(page), recent_.begin()};
  cache_.insert(std::move(entry));
}

}  // namespace corvid::jet::reader
