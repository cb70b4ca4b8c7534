// The databases the probe damages: plain fixture files and writer-made
// Jet 3 and Jet 4 files whose OLE values take every long-value layout.
#pragma once

#include <string>
#include <vector>

namespace corvid::damage_probe {

struct SeedDatabase {
  std::string name;  // short name, used in reproducers
  std::string path;
  std::string table;  // a table with a blob field
  std::string blobField;
  std::string nameField;
};

// The fixture files of `fixtureDir` (the mdb folder) that the probe uses;
// files that are missing are left out.
std::vector<SeedDatabase> FixtureSeeds(const std::string& fixtureDir);

// Writes the Jet 3 and Jet 4 seed files into `directory`.
std::vector<SeedDatabase> WriterSeeds(const std::string& directory);

}  // namespace corvid::damage_probe
