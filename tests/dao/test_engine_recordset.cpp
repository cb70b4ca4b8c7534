// Recordsets of the engine: DAO's navigation rules, bookmarks, clones,
// counts and positions, field metadata and values, on real files.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "dao/engine/dao_constants.h"
#include "dao/engine/variant.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

const std::string kNwind = kFixtures + "nwind.mdb";

std::int32_t BookmarkValue(const Bytes& bookmark) {
  std::int32_t value = 0;
  EXPECT_EQ(bookmark.size(), 4u);
  std::memcpy(&value, bookmark.data(), 4);
  return value;
}

std::int64_t CategoryId(Recordset& recordset) {
  return std::get<std::int64_t>(recordset.Fields().Item("CategoryID").Value());
}

class CategoriesTest : public ::testing::Test {
 protected:
  EngineSession session;
  std::shared_ptr<Database> database = session.Open(kNwind);
};

TEST_F(CategoriesTest, StepsThroughRowsWithDaoEndRules) {
  auto rs = database->OpenRecordset("Categories", dbOpenDynaset);
  EXPECT_FALSE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(CategoryId(*rs), 1);
  rs->MovePrevious();  // before the first row
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_THROW(rs->Fields().Item(0).Value(), EngineError);
  EXPECT_THROW(rs->MovePrevious(), EngineError);
  rs->MoveNext();
  EXPECT_EQ(CategoryId(*rs), 1);
  for (int id = 2; id <= 8; ++id) {
    rs->MoveNext();
    EXPECT_EQ(CategoryId(*rs), id);
  }
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_FALSE(rs->Bof());
  try {
    rs->MoveNext();
    ADD_FAILURE() << "MoveNext at EOF";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kNoCurrentRecord);
  }
  rs->MovePrevious();
  EXPECT_EQ(CategoryId(*rs), 8);
  rs->MoveFirst();
  EXPECT_EQ(CategoryId(*rs), 1);
  rs->MoveLast();
  EXPECT_EQ(CategoryId(*rs), 8);
}

TEST_F(CategoriesTest, MoveCountsFromTheCurrentRowOrABookmark) {
  auto rs = database->OpenRecordset("Categories", dbOpenSnapshot);
  struct Step {
    std::int32_t rows;
    std::int64_t id;  // 0: BOF, 9: EOF
  };
  rs->MoveFirst();
  for (Step step : {Step{3, 4}, Step{-2, 2}, Step{0, 2}, Step{6, 8}, Step{1, 9}}) {
    rs->Move(step.rows);
    if (step.id == 9)
      EXPECT_TRUE(rs->Eof());
    else
      EXPECT_EQ(CategoryId(*rs), step.id) << step.rows;
  }
  rs->MoveLast();
  rs->Move(-100);
  EXPECT_TRUE(rs->Bof());
  rs->MoveFirst();
  rs->Move(4);
  Bytes fifth = rs->Bookmark();
  rs->MoveFirst();
  rs->Move(2, &fifth);
  EXPECT_EQ(CategoryId(*rs), 7);
}

TEST_F(CategoriesTest, BookmarksArePositiveUniqueAndSharedWithClones) {
  auto rs = database->OpenRecordset("Categories", dbOpenDynaset);
  ASSERT_TRUE(rs->Bookmarkable());
  std::vector<Bytes> marks;
  std::set<std::int32_t> values;
  for (; !rs->Eof(); rs->MoveNext()) {
    marks.push_back(rs->Bookmark());
    std::int32_t value = BookmarkValue(marks.back());
    EXPECT_GT(value, 0);
    values.insert(value);
  }
  EXPECT_EQ(values.size(), 8u);

  auto clone = rs->Clone();
  EXPECT_THROW(clone->Fields().Item(0).Value(), EngineError);  // no current record yet
  clone->SetBookmark(marks[5]);
  EXPECT_EQ(CategoryId(*clone), 6);
  rs->SetBookmark(clone->Bookmark());
  EXPECT_EQ(CategoryId(*rs), 6);
  // The clone moves on its own.
  clone->MoveNext();
  EXPECT_EQ(CategoryId(*clone), 7);
  EXPECT_EQ(CategoryId(*rs), 6);

  for (const Bytes& bad :
       {Bytes{}, Bytes(4, std::byte{0}), Bytes{std::byte{100}, {}, {}, {}},
        Bytes{std::byte{0xFF}, std::byte{0xFF}, std::byte{0xFF}, std::byte{0xFF}},
        Bytes(8, std::byte{1})}) {
    try {
      rs->SetBookmark(bad);
      ADD_FAILURE() << "bookmark of " << bad.size() << " bytes accepted";
    } catch (const EngineError& error) {
      EXPECT_EQ(error.Number(), kNotBookmarkable);
    }
  }
}

