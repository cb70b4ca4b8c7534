#include "jet/edit_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/mdb_writer.h"

namespace corvid::jet {
namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

}  // namespace

FileIdentity EditSession::IdentityOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  return FileIdentity{st.st_dev, st.st_ino};
}

EditSession::EditSession(const std::string& path, std::optional<FileIdentity> expected)
    : path_(path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    throw WriterError("cannot open \"" + path + "\" for writing: " + ErrnoText(error));
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    throw WriterError("\"" + path + "\" is not a regular file");
  }
  // A file marked read-only stays so, even for a user (root) the system
  // would let write it.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    ::close(fd_);
    throw WriterError("\"" + path + "\" is marked read-only");
  }
  if (expected && (st.st_dev != expected->device || st.st_ino != expected->inode)) {
    ::close(fd_);
    throw WriterError("\"" + path +
                      "\" was replaced by another file since the database was opened");
  }
}

std::vector<std::byte> EditSession::ReadPrefix(std::size_t length) {
  std::vector<std::byte> bytes(length);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, bytes.data() + done, length - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      throw WriterError("cannot read \"" + path_ + "\": " + ErrnoText(error));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void EditSession::SetPageSize(std::size_t pageSize) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    throw WriterError("cannot examine \"" + path_ + "\": " + ErrnoText(error));
  }
  if (st.st_size % static_cast<off_t>(pageSize) != 0)
    throw WriterError("\"" + path_ + "\" does not end on a page boundary; it may be damaged");
  pageSize_ = pageSize;
  originalPages_ = pageCount_ =
      static_cast<std::uint32_t>(st.st_size / static_cast<off_t>(pageSize));
}

EditSession::~EditSession() {
  if (fd_ >= 0) ::close(fd_);
}

const std::vector<std::byte>& EditSession::Read(std::uint32_t page) {
  if (auto c = changed_.find(page); c != changed_.end()) return c->second;
  if (auto r = read_.find(page); r != read_.end()) return r->second;
  if (page >= originalPages_)
    throw WriterError("page " + std::to_string(page) + " lies beyond the end of \"" + path_ + "\"");
  std::vector<std::byte> bytes(pageSize_);
  std::size_t done = 0;
  const off_t offset = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  while (done < bytes.size()) {
    const ssize_t n =
        ::pread(fd_, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      throw WriterError("cannot read page " + std::to_string(page) + " of \"" + path_ +
                        "\": " + ErrnoText(error));
    }
    done += static_cast<std::size_t>(n);
  }
  return read_.emplace(page, std::move(bytes)).first->second;
}

void EditSession::Write(std::uint32_t page, std::span<const std::byte> bytes) {
  if (page >= pageCount_ || bytes.size() != pageSize_)
    throw WriterError("internal error: page write out of range");
  changed_[page].assign(bytes.begin(), bytes.end());
}

std::uint32_t EditSession::Allocate(std::uint32_t count) {
  if (static_cast<std::uint64_t>(pageCount_) + count > maxPages_)
    throw WriterError(
        "the database would grow beyond the most pages a file of its format may hold");
  const std::uint32_t first = pageCount_;
  for (std::uint32_t k = 0; k < count; ++k) changed_[first + k].assign(pageSize_, std::byte{0});
  pageCount_ += count;
  return first;
}

void EditSession::WriteAt(std::uint32_t page, const std::vector<std::byte>& bytes) {
  if (hook_) hook_(page, page >= originalPages_);
  std::size_t done = 0;
  const off_t offset = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      throw WriterError("cannot write page " + std::to_string(page) + " of \"" + path_ +
                        "\": " + ErrnoText(error));
    }
    done += static_cast<std::size_t>(n);
  }
}

void EditSession::Commit() {
  if (committed_) throw WriterError("internal error: change committed twice");
  committed_ = true;
  const off_t originalSize = static_cast<off_t>(originalPages_) * static_cast<off_t>(pageSize_);
  // New pages first: until an existing page is overwritten the old file is
  // intact, and cutting it back to its old length undoes the growth.
  try {
    for (const auto& [page, bytes] : changed_)
      if (page >= originalPages_) WriteAt(page, bytes);
    if (pageCount_ > originalPages_ && ::fsync(fd_) != 0) {
      const int error = errno;
      throw WriterError("cannot flush \"" + path_ + "\": " + ErrnoText(error));
    }
  } catch (...) {
    if (::ftruncate(fd_, originalSize) == 0) ::fsync(fd_);
    throw;
  }
  bool overwritten = false;
  try {
    for (const auto& [page, bytes] : changed_) {
      if (page >= originalPages_) continue;
      WriteAt(page, bytes);
      overwritten = true;
    }
  } catch (...) {
    // Nothing of the old file changed yet: take the growth back as well.
    if (!overwritten && ::ftruncate(fd_, originalSize) == 0) ::fsync(fd_);
    throw;
  }
  if (::fsync(fd_) != 0) {
    const int error = errno;
    throw WriterError("cannot flush \"" + path_ + "\": " + ErrnoText(error));
  }
}

}  // namespace corvid::jet
