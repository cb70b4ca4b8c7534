// Editing through the engine: AddNew, Edit, Update, CancelUpdate, Delete,
// EditMode and LastModified on writer-made Jet 4 and Jet 3 tables, each
// change read back by the engine itself and by mdbtools; the refusals (read-
// only opens, snapshots, indexed tables, definitions) that leave the file
// byte for byte as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "dao/engine/dao_constants.h"
#include "dao/engine/variant.h"
#include "tests/dao/test_engine_support.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;
namespace w = corvid::jet;

std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (std::byte b : bytes) {
    out += digits[std::to_integer<unsigned>(b) >> 4];
    out += digits[std::to_integer<unsigned>(b) & 15];
  }
  return out;
}

EngineError ExpectError(int number, const std::function<void()>& action) {
  try {
    action();
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), number) << error.what();
    return error;
  }
  ADD_FAILURE() << "no engine error " << number;
  return EngineError(0, "");
}

int MdbCount(const std::string& path, const std::string& table) {
  return std::stoi(RunCommand("mdb-count " + Quote(path) + " " + Quote(table)));
}

// "Docs": id AutoNumber, name Text(40), notes Memo, blob OLE Object; three rows.
std::string MakeDocs(const TempDir& dir, w::JetFormat format) {
  const std::string path = dir.File(format == w::JetFormat::Jet4 ? "docs4.mdb" : "docs3.mdb");
  w::WriterOptions options;
  options.format = format;
  w::MdbWriter writer(path, options);
  auto& t = writer.AddTable({"Docs",
                             {{"id", w::ColumnType::AutoNumber},
                              {"name", w::ColumnType::Text, 40},
                              {"notes", w::ColumnType::Memo},
                              {"blob", w::ColumnType::OleObject}}});
  t.AddRow(
      {w::Null, std::string("alpha"), std::string("first"), w::Bytes{std::byte{1}, std::byte{2}}});
  t.AddRow({w::Null, std::string("beta"), w::Null, w::Null});
  t.AddRow({w::Null, std::string("gamma"), std::string("third"), w::Bytes(Pattern(700, 3))});
  writer.Finish();
  return path;
}

class EngineEditing : public ::testing::TestWithParam<w::JetFormat> {
 protected:
  void SetUp() override { path_ = MakeDocs(dir_, GetParam()); }
  std::size_t PageSize() const { return GetParam() == w::JetFormat::Jet4 ? 4096 : 2048; }
  TempDir dir_;
  std::string path_;
  EngineSession session_;
};

INSTANTIATE_TEST_SUITE_P(Formats, EngineEditing,
                         ::testing::Values(w::JetFormat::Jet4, w::JetFormat::Jet3),
                         [](const auto& info) {
                           return info.param == w::JetFormat::Jet4 ? "Jet4" : "Jet3";
                         });

TEST_P(EngineEditing, AddNewAppendsARowReadBackByTheEngineAndByMdbtools) {
  auto database = session_.Open(path_);
  EXPECT_EQ(database->TableDefs().Item("Docs").RecordCount(), 3);  // read before the changes
  for (int type : {dbOpenTable, dbOpenDynaset}) {
    SCOPED_TRACE(type);
    auto rs = database->OpenRecordset("Docs", type);
    EXPECT_TRUE(rs->Updatable());
    EXPECT_NE(rs->Fields().Item("name").Attributes() & dbUpdatableField, 0);
    EXPECT_EQ(rs->Fields().Item("id").Attributes() & dbUpdatableField, 0) << "AutoNumber";
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    rs->MoveFirst();
    const Bytes before = rs->Bookmark();
    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), dbEditAdd);
    EXPECT_TRUE(IsNull(rs->Fields().Item("name").Value()));
    rs->Fields().Item("name").SetValue(std::string("delta ") + std::to_string(type));
    rs->Fields().Item("notes").SetValue(std::string(3000, 'n'));
    rs->Fields().Item("blob").SetValue(Pattern(5000, 5));
    EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "delta " + std::to_string(type));
    rs->Update();
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    // The current record stays; the new one is last, under LastModified.
    EXPECT_EQ(rs->Bookmark(), before);
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), type == dbOpenTable ? 4 : 5);
    EXPECT_EQ(std::get<std::string>(rs->Fields().Item("notes").Value()), std::string(3000, 'n'));
    EXPECT_EQ(std::get<Bytes>(rs->Fields().Item("blob").Value()), Pattern(5000, 5));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
  }
  auto table = database->OpenRecordset("Docs", dbOpenTable);
  EXPECT_EQ(table->RecordCount(), 5);
  EXPECT_EQ(database->TableDefs().Item("Docs").RecordCount(), 5);

  const auto rows = MdbExport(path_, "Docs");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3][0], "4");
  EXPECT_EQ(rows[3][1], "delta 1");
  EXPECT_EQ(rows[3][2], std::string(3000, 'n'));
  EXPECT_EQ(rows[3][3], Hex(Pattern(5000, 5)));
  EXPECT_EQ(rows[4][0], "5");
  EXPECT_EQ(MdbCount(path_, "Docs"), 5);
}

