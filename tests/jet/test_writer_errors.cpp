// Malformed descriptions and values give clear errors and never a corrupt
// or half-written file under the final name.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support_mdb_judge.h"
#include "support_temp_dir.h"
#include "jet/mdb_writer.h"
#include "jet/page_file.h"

namespace corvid::jet {
namespace {

using testing::MdbExportLines;
using testing::TempDir;

struct DefinitionCase {
  const char* label;
  std::function<TableDef()> make;
  const char* message;  // part of the error text
};

TableDef WithColumns(std::vector<ColumnDef> columns) { return TableDef{"T", std::move(columns)}; }

TEST(MdbWriterErrors, BadTableDefinitionsAreRejectedWithTheirReason) {
  const std::vector<DefinitionCase> cases{
      {"unknown type",
       [] {
         return WithColumns({{"a", static_cast<ColumnType>(99)}});
       },
       "unknown column type"},
      {"256 columns",
       [] {
         std::vector<ColumnDef> columns;
         for (int i = 0; i < 256; ++i)
           columns.push_back({"c" + std::to_string(i), ColumnType::Long});
         return WithColumns(columns);
       },
       "has 256 columns; a table may have at most 255"},
      {"no columns", [] { return WithColumns({}); }, "has no columns"},
      {"fixed columns overflow a row",
       [] {
         std::vector<ColumnDef> columns;
         for (int i = 0; i < 255; ++i)
           columns.push_back({"g" + std::to_string(i), ColumnType::Guid});
         return WithColumns(columns);
       },
       "a row may hold at most 4060"},
      {"text size 0..255",
       [] {
         return WithColumns({{"t", ColumnType::Text, 256}});
       },
       "size 256 is outside 1..255"},
      {"binary size",
       [] {
         return WithColumns({{"b", ColumnType::Binary, -1}});
       },
       "size -1 is outside 1..255"},
      {"empty table name",
       [] {
         return TableDef{"", {{"a", ColumnType::Long}}};
       },
       "table name is empty"},
      {"dot in table name",
       [] {
         return TableDef{"a.b", {{"a", ColumnType::Long}}};
       },
       "not allowed in names"},
      {"bracket in column name",
       [] {
         return WithColumns({{"x[1]", ColumnType::Long}});
       },
       "not allowed in names"},
      {"backquote",
       [] {
         return WithColumns({{"a`b", ColumnType::Long}});
       },
       "not allowed in names"},
      {"exclamation mark",
       [] {
         return WithColumns({{"hey!", ColumnType::Long}});
       },
       "not allowed in names"},
      {"control character",
       [] {
         return WithColumns({{"a\tb", ColumnType::Long}});
       },
       "not allowed in names"},
      {"leading space",
       [] {
         return WithColumns({{" a", ColumnType::Long}});
       },
       "starts with a space"},
      {"65 characters",
       [] {
         return WithColumns({{std::string(65, 'n'), ColumnType::Long}});
       },
       "longer than 64"},
      {"invalid UTF-8",
       [] {
         return WithColumns({{"\xC3(", ColumnType::Long}});
       },
       "not valid UTF-8"},
      {"reserved prefix",
       [] {
         return TableDef{"MSysThings", {{"a", ColumnType::Long}}};
       },
       "reserved"},
      {"duplicate column (case-insensitive)",
       [] {
         return WithColumns({{"Größe", ColumnType::Long},
                             {"GRÖSSE", ColumnType::Long},
                             {"größe", ColumnType::Text}});
       },
       "two columns named \"größe\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const std::string path = dir.File("bad.mdb");
    {
      MdbWriter writer(path);
      try {
        writer.AddTable(c.make());
        ADD_FAILURE() << "no error";
      } catch (const WriterError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      }
    }
    EXPECT_TRUE(dir.Entries().empty());  // neither the database nor its temporary
  }
}

TEST(MdbWriterErrors, DuplicateTableNamesAreRejected) {
  TempDir dir;
  MdbWriter writer(dir.File("dup.mdb"));
  writer.AddTable({"Photos", {{"a", ColumnType::Long}}});
  EXPECT_THROW(writer.AddTable({"PHOTOS", {{"a", ColumnType::Long}}}), WriterError);
}

struct RowCase {
  const char* label;
  std::vector<Value> row;
  const char* message;
};

TEST(MdbWriterErrors, BadRowsAreRejectedAndTheFileStaysConsistent) {
  TempDir dir;
  const std::string path = dir.File("rows.mdb");
  const std::vector<RowCase> cases{
      {"text longer than its column",
       {std::int64_t{1}, std::string("ääääää"), Null, Null, Null, Null, Null, Null, Null, Null,
        Null, Null, Null},
       "text of 6 characters is longer than the column's 5"},
      {"byte out of range",
       {std::int64_t{1}, Null, std::int64_t{256}, Null, Null, Null, Null, Null, Null, Null, Null,
        Null, Null},
       "value 256 is outside 0..255"},
      {"integer out of range",
       {std::int64_t{1}, Null, Null, std::int64_t{40000}, Null, Null, Null, Null, Null, Null, Null,
        Null, Null},
       "outside -32768..32767"},
      {"long out of range",
       {std::int64_t{1LL << 40}, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null,
        Null},
       "outside -2147483648..2147483647"},
      {"text into a number",
       {std::string("7"), Null, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null, Null},
       "cannot store text"},
      {"bytes into text",
       {std::int64_t{1}, Bytes{std::byte{1}}, Null, Null, Null, Null, Null, Null, Null, Null, Null,
        Null, Null},
       "cannot store bytes"},
      {"binary longer than its column",
       {std::int64_t{1}, Null, Null, Null, Bytes(5), Null, Null, Null, Null, Null, Null, Null,
        Null},
       "5 bytes are more than the column's 4"},
      {"wrong number of values", {std::int64_t{1}}, "1 values for 13 columns"},
      {"row overflows the page",
       {std::int64_t{1}, Null, Null, Null, Null, std::string(255, 'x'), std::string(255, 'y'),
        std::string(255, 'z'), std::string(255, 'v'), std::string(255, 'w'), std::string(255, 'a'),
        std::string(255, 'b'), std::string(255, 'c')},
       "the row needs"},
      {"invalid UTF-8 text",
       {std::int64_t{1}, std::string("\xFF"), Null, Null, Null, Null, Null, Null, Null, Null, Null,
        Null, Null},
       "not valid UTF-8"},
  };
  {
    MdbWriter writer(path);
    std::vector<ColumnDef> columns{{"id", ColumnType::Long},
                                   {"short", ColumnType::Text, 5},
                                   {"b", ColumnType::Byte},
                                   {"i", ColumnType::Integer},
                                   {"bin", ColumnType::Binary, 4}};
    for (const char* name : {"w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8"})
      columns.push_back(
          {name, ColumnType::Text, 255, false});  // uncompressed: 510 bytes each when full
    auto& table = writer.AddTable({"T", columns});
    table.AddRow({std::int64_t{1}, std::string("ok"), Null, Null, Null, Null, Null, Null, Null,
                  Null, Null, Null, Null});
    for (const auto& c : cases) {
      SCOPED_TRACE(c.label);
      try {
        table.AddRow(c.row);
        ADD_FAILURE() << "no error";
      } catch (const WriterError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("table \"T\""), std::string::npos) << e.what();
      }
    }
    table.AddRow({std::int64_t{2}, std::string("fine"), Null, Null, Null, Null, Null, Null, Null,
                  Null, Null, Null, Null});
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(path));  // nothing under the final name before Finish
    writer.Finish();
  }
  // The rejected rows left no trace.
  const auto lines = MdbExportLines(path, "T");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 5), "1\tok\t");
  EXPECT_EQ(lines[1].substr(0, 7), "2\tfine\t");
}

