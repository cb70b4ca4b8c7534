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
#include "engine/digest_pipeline.h"
#include "engine/field_index.h"
#include "SrcLib/file_names.h"
#include "engine/input_guard.h"
#include "engine/ole_unwrap.h"
#include "engine/output_naming.h"
#include "engine/recognition.h"
#include "engine/record_filter.h"
#include "engine/run_log_lines.h"
#include "engine/run_manifest.h"

namespace corvid {
namespace {

// Blobs this large or larger are refused rather than cut short.
constexpr std::int64_t kLargestBlob = (std::int64_t{1} << 31) - 1;
// A buffer much larger than the blobs that follow a huge one is given back.
constexpr std::size_t kKeptBufferSize = std::size_t{64} << 20;
// Attached files are copied to their output in pieces of this size.
constexpr std::size_t kAttachmentChunk = std::size_t{1} << 20;
// Moves onto the next record that fail in a row before the walk gives up on
// the rest of the table (an engine that fails the same way again is stuck
// at once).
constexpr int kMostFailedMovesInARow = 1000;

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
            const std::size_t got =
                blob.Read(std::span<std::byte>(bytes_.get() + filled, needed - filled));
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
    RecordLoop(RunHost& host, const RunInputs& inputs, RecordTable& table, RunReport& report,
               RunManifest* manifest)
        : host_(host), inputs_(inputs), table_(table), report_(report), manifest_(manifest) {
        // Unwrapping reads the structure where recognition would look at the
        // bytes; with recognition off (field 1 names the file, or "dmp" in the
        // filter box) the value is written as it is.
        unwrapping_ = inputs_.unwrap && !inputs_.nameFromField1 && inputs_.filterField != "dmp";
        report_.unwrapping = unwrapping_;
        if (manifest_ != nullptr) digests_ = std::make_unique<DigestPipeline>(*manifest_);
    }

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

        LogDamageNotes();
        while (!table_.Eof()) {
            try {
                ProcessRecord();
            } catch (const RecordDamageError& damage) {
                SkipDamagedRecord(damage);
            } catch (...) {
                NoteFailure();
                throw;
            }
            LogDamageNotes();
            const bool moved = MoveToNextRecord();
            ++report_.recordsVisited;
            if (progress) progress(report_.recordsVisited);
            if (!moved) break;
        }
        LogDamageNotes();
        CountDamage();
        if (digests_) digests_->Finish();
        open.Close();
        host_.AddLogLine(ClosingLine(inputs_.table, report_.recordsVisited));
    }

private:
    // A record that cannot be read: its line in the log, and the run goes
    // on with the next one. Nothing of it was written (the value is read
    // whole before a file is created, and a file appears only when complete).
    void SkipDamagedRecord(const RecordDamageError& damage) {
        ++damagedRecords_;
        LogDamage(damage.what());
        if (manifest_ != nullptr) {
            digests_->DropFile();  // a file left unfinished has no digest
            Note(ManifestOutcome::Unreadable);
        }
    }

    // Steps to the next record. A step that fails for damage counts as one
    // record that could not be read, and the next step is tried; false when
    // the walk has to stop before the end (the same failure again, or too
    // many in a row): the records not reached then count through the
    // number the table lists.
    bool MoveToNextRecord() {
        std::string previousFailure;
        for (int failures = 0;; ++failures) {
            try {
                table_.Next();
                LogDamageNotes();
                return true;
            } catch (const RecordDamageError& damage) {
                const std::string text = damage.what();
                LogDamageNotes();
                if (failures > 0 && text == previousFailure) return false;
                ++failedMoves_;
                LogDamage(text);
                if (failures + 1 >= kMostFailedMovesInARow) return false;
                previousFailure = text;
            }
            LogDamageNotes();
            if (table_.Eof()) return true;
        }
    }

    void LogDamageNotes() {
        for (const std::string& note : table_.TakeDamageNotes()) LogDamage(note);
    }

    // One line per damaged page or record; a note that repeats the line
    // just logged (the error that was thrown for it) is not logged twice.
    void LogDamage(const std::string& line) {
        if (line.empty() || line == lastDamageLine_) return;
        lastDamageLine_ = line;
        ++report_.damageLines;
        host_.AddLogLine(line);
    }

