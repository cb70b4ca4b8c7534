// The database map on real and writer-made files: row counts against
// libmdb's own tools, document columns with their non-empty counts and the
// kinds of their first 100 values, and the text layout of the map.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <deque>
#include <optional>
#include <stdexcept>
#include <utility>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "dao/connection/stored_configuration.h"
#include "dao/dao_database.h"
#include "dao/database_map.h"
#include "dao/database_map_output.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database.h"
#include "dao/engine/engine_error.h"
#include "jet/mdb_writer.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
namespace mw = corvid::jet;
using ::testing::HasSubstr;

std::string Run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  if (!pipe) return out;
  std::array<char, 512> chunk{};
  while (fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) out += chunk.data();
  return out;
}

// Rows of a table as mdb-count reports them.
std::int64_t MdbCount(const std::string& path, const std::string& table) {
  const std::string out = Run("mdb-count '" + path + "' '" + table + "' 2>/dev/null");
  return out.empty() ? -1 : std::stoll(out);
}

// User tables as mdb-tables lists them.
std::vector<std::string> MdbTables(const std::string& path) {
  std::vector<std::string> names;
  std::string out = Run("mdb-tables -1 '" + path + "' 2>/dev/null");
  std::size_t start = 0;
  while (start < out.size()) {
    const std::size_t end = out.find('\n', start);
    names.push_back(out.substr(start, end - start));
    start = end == std::string::npos ? out.size() : end + 1;
  }
  return names;
}

class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/corvid-map-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The connection as the program makes it: the window's stored configuration.
std::unique_ptr<TVxDaoDatabase> StoredConnection() {
  auto db = std::make_unique<TVxDaoDatabase>();
  db->BeginLoading();
  ApplyStoredDatabaseConfiguration(*db);
  db->FinishSetup();
  return db;
}

const TableMap& Table(const DatabaseMap& map, const std::string& name) {
  for (const TableMap& table : map.tables) {
    if (table.name == name) return table;
  }
  throw std::runtime_error("no table " + name);
}

const ColumnMap& Column(const TableMap& table, const std::string& name) {
  for (const ColumnMap& column : table.columns) {
    if (column.name == name) return column;
  }
  throw std::runtime_error("no column " + name);
}

