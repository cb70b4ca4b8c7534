#include "dao/database_map.h"

#include <cctype>
#include <cstddef>
#include <exception>
#include <memory>
#include <span>
#include <vector>

#include "SrcLib/file_names.h"
#include "SrcLib/quietly.h"
#include "dao/dao_database.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/recordset.h"
#include "dao/engine/tabledef.h"
#include "engine/recognition.h"

namespace corvid {
namespace {

// TableDef attributes of the engine's own tables.
constexpr std::uint32_t kSystemTableBits = static_cast<std::uint32_t>(dao::dbSystemObject);

bool UserTable(dao::TableDef& table) {
  return (static_cast<std::uint32_t>(table.Attributes()) & kSystemTableBits) == 0;
}

// The kind of an attached file: its name's extension (lower case, with the
// dot); only a name without one has its bytes recognised.
std::string AttachedFileKind(dao::Recordset& files, Recogniser& recogniser,
                             std::vector<std::byte>& bytes) {
  std::string kind = ExtensionOf(dao::VariantToText(files.Fields().Item("FileName").Value()));
  if (kind.size() > 1) {
    for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kind;
  }
  kind.clear();
  if (!files.Fields().Item("FileData").ReadBytesInto(bytes) || bytes.empty()) return kind;
  recogniser.Recognise(std::span<const std::byte>(bytes), kind, RecognitionOptions{});
  return kind;
}

// An attachment column's value: non-empty when at least one file is
// attached; the first values sampled give the kinds of their files.
void ReadAttachmentValue(dao::Field& field, ColumnMap& column, const MapOptions& options,
                         Recogniser& recogniser, std::vector<std::byte>& bytes) {
  std::unique_ptr<dao::Recordset> files = field.ChildRecordset();
  if (files->Eof()) return;
  ++column.nonEmpty;
  if (column.nonEmpty > options.sampledValues) return;
  for (; !files->Eof(); files->MoveNext())
    ++column.kinds[AttachedFileKind(*files, recogniser, bytes)];
}

// Walks the table once and fills the document columns' counts and kinds;
// returns the number of rows visited. An OLE value is what the engine gives
// as the field's bytes; an attachment value is the list of attached files.
std::int64_t ReadDocumentColumns(dao::Database& database, TableMap& table,
                                 const MapOptions& options, Recogniser& recogniser) {
  std::vector<std::size_t> documentColumns;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].document) documentColumns.push_back(i);
  }
  std::unique_ptr<dao::Recordset> rows = database.OpenRecordset(table.name, 0, dao::dbReadOnly);
  struct CloseRecordset {
    dao::Recordset& rows;
    ~CloseRecordset() {
      Quietly("the map is read; closing changes nothing", [&] { rows.Close(); });
    }
  } closing{*rows};

  std::vector<dao::Field*> fields;
  for (const std::size_t i : documentColumns)
    fields.push_back(&rows->Fields().Item(table.columns[i].name));

  std::vector<std::byte> value;
  std::int64_t visited = 0;
  while (!rows->Eof()) {
    ++visited;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      ColumnMap& column = table.columns[documentColumns[k]];
      try {
        if (column.typeNumber == dao::dbAttachment) {
          ReadAttachmentValue(*fields[k], column, options, recogniser, value);
          continue;
        }
        if (fields[k]->FieldSize() <= 0) continue;
        ++column.nonEmpty;
        if (column.nonEmpty > options.sampledValues) continue;
        if (!fields[k]->ReadBytesInto(value) || value.empty()) continue;
        std::string extension;
        recogniser.Recognise(std::span<const std::byte>(value), extension, RecognitionOptions{});
        ++column.kinds[extension];
      } catch (const dao::DataDamageError&) {
        ++column.damaged;
      }
    }
    rows->MoveNext();
  }
  return visited;
}

