#pragma once
// Engine discovery and configuration look-ups of the connection component:
// installed engine versions, engine creation with fall-back to newer
// versions, the file-header version probe, and the registry look-ups of
// system database, ISAM formats, ODBC drivers and data sources. They work on
// the values the connection passes in and never raise unless stated.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/database_error.h"
#include "dao/engine/db_engine.h"

namespace corvid::dao {

class ConfigurationStore;

// Engine versions in probing (and fall-back) order.
inline constexpr std::string_view kEngineVersions[] = {"3.5", "3.6", "12.0"};

// "DAO.DBEngine.35" / "DAO.PrivateDBEngine.35" ...; "" for an unknown version.
std::string EngineProgId(std::string_view version, bool privateEngine);

// Versions whose ProgID is registered and whose engine can be created (each
// created engine is released at once), oldest first.
std::vector<std::string> DetectEngineVersions(const ConfigurationStore& store, bool privateEngine);

struct CreatedEngine {
  std::unique_ptr<DBEngine> engine;  // null when `wanted` names no version
  std::string version;               // the version actually created
};
// Tries `wanted` and its newer fall-backs in order. An unknown version text
// gives an empty result and no error; when every candidate fails raises
// DatabaseError "You does not have Microsoft DAO installed ot it is an OLD Version!".
CreatedEngine CreateEngine(const ConfigurationStore& store, std::string_view wanted,
                           bool privateEngine);

// The file-header probe: may change `version` (see the connection's
// MdbVersionAutoDetect). Only for `databaseType` exactly "Access"; a file
// that can't be read or is shorter than 160 bytes changes nothing. Never raises.
void DetectMdbVersion(std::string_view path, std::string_view databaseType,
                      const std::vector<std::string>& engineVersions, bool usesDynaDao,
                      std::string& version);

// "SystemDB" of the Engines key of `version` (3.5's key for an unknown version).
std::string DefaultSystemDatabase(const ConfigurationStore& store, std::string_view version);

// Fills `databaseTypes` from the ISAM Formats key of `version` (kept when the
// key is absent), then puts "ODBC" and "Access" in front.
void ReadDatabaseTypes(const ConfigurationStore& store, std::string_view version,
                       std::vector<std::string>& databaseTypes);
// Cleared and filled only when the ODBC Drivers key exists.
void ReadOdbcDrivers(const ConfigurationStore& store, std::vector<std::string>& odbcDrivers);
// Cleared, then filled from the data-sources key of HKLM / HKCU.
void ReadSystemDsns(const ConfigurationStore& store, std::vector<std::string>& systemDsns);
void ReadUserDsns(const ConfigurationStore& store, std::vector<std::string>& userDsns);
// "DBQ" of the data source (HKLM when `machineWide`, else HKCU); "" when absent.
std::string ReadDsnFile(const ConfigurationStore& store, std::string_view dsn, bool machineWide);
// Cleared; "name=path" lines for user data sources, then machine ones.
void BuildDsnFiles(const ConfigurationStore& store, const std::vector<std::string>& userDsns,
                   const std::vector<std::string>& systemDsns, std::vector<std::string>& dsnFiles);

// "(In Access'97 mode)" for "3.5...", "(In Access'2000 mode)" for "3.6...",
// "(In Access'2007 mode)" for "12.0..."; otherwise `current` unchanged.
std::string VersionInfoFor(std::string_view versionDetails, std::string_view current);

}  // namespace corvid::dao
