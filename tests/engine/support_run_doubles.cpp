#include "support_run_doubles.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace corvid::testing {

void FakeHost::AddLogLine(std::string_view line) {
    log.emplace_back(line);
    events.push_back("log:" + std::string(line));
}

void FakeHost::ShowStatus(std::string_view text, Colour colour) {
    statuses.emplace_back(std::string(text), colour);
    events.push_back("status:" + std::string(text));
}

void FakeHost::SetBusyCursor(bool isBusy) {
    busy = isBusy;
    events.push_back(isBusy ? "cursor:busy" : "cursor:normal");
}

void FakeHost::ProcessMessages() {
    ++processMessagesCalls;
    events.push_back("messages");
}

void FakeConnection::SetLoginPrompt(bool prompt) {
    calls.push_back(std::string("LoginPrompt=") + (prompt ? "true" : "false"));
}

void FakeConnection::SetDatabaseType(const std::string& type) {
    calls.push_back("DatabaseType=" + type);
}

void FakeConnection::SetDatabase(const std::string& path) { calls.push_back("Database=" + path); }

void FakeConnection::SetConnected(bool connect) {
    calls.push_back(std::string("Connected=") + (connect ? "true" : "false"));
    if (connect && connectFailure) throw std::runtime_error(*connectFailure);
    if (!connect && disconnectFailure) throw std::runtime_error(*disconnectFailure);
    connected = connect;
}

namespace {

class FakeBlobReader : public BlobReader {
public:
    explicit FakeBlobReader(FakeBlob blob, std::optional<std::size_t> damageAfter = std::nullopt)
        : blob_(std::move(blob)), damageAfter_(damageAfter) {
        if (damageAfter_ == 0u) throw AttachmentDamage("damaged on opening");
    }
    std::int64_t Size() override {
        return blob_.claimedSize ? *blob_.claimedSize
                                 : static_cast<std::int64_t>(blob_.bytes.size());
    }
    std::size_t Read(std::span<std::byte> buffer) override {
        if (blob_.held) throw std::logic_error("a held blob was read");
        if (blob_.damagedAfter && position_ >= *blob_.damagedAfter)
            throw RecordDamageError(blob_.damage);
        std::size_t n = std::min(buffer.size(), blob_.bytes.size() - position_);
        if (blob_.damagedAfter) n = std::min(n, *blob_.damagedAfter - position_);
        if (blob_.chunk != 0) n = std::min(n, blob_.chunk);
        if (damageAfter_) {
            if (position_ >= *damageAfter_)
                throw AttachmentDamage("damaged after " + std::to_string(position_) + " bytes");
            n = std::min(n, *damageAfter_ - position_);
        }
        std::memcpy(buffer.data(), blob_.bytes.data() + position_, n);
        position_ += n;
        return n;
    }
    std::span<const std::byte> Held() override {
        if (!blob_.held) return {};
        return std::as_bytes(std::span(blob_.bytes));
    }

private:
    FakeBlob blob_;
    std::optional<std::size_t> damageAfter_;
    std::size_t position_ = 0;
};

}  // namespace

void FakeTable::SetTableName(const std::string& name) {
    if (active) throw std::runtime_error("Cannot set TableName while the table is open");
    name_ = name;
    calls.push_back("TableName=" + name);
}

void FakeTable::SetActive(bool activate) {
    calls.push_back(std::string("Active=") + (activate ? "true" : "false"));
    if (activate && !active) {
        if (!knownTables.contains(name_))
            throw std::runtime_error("Table '" + name_ + "' does not exist");
        current = 0;
        pendingNotes_ = notesAtOpen;
        Arrive(0);
    }
    active = activate;
}

void FakeTable::FieldNames(std::vector<std::string>& names) {
    if (!active) throw std::runtime_error("table not open");
    names = fields;
}

