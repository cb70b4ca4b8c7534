#include "dao/mdb/catalog_dates.h"

#include "dao/engine/variant.h"
#include "dao/mdb/mdb_file.h"

namespace corvid::dao {

std::map<std::string, ObjectDates> ReadCatalogDates(const std::shared_ptr<AccessFile>& file,
                                                    const EngineContextPtr&) {
  std::map<std::string, ObjectDates> dates;
  auto text = [](const std::optional<double>& days) {
    return days ? VariantToText(Date{*days}) : std::string();
  };
  for (const jet::reader::CatalogEntry& entry : file->catalog())
    dates.emplace(entry.name, ObjectDates{text(entry.created), text(entry.updated), entry.id});
  return dates;
}

}  // namespace corvid::dao
