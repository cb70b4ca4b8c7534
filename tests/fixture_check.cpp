// Linked into every test program that opens the real fixtures: before the
// first test it checks that each file the fixtures README lists is present,
// so a clone without them fails with the missing file's name instead of a
// test crashing on an empty read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/fixture_files.h"

namespace {

// The README's tables name each file in the first column, in backquotes:
// "| `nwind.mdb` | Jet 3 ...". The sub-folder comes from the heading above
// the table ("## mdb/").
std::vector<std::string> ListedFixtures(const std::string& readme) {
  std::ifstream in(readme);
  std::vector<std::string> files;
  std::string folder;
  std::string line;
  const std::regex heading(R"(^##\s+(\w+)/\s*$)");
  const std::regex row(R"(^\|\s*`([^`]+)`\s*\|)");
  std::smatch match;
  while (std::getline(in, line)) {
    if (std::regex_match(line, match, heading))
      folder = match[1].str() + "/";
    else if (!folder.empty() && std::regex_search(line, match, row))
      files.push_back(folder + match[1].str());
  }
  return files;
}

class FixturesPresent : public ::testing::Environment {
 public:
  void SetUp() override {
    namespace fs = std::filesystem;
    const std::string readme = corvid::testing_fixtures::FixturePath("README.md");
    ASSERT_TRUE(fs::is_regular_file(readme))
        << "missing test fixture: " << readme
        << " (the real Access files belong in tests/fixtures of the checkout)";
    const std::vector<std::string> listed = ListedFixtures(readme);
    ASSERT_FALSE(listed.empty()) << readme << " lists no fixture files";
    bool complete = true;
    for (const std::string& file : listed) {
      const std::string path = corvid::testing_fixtures::FixturePath(file);
      if (!fs::is_regular_file(path) || fs::file_size(path) == 0) {
        ADD_FAILURE() << "missing test fixture: " << path;
        complete = false;
      }
    }
    ASSERT_TRUE(complete) << "test fixtures are missing; no test of this program ran";
  }
};

[[maybe_unused]] const auto* const kRegistered =
    ::testing::AddGlobalTestEnvironment(new FixturesPresent);

}  // namespace
