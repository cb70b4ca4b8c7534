// Values of every kind, written by the project's writer and read back through
// the engine: NULL and empty kept apart, non-ASCII text, a 10 MB OLE value
// over many long-value pages, dates, GUIDs, in Jet 4 and Jet 3 files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "dao/engine/dao_constants.h"
#include "dao/engine/variant.h"
#include "tests/dao/test_engine_support.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;
namespace w = corvid::jet;

// 3 February 2001 12:00 as an automation date.
constexpr double kFeb3Noon = 36925.5;

struct WrittenFile {
  std::string path;
  Bytes big = Pattern(10 * 1024 * 1024 + 123, 1);
  Bytes small = Pattern(1234, 2);
  std::string memo = std::string(70000, 'm') + " Ende äöü";
};

void Write(WrittenFile& file, w::JetFormat format) {
  w::WriterOptions options;
  options.format = format;
  w::MdbWriter writer(file.path, options);
  auto& table = writer.AddTable({"Werte",
                                 {{"id", w::ColumnType::Long},
                                  {"name", w::ColumnType::Text, 40},
                                  {"notes", w::ColumnType::Memo},
                                  {"img", w::ColumnType::OleObject},
                                  {"when", w::ColumnType::DateTime},
                                  {"flag", w::ColumnType::YesNo},
                                  {"small", w::ColumnType::Integer},
                                  {"price", w::ColumnType::Currency},
                                  {"ratio", w::ColumnType::Double},
                                  {"key", w::ColumnType::Guid}}});
  w::Guid guid;
  for (int i = 0; i < 16; ++i)
    guid.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x10 + i);
  table.AddRow({std::int64_t{1}, std::string("Grüße aus Åre"), file.memo, w::ByteView{file.big},
                w::Date{kFeb3Noon}, true, std::int64_t{42}, w::Currency{12345678}, 0.1, guid});
  table.AddRow({std::int64_t{2}, std::string(), std::string(), w::Bytes{}, w::Null, false,
                std::int64_t{-7}, w::Null, w::Null, w::Null});
  table.AddRow({std::int64_t{3}, w::Null, w::Null, w::Null, w::Date{0.25}, w::Null, w::Null,
                w::Currency{-5}, -2.5e300, w::Null});
  table.AddRow({std::int64_t{4}, std::string("x"), std::string("kurz"), w::ByteView{file.small},
                w::Date{-1.5}, true, std::int64_t{0}, w::Currency{0}, 0.0, w::Null});
  writer.AddTable({"Leer", {{"id", w::ColumnType::Long}, {"img", w::ColumnType::OleObject}}});
  writer.Finish();
}

class WrittenValues : public ::testing::TestWithParam<w::JetFormat> {
 protected:
  void SetUp() override {
    file.path = dir.File(GetParam() == w::JetFormat::Jet3 ? "jet3.mdb" : "jet4.mdb");
    try {
      Write(file, GetParam());
    } catch (const std::exception& error) {
      GTEST_SKIP() << "the writer cannot write this format: " << error.what();
    }
  }
  TempDir dir;
  WrittenFile file;
};

