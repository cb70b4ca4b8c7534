#include "engine/extraction_run.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "SrcLib/atomic_output_file.h"
#include "SrcLib/directories.h"
#include "engine/field_index.h"
#include "engine/input_guard.h"
#include "engine/output_naming.h"
#include "engine/recognition.h"
#include "engine/record_filter.h"
#include "engine/run_log_lines.h"

namespace corvid {
namespace {

// Blobs this large or larger are refused rather than cut short.
constexpr std::int64_t kLargestBlob = (std::int64_t{1} << 31) - 1;
// A buffer much larger than the blobs that follow a huge one is given back.
constexpr std::size_t kKeptBufferSize = std::size_t{64} << 20;

std::string FailureText(std::exception_ptr failure) {
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& error) {
        std::string text = error.what();
        return text.empty() ? std::string("The run ended early") : text;
    } catch (...) {
        return "The run ended early: unknown error";
    }
}

// Closes the table however the record loop is left.
class OpenTable {
public:
    OpenTable(RecordTable& table, const std::string& name) : table_(table) {
        table_.SetTableName(name);
        table_.SetActive(true);
        open_ = true;
    }
    OpenTable(const OpenTable&) = delete;
    OpenTable& operator=(const OpenTable&) = delete;
    ~OpenTable() {
        if (!open_) return;
        try {
            table_.SetActive(false);
        } catch (...) {
            // the run is already failing; disconnecting closes the table too
        }
    }
    // Closes it now and lets a failure to do so end the run.
    void Close() {
        open_ = false;
        table_.SetActive(false);
    }

private:
    RecordTable& table_;
    bool open_ = false;
};

// The blob of the current record: where the reader holds it, or read into one
// buffer reused record after record.
class PayloadBuffer {
public:
    std::span<const std::byte> ReadAll(BlobReader& blob, std::int64_t size) {
        const auto needed = static_cast<std::size_t>(size);
        if (const std::span<const std::byte> held = blob.Held(); held.size() == needed) return held;
        if (needed > capacity_ || (capacity_ > kKeptBufferSize && needed < capacity_ / 4)) {
            bytes_.reset();
            bytes_ = std::make_unique_for_overwrite<std::byte[]>(needed);
            capacity_ = needed;
        }
        std::size_t filled = 0;
        while (filled < needed) {
            const std::size_t got = blob.Read(std::span<std::byte>(bytes_.get() + filled, needed - filled));
            if (got == 0)
                throw RunFailure("The blob ended after " + std::to_string(filled) + " of " +
                                 std::to_string(needed) + " bytes");
            filled += std::min(got, needed - filled);
        }
        return {bytes_.get(), needed};
    }

private:
    std::unique_ptr<std::byte[]> bytes_;
    std::size_t capacity_ = 0;
};

class RecordLoop {
public:
    RecordLoop(RunHost& host, const RunInputs& inputs, RecordTable& table, RunReport& report)
        : host_(host), inputs_(inputs), table_(table), report_(report) {}

    void Run(const std::function<void(std::int64_t)>& progress) {
        OpenTable open(table_, inputs_.table);
        std::vector<std::string> fieldNames;
        table_.FieldNames(fieldNames);

        blobField_ = FieldIndex(fieldNames, inputs_.blobField);
        nameField1_ = FieldIndex(fieldNames, inputs_.nameField1);
        nameField2_ = FieldIndex(fieldNames, inputs_.nameField2);
        extensionField_ = FieldIndex(fieldNames, inputs_.extensionField);
        filterField_ = FieldIndex(fieldNames, inputs_.filterField);

        filter_ = PrepareFilter(inputs_.filterValue);
        options_.nameFromField1 = inputs_.nameFromField1;
        options_.skipUnknown = inputs_.skipUnknown;
        options_.deepSearch = inputs_.deepSearch;
        options_.filterFieldBox = inputs_.filterField;

        while (!table_.Eof()) {
            ProcessRecord();
            table_.Next();
            ++report_.recordsVisited;
            if (progress) progress(report_.recordsVisited);
        }
        open.Close();
        host_.AddLogLine(ClosingLine(inputs_.table, report_.recordsVisited));
    }

private:
    std::string OptionalText(int position) {
        return position >= 0 ? table_.FieldText(position) : std::string();
    }

    [[noreturn]] void MissingField(const std::string& name) {
        throw RunFailure("Field \"" + name + "\" not found in table \"" + inputs_.table + "\"");
    }

