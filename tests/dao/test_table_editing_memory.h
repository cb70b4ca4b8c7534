#pragma once
// An in-memory engine table behind the scripted database of
// fake_dao_engine.h, for the editing paths that need an engine that writes:
// rows with bookmarks, recordsets with their own view of the rows (records
// deleted elsewhere show as deleted, 3167), Edit/AddNew/Update/CancelUpdate/
// Delete with DAO's edit modes (a move ends a pending edit), and failures
// queued per call ("Edit", "AddNew", "Update", "Delete", "SetValue Name").

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/field.h"
#include "dao/engine/recordset.h"
#include "fake_dao_engine.h"

namespace corvid::fake {

struct MemoryColumn {
  std::string name;
  int type = dao::dbText;
  std::int32_t size = 0;
  std::int32_t attributes = dao::dbVariableField | dao::dbUpdatableField;
  bool required = false;
  bool allowZeroLength = false;
  std::string defaultValue;
};

struct MemoryTable {
  std::vector<MemoryColumn> columns;
  std::map<std::int32_t, std::vector<dao::Variant>> rows;  // by bookmark, in insertion order
  std::int32_t nextBookmark = 1;
  std::int64_t lastAutoNumber = 0;  // auto-number columns of added rows count on from here
  bool updatable = true;
  bool bookmarkable = true;  // false: recordsets without bookmarks (as over some ODBC sources)
  std::map<std::string, std::deque<dao::EngineError>> failures;
  std::vector<std::string> log;
  // Damage: values (bookmark, column) that raise DataDamageError when read,
  // rows that MoveNext fails on (standing on them; the next MoveNext leaves
  // them), and the row count the table's definition lists.
  std::map<std::pair<std::int32_t, std::size_t>, std::string> damagedValues;
  std::map<std::int32_t, std::string> unreachableRows;
  std::int32_t listed = -1;

  std::int32_t AddRow(std::vector<dao::Variant> values) {
    values.resize(columns.size(), dao::Null{});
    rows[nextBookmark] = std::move(values);
    return nextBookmark++;
  }
  int Column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (columns[i].name == name) return static_cast<int>(i);
    return -1;
  }
  // Raises the next queued failure of `call`, if any.
  void MaybeFail(const std::string& call) {
    log.push_back(call);
    auto it = failures.find(call);
    if (it == failures.end() || it->second.empty()) return;
    dao::EngineError error = it->second.front();
    it->second.pop_front();
    throw error;
  }
  void FailNext(const std::string& call, int number, std::string text, int times = 1) {
    for (int i = 0; i < times; ++i) failures[call].emplace_back(number, text);
  }
  // Column values of every row, in bookmark order, as texts.
  std::vector<std::string> ColumnTexts(std::string_view name) const {
    std::vector<std::string> texts;
    const int c = Column(name);
    for (const auto& [bookmark, values] : rows) {
      const dao::Variant& v = values[static_cast<std::size_t>(c)];
      texts.push_back(dao::IsNull(v) ? "<null>" : dao::VariantToText(v));
    }
    return texts;
  }
};

class MemoryRecordset;

class MemoryField : public dao::Field {
 public:
  MemoryField(MemoryRecordset& recordset, std::size_t column)
      : recordset_(recordset), column_(column) {}
  std::string Name() const override;
  int Type() const override;
  std::int32_t Size() const override;
  std::int32_t Attributes() const override;
  bool Required() const override;
  bool AllowZeroLength() const override;
  std::string DefaultValue() const override;
  int OrdinalPosition() const override { return static_cast<int>(column_); }
  const dao::Properties& FieldProperties() const override { return properties_; }
  dao::Variant Value() override;
  void SetValue(const dao::Variant& value) override;
  std::int64_t FieldSize() override {
    std::vector<std::byte> bytes;
    ReadBytesInto(bytes);
    return static_cast<std::int64_t>(bytes.size());
  }
  bool ReadBytesInto(std::vector<std::byte>& into) override {
    const dao::Variant v = Value();
    into.clear();
    if (dao::IsNull(v)) return false;
    if (const auto* b = std::get_if<dao::Bytes>(&v)) {
      into = *b;
    } else {
      const std::string text = dao::VariantToText(v);
      const auto* p = reinterpret_cast<const std::byte*>(text.data());
      into.assign(p, p + text.size());
    }
    return true;
  }

