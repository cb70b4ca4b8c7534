#pragma once
// Helpers of the table, blob-stream and end-to-end tests: a connected
// database and read-only table on a file, a quiet run host, writer-made
// databases in a scratch directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/run_ports.h"
#include "engine/extraction_run.h"
#include "jet/mdb_writer.h"
#include "tests/fixture_files.h"

namespace corvid::testing_support {

inline const std::string kFixtures = corvid::testing_fixtures::MdbFixtureDir();

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

// The text of what `action` raises, or "(nothing raised)".
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

inline std::vector<std::byte> BytesOf(std::string_view text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return {p, p + text.size()};
}

}  // namespace corvid::testing_support

namespace corvid::testing_support {

// Bytes 0, 1, 2 ... (mod 251) of a given length: no run repeats at page size.
inline std::vector<std::byte> PatternBytes(std::size_t length, unsigned salt = 0) {
  std::vector<std::byte> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::byte>((i + salt) % 251);
  return bytes;
}

// The GUID {12345678-9ABC-DEF0-0123-456789ABCDEF} in storage order.
inline jet::Guid SampleGuid() {
  return {{0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD,
           0xEF}};
}

// "Things": one column of every kind, three records (all values; NULLs;
// empty texts and blobs); "Empty": no records; "Blobs": OLE values of 10,
// 10,000 bytes and 10 MB and a NULL.
inline std::string MakeThingsDatabase(const ScratchDir& dir,
                                      jet::JetFormat format = jet::JetFormat::Jet4) {
  using namespace jet;
  const std::string path = dir / "things.mdb";
  MdbWriter writer(path, WriterOptions{format});
  auto& things = writer.AddTable({"Things",
                                  {{"ID", ColumnType::AutoNumber},
                                   {"Name", ColumnType::Text, 50},
                                   {"Notes", ColumnType::Memo},
                                   {"Pic", ColumnType::OleObject},
                                   {"Count", ColumnType::Long},
                                   {"Flag", ColumnType::YesNo},
                                   {"When", ColumnType::DateTime},
                                   {"Uid", ColumnType::Guid},
                                   {"Price", ColumnType::Currency},
                                   {"Ratio", ColumnType::Double},
                                   {"Raw", ColumnType::Binary, 8},
                                   {"Small", ColumnType::Integer}}});
  const auto pic = PatternBytes(1234);
  things.AddRow({Null, std::string("alpha"), std::string("Käse\r\nline two"), Bytes(pic),
                 std::int64_t{42}, true, Date{36925.5}, SampleGuid(), Currency{125000}, 0.1,
                 Bytes{std::byte{'r'}, std::byte{0}, std::byte{'w'}}, std::int64_t{-7}});
  things.AddRow({Null, Null, Null, Null, Null, false, Null, Null, Null, Null, Null, Null});
  things.AddRow({Null, std::string(), std::string(), Bytes{}, std::int64_t{0}, false, Date{36925.0},
                 Null, Currency{0}, -2.5, Bytes{}, std::int64_t{0}});
  writer.AddTable({"Empty", {{"ID", ColumnType::Long}, {"Pic", ColumnType::OleObject}}});
  auto& blobs = writer.AddTable(
      {"Blobs",
       {{"id", ColumnType::Long}, {"img", ColumnType::OleObject}, {"memo", ColumnType::Memo}}});
  blobs.AddRow({std::int64_t{1}, Bytes(PatternBytes(10)), std::string("short")});
  blobs.AddRow({std::int64_t{2}, Bytes(PatternBytes(10000, 7)), Null});
  blobs.AddRow({std::int64_t{3}, Null, std::string(70000, 'm')});
  blobs.AddRow({std::int64_t{4}, Bytes(PatternBytes(10 * 1000 * 1000, 3)), std::string("last")});
  writer.Finish();
  return path;
}

}  // namespace corvid::testing_support

namespace corvid::testing_support {

// Zeroes four pages in the middle of the file: in the things database they
// belong to the 10 MB value, whose page chain then breaks.
inline void DamageMiddlePages(const std::string& path) {
  const auto size = std::filesystem::file_size(path);
  FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  std::vector<char> zero(4 * 4096, 0);
  std::fseek(f, static_cast<long>(size / 4096 / 2 * 4096), SEEK_SET);
  std::fwrite(zero.data(), 1, zero.size(), f);
  std::fclose(f);
}

// Tests over one database per suite, made once by `Maker::Make(dir)` in a
// scratch directory.
template <class Maker>
class OnMadeDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir;
    path_ = Maker::Make(*dir_);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Path() { return path_; }

  static inline ScratchDir* dir_ = nullptr;
  static inline std::string path_;
};

struct ThingsDatabase {
  static std::string Make(const ScratchDir& dir) { return MakeThingsDatabase(dir); }
};

}  // namespace corvid::testing_support
