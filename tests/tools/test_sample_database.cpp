// The bundled sample database (made by the build): mdbtools reads it back
// exactly as its content list says, and that content covers what the sample
// is for: the window's defaults, every wrapper kind, NULL, empty and
// unrecognised values, a duplicated id and a non-ASCII name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "tests/tools/libmdb_table_reader.h"
#include "tools/oledocs/ole_value_layout.h"
#include "tools/oledocs/sample_database_content.h"

namespace corvid::oledocs {
namespace {

std::string BuildDir() {
  const char* dir = std::getenv("CORVID_BUILD_DIR");
  return dir != nullptr ? dir : "build";
}

struct SampleFile {
  const char* file;     // in <build>/samples/
  const char* version;  // what mdb-ver says
  const char* option;   // corvid-mksample option for this format
};
const SampleFile kSampleFiles[] = {{"sample.mdb", "JET4", ""}, {"sample97.mdb", "JET3", "--jet3 "}};

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

class SampleDatabase : public ::testing::TestWithParam<SampleFile> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(SamplePath()))
        << SamplePath() << " is missing: build the corvid_sample_database target";
  }
  std::string SamplePath() const { return BuildDir() + "/samples/" + GetParam().file; }
};

INSTANTIATE_TEST_SUITE_P(BothFormats, SampleDatabase, ::testing::ValuesIn(kSampleFiles),
                         [](const auto& info) { return std::string(info.param.version); });

TEST_P(SampleDatabase, MdbtoolsListsBothTablesWithTheirRowCounts) {
  EXPECT_EQ(Lines(RunCommand("mdb-ver " + Quote(SamplePath()))),
            std::vector<std::string>{GetParam().version});
  const auto tables = Lines(RunCommand("mdb-tables -1 " + Quote(SamplePath())));
  EXPECT_EQ(tables, (std::vector<std::string>{kSampleTable, kSamplePhotoTable}));
  EXPECT_EQ(std::stoul(RunCommand("mdb-count " + Quote(SamplePath()) + " table")),
            SampleTableRows().size());
  EXPECT_EQ(std::stoul(RunCommand("mdb-count " + Quote(SamplePath()) + " photos")),
            SamplePhotoRows().size());
}

TEST_P(SampleDatabase, MdbExportShowsTheTextColumnsAndWhichValuesAreNull) {
  // With binary values stripped, mdb-export writes "" for a present value
  // and nothing at all for NULL.
  const auto lines = Lines(RunCommand("mdb-export -b strip " + Quote(SamplePath()) + " table"));
  const auto rows = SampleTableRows();
  ASSERT_EQ(lines.size(), rows.size() + 1);
  EXPECT_EQ(lines[0], "id,filter,img,name");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SampleTableRow& r = rows[i];
    const std::string img = r.img ? "\"\"" : "";
    EXPECT_EQ(lines[i + 1],
              std::to_string(r.id) + ",\"" + r.filter + "\"," + img + ",\"" + r.name + "\"");
  }

  const auto photoLines =
      Lines(RunCommand("mdb-export -b strip " + Quote(SamplePath()) + " photos"));
  const auto photos = SamplePhotoRows();
  ASSERT_EQ(photoLines.size(), photos.size() + 1);
  EXPECT_EQ(photoLines[0], "id,category,year,caption,img");
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const SamplePhotoRow& p = photos[i];
    EXPECT_EQ(photoLines[i + 1], std::to_string(p.id) + ",\"" + p.category + "\"," +
                                     std::to_string(p.year) + ",\"" + p.caption + "\",\"\"");
  }
}

TEST_P(SampleDatabase, OleValuesAreTheBuiltWrappersByteForByte) {
  const auto table = testing::ReadTableWithLibmdb(SamplePath(), kSampleTable);
  const auto rows = SampleTableRows();
  ASSERT_EQ(table.rows.size(), rows.size());
  const int img = table.Column("img");
  EXPECT_EQ(table.columnTypes[img], MDB_OLE);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].content);
    const Bytes expected = rows[i].img.value_or(Bytes{});
    EXPECT_TRUE(table.rows[i][img].bytes == expected)
        << "got " << table.rows[i][img].bytes.size() << " bytes, want " << expected.size();
  }

  const auto photoTable = testing::ReadTableWithLibmdb(SamplePath(), kSamplePhotoTable);
  const auto photos = SamplePhotoRows();
  ASSERT_EQ(photoTable.rows.size(), photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) {
    EXPECT_TRUE(photoTable.rows[i][photoTable.Column("img")].bytes == photos[i].img)
        << photos[i].caption;
  }
}

TEST_P(SampleDatabase, RegeneratingGivesTheSameFile) {
  const std::string generator = BuildDir() + "/samples/corvid-mksample";
  ASSERT_TRUE(std::filesystem::exists(generator));
  const auto dir =
      std::filesystem::temp_directory_path() / ("corvid-sample-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string again = (dir / "sample.mdb").string();
  RunCommand(Quote(generator) + " " + GetParam().option + Quote(again));
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  EXPECT_TRUE(slurp(again) == slurp(SamplePath()));
  std::filesystem::remove_all(dir);
}

// The content list itself: what the sample must demonstrate.
TEST(SampleDatabaseContent, CoversTheCasesTheSampleIsFor) {
  const auto rows = SampleTableRows();
  int nulls = 0, empties = 0, unknown = 0, nonAscii = 0;
  std::map<std::int32_t, int> ids;
  std::set<std::string> wrappers, bareKinds;
  for (const SampleTableRow& row : rows) {
    ++ids[row.id];
    if (!row.img) {
      ++nulls;
      continue;
    }
    if (row.img->empty()) {
      ++empties;
      continue;
    }
    if (row.extension == ".dmp") ++unknown;
    for (unsigned char c : row.name) {
      if (c >= 0x80) {
        ++nonAscii;
        break;
      }
    }
    try {
      const AccessOleLayout layout = ParseAccessOleValue(*row.img);
      EXPECT_TRUE(layout.checksumMatches) << row.content;
      wrappers.insert(layout.oleClass +
                      (layout.presentation.format != 0 ? "+" + layout.presentation.className : ""));
    } catch (const std::invalid_argument&) {
      bareKinds.insert(row.extension);
    }
  }
  EXPECT_EQ(nulls, 1);
  EXPECT_EQ(empties, 1);
  EXPECT_EQ(unknown, 1);
  EXPECT_GE(nonAscii, 1);
  int duplicated = 0;
  for (const auto& [id, count] : ids) duplicated += count > 1;
  EXPECT_EQ(duplicated, 1);
  EXPECT_EQ(wrappers, (std::set<std::string>{"PBrush", "PBrush+METAFILEPICT", "DIB", "Package",
                                             "AcroExch.Document"}));
  EXPECT_GE(bareKinds.size(), 6u) << "bare documents of several formats";
  EXPECT_GE(rows.size(), 12u);
}

}  // namespace
}  // namespace corvid::oledocs
