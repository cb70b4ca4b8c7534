// The data-set base on a small in-memory data set: the buffer window, end
// flags, moves, events, calculated fields and field texts.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dao/dataset/data_set.h"
#include "dao/dataset/data_set_error.h"

namespace corvid {
namespace {

struct RowBuffer : RecordBuffer {
  int row = -1;
};

// Rows of one integer field "N" (value = 10 * row) and one text field "T".
class ArrayDataSet : public TDataSet {
 public:
  explicit ArrayDataSet(int rows, bool unidirectional = false)
      : rows_(rows), unidirectional_(unidirectional) {}
  ~ArrayDataSet() override { SetActive(false); }

  int fetches = 0;
  int syncs = 0;

 protected:
  void OpenCursor() override {
    BuildFieldDefs();
    CreateFields();
    open_ = true;
  }
  void CloseCursor() override { open_ = false; }
  bool IsCursorOpen() const override { return open_; }
  void BuildFieldDefs() override {
    FieldDefs().Clear();
    FieldDefs().Add("N", TFieldType::ftInteger, 0, false);
    FieldDefs().Add("T", TFieldType::ftString, 20, false);
  }
  std::unique_ptr<RecordBuffer> NewRecordBuffer() override { return std::make_unique<RowBuffer>(); }
  FetchResult FetchRecord(RecordBuffer& buffer, FetchMode mode) override {
    ++fetches;
    if (mode == FetchMode::Next) {
      if (cursor_ >= rows_) return FetchResult::AtEof;
      if (++cursor_ >= rows_) return FetchResult::AtEof;
    } else if (mode == FetchMode::Prior) {
      if (cursor_ < 0) return FetchResult::AtBof;
      if (--cursor_ < 0) return FetchResult::AtBof;
    } else if (cursor_ < 0 || cursor_ >= rows_) {
      return FetchResult::Failed;
    }
    static_cast<RowBuffer&>(buffer).row = cursor_;
    CalculateFields(buffer);
    return FetchResult::Ok;
  }
  bool ReadFieldValue(const TField& field, FieldValue* destination) override {
    auto* buffer = static_cast<RowBuffer*>(State() == TDataSetState::dsCalcFields ? FilterBuffer()
                                                                                  : ActiveBuffer());
    if (!buffer) return false;
    if (field.FieldKind() != TFieldKind::fkData) {
      auto* slot = CalculatedSlot(*buffer, field);
      if (!slot || !*slot) return false;
      if (destination) *destination = **slot;
      return true;
    }
    if (field.FieldNo() == 1) {
      if (destination) *destination = static_cast<std::int32_t>(buffer->row * 10);
      return true;
    }
    if (buffer->row == 1) return false;  // row 1 has a NULL text
    if (destination) *destination = "row" + std::to_string(buffer->row);
    return true;
  }
  void MoveToStart() override { cursor_ = -1; }
  void MoveToEnd() override { cursor_ = rows_; }
  void SyncToBuffer(RecordBuffer* buffer) override {
    ++syncs;
    cursor_ = static_cast<RowBuffer*>(buffer)->row;
  }
  bool IsUnidirectional() const override { return unidirectional_; }
  bool IsModifiable() const override { return false; }
  void InternalGotoBookmark(const TBookmark&) override {}
  bool IsBookmarkValid(const TBookmark&) override { return false; }
  int CompareBookmarkValues(const TBookmark&, const TBookmark&) override { return 0; }
  std::unique_ptr<TStream> OpenBlobStream(TField&, TBlobStreamMode) override { return nullptr; }

 public:
  void SetCalcSlot(const TField& field, FieldValue value) {
    auto* slot = CalculatedSlot(*FilterBuffer(), field);
    *slot = std::move(value);
  }

