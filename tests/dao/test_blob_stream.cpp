// TVxBlobStream: the whole value held at creation; reads, seeks, writes and
// truncation served from it; the table's navigation left undisturbed.

#include <gtest/gtest.h>

#include <algorithm>
#include <typeinfo>

#include "dao/table/blob_stream.h"
#include "dao/engine/database_error.h"
#include "test_table_support.h"
#include "empty_data_set.h"

namespace corvid {
namespace {

using namespace testing_support;

class BlobStreamTest : public OnMadeDatabase<ThingsDatabase> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<OpenDatabase>(path_);
    db_->table.F_Set_TableName("Blobs");
    db_->table.Open();
  }
  // The stream of the current record's field.
  std::unique_ptr<TVxBlobStream> Stream(const char* field,
                                        TBlobStreamMode mode = TBlobStreamMode::bmRead) {
    return std::make_unique<TVxBlobStream>(db_->table.FieldByName(field), mode);
  }
  void GoTo(int id) {
    db_->table.First();
    while (!db_->table.Eof() && db_->table.Fields(0).AsString() != std::to_string(id))
      db_->table.Next();
    ASSERT_FALSE(db_->table.Eof());
  }

  std::unique_ptr<OpenDatabase> db_;
};

TEST_F(BlobStreamTest, ReadsTheWholeValueInChunks) {
  GoTo(2);
  auto stream = Stream("img");
  EXPECT_EQ(stream->Size(), 10000);
  std::vector<std::byte> chunk(4096);
  std::vector<std::size_t> counts;
  std::vector<std::byte> all;
  for (int i = 0; i < 4; ++i) {
    counts.push_back(stream->Read(chunk));
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<long>(counts.back()));
  }
  EXPECT_EQ(counts, (std::vector<std::size_t>{4096, 4096, 1808, 0}));
  EXPECT_EQ(all, PatternBytes(10000, 7));
  // One read of the whole size from position 0, then nothing more.
  stream->SetPosition(0);
  std::vector<std::byte> whole(10000);
  EXPECT_EQ(stream->Read(whole), 10000u);
  EXPECT_EQ(stream->Read(whole), 0u);
}

TEST_F(BlobStreamTest, SeeksFromEveryOrigin) {
  GoTo(2);
  auto stream = Stream("img");
  EXPECT_EQ(stream->Seek(0, SeekOrigin::End), 10000);
  EXPECT_EQ(stream->Seek(-10, SeekOrigin::End), 9990);
  std::vector<std::byte> buffer(100);
  EXPECT_EQ(stream->Read(buffer), 10u);
  EXPECT_EQ(stream->Seek(-5000, SeekOrigin::Current), 5000);
  EXPECT_EQ(stream->Seek(20000, SeekOrigin::Beginning), 20000);  // not clamped
  EXPECT_EQ(stream->Read(buffer), 0u);
  EXPECT_EQ(stream->Seek(-1, SeekOrigin::Beginning), -1);
  EXPECT_EQ(stream->Read(buffer), 0u);
}

TEST_F(BlobStreamTest, NullEmptyAndLargeValues) {
  GoTo(3);
  EXPECT_EQ(Stream("img")->Size(), 0);  // NULL
  GoTo(4);
  auto big = Stream("img");
  ASSERT_EQ(big->Size(), 10 * 1000 * 1000);
  EXPECT_TRUE(std::ranges::equal(big->Data(), PatternBytes(10 * 1000 * 1000, 3)));
  // The Things table keeps an empty (not NULL) OLE value in its third record.
  OpenDatabase things(path_);
  things.table.F_Set_TableName("Things");
  things.table.Open();
  things.table.Last();
  EXPECT_EQ(TVxBlobStream(things.table.FieldByName("Pic"), TBlobStreamMode::bmRead).Size(), 0);
}

// A memo far longer than one page is read whole.
TEST_F(BlobStreamTest, LongMemoIsReadWhole) {
  GoTo(3);
  auto memo = Stream("memo");
  EXPECT_EQ(memo->Size(), 70000);
  EXPECT_TRUE(std::ranges::all_of(memo->Data(), [](std::byte b) { return b == std::byte{'m'}; }));
}

