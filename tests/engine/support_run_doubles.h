#pragma once
// In-memory doubles of the engine's ports, and a scratch directory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/database_ports.h"
#include "engine/run_host.h"

namespace corvid::testing {

// Records everything a run shows. `events` keeps the order of cursor, log,
// status and message-processing calls.
class FakeHost : public RunHost {
public:
    RunInputs inputs;
    std::vector<std::string> log;
    std::vector<std::pair<std::string, Colour>> statuses;
    std::vector<std::string> events;
    bool busy = false;
    int processMessagesCalls = 0;

    RunInputs Inputs() const override { return inputs; }
    void AddLogLine(std::string_view line) override;
    void ShowStatus(std::string_view text, Colour colour) override;
    void SetBusyCursor(bool isBusy) override;
    void ProcessMessages() override;
    std::string ProductName() const override { return "Corvid"; }
    std::string FileVersion() const override { return "1.2.3.4"; }
};

class FakeConnection : public DatabaseConnection {
public:
    std::optional<std::string> connectFailure;     // thrown by SetConnected(true)
    std::optional<std::string> disconnectFailure;  // thrown by SetConnected(false)
    std::vector<std::string> calls;
    bool connected = false;

    void SetLoginPrompt(bool prompt) override;
    void SetDatabaseType(const std::string& type) override;
    void SetDatabase(const std::string& path) override;
    void SetConnected(bool connect) override;
};

// A blob value: its bytes, delivered `chunk` bytes per read (0: all at once).
// `claimedSize` makes Size() report something else than the bytes held.
struct FakeBlob {
    FakeBlob(std::string content = {}, std::size_t readChunk = 0,
             std::optional<std::int64_t> claimed = std::nullopt)
        : bytes(std::move(content)), chunk(readChunk), claimedSize(claimed) {}
    std::string bytes;
    std::size_t chunk = 0;
    std::optional<std::int64_t> claimedSize;
    // The reader holds the bytes and lends them (Held); reading it fails.
    bool held = false;
    // Reading fails for damage once this many bytes were delivered.
    std::optional<std::size_t> damagedAfter;
    std::string damage = "damaged long value";
};

// One attached file: its name and bytes. With `damageAfter` set, the stream
// throws AttachmentDamage once that many bytes were read (0: on opening).
struct FakeAttachment {
    std::string fileName;
    FakeBlob file;
    std::optional<std::size_t> damageAfter = std::nullopt;
};
// The value of an attachment field: its files in stored order.
struct FakeAttachments {
    std::vector<FakeAttachment> files;
};

// A cell: text for ordinary fields, a blob for the blob field, the files of
// an attachment field; monostate is NULL.
using FakeCell = std::variant<std::monostate, std::string, FakeBlob, FakeAttachments>;

class FakeTable : public RecordTable {
public:
    std::set<std::string> knownTables{"table"};
    std::vector<std::string> fields;
    std::vector<std::vector<FakeCell>> rows;

    std::vector<std::string> calls;
    bool active = false;
    std::size_t current = 0;
    int openBlobStreams = 0;

    // Damage. A cell (row, field position) whose text or blob stream fails
    // with the message; rows that Next cannot step onto (it fails with the
    // message, standing on them; the next Next goes on past them); a row from which
    // Next always fails the same way; notes the database hands out when the
    // cursor reaches a row (row rows.size(): when it reaches the end); and
    // the number of records the table lists.
    std::map<std::pair<std::size_t, int>, std::string> damagedCells;
    std::map<std::size_t, std::string> unreachableRows;
    std::optional<std::size_t> stuckAfter;
    std::map<std::size_t, std::vector<std::string>> notesAt;
    std::vector<std::string> notesAtOpen;
    std::int64_t listed = -1;
    int nextCalls = 0;
    // Called when the cursor reaches a row (what happens to the files meanwhile).
    std::function<void(std::size_t row)> onArrive;

    void SetTableName(const std::string& name) override;
    void SetActive(bool activate) override;
    void FieldNames(std::vector<std::string>& names) override;
    std::string FieldText(int position) override;
    bool Eof() override;
    void Next() override;
    std::unique_ptr<BlobReader> OpenBlobStream(int position) override;
    // A field is an attachment field when the first row holds FakeAttachments there.
    bool IsAttachmentField(int position) override;
    std::size_t AttachmentCount(int position) override;
    std::string AttachmentFileName(int position, std::size_t index) override;
    std::unique_ptr<BlobReader> OpenAttachment(int position, std::size_t index) override;
    int openAttachments = 0;
    std::int64_t ListedCount() override { return listed; }
    std::vector<std::string> TakeDamageNotes() override;

private:
    const FakeAttachment& Attached(int position, std::size_t index) const;
    std::string name_;
    std::vector<std::string> pendingNotes_;
    void Arrive(std::size_t row);
    const FakeCell& Cell(int position) const;
};

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The directory with a trailing "/", as the window passes it.
    std::string Prefix() const { return path_.string() + "/"; }
    // Every regular file below the directory, relative path -> contents.
    std::map<std::string, std::string> Files() const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace corvid::testing
