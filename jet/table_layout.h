// Where each column of a table lives: its stored type and flags, its slot in
// the fixed-length area or the variable-length offset table, and its bit in
// the null mask. Building a layout validates the table definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_format.h"
#include "jet/mdb_writer.h"

namespace corvid::jet {

struct ColumnLayout {
  ColumnDef def;
  StoredType jetType = StoredType::Long;
  std::uint16_t number = 0;  // column number = null-mask bit
  bool fixed = false;
  bool longValue = false;          // Memo / OLE Object
  std::uint16_t fixedOffset = 0;   // within the fixed area (after the column count)
  std::uint16_t fixedSize = 0;     // bytes in the fixed area (0 for Yes/No)
  std::uint16_t varIndex = 0;      // slot in the variable offset table (running count)
  std::uint16_t storedLength = 0;  // tdef column length
  std::uint8_t flags = 0;
  std::size_t maxChars = 0;     // Text: characters; Binary: bytes
  std::uint32_t complexId = 0;  // Attachment: its row in MSysComplexColumns
};

struct TableLayout {
  std::string name;
  std::vector<ColumnLayout> columns;
  std::size_t fixedAreaSize = 0;
  std::size_t variableCount = 0;
  bool systemTable = false;
};

// Throws WriterError naming the table/column at fault. System tables (our own
// catalog) may use the reserved "MSys" prefix.
TableLayout LayoutTable(const JetConstants& jet, const TableDef& def, bool systemTable = false);

// Name rules shared by tables and columns (throws WriterError with `what`
// such as "table name").
void CheckObjectName(const JetConstants& jet, std::string_view name, std::string_view what);

// Case-insensitive comparison key for names (ASCII and Latin-1 letters folded).
std::u16string NameKey(std::string_view name);

std::string_view ColumnTypeName(ColumnType type);

}  // namespace corvid::jet
