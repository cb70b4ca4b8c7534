#include "tools/mkmdb/bench_database.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace corvid::mkmdb {

using namespace corvid::jet;

Bytes JpegLikePayload(std::size_t size, std::int64_t record) {
  static constexpr unsigned char kHead[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',
                                            'F',  'I',  'F',  0x00, 0x01, 0x01, 0x00,
                                            0x00, 0x48, 0x00, 0x48, 0x00, 0x00};
  if (size < sizeof kHead + 12) throw WriterError("a JPEG payload needs at least 32 bytes");
  // The body is cut from a fixed pool of pseudo-random bytes (no FF, so no
  // stray markers) at an offset that depends on the record, and starts with
  // the record number: every record differs, and making one costs a copy.
  static const Bytes pool = [] {
    Bytes bytes(1 << 20);
    std::mt19937 random(20261209);
    for (auto& b : bytes) b = static_cast<std::byte>(random() % 0xFF);
    return bytes;
  }();
  Bytes bytes(size);
  for (std::size_t i = 0; i < sizeof kHead; ++i) bytes[i] = static_cast<std::byte>(kHead[i]);
  std::size_t at = sizeof kHead;
  for (int k = 0; k < 8; ++k)
    bytes[at++] = static_cast<std::byte>((static_cast<std::uint64_t>(record) >> (8 * k)) % 0xFF);
  std::size_t offset = static_cast<std::size_t>(record) * 7919u % pool.size();
  while (at < size - 2) {
    const std::size_t n = std::min(pool.size() - offset, size - 2 - at);
    std::copy_n(pool.begin() + static_cast<std::ptrdiff_t>(offset), n,
                bytes.begin() + static_cast<std::ptrdiff_t>(at));
    at += n;
    offset = 0;
  }
  bytes[size - 2] = std::byte{0xFF};
  bytes[size - 1] = std::byte{0xD9};
  return bytes;
}

BenchResult WriteBenchDatabase(const std::string& path, const BenchOptions& options) {
  if (options.records < 0) throw WriterError("the number of records cannot be negative");
  BenchResult result;
  MdbWriter writer(path, options.writer);
  auto& table = writer.AddTable({"table",
                                 {{"id", ColumnType::Long},
                                  {"filter", ColumnType::Text, 50},
                                  {"img", ColumnType::OleObject}}});
  static constexpr const char* kFilters[] = {"alpha", "beta", "gamma", "delta"};
  std::vector<Value> row(3);
  for (std::int64_t record = 1; record <= options.records; ++record) {
    Bytes payload = JpegLikePayload(options.blobBytes, record);
    if (options.wrap) payload = options.wrap(payload, record);
    result.payloadBytes += payload.size();
    row[0] = record;
    row[1] = std::string(kFilters[record % 4]);
    row[2] = std::move(payload);
    table.AddRow(row);
  }
  writer.Finish();
  result.fileBytes = std::filesystem::file_size(path);
  return result;
}

}  // namespace corvid::mkmdb