    // N records read of M: N are the records visited whose values could be
    // read; the K unreadable ones are those skipped for damage, the failed
    // moves, and what the table lists beyond every record seen.
    void CountDamage() {
        report_.recordsListed = table_.ListedCount();
        const std::int64_t seen = report_.recordsVisited + failedMoves_;
        const std::int64_t unseen = report_.recordsListed > seen ? report_.recordsListed - seen : 0;
        report_.recordsRead = report_.recordsVisited - damagedRecords_;
        report_.recordsUnreadable = damagedRecords_ + failedMoves_ + unseen;
        report_.damaged = report_.recordsUnreadable > 0 || report_.damageLines > 0;
    }

    std::string OptionalText(int position) {
        return position >= 0 ? table_.FieldText(position) : std::string();
    }

    [[noreturn]] void MissingField(const std::string& name) {
        throw RunFailure("Field \"" + name + "\" not found in table \"" + inputs_.table + "\"");
    }

    void ProcessRecord() {
        if (manifest_ != nullptr) {
            row_ = ManifestRow{};
            row_.table = inputs_.table;
            row_.blobField = inputs_.blobField;
        }
        if (nameField1_ < 0) MissingField(inputs_.nameField1);
        const std::string name1 = table_.FieldText(nameField1_);
        const std::string name2 = OptionalText(nameField2_);
        (void)OptionalText(extensionField_);  // read for every record; it names nothing
        const std::string filterText = OptionalText(filterField_);
        if (manifest_ != nullptr) {
            row_.name1 = name1;
            row_.name2 = name2;
            row_.filterText = filterText;
        }

        FilterOutcome outcome = TestRecordFilter(filter_, filterText, name1, name2);
        if (outcome.logLine) host_.AddLogLine(*outcome.logLine);
        if (!outcome.pass) {
            ++report_.rejectedByFilter;
            Note(ManifestOutcome::RejectedByFilter);
            return;
        }

        // The directory is made before the blob is looked at, even for an
        // empty one. A directory that cannot be made matters only when a
        // file is to be created in it: then its own reason is reported.
        // The directory made for the record before is not looked at again
        // (most records write into the same one); should it have gone
        // meanwhile, opening the output finds that and makes it again.
        const std::string directory = FittedDirectory(
            OutputDirectory(inputs_.outputDirectory, inputs_.filterAsDirectory, filterText));
        recordDirectory_ = directory;
        directoryLookedAt_ = directory != madeDirectory_;
        if (directoryLookedAt_) MakeRecordDirectory();
        std::string path = OutputName(directory, name1, name2, inputs_.nameFromField1);

        if (blobField_ < 0) MissingField(inputs_.blobField);
        if (table_.IsAttachmentField(blobField_)) {
            WriteAttachments(directory, path);
            return;
        }
        const std::unique_ptr<BlobReader> blob = table_.OpenBlobStream(blobField_);
        const std::int64_t size = blob->Size();
        if (size == 0) {
            ++report_.emptyBlobs;
            Note(ManifestOutcome::Empty);
            return;
        }
        if (size < 0) throw RunFailure("The blob for \"" + path + "\" reports an invalid size");
        if (size > kLargestBlob)
            throw RunFailure("The blob for \"" + path + "\" is too large: " + std::to_string(size) +
                             " bytes (the limit is 2 GiB)");
        const std::span<const std::byte> payload = buffer_.ReadAll(*blob, size);

        ManifestOutcome written = ManifestOutcome::Written;
        if (unwrapping_) {
            const UnwrappedObject object = UnwrapOleObject(payload);
            if (object.kind == UnwrappedObject::Kind::Linked) {
                ++report_.linkedObjects;
                host_.AddLogLine(path + ": linked to " + object.linkTarget + " (nothing written)");
                row_.linkTarget = object.linkTarget;
                row_.embeddedName = object.embeddedName;
                Note(ManifestOutcome::Linked);
                return;
            }
            if (object.kind == UnwrappedObject::Kind::Document &&
                WriteUnwrapped(object, path, payload))
                return;
            if (object.kind == UnwrappedObject::Kind::Document) {
                host_.AddLogLine(path + ": " + object.description +
                                 " not recognised; the whole value is searched");
            } else {
                host_.AddLogLine(path + ": " + object.reason + "; the whole value is searched");
                if (object.damaged) written = ManifestOutcome::Damaged;
            }
        }

        const RecognitionResult recognised = recogniser_.Recognise(payload, path, options_);
        if (recognised.skip) {
            ++report_.skippedUnknown;
            Note(ManifestOutcome::SkippedUnknown);
            return;
        }
        WriteFiles(path, recognised, payload, payload, written);
    }

