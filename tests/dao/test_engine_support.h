#pragma once
// Helpers of the engine tests: open fixtures through the engine, run the
// mdbtools command-line programs for reference answers, checksum files.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dao/discovery/engine_factory.h"
#include "dao/engine/database.h"
#include "dao/engine/db_engine.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/workspace.h"
#include "tests/fixture_files.h"

namespace corvid::dao::testing {

inline const std::string kFixtures = corvid::testing_fixtures::MdbFixtureDir();

inline std::vector<std::string> FixtureFiles() {
  return corvid::testing_fixtures::PlainMdbFixtures();
}

// Shell-quotes one argument (for bash).
inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Standard output of a shell command (stderr discarded).
inline std::string RunCommand(const std::string& command) {
  std::string output;
  std::string line = "bash -c " + Quote(command) + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(line.c_str(), "r"), ::pclose);
  if (!pipe) return output;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) output.append(buffer, got);
  return output;
}

// `size` bytes of a repeatable pseudo-random pattern (`salt` picks which).
inline Bytes Pattern(std::size_t size, unsigned salt) {
  std::mt19937 random(salt);
  Bytes bytes(size);
  for (auto& b : bytes) b = std::byte(random() & 0xFF);
  return bytes;
}

inline std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    auto at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) break;
    start = at + separator.size();
  }
  return parts;
}

// `mdb-tables -1` of a file (user tables, catalog order).
inline std::vector<std::string> MdbTables(const std::string& file) {
  std::vector<std::string> names;
  for (auto& line : Split(RunCommand("mdb-tables -1 " + Quote(file)), "\n"))
    if (!line.empty()) names.push_back(line);
  return names;
}

// The rows of `mdb-export`, with separators no value of the fixtures holds,
// NULL as "\x01NULL", binary as hex, dates as "YYYY-MM-DD hh:mm:ss".
inline std::vector<std::vector<std::string>> MdbExport(const std::string& file,
                                                       const std::string& table) {
  std::string out = RunCommand(
      "mdb-export -H -Q -d $'\\x1f<F>\\x1f' -R $'\\x1e<R>\\x1e' -0 $'\\x01NULL' -b hex "
      "-D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " +
      Quote(file) + " " + Quote(table));
  std::vector<std::vector<std::string>> rows;
  for (auto& row : Split(out, "\x1e<R>\x1e"))
    if (!row.empty()) rows.push_back(Split(row, "\x1f<F>\x1f"));
  return rows;
}

inline std::string Sha256(const std::string& file) {
  auto out = RunCommand("sha256sum " + Quote(file));
  return out.substr(0, 64);
}

// A fresh engine and workspace as the connection makes them.
struct EngineSession {
  std::unique_ptr<DBEngine> engine = CreateEngineObject("DAO.DBEngine.120");
  std::shared_ptr<Workspace> workspace = engine->CreateWorkspace("DaoWorkspace", "Admin", "", 2);

  std::shared_ptr<Database> Open(const std::string& path, bool exclusive = false,
                                 const std::string& password = "") {
    return workspace->OpenDatabase(path, exclusive ? -1 : 0, false,
                                   ";UID=Admin;PWD=" + password + ";");
  }
};

// A scratch directory removed at the end of the test.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char pattern[] = "/tmp/corvid-engine-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

inline std::vector<char> ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& file, const std::vector<char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace corvid::dao::testing