 private:
  const MemoryColumn& Col() const;
  MemoryRecordset& recordset_;
  std::size_t column_;
  dao::Properties properties_;
};

class MemoryRecordset : public dao::Recordset {
 public:
  MemoryRecordset(std::shared_ptr<MemoryTable> table, int type,
                  std::optional<int> sortColumn = std::nullopt)
      : table_(std::move(table)), type_(type), sortColumn_(sortColumn), fields_(script_, "Fields") {
    for (std::size_t i = 0; i < table_->columns.size(); ++i)
      fields_.items.push_back(std::make_shared<MemoryField>(*this, i));
    Rebuild();
  }

  MemoryTable& Table() { return *table_; }
  std::string Name() const override { return "Memory"; }
  int Type() const override { return type_; }

  void MoveFirst() override { MoveTo(0, true); }
  void MoveLast() override { MoveTo(static_cast<std::int64_t>(view_.size()) - 1, true); }
  void MoveNext() override {
    if (Eof()) NoCurrent();
    EndEdit();
    if (onDeleted_) {
      onDeleted_ = false;
    } else {
      ++pos_;
    }
    if (!Eof()) {
      const auto damaged = table_->unreachableRows.find(view_[static_cast<std::size_t>(pos_)]);
      if (damaged != table_->unreachableRows.end()) throw dao::DataDamageError(damaged->second);
    }
  }
  void MovePrevious() override {
    if (Bof()) NoCurrent();
    EndEdit();
    onDeleted_ = false;
    --pos_;
  }
  void Move(std::int32_t rows, const dao::Bytes* start = nullptr) override {
    if (start) SetBookmark(*start);
    if (rows == 0) {
      if (Eof() || Bof() || onDeleted_) NoCurrent();
      EndEdit();
      return;
    }
    EndEdit();
    onDeleted_ = false;
    pos_ += rows;
    if (pos_ < -1) pos_ = -1;
    if (pos_ > static_cast<std::int64_t>(view_.size()))
      pos_ = static_cast<std::int64_t>(view_.size());
  }
  bool Eof() const override {
    return view_.empty() || pos_ >= static_cast<std::int64_t>(view_.size());
  }
  bool Bof() const override { return view_.empty() || pos_ < 0; }
  std::int32_t RecordCount() override { return static_cast<std::int32_t>(view_.size()); }
  std::int32_t ListedCount() override { return table_->listed; }
  std::int32_t AbsolutePosition() override {
    return Bof() || Eof() ? -1 : static_cast<std::int32_t>(pos_);
  }
  void SetAbsolutePosition(std::int32_t position) override { MoveTo(position, true); }
  float PercentPosition() override {
    return view_.empty() || Bof() || Eof()
               ? 0.0f
               : 100.0f * static_cast<float>(pos_) / static_cast<float>(view_.size());
  }
  void SetPercentPosition(float) override {}
  dao::Bytes Bookmark() override {
    CurrentBookmark();
    return BytesOf(view_[static_cast<std::size_t>(pos_)]);
  }
  void SetBookmark(const dao::Bytes& bookmark) override {
    const std::int32_t value = ValueOf(bookmark);
    const auto it = std::find(view_.begin(), view_.end(), value);
    if (it == view_.end()) throw dao::EngineError(dao::kNotBookmarkable, "Not a valid bookmark.");
    EndEdit();
    onDeleted_ = false;
    pos_ = it - view_.begin();  // a record deleted elsewhere is reached, and raises when used
  }
  bool Bookmarkable() const override { return table_->bookmarkable; }
  dao::Bytes LastModified() override {
    if (lastModified_ == 0) NoCurrent();
    return BytesOf(lastModified_);
  }
  bool Updatable() const override { return table_->updatable; }
  bool LockEdits() const override { return true; }
  int EditMode() const override { return editMode_; }
  std::string DateCreated() override { return {}; }
  std::string LastUpdated() override { return {}; }
  dao::Collection<dao::Field>& Fields() override { return fields_; }
  std::unique_ptr<dao::Recordset> Clone() override {
    auto clone = std::make_unique<MemoryRecordset>(table_, type_, sortColumn_);
    clone->view_ = view_;
    clone->pos_ = -1;
    return clone;
  }
  void Requery() override {
    table_->log.push_back("Requery");
    Rebuild();
  }
  void Close() override {}

