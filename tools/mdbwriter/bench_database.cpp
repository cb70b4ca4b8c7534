#include "tools/mdbwriter/bench_database.h"

#include <filesystem>
#include <random>

namespace corvid::mdbwriter {

Bytes JpegLikePayload(std::size_t size, std::int64_t record) {
  static constexpr unsigned char kHead[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                            0x01, 0x01, 0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00};
  if (size < sizeof kHead + 4) throw WriterError("a JPEG payload needs at least 24 bytes");
  Bytes bytes(size);
  for (std::size_t i = 0; i < sizeof kHead; ++i) bytes[i] = static_cast<std::byte>(kHead[i]);
  std::mt19937_64 random(static_cast<std::uint64_t>(record) * 0x9E3779B97F4A7C15ull + 1);
  std::size_t i = sizeof kHead;
  for (; i + 8 <= size - 2; i += 8) {
    std::uint64_t v = random();
    for (int k = 0; k < 8; ++k, v >>= 8) bytes[i + k] = static_cast<std::byte>(v == 0xFF ? 0xFE : v & 0xFF);
  }
  for (; i < size - 2; ++i) bytes[i] = static_cast<std::byte>(random() & 0x7F);
  bytes[size - 2] = std::byte{0xFF};
  bytes[size - 1] = std::byte{0xD9};
  return bytes;
}

BenchResult WriteBenchDatabase(const std::string& path, const BenchOptions& options) {
  if (options.records < 0) throw WriterError("the number of records cannot be negative");
  BenchResult result;
  MdbWriter writer(path, options.writer);
  auto& table = writer.AddTable({"table", {{"id", ColumnType::Long},
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

}  // namespace corvid::mdbwriter
