#include "jet/table_layout.h"

#include <set>

#include "jet/text_encoding.h"

namespace corvid::jet {
namespace {

struct TypeInfo {
  StoredType jetType;
  bool fixed;
  bool longValue;
  // Bytes in the fixed part of the row (0 for Yes/No, kept in the null mask).
  std::uint16_t FixedSize() const { return static_cast<std::uint16_t>(FixedSizeOf(jetType)); }
};

TypeInfo InfoFor(ColumnType type) {
  switch (type) {
    case ColumnType::Long:
    case ColumnType::AutoNumber:
      return {StoredType::Long, true, false};
    case ColumnType::Integer:
      return {StoredType::Integer, true, false};
    case ColumnType::Byte:
      return {StoredType::Byte, true, false};
    case ColumnType::YesNo:
      return {StoredType::Bool, true, false};
    case ColumnType::Currency:
      return {StoredType::Money, true, false};
    case ColumnType::Double:
      return {StoredType::Double, true, false};
    case ColumnType::DateTime:
      return {StoredType::DateTime, true, false};
    case ColumnType::Guid:
      return {StoredType::Guid, true, false};
    case ColumnType::Text:
      return {StoredType::Text, false, false};
    case ColumnType::Binary:
      return {StoredType::Binary, false, false};
    case ColumnType::Memo:
      return {StoredType::Memo, false, true};
    case ColumnType::OleObject:
      return {StoredType::Ole, false, true};
    case ColumnType::Attachment:
      return {StoredType::Complex, true, false};
  }
  throw WriterError("unknown column type");
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

std::string_view ColumnTypeName(ColumnType type) {
  switch (type) {
    case ColumnType::Long:
      return "Long Integer";
    case ColumnType::AutoNumber:
      return "AutoNumber";
    case ColumnType::Integer:
      return "Integer";
    case ColumnType::Byte:
      return "Byte";
    case ColumnType::YesNo:
      return "Yes/No";
    case ColumnType::Currency:
      return "Currency";
    case ColumnType::Double:
      return "Double";
    case ColumnType::DateTime:
      return "Date/Time";
    case ColumnType::Text:
      return "Text";
    case ColumnType::Memo:
      return "Memo";
    case ColumnType::OleObject:
      return "OLE Object";
    case ColumnType::Binary:
      return "Binary";
    case ColumnType::Guid:
      return "GUID";
    case ColumnType::Attachment:
      return "Attachment";
  }
  return "unknown";
}

std::u16string NameKey(std::string_view name) {
  std::u16string key = Utf8ToUtf16(name);
  for (auto& c : key) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
      c = static_cast<char16_t>(c + 0x20);
  }
  return key;
}

void CheckObjectName(const JetConstants& jet, std::string_view name, std::string_view what) {
  if (name.empty()) throw WriterError(std::string(what) + " is empty");
  std::u16string units;
  try {
    units = Utf8ToUtf16(name);
  } catch (const WriterError&) {
    throw WriterError(std::string(what) + " " + Quoted(name) + " is not valid UTF-8");
  }
  if (units.size() > jet.maxNameLength)
    throw WriterError(std::string(what) + " " + Quoted(name) + " is longer than " +
                      std::to_string(jet.maxNameLength) + " characters");
  if (units.front() == u' ')
    throw WriterError(std::string(what) + " " + Quoted(name) + " starts with a space");
  for (char16_t c : units) {
    if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']')
      throw WriterError(
          std::string(what) + " " + Quoted(name) +
          " contains a character not allowed in names (. ! ` [ ] or a control character)");
  }
  if (jet.format == JetFormat::Jet3 && !EncodeWindows1252(units))
    throw WriterError(std::string(what) + " " + Quoted(name) +
                      " has a character outside Windows-1252");
}

TableLayout LayoutTable(const JetConstants& jet, const TableDef& def, bool systemTable) {
  CheckObjectName(jet, def.name, "table name");
  if (!systemTable && NameKey(def.name).starts_with(u"msys"))
    throw WriterError("table name " + Quoted(def.name) +
                      " uses the prefix MSys reserved for system tables");
  if (def.columns.empty()) throw WriterError("table " + Quoted(def.name) + " has no columns");
  if (def.columns.size() > jet.maxColumns)
    throw WriterError("table " + Quoted(def.name) + " has " + std::to_string(def.columns.size()) +
                      " columns; a table may have at most " + std::to_string(jet.maxColumns));

  TableLayout layout;
  layout.name = def.name;
  layout.systemTable = systemTable;
  std::set<std::u16string> seen;
  std::uint16_t varIndex = 0;
  std::size_t fixedOffset = 0;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& col = def.columns[i];
    CheckObjectName(jet, col.name, "column name");
    if (!seen.insert(NameKey(col.name)).second)
      throw WriterError("table " + Quoted(def.name) + " has two columns named " + Quoted(col.name));
    if (col.type == ColumnType::Attachment && jet.format != JetFormat::Ace2007)
      throw WriterError("column " + Quoted(col.name) + " of table " + Quoted(def.name) +
                        ": Attachment columns need the Access 2007 format");
    const TypeInfo info = InfoFor(col.type);
    ColumnLayout c;
    c.def = col;
    c.jetType = info.jetType;
    c.number = static_cast<std::uint16_t>(i);
    c.fixed = info.fixed;
    c.longValue = info.longValue;
    c.flags = static_cast<std::uint8_t>((info.fixed ? kColumnFixed : 0) | kColumnNullable |
                                        (col.type == ColumnType::AutoNumber ? kColumnAutoLong : 0));
    // Access marks complex columns as it marks AutoNumbers: their keys are
    // handed out by the database.
    if (col.type == ColumnType::Attachment) c.flags |= kColumnAutoLong;
    if (col.type == ColumnType::Text || col.type == ColumnType::Binary) {
      const int size = col.size == 0 ? (col.type == ColumnType::Text ? 50 : 255) : col.size;
      if (size < 1 || size > 255)
        throw WriterError("column " + Quoted(col.name) + " of table " + Quoted(def.name) + ": " +
                          std::string(ColumnTypeName(col.type)) + " size " +
                          std::to_string(col.size) + " is outside 1..255");
      c.maxChars = static_cast<std::size_t>(size);
      c.storedLength = static_cast<std::uint16_t>(
          col.type == ColumnType::Text ? size * static_cast<int>(jet.textBytesPerChar) : size);
    } else if (col.type == ColumnType::YesNo) {
      c.storedLength = 1;
    } else {
      c.storedLength = info.FixedSize();
    }
    if (info.fixed) {
      c.fixedSize = info.FixedSize();
      c.fixedOffset = info.FixedSize() == 0 ? 0 : static_cast<std::uint16_t>(fixedOffset);
      fixedOffset += info.FixedSize();
      c.varIndex = varIndex;
    } else {
      c.varIndex = varIndex++;
    }
    layout.columns.push_back(std::move(c));
  }
  layout.fixedAreaSize = fixedOffset;
  layout.variableCount = varIndex;
  const std::size_t countSize = jet.format == JetFormat::Jet3 ? 1 : 2;
  const std::size_t emptyRow = countSize + layout.fixedAreaSize + (layout.columns.size() + 7) / 8 +
                               (varIndex == 0 ? 0 : countSize * (varIndex + 2));
  if (emptyRow > jet.maxRowSize)
    throw WriterError("table " + Quoted(def.name) + ": its fixed-length columns alone need " +
                      std::to_string(emptyRow) + " bytes per row; a row may hold at most " +
                      std::to_string(jet.maxRowSize));
  return layout;
}

}  // namespace corvid::jet