    // Every file attached to the record, each under its own name. A file
    // whose stored value is damaged is reported and left out; the others
    // are written.
    void WriteAttachments(const std::string& directory, const std::string& recordPath) {
        const std::size_t count = table_.AttachmentCount(blobField_);
        if (count == 0) {
            ++report_.emptyBlobs;
            Note(ManifestOutcome::Empty);
            return;
        }
        for (std::size_t index = 0; index < count; ++index) {
            const std::string fileName = table_.AttachmentFileName(blobField_, index);
            const std::string path =
                AttachmentOutputName(directory, recordPath, fileName, inputs_.nameFromField1);
            row_.embeddedName = fileName;
            try {
                WriteAttachment(index, path);
            } catch (const AttachmentDamage& damage) {
                if (digests_) digests_->DropFile();  // the file left unwritten has no digest
                ++report_.damagedAttachments;
                LogDamage(path + ": " + damage.what() + " (not written)");
                Note(ManifestOutcome::Damaged);
            }
        }
    }

    // One attached file, its bytes as they are. Its name gives the
    // extension; only a name without one has the bytes recognised.
    void WriteAttachment(std::size_t index, std::string path) {
        const std::unique_ptr<BlobReader> file = table_.OpenAttachment(blobField_, index);
        std::span<const std::byte> held;
        bool whole = false;
        if (!PathHasExtension(path)) {
            const std::int64_t size = file->Size();
            if (size < 0)
                throw RunFailure("The attachment for \"" + path + "\" reports an invalid size");
            if (size > kLargestBlob)
                throw RunFailure("The attachment for \"" + path + "\" is too large to recognise: " +
                                 std::to_string(size) + " bytes (the limit is 2 GiB)");
            held = buffer_.ReadAll(*file, size);
            whole = true;
            if (recogniser_.Recognise(held, path, options_).skip) {
                ++report_.skippedUnknown;
                Note(ManifestOutcome::SkippedUnknown);
                return;
            }
        }
        AtomicOutputFile output = OpenOutput(path);
        if (whole) {
            Write(output, held);
        } else {
            if (chunk_.empty()) chunk_.resize(kAttachmentChunk);
            for (std::size_t n = file->Read(chunk_); n > 0; n = file->Read(chunk_))
                Write(output, std::span<const std::byte>(chunk_).first(std::min(n, chunk_.size())));
        }
        output.Commit();
        ++report_.filesWritten;
        ++report_.attachmentsWritten;
        report_.bytesWritten += output.BytesWritten();
        NoteFile(ManifestOutcome::Written, path, output.BytesWritten());
        if (!writtenPaths_.insert(path).second) ++report_.duplicatePaths;
        host_.AddLogLine(path);
    }

    // Writes a document the structure gave. Returns false when the bytes of
    // a class the unwrapping does not know are not recognised either (the
    // caller then searches the whole value).
    bool WriteUnwrapped(const UnwrappedObject& object, const std::string& base,
                        std::span<const std::byte> payload) {
        std::string path = base;
        std::string extension;
        if (!object.embeddedName.empty()) {
            const std::string nameExtension = ExtensionOf(object.embeddedName);
            if (nameExtension.size() > 1) extension = "." + CleanFileName(nameExtension.substr(1));
            if (inputs_.embeddedNames)
                path += "_" + CleanFileName(BaseNameWithoutExt(object.embeddedName));
        }
        if (extension.empty()) extension = object.extension;
        row_.embeddedName = object.embeddedName;

        const std::span<const std::byte> bytes = object.Bytes();
        RecognitionResult recognised;
        if (!extension.empty()) {
            path += extension;
        } else {
            std::string recognisedPath = path;
            recognised = recogniser_.Recognise(bytes, recognisedPath, options_);
            const bool unknown = recognisedPath.size() >= 4 &&
                                 recognisedPath.compare(recognisedPath.size() - 4, 4, ".dmp") == 0;
            if (unknown && object.unknownClass) return false;
            path = std::move(recognisedPath);
            if (recognised.skip) {
                ++report_.skippedUnknown;
                Note(ManifestOutcome::SkippedUnknown);
                return true;
            }
        }
        WriteFiles(path, recognised, bytes, payload, ManifestOutcome::Written);
        return true;
    }