TEST_P(WrittenValues, ReadBackExactly) {
  EngineSession session;
  auto database = session.Open(file.path);
  auto rs = database->OpenRecordset("werte", dbOpenDynaset);
  auto& f = rs->Fields();
  std::vector<std::byte> buffer;

  // Row 1: every value present.
  EXPECT_EQ(f.Item("name").Value(), Variant(std::string("Grüße aus Åre")));
  EXPECT_TRUE(f.Item("notes").Value() == Variant(file.memo)) << "memo text differs";
  EXPECT_EQ(f.Item("notes").FieldSize(), static_cast<std::int64_t>(file.memo.size()));
  EXPECT_EQ(f.Item("img").FieldSize(), static_cast<std::int64_t>(file.big.size()));
  ASSERT_TRUE(f.Item("img").ReadBytesInto(buffer));
  EXPECT_TRUE(buffer == file.big) << "10 MB value differs";
  EXPECT_EQ(f.Item("when").Value(), Variant(Date{kFeb3Noon}));
  EXPECT_EQ(VariantToText(f.Item("when").Value()), "2001-02-03 12:00:00");
  EXPECT_EQ(f.Item("flag").Value(), Variant(true));
  EXPECT_EQ(f.Item("small").Value(), Variant(std::int64_t{42}));
  EXPECT_EQ(f.Item("price").Value(), Variant(Currency{12345678}));
  EXPECT_EQ(f.Item("ratio").Value(), Variant(0.1));
  EXPECT_EQ(f.Item("key").Value(),
            Variant(std::string("{guid {13121110-1514-1716-1819-1A1B1C1D1E1F}}")));
  EXPECT_EQ(f.Item("key").Type(), dbGUID);

  // Row 2: empty values are not NULL.
  rs->MoveNext();
  EXPECT_EQ(f.Item("name").Value(), Variant(std::string()));
  EXPECT_EQ(f.Item("notes").Value(), Variant(std::string()));
  buffer.assign(3, std::byte{1});
  EXPECT_TRUE(f.Item("notes").ReadBytesInto(buffer)) << "an empty memo is a value, not NULL";
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(f.Item("img").Value(), Variant(Bytes{}));
  EXPECT_EQ(f.Item("img").FieldSize(), 0);
  EXPECT_TRUE(f.Item("img").ReadBytesInto(buffer));
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(IsNull(f.Item("when").Value()));
  EXPECT_EQ(f.Item("flag").Value(), Variant(false));
  EXPECT_EQ(f.Item("small").Value(), Variant(std::int64_t{-7}));

  // Row 3: NULLs.
  rs->MoveNext();
  for (const char* name : {"name", "notes", "img", "small", "key"})
    EXPECT_TRUE(IsNull(f.Item(name).Value())) << name;
  EXPECT_FALSE(f.Item("img").ReadBytesInto(buffer));
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(f.Item("img").FieldSize(), 0);
  EXPECT_EQ(f.Item("flag").Value(), Variant(false)) << "Yes/No has no NULL";
  EXPECT_EQ(VariantToText(f.Item("when").Value()), "1899-12-30 06:00:00");
  EXPECT_EQ(f.Item("price").Value(), Variant(Currency{-5}));
  EXPECT_EQ(f.Item("ratio").Value(), Variant(-2.5e300));

  // Row 4: a small OLE value into the same buffer; a date before 1899-12-30.
  rs->MoveNext();
  ASSERT_TRUE(f.Item("img").ReadBytesInto(buffer));
  EXPECT_TRUE(buffer == file.small);
  EXPECT_EQ(f.Item("img").FieldSize(), 1234);
  EXPECT_EQ(VariantToText(f.Item("when").Value()), "1899-12-29 12:00:00");

  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  // Going back to the big value reads it again from its pages.
  rs->MoveFirst();
  ASSERT_TRUE(f.Item("img").ReadBytesInto(buffer));
  EXPECT_TRUE(buffer == file.big);

  auto empty = database->OpenRecordset("Leer", dbOpenDynaset);
  EXPECT_TRUE(empty->Bof() && empty->Eof());
}

