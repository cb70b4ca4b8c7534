#include "jet/stored_table.h"

#include <algorithm>
#include <set>

#include "jet/byte_order.h"
#include "jet/mdb_writer.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kMaxTdefPages = 64;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The bytes of a table definition spread over its pages.
std::vector<std::byte> DefinitionStream(EditSession& session, std::uint32_t first,
                                        std::vector<std::uint32_t>& pages,
                                        const std::string& table) {
  std::vector<std::byte> stream;
  std::uint32_t page = first;
  while (page != 0) {
    if (pages.size() == kMaxTdefPages || std::find(pages.begin(), pages.end(), page) != pages.end())
      throw WriterError("the definition of table " + Quoted(table) +
                        " has a page chain that does not end");
    if (page >= session.OriginalPageCount())
      throw WriterError("the definition of table " + Quoted(table) +
                        " continues beyond the end of the file");
    const auto& image = session.Read(page);
    if (image[0] != std::byte{kPageTypeTableDefinition})
      throw WriterError("page " + std::to_string(page) + " is not a table definition page; table " +
                        Quoted(table) + " cannot be read");
    pages.push_back(page);
    stream.insert(stream.end(), image.begin() + (pages.size() == 1 ? 0 : kTdefContinuationHeader),
                  image.end());
    page = Get32(image, kTdefNextPageOffset);
  }
  return stream;
}

std::string DecodeName(const JetConstants& jet, std::span<const std::byte> bytes) {
  std::string out;
  auto append = [&](std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  if (jet.format != JetFormat::Jet3) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) append(Get16(bytes, i));
  } else {
    // Windows-1252: the letters Access allows in names are the Latin-1 ones.
    for (std::byte b : bytes) append(std::to_integer<std::uint32_t>(b));
  }
  return out;
}

ColumnType TypeOf(std::uint8_t jetType, std::uint8_t flags, bool& known) {
  known = true;
  switch (static_cast<StoredType>(jetType)) {
    case StoredType::Bool:
      return ColumnType::YesNo;
    case StoredType::Byte:
      return ColumnType::Byte;
    case StoredType::Integer:
      return ColumnType::Integer;
    case StoredType::Long:
      return (flags & kColumnAutoLong) ? ColumnType::AutoNumber : ColumnType::Long;
    case StoredType::Money:
      return ColumnType::Currency;
    case StoredType::Double:
      return ColumnType::Double;
    case StoredType::DateTime:
      return ColumnType::DateTime;
    case StoredType::Binary:
      return ColumnType::Binary;
    case StoredType::Text:
      return ColumnType::Text;
    case StoredType::Ole:
      return ColumnType::OleObject;
    case StoredType::Memo:
      return ColumnType::Memo;
    case StoredType::Guid:
      return ColumnType::Guid;
    default:
      known = false;
      return ColumnType::Long;
  }
}

}  // namespace