  static constexpr const char* kNotUpdatable =
      "Cannot update. Database or object is read-only. The table 'Memory' is not updatable.";
  void Edit() override {
    if (!table_->updatable) throw dao::EngineError(dao::kCannotUpdate, kNotUpdatable);
    table_->MaybeFail("Edit");
    const std::int32_t bookmark = CurrentBookmark();
    copy_ = table_->rows.at(bookmark);
    editMode_ = dao::dbEditInProgress;
  }
  void AddNew() override {
    if (!table_->updatable) throw dao::EngineError(dao::kCannotUpdate, kNotUpdatable);
    table_->MaybeFail("AddNew");
    copy_.assign(table_->columns.size(), dao::Null{});
    editMode_ = dao::dbEditAdd;
  }
  void Update() override {
    if (editMode_ == dao::dbEditNone)
      throw dao::EngineError(3020, "Update or CancelUpdate without AddNew or Edit.");
    table_->MaybeFail("Update");
    for (std::size_t c = 0; c < table_->columns.size(); ++c) {
      if (table_->columns[c].required && dao::IsNull(copy_[c]))
        throw dao::EngineError(
            3314, "The field '" + table_->columns[c].name + "' cannot contain a Null value.");
    }
    if (editMode_ == dao::dbEditInProgress) {
      const std::int32_t bookmark = view_[static_cast<std::size_t>(pos_)];
      if (!table_->rows.count(bookmark))
        throw dao::EngineError(dao::kRecordDeleted, "Record is deleted.");
      table_->rows[bookmark] = copy_;
      lastModified_ = bookmark;
    } else {
      for (std::size_t c = 0; c < table_->columns.size(); ++c)
        if ((table_->columns[c].attributes & dao::dbAutoIncrField) != 0 && dao::IsNull(copy_[c]))
          copy_[c] = std::int64_t{++table_->lastAutoNumber};
      lastModified_ = table_->AddRow(copy_);
      view_.push_back(lastModified_);
    }
    editMode_ = dao::dbEditNone;
  }
  void CancelUpdate() override {
    table_->log.push_back("CancelUpdate");
    editMode_ = dao::dbEditNone;
  }
  void Delete() override {
    const std::int32_t bookmark = CurrentBookmark();
    table_->MaybeFail("Delete");
    EndEdit();
    table_->rows.erase(bookmark);
    view_.erase(view_.begin() + pos_);
    onDeleted_ = true;
  }

  std::unique_ptr<dao::Recordset> OpenRecordset(int type, int) override {
    std::optional<int> sortColumn = sortColumn_;
    if (!sort_.empty()) {
      std::string name = sort_;
      std::erase_if(name, [](char c) { return c == '[' || c == ']' || c == ' ' || c == ','; });
      sortColumn = table_->Column(name);
    }
    return std::make_unique<MemoryRecordset>(table_, type, sortColumn);
  }
  void SetFilter(std::string_view) override {}
  void SetSort(std::string_view sort) override { sort_ = std::string(sort); }
  void SetIndex(std::string_view) override {}
  void FindFirst(std::string_view) override {}
  void FindLast(std::string_view) override {}
  void FindNext(std::string_view) override {}
  void FindPrevious(std::string_view) override {}
  bool NoMatch() const override { return true; }
  void Seek(std::string_view, const std::vector<dao::Variant>&) override {}

