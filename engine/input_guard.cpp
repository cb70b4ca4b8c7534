#include "engine/input_guard.h"

#include <sys/stat.h>

#include "SrcLib/atomic_output_file.h"

namespace corvid {

InputGuard InputGuard::ForPath(const std::string& path) {
    InputGuard guard;
    struct stat status {};
    if (!path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        guard.active_ = true;
        guard.device_ = status.st_dev;
        guard.inode_ = status.st_ino;
    }
    return guard;
}

InputGuard InputGuard::ForDescriptor(int fd) {
    InputGuard guard;
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        guard.active_ = true;
        guard.device_ = status.st_dev;
        guard.inode_ = status.st_ino;
    }
    return guard;
}

void InputGuard::Check(const std::string& outputPath) const {
    if (!active_) return;
    struct stat status {};
    if (::stat(outputPath.c_str(), &status) == 0) Check(outputPath, status);
}

void InputGuard::Check(const std::string& outputPath, const struct stat& existing) const {
    if (active_ && existing.st_dev == device_ && existing.st_ino == inode_)
        throw FileError("Cannot create file \"" + outputPath +
                        "\". It is the database file being read");
}

}  // namespace corvid
