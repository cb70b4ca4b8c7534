#include "engine/run_manifest.h"

#include <span>
#include <unordered_map>

#include "SrcLib/atomic_output_file.h"
#include "SrcLib/code_pages.h"
#include "SrcLib/json_text.h"

namespace corvid {
namespace {

constexpr std::string_view kColumns[] = {"table",
                                         "blob field",
                                         "name 1",
                                         "name 2",
                                         "filter",
                                         "outcome",
                                         "path",
                                         "kind",
                                         "bytes",
                                         "sha256",
                                         "embedded name",
                                         "link target",
                                         "written more than once"};
constexpr std::string_view kJsonKeys[] = {"table",
                                          "blobField",
                                          "name1",
                                          "name2",
                                          "filter",
                                          "outcome",
                                          "path",
                                          "kind",
                                          "bytes",
                                          "sha256",
                                          "embeddedName",
                                          "linkTarget",
                                          "writtenMoreThanOnce"};

bool EndsWith(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        char c = text[text.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i]) return false;
    }
    return true;
}

void CsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

}  // namespace

std::string_view OutcomeText(ManifestOutcome outcome) {
    switch (outcome) {
        case ManifestOutcome::Written:
            return "written";
        case ManifestOutcome::DumpCopy:
            return "dump copy";
        case ManifestOutcome::SkippedUnknown:
            return "skipped as unknown";
        case ManifestOutcome::Empty:
            return "empty";
        case ManifestOutcome::RejectedByFilter:
            return "rejected by the filter";
        case ManifestOutcome::Linked:
            return "linked";
        case ManifestOutcome::Damaged:
            return "damaged";
        case ManifestOutcome::Unreadable:
            return "unreadable";
        case ManifestOutcome::Failed:
            return "failed";
    }
    return "";
}

RunManifest::RunManifest(std::string path)
    : path_(std::move(path)), json_(EndsWith(path_, ".json") || EndsWith(path_, ".jsonl")) {}

std::string RunManifest::Text(const std::string& failure) {
    std::unordered_map<std::string, int> writes;
    auto wroteFile = [](const ManifestRow& row) {
        return row.bytes >= 0 && !row.outputPath.empty();
    };
    for (const ManifestRow& row : rows_) {
        if (wroteFile(row)) ++writes[row.outputPath];
    }
    for (ManifestRow& row : rows_)
        row.writtenMoreThanOnce = wroteFile(row) && writes[row.outputPath] > 1;

    std::string out;
    if (!json_) {
        for (std::size_t i = 0; i < std::size(kColumns); ++i) {
            if (i > 0) out += ',';
            out += kColumns[i];
        }
        out += "\r\n";
    }
    for (const ManifestRow& row : rows_) {
        const std::string bytes = row.bytes >= 0 ? std::to_string(row.bytes) : std::string();
        const std::string_view fields[] = {
            row.table,      row.blobField,    row.name1,
            row.name2,      row.filterText,   OutcomeText(row.outcome),
            row.outputPath, row.kind,         bytes,
            row.sha256,     row.embeddedName, row.linkTarget};
        if (json_) {
            out += '{';
            for (std::size_t i = 0; i < std::size(fields); ++i) {
                AppendJsonString(out, kJsonKeys[i]);
                out += ':';
                if (i == 8) {
                    out += bytes.empty() ? "null" : bytes;
                } else {
                    AppendJsonString(out, fields[i]);
                }
                out += ',';
            }
            AppendJsonString(out, kJsonKeys[12]);
            out += row.writtenMoreThanOnce ? ":true}\n" : ":false}\n";
        } else {
            for (const std::string_view field : fields) {
                CsvField(out, field);
                out += ',';
            }
            out += row.writtenMoreThanOnce ? "yes" : "";
            out += "\r\n";
        }
    }
    if (!failure.empty()) {
        out += "# incomplete: the run ended early: " + OneLine(failure);
        out += json_ ? "\n" : "\r\n";
    }
    return out;
}

void RunManifest::Write(const std::string& failure) {
    const std::string text = Text(failure);
    AtomicOutputFile file(path_);
    file.Write(std::as_bytes(std::span<const char>(text.data(), text.size())));
    file.Commit();
}

}  // namespace corvid
