#include "dao/run_ports.h"

#include "dao/dao_database.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/table/dao_table.h"
#include "dao/engine/database_error.h"
#include "dao/engine/recordset.h"
#include "dao/engine/value_stream.h"

namespace corvid {

void DaoDatabaseConnection::SetLoginPrompt(bool prompt) { database_.F_Set_LoginPrompt(prompt); }
void DaoDatabaseConnection::SetDatabaseType(const std::string& type) {
  database_.F_Set_DatabaseType(type);
}
void DaoDatabaseConnection::SetDatabase(const std::string& path) { database_.F_Set_Database(path); }
void DaoDatabaseConnection::SetConnected(bool connected) { database_.F_Set_Connected(connected); }

void DaoRecordTable::SetTableName(const std::string& name) {
  attachments_.reset();
  table_.F_Set_TableName(name);
}
void DaoRecordTable::SetActive(bool active) {
  attachments_.reset();
  ++record_;
  table_.SetActive(active);
}
void DaoRecordTable::FieldNames(std::vector<std::string>& names) { table_.FieldNames(names); }

namespace {

// Calls `action`, turning damage into the run's damage type.
template <class Action>
auto DamageAsRecordDamage(Action&& action) -> decltype(action()) {
  try {
    return action();
  } catch (const dao::DataDamageError& damage) {
    throw RecordDamageError(damage.what());
  }
}

template <class Action>
auto DamageAsAttachmentDamage(Action&& action) -> decltype(action()) {
  try {
    return action();
  } catch (const dao::DataDamageError& damage) {
    throw AttachmentDamage(damage.what());
  }
}

TField& FieldAt(TVxDaoTable& table, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= table.FieldCount())
    throw DatabaseError("List index out of bounds (" + std::to_string(position) + ")");
  return table.Fields(static_cast<std::size_t>(position));
}

// The engine's type of `field` (0 when the table has no engine field for it).
int EngineTypeOf(TVxDaoTable& table, const TField& field) {
  const dao::Field* engineField = table.EngineField(field);
  return engineField != nullptr ? engineField->Type() : 0;
}

std::string HexNumber(int number) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  text += kDigits[(number >> 4) & 0xF];
  text += kDigits[number & 0xF];
  return text;
}

// A field whose values the run cannot read as documents or names.
void RefuseUnreadableType(TVxDaoTable& table, const TField& field, bool asDocument) {
  const int type = EngineTypeOf(table, field);
  if (dao::IsUnknownStoredType(type))
    throw DatabaseError("The field '" + field.FieldName() +
                        "' has a column type that Corvid does not read (type number " +
                        HexNumber(type - dao::kUnknownStoredType) + ")");
  if (asDocument && type > dao::dbAttachment && type <= dao::dbComplexText)
    throw DatabaseError("The field '" + field.FieldName() +
                        "' is a multi-value field: it holds values, not documents");
}

}  // namespace

std::string DaoRecordTable::FieldText(int position) {
  TField& field = FieldAt(table_, position);
  RefuseUnreadableType(table_, field, false);
  return DamageAsRecordDamage([&] { return field.AsString(); });
}
bool DaoRecordTable::Eof() { return table_.Eof(); }
void DaoRecordTable::Next() {
  attachments_.reset();
  ++record_;
  DamageAsRecordDamage([&] { table_.Next(); });
}

std::unique_ptr<BlobReader> DaoRecordTable::OpenBlobStream(int position) {
  TField& field = FieldAt(table_, position);
  RefuseUnreadableType(table_, field, true);
  return DamageAsRecordDamage([&]() -> std::unique_ptr<BlobReader> {
    return std::make_unique<DaoBlobReader>(table_.CreateBlobStream(field, TBlobStreamMode::bmRead));
  });
}

bool DaoRecordTable::IsAttachmentField(int position) {
  return EngineTypeOf(table_, FieldAt(table_, position)) == dao::dbAttachment;
}

dao::Recordset& DaoRecordTable::Attachments(int position, std::size_t index) {
  if (!attachments_ || attachmentsField_ != position || attachmentsRecord_ != record_) {
    TField& field = FieldAt(table_, position);
    attachments_.reset();
    attachments_ = DamageAsRecordDamage([&] { return table_.ChildRecordset(field); });
    attachmentsField_ = position;
    attachmentsRecord_ = record_;
  }
  if (index != static_cast<std::size_t>(-1)) {
    if (index >= static_cast<std::size_t>(attachments_->RecordCount()))
      throw std::out_of_range("the record has no attachment " + std::to_string(index));
    attachments_->SetAbsolutePosition(static_cast<std::int32_t>(index));
  }
  return *attachments_;
}

std::size_t DaoRecordTable::AttachmentCount(int position) {
  return static_cast<std::size_t>(
      Attachments(position, static_cast<std::size_t>(-1)).RecordCount());
}

std::string DaoRecordTable::AttachmentFileName(int position, std::size_t index) {
  dao::Recordset& files = Attachments(position, index);
  return DamageAsRecordDamage(
      [&] { return dao::VariantToText(files.Fields().Item("FileName").Value()); });
}

std::unique_ptr<BlobReader> DaoRecordTable::OpenAttachment(int position, std::size_t index) {
  dao::Recordset& files = Attachments(position, index);
  return DamageAsAttachmentDamage([&]() -> std::unique_ptr<BlobReader> {
    return std::make_unique<DaoAttachmentReader>(files.Fields().Item("FileData").OpenValueStream());
  });
}

std::int64_t DaoRecordTable::ListedCount() { return table_.ListedCount(); }
std::vector<std::string> DaoRecordTable::TakeDamageNotes() { return table_.TakeDamageNotes(); }

DaoBlobReader::DaoBlobReader(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {}
DaoBlobReader::~DaoBlobReader() = default;

std::int64_t DaoBlobReader::Size() {
  if (size_ < 0) size_ = DamageAsRecordDamage([&] { return stream_->Size(); });
  return size_;
}

std::size_t DaoBlobReader::Read(std::span<std::byte> buffer) {
  return DamageAsRecordDamage([&] { return stream_->Read(buffer); });
}
std::span<const std::byte> DaoBlobReader::Held() { return stream_->HeldBytes(); }

DaoAttachmentReader::DaoAttachmentReader(std::unique_ptr<dao::ValueStream> stream)
    : stream_(std::move(stream)) {}
DaoAttachmentReader::~DaoAttachmentReader() = default;

std::int64_t DaoAttachmentReader::Size() {
  return DamageAsAttachmentDamage([&] { return stream_->Size(); });
}

std::size_t DaoAttachmentReader::Read(std::span<std::byte> buffer) {
  return DamageAsAttachmentDamage([&] { return stream_->Read(buffer); });
}

}  // namespace corvid
