// The text description corvid-mkmdb builds databases from, and the tool
// itself (build, bench, password), judged by mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"
#include "tests/jet/support_mdb_judge.h"
#include "tests/jet/support_temp_dir.h"
#include "tools/mkmdb/bench_database.h"
#include "tools/mkmdb/description_file.h"

namespace corvid::mkmdb {
namespace {

using namespace corvid::jet;

using testing::MdbExportLines;
using testing::MdbTables;
using testing::ReadWithLibmdb;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;

std::string Tool() {
  const char* build = std::getenv("CORVID_BUILD_DIR");
  return std::string(build ? build : "build") + "/tools/mkmdb/corvid-mkmdb";
}

// An Access 2007 file whose attachment column names files: mdb-export
// reads the hidden table with one row per attached file, under the key of
// its row.
TEST(MdbDescription, AttachedFilesGoToTheHiddenTableOfAnAce2007File) {
  TempDir dir;
  std::ofstream(dir.File("a.txt"), std::ios::binary) << "first file";
  std::ofstream(dir.File("scan 1.pdf"), std::ios::binary) << "%PDF-1.4";
  std::istringstream in(R"(format ace2007
table Docs
column id long
column files attachment
row 1, files:a.txt;scan 1.pdf
row 2, NULL
row 3, files:a.txt
)");
  const Description parsed = ParseDescription(in, dir.Path().string());
  EXPECT_EQ(parsed.options.format, JetFormat::Ace2007);
  const std::string path = dir.File("docs.accdb");
  WriteDescribedDatabase(parsed, path);

  const std::vector<std::string> tables = MdbTables(path, true);
  std::string hidden;
  for (const std::string& t : tables)
    if (t.rfind("f_", 0) == 0) hidden = t;
  ASSERT_FALSE(hidden.empty());
  EXPECT_EQ(hidden.substr(hidden.size() - 6), "_files");
  EXPECT_NE(std::find(tables.begin(), tables.end(), "MSysComplexColumns"), tables.end());
  EXPECT_EQ(MdbTables(path), std::vector<std::string>{"Docs"});

  const auto judged = ReadWithLibmdb(path, hidden);
  ASSERT_TRUE(judged.found);
  std::vector<std::string> rows;
  for (const auto& r : judged.rows)
    rows.push_back(r[0].value + " " + r[3].value + " " + r[5].value);
  EXPECT_EQ(rows, (std::vector<std::string>{"1 a.txt txt", "1 scan 1.pdf pdf", "3 a.txt txt"}));
  EXPECT_EQ(MdbExportLines(path, hidden).size(), 3u);  // one line per attached file
  EXPECT_EQ(MdbExportLines(path, "Docs").size(), 3u);
}

TEST(MdbDescription, DescribedDatabaseReadsBackExactly) {
  TempDir dir;
  {
    std::ofstream(dir.File("photo.bin"), std::ios::binary)
        << std::string("\xFF\xD8\xFF\xE0 jpeg\0bytes", 16);
  }
  const std::string description = R"(# a small database
table "Fotos und Bilder"
column id autonumber
column "Größe" text 12
column wide text 12 nocompress
column photo ole
column flag yesno
column price currency
column taken datetime
column ratio double
column uid guid
column raw binary 4
row NULL, "Anna \"A\"", "x", file:photo.bin, true, 12.5, "2024-01-31 13:45:00", 0.25, {01234567-89AB-CDEF-0123-456789ABCDEF}, hex:00FF
row 10, "", NULL, hex:, no, -0.0001, 2000-02-29, -2, NULL, NULL
row NULL, NULL, NULL, "text bytes", 0, 3, 1899-12-30, 1e3, NULL, ""
table second
column n long
)";
  std::istringstream in(description);
  const Description parsed = ParseDescription(in, dir.Path().string());
  ASSERT_EQ(parsed.tables.size(), 2u);
  const std::string path = dir.File("described.mdb");
  WriteDescribedDatabase(parsed, path);

  EXPECT_EQ(MdbTables(path), (std::vector<std::string>{"Fotos und Bilder", "second"}));
  const auto lines = MdbExportLines(path, "Fotos und Bilder");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 11), "1\tAnna \"A\"\t");
  EXPECT_NE(lines[0].find(
                "\t1\t12.5000\t2024-01-31 13:45:00\t0.25\t{01234567-89AB-CDEF-0123456789ABCDEF}\t"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("\t0\t-0.0001\t2000-02-29 00:00:00\t-2\t"), std::string::npos)
      << lines[1];
  EXPECT_EQ(lines[2].substr(0, 3), "11\t");  // AutoNumber continues after the explicit 10
  EXPECT_NE(lines[2].find("\t0\t3.0000\t1899-12-30 00:00:00\t1000\t"), std::string::npos)
      << lines[2];

  const auto judged = ReadWithLibmdb(path, "Fotos und Bilder");
  ASSERT_EQ(judged.rows.size(), 3u);
  EXPECT_EQ(judged.columns[1].name, "Größe");
  EXPECT_EQ(judged.rows[0][3].value, std::string("\xFF\xD8\xFF\xE0 jpeg\0bytes", 16));
  EXPECT_FALSE(judged.rows[1][3].null);  // hex: with no digits is an empty value
  EXPECT_EQ(judged.rows[1][3].value, "");
  EXPECT_EQ(judged.rows[2][3].value, "text bytes");
  EXPECT_FALSE(judged.rows[1][1].null);
  EXPECT_TRUE(judged.rows[1][2].null);
  EXPECT_FALSE(judged.rows[2][9].null);
  EXPECT_TRUE(judged.rows[1][9].null);
}