    void ProcessRecord() {
        if (nameField1_ < 0) MissingField(inputs_.nameField1);
        const std::string name1 = table_.FieldText(nameField1_);
        const std::string name2 = OptionalText(nameField2_);
        (void)OptionalText(extensionField_);  // read for every record; it names nothing
        const std::string filterText = OptionalText(filterField_);

        FilterOutcome outcome = TestRecordFilter(filter_, filterText, name1, name2);
        if (outcome.logLine) host_.AddLogLine(*outcome.logLine);
        if (!outcome.pass) {
            ++report_.rejectedByFilter;
            return;
        }

        // The directory is made before the blob is looked at, even for an
        // empty one. A directory that cannot be made shows as a file that
        // cannot be created.
        const std::string directory =
            OutputDirectory(inputs_.outputDirectory, inputs_.filterAsDirectory, filterText);
        MakeDirectoryPath(directory);
        std::string path = OutputName(directory, name1, name2, inputs_.nameFromField1);

        if (blobField_ < 0) MissingField(inputs_.blobField);
        const std::unique_ptr<BlobReader> blob = table_.OpenBlobStream(blobField_);
        const std::int64_t size = blob->Size();
        if (size == 0) {
            ++report_.emptyBlobs;
            return;
        }
        if (size < 0) throw RunFailure("The blob for \"" + path + "\" reports an invalid size");
        if (size > kLargestBlob)
            throw RunFailure("The blob for \"" + path + "\" is too large: " + std::to_string(size) +
                             " bytes (the limit is 2 GiB)");
        const std::span<const std::byte> payload = buffer_.ReadAll(*blob, size);

        const RecognitionResult recognised = recogniser_.Recognise(payload, path, options_);
        if (recognised.skip) {
            ++report_.skippedUnknown;
            return;
        }

        const std::size_t start = std::clamp<std::size_t>(recognised.startPosition, 1, payload.size() + 1) - 1;
        databaseGuard_.Check(path);
        AtomicOutputFile output(path);
        if (recognised.bitmapFileHeader) output.Write(kBitmapFileHeader);
        output.Write(payload.subspan(start));
        output.Commit();
        ++report_.filesWritten;
        report_.bytesWritten += output.BytesWritten();

        if (inputs_.dumpCopy) {
            databaseGuard_.Check(path + ".dmp");
            AtomicOutputFile dump(path + ".dmp");
            dump.Write(payload);
            dump.Commit();
            ++report_.dumpCopiesWritten;
            report_.bytesWritten += dump.BytesWritten();
        }

        if (!writtenPaths_.insert(path).second) ++report_.duplicatePaths;
        host_.AddLogLine(path);
    }

    RunHost& host_;
    const RunInputs& inputs_;
    RecordTable& table_;
    RunReport& report_;

    int blobField_ = -1;
    int nameField1_ = -1;
    int nameField2_ = -1;
    int extensionField_ = -1;
    int filterField_ = -1;
    PreparedFilter filter_{};
    RecognitionOptions options_{};
    Recogniser recogniser_;
    PayloadBuffer buffer_;
    std::unordered_set<std::string> writtenPaths_;
    InputGuard databaseGuard_ = InputGuard::ForPath(inputs_.database);
};

}  // namespace

RunReport RunExtraction(RunHost& host, DatabaseConnection& connection, RecordTable& table,
                        const std::function<void(std::int64_t)>& progress) {
    const RunInputs inputs = host.Inputs();
    ForgetCleanedDirectories();
    BusyCursorGuard cursor(host);
    host.AddLogLine(HeadingLine(host));

    connection.SetLoginPrompt(inputs.loginPrompt);
    connection.SetDatabaseType("Access");
    connection.SetDatabase(inputs.database);
    connection.SetConnected(true);  // the one failure that leaves the run

    RunReport report;
    std::exception_ptr failure;
    try {
        RecordLoop loop(host, inputs, table, report);
        loop.Run(progress);
        host.ProcessMessages();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) host.AddLogLine(FailureText(failure));

    try {
        connection.SetConnected(false);
    } catch (...) {
        if (!failure) {
            failure = std::current_exception();
            host.AddLogLine(FailureText(failure));
        }
    }
    host.ProcessMessages();
    cursor.Restore();

    if (failure) {
        report.completed = false;
        report.failure = FailureText(failure);
        host.ShowStatus(report.failure, kRed);
    } else {
        report.completed = true;
        host.ShowStatus("ok", kButtonFace);
    }
    return report;
}

}  // namespace corvid
