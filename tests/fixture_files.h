// Paths of the real Access files and OLE samples that the tests read. The
// build passes their folder (tests/fixtures of the source tree) as
// CORVID_FIXTURES_DIR, so a test finds them wherever it runs from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvid::testing_fixtures {

inline std::string FixturePath(std::string_view relative) {
  std::string path = CORVID_FIXTURES_DIR;
  path += '/';
  path.append(relative);
  return path;
}

// The folder of the Access files, ending in "/".
inline std::string MdbFixtureDir() { return FixturePath("mdb/"); }

// The Access files of the folder that open without a password and hold only
// column types every reader of this project knows, for tests that walk every
// table of every file. Files with a database password, encoded or encrypted
// pages, attachment, multi-value or Large Number columns are left out: tests
// of those features name them.
inline std::vector<std::string> PlainMdbFixtures() {
  std::vector<std::string> files;
  for (const char* name :
       {"indexTestV2003.mdb", "nwind.mdb", "queryTestV2003.mdb", "test2V2000.mdb",
        "testUnicodeCompV2003.mdb", "testV2003.mdb", "testV2010.accdb"})
    files.push_back(MdbFixtureDir() + name);
  return files;
}

}  // namespace corvid::testing_fixtures