TEST_F(BlobStreamTest, MemoStreamHoldsTheTextExactly) {
  OpenDatabase things(path_);
  things.table.F_Set_TableName("Things");
  things.table.Open();
  TVxBlobStream stream(things.table.FieldByName("Notes"), TBlobStreamMode::bmRead);
  const auto data = stream.Data();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), data.size()),
            "Käse\r\nline two");
}

// Writing, truncating and reading back a written value need a record in
// edit (see the editing tests); on the read-only table a read-write stream
// reads, and takes nothing.
TEST_F(BlobStreamTest, AReadWriteStreamOnAReadOnlyTableTakesNothing) {
  GoTo(1);
  auto stream = Stream("img", TBlobStreamMode::bmReadWrite);
  ASSERT_EQ(stream->Size(), 10);
  stream->SetPosition(5);
  const std::vector<std::byte> three{std::byte{0xA1}, std::byte{0xA2}, std::byte{0xA3}};
  try {
    stream->Write(three);
    ADD_FAILURE() << "written";
  } catch (const DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot write to ReadOnly table!");
  }
  EXPECT_THROW(stream->Truncate(), DatabaseError);
  EXPECT_TRUE(std::ranges::equal(stream->Data(), PatternBytes(10)));
  const RecordValue& entry = db_->table.ActiveRecordBuffer()->RecValues[1];
  EXPECT_FALSE(entry.modified);
  EXPECT_EQ(entry.text, "10");
  // A read-mode stream takes nothing at all.
  auto reader = Stream("img");
  EXPECT_EQ(reader->Write(three), 0u);
  EXPECT_EQ(reader->Size(), 10);
}

TEST_F(BlobStreamTest, WriteModeOnAReadOnlyTableRaises) {
  try {
    Stream("img", TBlobStreamMode::bmWrite);
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot write to ReadOnly table!");
  }
}

// A data set that is not a table.
using OtherDataSet = testing_support::EmptyDataSet;

TEST_F(BlobStreamTest, FieldOfAnotherDataSetIsAnInvalidCast) {
  OtherDataSet other;
  TField field(other, "img", TFieldType::ftBlob, TFieldKind::fkData, 0);
  EXPECT_THROW(TVxBlobStream(field, TBlobStreamMode::bmRead), std::bad_cast);
}

// With a window of several buffers the engine cursor stands at the last
// buffered record; a stream on the active record must still read that record
// and must put the cursor back, so that stepping on is not disturbed.
TEST_F(BlobStreamTest, StreamsOnBufferedRecordsLeaveNavigationAlone) {
  OpenDatabase db(path_);
  db.table.F_Set_TableName("Blobs");
  db.table.SetBufferCount(3);
  db.table.Open();
  std::vector<std::int64_t> sizes;
  std::vector<std::string> ids;
  for (; !db.table.Eof(); db.table.Next()) {
    ids.push_back(db.table.Fields(0).AsString());
    sizes.push_back(TVxBlobStream(db.table.FieldByName("img"), TBlobStreamMode::bmRead).Size());
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{10, 10000, 0, 10 * 1000 * 1000}));
}

// A value that cannot be read is an error, not an empty value; the table
// keeps its place.
TEST(BlobStreamDamage, UnreadableValueRaisesAndTheTableRecovers) {
  ScratchDir dir;
  const std::string path = MakeThingsDatabase(dir);
  DamageMiddlePages(path);
  OpenDatabase db(path);
  db.table.F_Set_TableName("Blobs");
  db.table.Open();
  db.table.Last();
  EXPECT_ANY_THROW(TVxBlobStream(db.table.FieldByName("img"), TBlobStreamMode::bmRead));
  EXPECT_TRUE(db.table.Active());
  EXPECT_EQ(db.table.Fields(0).AsString(), "4");
  db.table.First();
  EXPECT_EQ(TVxBlobStream(db.table.FieldByName("img"), TBlobStreamMode::bmRead).Size(), 10);
}

TEST_F(BlobStreamTest, ContentIsFixedAtCreation) {
  GoTo(1);
  auto stream = Stream("img");
  db_->table.Next();
  EXPECT_EQ(db_->table.Fields(0).AsString(), "2");
  EXPECT_EQ(stream->Size(), 10);
  EXPECT_TRUE(std::ranges::equal(stream->Data(), PatternBytes(10)));
}

}  // namespace
}  // namespace corvid
