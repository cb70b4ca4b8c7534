// libFuzzer target: a database image from memory, opened and walked whole:
// the catalog, every table definition, every row and value, every long
// value. Any exception the reader throws is an answer; a crash, a hang or
// a leak is a fault.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "jet/reader/database.h"

namespace {

void Walk(corvid::jet::reader::Database& db, const corvid::jet::reader::CatalogEntry& entry) {
  using namespace corvid::jet::reader;
  Table table = db.OpenTableAt(entry.DefinitionPage(), entry.name);
  RowCursor rows = table.Rows();
  Row row;
  std::size_t bytes = 0;
  while (rows.Next(row)) {
    for (const Value& value : row.values) {
      const auto* lv = std::get_if<LongValue>(&value);
      if (!lv) continue;
      try {
        table.ReadLongValue(*lv,
                            [&bytes](std::span<const std::byte> piece) { bytes += piece.size(); });
      } catch (const DamageError&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvid::jet::reader;
  try {
    Database db = Database::OpenImage(std::span(reinterpret_cast<const std::byte*>(data), size),
                                      OpenOptions{.cachePages = 16});
    const Catalog& catalog = db.Objects();
    std::size_t tables = 0;
    for (const CatalogEntry& entry : catalog.entries) {
      if (!entry.IsTable() || entry.DefinitionPage() == 0) continue;
      if (++tables > 64) break;
      try {
        Walk(db, entry);
      } catch (const JetError&) {
      }
    }
  } catch (const JetError&) {
  }
  return 0;
}
