#include "jet/table_definition.h"

#include <algorithm>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"
#include "jet/text_encoding.h"

namespace corvid::jet {
namespace {

constexpr std::uint16_t kWindows1252 = 0x4E4;

bool IsTextual(const ColumnLayout& c) {
  return c.jetType == StoredType::Text || c.jetType == StoredType::Memo;
}

std::vector<std::byte> Stream(const JetConstants& jet, const TableLayout& layout,
                              const TableStatistics& stats) {
  const bool jet4 = jet.format != JetFormat::Jet3;
  std::vector<std::byte> s(jet.tdefHeaderSize, std::byte{0});
  const auto columnCount = static_cast<std::uint32_t>(layout.columns.size());
  const auto tableType = layout.systemTable ? kSystemTable : kUserTable;
  s[0] = std::byte{kPageTypeTableDefinition};
  s[1] = std::byte{0x01};
  if (jet4) {
    Put32(s, 12, kTableMagic);
    Put8(s, 24, 0x01);  // lets Access hand out AutoNumbers
  } else {
    s[2] = std::byte{'V'};
    s[3] = std::byte{'C'};
  }
  Put32(s, jet.tdefRowCountOffset, stats.rowCount);
  Put32(s, jet.tdefAutoNumberOffset, static_cast<std::uint32_t>(stats.lastAutoNumber));
  Put8(s, jet.tdefTableTypeOffset, tableType);
  Put16(s, jet.tdefMaxColumnsOffset, columnCount);
  Put16(s, jet.tdefVariableCountOffset, static_cast<std::uint32_t>(layout.variableCount));
  Put16(s, jet.tdefColumnCountOffset, columnCount);
  Put32(s, jet.tdefIndexCountOffset, 0);
  Put32(s, jet.tdefRealIndexCountOffset, 0);
  Put32(s, jet.tdefUsedPagesOffset, stats.usedPagesMap);
  Put32(s, jet.tdefFreePagesOffset, stats.freePagesMap);

  ByteAppender out(s);
  for (const ColumnLayout& c : layout.columns) {
    const std::size_t at = s.size();
    out.Zeros(jet.columnEntrySize);
    std::span<std::byte> e(s.data() + at, jet.columnEntrySize);
    Put8(e, jet.columnTypeOffset, TypeCode(c.jetType));
    Put16(e, jet.columnNumberOffset, c.number);
    Put16(e, jet.columnVariableIndexOffset, c.varIndex);
    Put8(e, jet.columnFlagsOffset, c.flags);
    Put16(e, jet.columnFixedOffsetOffset, c.fixedOffset);
    Put16(e, jet.columnLengthOffset, c.storedLength);
    if (jet4) {
      Put32(e, 1, kTableMagic);
      Put16(e, 9, c.number + 1u);
      if (c.jetType == StoredType::Complex)
        Put32(e, jet.columnMiscOffset, c.complexId);  // instead of the sort order
      else
        Put16(e, jet.columnMiscOffset, kSortOrderGeneral);
      Put8(e, jet.columnCompressedFlagOffset, IsTextual(c) && c.def.compressUnicode ? 0x01 : 0x00);
    } else {
      Put16(e, 5, c.number);
      Put16(e, jet.columnMiscOffset, kSortOrderGeneral);  // sort order
      Put16(e, 11, kWindows1252);  // code page (Access records it for every column)
    }
  }
  for (const ColumnLayout& c : layout.columns) {
    const std::u16string name = Utf8ToUtf16(c.def.name);
    if (jet4) {
      const auto bytes = EncodeUcs2(name);
      out.U16(static_cast<std::uint32_t>(bytes.size()));
      out.Bytes(bytes);
    } else {
      const auto bytes = EncodeWindows1252(name);
      if (!bytes)
        throw WriterError("column name \"" + c.def.name +
                          "\" has a character outside Windows-1252");
      out.U8(static_cast<std::uint32_t>(bytes->size()));
      out.Bytes(*bytes);
    }
  }
  for (const ColumnLayout& c : layout.columns) {
    if (!c.longValue) continue;
    LongValueMaps maps;
    for (const auto& m : stats.longValueMaps)
      if (m.column == c.number) maps = m;
    out.U16(c.number);
    out.U32(maps.usedPagesMap);
    out.U32(maps.freePagesMap);
  }
  out.U16(0xFFFF);  // end of the long-value column map list
  Put32(s, 8, static_cast<std::uint32_t>(s.size()));
  return s;
}

std::size_t PagesFor(const JetConstants& jet, std::size_t streamSize) {
  if (streamSize <= jet.pageSize) return 1;
  const std::size_t perContinuation = jet.pageSize - kTdefContinuationHeader;
  return 1 + (streamSize - jet.pageSize + perContinuation - 1) / perContinuation;
}

}  // namespace

std::size_t TableDefinitionPageCount(const JetConstants& jet, const TableLayout& layout) {
  return PagesFor(jet, Stream(jet, layout, TableStatistics{}).size());
}

std::vector<std::vector<std::byte>> BuildTableDefinition(
    const JetConstants& jet, const TableLayout& layout, const TableStatistics& stats,
    std::span<const std::uint32_t> pageNumbers) {
  const std::vector<std::byte> stream = Stream(jet, layout, stats);
  const std::size_t count = PagesFor(jet, stream.size());
  if (pageNumbers.size() != count) throw WriterError("internal error: wrong number of tdef pages");
  std::vector<std::vector<std::byte>> pages;
  std::size_t pos = 0;
  for (std::size_t k = 0; k < count; ++k) {
    std::vector<std::byte> page(jet.pageSize, std::byte{0});
    std::size_t used;
    if (k == 0) {
      used = std::min(stream.size(), jet.pageSize);
      std::copy_n(stream.begin(), used, page.begin());
      pos = used;
    } else {
      page[0] = std::byte{kPageTypeTableDefinition};
      page[1] = std::byte{0x01};
      if (jet.format == JetFormat::Jet3) {
        page[2] = std::byte{'V'};
        page[3] = std::byte{'C'};
      }
      const std::size_t n = std::min(stream.size() - pos, jet.pageSize - kTdefContinuationHeader);
      std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(pos), n,
                  page.begin() + kTdefContinuationHeader);
      pos += n;
      used = kTdefContinuationHeader + n;
    }
    if (jet.format != JetFormat::Jet3)
      Put16(page, 2, static_cast<std::uint32_t>(jet.pageSize - used));
    Put32(page, kTdefNextPageOffset, k + 1 < count ? pageNumbers[k + 1] : 0);
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace corvid::jet
