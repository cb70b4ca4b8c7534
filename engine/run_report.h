#pragma once
// What a run tells its caller: whether it completed, why not, and counts.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvid {

// A failure of a run after it connected; what() is the text shown in the log
// and on the status line.
class RunFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RunReport {
    bool completed = false;              // false: the run ended early
    std::string failure;                 // the message of the failure that ended it
    std::int64_t recordsVisited = 0;     // the count in the closing line; after an
                                         // early end, the records finished before it
    std::int64_t filesWritten = 0;       // output files (dump copies not included)
    std::int64_t dumpCopiesWritten = 0;  // the ".dmp" copies of whole blobs
    std::int64_t skippedUnknown = 0;     // unrecognised blobs left out ("Skip unknown")
    std::int64_t emptyBlobs = 0;         // empty or NULL blob values
    std::int64_t rejectedByFilter = 0;
    std::int64_t duplicatePaths = 0;  // writes to a path already written in this run
    std::int64_t bytesWritten = 0;    // bytes of the output files (dump copies included)
    // Attachment fields:
    std::int64_t attachmentsWritten = 0;  // attached files written (counted in filesWritten too)
    std::int64_t damagedAttachments = 0;  // attached files left out because their value is damaged
    // Damage. A completed run can still have met damage in the file: then
    // `damaged` is set and the status line says "N of M records read; the
    // database is damaged" with N = recordsRead and M = recordsRead +
    // recordsUnreadable. The counts:
    //   recordsRead: records visited whose values could be read (visited
    //     minus those skipped as unreadable);
    //   recordsUnreadable: records skipped because a value could not be read,
    //     plus moves onto a record that failed, plus the records the table's
    //     definition lists beyond all those seen (visited or failed moves);
    //   recordsListed: what the definition lists, -1 when unknown;
    //   damageLines: the lines logged about damage (errors and notes).
    bool damaged = false;
    std::int64_t recordsRead = 0;
    std::int64_t recordsUnreadable = 0;
    std::int64_t recordsListed = -1;
    std::int64_t damageLines = 0;
    // With unwrapping only:
    bool unwrapping = false;
    std::int64_t linkedObjects = 0;   // links to files outside: nothing written
    std::int64_t damagedObjects = 0;  // files written by signature from a damaged OLE structure
                                      // (counted in filesWritten too)
};

// What the raw extraction did.
struct RawReport {
    std::int64_t bytesScanned = 0;  // size of the input
    std::int64_t signaturesFound = 0;
    std::int64_t filesWritten = 0;
};

}  // namespace corvid