StoredTable ReadStoredTable(const JetConstants& jet, EditSession& session, std::uint32_t tdefPage,
                            const std::string& tableName) {
  StoredTable t;
  const std::vector<std::byte> s = DefinitionStream(session, tdefPage, t.tdefPages, tableName);
  const std::span<const std::byte> stream(s);
  auto damaged = [&]() -> WriterError {
    return WriterError("the definition of table " + Quoted(tableName) +
                       " is damaged or in a form the editor does not know");
  };

  if (std::to_integer<std::uint8_t>(stream[jet.tdefTableTypeOffset]) != kUserTable)
    throw WriterError("table " + Quoted(tableName) +
                      " is a system table; only user tables can be edited");
  const std::uint32_t logicalIndexes = Get32(stream, jet.tdefIndexCountOffset);
  const std::uint32_t realIndexes = Get32(stream, jet.tdefRealIndexCountOffset);
  if (logicalIndexes > 0 || realIndexes > 0)
    throw WriterError("table " + Quoted(tableName) +
                      " has indexes; their entries would have to change with every row");
  t.rowCount = Get32(stream, jet.tdefRowCountOffset);
  t.lastAutoNumber = static_cast<std::int32_t>(Get32(stream, jet.tdefAutoNumberOffset));
  t.usedPagesMap = Get32(stream, jet.tdefUsedPagesOffset);
  t.freePagesMap = Get32(stream, jet.tdefFreePagesOffset);
  const std::size_t columnCount = Get16(stream, jet.tdefColumnCountOffset);
  if (columnCount == 0 || columnCount > jet.maxColumns) throw damaged();

  struct Entry {
    std::uint8_t type, flags;
    std::uint16_t number, varIndex, fixedOffset, length;
    bool compress;
    std::string name;
  };
  std::vector<Entry> entries;
  std::size_t at = jet.tdefHeaderSize;
  for (std::size_t i = 0; i < columnCount; ++i, at += jet.columnEntrySize) {
    if (at + jet.columnEntrySize > stream.size()) throw damaged();
    const auto e = stream.subspan(at, jet.columnEntrySize);
    Entry entry{};
    entry.type = std::to_integer<std::uint8_t>(e[jet.columnTypeOffset]);
    entry.flags = std::to_integer<std::uint8_t>(e[jet.columnFlagsOffset]);
    entry.number = static_cast<std::uint16_t>(Get16(e, jet.columnNumberOffset));
    entry.varIndex = static_cast<std::uint16_t>(Get16(e, jet.columnVariableIndexOffset));
    entry.fixedOffset = static_cast<std::uint16_t>(Get16(e, jet.columnFixedOffsetOffset));
    entry.length = static_cast<std::uint16_t>(Get16(e, jet.columnLengthOffset));
    entry.compress = jet.format != JetFormat::Jet3 &&
                     (std::to_integer<std::uint8_t>(e[jet.columnCompressedFlagOffset]) & 0x01);
    entries.push_back(entry);
  }
  for (Entry& entry : entries) {
    std::size_t length;
    if (jet.format != JetFormat::Jet3) {
      if (at + 2 > stream.size()) throw damaged();
      length = Get16(stream, at);
      at += 2;
    } else {
      if (at + 1 > stream.size()) throw damaged();
      length = std::to_integer<std::size_t>(stream[at]);
      at += 1;
    }
    if (at + length > stream.size()) throw damaged();
    entry.name = DecodeName(jet, stream.subspan(at, length));
    at += length;
  }

  // Columns in column-number order; the layout rules must give back exactly
  // what the file records.
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.number < b.number; });
  t.definition.name = tableName;
  for (const Entry& entry : entries) {
    bool known = false;
    ColumnDef column;
    column.name = entry.name;
    column.type = TypeOf(entry.type, entry.flags, known);
    if (!known)
      throw WriterError("column " + Quoted(entry.name) + " of table " + Quoted(tableName) +
                        " has a type (" + std::to_string(entry.type) + ") the editor cannot write");
    if (column.type == ColumnType::Text)
      column.size = entry.length / static_cast<int>(jet.textBytesPerChar);
    if (column.type == ColumnType::Binary) column.size = entry.length;
    column.compressUnicode = entry.compress;
    t.definition.columns.push_back(std::move(column));
  }
  try {
    t.layout = LayoutTable(jet, t.definition);
  } catch (const WriterError& error) {
    throw WriterError("table " + Quoted(tableName) + " cannot be edited: " + error.what());
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    const ColumnLayout& c = t.layout.columns[i];
    const bool fixed = (e.flags & kColumnFixed) != 0;
    const bool same =
        e.number == c.number && fixed == c.fixed &&
        (c.fixed ? (c.fixedSize == 0 || e.fixedOffset == c.fixedOffset) : e.varIndex == c.varIndex);
    if (!same)
      throw WriterError("table " + Quoted(tableName) +
                        " has a column layout the editor cannot write (column " + Quoted(e.name) +
                        "; columns deleted or changed in Access leave gaps)");
  }

  // The long-value columns' own maps: (column, used map, free map) entries
  // up to 0xFFFF. Files that do not list them are left without.
  std::set<std::uint16_t> longColumns;
  for (const ColumnLayout& c : t.layout.columns)
    if (c.longValue) longColumns.insert(c.number);
  std::vector<LongValueMaps> maps;
  bool listed = false;
  while (at + 2 <= stream.size()) {
    const auto column = static_cast<std::uint16_t>(Get16(stream, at));
    if (column == 0xFFFF) {
      listed = true;
      break;
    }
    if (!longColumns.count(column) || at + 10 > stream.size()) break;
    maps.push_back({column, Get32(stream, at + 2), Get32(stream, at + 6)});
    at += 10;
  }
  if (listed) t.longValueMaps = std::move(maps);
  return t;
}

}  // namespace corvid::jet