TEST_F(CategoriesTest, CountsAndPositions) {
  auto table = database->OpenRecordset("Categories");  // table type by default
  EXPECT_EQ(table->Type(), dbOpenTable);
  EXPECT_EQ(table->RecordCount(), 8);

  auto dynaset = database->OpenRecordset("Categories", dbOpenDynaset);
  EXPECT_EQ(dynaset->RecordCount(), 1);  // rows visited so far
  dynaset->Move(3);
  EXPECT_EQ(dynaset->AbsolutePosition(), 3);
  EXPECT_EQ(dynaset->RecordCount(), 4);
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->RecordCount(), 8);
  EXPECT_EQ(dynaset->AbsolutePosition(), 7);
  EXPECT_FLOAT_EQ(dynaset->PercentPosition(), 7 * 100.0f / 8);
  dynaset->SetAbsolutePosition(2);
  EXPECT_EQ(CategoryId(*dynaset), 3);
  EXPECT_THROW(dynaset->SetAbsolutePosition(8), EngineError);
  dynaset->SetPercentPosition(50.0f);
  EXPECT_EQ(dynaset->AbsolutePosition(), 4);
  dynaset->MoveNext();
  dynaset->MoveNext();
  dynaset->MoveNext();
  dynaset->MoveNext();
  EXPECT_TRUE(dynaset->Eof());
  EXPECT_EQ(dynaset->AbsolutePosition(), -1);
}

TEST_F(CategoriesTest, RecordsetOfARecordsetCoversTheSameRows) {
  auto table = database->OpenRecordset("Categories");
  table->MoveNext();
  auto snapshot = table->OpenRecordset(dbOpenSnapshot, 0);
  EXPECT_EQ(snapshot->Type(), dbOpenSnapshot);
  EXPECT_EQ(CategoryId(*snapshot), 1);
  snapshot->MoveLast();
  EXPECT_EQ(snapshot->RecordCount(), table->RecordCount());
  EXPECT_EQ(CategoryId(*table), 2);  // the source keeps its place
  EXPECT_EQ(table->OpenRecordset(dbOpenDynaset, dbForwardOnly)->Type(), dbOpenForwardOnly);
}

TEST_F(CategoriesTest, ForwardOnlyMovesOnlyForward) {
  for (auto [type, options] :
       {std::pair{dbOpenForwardOnly, 0}, std::pair{dbOpenSnapshot, dbForwardOnly}}) {
    auto rs = database->OpenRecordset("Categories", type, options);
    EXPECT_EQ(rs->Type(), dbOpenForwardOnly);
    EXPECT_FALSE(rs->Bookmarkable());
    rs->MoveFirst();  // still on the first row: allowed
    rs->MoveNext();
    EXPECT_EQ(CategoryId(*rs), 2);
    for (auto action : std::vector<std::function<void()>>{
             [&] { rs->MovePrevious(); }, [&] { rs->MoveFirst(); }, [&] { rs->Move(-1); },
             [&] { rs->Bookmark(); }, [&] { rs->Clone(); }, [&] { rs->AbsolutePosition(); }}) {
      try {
        action();
        ADD_FAILURE() << "backward move allowed";
      } catch (const EngineError& error) {
        EXPECT_EQ(error.Number(), kOperationNotSupported);
      }
    }
    int rows = 2;
    for (rs->MoveNext(); !rs->Eof(); rs->MoveNext()) ++rows;
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(rs->RecordCount(), 8);
  }
}

TEST_F(CategoriesTest, NamesAreFoundInAnyLetterCase) {
  auto rs = database->OpenRecordset("CATEGORIES", dbOpenDynaset);
  EXPECT_EQ(rs->Name(), "Categories");
  EXPECT_EQ(rs->Fields().Item("categoryname").Name(), "CategoryName");
  auto bracketed = database->OpenRecordset("[Order Details]", dbOpenDynaset);
  EXPECT_EQ(bracketed->Name(), "Order Details");
}

