// Paths of the real Access files and OLE samples that the tests read. The
// build passes their folder (tests/fixtures of the source tree) as
// CORVID_FIXTURES_DIR, so a test finds them wherever it runs from.
#pragma once

#include <string>
#include <string_view>

namespace corvid::testing_fixtures {

inline std::string FixturePath(std::string_view relative) {
  std::string path = CORVID_FIXTURES_DIR;
  path += '/';
  path.append(relative);
  return path;
}

// The folder of the Access files, ending in "/".
inline std::string MdbFixtureDir() { return FixturePath("mdb/"); }

}  // namespace corvid::testing_fixtures
