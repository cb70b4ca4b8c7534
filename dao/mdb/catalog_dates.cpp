#include "dao/mdb/catalog_dates.h"

#include "dao/engine/variant.h"
#include "dao/mdb/mdb_file.h"
#include "dao/mdb/mdb_values.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {

std::map<std::string, ObjectDates> ReadCatalogDates(const std::shared_ptr<AccessFile>& file,
                                                    const EngineContextPtr& context) {
  std::map<std::string, ObjectDates> dates;
  MdbCatalogEntry* catalog = mdb_get_catalogentry_by_name(file->handle(), "MSysObjects");
  if (!catalog) return dates;
  try {
    TableRows rows(file, catalog, context);
    int name = -1, created = -1, updated = -1, id = -1;
    for (int i = 0; i < rows.columnCount(); ++i) {
      std::string column = rows.column(i).name;
      if (column == "Name")
        name = i;
      else if (column == "DateCreate")
        created = i;
      else if (column == "DateUpdate")
        updated = i;
      else if (column == "Id")
        id = i;
    }
    if (name < 0 || created < 0 || updated < 0 || id < 0) return dates;
    for (std::int32_t row = 0; rows.Has(row); ++row) {
      auto text = [&](int column) {
        const auto& fields = rows.Crack(row);
        return VariantToText(
            DecodeValue(*file, rows.column(column), fields[static_cast<std::size_t>(column)]));
      };
      std::string objectName = text(name);
      const auto& fields = rows.Crack(row);
      Variant idValue = DecodeValue(*file, rows.column(id), fields[static_cast<std::size_t>(id)]);
      ObjectDates entry{
          text(created), text(updated),
          std::holds_alternative<std::int64_t>(idValue) ? std::get<std::int64_t>(idValue) : 0};
      dates.emplace(std::move(objectName), std::move(entry));
    }
  } catch (const std::exception&) {
    // dates are informative: a catalog that cannot be read gives none
  }
  return dates;
}

}  // namespace corvid::dao