mw::Bytes Payload(std::string_view head, std::size_t size) {
  mw::Bytes bytes;
  for (const char c : head) bytes.push_back(static_cast<std::byte>(c));
  while (bytes.size() < size) bytes.push_back(static_cast<std::byte>(bytes.size() * 7 & 0x3F));
  return bytes;
}
mw::Bytes Png() { return Payload(std::string_view("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 300); }
mw::Bytes Pdf() { return Payload("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n", 500); }
mw::Bytes Gif() { return Payload("GIF89a\x02\x00\x02\x00", 80); }
mw::Bytes Unknown() { return mw::Bytes(64, std::byte{'q'}); }

TEST(DatabaseMap, NorthwindTablesRowsAndPictures) {
  const std::string path = corvid::testing_fixtures::MdbFixtureDir() + "nwind.mdb";
  auto connection = StoredConnection();
  const DatabaseMap map = MapDatabaseFile(*connection, path);
  EXPECT_FALSE(connection->Connected());
  EXPECT_FALSE(map.Incomplete());
  EXPECT_EQ(map.file, path);

  std::vector<std::string> names;
  for (const TableMap& table : map.tables) {
    names.push_back(table.name);
    SCOPED_TRACE(table.name);
    EXPECT_EQ(table.rows, MdbCount(path, table.name));
    EXPECT_EQ(table.error, "");
  }
  EXPECT_THAT(names, ::testing::UnorderedElementsAreArray(MdbTables(path)));

  const TableMap& categories = Table(map, "Categories");
  EXPECT_EQ(categories.rows, 8);
  const ColumnMap& picture = Column(categories, "Picture");
  EXPECT_EQ(picture.typeNumber, dao::dbLongBinary);
  EXPECT_TRUE(picture.document);
  EXPECT_EQ(picture.nonEmpty, 8);
  EXPECT_EQ(picture.kinds, (std::map<std::string, std::int64_t>{{".bmp", 8}}));
  const ColumnMap& id = Column(categories, "CategoryID");
  EXPECT_EQ(id.typeNumber, dao::dbLong);
  EXPECT_FALSE(id.document);
  EXPECT_EQ(Column(categories, "Description").typeNumber, dao::dbMemo);

  // Employees' photos are pictures too, one per employee.
  const ColumnMap& photo = Column(Table(map, "Employees"), "Photo");
  EXPECT_TRUE(photo.document);
  EXPECT_EQ(photo.nonEmpty, Table(map, "Employees").rows);
  EXPECT_EQ(SampledValues(photo), photo.nonEmpty);
}

// Attachment columns count the records with at least one attached file;
// the kinds come from the files' own names. A multi-value column is listed
// with its type and is no document column.
TEST(DatabaseMap, AttachmentColumnsCountRecordsWithFilesAndKindsByName) {
  const std::string dir = corvid::testing_fixtures::MdbFixtureDir();
  auto connection = StoredConnection();
  const DatabaseMap attachments = MapDatabaseFile(*connection, dir + "attachments.accdb");
  EXPECT_FALSE(attachments.Incomplete());
  const TableMap& table = Table(attachments, "Table1");
  EXPECT_EQ(table.rows, 3);
  const ColumnMap& files = Column(table, "Attachments");
  EXPECT_EQ(files.typeNumber, dao::dbAttachment);
  EXPECT_TRUE(files.document);
  EXPECT_EQ(files.nonEmpty, 2);  // records 2 and 3; record 1 has none
  EXPECT_EQ(files.kinds, (std::map<std::string, std::int64_t>{{".txt", 4}}));

  const DatabaseMap complex = MapDatabaseFile(*connection, dir + "complexDataTestV2007.accdb");
  const TableMap& mixed = Table(complex, "Table1");
  const ColumnMap& attached = Column(mixed, "attach-data");
  EXPECT_EQ(attached.nonEmpty, 2);  // rows 2 and 4
  EXPECT_EQ(attached.kinds, (std::map<std::string, std::int64_t>{{".txt", 3}}));
  const ColumnMap& multi = Column(mixed, "multi-value-data");
  EXPECT_EQ(multi.typeNumber, dao::dbComplexText);
  EXPECT_FALSE(multi.document);
}

// PNG, PDF, GIF and unknown values between NULL and zero-length ones, a
// column that is all NULL, and more than 100 filled values in another table:
// only the first 100 go to recognition, all are counted.
TEST(DatabaseMap, DocumentColumnsOfAWrittenDatabase) {
  ScratchDir dir;
  const std::string path = dir.File("documents.mdb");
  {
    mw::MdbWriter writer(path);
    auto& scans = writer.AddTable({"Scans",
                                   {{"id", mw::ColumnType::Long},
                                    {"doc", mw::ColumnType::OleObject},
                                    {"note", mw::ColumnType::Text},
                                    {"spare", mw::ColumnType::OleObject}}});
    const mw::Bytes empty;
    const mw::Value docs[] = {Png(),     mw::Null, Pdf(), Png(), empty,
                              Unknown(), mw::Null, Png(), Pdf(), Gif()};
    std::int64_t id = 0;
    for (const mw::Value& doc : docs) scans.AddRow({++id, doc, std::string("n"), mw::Null});

    auto& many = writer.AddTable(
        {"Many", {{"id", mw::ColumnType::Long}, {"img", mw::ColumnType::OleObject}}});
    for (std::int64_t i = 1; i <= 130; ++i) {
      if (i % 10 == 0) {
        many.AddRow({i, mw::Null});  // 13 NULLs: the 100th filled value is row 111
      } else {
        many.AddRow({i, i <= 111 ? Gif() : Pdf()});
      }
    }
    writer.Finish();
  }

  auto connection = StoredConnection();
  const DatabaseMap map = MapDatabaseFile(*connection, path);
  ASSERT_EQ(map.tables.size(), 2u);
  const TableMap& scans = Table(map, "Scans");
  EXPECT_EQ(scans.rows, 10);
  const ColumnMap& doc = Column(scans, "doc");
  EXPECT_EQ(doc.nonEmpty, 7);
  EXPECT_EQ(doc.kinds, (std::map<std::string, std::int64_t>{
                           {".png", 3}, {".pdf", 2}, {".gif", 1}, {".dmp", 1}}));
  const ColumnMap& spare = Column(scans, "spare");
  EXPECT_TRUE(spare.document);
  EXPECT_EQ(spare.nonEmpty, 0);
  EXPECT_TRUE(spare.kinds.empty());
  EXPECT_FALSE(Column(scans, "note").document);
  EXPECT_EQ(Column(scans, "note").typeNumber, dao::dbText);

  const ColumnMap& img = Column(Table(map, "Many"), "img");
  EXPECT_EQ(img.nonEmpty, 117);
  EXPECT_EQ(img.kinds, (std::map<std::string, std::int64_t>{{".gif", 100}}));

  // The quick map of names reads no values.
  auto again = StoredConnection();
  MapOptions namesOnly;
  namesOnly.documents = false;
  const DatabaseMap names = MapDatabaseFile(*again, path, namesOnly);
  EXPECT_EQ(Table(names, "Many").rows, 130);
  EXPECT_EQ(Column(Table(names, "Many"), "img").nonEmpty, 0);
  EXPECT_THAT(DatabaseMapText(map),
              HasSubstr("  doc    OLE Object    7 non-empty: 3 .png, 2 .pdf, 1 .dmp, 1 .gif\n"));
}

// The map gives the file back: an exclusive open (what a run does) succeeds
// right after it, and a file that is no database fails with the engine's
// message and leaves the connection closed.
TEST(DatabaseMap, OpensReadsAndClosesTheFile) {
  ScratchDir dir;
  const std::string path = dir.File("one.mdb");
  {
    mw::MdbWriter writer(path);
    writer.AddTable({"T", {{"id", mw::ColumnType::Long}}}).AddRow({std::int64_t{1}});
    writer.Finish();
  }
  auto connection = StoredConnection();
  MapDatabaseFile(*connection, path);
  auto run = StoredConnection();
  ASSERT_TRUE(run->Exclusive());
  run->F_Set_DatabaseType("Access");
  run->F_Set_Database(path);
  EXPECT_NO_THROW(run->F_Set_Connected(true));
  EXPECT_TRUE(run->Connected());
  run->F_Set_Connected(false);

  const std::string bogus = dir.File("notes.mdb");
  {
    std::FILE* f = std::fopen(bogus.c_str(), "w");
    std::fputs("this is not an Access database\n", f);
    std::fclose(f);
  }
  auto failing = StoredConnection();
  try {
    MapDatabaseFile(*failing, bogus);
    ADD_FAILURE() << "a text file was mapped";
  } catch (const std::exception& error) {
    EXPECT_THAT(error.what(), HasSubstr(bogus));
  }
  EXPECT_FALSE(failing->Connected());
}

// A small engine of tables in memory whose values can be damaged: only what
// the map calls answers.
namespace damaged {

[[noreturn]] void Unused() { throw std::logic_error("not used by the map"); }

struct Cell {
  std::optional<mw::Bytes> bytes;  // nothing: NULL
  bool damaged = false;
};

template <class T>
class List : public dao::Collection<T> {
 public:
  std::vector<std::shared_ptr<T>> items;
  int Count() const override { return static_cast<int>(items.size()); }
  T& Item(int index) override { return *items.at(static_cast<std::size_t>(index)); }
  T& Item(std::string_view name) override {
    for (auto& item : items)
      if (item->Name() == name) return *item;
    throw dao::EngineError(dao::kItemNotFound, "Item not found in this collection.");
  }
  void Refresh() override {}
};

class Rows;

class Field : public dao::Field {
 public:
  Field(std::string name, int type, const Rows* rows, std::size_t column)
      : name_(std::move(name)), type_(type), rows_(rows), column_(column) {}
  std::string Name() const override { return name_; }
  int Type() const override { return type_; }
  std::int32_t Size() const override { return 0; }
  std::int32_t Attributes() const override { return 0; }
  bool Required() const override { return false; }
  bool AllowZeroLength() const override { return false; }
  std::string DefaultValue() const override { return {}; }
  int OrdinalPosition() const override { return static_cast<int>(column_); }
  const dao::Properties& FieldProperties() const override { return properties_; }
  dao::Variant Value() override { Unused(); }
  void SetValue(const dao::Variant&) override { Unused(); }
  std::int64_t FieldSize() override;
  bool ReadBytesInto(std::vector<std::byte>& into) override;

 private:
  const Cell& Current() const;
  std::string name_;
  int type_;
  const Rows* rows_;
  std::size_t column_;
  dao::Properties properties_;
};

struct TableData {
  std::string name;
  std::int32_t attributes = 0;
  std::int32_t listedRows = 0;  // -1: unknown
  std::vector<std::pair<std::string, int>> columns;
  std::vector<std::vector<Cell>> rows;
  std::optional<std::string> openFailure;  // damage that keeps the rows unread
};

class Rows : public dao::Recordset {
 public:
  Rows(const TableData& data, bool& closed) : data_(data), closed_(closed) {
    for (std::size_t c = 0; c < data.columns.size(); ++c)
      fields_.items.push_back(
          std::make_shared<Field>(data.columns[c].first, data.columns[c].second, this, c));
  }
  const Cell& At(std::size_t column) const {
    if (Eof()) throw dao::EngineError(dao::kNoCurrentRecord, "No current record.");
    return data_.rows[position_][column];
  }
  std::string Name() const override { return data_.name; }
  int Type() const override { return dao::dbOpenTable; }
  void MoveFirst() override { position_ = 0; }
  void MoveNext() override {
    if (Eof()) throw dao::EngineError(dao::kNoCurrentRecord, "No current record.");
    ++position_;
  }
  bool Eof() const override { return position_ >= data_.rows.size(); }
  bool Bof() const override { return false; }
  dao::Collection<dao::Field>& Fields() override { return fields_; }
  void Close() override { closed_ = true; }

  void MoveLast() override { Unused(); }
  void MovePrevious() override { Unused(); }
  void Move(std::int32_t, const dao::Bytes*) override { Unused(); }
  std::int32_t RecordCount() override { Unused(); }
  std::int32_t AbsolutePosition() override { Unused(); }
  void SetAbsolutePosition(std::int32_t) override { Unused(); }
  float PercentPosition() override { Unused(); }
  void SetPercentPosition(float) override { Unused(); }
  dao::Bytes Bookmark() override { Unused(); }
  void SetBookmark(const dao::Bytes&) override { Unused(); }
  bool Bookmarkable() const override { return false; }
  dao::Bytes LastModified() override { Unused(); }
  bool Updatable() const override { return false; }
  bool LockEdits() const override { return false; }
  int EditMode() const override { return dao::dbEditNone; }
  std::string DateCreated() override { Unused(); }
  std::string LastUpdated() override { Unused(); }
  std::unique_ptr<dao::Recordset> Clone() override { Unused(); }
  void Requery() override { Unused(); }
  void Edit() override { Unused(); }
  void AddNew() override { Unused(); }
  void Update() override { Unused(); }
  void CancelUpdate() override { Unused(); }
  void Delete() override { Unused(); }
  std::unique_ptr<dao::Recordset> OpenRecordset(int, int) override { Unused(); }
  void SetFilter(std::string_view) override { Unused(); }
  void SetSort(std::string_view) override { Unused(); }
  void SetIndex(std::string_view) override { Unused(); }
  void FindFirst(std::string_view) override { Unused(); }
  void FindLast(std::string_view) override { Unused(); }
  void FindNext(std::string_view) override { Unused(); }
  void FindPrevious(std::string_view) override { Unused(); }
  bool NoMatch() const override { Unused(); }
  void Seek(std::string_view, const std::vector<dao::Variant>&) override { Unused(); }

 private:
  const TableData& data_;
  bool& closed_;
  std::size_t position_ = 0;
  List<dao::Field> fields_;
};

const Cell& Field::Current() const {
  const Cell& cell = rows_->At(column_);
  if (cell.damaged)
    throw dao::DataDamageError(
        "Table 'Scans', page 44, row 2, field 'doc': the long-value chain loops back.");
  return cell;
}
std::int64_t Field::FieldSize() {
  return Current().bytes ? static_cast<std::int64_t>(Current().bytes->size()) : 0;
}
bool Field::ReadBytesInto(std::vector<std::byte>& into) {
  into.clear();
  if (!Current().bytes) return false;
  into = *Current().bytes;
  return true;
}

class Definition : public dao::TableDef {
 public:
  explicit Definition(const TableData& data) : data_(data) {
    for (std::size_t c = 0; c < data.columns.size(); ++c)
      fields_.items.push_back(
          std::make_shared<Field>(data.columns[c].first, data.columns[c].second, nullptr, c));
  }
  std::string Name() const override { return data_.name; }
  std::int32_t Attributes() const override { return data_.attributes; }
  std::int32_t RecordCount() override { return data_.listedRows; }
  std::string DateCreated() override { Unused(); }
  std::string LastUpdated() override { Unused(); }
  dao::Collection<dao::Field>& Fields() override { return fields_; }
  dao::Indexes& TableIndexes() override { Unused(); }
  const dao::Properties& TableProperties() const override { return properties_; }
  dao::Field& CreateField(std::string_view, int, int) override { Unused(); }
  dao::Index& CreateIndex(std::string_view) override { Unused(); }

 private:
  const TableData& data_;
  List<dao::Field> fields_;
  dao::Properties properties_;
};

class Database : public dao::Database {
 public:
  explicit Database(std::vector<TableData> tables)
      : tables_(std::move(tables)), closed_(tables_.size(), true) {
    for (const TableData& table : tables_)
      definitions_.items.push_back(std::make_shared<Definition>(table));
  }
  std::vector<std::string> notes;
  std::vector<std::string> opened;
  bool AllClosed() const {
    for (const bool closed : closed_) {
      if (!closed) return false;
    }
    return true;
  }
  std::unique_ptr<dao::Recordset> OpenRecordset(std::string_view source, int, int, int) override {
    opened.emplace_back(source);
    for (std::size_t t = 0; t < tables_.size(); ++t) {
      if (tables_[t].name != source) continue;
      if (tables_[t].openFailure) throw dao::DataDamageError(*tables_[t].openFailure);
      closed_[t] = false;
      bool& closed = closed_[t];
      return std::make_unique<Rows>(tables_[t], closed);
    }
    throw dao::EngineError(dao::kObjectNotFound, "no such table");
  }
  std::vector<std::string> TakeDamageNotes() override { return std::exchange(notes, {}); }
  dao::Collection<dao::TableDef>& TableDefs() override { return definitions_; }
  std::string Name() const override { return "memory.mdb"; }

  std::string Version() const override { return "4.0"; }
  std::int32_t CollatingOrder() const override { return 1033; }
  std::string Connect() const override { return {}; }
  bool Updatable() const override { return false; }
  std::int32_t QueryTimeout() const override { return 60; }
  void SetQueryTimeout(std::int32_t) override { Unused(); }
  std::int32_t RecordsAffected() const override { return 0; }
  dao::QueryDef& CreateQueryDef(std::string_view, std::string_view) override { Unused(); }
  dao::Collection<dao::QueryDef>& QueryDefs() override { Unused(); }
  dao::Collection<dao::NamedObject>& Containers() override { Unused(); }
  dao::Collection<dao::NamedObject>& Relations() override { Unused(); }
  dao::Collection<dao::Recordset>& Recordsets() override { Unused(); }
  dao::Properties& DatabaseProperties() override { Unused(); }
  void Close() override {}

 private:
  std::vector<TableData> tables_;
  std::deque<bool> closed_;
  List<dao::TableDef> definitions_;
};

}  // namespace damaged

// Damage costs only what it hits: a damaged value is counted as such and the
// walk goes on; a table whose rows cannot be read keeps its columns and the
// map goes on with the next table; the engine's damage notes come along. The
// engine's own tables are left out, and a table of unknown size is counted.
TEST(DatabaseMap, DamageIsCountedWhereItIsAndTheRestIsMapped) {
  using damaged::Cell;
  const mw::Bytes png = Png(), pdf = Pdf();
  std::vector<damaged::TableData> tables(5);
  tables[0] = {
      "MSysObjects", static_cast<std::int32_t>(0x80000002u), 10, {{"Id", dao::dbLong}}, {}, {}};
  tables[1] = {"Scans",
               0,
               5,
               {{"id", dao::dbLong}, {"doc", dao::dbLongBinary}},
               {{Cell{}, Cell{png}},
                {Cell{}, Cell{std::nullopt, true}},
                {Cell{}, Cell{}},
                {Cell{}, Cell{pdf}},
                {Cell{}, Cell{mw::Bytes{}}}},
               {}};
  tables[2] = {"Lost", 0,
               3,      {{"pic", dao::dbAttachment}},
               {},     "Table 'Lost', page 12: the row offsets overlap."};
  tables[3] = {"Unsized", 0, -1, {{"img", dao::dbLongBinary}}, {{Cell{png}}, {Cell{}}}, {}};
  tables[4] = {"Plain", 0, 7, {{"name", dao::dbText}}, {}, {}};
  damaged::Database database(tables);
  const std::string note =
      "Table 'Scans', page 44, row 2, field 'doc': the long-value chain loops back.";
  database.notes = {note};

  const DatabaseMap map = ReadDatabaseMap(database);
  ASSERT_EQ(map.tables.size(), 4u);
  const TableMap& scans = map.tables[0];
  EXPECT_EQ(scans.name, "Scans");
  EXPECT_EQ(scans.rows, 5);
  EXPECT_EQ(scans.error, "");
  const ColumnMap& doc = Column(scans, "doc");
  EXPECT_EQ(doc.nonEmpty, 2);
  EXPECT_EQ(doc.damaged, 1);
  EXPECT_EQ(doc.kinds, (std::map<std::string, std::int64_t>{{".png", 1}, {".pdf", 1}}));

  const TableMap& lost = map.tables[1];
  EXPECT_EQ(lost.name, "Lost");
  EXPECT_EQ(lost.rows, 3);
  EXPECT_EQ(lost.error, "Table 'Lost', page 12: the row offsets overlap.");
  ASSERT_EQ(lost.columns.size(), 1u);
  EXPECT_EQ(lost.columns[0].typeNumber, dao::dbAttachment);

  EXPECT_EQ(map.tables[2].name, "Unsized");
  EXPECT_EQ(map.tables[2].rows, 2);
  EXPECT_EQ(map.tables[3].name, "Plain");
  EXPECT_EQ(map.tables[3].rows, 7);
  EXPECT_THAT(database.opened,
              ::testing::ElementsAre("Scans", "Lost", "Unsized"));  // not the plain one
  EXPECT_TRUE(database.AllClosed());
  EXPECT_EQ(map.damage, (std::vector<std::string>{note}));
  EXPECT_TRUE(map.Incomplete());
  EXPECT_THAT(DatabaseMapText(map),
              HasSubstr("  doc  OLE Object    2 non-empty: 1 .pdf, 1 .png, 1 damaged\n"));
}

// The layout: names and types aligned per table, document columns with
// their counts, the sampled share, damage, unknown types and unreadable
// tables.
TEST(DatabaseMapText, AlignsColumnsAndSaysWhatWasSampled) {
  DatabaseMap map;
  map.file = "x.mdb";
  TableMap photos{"Photos", 830, {}, ""};
  photos.columns.push_back({"ID", dao::dbLong, false, 0, {}, 0});
  photos.columns.push_back({"Photo", dao::dbLongBinary, true, 830, {{".bmp", 98}, {".jpg", 2}}, 0});
  photos.columns.push_back({"Größe", dao::dbAttachment, true, 3, {{".pdf", 1}, {".png", 2}}, 1});
  photos.columns.push_back({"Mystery", 0, false, 0, {}, 0});
  TableMap one{"One", 1, {}, ""};
  one.columns.push_back({"Empty", dao::dbLongBinary, true, 0, {}, 0});
  TableMap broken{"Broken", 0, {}, "Table 'Broken', page 9: the row offsets overlap."};
  map.tables = {photos, one, broken};
  EXPECT_EQ(DatabaseMapText(map),
            "Photos  830 rows\n"
            "  ID       Long Integer\n"
            "  Photo    OLE Object      830 non-empty, first 100: 98 .bmp, 2 .jpg\n"
            "  Größe    Attachment      3 non-empty: 2 .png, 1 .pdf, 1 damaged\n"
            "  Mystery  unknown type 0\n"
            "\n"
            "One  1 row\n"
            "  Empty  OLE Object  0 non-empty\n"
            "\n"
            "Broken  0 rows\n"
            "  cannot be read: Table 'Broken', page 9: the row offsets overlap.\n");
  EXPECT_TRUE(map.Incomplete());
}

// Names reach the JSON escaped where JSON needs it (quotes, backslashes,
// control characters) and otherwise as the UTF-8 they are.
TEST(DatabaseMapJson, EscapesNamesAndListsDocumentFacts) {
  DatabaseMap map;
  map.file = "C:\\archive\\\"old\".mdb";
  TableMap table{std::string("Tab\"le\\\x01\n") + "写真", 2, {}, ""};
  // A type the engine does not read shows its number in the file.
  table.columns.push_back({"Größe\t", dao::kUnknownStoredType + 0x14, false, 0, {}, 0});
  table.columns.push_back({"Bild", dao::dbLongBinary, true, 2, {{".png", 1}, {".dmp", 1}}, 0});
  map.tables.push_back(table);
  map.tables.push_back({"Broken", 0, {}, "page 9: \"bad\""});
  map.damage.push_back("Table 'Broken', page 9");
  EXPECT_EQ(DatabaseMapJson(map),
            "{\n"
            "  \"file\": \"C:\\\\archive\\\\\\\"old\\\".mdb\",\n"
            "  \"tables\": [\n"
            "    {\"name\": \"Tab\\\"le\\\\\\u0001\\n写真\", \"rows\": 2, \"columns\": [\n"
            "      {\"name\": \"Größe\\t\", \"type\": \"unknown\", \"typeNumber\": 20, "
            "\"document\": false},\n"
            "      {\"name\": \"Bild\", \"type\": \"OLE Object\", \"typeNumber\": 11, "
            "\"document\": true, "
            "\"nonEmpty\": 2, \"sampled\": 2, \"kinds\": {\".dmp\": 1, \".png\": 1}}\n"
            "    ]},\n"
            "    {\"name\": \"Broken\", \"rows\": 0, \"error\": \"page 9: \\\"bad\\\"\", "
            "\"columns\": []}\n"
            "  ],\n"
            "  \"damage\": [\"Table 'Broken', page 9\"]\n"
            "}\n");
}

TEST(DatabaseMapText, TypeNames) {
  const std::pair<int, const char*> cases[] = {{dao::dbBoolean, "Yes/No"},
                                               {dao::dbLong, "Long Integer"},
                                               {dao::dbLongBinary, "OLE Object"},
                                               {dao::dbMemo, "Memo"},
                                               {dao::dbBigInt, "Large Number"},
                                               {dao::dbAttachment, "Attachment"},
                                               {dao::dbComplexText, "Multi-value Text"},
                                               {0, ""},
                                               {13, ""},
                                               {110, ""}};
  for (const auto& [number, name] : cases) EXPECT_EQ(TypeName(number), name) << number;
  EXPECT_TRUE(IsDocumentType(dao::dbLongBinary));
  EXPECT_TRUE(IsDocumentType(dao::dbAttachment));
  EXPECT_FALSE(IsDocumentType(dao::dbBinary));
  EXPECT_FALSE(IsDocumentType(dao::dbMemo));
}

}  // namespace
}  // namespace corvid
