#include "dao/discovery/engine_factory.h"

#include "dao/discovery/configuration_store.h"
#include "dao/engine/engine_error.h"
#include "dao/mdb/mdb_engine.h"

namespace corvid::dao {
namespace {
constexpr int kInvalidClassString = -2147221005;  // 0x800401F3
constexpr int kClassNotRegistered = -2147221164;  // 0x80040154
}  // namespace

std::unique_ptr<DBEngine> CreateEngineObject(const ConfigurationStore& store,
                                             std::string_view progId) {
  if (progId.empty() || !store.KeyExists(Hive::ClassesRoot, progId))
    throw EngineError(kInvalidClassString,
                      "Invalid class string: '" + std::string(progId) + "' is not registered.",
                      "COM");
  if (store.ReadText(Hive::ClassesRoot, progId, "Engine") != kLibmdbEngineClass)
    throw EngineError(
        kClassNotRegistered,
        "Class not registered: no engine here implements '" + std::string(progId) + "'.", "COM");
  std::string version = store.ReadText(Hive::ClassesRoot, progId, "Version");
  return std::make_unique<JetEngine>(version.empty() ? "12.0" : version);
}

std::unique_ptr<DBEngine> CreateEngineObject(std::string_view progId) {
  return CreateEngineObject(CurrentConfigurationStore(), progId);
}

}  // namespace corvid::dao