TEST_P(EngineEditing, EditingAMemoAndAnOleValueAcrossTheirStorageFormsKeepsTheBookmark) {
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenDynaset);
  auto clone = rs->Clone();
  rs->MoveFirst();
  const Bytes mark = rs->Bookmark();
  unsigned salt = 10;
  for (std::size_t size : {std::size_t{20}, std::size_t{1800}, 4 * PageSize() + 5, std::size_t{64},
                           std::size_t{0}, PageSize() * 2}) {
    SCOPED_TRACE(size);
    const Bytes blob = Pattern(size, ++salt);
    const std::string memo(size / 2, static_cast<char>('a' + salt % 26));
    rs->Edit();
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);
    rs->Fields().Item("notes").SetValue(memo);
    rs->Fields().Item("blob").SetValue(blob);
    rs->Update();
    EXPECT_EQ(rs->LastModified(), mark);
    EXPECT_EQ(rs->Bookmark(), mark);
    EXPECT_EQ(std::get<Bytes>(rs->Fields().Item("blob").Value()), blob);
    EXPECT_EQ(VariantToText(rs->Fields().Item("notes").Value()), memo);
    // The clone sees the change under the same bookmark.
    clone->SetBookmark(mark);
    EXPECT_EQ(std::get<Bytes>(clone->Fields().Item("blob").Value()), blob);
    EXPECT_EQ(VariantToText(clone->Fields().Item("name").Value()), "alpha");

    const auto rows = MdbExport(path_, "Docs");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "1");
    // mdbtools prints an empty Memo as NULL.
    EXPECT_EQ(rows[0][2], memo.empty() ? std::string("\x01NULL") : memo);
    EXPECT_EQ(rows[0][3], Hex(blob));
    EXPECT_EQ(rows[2][3], Hex(Pattern(700, 3)));
    EXPECT_EQ(MdbCount(path_, "Docs"), 3);
  }
  // A fresh open reads the same.
  auto reopened = session_.Open(path_);
  auto again = reopened->OpenRecordset("Docs", dbOpenSnapshot);
  EXPECT_EQ(std::get<Bytes>(again->Fields().Item("blob").Value()), Pattern(PageSize() * 2, salt));
}

TEST_P(EngineEditing, EditingOtherFieldsLeavesALargeValueWhereItIs) {
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenTable);
  const Bytes big = Pattern(20 * PageSize(), 77);
  rs->Edit();
  rs->Fields().Item("blob").SetValue(big);
  rs->Update();
  const auto size = ReadAll(path_).size();
  for (int round = 0; round < 5; ++round) {
    rs->Edit();
    rs->Fields().Item("name").SetValue(std::string("round ") + std::to_string(round));
    rs->Update();
  }
  EXPECT_EQ(ReadAll(path_).size(), size) << "the value was stored again";
  EXPECT_EQ(std::get<Bytes>(rs->Fields().Item("blob").Value()), big);
  EXPECT_EQ(VariantToText(rs->Fields().Item("notes").Value()), "first");
  const auto rows = MdbExport(path_, "Docs");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "round 4");
  EXPECT_EQ(rows[0][2], "first");
  EXPECT_EQ(rows[0][3], Hex(big));
}

TEST_P(EngineEditing, ARowThatOutgrowsItsPageMovesAndKeepsItsBookmark) {
  TempDir dir;
  const std::string path = dir.File("full.mdb");
  {
    w::WriterOptions options;
    options.format = GetParam();
    w::MdbWriter writer(path, options);
    auto& t = writer.AddTable({"Full",
                               {{"id", w::ColumnType::Long},
                                {"a", w::ColumnType::Text, 255},
                                {"b", w::ColumnType::Text, 255}}});
    // Short rows fill the first pages to the last bytes.
    for (int i = 0; i < 400; ++i) t.AddRow({std::int64_t{i}, std::string("x"), std::string("y")});
    writer.Finish();
  }
  auto database = session_.Open(path);
  auto rs = database->OpenRecordset("Full", dbOpenDynaset);
  rs->Move(2);
  const Bytes mark = rs->Bookmark();
  const std::string big(255, 'z');
  rs->Edit();
  rs->Fields().Item("a").SetValue(big);
  rs->Fields().Item("b").SetValue(big);
  rs->Update();
  rs->MoveFirst();
  rs->SetBookmark(mark);
  EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), 2);
  EXPECT_EQ(VariantToText(rs->Fields().Item("a").Value()), big);
  rs->MoveNext();
  EXPECT_EQ(std::get<std::int64_t>(rs->Fields().Item("id").Value()), 3);
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 400);
  const auto rows = MdbExport(path, "Full");
  ASSERT_EQ(rows.size(), 400u);
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                          [&](const auto& r) { return r[0] == "2" && r[1] == big; }),
            1);
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r[0] == "2"; }), 1);
}