TEST(EngineSql, SelectStarFromATableOpensItsRows) {
  EngineSession session;
  auto database = session.Open(kNwind);
  for (const char* sql : {"SELECT * FROM Categories", "select * from [categories];",
                          "  Select  *  From  [Categories]  ", "SELECT*FROM Categories;"}) {
    auto rs = database->OpenRecordset(sql);
    EXPECT_EQ(rs->Type(), dbOpenDynaset) << sql;
    EXPECT_EQ(rs->Name(), "Categories");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 8) << sql;
  }
  EXPECT_EQ(database->OpenRecordset("SELECT * FROM [Order Details]", dbOpenSnapshot)->Type(),
            dbOpenSnapshot);
  struct Refused {
    const char* sql;
    int type;
    int number;
  };
  for (Refused r : {Refused{"SELECT * FROM Categories", dbOpenTable, kInvalidOperation},
                    Refused{"SELECT CategoryName FROM Categories", 0, kOperationNotSupported},
                    Refused{"SELECT * FROM Nowhere", 0, kObjectNotFound}}) {
    try {
      database->OpenRecordset(r.sql, r.type);
      ADD_FAILURE() << r.sql;
    } catch (const EngineError& error) {
      EXPECT_EQ(error.Number(), r.number) << r.sql;
    }
  }
}

TEST(EngineNames, NonAsciiTableNamesFoldLatin1Letters) {
  EngineSession session;
  auto database = session.Open(kNwind);
  for (const char* name : {"Umsätze", "UMSÄTZE", "umsätze", "[Umsätze]"}) {
    auto rs = database->OpenRecordset(name, dbOpenDynaset);
    EXPECT_EQ(rs->Name(), "Umsätze") << name;
  }
  EXPECT_EQ(database->TableDefs().Item("UMSÄTZE").Name(), "Umsätze");
  EXPECT_EQ(database->TableDefs().Item("UMSÄTZE").RecordCount(), 830);
}

TEST(EngineEmptyTable, IsAtBothEnds) {
  EngineSession session;
  auto database = session.Open(kFixtures + "testV2003.mdb");
  auto rs = database->OpenRecordset("Table2", dbOpenDynaset);
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_THROW(rs->MoveNext(), EngineError);
  EXPECT_THROW(rs->MoveFirst(), EngineError);
  EXPECT_THROW(rs->MoveLast(), EngineError);
  EXPECT_THROW(rs->Bookmark(), EngineError);
  EXPECT_GT(rs->Fields().Count(), 0);
}

struct FieldShape {
  const char* name;
  int type;
  std::int32_t size;
};

TEST(EngineFields, TypesAndSizesOfEveryKindOfColumn) {
  const std::vector<FieldShape> expected = {
      {"A", dbText, 50},   {"B", dbText, 100},   {"C", dbByte, 1},
      {"D", dbInteger, 2}, {"E", dbLong, 4},     {"F", dbDouble, 8},
      {"G", dbDate, 8},    {"H", dbCurrency, 8}, {"I", dbBoolean, 1},
  };
  for (const char* file : {"testV2003.mdb", "testV2010.accdb"}) {
    SCOPED_TRACE(file);
    EngineSession session;
    auto database = session.Open(kFixtures + file);
    auto recordset = database->OpenRecordset("Table1", dbOpenDynaset);
    for (Collection<Field>* fields :
         {&database->TableDefs().Item("Table1").Fields(), &recordset->Fields()}) {
      ASSERT_EQ(fields->Count(), static_cast<int>(expected.size()));
      for (std::size_t i = 0; i < expected.size(); ++i) {
        Field& field = fields->Item(static_cast<int>(i));
        EXPECT_EQ(field.Name(), expected[i].name);
        EXPECT_EQ(field.Type(), expected[i].type) << field.Name();
        EXPECT_EQ(field.Size(), expected[i].size) << field.Name();
        EXPECT_EQ(field.OrdinalPosition(), static_cast<int>(i));
      }
    }
  }
}

