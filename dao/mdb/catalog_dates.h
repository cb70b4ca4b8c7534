#pragma once
// Creation and last-change dates and ids of the file's objects, as the
// catalog (MSysObjects) records them; dates in the engine's date text
// "YYYY-MM-DD hh:mm:ss".

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dao/mdb/engine_context.h"

namespace corvid::dao {

class AccessFile;

struct ObjectDates {
  std::string created;
  std::string updated;
  std::int64_t id = 0;  // MSysObjects.Id (stored queries are found by it)
};

// By object name as stored; empty when the catalog cannot be read.
std::map<std::string, ObjectDates> ReadCatalogDates(const std::shared_ptr<AccessFile>& file,
                                                    const EngineContextPtr& context);

}  // namespace corvid::dao