TEST_P(EngineEditing, DeleteRemovesTheRowForTheRecordsetItsClonesAndMdbtools) {
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenTable);
  auto clone = rs->Clone();
  rs->MoveFirst();
  rs->MoveNext();
  const Bytes second = rs->Bookmark();
  rs->Delete();
  EXPECT_EQ(rs->RecordCount(), 2);
  ExpectError(kRecordDeleted, [&] { rs->Fields().Item("name").Value(); });
  ExpectError(kRecordDeleted, [&] { clone->SetBookmark(second); });
  ExpectError(kRecordDeleted, [&] { rs->Delete(); });
  rs->MoveNext();
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "gamma");
  rs->MovePrevious();
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "alpha");
  std::vector<std::string> names;
  for (clone->MoveFirst(); !clone->Eof(); clone->MoveNext())
    names.push_back(VariantToText(clone->Fields().Item("name").Value()));
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "gamma"}));

  // A dynaset over the same rows: counting, filtering and finding pass the
  // deleted row by.
  auto dynaset = rs->OpenRecordset(dbOpenDynaset, 0);
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->RecordCount(), 2);
  dynaset->FindFirst("[name] = 'beta'");
  EXPECT_TRUE(dynaset->NoMatch());
  dynaset->FindFirst("[name] <> 'alpha'");
  EXPECT_EQ(VariantToText(dynaset->Fields().Item("name").Value()), "gamma");
  dynaset->SetFilter("[id] > 0");
  auto filtered = dynaset->OpenRecordset(dbOpenDynaset, 0);
  filtered->MoveLast();
  EXPECT_EQ(filtered->RecordCount(), 2);
  dynaset->Requery();
  EXPECT_EQ(VariantToText(dynaset->Fields().Item("name").Value()), "alpha");
  // Positions count the rows shown.
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->AbsolutePosition(), 1);
  EXPECT_FLOAT_EQ(dynaset->PercentPosition(), 50.0f);
  dynaset->SetAbsolutePosition(1);
  EXPECT_EQ(VariantToText(dynaset->Fields().Item("name").Value()), "gamma");
  ExpectError(kInvalidArgument, [&] { dynaset->SetAbsolutePosition(2); });
  dynaset->SetPercentPosition(100.0f);
  EXPECT_EQ(VariantToText(dynaset->Fields().Item("name").Value()), "gamma");
  dynaset->AddNew();
  dynaset->Fields().Item("name").SetValue(std::string("delta"));
  dynaset->Update();
  dynaset->SetBookmark(dynaset->LastModified());
  EXPECT_EQ(dynaset->AbsolutePosition(), 2);
  EXPECT_EQ(dynaset->RecordCount(), 3);

  const auto rows = MdbExport(path_, "Docs");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "alpha");
  EXPECT_EQ(rows[1][1], "gamma");
  EXPECT_EQ(rows[2][1], "delta");
  EXPECT_EQ(MdbCount(path_, "Docs"), 3);
}

