// A large database for performance work: one table "table" (id, filter,
// img) whose OLE Object values are JPEG-like payloads, optionally wrapped as
// Access stores OLE objects. Rows are streamed, so memory stays small
// whatever the size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "jet/mdb_writer.h"

namespace corvid::mkmdb {

struct BenchOptions {
  std::int64_t records = 20000;
  std::size_t blobBytes = 50 * 1024;  // size of each JPEG payload before wrapping
  jet::WriterOptions writer;
  // Wraps a payload as an OLE value (empty: stored bare).
  std::function<jet::Bytes(std::span<const std::byte> jpeg, std::int64_t record)> wrap;
};

struct BenchResult {
  std::uint64_t fileBytes = 0;
  std::uint64_t payloadBytes = 0;  // bytes of OLE values written
};

// A JPEG-shaped payload (SOI, APP0 "JFIF", pseudo-random body, EOI) of
// exactly `size` bytes (at least 32), different for each record.
jet::Bytes JpegLikePayload(std::size_t size, std::int64_t record);

BenchResult WriteBenchDatabase(const std::string& path, const BenchOptions& options);

}  // namespace corvid::mkmdb