TEST(MdbDescription, FormatAndPasswordLinesSetTheWriterOptions) {
  TempDir dir;
  std::istringstream in(
      "format jet3\npassword \"alt 97\"\ntable Artikel\ncolumn Name text 20\nrow \"Käse\"\n");
  const Description parsed = ParseDescription(in, "");
  EXPECT_EQ(parsed.options.format, JetFormat::Jet3);
  EXPECT_EQ(parsed.options.password, "alt 97");
  const std::string path = dir.File("old.mdb");
  WriteDescribedDatabase(parsed, path);
  EXPECT_EQ(RunCommand("mdb-ver " + ShellQuote(path)).out, "JET3\n");
  EXPECT_EQ(MdbExportLines(path, "Artikel"), std::vector<std::string>{"Käse"});
  EXPECT_EQ(RunCommand(ShellQuote(Tool()) + " password " + ShellQuote(path)).out, "alt 97\n");
}

TEST(MdbDescription, MistakesNameTheirLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases{
      {"table T\ncolumn a varchar\n", "line 2: unknown column type \"varchar\""},
      {"table T\ncolumn a long\nrow 1, 2\n", "line 3: 2 values for 1 columns"},
      {"table T\ncolumn a long\nrow x\n", "line 3: column \"a\" expects an integer, not \"x\""},
      {"column a long\n", "line 1: column before any table"},
      {"table T\ncolumn a text\nrow \"open\n", "line 3: unterminated quoted text"},
      {"\n\nflavour jet5\n", "line 3: unknown keyword \"flavour\""},
      {"format jet5\n", "line 1: unknown format"},
      {"table T\ncolumn a long\nrow 1\ncolumn b long\n", "line 4: column after the table's rows"},
      {"table T\ncolumn a currency\nrow 1.23456\n", "at most 4 decimals"},
      {"table T\ncolumn a ole\nrow hex:0G\n", "not a hex digit"},
      {"table T\ncolumn a ole\nrow file:/nonexistent/file\n", "cannot read"},
      {"table T\ncolumn a text 3\nrow \"toolong\"\n", "line 3: table \"T\", row 1, column \"a\""},
      {"table T\ncolumn a long\nrow ,\n", "empty value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TempDir dir;
    try {
      std::istringstream in(c.text);
      WriteDescribedDatabase(ParseDescription(in, dir.Path().string()), dir.File("x.mdb"));
      ADD_FAILURE() << "no error";
    } catch (const WriterError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_TRUE(dir.Entries().empty());
  }
}

TEST(MdbDescription, DatesCountDaysFrom1899) {
  struct Case {
    int y, mo, d, h, mi;
    double days;
  };
  for (const Case& c : std::vector<Case>{{1899, 12, 30, 0, 0, 0.0},
                                         {1900, 1, 1, 0, 0, 2.0},
                                         {2000, 1, 1, 12, 0, 36526.5},
                                         {1899, 12, 29, 6, 0, -1.25},
                                         {1800, 1, 1, 0, 0, -36522.0}}) {
    EXPECT_DOUBLE_EQ(DaysSince1899(c.y, c.mo, c.d, c.h, c.mi), c.days)
        << c.y << "-" << c.mo << "-" << c.d;
  }
}

TEST(MdbTool, BuildBenchAndPasswordCommands) {
  TempDir dir;
  {
    std::ofstream(dir.File("db.txt")) << "password \"s3cret ä\"\ntable T\ncolumn n long\nrow 42\n";
  }
  const std::string built = dir.File("built.mdb");
  auto r = RunCommand(ShellQuote(Tool()) + " build " + ShellQuote(built) + " " +
                      ShellQuote(dir.File("db.txt")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(MdbExportLines(built, "T"), std::vector<std::string>{"42"});
  r = RunCommand(ShellQuote(Tool()) + " password " + ShellQuote(built));
  EXPECT_EQ(r.out, "s3cret ä\n");

  const std::string bench = dir.File("bench.mdb");
  r = RunCommand(ShellQuote(Tool()) + " bench " + ShellQuote(bench) + " --records 25 --blob-kib 9");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("25 records"), std::string::npos) << r.out;
  const auto judged = ReadWithLibmdb(bench, "table");
  ASSERT_EQ(judged.rows.size(), 25u);
  for (std::size_t i = 0; i < judged.rows.size(); ++i) {
    const std::string& blob = judged.rows[i][2].value;
    ASSERT_GE(blob.size(), 9u * 1024);
    // The JPEG payload is in the value, whole (wrapped or bare).
    const Bytes jpeg = JpegLikePayload(9 * 1024, static_cast<std::int64_t>(i + 1));
    EXPECT_NE(blob.find(std::string(reinterpret_cast<const char*>(jpeg.data()), jpeg.size())),
              std::string::npos);
  }
  r = RunCommand(ShellQuote(Tool()) + " bench " + ShellQuote(dir.File("bare.mdb")) +
                 " --records 3 --blob-kib 1 --bare");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto bare = ReadWithLibmdb(dir.File("bare.mdb"), "table");
  ASSERT_EQ(bare.rows.size(), 3u);
  EXPECT_EQ(bare.rows[0][2].value.substr(0, 10), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));

  r = RunCommand(ShellQuote(Tool()) + " bench " + ShellQuote(dir.File("no.mdb")) +
                 " --records many");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--records needs a non-negative number"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("no.mdb")));
  r = RunCommand(ShellQuote(Tool()) + " frobnicate");
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace corvid::mkmdb