TEST_P(EngineEditing, CancelUpdateAndValuesTheFieldRefusesWriteNothing) {
  const auto before = ReadAll(path_);
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenDynaset);
  ExpectError(kUpdateWithoutEdit, [&] { rs->Fields().Item("name").SetValue(std::string("x")); });
  ExpectError(kUpdateWithoutEdit, [&] { rs->Update(); });
  rs->Edit();
  rs->Fields().Item("name").SetValue(std::string("changed"));
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "changed");
  rs->CancelUpdate();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "alpha");
  ExpectError(kNoCurrentRecord, [&] { rs->LastModified(); });

  // Moving drops the edit: nothing is written, Update has nothing to do.
  rs->Edit();
  rs->Fields().Item("name").SetValue(std::string("lost"));
  rs->MoveNext();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  ExpectError(kUpdateWithoutEdit, [&] { rs->Update(); });
  rs->AddNew();
  rs->MoveFirst();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "alpha");

  rs->Edit();
  ExpectError(kFieldTooSmall, [&] { rs->Fields().Item("name").SetValue(std::string(41, 'x')); });
  ExpectError(kFieldNotUpdatable, [&] { rs->Fields().Item("id").SetValue(std::int64_t{9}); });
  ExpectError(kConversionError, [&] { rs->Fields().Item("name").SetValue(Bytes{std::byte{1}}); });
  rs->Fields().Item("name").SetValue(std::int64_t{42});  // numbers become text
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "42");
  rs->CancelUpdate();
  rs->AddNew();
  ExpectError(kConversionError, [&] { rs->Fields().Item("id").SetValue(std::string("abc")); });
  ExpectError(kConversionError, [&] { rs->Fields().Item("id").SetValue(std::int64_t{1} << 40); });
  rs->CancelUpdate();
  EXPECT_EQ(ReadAll(path_), before);

  auto snapshot = database->OpenRecordset("Docs", dbOpenSnapshot);
  EXPECT_FALSE(snapshot->Updatable());
  EXPECT_EQ(snapshot->Fields().Item("name").Attributes() & dbUpdatableField, 0);
  EngineError error = ExpectError(kCannotUpdate, [&] { snapshot->Edit(); });
  EXPECT_NE(std::string(error.what()).find("snapshot"), std::string::npos);
  ExpectError(kCannotUpdate, [&] { snapshot->AddNew(); });
  ExpectError(kCannotUpdate, [&] { snapshot->Delete(); });
  EXPECT_EQ(ReadAll(path_), before);
}

TEST_P(EngineEditing, ADatabaseOpenedReadOnlyRefusesEveryChange) {
  const auto before = ReadAll(path_);
  auto database = session_.workspace->OpenDatabase(path_, 0, true, ";PWD=;");
  auto rs = database->OpenRecordset("Docs", dbOpenTable);
  EXPECT_FALSE(rs->Updatable());
  for (auto action :
       std::vector<std::function<void()>>{[&] { rs->Edit(); }, [&] { rs->AddNew(); },
                                          [&] { rs->Delete(); }, [&] { rs->Update(); }}) {
    EngineError error = ExpectError(kCannotUpdate, action);
    EXPECT_NE(std::string(error.what())
                  .find("Cannot update. Database or object is read-only. The database"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(ReadAll(path_), before);
}

TEST_P(EngineEditing, ReadOnlyAndAppendOnlyOptionsOfOpenRecordset) {
  auto database = session_.Open(path_);
  const auto before = ReadAll(path_);
  // dbReadOnly: by name, through SQL, and on the copy a recordset opens
  auto byName = database->OpenRecordset("Docs", dbOpenDynaset, dbReadOnly);
  auto bySql =
      database->OpenRecordset("Select * From [Docs] Where [id] > 1;", dbOpenDynaset, dbReadOnly);
  auto copy =
      database->OpenRecordset("Docs", dbOpenDynaset)->OpenRecordset(dbOpenDynaset, dbReadOnly);
  for (Recordset* rs : {byName.get(), bySql.get(), copy.get()}) {
    EXPECT_FALSE(rs->Updatable());
    auto clone = rs->Clone();
    for (Recordset* each : {rs, clone.get()}) {
      each->MoveFirst();
      EngineError error = ExpectError(kCannotUpdate, [&] { each->Edit(); });
      EXPECT_NE(std::string(error.what()).find("dbReadOnly"), std::string::npos) << error.what();
      ExpectError(kCannotUpdate, [&] { each->AddNew(); });
      ExpectError(kCannotUpdate, [&] { each->Delete(); });
    }
  }
  EXPECT_EQ(ReadAll(path_), before);

  // dbAppendOnly: none of the existing rows shows; a new one can be added
  // and then shows, but no row can be changed or deleted
  auto append = database->OpenRecordset("Docs", dbOpenDynaset, dbAppendOnly);
  EXPECT_TRUE(append->Bof() && append->Eof());
  append->AddNew();
  append->Fields().Item("name").SetValue(std::string("appended"));
  append->Update();
  append->MoveFirst();
  EXPECT_EQ(VariantToText(append->Fields().Item("name").Value()), "appended");
  append->MoveNext();
  EXPECT_TRUE(append->Eof());
  append->MoveFirst();
  ExpectError(kCannotUpdate, [&] { append->Edit(); });
  ExpectError(kCannotUpdate, [&] { append->Delete(); });
  EXPECT_EQ(MdbCount(path_, "Docs"), 4);
}

TEST_P(EngineEditing, AddingAtEofStaysAtEofAndAnotherRecordsetSeesChangedRows) {
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenDynaset);
  auto other = database->OpenRecordset("Docs", dbOpenDynaset);
  EXPECT_EQ(VariantToText(other->Fields().Item("notes").Value()),
            "first");  // cracked before the change
  rs->MoveLast();
  rs->MoveNext();
  ASSERT_TRUE(rs->Eof());
  rs->AddNew();
  rs->Fields().Item("name").SetValue(std::string("added at EOF"));
  rs->Update();
  EXPECT_TRUE(rs->Eof());
  rs->MovePrevious();
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "added at EOF");
  rs->MoveFirst();
  rs->Edit();
  rs->Fields().Item("notes").SetValue(std::string(2000, 'g'));  // the page is re-packed
  rs->Fields().Item("name").SetValue(std::string("grown"));
  rs->Update();
  EXPECT_EQ(VariantToText(other->Fields().Item("name").Value()), "grown");
  EXPECT_EQ(VariantToText(other->Fields().Item("notes").Value()), std::string(2000, 'g'));
  other->MoveNext();
  EXPECT_EQ(VariantToText(other->Fields().Item("name").Value()), "beta");
}

TEST_P(EngineEditing, AFileMarkedReadOnlyIsNotWrittenEvenWhereTheSystemWouldAllowIt) {
  std::filesystem::permissions(path_, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
  const auto before = ReadAll(path_);
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenTable);
  EngineError error = ExpectError(kCannotUpdate, [&] { rs->AddNew(); });
  EXPECT_NE(std::string(error.what()).find("read-only"), std::string::npos) << error.what();
  ExpectError(kCannotUpdate, [&] { rs->Delete(); });
  EXPECT_EQ(ReadAll(path_), before);
}

TEST_P(EngineEditing, RowsAddedToAFilteredDynasetComeLastInItAndItsClones) {
  auto database = session_.Open(path_);
  auto all = database->OpenRecordset("Docs", dbOpenDynaset);
  all->SetFilter("[name] <> 'beta'");
  auto filtered = all->OpenRecordset(dbOpenDynaset, 0);
  auto clone = filtered->Clone();
  filtered->AddNew();
  filtered->Fields().Item("name").SetValue(std::string("beta"));  // outside the filter, still shown
  filtered->Update();
  std::vector<std::string> names;
  for (clone->MoveFirst(); !clone->Eof(); clone->MoveNext())
    names.push_back(VariantToText(clone->Fields().Item("name").Value()));
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "gamma", "beta"}));
  clone->SetBookmark(filtered->LastModified());
  EXPECT_EQ(std::get<std::int64_t>(clone->Fields().Item("id").Value()), 4);
}

