#pragma once
// Creating a DAO engine object from its ProgID ("DAO.DBEngine.120",
// "DAO.PrivateDBEngine.120", ...), as COM would: the ProgID must be
// registered under HKCR of the current configuration store and name an
// engine class this program has.

#include <memory>
#include <string>
#include <string_view>

#include "dao/engine/db_engine.h"

namespace corvid::dao {

class ConfigurationStore;

// Raises EngineError when the ProgID is not registered ("Invalid class
// string") or names no engine class here ("Class not registered").
std::unique_ptr<DBEngine> CreateEngineObject(std::string_view progId);
std::unique_ptr<DBEngine> CreateEngineObject(const ConfigurationStore& store,
                                             std::string_view progId);

}  // namespace corvid::dao
