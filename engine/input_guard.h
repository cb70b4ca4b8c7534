#pragma once
// Keeps a run from writing over the file it reads: an output path that names
// the database file (or a hard link to it) is refused instead of replacing it.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace corvid {

class InputGuard {
public:
    // Guards the file at `path`; guards nothing when it cannot be looked at.
    static InputGuard ForPath(const std::string& path);
    // Guards the file open as `fd`.
    static InputGuard ForDescriptor(int fd);

    // Throws FileError "Cannot create file \"<outputPath>\". It is the
    // database file being read" when the output path names the guarded file.
    void Check(const std::string& outputPath) const;
    // The same for a file already looked at (what stands under `outputPath`).
    void Check(const std::string& outputPath, const struct stat& existing) const;

private:
    bool active_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace corvid