TEST_P(EngineEditing, ManyInsertsThroughTheEngine) {
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenTable);
  const int inserts = 150;
  for (int i = 0; i < inserts; ++i) {
    rs->AddNew();
    rs->Fields().Item("name").SetValue(std::string("n") + std::to_string(i));
    rs->Fields().Item("blob").SetValue(
        Pattern(static_cast<std::size_t>(i) * 97, static_cast<unsigned>(i)));
    rs->Update();
  }
  EXPECT_EQ(rs->RecordCount(), inserts + 3);
  rs->MoveLast();
  EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), "n" + std::to_string(inserts - 1));
  EXPECT_EQ(std::get<Bytes>(rs->Fields().Item("blob").Value()),
            Pattern((inserts - 1) * 97, inserts - 1));
  const auto rows = MdbExport(path_, "Docs");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(inserts + 3));
  for (int i = 0; i < inserts; i += 13) {
    EXPECT_EQ(rows[static_cast<std::size_t>(i + 3)][1], "n" + std::to_string(i));
    EXPECT_EQ(rows[static_cast<std::size_t>(i + 3)][3],
              Hex(Pattern(static_cast<std::size_t>(i) * 97, static_cast<unsigned>(i))));
  }
  EXPECT_EQ(MdbCount(path_, "Docs"), inserts + 3);
  // A recordset opened afterwards on the same database scans every new page.
  auto fresh = database->OpenRecordset("Docs", dbOpenDynaset);
  fresh->MoveLast();
  EXPECT_EQ(fresh->RecordCount(), inserts + 3);
  EXPECT_EQ(std::get<Bytes>(fresh->Fields().Item("blob").Value()),
            Pattern((inserts - 1) * 97, inserts - 1));
}