 private:
  int rows_;
  bool unidirectional_;
  bool open_ = false;
  int cursor_ = -1;
};

std::vector<std::string> WalkForward(ArrayDataSet& data) {
  std::vector<std::string> seen;
  for (data.First(); !data.Eof(); data.Next()) seen.push_back(data.Fields(0).AsString());
  return seen;
}

TEST(DataSetBase, EmptyDataSetIsAtBothEndsAtOnce) {
  ArrayDataSet data(0);
  data.Open();
  EXPECT_TRUE(data.Active());
  EXPECT_TRUE(data.Eof());
  EXPECT_TRUE(data.Bof());
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.MoveBy(1), 0);
  EXPECT_EQ(data.Fields(0).AsString(), "");
  EXPECT_TRUE(data.Fields(0).IsNull());
}

// Stepping through three records must visit each once, whatever the window size.
TEST(DataSetBase, ThreeRecordsSteppedThroughInEveryWindowSize) {
  for (std::size_t window : {1u, 2u, 3u, 5u}) {
    SCOPED_TRACE(window);
    ArrayDataSet data(3);
    data.SetBufferCount(window);
    data.Open();
    EXPECT_FALSE(data.Eof());
    EXPECT_TRUE(data.Bof());
    EXPECT_EQ(WalkForward(data), (std::vector<std::string>{"0", "10", "20"}));
    // At the end the current record stays the last one.
    EXPECT_TRUE(data.Eof());
    EXPECT_EQ(data.Fields(0).AsString(), "20");
    // Backwards from the end.
    std::vector<std::string> back;
    data.Last();
    while (!data.Bof()) {
      back.push_back(data.Fields(0).AsString());
      data.Prior();
    }
    EXPECT_EQ(back, (std::vector<std::string>{"20", "10", "0"}));
    EXPECT_EQ(data.Fields(0).AsString(), "0");
  }
}

TEST(DataSetBase, MoveByCountsStepsAndStopsAtTheEnds) {
  ArrayDataSet data(5);
  data.SetBufferCount(2);
  data.Open();
  EXPECT_EQ(data.MoveBy(3), 3);
  EXPECT_EQ(data.Fields(0).AsString(), "30");
  EXPECT_EQ(data.MoveBy(10), 1);  // one more record, then the end
  EXPECT_TRUE(data.Eof());
  EXPECT_EQ(data.Fields(0).AsString(), "40");
  EXPECT_EQ(data.MoveBy(1), 0);
  EXPECT_EQ(data.MoveBy(-2), -2);
  EXPECT_FALSE(data.Eof());
  EXPECT_EQ(data.Fields(0).AsString(), "20");
  EXPECT_EQ(data.MoveBy(-10), -2);
  EXPECT_TRUE(data.Bof());
  EXPECT_EQ(data.Fields(0).AsString(), "0");
}

TEST(DataSetBase, UnidirectionalDataSetRefusesToMoveBack) {
  ArrayDataSet data(3, /*unidirectional=*/true);
  data.Open();
  data.Next();
  EXPECT_EQ(data.MoveBy(-1), 0);
  EXPECT_TRUE(data.Bof());
  EXPECT_EQ(data.Fields(0).AsString(), "10");
  EXPECT_THROW(data.Last(), DataSetError);
}

TEST(DataSetBase, ScrollEventsFrameEveryMoveAndNullTextsAreEmpty) {
  ArrayDataSet data(3);
  int before = 0, after = 0;
  data.BeforeScroll = [&](TDataSet&) { ++before; };
  data.AfterScroll = [&](TDataSet&) { ++after; };
  data.Open();
  data.Next();
  EXPECT_EQ(data.Fields(1).AsString(), "");  // row 1's text is NULL
  EXPECT_TRUE(data.Fields(1).IsNull());
  data.Next();
  EXPECT_EQ(data.FieldByName("t").AsString(), "row2");
  data.First();
  EXPECT_EQ(before, 3);
  EXPECT_EQ(after, 3);
  EXPECT_THROW(data.FieldByName("missing"), DataSetError);
  EXPECT_THROW(data.Fields(2), DataSetError);
}

TEST(DataSetBase, CalculatedFieldsAreComputedPerRecord) {
  ArrayDataSet data(3);
  TField& n = data.AddField("N", TFieldType::ftInteger, TFieldKind::fkData);
  TField& twice = data.AddField("Twice", TFieldType::ftInteger, TFieldKind::fkCalculated);
  data.OnCalcFields = [&](TDataSet&) {
    const auto value = std::get<std::int32_t>(n.Value());
    data.SetCalcSlot(twice, static_cast<std::int32_t>(2 * value));
  };
  data.Open();
  EXPECT_EQ(data.FieldCount(), 2u);  // persistent fields only
  data.Next();
  EXPECT_EQ(twice.AsString(), "20");
  data.Close();
  EXPECT_EQ(data.FieldCount(), 2u);  // persistent fields survive a close
}

TEST(DataSetBase, ClosedDataSetRefusesNavigation) {
  ArrayDataSet data(3);
  EXPECT_THROW(data.First(), DataSetError);
  EXPECT_THROW(data.Next(), DataSetError);
  data.Open();
  data.Close();
  EXPECT_FALSE(data.Active());
  EXPECT_EQ(data.FieldCount(), 0u);  // default fields go with the close
}

}  // namespace
}  // namespace corvid
