#pragma once
// The database side of the extraction run: a connection, a table walked from
// first to last record, and a read-only blob stream per record. The database
// layer adapts its components to these; tests use in-memory doubles.
// Every failure is reported by throwing an exception (std::exception) whose
// what() is the message the user sees; damage in the file that spoils one
// record (a value, a blob, the step onto the record) is a RecordDamageError.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/record_damage_error.h"

namespace corvid {

// A read-only stream over one blob value, positioned at its first byte.
class BlobReader {
public:
    virtual ~BlobReader() = default;
    // Size of the whole blob in bytes (0 for an empty or NULL value).
    virtual std::int64_t Size() = 0;
    // Reads up to buffer.size() bytes from the current position and returns
    // how many were read; 0 only at the end of the blob.
    virtual std::size_t Read(std::span<std::byte> buffer) = 0;
    // The whole blob when the reader holds it in memory already (valid while
    // the reader lives and nothing is read from it), so that the run can use
    // it where it is; empty when the blob is to be read.
    virtual std::span<const std::byte> Held() { return {}; }
};

class DatabaseConnection {
public:
    virtual ~DatabaseConnection() = default;
    virtual void SetLoginPrompt(bool prompt) = 0;
    virtual void SetDatabaseType(const std::string& type) = 0;  // the run passes "Access"
    virtual void SetDatabase(const std::string& path) = 0;
    // true opens the database (throws when that fails); false closes it and
    // every table open on it.
    virtual void SetConnected(bool connected) = 0;
};

class RecordTable {
public:
    virtual ~RecordTable() = default;
    // Allowed while the table is closed.
    virtual void SetTableName(const std::string& name) = 0;
    // true opens the table (throws when it can't) and moves to the first
    // record, or to the end when there is none; false closes it.
    virtual void SetActive(bool active) = 0;
    // Clears `names`, then fills it with the field names in field order.
    virtual void FieldNames(std::vector<std::string>& names) = 0;
    // Text of the field at `position` in the current record ("" for NULL);
    // throws for a position out of range, -1 included.
    virtual std::string FieldText(int position) = 0;
    virtual bool Eof() = 0;
    virtual void Next() = 0;
    // A read-only stream on the blob field at `position` of the current record.
    virtual std::unique_ptr<BlobReader> OpenBlobStream(int position) = 0;

    // The number of records the table's definition lists, -1 when unknown.
    // Records that the file lists but that cannot be found or read make it
    // larger than the number of records visited.
    virtual std::int64_t ListedCount() { return -1; }
    // Damage met while reading since the last call, one line per damaged
    // page or record, in the order found; none for a sound file.
    virtual std::vector<std::string> TakeDamageNotes() { return {}; }
};

}  // namespace corvid