    // Writes the output file (header block, then `document` from the start
    // position) and, when asked, the dump copy of the whole `payload`.
    void WriteFiles(const std::string& wantedPath, const RecognitionResult& recognised,
                    std::span<const std::byte> document, std::span<const std::byte> payload,
                    ManifestOutcome outcome) {
        const std::size_t start =
            std::clamp<std::size_t>(recognised.startPosition, 1, document.size() + 1) - 1;
        const std::string path = FittedPath(wantedPath);
        {
            AtomicOutputFile output = CreateOutput(path);
            if (recognised.bitmapFileHeader) Write(output, kBitmapFileHeader);
            Write(output, document.subspan(start));
            output.Commit();
            ++report_.filesWritten;
            if (outcome == ManifestOutcome::Damaged) ++report_.damagedObjects;
            report_.bytesWritten += output.BytesWritten();
            NoteFile(outcome, path, output.BytesWritten());
        }

        if (inputs_.dumpCopy) {
            AtomicOutputFile dump = OpenOutput(path + ".dmp");
            Write(dump, payload);
            dump.Commit();
            ++report_.dumpCopiesWritten;
            report_.bytesWritten += dump.BytesWritten();
            NoteFile(ManifestOutcome::DumpCopy, path + ".dmp", dump.BytesWritten());
        }

        if (!writtenPaths_.insert(path).second) ++report_.duplicatePaths;
        host_.AddLogLine(path);
    }

    // The subdirectory named after the filter field's value is shortened
    // like a file name when it is longer than the file system holds; the
    // log says so once per directory.
    std::string FittedDirectory(const std::string& directory) {
        const std::size_t typed = inputs_.outputDirectory.size();
        if (directory.size() <= typed + 1 + kLongestFileName) return directory;
        const std::string subdirectory = directory.substr(typed, directory.size() - typed - 1);
        std::string fitted = inputs_.outputDirectory + FitFileName(subdirectory) + "/";
        if (shortenedDirectories_.insert(directory).second)
            host_.AddLogLine(directory + ": the name is " + std::to_string(subdirectory.size()) +
                             " bytes long, more than the file system holds; written as " + fitted);
        return fitted;
    }

    // A name longer than the file system holds is shortened (keeping its
    // extension, and room for the dump copy's ".dmp"), and the log says so.
    std::string FittedPath(const std::string& path) {
        const std::size_t longest = kLongestFileName - (inputs_.dumpCopy ? 4 : 0);
        std::string fitted = FitFileName(path, longest);
        if (fitted != path) {
            const std::size_t slash = path.rfind('/');
            const std::size_t length = path.size() - (slash == std::string::npos ? 0 : slash + 1);
            host_.AddLogLine(path + ": the name is " + std::to_string(length) +
                             " bytes long, more than the file system holds; written as " + fitted);
        }
        return fitted;
    }

    // The output file; when its directory could not be made, that failure
    // (with the system's reason) is the one reported.
    AtomicOutputFile CreateOutput(const std::string& path) {
        try {
            return OpenOutput(path);
        } catch (const FileError&) {
            if (!directoryMade_) throw RunFailure(DirectoryFailureText(directoryFailure_));
            throw;
        }
    }

    // An output in the record's directory; never the database being read.
    // When the directory was not looked at for this record, a failure has
    // it made again and the file opened once more.
    AtomicOutputFile OpenOutput(const std::string& path) {
        try {
            return AtomicOutputFile(path, refuseDatabase_);
        } catch (const FileError&) {
            if (directoryLookedAt_) throw;
            MakeRecordDirectory();
            return AtomicOutputFile(path, refuseDatabase_);
        }
    }

    void MakeRecordDirectory() {
        directoryLookedAt_ = true;
        directoryMade_ = MakeDirectoryPath(recordDirectory_, directoryFailure_);
        madeDirectory_ = directoryMade_ ? recordDirectory_ : std::string();
    }

    // Writes bytes, and hashes them when a manifest wants the digest.
    void Write(AtomicOutputFile& file, std::span<const std::byte> bytes) {
        file.Write(bytes);
        if (digests_) digests_->Add(bytes);
    }

    // The manifest row of a record that wrote nothing.
    void Note(ManifestOutcome outcome) {
        if (manifest_ == nullptr) return;
        ManifestRow row = row_;
        row.outcome = outcome;
        manifest_->Add(std::move(row));
    }

