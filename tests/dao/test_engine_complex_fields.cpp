// Complex fields through the engine: an attachment field is a Field of type
// dbAttachment whose value is a recordset of the attached files, a
// multi-value field one of its values. The files' bytes are checked against
// libmdb's reading of the hidden table, decoded with zlib on its own.

#include <gtest/gtest.h>

#include <map>

#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/recordset.h"
#include "dao/engine/tabledef.h"
#include "dao/engine/value_stream.h"
#include "tests/dao/attachment_oracle.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;
using testing_attachments::FileBytes;
using testing_attachments::OracleAttachments;

// Raises `number`? Returns the message, or "" when nothing was raised.
template <class Action>
std::string RaisedNumber(int number, Action&& action) {
  try {
    action();
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), number) << error.what();
    return error.what();
  }
  ADD_FAILURE() << "nothing raised, " << number << " expected";
  return {};
}

// Every record's attached files as the engine gives them: key -> name ->
// bytes, read once through Value and once through the stream in small
// pieces (both must agree).
std::map<std::int32_t, std::map<std::string, FileBytes>> EngineAttachments(
    Database& database, const std::string& table, const std::string& field,
    std::map<std::int32_t, std::vector<std::string>>* names = nullptr) {
  std::map<std::int32_t, std::map<std::string, FileBytes>> files;
  auto rs = database.OpenRecordset(table, dbOpenDynaset);
  for (; !rs->Eof(); rs->MoveNext()) {
    Field& parent = rs->Fields().Item(field);
    const auto key = static_cast<std::int32_t>(std::get<std::int64_t>(parent.Value()));
    std::unique_ptr<Recordset> attached = parent.ChildRecordset();
    if (names) (*names)[key];
    for (; !attached->Eof(); attached->MoveNext()) {
      const std::string name = VariantToText(attached->Fields().Item("FileName").Value());
      if (names) (*names)[key].push_back(name);
      Field& data = attached->Fields().Item("FileData");
      const FileBytes whole = std::get<Bytes>(data.Value());
      EXPECT_EQ(data.FieldSize(), static_cast<std::int64_t>(whole.size()));
      std::unique_ptr<ValueStream> stream = data.OpenValueStream();
      EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(whole.size()));
      FileBytes streamed, piece(3);
      for (std::size_t n = stream->Read(piece); n > 0; n = stream->Read(piece))
        streamed.insert(streamed.end(), piece.begin(), piece.begin() + static_cast<long>(n));
      EXPECT_EQ(streamed, whole) << name;
      files[key][name] = whole;
    }
  }
  return files;
}

TEST(EngineComplexFields, AttachmentFieldsGiveTheirFilesAsAChildRecordset) {
  const std::string path = kFixtures + "attachments.accdb";
  EngineSession session;
  auto database = session.Open(path);
  std::map<std::int32_t, std::vector<std::string>> names;
  const auto files = EngineAttachments(*database, "Table1", "Attachments", &names);
  // Records 1, 2 and 3 hold 0, 1 and 3 files.
  EXPECT_EQ(names, (std::map<std::int32_t, std::vector<std::string>>{
                       {1, {}},
                       {2, {"attachment1.txt"}},
                       {3, {"attachment1.txt", "attachment2.txt", "attachment3.txt"}}}));
  EXPECT_EQ(files, OracleAttachments(path, "f_F42896D510474144890B9076E2CD27D9_Field1", "_Field1"));

  TableDef& definition = database->TableDefs().Item("Table1");
  EXPECT_EQ(definition.Fields().Item("Attachments").Type(), dbAttachment);
  auto rs = database->OpenRecordset("Table1", dbOpenDynaset);
  Field& attachments = rs->Fields().Item("Attachments");
  EXPECT_EQ(attachments.Type(), dbAttachment);
  rs->MoveLast();
  std::unique_ptr<Recordset> three = attachments.ChildRecordset();
  EXPECT_EQ(three->RecordCount(), 3);
  std::vector<std::string> fieldNames;
  for (int i = 0; i < three->Fields().Count(); ++i)
    fieldNames.push_back(three->Fields().Item(i).Name());
  std::sort(fieldNames.begin(), fieldNames.end());
  EXPECT_EQ(fieldNames, (std::vector<std::string>{"FileData", "FileFlags", "FileName",
                                                  "FileTimeStamp", "FileType", "FileURL"}));
  EXPECT_EQ(VariantToText(three->Fields().Item("FileType").Value()), "txt");
  EXPECT_EQ(three->Fields().Item("FileData").Type(), dbLongBinary);
  // The recordset keeps what it read when the parent moves on.
  rs->MoveFirst();
  three->MoveLast();
  EXPECT_EQ(VariantToText(three->Fields().Item("FileName").Value()), "attachment3.txt");
  EXPECT_TRUE(attachments.ChildRecordset()->Eof());

  // Read-only, and only complex fields have rows of their own.
  RaisedNumber(kCannotUpdate, [&] { three->Edit(); });
  RaisedNumber(kCannotUpdate, [&] { three->AddNew(); });
  RaisedNumber(kCannotUpdate, [&] { three->Fields().Item("FileName").SetValue("x.txt"); });
  RaisedNumber(kOperationNotSupported, [&] { rs->Fields().Item("ID").ChildRecordset(); });
  RaisedNumber(kOperationNotSupported, [&] { three->Fields().Item("FileName").OpenValueStream(); });
  RaisedNumber(kInvalidOperation,
               [&] { definition.Fields().Item("Attachments").ChildRecordset(); });
  three->MoveNext();
  RaisedNumber(kNoCurrentRecord, [&] { three->Fields().Item("FileData").Value(); });
}

