#pragma once
// A data set with no records and no database: enough for field objects to
// exist (texts are converted by the field's own type, size and valid
// characters), and a data set that is not a table.

#include <memory>

#include "dao/dataset/data_set.h"

namespace corvid::testing_support {

class EmptyDataSet : public TDataSet {
 protected:
  void OpenCursor() override {}
  void CloseCursor() override {}
  bool IsCursorOpen() const override { return false; }
  void BuildFieldDefs() override {}
  std::unique_ptr<RecordBuffer> NewRecordBuffer() override {
    return std::make_unique<RecordBuffer>();
  }
  FetchResult FetchRecord(RecordBuffer&, FetchMode) override { return FetchResult::AtEof; }
  bool ReadFieldValue(const TField&, FieldValue*) override { return false; }
  void MoveToStart() override {}
  void MoveToEnd() override {}
  void SyncToBuffer(RecordBuffer*) override {}
  bool IsModifiable() const override { return false; }
  void InternalGotoBookmark(const TBookmark&) override {}
  bool IsBookmarkValid(const TBookmark&) override { return false; }
  int CompareBookmarkValues(const TBookmark&, const TBookmark&) override { return 0; }
  std::unique_ptr<TStream> OpenBlobStream(TField&, TBlobStreamMode) override { return nullptr; }
};

}  // namespace corvid::testing_support