TEST(MdbWriterErrors, PasswordLongerThanTwentyCharactersIsRejected) {
  TempDir dir;
  WriterOptions options;
  options.password = std::string(21, 'p');
  EXPECT_THROW(MdbWriter(dir.File("p.mdb"), options), WriterError);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(MdbWriterAtomicity, AnAbandonedWriterLeavesAnExistingFileUntouched) {
  TempDir dir;
  const std::string path = dir.File("keep.mdb");
  { std::ofstream(path) << "previous content"; }
  {
    MdbWriter writer(path);
    auto& t = writer.AddTable({"T", {{"a", ColumnType::Long}}});
    t.AddRow({std::int64_t{1}});
    EXPECT_EQ(dir.Entries().size(), 2u);  // the old file and our temporary beside it
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.mdb"});
  std::ifstream in(path);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "previous content");
}

TEST(MdbWriterAtomicity, FinishReplacesTheFileAndEndsTheWriter) {
  TempDir dir;
  const std::string path = dir.File("new.mdb");
  { std::ofstream(path) << "old"; }
  MdbWriter writer(path);
  auto& t = writer.AddTable({"T", {{"a", ColumnType::Long}}});
  t.AddRow({std::int64_t{1}});
  writer.Finish();
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"new.mdb"});
  EXPECT_EQ(MdbExportLines(path, "T"), std::vector<std::string>{"1"});
  EXPECT_THROW(t.AddRow({std::int64_t{2}}), WriterError);
  EXPECT_THROW(writer.AddTable({"U", {{"a", ColumnType::Long}}}), WriterError);
  EXPECT_THROW(writer.Finish(), WriterError);
}

TEST(MdbWriterErrors, TheFileCannotOutgrowWhatAccessAccepts) {
  TempDir dir;
  {
    PageFile file(dir.File("limited.mdb"), 4096, 10);
    EXPECT_EQ(file.Allocate(10), 0u);
    try {
      file.Allocate(1);
      ADD_FAILURE() << "no error";
    } catch (const WriterError& e) {
      EXPECT_NE(std::string(e.what()).find("the most an Access file of this format may hold"),
                std::string::npos)
          << e.what();
    }
  }
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(MdbWriterAtomicity, UnwritableTargetFailsCleanly) {
  EXPECT_THROW(MdbWriter("/nonexistent-dir/x.mdb"), WriterError);
  TempDir dir;
  EXPECT_THROW(MdbWriter(dir.Path().string()), WriterError);  // a directory
}

// Limits the size of files this process may write (the disk "fills up"),
// restoring the limit afterwards.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // get EFBIG instead of a signal
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST(MdbWriterAtomicity, AFullDiskFailsTheWriterAndPublishesNothing) {
  TempDir dir;
  const std::string path = dir.File("full.mdb");
  std::string message;
  {
    MdbWriter writer(path);
    auto& t = writer.AddTable({"T", {{"id", ColumnType::Long}, {"blob", ColumnType::OleObject}}});
    const Bytes blob(100 * 1024, std::byte{7});
    {
      FileSizeLimit limit(2 << 20);
      try {
        for (int i = 0; i < 200; ++i) t.AddRow({std::int64_t{i}, ByteView{blob}});
      } catch (const WriterError& e) {
        message = e.what();
      }
    }
    EXPECT_NE(message, "");
    // The writer gave up: no more rows, no Finish that would publish a file
    // missing the pages that could not be written.
    EXPECT_THROW(t.AddRow({std::int64_t{1}, Null}), WriterError);
    EXPECT_THROW(writer.Finish(), WriterError);
  }
  EXPECT_NE(message.find("cannot write"), std::string::npos) << message;
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace corvid::jet
