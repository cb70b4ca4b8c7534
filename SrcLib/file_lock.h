// Taking the lock that keeps other programs out of a file we read.
#pragma once

namespace corvid {

enum class FileLockResult {
  Locked,       // we hold it; closing the descriptor releases it
  InUse,        // another program holds a lock that conflicts with ours
  Unavailable,  // the file system has no locks (NFS without a lock daemon, say): go on without
};

// Takes an flock lock on the open file (exclusive or shared, never waiting).
// Programs that lock with fcntl byte ranges instead do not see flock locks
// and are not seen by them, so a write lock of that kind held by another
// program on any part of the file also counts as in use.
FileLockResult LockWholeFile(int fd, bool exclusive);

}  // namespace corvid
