#pragma once
// A map of what a database holds: every user table with its row count and
// columns, and for the columns that can hold documents (OLE Object, long
// binary, Attachment) how many values are filled and what kinds of document
// the first of them are. Read through the DAO-shaped engine, so it works over
// every engine behind it.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvid {

namespace dao {
class Database;
}
class TVxDaoDatabase;

struct ColumnMap {
  std::string name;
  int typeNumber = 0;  // DAO Field.Type
  bool document = false;
  // Document columns only:
  std::int64_t nonEmpty = 0;
  // Extension (".bmp", ".dmp" for an unknown kind) → how many of the sampled
  // values recognition gave it.
  std::map<std::string, std::int64_t> kinds;
  // Values that could not be read because the file is damaged there.
  std::int64_t damaged = 0;
};

struct TableMap {
  std::string name;
  std::int64_t rows = 0;
  std::vector<ColumnMap> columns;
  // Why the table (or part of it) could not be read; empty when it could.
  std::string error;
};

struct DatabaseMap {
  std::string file;
  std::vector<TableMap> tables;
  // Damage the engine met while the map was read: one line per damaged page
  // or record.
  std::vector<std::string> damage;

  // Whether anything could not be read (a table error, a damaged value, a
  // damage note).
  bool Incomplete() const;
};

struct MapOptions {
  // Read the values of the document columns (false: names and counts only,
  // the quick map the window's completion lists need).
  bool documents = true;
  // How many non-empty values of a document column are shown to recognition.
  std::int64_t sampledValues = 100;
};

// The display name of a DAO type number ("OLE Object", "Long Integer"), or
// an empty text for a number the engine does not define.
std::string TypeName(int typeNumber);

// Whether a column of this type can hold documents.
bool IsDocumentType(int typeNumber);

// Maps an open database. A table that cannot be read is kept with its error
// and the map goes on; damaged values are counted per column.
DatabaseMap ReadDatabaseMap(dao::Database& database, const MapOptions& options = {});

// Opens `path` read-only and shared on the connection (with its login rules),
// maps it and disconnects again, also when reading fails. Throws the
// connection's error when the file cannot be opened as a database.
DatabaseMap MapDatabaseFile(TVxDaoDatabase& connection, const std::string& path,
                            const MapOptions& options = {});

}  // namespace corvid
