#include "SrcLib/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace corvid {
namespace {

// True when another process holds an fcntl write lock on some byte of the
// file. A read-lock probe conflicts only with write locks; locks of our own
// process are never reported.
bool ForeignWriteLock(int fd) {
  struct flock probe {};
  probe.l_type = F_RDLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;                                      // to the end of the file and beyond
  if (::fcntl(fd, F_GETLK, &probe) != 0) return false;  // no record locks here
  return probe.l_type == F_WRLCK;
}

}  // namespace

FileLockResult LockWholeFile(int fd, bool exclusive) {
  FileLockResult result = FileLockResult::Unavailable;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
    result = FileLockResult::Locked;
  } else if (errno == EWOULDBLOCK) {
    return FileLockResult::InUse;
  }
  if (ForeignWriteLock(fd)) {
    if (result == FileLockResult::Locked) ::flock(fd, LOCK_UN);
    return FileLockResult::InUse;
  }
  return result;
}

}  // namespace corvid