TEST(EngineFields, OleObjectsAndMemosOfNorthwind) {
  EngineSession session;
  auto database = session.Open(kNwind);
  auto rs = database->OpenRecordset("Categories", dbOpenDynaset);
  Field& picture = rs->Fields().Item("Picture");
  EXPECT_EQ(picture.Type(), dbLongBinary);
  EXPECT_EQ(picture.Size(), 0);
  EXPECT_EQ(rs->Fields().Item("Description").Type(), dbMemo);
  std::vector<std::byte> buffer;
  for (; !rs->Eof(); rs->MoveNext()) {
    EXPECT_EQ(picture.FieldSize(), 10746);
    ASSERT_TRUE(picture.ReadBytesInto(buffer));
    EXPECT_EQ(buffer.size(), 10746u);
    EXPECT_EQ(buffer, std::get<Bytes>(picture.Value()));
    // The Access OLE header (15 1C) and the BMP inside it.
    EXPECT_EQ(buffer[0], std::byte{0x15});
    EXPECT_EQ(buffer[1], std::byte{0x1C});
    std::string text(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    EXPECT_NE(text.find("BM"), std::string::npos);
    Field& description = rs->Fields().Item("Description");
    EXPECT_EQ(description.FieldSize(),
              static_cast<std::int64_t>(std::get<std::string>(description.Value()).size()));
  }
  auto employees = database->OpenRecordset("Employees", dbOpenDynaset);
  std::vector<std::int64_t> sizes;
  for (; !employees->Eof(); employees->MoveNext())
    sizes.push_back(employees->Fields().Item("Photo").FieldSize());
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{21626, 21626, 21722, 21626, 21626, 21626, 21626,
                                              21626, 21626}));
}

TEST(EngineFields, StoredPropertiesOfColumns) {
  EngineSession session;
  auto database = session.Open(kFixtures + "testV2003.mdb");
  Field& c = database->TableDefs().Item("Table1").Fields().Item("C");
  EXPECT_EQ(c.DefaultValue(), "0");
  EXPECT_FALSE(c.Required());
  ASSERT_NE(c.FieldProperties().Find("DecimalPlaces"), nullptr);
  EXPECT_EQ(c.FieldProperties().Find("Caption"), nullptr);
  EXPECT_THROW(c.FieldProperties().Item("Caption"), EngineError);
  EXPECT_THROW(c.Value(), EngineError);  // a table definition's field has no value
}

TEST(EngineFields, FormatCaptionRequiredAndAutoNumberWhereTheFileHasThem) {
  struct Case {
    const char* table;
    const char* field;
    const char* format;   // nullptr: no such property
    const char* caption;  // nullptr: no such property
    bool required;
    bool autoIncrement;
  };
  EngineSession session;
  auto database = session.Open(kNwind);
  for (Case c : {Case{"Employees", "EmployeeID", nullptr, "Employee ID", false, true},
                 Case{"Employees", "LastName", nullptr, "Last Name", true, false},
                 Case{"Employees", "BirthDate", "Medium Date", "Birth Date", false, false},
                 Case{"Orders", "OrderDate", "Medium Date", "Order Date", false, false},
                 Case{"Orders", "OrderID", nullptr, "Order ID", false, true},
                 Case{"Categories", "Picture", nullptr, nullptr, false, false}}) {
    SCOPED_TRACE(std::string(c.table) + "." + c.field);
    auto recordset = database->OpenRecordset(c.table, dbOpenDynaset);
    Field& field = recordset->Fields().Item(c.field);
    const Property* format = field.FieldProperties().Find("format");
    const Property* caption = field.FieldProperties().Find("Caption");
    ASSERT_EQ(format != nullptr, c.format != nullptr);
    ASSERT_EQ(caption != nullptr, c.caption != nullptr);
    if (format) EXPECT_EQ(VariantToText(format->value), c.format);
    if (caption) EXPECT_EQ(VariantToText(caption->value), c.caption);
    EXPECT_EQ(field.Required(), c.required);
    EXPECT_EQ((field.Attributes() & dbAutoIncrField) != 0, c.autoIncrement);
    EXPECT_EQ(field.Attributes() & dbUpdatableField, 0) << "the engine reads only";
  }
}

TEST(EngineDatabase, VersionAndCollatingOrderPerFormat) {
  struct Case {
    const char* file;
    const char* version;
  };
  for (Case c :
       {Case{"nwind.mdb", "3.0"}, Case{"testV2003.mdb", "4.0"}, Case{"testV2010.accdb", "14.0"}}) {
    EngineSession session;
    auto database = session.Open(kFixtures + c.file);
    EXPECT_EQ(database->Version(), c.version) << c.file;
    EXPECT_GT(database->CollatingOrder(), 0) << c.file;
  }
  EngineSession session;
  EXPECT_EQ(session.Open(kFixtures + "testV2003.mdb")->CollatingOrder(), 1033);
}

