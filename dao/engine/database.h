#pragma once
// A DAO Database: an open Access file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/collection.h"
#include "dao/engine/properties.h"
#include "dao/engine/querydef.h"
#include "dao/engine/recordset.h"
#include "dao/engine/tabledef.h"

namespace corvid::dao {

class Database {
 public:
  virtual ~Database() = default;

  // The file's path as given to OpenDatabase.
  virtual std::string Name() const = 0;
  // "3.0" Jet 3, "4.0" Jet 4, "12.0", "14.0" ... ACE.
  virtual std::string Version() const = 0;
  // Collating order (1033 General, 1053 Swedish/Finnish, ...; 1024 Neutral).
  virtual std::int32_t CollatingOrder() const = 0;
  virtual std::string Connect() const = 0;
  // False: the engine never changes table or query definitions (rows can
  // change through recordsets; see Recordset::Updatable).
  virtual bool Updatable() const = 0;
  virtual std::int32_t QueryTimeout() const = 0;
  virtual void SetQueryTimeout(std::int32_t seconds) = 0;
  virtual std::int32_t RecordsAffected() const = 0;

  // Source: a table name (letter case ignored), a stored query's name, or
  // SQL text of the shape "Select * From <table> [Where ...] [Order By ...]"
  // (other SQL raises 3251 naming it); an unknown name is 3078. `type` is a
  // RecordsetType (0 = the default: table for local tables, dynaset for
  // queries and SQL); `options` a sum of the db... option bits (dbReadOnly
  // and dbAppendOnly are honoured); `lockEdits` as given.
  virtual std::unique_ptr<Recordset> OpenRecordset(std::string_view source, int type = 0,
                                                   int options = 0, int lockEdits = 0) = 0;
  // Raises 3027: the engine does not change query definitions.
  virtual QueryDef& CreateQueryDef(std::string_view name, std::string_view sql) = 0;

  virtual Collection<TableDef>& TableDefs() = 0;
  virtual Collection<QueryDef>& QueryDefs() = 0;
  virtual Collection<NamedObject>& Containers() = 0;
  virtual Collection<NamedObject>& Relations() = 0;
  // Open recordsets of this database (by their Name).
  virtual Collection<Recordset>& Recordsets() = 0;
  virtual Properties& DatabaseProperties() = 0;

  // Damage met while reading since the last call: one line per damaged page
  // or record (table, page, row, field and the problem), in the order found.
  // A clear file gives none.
  virtual std::vector<std::string> TakeDamageNotes() { return {}; }

  // Releases the file and its lock. Recordsets still open are closed first;
  // destroying the last reference to an open database closes it the same way.
  virtual void Close() = 0;
};

}  // namespace corvid::dao
