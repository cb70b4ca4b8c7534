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

#include "tests/dao/test_engine_support.h"

namespace corvid::testing_attachments {

using FileBytes = std::vector<std::byte>;

inline std::uint32_t Get32(const FileBytes& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("a FileData value shorter than its header");
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

inline FileBytes FromHex(const std::string& hex) {
  FileBytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::byte>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The file of a stored FileData value: flag, content length, then the
// content (a zlib stream when the flag is 1), whose header gives its own
// length before the file's bytes.
inline FileBytes DecodeFileData(const FileBytes& stored) {
  const std::uint32_t flag = Get32(stored, 0), length = Get32(stored, 4);
  FileBytes content(length);
  if (flag == 1) {
    uLongf size = length;
    if (uncompress(reinterpret_cast<Bytef*>(content.data()), &size,
                   reinterpret_cast<const Bytef*>(stored.data() + 8),
                   static_cast<uLong>(stored.size() - 8)) != Z_OK ||
        size != length)
      throw std::runtime_error("uncompress failed");
  } else {
    if (stored.size() < 8 + static_cast<std::size_t>(length))
      throw std::runtime_error("a stored value shorter than its length");
    std::memcpy(content.data(), stored.data() + 8, length);
  }
  return FileBytes(content.begin() + Get32(content, 0), content.end());
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
