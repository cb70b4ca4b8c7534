#pragma once
// TableDefs of the Jet engine: name and attributes from the catalog; the
// definition (fields, indexes, row count) is read when first asked for.

#include <memory>
#include <string>

#include "dao/engine/tabledef.h"
#include "dao/mdb/catalog_dates.h"
#include "dao/mdb/mdb_field.h"
#include "dao/mdb/object_list.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {

class JetTableDef : public TableDef {
 public:
  JetTableDef(std::shared_ptr<AccessFile> file, const jet::reader::CatalogEntry& entry,
              EngineContextPtr context, ObjectDates dates = {});

  std::string Name() const override { return name_; }
  std::int32_t Attributes() const override { return attributes_; }
  std::int32_t RecordCount() override;
  std::string DateCreated() override { return dates_.created; }
  std::string LastUpdated() override { return dates_.updated; }
  Collection<Field>& Fields() override;
  Indexes& TableIndexes() override;
  const Properties& TableProperties() const override;
  Field& CreateField(std::string_view name, int type, int size) override;
  Index& CreateIndex(std::string_view name) override;

  const jet::reader::CatalogEntry& entry() const { return entry_; }

 private:
  TableRows& Definition() const;

  std::shared_ptr<AccessFile> file_;
  jet::reader::CatalogEntry entry_;
  EngineContextPtr context_;
  std::string name_;
  std::int32_t attributes_;
  ObjectDates dates_;
  mutable std::shared_ptr<TableRows> definition_;
  std::unique_ptr<ObjectList<Field, MdbColumnField>> fields_;
  std::unique_ptr<Indexes> indexes_;
};

}  // namespace corvid::dao