TEST_P(EngineEditing, EveryColumnTypeTakesItsValuesAndKeepsTheOthersOnEdit) {
  TempDir dir;
  const std::string path = dir.File("types.mdb");
  w::Guid guid;
  for (int i = 0; i < 16; ++i)
    guid.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA0 + i);
  {
    w::WriterOptions options;
    options.format = GetParam();
    w::MdbWriter writer(path, options);
    writer
        .AddTable({"Types",
                   {{"l", w::ColumnType::Long},
                    {"i", w::ColumnType::Integer},
                    {"b", w::ColumnType::Byte},
                    {"f", w::ColumnType::YesNo},
                    {"m", w::ColumnType::Currency},
                    {"d", w::ColumnType::Double},
                    {"t", w::ColumnType::DateTime},
                    {"s", w::ColumnType::Text, 10},
                    {"r", w::ColumnType::Binary, 4},
                    {"g", w::ColumnType::Guid}}})
        .AddRow({std::int64_t{-5}, std::int64_t{300}, std::int64_t{7}, true, w::Currency{12345},
                 0.25, w::Date{36925.5}, std::string("Grüße"), w::Bytes{std::byte{1}, std::byte{2}},
                 guid});
    writer.Finish();
  }
  auto database = session_.Open(path);
  auto rs = database->OpenRecordset("Types", dbOpenTable);
  const auto original = MdbExport(path, "Types");
  // Changing one field keeps every other value exactly.
  rs->Edit();
  rs->Fields().Item("l").SetValue(std::int64_t{6});
  rs->Update();
  auto rows = MdbExport(path, "Types");
  ASSERT_EQ(rows.size(), 1u);
  auto expected = original[0];
  expected[0] = "6";
  EXPECT_EQ(rows[0], expected);

  rs->AddNew();
  rs->Fields().Item("l").SetValue(2.5);  // rounds half to even
  rs->Fields().Item("i").SetValue(std::string("-12"));
  ExpectError(kConversionError, [&] { rs->Fields().Item("b").SetValue(true); });  // True is -1
  ExpectError(kConversionError, [&] { rs->Fields().Item("b").SetValue(std::int64_t{256}); });
  rs->Fields().Item("b").SetValue(std::int64_t{255});
  rs->Fields().Item("f").SetValue(std::string("No"));
  rs->Fields().Item("m").SetValue(1.5);
  rs->Fields().Item("d").SetValue(std::int64_t{3});
  ExpectError(kConversionError, [&] { rs->Fields().Item("t").SetValue(std::string("someday")); });
  rs->Fields().Item("t").SetValue(Date{2.75});
  ExpectError(kFieldTooSmall, [&] { rs->Fields().Item("s").SetValue(std::string("elevenchars")); });
  rs->Fields().Item("s").SetValue(std::string("tenchars!!"));
  ExpectError(kFieldTooSmall, [&] { rs->Fields().Item("r").SetValue(Bytes(5)); });
  rs->Fields().Item("r").SetValue(Bytes{std::byte{0xFF}});
  ExpectError(kConversionError,
              [&] { rs->Fields().Item("g").SetValue(std::string("not a guid")); });
  rs->Fields().Item("g").SetValue(std::string("{12345678-9ABC-DEF0-1234-56789ABCDEF0}"));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(VariantToText(rs->Fields().Item("g").Value()),
            "{guid {12345678-9ABC-DEF0-1234-56789ABCDEF0}}");
  EXPECT_EQ(std::get<Currency>(rs->Fields().Item("m").Value()).scaled, 15000);
  EXPECT_EQ(std::get<bool>(rs->Fields().Item("f").Value()), false);
  rows = MdbExport(path, "Types");
  ASSERT_EQ(rows.size(), 2u);
  // mdb-export gives the GUID as its text (without the last dash),
  // hex-encoded like other binary columns.
  const std::string guidText = "{12345678-9ABC-DEF0-123456789ABCDEF0}";
  EXPECT_EQ(
      rows[1],
      (std::vector<std::string>{
          "2", "-12", "255", "0", "1.5000", "3", "1900-01-01 18:00:00", "tenchars!!", "FF",
          Hex(Bytes(reinterpret_cast<const std::byte*>(guidText.data()),
                    reinterpret_cast<const std::byte*>(guidText.data()) + guidText.size()))}));
}

