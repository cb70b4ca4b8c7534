#pragma once
// A DAO TableDef and its Index objects.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/collection.h"
#include "dao/engine/field.h"
#include "dao/engine/properties.h"

namespace corvid::dao {

class Index {
 public:
  virtual ~Index() = default;
  virtual std::string Name() const = 0;
  virtual bool Primary() const = 0;
  virtual bool Unique() const = 0;
  virtual bool Foreign() const = 0;
  // Names of the index's fields in key order; a leading "-" marks descending.
  virtual std::vector<std::string> FieldNames() const = 0;

  // Shaping a new index (one from TableDef::CreateIndex, before it is
  // appended to Indexes). The read-only engine raises 3027.
  virtual void SetPrimary(bool value) = 0;
  virtual void SetUnique(bool value) = 0;
  // Appends a key field; dbDescending in `attributes` makes it descend.
  virtual void AppendField(std::string_view name, std::int32_t attributes) = 0;
};

// Attributes bit of an index field that descends.
inline constexpr std::int32_t dbDescending = 0x1;

class Indexes : public Collection<Index> {
 public:
  // Changing indexes writes to the database: raises 3027.
  virtual void Delete(std::string_view name) = 0;
  virtual void Append(Index& index) = 0;
};

class TableDef {
 public:
  virtual ~TableDef() = default;
  virtual std::string Name() const = 0;
  // dbSystemObject bits for the engine's own tables, dbAttachedTable for links.
  virtual std::int32_t Attributes() const = 0;
  // Rows in the table as the file records them (-1 when unknown).
  virtual std::int32_t RecordCount() = 0;
  virtual std::string DateCreated() = 0;
  virtual std::string LastUpdated() = 0;
  virtual Collection<Field>& Fields() = 0;
  virtual Indexes& TableIndexes() = 0;
  virtual const Properties& TableProperties() const = 0;
  // Raise 3027 (read-only engine).
  virtual Field& CreateField(std::string_view name, int type, int size) = 0;
  virtual Index& CreateIndex(std::string_view name) = 0;
};

}  // namespace corvid::dao