TableMap ReadTable(dao::Database& database, dao::TableDef& definition, const MapOptions& options,
                   Recogniser& recogniser) {
  TableMap table;
  table.name = definition.Name();
  try {
    dao::Collection<dao::Field>& fields = definition.Fields();
    const int count = fields.Count();
    for (int i = 0; i < count; ++i) {
      dao::Field& field = fields.Item(i);
      ColumnMap column;
      column.name = field.Name();
      column.typeNumber = field.Type();
      column.document = IsDocumentType(column.typeNumber);
      table.columns.push_back(std::move(column));
    }
    table.rows = definition.RecordCount();
    bool walk = table.rows < 0;
    if (options.documents) {
      for (const ColumnMap& column : table.columns) walk |= column.document;
    }
    if (walk) {
      const std::int64_t visited = ReadDocumentColumns(database, table, options, recogniser);
      if (table.rows < 0) table.rows = visited;
    }
  } catch (const std::exception& error) {
    table.error = error.what();
  }
  return table;
}

}  // namespace

bool DatabaseMap::Incomplete() const {
  if (!damage.empty()) return true;
  for (const TableMap& table : tables) {
    if (!table.error.empty()) return true;
    for (const ColumnMap& column : table.columns) {
      if (column.damaged > 0) return true;
    }
  }
  return false;
}

std::string TypeName(int typeNumber) {
  switch (typeNumber) {
    case dao::dbBoolean:
      return "Yes/No";
    case dao::dbByte:
      return "Byte";
    case dao::dbInteger:
      return "Integer";
    case dao::dbLong:
      return "Long Integer";
    case dao::dbCurrency:
      return "Currency";
    case dao::dbSingle:
      return "Single";
    case dao::dbDouble:
      return "Double";
    case dao::dbDate:
      return "Date/Time";
    case dao::dbBinary:
      return "Binary";
    case dao::dbText:
      return "Text";
    case dao::dbLongBinary:
      return "OLE Object";
    case dao::dbMemo:
      return "Memo";
    case dao::dbGUID:
      return "Replication ID";
    case dao::dbBigInt:
      return "Large Number";
    case dao::dbVarBinary:
      return "VarBinary";
    case dao::dbChar:
      return "Char";
    case dao::dbNumeric:
      return "Numeric";
    case dao::dbDecimal:
      return "Decimal";
    case dao::dbFloat:
      return "Float";
    case dao::dbTime:
      return "Time";
    case dao::dbTimeStamp:
      return "Time Stamp";
    case dao::dbAttachment:
      return "Attachment";
    case dao::dbComplexByte:
      return "Multi-value Byte";
    case dao::dbComplexInteger:
      return "Multi-value Integer";
    case dao::dbComplexLong:
      return "Multi-value Long Integer";
    case dao::dbComplexSingle:
      return "Multi-value Single";
    case dao::dbComplexDouble:
      return "Multi-value Double";
    case dao::dbComplexGUID:
      return "Multi-value Replication ID";
    case dao::dbComplexDecimal:
      return "Multi-value Decimal";
    case dao::dbComplexText:
      return "Multi-value Text";
    default:
      return {};
  }
}

bool IsDocumentType(int typeNumber) {
  return typeNumber == dao::dbLongBinary || typeNumber == dao::dbAttachment;
}

DatabaseMap ReadDatabaseMap(dao::Database& database, const MapOptions& options) {
  DatabaseMap map;
  map.file = database.Name();
  Recogniser recogniser;
  dao::Collection<dao::TableDef>& definitions = database.TableDefs();
  const int count = definitions.Count();
  for (int i = 0; i < count; ++i) {
    dao::TableDef& definition = definitions.Item(i);
    if (!UserTable(definition)) continue;
    map.tables.push_back(ReadTable(database, definition, options, recogniser));
  }
  map.damage = database.TakeDamageNotes();
  return map;
}

DatabaseMap MapDatabaseFile(TVxDaoDatabase& connection, const std::string& path,
                            const MapOptions& options) {
  // Shared and read-only: a map never changes the file and keeps nobody out.
  connection.F_Set_Exclusive(false);
  connection.F_Set_ReadOnly(true);
  connection.F_Set_DatabaseType("Access");
  connection.F_Set_Database(path);
  connection.F_Set_Connected(true);
  if (!connection.Connected() || connection.DatabaseObject() == nullptr)
    throw DatabaseError("The database " + path + " was not opened: the login was cancelled");
  struct Disconnect {
    TVxDaoDatabase& connection;
    ~Disconnect() {
      Quietly("the map is read; the file is given back either way",
              [&] { connection.F_Set_Connected(false); });
    }
  } disconnect{connection};
  DatabaseMap map = ReadDatabaseMap(*connection.DatabaseObject(), options);
  map.file = path;
  return map;
}

}  // namespace corvid