TEST_P(EngineEditing, ARowTooLargeOrATextTheFormatCannotHoldFailsWithNothingWritten) {
  TempDir dir;
  const std::string path = dir.File("wide.mdb");
  {
    w::WriterOptions options;
    options.format = GetParam();
    w::MdbWriter writer(path, options);
    std::vector<w::ColumnDef> columns;
    for (int i = 0; i < 20; ++i)
      columns.push_back({"c" + std::to_string(i), w::ColumnType::Text, 255});
    writer.AddTable({"Wide", columns});
    writer.Finish();
  }
  const auto before = ReadAll(path);
  auto database = session_.Open(path);
  auto rs = database->OpenRecordset("Wide", dbOpenTable);
  rs->AddNew();
  // Twenty full columns need more than a page.
  for (int i = 0; i < 20; ++i) rs->Fields().Item(i).SetValue(std::string(255, 'q'));
  EngineError error = ExpectError(kRecordTooLarge, [&] { rs->Update(); });
  EXPECT_NE(std::string(error.what()).find("Record is too large."), std::string::npos)
      << error.what();
  EXPECT_EQ(rs->EditMode(), dbEditAdd) << "the values stay for another try";
  rs->CancelUpdate();
  if (GetParam() == w::JetFormat::Jet3) {
    rs->AddNew();
    rs->Fields().Item(0).SetValue(std::string("\u4e2d"));  // no Windows-1252 code
    ExpectError(kConversionError, [&] { rs->Update(); });
    rs->CancelUpdate();
  }
  EXPECT_EQ(ReadAll(path), before);
}