TEST(EngineDatabase, StoredQueriesAreListedWithTheirTypes) {
  EngineSession session;
  auto database = session.Open(kFixtures + "queryTestV2003.mdb");
  auto& queries = database->QueryDefs();
  std::map<std::string, int> types;
  for (int i = 0; i < queries.Count(); ++i) types[queries.Item(i).Name()] = queries.Item(i).Type();
  EXPECT_EQ(types.at("SelectQuery"), dbQSelect);
  EXPECT_EQ(types.at("UpdateQuery"), dbQUpdate);
  EXPECT_EQ(types.at("DeleteQuery"), dbQDelete);
  EXPECT_EQ(types.at("AppendQuery"), dbQAppend);
  EXPECT_EQ(types.at("MakeTableQuery"), dbQMakeTable);
  EXPECT_EQ(types.at("CrosstabQuery"), dbQCrosstab);
  EXPECT_EQ(types.at("UnionQuery"), dbQSetOperation);
  EXPECT_EQ(types.at("PassthroughQuery"), dbQSQLPassThrough);
  EXPECT_EQ(types.at("DataDefinitionQuery"), dbQDDL);
  // Declared parameters come from MSysQueries.
  auto& parameters = queries.Item("UpdateQuery").Parameters();
  ASSERT_EQ(parameters.Count(), 1);
  EXPECT_EQ(parameters.Item(0).Name(), "User Name");
  EXPECT_EQ(parameters.Item("user name").Type(), dbText);
  EXPECT_EQ(parameters.Item(0).Direction(), dbParamInput);
  parameters.Item(0).SetValue(std::string("Admin"));
  EXPECT_EQ(parameters.Item(0).Value(), Variant(std::string("Admin")));
  EXPECT_EQ(queries.Item("SelectQuery").Parameters().Count(), 0);
  EXPECT_FALSE(queries.Item("SelectQuery").DateCreated().empty());
  try {
    database->OpenRecordset("SelectQuery");
    ADD_FAILURE() << "stored query opened";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kOperationNotSupported);
    EXPECT_NE(std::string(error.what()).find("SelectQuery"), std::string::npos);
  }
}

TEST(EngineDatabase, IndexesOfATable) {
  EngineSession session;
  auto database = session.Open(kNwind);
  Indexes& indexes = database->TableDefs().Item("Order Details").TableIndexes();
  Index& primary = indexes.Item("PrimaryKey");
  EXPECT_TRUE(primary.Primary());
  EXPECT_EQ(primary.FieldNames(), (std::vector<std::string>{"OrderID", "ProductID"}));
  EXPECT_EQ(indexes.Item("ProductID").FieldNames(), (std::vector<std::string>{"ProductID"}));
}

TEST(EngineDatabase, DatesOfTablesFromTheCatalog) {
  EngineSession session;
  auto database = session.Open(kFixtures + "testV2003.mdb");
  TableDef& table = database->TableDefs().Item("Table1");
  EXPECT_EQ(table.DateCreated(), "2004-05-28 17:51:49");
  EXPECT_EQ(table.LastUpdated(), "2006-07-24 09:56:20");
  EXPECT_EQ(database->OpenRecordset("Table1")->DateCreated(), "2004-05-28 17:51:49");
  EXPECT_EQ(database->OpenRecordset("Table1", dbOpenDynaset)->DateCreated(), "");
}

TEST(EngineDatabase, RelationsAndContainersOfTheCatalog) {
  EngineSession session;
  auto database = session.Open(kFixtures + "indexTestV2003.mdb");
  auto& relations = database->Relations();
  ASSERT_EQ(relations.Count(), 2);
  EXPECT_EQ(relations.Item(0).Name(), "Table2Table1");
  EXPECT_EQ(relations.Item("table3table1").Name(), "Table3Table1");
  std::set<std::string> containers;
  for (int i = 0; i < database->Containers().Count(); ++i)
    containers.insert(database->Containers().Item(i).Name());
  for (const char* name : {"Tables", "Forms", "Reports", "Relationships"})
    EXPECT_EQ(containers.count(name), 1u) << name;
}

TEST(EngineDatabase, RecordsetsCollectionFollowsOpenAndClose) {
  EngineSession session;
  auto database = session.Open(kNwind);
  EXPECT_EQ(database->Recordsets().Count(), 0);
  auto a = database->OpenRecordset("Categories");
  auto b = database->OpenRecordset("Employees");
  EXPECT_EQ(database->Recordsets().Count(), 2);
  EXPECT_EQ(database->Recordsets().Item("employees").Name(), "Employees");
  a->Close();
  EXPECT_EQ(database->Recordsets().Count(), 1);
  b.reset();
  EXPECT_EQ(database->Recordsets().Count(), 0);
}

}  // namespace
}  // namespace corvid::dao
