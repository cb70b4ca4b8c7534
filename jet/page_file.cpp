#include "jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "jet/mdb_writer.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kBufferBytes = 4u << 20;

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

PageFile::PageFile(std::string finalPath, std::size_t pageSize, std::uint32_t maxPages)
    : finalPath_(std::move(finalPath)),
      pageSize_(pageSize),
      maxPages_(std::min(maxPages, 0x00FFFFFFu)) {
  if (finalPath_.empty()) throw WriterError("no output file name given");
  const std::filesystem::path target(finalPath_);
  if (std::filesystem::is_directory(target))
    throw WriterError("cannot write the database \"" + finalPath_ + "\": it is a directory");
  std::string pattern =
      (target.has_parent_path() ? target.parent_path().string() + "/" : std::string()) + "." +
      target.filename().string() + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0)
    throw WriterError("cannot create a temporary file beside \"" + finalPath_ +
                      "\": " + ErrnoText());
  tempPath_ = name.data();
  ::fchmod(fd_, 0644);
  buffer_.reserve(kBufferBytes);
}

PageFile::~PageFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

std::uint32_t PageFile::Allocate(std::uint32_t count) {
  const std::uint32_t first = pageCount_;
  if (static_cast<std::uint64_t>(pageCount_) + count > maxPages_)
    throw WriterError("the database would grow beyond " +
                      std::to_string(maxPages_ * pageSize_ >> 20) +
                      " MiB, the most an Access file of this format may hold");
  if (buffer_.size() + count * pageSize_ > kBufferBytes) Flush();
  if (count * pageSize_ > kBufferBytes) {
    // Too large to buffer: extend the file directly; the pages are written later.
    pageCount_ += count;
    bufferFirstPage_ = pageCount_;
    if (::ftruncate(fd_, static_cast<off_t>(pageCount_) * static_cast<off_t>(pageSize_)) != 0)
      throw WriterError("cannot extend \"" + tempPath_ + "\": " + ErrnoText());
    return first;
  }
  buffer_.resize(buffer_.size() + count * pageSize_, std::byte{0});
  pageCount_ += count;
  return first;
}

void PageFile::Write(std::uint32_t page, std::span<const std::byte> bytes) {
  if (page >= pageCount_ || bytes.size() != pageSize_)
    throw WriterError("internal error: page write out of range");
  if (page >= bufferFirstPage_) {
    std::copy(bytes.begin(), bytes.end(), buffer_.begin() + (page - bufferFirstPage_) * pageSize_);
    return;
  }
  const off_t offset = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw WriterError("cannot write \"" + tempPath_ + "\": " + ErrnoText());
    }
    done += static_cast<std::size_t>(n);
  }
}

std::uint32_t PageFile::Append(std::span<const std::byte> bytes) {
  const std::uint32_t page = Allocate(1);
  Write(page, bytes);
  return page;
}

void PageFile::Flush() {
  const off_t offset = static_cast<off_t>(bufferFirstPage_) * static_cast<off_t>(pageSize_);
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                               offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw WriterError("cannot write \"" + tempPath_ + "\": " + ErrnoText());
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  bufferFirstPage_ = pageCount_;
}

void PageFile::Commit() {
  Flush();
  if (::fsync(fd_) != 0) throw WriterError("cannot flush \"" + tempPath_ + "\": " + ErrnoText());
  if (::close(fd_) != 0) {
    fd_ = -1;
    throw WriterError("cannot close \"" + tempPath_ + "\": " + ErrnoText());
  }
  fd_ = -1;
  if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
    throw WriterError("cannot rename the finished database to \"" + finalPath_ +
                      "\": " + ErrnoText());
  committed_ = true;
}

}  // namespace corvid::jet
