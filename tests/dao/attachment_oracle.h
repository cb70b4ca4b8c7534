#pragma once
// The attached files of a hidden attachment table as libmdb's mdb-export
// reads them (FileData as hex), decoded here with zlib on its own: the
// independent answer the engine's and the run's attachment bytes are
// checked against.

#include <zlib.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/attachment_file_data.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::testing_attachments {

inline FileBytes FromHex(const std::string& hex) {
  FileBytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::byte>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The rows of `table` as mdb-export reads them, binary values as hex.
inline std::vector<std::map<std::string, std::string>> ExportRows(const std::string& file,
                                                                  const std::string& table) {
  using dao::testing::Quote;
  using dao::testing::RunCommand;
  using dao::testing::Split;
  const std::string out = RunCommand("mdb-export -Q -d $'\\x1f' -R $'\\x1e' -b hex " + Quote(file) +
                                     " " + Quote(table));
  std::vector<std::string> lines = Split(out, "\x1e");
  if (lines.empty() || lines[0].empty()) throw std::runtime_error("mdb-export gave nothing");
  const std::vector<std::string> header = Split(lines[0], "\x1f");
  std::vector<std::map<std::string, std::string>> rows;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    if (lines[r].empty()) continue;
    const std::vector<std::string> cells = Split(lines[r], "\x1f");
    if (cells.size() != header.size()) throw std::runtime_error("a row of another width");
    std::map<std::string, std::string>& row = rows.emplace_back();
    for (std::size_t c = 0; c < header.size(); ++c) row[header[c]] = cells[c];
  }
  return rows;
}

// key -> file name -> decoded bytes, for the hidden table `flatTable` whose
// key column is `keyColumn`.
inline std::map<std::int32_t, std::map<std::string, FileBytes>> OracleAttachments(
    const std::string& file, const std::string& flatTable, const std::string& keyColumn) {
  std::map<std::int32_t, std::map<std::string, FileBytes>> files;
  for (const auto& row : ExportRows(file, flatTable))
    files[std::stoi(row.at(keyColumn))][row.at("FileName")] =
        DecodeFileData(FromHex(row.at("FileData")));
  return files;
}

// The stored FileData value of the file named `fileName` (the first such).
inline FileBytes StoredFileData(const std::string& file, const std::string& flatTable,
                                const std::string& fileName) {
  for (const auto& row : ExportRows(file, flatTable))
    if (row.at("FileName") == fileName) return FromHex(row.at("FileData"));
  throw std::runtime_error("no attached file " + fileName);
}

}  // namespace corvid::testing_attachments
