#include "engine/exclusive_input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "SrcLib/atomic_output_file.h"
#include "SrcLib/file_lock.h"

namespace corvid {

ExclusiveInputFile::ExclusiveInputFile(std::string path) : path_(std::move(path)) {
    // Non-blocking, so that a FIFO given by mistake cannot hang the open.
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw FileError(FileErrorText("open", path_, errno));
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);

    struct stat status {};
    if (::fstat(fd_, &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        ::close(fd_);
        throw FileError(FileErrorText("open", path_, error));
    }
    if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)) {
        // A pipe or terminal has no size and no offsets to carve by.
        ::close(fd_);
        throw FileError("Cannot open file \"" + path_ + "\". It is not a regular file");
    }
    switch (LockWholeFile(fd_, /*exclusive=*/true)) {
        case FileLockResult::Locked:
            locked_ = true;
            break;
        case FileLockResult::InUse:
            ::close(fd_);
            throw FileError("Cannot open file \"" + path_ +
                            "\". The file is in use by another program");
        case FileLockResult::Unavailable:
            break;  // no locks on this file system: go on without
    }

    if (S_ISREG(status.st_mode)) {
        size_ = status.st_size;
    } else {
        const off_t end = ::lseek(fd_, 0, SEEK_END);  // a block device, say
        size_ = end > 0 ? end : 0;
    }
}

ExclusiveInputFile::~ExclusiveInputFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::size_t ExclusiveInputFile::ReadAt(std::int64_t offset, std::span<std::byte> buffer) const {
    std::size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t n = ::pread(fd_, buffer.data() + total, buffer.size() - total,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(total)));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(FileErrorText("read", path_, errno));
        }
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

}  // namespace corvid