  // The value of a column in the current record (the copy while editing).
  dao::Variant& CurrentValue(std::size_t column) {
    if (editMode_ != dao::dbEditNone) return copy_[column];
    const std::int32_t bookmark = CurrentBookmark();
    const auto damaged = table_->damagedValues.find({bookmark, column});
    if (damaged != table_->damagedValues.end()) throw dao::DataDamageError(damaged->second);
    return table_->rows.at(bookmark)[column];
  }
  void Assign(std::size_t column, const dao::Variant& value) {
    table_->MaybeFail("SetValue " + table_->columns[column].name);
    if (editMode_ == dao::dbEditNone)
      throw dao::EngineError(3020, "Update or CancelUpdate without AddNew or Edit.");
    copy_[column] = value;
  }

 private:
  static dao::Bytes BytesOf(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    return {std::byte(u & 0xFF), std::byte((u >> 8) & 0xFF), std::byte((u >> 16) & 0xFF),
            std::byte(u >> 24)};
  }
  static std::int32_t ValueOf(const dao::Bytes& bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
      value |= std::to_integer<std::uint32_t>(bytes[i]) << (8 * i);
    return static_cast<std::int32_t>(value);
  }
  [[noreturn]] static void NoCurrent() {
    throw dao::EngineError(dao::kNoCurrentRecord, "No current record.");
  }
  // The bookmark of the current record; raises when there is none or it is
  // deleted.
  std::int32_t CurrentBookmark() {
    if (onDeleted_) throw dao::EngineError(dao::kRecordDeleted, "Record is deleted.");
    if (Bof() || Eof()) NoCurrent();
    const std::int32_t bookmark = view_[static_cast<std::size_t>(pos_)];
    if (!table_->rows.count(bookmark))
      throw dao::EngineError(dao::kRecordDeleted, "Record is deleted.");
    return bookmark;
  }
  void EndEdit() {
    if (editMode_ == dao::dbEditInProgress) editMode_ = dao::dbEditNone;  // a move ends an edit
  }
  void MoveTo(std::int64_t index, bool needRecord) {
    if (needRecord && view_.empty()) NoCurrent();
    EndEdit();
    onDeleted_ = false;
    pos_ = index;
  }
  void Rebuild() {
    view_.clear();
    for (const auto& [bookmark, values] : table_->rows) view_.push_back(bookmark);
    if (sortColumn_ && *sortColumn_ >= 0) {
      const auto c = static_cast<std::size_t>(*sortColumn_);
      std::stable_sort(view_.begin(), view_.end(), [&](std::int32_t a, std::int32_t b) {
        return dao::VariantToText(table_->rows[a][c]) < dao::VariantToText(table_->rows[b][c]);
      });
    }
    pos_ = view_.empty() ? -1 : 0;
    onDeleted_ = false;
    editMode_ = dao::dbEditNone;
  }

  Script script_;
  std::shared_ptr<MemoryTable> table_;
  int type_;
  std::optional<int> sortColumn_;
  std::string sort_;
  VectorCollection<dao::Field> fields_;
  std::vector<std::int32_t> view_;
  std::int64_t pos_ = -1;
  bool onDeleted_ = false;
  int editMode_ = dao::dbEditNone;
  std::vector<dao::Variant> copy_;
  std::int32_t lastModified_ = 0;
};

inline const MemoryColumn& MemoryField::Col() const { return recordset_.Table().columns[column_]; }
inline std::string MemoryField::Name() const { return Col().name; }
inline int MemoryField::Type() const { return Col().type; }
inline std::int32_t MemoryField::Size() const { return Col().size; }
inline std::int32_t MemoryField::Attributes() const { return Col().attributes; }
inline bool MemoryField::Required() const { return Col().required; }
inline bool MemoryField::AllowZeroLength() const { return Col().allowZeroLength; }
inline std::string MemoryField::DefaultValue() const { return Col().defaultValue; }
inline dao::Variant MemoryField::Value() { return recordset_.CurrentValue(column_); }
inline void MemoryField::SetValue(const dao::Variant& value) { recordset_.Assign(column_, value); }

}  // namespace corvid::fake