TEST(EngineComplexFields, MultiValueAndAttachmentFieldsOfOneTable) {
  const std::string path = kFixtures + "complexDataTestV2007.accdb";
  EngineSession session;
  auto database = session.Open(path);
  EXPECT_EQ(
      EngineAttachments(*database, "Table1", "attach-data"),
      OracleAttachments(path, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data", "_attach-data"));

  auto rs = database->OpenRecordset("Table1", dbOpenDynaset);
  Field& multi = rs->Fields().Item("multi-value-data");
  EXPECT_EQ(multi.Type(), dbComplexText);
  EXPECT_EQ(rs->Fields().Item("attach-data").Type(), dbAttachment);
  std::map<std::string, std::vector<std::string>> values;
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string row = VariantToText(rs->Fields().Item("id").Value());
    std::unique_ptr<Recordset> list = multi.ChildRecordset();
    ASSERT_EQ(list->Fields().Count(), 1);
    EXPECT_EQ(list->Fields().Item(0).Name(), "Value");
    for (; !list->Eof(); list->MoveNext())
      values[row].push_back(VariantToText(list->Fields().Item("Value").Value()));
  }
  EXPECT_EQ(values["row2"], (std::vector<std::string>{"value1", "value4"}));
  EXPECT_EQ(values["row3"], (std::vector<std::string>{"value1", "value2", "value3", "value4"}));
  EXPECT_TRUE(values["row1"].empty());
}

// A damaged compressed value in a copy: reading that file is DAO's 3049
// naming the table, the record and the file; the record's other file reads.
TEST(EngineComplexFields, ADamagedAttachmentIsDamageNamingTableRecordAndFile) {
  const std::string original = kFixtures + "complexDataTestV2007.accdb";
  const auto oracle =
      OracleAttachments(original, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data", "_attach-data");
  TempDir dir;
  const std::string copy = dir.File("damaged.accdb");
  std::vector<char> image = ReadAll(original);
  // The stored value of test_data.txt as it lies in the file.
  const FileBytes bytes = testing_attachments::StoredFileData(
      original, "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data", "test_data.txt");
  ASSERT_GT(bytes.size(), 20u);
  const auto at = std::search(image.begin(), image.end(), bytes.begin(), bytes.end(),
                              [](char a, std::byte b) { return static_cast<std::byte>(a) == b; });
  ASSERT_NE(at, image.end());
  at[static_cast<long>(bytes.size()) - 10] ^= 0x21;  // inside the deflate data
  WriteAll(copy, image);

  EngineSession session;
  auto database = session.Open(copy);
  auto rs = database->OpenRecordset("Table1", dbOpenDynaset);
  rs->FindFirst("[id] = 'row2'");
  ASSERT_FALSE(rs->NoMatch());
  std::unique_ptr<Recordset> files = rs->Fields().Item("attach-data").ChildRecordset();
  ASSERT_EQ(files->RecordCount(), 2);
  const std::string message =
      RaisedNumber(kDatabaseDamaged, [&] { files->Fields().Item("FileData").Value(); });
  EXPECT_NE(message.find("Table \"Table1\""), std::string::npos) << message;
  EXPECT_NE(message.find("the attachment \"test_data.txt\" of record 2"), std::string::npos)
      << message;
  files->MoveNext();
  EXPECT_EQ(std::get<Bytes>(files->Fields().Item("FileData").Value()),
            oracle.at(2).at("test_data2.txt"));
}

}  // namespace
}  // namespace corvid::dao
