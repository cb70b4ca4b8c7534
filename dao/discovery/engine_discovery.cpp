#include "dao/discovery/engine_discovery.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "dao/discovery/configuration_store.h"
#include "dao/discovery/engine_factory.h"

namespace corvid::dao {
namespace {

struct EngineVersionRow {
  std::string_view version;
  std::string_view publicProgId;
  std::string_view privateProgId;
  std::string_view settingsRoot;  // under HKLM
};

constexpr std::array<EngineVersionRow, 3> kEngineTable{{
    {"3.5", "DAO.DBEngine.35", "DAO.PrivateDBEngine.35", "SOFTWARE\\Microsoft\\JET\\3.5"},
    {"3.6", "DAO.DBEngine.36", "DAO.PrivateDBEngine.36", "SOFTWARE\\Microsoft\\JET\\4.0"},
    {"12.0", "DAO.DBEngine.120", "DAO.PrivateDBEngine.120",
     "SOFTWARE\\Microsoft\\Office\\12.0\\Access Connectivity Engine"},
}};

// The row of a version text; an unknown version uses 3.5's keys.
const EngineVersionRow& RowOrFirst(std::string_view version) {
  for (const auto& row : kEngineTable)
    if (row.version == version) return row;
  return kEngineTable.front();
}

constexpr std::string_view kOdbcDriversKey = "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";
constexpr std::string_view kDataSourcesKey = "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources";
constexpr std::string_view kDsnKeyPrefix = "SOFTWARE\\ODBC\\ODBC.INI\\";

// Closes the probed file on every path.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string EngineProgId(std::string_view version, bool privateEngine) {
  for (const auto& row : kEngineTable)
    if (row.version == version)
      return std::string(privateEngine ? row.privateProgId : row.publicProgId);
  return {};
}

std::vector<std::string> DetectEngineVersions(const ConfigurationStore& store, bool privateEngine) {
  std::vector<std::string> versions;
  for (const auto& row : kEngineTable) {
    std::string_view progId = privateEngine ? row.privateProgId : row.publicProgId;
    if (!store.KeyExists(Hive::ClassesRoot, progId)) continue;
    try {
      CreateEngineObject(store, progId).reset();  // released at once
      versions.emplace_back(row.version);
    } catch (const std::exception&) {
      // an engine that cannot be created only drops its version
    }
  }
  return versions;
}

CreatedEngine CreateEngine(const ConfigurationStore& store, std::string_view wanted,
                           bool privateEngine) {
  auto first = std::find_if(kEngineTable.begin(), kEngineTable.end(),
                            [&](const EngineVersionRow& row) { return row.version == wanted; });
  if (first == kEngineTable.end()) return {};  // names no version: nothing, no error
  for (auto row = first; row != kEngineTable.end(); ++row) {
    try {
      auto engine =
          CreateEngineObject(store, privateEngine ? row->privateProgId : row->publicProgId);
      return CreatedEngine{std::move(engine), std::string(row->version)};
    } catch (const std::exception&) {
      // try the next newer version
    }
  }
  throw DatabaseError("You does not have Microsoft DAO installed ot it is an OLD Version!");
}

void DetectMdbVersion(std::string_view path, std::string_view databaseType,
                      const std::vector<std::string>& engineVersions, bool usesDynaDao,
                      std::string& version) {
  if (databaseType != "Access") return;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(std::string(path).c_str(), "rb"));
  if (!file) return;
  std::array<unsigned char, 160> header{};
  if (std::fread(header.data(), 1, header.size(), file.get()) != header.size()) return;
  if (std::find(engineVersions.begin(), engineVersions.end(), "3.5") != engineVersions.end())
    version = "3.5";
  const bool version4Marker = header[156] == '4' && header[157] == '.';
  if (version4Marker && version == "3.5" && usesDynaDao) version = "3.6";
  const bool ace = header[13] == 'A' && header[14] == 'C' && header[15] == 'E';
  if (version4Marker && ace && (version == "3.5" || version == "3.6") && usesDynaDao)
    version = "12.0";
}

std::string DefaultSystemDatabase(const ConfigurationStore& store, std::string_view version) {
  std::string key = std::string(RowOrFirst(version).settingsRoot) + "\\Engines";
  if (!store.KeyExists(Hive::LocalMachine, key)) return {};
  return store.ReadText(Hive::LocalMachine, key, "SystemDB");
}

void ReadDatabaseTypes(const ConfigurationStore& store, std::string_view version,
                       std::vector<std::string>& databaseTypes) {
  std::string key = std::string(RowOrFirst(version).settingsRoot) + "\\ISAM Formats";
  if (store.KeyExists(Hive::LocalMachine, key))
    databaseTypes = store.SubkeyNames(Hive::LocalMachine, key);
  databaseTypes.insert(databaseTypes.begin(), "ODBC");
  databaseTypes.insert(databaseTypes.begin(), "Access");
}

void ReadOdbcDrivers(const ConfigurationStore& store, std::vector<std::string>& odbcDrivers) {
  if (store.KeyExists(Hive::LocalMachine, kOdbcDriversKey))
    odbcDrivers = store.ValueNames(Hive::LocalMachine, kOdbcDriversKey);
}

void ReadSystemDsns(const ConfigurationStore& store, std::vector<std::string>& systemDsns) {
  systemDsns.clear();
  if (store.KeyExists(Hive::LocalMachine, kDataSourcesKey))
    systemDsns = store.ValueNames(Hive::LocalMachine, kDataSourcesKey);
}

void ReadUserDsns(const ConfigurationStore& store, std::vector<std::string>& userDsns) {
  userDsns.clear();
  if (store.KeyExists(Hive::CurrentUser, kDataSourcesKey))
    userDsns = store.ValueNames(Hive::CurrentUser, kDataSourcesKey);
}

std::string ReadDsnFile(const ConfigurationStore& store, std::string_view dsn, bool machineWide) {
  Hive hive = machineWide ? Hive::LocalMachine : Hive::CurrentUser;
  std::string key = std::string(kDsnKeyPrefix) + std::string(dsn);
  if (!store.KeyExists(hive, key)) return {};
  return store.ReadText(hive, key, "DBQ");
}

void BuildDsnFiles(const ConfigurationStore& store, const std::vector<std::string>& userDsns,
                   const std::vector<std::string>& systemDsns, std::vector<std::string>& dsnFiles) {
  dsnFiles.clear();
  for (const std::string& dsn : userDsns)
    if (std::string file = ReadDsnFile(store, dsn, false); !file.empty())
      dsnFiles.push_back(dsn + "=" + file);
  for (const std::string& dsn : systemDsns)
    if (std::string file = ReadDsnFile(store, dsn, true); !file.empty())
      dsnFiles.push_back(dsn + "=" + file);
}

std::string VersionInfoFor(std::string_view versionDetails, std::string_view current) {
  if (versionDetails.starts_with("3.5")) return "(In Access'97 mode)";
  if (versionDetails.starts_with("3.6")) return "(In Access'2000 mode)";
  if (versionDetails.starts_with("12.0")) return "(In Access'2007 mode)";
  return std::string(current);
}

}  // namespace corvid::dao