TEST(WrittenManyRows, NavigationAcrossPagesAndInterleavedRecordsets) {
  TempDir dir;
  const std::string path = dir.File("rows.mdb");
  constexpr int kRows = 5000;
  {
    w::MdbWriter writer(path);
    auto& table = writer.AddTable({"Rows",
                                   {{"id", w::ColumnType::Long},
                                    {"name", w::ColumnType::Text, 30},
                                    {"memo", w::ColumnType::Memo}}});
    for (int i = 0; i < kRows; ++i)
      table.AddRow(
          {std::int64_t{i}, "row " + std::to_string(i),
           i % 7 == 0 ? w::Value{std::string(3000 + i, 'a' + i % 26)} : w::Value{w::Null}});
    writer.Finish();
  }
  EngineSession session;
  auto database = session.Open(path);
  auto forward = database->OpenRecordset("Rows", dbOpenDynaset);
  auto backward = forward->Clone();
  auto id = [](Recordset& rs) { return std::get<std::int64_t>(rs.Fields().Item("id").Value()); };
  auto name = [](Recordset& rs) { return std::get<std::string>(rs.Fields().Item("name").Value()); };

  // One recordset walks forward while its clone walks backward: every read
  // must come from its own row even though they share the file's page buffer.
  backward->MoveLast();
  std::vector<Bytes> marks;
  for (int i = 0; i < kRows; ++i, forward->MoveNext(), backward->MovePrevious()) {
    ASSERT_EQ(id(*forward), i);
    ASSERT_EQ(name(*backward), "row " + std::to_string(kRows - 1 - i));
    ASSERT_EQ(name(*forward), "row " + std::to_string(i));
    Variant memo = backward->Fields().Item("memo").Value();
    const int back = kRows - 1 - i;
    if (back % 7 == 0) {
      ASSERT_EQ(std::get<std::string>(memo).size(), static_cast<std::size_t>(3000 + back));
    } else {
      ASSERT_TRUE(IsNull(memo));
    }
    if (i % 97 == 0) marks.push_back(forward->Bookmark());
  }
  EXPECT_TRUE(forward->Eof());
  EXPECT_TRUE(backward->Bof());
  EXPECT_EQ(forward->RecordCount(), kRows);

  // Bookmarks and positions reach the same rows again, in any order.
  for (std::size_t k = marks.size(); k-- > 0;) {
    backward->SetBookmark(marks[k]);
    EXPECT_EQ(id(*backward), static_cast<std::int64_t>(k * 97));
  }
  for (std::int32_t position : {4999, 0, 2500, 1, 4998}) {
    forward->SetAbsolutePosition(position);
    EXPECT_EQ(id(*forward), position);
  }
}

TEST(WrittenJet3Text, CharacterSetOfTextAndMemoFollowsMdbJet3Charset) {
  TempDir dir;
  const std::string path = dir.File("charset.mdb");
  {
    w::WriterOptions options;
    options.format = w::JetFormat::Jet3;
    w::MdbWriter writer(path, options);
    auto& table =
        writer.AddTable({"T", {{"name", w::ColumnType::Text, 20}, {"notes", w::ColumnType::Memo}}});
    table.AddRow({std::string("Preis 5 ¤"), std::string("Preis 5 ¤ ") + std::string(300, 'x')});
    writer.Finish();
  }
  struct Case {
    const char* charset;  // nullptr: unset, Windows-1252
    const char* sign;     // what byte A4 reads as
  };
  const char* saved = std::getenv("MDB_JET3_CHARSET");
  const std::string savedValue = saved ? saved : "";
  for (Case c : {Case{nullptr, "¤"}, Case{"ISO-8859-15", "€"}}) {
    if (c.charset)
      ::setenv("MDB_JET3_CHARSET", c.charset, 1);
    else
      ::unsetenv("MDB_JET3_CHARSET");
    EngineSession session;
    auto database = session.Open(path);
    auto rs = database->OpenRecordset("T", dbOpenDynaset);
    const std::string expected = std::string("Preis 5 ") + c.sign;
    EXPECT_EQ(rs->Fields().Item("name").Value(), Variant(expected)) << c.sign;
    EXPECT_EQ(std::get<std::string>(rs->Fields().Item("notes").Value()).substr(0, expected.size()),
              expected)
        << "memo and text read alike";
  }
  if (saved)
    ::setenv("MDB_JET3_CHARSET", savedValue.c_str(), 1);
  else
    ::unsetenv("MDB_JET3_CHARSET");
}

TEST(WrittenSortOrder, CollatingOrderComesFromTheHeader) {
  TempDir dir;
  for (auto format : {w::JetFormat::Jet4, w::JetFormat::Jet3}) {
    for (std::uint16_t order : {std::uint16_t{1033}, std::uint16_t{1053}}) {
      std::string path = dir.File("sort-" + std::to_string(order) +
                                  (format == w::JetFormat::Jet3 ? "-3.mdb" : "-4.mdb"));
      w::WriterOptions options;
      options.format = format;
      options.sortOrder = order;
      w::MdbWriter writer(path, options);
      writer.AddTable({"T", {{"id", w::ColumnType::Long}}});
      writer.Finish();
      EngineSession session;
      EXPECT_EQ(session.Open(path)->CollatingOrder(), order) << path;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, WrittenValues,
                         ::testing::Values(w::JetFormat::Jet4, w::JetFormat::Jet3),
                         [](const auto& info) {
                           return std::string(info.param == w::JetFormat::Jet3 ? "Jet3" : "Jet4");
                         });

}  // namespace
}  // namespace corvid::dao
