#include "jet/reader/table_definition.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "jet/reader/checked_bytes.h"

namespace corvid::jet::reader {
namespace {

constexpr std::size_t kMaxIndexColumns = 10;

// The definition's bytes: the first page whole, then each continuation
// page after its 8-byte header. The chain is cycle-checked and cannot be
// longer than the file.
std::vector<std::byte> ReadStream(PageSource& pages, std::uint32_t first, TableDefinition& def) {
  std::vector<std::byte> stream;
  std::unordered_set<std::uint32_t> seen;
  std::uint32_t at = first;
  while (at != 0) {
    if (!seen.insert(at).second)
      throw DamageError(
          "the table definition's page chain loops back to page " + std::to_string(at),
          DamageLocation{.page = at});
    if (seen.size() > pages.PageCount())
      throw DamageError("the table definition's page chain is longer than the file");
    PagePtr page = pages.Read(at);
    if (static_cast<std::uint8_t>((*page)[0]) != kPageTypeTableDefinition)
      throw DamageError(
          "not a table definition page (type " + std::to_string(static_cast<int>((*page)[0])) + ")",
          DamageLocation{.page = at});
    def.pages.push_back(at);
    const std::size_t from = stream.empty() ? 0 : kTdefContinuationHeader;
    stream.insert(stream.end(), page->begin() + static_cast<std::ptrdiff_t>(from), page->end());
    at = Read32(*page, kTdefNextPageOffset);
  }
  return stream;
}

// Index entries, logical indexes, their names and the long-value maps.
void ReadIndexes(ByteSpan s, std::size_t at, const JetConstants& f, const TextDecoder& text,
                 std::uint32_t realCount, std::uint32_t logicalCount, TableDefinition& def) {
  struct Real {
    std::vector<IndexColumn> columns;
    std::uint32_t firstPage = 0;
    std::uint8_t flags = 0;
  };
  std::vector<Real> reals(realCount);
  for (Real& r : reals) {
    const ByteSpan e = Slice(s, at, f.realIndexEntrySize);
    for (std::size_t k = 0; k < kMaxIndexColumns; ++k) {
      const std::uint16_t column = Read16(e, f.realIndexColumnsOffset + 3 * k);
      if (column == 0xFFFF) continue;
      r.columns.push_back({column, Read8(e, f.realIndexColumnsOffset + 3 * k + 2) != 0x02});
    }
    // After the ten column slots: the usage map's row pointer, then the root page.
    r.firstPage = Read32(e, f.realIndexColumnsOffset + 3 * kMaxIndexColumns + 4);
    r.flags = Read8(e, f.realIndexFlagsOffset);
    at += f.realIndexEntrySize;
  }
  std::vector<IndexDefinition> logical(logicalCount);
  for (IndexDefinition& index : logical) {
    const ByteSpan e = Slice(s, at, f.logicalIndexEntrySize);
    index.realIndex = Read32(e, f.logicalIndexNumberOffset);
    index.kind = Read8(e, f.logicalIndexTypeOffset);
    if (index.realIndex < reals.size()) {
      const Real& r = reals[index.realIndex];
      index.columns = r.columns;
      index.firstPage = r.firstPage;
      index.flags = r.flags;
    }
    at += f.logicalIndexEntrySize;
  }
  for (IndexDefinition& index : logical) {
    const std::size_t length = ReadSized(s, at, f.nameLengthSize);
    index.name = text.Decode(Slice(s, at + f.nameLengthSize, length));
    at += f.nameLengthSize + length;
  }
  def.indexes = std::move(logical);
  // Long-value usage maps, one entry per column, up to FFFF.
  while (at + 2 <= s.size()) {
    const std::uint16_t column = Read16(s, at);
    if (column == 0xFFFF) break;
    def.longValueMaps.push_back({column, Read32(s, at + 2), Read32(s, at + 6)});
    at += 10;
  }
}

}  // namespace

const ColumnDefinition* TableDefinition::FindColumn(std::string_view wanted) const {
  for (const ColumnDefinition& c : columns) {
    if (c.name.size() != wanted.size()) continue;
    if (std::equal(
            c.name.begin(), c.name.end(), wanted.begin(),
            [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); }))
      return &c;
  }
  return nullptr;
}

TableDefinition ReadTableDefinition(PageSource& pages, const JetConstants& f,
                                    const TextDecoder& text, std::uint32_t page,
                                    const std::string& tableName, DamageReport& report) {
  TableDefinition def;
  def.name = tableName;
  def.page = page;
  const DamageLocation where{.table = tableName, .page = page};
  std::vector<std::byte> stream;
  std::size_t at = 0;
  std::uint32_t realCount = 0, logicalCount = 0;
  try {
    stream = ReadStream(pages, page, def);
    const ByteSpan s = stream;
    def.rowCount = Read32(s, f.tdefRowCountOffset);
    def.nextAutoNumber = Read32(s, f.tdefAutoNumberOffset);
    def.tableType = Read8(s, f.tdefTableTypeOffset);
    def.maxColumns = Read16(s, f.tdefMaxColumnsOffset);
    def.variableColumnCount = Read16(s, f.tdefVariableCountOffset);
    const std::uint16_t columnCount = Read16(s, f.tdefColumnCountOffset);
    logicalCount = Read32(s, f.tdefIndexCountOffset);
    realCount = Read32(s, f.tdefRealIndexCountOffset);
    def.usedPagesMap = Read32(s, f.tdefUsedPagesOffset);
    def.freePagesMap = Read32(s, f.tdefFreePagesOffset);
    // Counts that cannot fit in the definition are damage, not a reason to allocate.
    if (static_cast<std::uint64_t>(realCount) * f.realIndexCountEntrySize > s.size() ||
        static_cast<std::uint64_t>(logicalCount) * f.logicalIndexEntrySize > s.size() ||
        static_cast<std::uint64_t>(columnCount) * f.columnEntrySize > s.size())
      throw DamageError("the table definition lists more columns or indexes than it can hold");
    at = f.tdefHeaderSize + static_cast<std::size_t>(realCount) * f.realIndexCountEntrySize;

    def.columns.resize(columnCount);
    for (ColumnDefinition& c : def.columns) {
      const ByteSpan e = Slice(s, at, f.columnEntrySize);
      c.type = Read8(e, f.columnTypeOffset);
      c.number = Read16(e, f.columnNumberOffset);
      c.variableIndex = Read16(e, f.columnVariableIndexOffset);
      c.flags = Read8(e, f.columnFlagsOffset);
      if (f.columnCompressedFlagOffset != 0)
        c.compressedUnicode = (Read8(e, f.columnCompressedFlagOffset) & 0x01) != 0;
      c.fixedOffset = Read16(e, f.columnFixedOffsetOffset);
      c.length = Read16(e, f.columnLengthOffset);
      c.precision = Read8(e, f.columnMiscOffset);
      c.scale = Read8(e, f.columnMiscOffset + 1);
      c.complexId = Read32(e, f.columnMiscOffset);
      at += f.columnEntrySize;
    }
    for (ColumnDefinition& c : def.columns) {
      const std::size_t length = ReadSized(s, at, f.nameLengthSize);
      c.name = text.Decode(Slice(s, at + f.nameLengthSize, length));
      at += f.nameLengthSize + length;
    }
  } catch (const DamageError& e) {
    throw e.Within(where);
  }
  try {
    ReadIndexes(stream, at, f, text, realCount, logicalCount, def);
  } catch (const DamageError& e) {
    report.Add(e.Within(where).Where(), "the index definitions cannot be read: " + e.Problem());
  }
  return def;
}

}  // namespace corvid::jet::reader
