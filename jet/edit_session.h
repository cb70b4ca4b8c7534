// One change to an existing database file: the file opened read-write for
// the duration of the change, the pages read from it, and every page the
// change makes or alters, kept in memory until Commit. Commit writes the new
// pages (the file grows) first, then overwrites the changed pages, then
// syncs. A failure before the first overwrite succeeded cuts the file back to
// its old length, so the file is left as it was; an abandoned session writes
// nothing.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/page_sink.h"

namespace corvid::jet {

// The file a change must find under the path (device and inode), when the
// caller holds it open already.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

// Called before each page is written (page number, whether it is new). It
// may throw to simulate a failing disk; tests use it.
using PageWriteHook = std::function<void(std::uint32_t page, bool added)>;

class EditSession final : public PageSink {
 public:
  // Opens `path` read-write. Throws WriterError when it cannot, or when the
  // path no longer names the file `expected`.
  EditSession(const std::string& path, std::optional<FileIdentity> expected);
  ~EditSession() override;
  EditSession(const EditSession&) = delete;
  EditSession& operator=(const EditSession&) = delete;

  static FileIdentity IdentityOf(int fd);

  // The file's first `length` bytes (for its header), read before the page
  // size is known.
  std::vector<std::byte> ReadPrefix(std::size_t length);
  // Sets the page size; throws when the file does not end on a page boundary.
  void SetPageSize(std::size_t pageSize);

  std::size_t PageSize() const { return pageSize_; }
  // Pages in the file before the change.
  std::uint32_t OriginalPageCount() const { return originalPages_; }
  std::uint32_t PageCount() const { return pageCount_; }

  // The current image of a page (read from the file the first time; the
  // changed image once the change altered it).
  const std::vector<std::byte>& Read(std::uint32_t page);
  // Puts a changed image of an existing page, or the content of a new one.
  void Write(std::uint32_t page, std::span<const std::byte> bytes) override;
  std::uint32_t Allocate(std::uint32_t count = 1) override;

  // The largest number of pages the file may have.
  void SetPageLimit(std::uint32_t maxPages) { maxPages_ = maxPages; }
  void SetWriteHook(PageWriteHook hook) { hook_ = std::move(hook); }

  void Commit();

 private:
  void WriteAt(std::uint32_t page, const std::vector<std::byte>& bytes);

  std::string path_;
  std::size_t pageSize_ = 0;
  int fd_ = -1;
  std::uint32_t originalPages_ = 0;
  std::uint32_t pageCount_ = 0;
  std::uint32_t maxPages_ = 0x00FFFFFFu;
  std::map<std::uint32_t, std::vector<std::byte>> read_;
  std::map<std::uint32_t, std::vector<std::byte>> changed_;
  PageWriteHook hook_;
  bool committed_ = false;
};

}  // namespace corvid::jet
