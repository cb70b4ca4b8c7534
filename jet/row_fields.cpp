#include "jet/row_fields.h"

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"

namespace corvid::jet {
namespace {

[[noreturn]] void Damaged() { throw WriterError("a row of the table is damaged"); }

// Start offsets of the row's variable-length fields, plus the end of data last.
std::vector<std::size_t> VariableOffsets(const JetConstants& jet, std::span<const std::byte> row,
                                         std::size_t maskSize) {
  std::vector<std::size_t> offsets;
  const std::size_t end = row.size();
  if (jet.format != JetFormat::Jet3) {
    if (end < maskSize + 2) Damaged();
    const std::size_t count = Get16(row, end - maskSize - 2);
    if (end < maskSize + 4 + 2 * count) Damaged();
    for (std::size_t i = 0; i <= count; ++i)
      offsets.push_back(Get16(row, end - maskSize - 4 - 2 * i));
    return offsets;
  }
  if (end < maskSize + 1) Damaged();
  const std::size_t count = std::to_integer<std::size_t>(row[end - maskSize - 1]);
  // One jump slot per 256 bytes of row. The last slot is unused when only
  // the offset table itself crossed that boundary.
  const std::size_t slots = (end - 1) / 256;
  if (end < maskSize + 2 + slots + count) Damaged();
  const std::size_t firstOffset =
      end - maskSize - 2 - slots;  // the first column's start; the others below it
  std::size_t jumps = slots;
  if (jumps > 0 && (firstOffset - count) / 256 < jumps) --jumps;
  std::size_t used = 0;
  for (std::size_t i = 0; i <= count; ++i) {
    while (used < jumps && i == std::to_integer<std::size_t>(row[end - maskSize - 2 - used]))
      ++used;
    offsets.push_back(std::to_integer<std::size_t>(row[firstOffset - i]) + 256 * used);
  }
  return offsets;
}

}  // namespace

std::vector<StoredLongValue> LongValuesOfRow(const JetConstants& jet, const TableLayout& layout,
                                             std::span<const std::byte> row) {
  std::vector<StoredLongValue> found;
  bool any = false;
  for (const ColumnLayout& c : layout.columns) any = any || c.longValue;
  if (!any) return found;
  const std::size_t countSize = jet.format == JetFormat::Jet3 ? 1 : 2;
  if (row.size() < countSize) Damaged();
  const std::size_t columns = countSize == 1 ? std::to_integer<std::size_t>(row[0]) : Get16(row, 0);
  const std::size_t maskSize = (columns + 7) / 8;
  if (row.size() < countSize + maskSize) Damaged();
  const auto mask = row.subspan(row.size() - maskSize);
  const std::vector<std::size_t> offsets = VariableOffsets(jet, row, maskSize);
  const std::size_t stored = offsets.size() - 1;
  for (const ColumnLayout& c : layout.columns) {
    if (!c.longValue || c.number >= columns) continue;
    const bool present = (std::to_integer<unsigned>(mask[c.number / 8]) >> (c.number % 8)) & 1u;
    if (!present || c.varIndex >= stored) continue;
    const std::size_t start = offsets[c.varIndex];
    const std::size_t next = offsets[c.varIndex + 1];
    if (next < start || next > row.size()) Damaged();
    found.push_back(
        {c.number, std::vector<std::byte>(row.begin() + static_cast<std::ptrdiff_t>(start),
                                          row.begin() + static_cast<std::ptrdiff_t>(next))});
  }
  return found;
}

}  // namespace corvid::jet