TEST_P(EngineEditing, ARandomRunThroughARecordsetAndItsCloneMatchesItsModel) {
  // Adds, edits and deletes through a dynaset and its clone in a repeatable
  // random order; bookmarks must keep leading to the same rows, and the
  // file must read back (engine and mdb-export) as the model says.
  auto database = session_.Open(path_);
  auto rs = database->OpenRecordset("Docs", dbOpenDynaset);
  auto clone = rs->Clone();
  struct Model {
    Bytes bookmark;
    std::string name;
    Bytes blob;
  };
  std::vector<Model> model;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    Variant blob = rs->Fields().Item("blob").Value();
    model.push_back({rs->Bookmark(), VariantToText(rs->Fields().Item("name").Value()),
                     IsNull(blob) ? Bytes{} : std::get<Bytes>(blob)});
  }
  std::mt19937 random(GetParam() == w::JetFormat::Jet4 ? 44 : 33);
  for (int step = 0; step < 120; ++step) {
    Recordset& via = random() % 2 ? *rs : *clone;
    const unsigned op = random() % 10;
    const std::size_t size = random() % 3 == 0 ? PageSize() * (1 + random() % 3) : random() % 200;
    if (op < 4 || model.empty()) {
      via.AddNew();
      Model m{{}, "add" + std::to_string(step), Pattern(size, static_cast<unsigned>(step))};
      via.Fields().Item("name").SetValue(m.name);
      via.Fields().Item("blob").SetValue(m.blob);
      via.Update();
      m.bookmark = via.LastModified();
      model.push_back(std::move(m));
    } else if (op < 8) {
      Model& m = model[random() % model.size()];
      via.SetBookmark(m.bookmark);
      via.Edit();
      m.name = "edit" + std::to_string(step);
      via.Fields().Item("name").SetValue(m.name);
      if (random() % 2) {
        m.blob = Pattern(size, 1000u + static_cast<unsigned>(step));
        via.Fields().Item("blob").SetValue(m.blob);
      }
      via.Update();
      EXPECT_EQ(via.LastModified(), m.bookmark);
    } else {
      const std::size_t k = random() % model.size();
      via.SetBookmark(model[k].bookmark);
      via.Delete();
      Recordset& other = &via == rs.get() ? *clone : *rs;
      ExpectError(kRecordDeleted, [&] { other.SetBookmark(model[k].bookmark); });
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  for (const Model& m : model) {
    rs->SetBookmark(m.bookmark);
    EXPECT_EQ(VariantToText(rs->Fields().Item("name").Value()), m.name);
    Variant blob = rs->Fields().Item("blob").Value();
    EXPECT_EQ(IsNull(blob) ? Bytes{} : std::get<Bytes>(blob), m.blob) << m.name;
  }
  std::vector<std::string> seen;
  for (clone->MoveFirst(); !clone->Eof(); clone->MoveNext())
    seen.push_back(VariantToText(clone->Fields().Item("name").Value()));
  std::vector<std::string> expected;
  for (const Model& m : model) expected.push_back(m.name);
  EXPECT_EQ(seen, expected);
  const auto rows = MdbExport(path_, "Docs");
  ASSERT_EQ(rows.size(), model.size());
  std::map<std::string, const Model*> byName;
  for (const Model& m : model) byName[m.name] = &m;
  for (const auto& row : rows) {
    ASSERT_TRUE(byName.count(row[1])) << row[1];
    const Model& m = *byName[row[1]];
    if (!m.blob.empty()) EXPECT_EQ(row[3], Hex(m.blob)) << m.name;
  }
  EXPECT_EQ(MdbCount(path_, "Docs"), static_cast<int>(model.size()));
}

// A private copy of the shared fixture (kFixtures): never written itself.
TEST(EngineEditingRefusals, AnIndexedTableAndDefinitionsRefuseAndTheFileStaysByteForByte) {
  TempDir dir;
  const std::string copy = dir.File("nwind.mdb");
  std::filesystem::copy_file(kFixtures + "nwind.mdb", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  const auto before = ReadAll(copy);
  EngineSession session;
  auto database = session.Open(copy);
  for (int type : {dbOpenTable, dbOpenDynaset}) {
    auto rs = database->OpenRecordset("Order Details", type);
    EXPECT_FALSE(rs->Updatable());
    for (auto action : std::vector<std::function<void()>>{
             [&] { rs->Edit(); }, [&] { rs->AddNew(); }, [&] { rs->Delete(); },
             [&] { rs->Update(); },
             [&] { rs->Fields().Item("Quantity").SetValue(std::int64_t{1}); }}) {
      EngineError error = ExpectError(kCannotUpdate, action);
      EXPECT_EQ(std::string(error.what()),
                "Cannot update. Database or object is read-only. The table 'Order Details' has "
                "indexes; Corvid "
                "does not maintain Access indexes.");
    }
    EXPECT_EQ(rs->EditMode(), dbEditNone);
  }
  ExpectError(kCannotUpdate, [&] { database->CreateQueryDef("q", "Select * From [Orders];"); });
  if (database->QueryDefs().Count() > 0)
    ExpectError(kCannotUpdate, [&] { database->QueryDefs().Item(0).SetSQL("Select 1;"); });
  for (auto action : std::vector<std::function<void()>>{
           [&] { database->TableDefs().Item("Order Details").TableIndexes().Delete("PrimaryKey"); },
           [&] {
             auto& indexes = database->TableDefs().Item("Order Details").TableIndexes();
             indexes.Append(indexes.Item("PrimaryKey"));
           },
           [&] { database->TableDefs().Item("Order Details").CreateIndex("x"); }}) {
    EngineError refused = ExpectError(kCannotUpdate, action);
    EXPECT_NE(std::string(refused.what()).find("Corvid does not maintain Access indexes"),
              std::string::npos)
        << refused.what();
  }
  auto system = database->OpenRecordset("MSysObjects", dbOpenTable);
  EngineError error = ExpectError(kCannotUpdate, [&] { system->AddNew(); });
  EXPECT_NE(std::string(error.what()).find("system table"), std::string::npos);
  database->Close();
  EXPECT_EQ(ReadAll(copy), before);
}

// A table Access itself made (queryTestV2003.mdb, Table1: three Text(50)
// columns, no indexes, no rows), in a private copy of the shared fixture
// (kFixtures).
TEST(EngineEditingAccessFile, RowsOfATableAccessMadeChangeAndReadBackByMdbtools) {
  TempDir dir;
  const std::string copy = dir.File("queryTestV2003.mdb");
  std::filesystem::copy_file(kFixtures + "queryTestV2003.mdb", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EngineSession session;
  auto database = session.Open(copy);
  auto rs = database->OpenRecordset("Table1", dbOpenDynaset);
  ASSERT_TRUE(rs->Updatable());
  EXPECT_TRUE(rs->Eof());
  for (int i = 0; i < 40; ++i) {
    rs->AddNew();
    rs->Fields().Item("col1").SetValue(std::string("row ") + std::to_string(i));
    rs->Fields().Item("col2").SetValue(std::string(50, static_cast<char>('a' + i % 26)));
    if (i % 3 == 0) rs->Fields().Item("col3").SetValue(std::string("äöü ") + std::to_string(i));
    rs->Update();
  }
  rs->MoveFirst();
  rs->Edit();
  rs->Fields().Item("col2").SetValue(std::string("changed"));
  rs->Update();
  rs->MoveNext();
  rs->Delete();

  const auto rows = MdbExport(copy, "Table1");
  ASSERT_EQ(rows.size(), 39u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"row 0", "changed", "äöü 0"}));
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const int i = static_cast<int>(r) + 1;
    EXPECT_EQ(rows[r],
              (std::vector<std::string>{"row " + std::to_string(i),
                                        std::string(50, static_cast<char>('a' + i % 26)),
                                        i % 3 == 0 ? "äöü " + std::to_string(i) : "\x01NULL"}));
  }
  EXPECT_EQ(MdbCount(copy, "Table1"), 39);
  // The engine reads the same after opening the file again.
  auto reopened = session.Open(copy);
  auto again = reopened->OpenRecordset("Table1", dbOpenTable);
  EXPECT_EQ(again->RecordCount(), 39);
  again->MoveLast();
  EXPECT_EQ(VariantToText(again->Fields().Item("col1").Value()), "row 39");
}

}  // namespace
}  // namespace corvid::dao