    // The manifest row of a file just written; its digest, of every byte
    // written since the last row, is filled in when the hashing catches up.
    void NoteFile(ManifestOutcome outcome, const std::string& path, std::int64_t bytes) {
        if (manifest_ == nullptr) return;
        ManifestRow row = row_;
        row.outcome = outcome;
        row.outputPath = path;
        const std::size_t dot = path.rfind('.');
        row.kind = PathHasExtension(path) ? path.substr(dot) : std::string();
        row.bytes = bytes;
        digests_->EndFile(manifest_->Rows().size());
        manifest_->Add(std::move(row));
    }

public:
    // The record under way when the run failed gets a row of its own.
    void NoteFailure() {
        if (manifest_ == nullptr) return;
        digests_->DropFile();  // a file left unfinished has no digest
        Note(ManifestOutcome::Failed);
    }

private:
    RunHost& host_;
    const RunInputs& inputs_;
    RecordTable& table_;
    RunReport& report_;
    RunManifest* manifest_;
    bool unwrapping_ = false;
    ManifestRow row_;

    int blobField_ = -1;
    int nameField1_ = -1;
    int nameField2_ = -1;
    int extensionField_ = -1;
    int filterField_ = -1;
    PreparedFilter filter_{};
    RecognitionOptions options_{};
    Recogniser recogniser_;
    PayloadBuffer buffer_;
    std::vector<std::byte> chunk_;  // attachments are copied through it
    std::unordered_set<std::string> writtenPaths_;
    std::unordered_set<std::string> shortenedDirectories_;
    bool directoryMade_ = true;
    DirectoryFailure directoryFailure_;
    std::string recordDirectory_;      // where the current record's files go
    std::string madeDirectory_;        // the last directory made (or found)
    bool directoryLookedAt_ = true;    // for the current record
    std::int64_t damagedRecords_ = 0;  // visited, but a value could not be read
    std::int64_t failedMoves_ = 0;     // steps onto a record that failed
    std::string lastDamageLine_;
    InputGuard databaseGuard_ = InputGuard::ForPath(inputs_.database);
    // Checked in the one look at an output's name that creating it takes.
    const AtomicOutputFile::ExistingFileCheck refuseDatabase_ =
        [this](const std::string& path, const struct stat& existing) {
            databaseGuard_.Check(path, existing);
        };
    // Last, so that it is the first to go: it hands its digests to the
    // manifest before the run writes it, also when the loop is left by a failure.
    std::unique_ptr<DigestPipeline> digests_;
};

}  // namespace

RunReport RunExtraction(RunHost& host, DatabaseConnection& connection, RecordTable& table,
                        const std::function<void(std::int64_t)>& progress) {
    const RunInputs inputs = host.Inputs();
    ForgetCleanedDirectories();
    BusyCursorGuard cursor(host);
    host.AddLogLine(HeadingLine(host));

    std::unique_ptr<RunManifest> manifest;
    if (!inputs.manifestPath.empty()) manifest = std::make_unique<RunManifest>(inputs.manifestPath);

    try {
        connection.SetLoginPrompt(inputs.loginPrompt);
        connection.SetDatabaseType("Access");
        connection.SetDatabase(inputs.database);
        connection.SetConnected(true);  // the one failure that leaves the run
    } catch (...) {
        // Even a run that never connected leaves its (empty, incomplete) manifest.
        if (manifest) {
            try {
                InputGuard::ForPath(inputs.database).Check(manifest->Path());
                manifest->Write(FailureText(std::current_exception()));
            } catch (...) {
                // the connection's failure is the one to report
            }
        }
        throw;
    }

    RunReport report;
    std::exception_ptr failure;
    try {
        RecordLoop loop(host, inputs, table, report, manifest.get());
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
    if (manifest) {
        try {
            InputGuard::ForPath(inputs.database).Check(manifest->Path());
            manifest->Write(failure ? FailureText(failure) : std::string());
        } catch (...) {
            if (!failure) failure = std::current_exception();
            host.AddLogLine(FailureText(std::current_exception()));
        }
    }
    host.ProcessMessages();
    cursor.Restore();

    if (failure) {
        report.completed = false;
        report.damaged = false;
        report.failure = FailureText(failure);
        host.ShowStatus(report.failure, kRed);
    } else if (report.damaged) {
        report.completed = true;
        host.ShowStatus(std::to_string(report.recordsRead) + " of " +
                            std::to_string(report.recordsRead + report.recordsUnreadable) +
                            " records read; the database is damaged",
                        kRed);
    } else {
        report.completed = true;
        host.ShowStatus("ok", kButtonFace);
    }
    return report;
}

}  // namespace corvid