const FakeCell& FakeTable::Cell(int position) const {
    if (!active) throw std::runtime_error("table not open");
    if (current >= rows.size()) throw std::runtime_error("no current record");
    if (position < 0 || static_cast<std::size_t>(position) >= fields.size())
        throw std::out_of_range("Field index out of range (" + std::to_string(position) + ")");
    return rows[current][static_cast<std::size_t>(position)];
}

std::string FakeTable::FieldText(int position) {
    const FakeCell& cell = Cell(position);
    if (const auto damaged = damagedCells.find({current, position}); damaged != damagedCells.end())
        throw RecordDamageError(damaged->second);
    if (const auto* text = std::get_if<std::string>(&cell)) return *text;
    if (std::holds_alternative<FakeBlob>(cell)) return "(BLOB)";
    return {};
}

bool FakeTable::Eof() {
    if (!active) throw std::runtime_error("table not open");
    return current >= rows.size();
}

void FakeTable::Arrive(std::size_t row) {
    if (onArrive) onArrive(row);
    const auto notes = notesAt.find(row);
    if (notes != notesAt.end())
        pendingNotes_.insert(pendingNotes_.end(), notes->second.begin(), notes->second.end());
}

void FakeTable::Next() {
    if (!active) throw std::runtime_error("table not open");
    ++nextCalls;
    if (stuckAfter && current == *stuckAfter)
        throw RecordDamageError("row after " + std::to_string(current) + " cannot be reached");
    if (current < rows.size()) ++current;
    Arrive(current);
    const auto damaged = unreachableRows.find(current);
    // The cursor stands on the row it could not read; the next step leaves it.
    if (damaged != unreachableRows.end()) throw RecordDamageError(damaged->second);
}

std::vector<std::string> FakeTable::TakeDamageNotes() {
    std::vector<std::string> notes;
    notes.swap(pendingNotes_);
    return notes;
}

std::unique_ptr<BlobReader> FakeTable::OpenBlobStream(int position) {
    const FakeCell& cell = Cell(position);
    if (const auto damaged = damagedCells.find({current, position}); damaged != damagedCells.end())
        throw RecordDamageError(damaged->second);
    ++openBlobStreams;
    if (const auto* blob = std::get_if<FakeBlob>(&cell))
        return std::make_unique<FakeBlobReader>(*blob);
    if (const auto* text = std::get_if<std::string>(&cell))
        return std::make_unique<FakeBlobReader>(FakeBlob{*text});
    return std::make_unique<FakeBlobReader>(FakeBlob{});
}

bool FakeTable::IsAttachmentField(int position) {
    return !rows.empty() && position >= 0 && static_cast<std::size_t>(position) < rows[0].size() &&
           std::holds_alternative<FakeAttachments>(rows[0][static_cast<std::size_t>(position)]);
}

std::size_t FakeTable::AttachmentCount(int position) {
    const auto* files = std::get_if<FakeAttachments>(&Cell(position));
    return files ? files->files.size() : 0;
}

const FakeAttachment& FakeTable::Attached(int position, std::size_t index) const {
    const auto* files = std::get_if<FakeAttachments>(&Cell(position));
    if (!files || index >= files->files.size()) throw std::out_of_range("no such attachment");
    return files->files[index];
}

std::string FakeTable::AttachmentFileName(int position, std::size_t index) {
    return Attached(position, index).fileName;
}

std::unique_ptr<BlobReader> FakeTable::OpenAttachment(int position, std::size_t index) {
    const FakeAttachment& a = Attached(position, index);
    ++openAttachments;
    return std::make_unique<FakeBlobReader>(a.file, a.damageAfter);
}

namespace {

// Runs write many small files; a memory file system keeps that quick where
// there is one.
std::filesystem::path ScratchRoot() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = (ScratchRoot() / "corvid-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::map<std::string, std::string> ScratchDir::Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), path_).string()] = ReadFile(entry.path());
    return files;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace corvid::testing
