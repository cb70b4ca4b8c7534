#include "tools/damage_probe/seed_databases.h"

#include <filesystem>

#include "jet/mdb_writer.h"

namespace corvid::damage_probe {
namespace {

jet::Bytes Pattern(std::size_t length, unsigned salt) {
  jet::Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::byte>((i * 7 + salt) % 251);
  return bytes;
}

SeedDatabase WriteSeed(const std::string& directory, jet::JetFormat format,
                       const std::string& name) {
  using namespace jet;
  const std::string path = (std::filesystem::path(directory) / name).string();
  MdbWriter writer(path, WriterOptions{format});
  auto& blobs = writer.AddTable({"Blobs",
                                 {{"id", ColumnType::Long},
                                  {"label", ColumnType::Text, 40},
                                  {"img", ColumnType::OleObject},
                                  {"notes", ColumnType::Memo}}});
  // Sizes that the writer stores inline, in one long-value row and in
  // chains of long-value pages; an empty value and a NULL.
  const std::size_t sizes[] = {12, 200, 1500, 3000, 9000, 40000, 120000, 0};
  std::int64_t id = 0;
  for (const std::size_t size : sizes) {
    ++id;
    blobs.AddRow({id, "row " + std::to_string(id), Pattern(size, static_cast<unsigned>(id)),
                  std::string(size / 3, static_cast<char>('a' + id))});
  }
  blobs.AddRow({++id, std::string("null"), Null, Null});
  auto& other = writer.AddTable({"Other", {{"n", ColumnType::Long}, {"t", ColumnType::Text, 20}}});
  for (std::int64_t n = 0; n < 50; ++n) other.AddRow({n, "text " + std::to_string(n)});
  writer.Finish();
  return {name, path, "Blobs", "img", "id"};
}

}  // namespace

std::vector<SeedDatabase> FixtureSeeds(const std::string& fixtureDir) {
  const std::vector<SeedDatabase> candidates = {
      {"nwind.mdb", "nwind.mdb", "Categories", "Picture", "CategoryID"},
      {"test2V2000.mdb", "test2V2000.mdb", "MSP_PROJECTS", "RESERVED_BINARY_DATA", "PROJ_NAME"},
      {"testV2003.mdb", "testV2003.mdb", "Table1", "B", "A"},
      {"testV2010.accdb", "testV2010.accdb", "Table1", "B", "A"},
  };
  std::vector<SeedDatabase> seeds;
  for (SeedDatabase seed : candidates) {
    seed.path = (std::filesystem::path(fixtureDir) / seed.path).string();
    if (std::filesystem::is_regular_file(seed.path)) seeds.push_back(seed);
  }
  return seeds;
}

std::vector<SeedDatabase> WriterSeeds(const std::string& directory) {
  return {WriteSeed(directory, jet::JetFormat::Jet3, "written-jet3.mdb"),
          WriteSeed(directory, jet::JetFormat::Jet4, "written-jet4.mdb")};
}

}  // namespace corvid::damage_probe
