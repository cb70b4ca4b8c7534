// Fixture databases of the reader tests: the real files, and files the
// writer makes (Jet 3 and Jet 4, every column type it knows, long values
// stored inline, in one LVAL row and in chains).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/fixture_files.h"

namespace corvid::jet::reader::testing {

inline const std::string kFixtures = corvid::testing_fixtures::MdbFixtureDir();

std::vector<std::string> RealFixtureFiles();

// Files that are Office-encrypted: libmdb cannot read them; the reader
// needs their password.
bool IsOfficeEncryptedFixture(const std::string& path);

// A scratch directory removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

 private:
  std::filesystem::path dir_;
};

// Writes the all-types database in `jet3` or Jet 4 form to `path`; its
// table "Everything" has `rows` rows, "Longs" holds long values of every
// layout and "Wide" rows longer than 256 bytes.
void WriteAllTypesDatabase(const std::string& path, bool jet3);

// A Jet 4 file whose table "Rows" has pages spread over more of the file
// than an inline usage map covers (its map refers to bitmap pages), between
// the chained OLE values of table "Blobs".
void WriteSpreadDatabase(const std::string& path);

// The whole file.
std::vector<std::byte> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::byte>& bytes);

}  // namespace corvid::jet::reader::testing
