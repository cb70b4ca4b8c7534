#pragma once
// The manifest of an extraction run: one row per file written and one per
// record that wrote nothing, written when the run ends. CSV (RFC 4180, UTF-8,
// a first row naming the columns) or, for a ".json" or ".jsonl" name, JSON
// Lines. A run that ended early gets a last line starting with "#".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

enum class ManifestOutcome {
    Written,
    DumpCopy,
    SkippedUnknown,
    Empty,
    RejectedByFilter,
    Linked,
    Damaged,
    Unreadable,
    Failed
};

// "written", "dump copy", "skipped as unknown", "empty", "rejected by the
// filter", "linked", "damaged" (written by signature from a damaged OLE
// structure; with no output path, an attached file left out because its
// value is damaged), "unreadable" (the record or its value could not be
// read: the database is damaged there), "failed".
std::string_view OutcomeText(ManifestOutcome outcome);

struct ManifestRow {
    std::string table;
    std::string blobField;
    std::string name1;
    std::string name2;
    std::string filterText;
    ManifestOutcome outcome = ManifestOutcome::Written;
    std::string outputPath;
    std::string kind;         // the extension written, e.g. ".jpg"
    std::int64_t bytes = -1;  // -1: nothing written
    std::string sha256;       // of the written bytes
    std::string embeddedName;
    std::string linkTarget;
    bool writtenMoreThanOnce = false;  // set when the manifest is written
};

class RunManifest {
public:
    explicit RunManifest(std::string path);

    const std::string& Path() const { return path_; }
    bool JsonLines() const { return json_; }
    void Add(ManifestRow row) { rows_.push_back(std::move(row)); }
    const std::vector<ManifestRow>& Rows() const { return rows_; }
    // The digest of the file of row `row`, known after the row was added.
    void SetDigest(std::size_t row, std::string sha256) {
        rows_.at(row).sha256 = std::move(sha256);
    }

    // Marks the rows of paths written more than once and writes the file
    // atomically; a non-empty `failure` ends it with "# incomplete: ...".
    // Throws FileError.
    void Write(const std::string& failure);

    // The text Write() puts in the file.
    std::string Text(const std::string& failure);

private:
    std::string path_;
    bool json_;
    std::vector<ManifestRow> rows_;
};

}  // namespace corvid
