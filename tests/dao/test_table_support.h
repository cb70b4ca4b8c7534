#pragma once
// Helpers of the table, blob-stream and end-to-end tests: a connected
// database and read-only table on a file, a quiet run host, writer-made
// databases in a scratch directory.

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/dao_table.h"
#include "dao/run_ports.h"
#include "engine/extraction_run.h"
#include "tools/mdbwriter/mdb_writer.h"

namespace corvid::testing_support {

inline const std::string kFixtures = "../shared/fixtures/mdb/";

// A scratch directory removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("corvid-table-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
  static inline int counter_ = 0;
};

// A connected database and a table configured as the main window's.
struct OpenDatabase {
  explicit OpenDatabase(const std::string& path) {
    database.F_Set_DatabaseType("Access");
    database.F_Set_Database(path);
    database.F_Set_Connected(true);
    table.F_Set_Database(&database);
    table.F_Set_TableType(2);
    table.F_Set_LockType(3);
    table.F_Set_ReadOnly(true);
  }
  ~OpenDatabase() {
    try {
      table.SetActive(false);
      database.F_Set_Connected(false);
    } catch (...) {
    }
  }
  TVxDaoDatabase database;
  TVxDaoTable table;
};

class RecordingHost : public RunHost {
 public:
  RunInputs inputs;
  std::vector<std::string> log;
  std::string status;
  RunInputs Inputs() const override { return inputs; }
  void AddLogLine(std::string_view line) override { log.emplace_back(line); }
  void ShowStatus(std::string_view text, Colour) override { status = std::string(text); }
  void SetBusyCursor(bool) override {}
  void ProcessMessages() override {}
  std::string ProductName() const override { return "Corvid"; }
  std::string FileVersion() const override { return "1.0"; }
};

// RunExtraction on the real connection and table, as the window drives it.
inline RunReport RunOnRealComponents(RecordingHost& host) {
  TVxDaoDatabase database;
  TVxDaoTable table;
  table.F_Set_Database(&database);
  table.F_Set_TableType(2);
  table.F_Set_LockType(3);
  table.F_Set_ReadOnly(true);
  DaoDatabaseConnection connection(database);
  DaoRecordTable records(table);
  return RunExtraction(host, connection, records);
}

inline std::vector<std::byte> ReadFileBytes(const std::filesystem::path& path) {
  std::vector<std::byte> bytes(std::filesystem::file_size(path));
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f) {
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
  }
  return bytes;
}

inline std::vector<std::byte> BytesOf(std::string_view text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return {p, p + text.size()};
}

}  // namespace corvid::testing_support
