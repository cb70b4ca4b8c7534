#pragma once
// A file opened read-only "without sharing": an exclusive, non-blocking
// flock on the open file. Closed (and unlocked) on destruction.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvid {

class ExclusiveInputFile {
public:
    // Throws FileError "Cannot open file \"<path>\". <reason>"; the reason is
    // "the file is in use by another program" when someone else holds a lock
    // on it. Where locks are unavailable the file is
    // opened without one. Only regular files and block devices open; a pipe
    // is refused rather than waited on.
    explicit ExclusiveInputFile(std::string path);
    ExclusiveInputFile(const ExclusiveInputFile&) = delete;
    ExclusiveInputFile& operator=(const ExclusiveInputFile&) = delete;
    ~ExclusiveInputFile();

    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_; }
    std::int64_t Size() const { return size_; }
    bool Locked() const { return locked_; }

    // Reads up to buffer.size() bytes at `offset`; returns fewer only at the
    // end of the file. Throws FileError "Cannot read file ..." on errors.
    std::size_t ReadAt(std::int64_t offset, std::span<std::byte> buffer) const;

private:
    std::string path_;
    int fd_ = -1;
    std::int64_t size_ = 0;
    bool locked_ = false;
};

}  // namespace corvid
