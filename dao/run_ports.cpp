#include "dao/run_ports.h"

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database_error.h"

namespace corvid {

void DaoDatabaseConnection::SetLoginPrompt(bool prompt) { database_.F_Set_LoginPrompt(prompt); }
void DaoDatabaseConnection::SetDatabaseType(const std::string& type) {
  database_.F_Set_DatabaseType(type);
}
void DaoDatabaseConnection::SetDatabase(const std::string& path) { database_.F_Set_Database(path); }
void DaoDatabaseConnection::SetConnected(bool connected) { database_.F_Set_Connected(connected); }

void DaoRecordTable::SetTableName(const std::string& name) { table_.F_Set_TableName(name); }
void DaoRecordTable::SetActive(bool active) { table_.SetActive(active); }
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

TField& FieldAt(TVxDaoTable& table, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= table.FieldCount())
    throw DatabaseError("List index out of bounds (" + std::to_string(position) + ")");
  return table.Fields(static_cast<std::size_t>(position));
}

}  // namespace

std::string DaoRecordTable::FieldText(int position) {
  TField& field = FieldAt(table_, position);
  return DamageAsRecordDamage([&] { return field.AsString(); });
}
bool DaoRecordTable::Eof() { return table_.Eof(); }
void DaoRecordTable::Next() {
  DamageAsRecordDamage([&] { table_.Next(); });
}

std::unique_ptr<BlobReader> DaoRecordTable::OpenBlobStream(int position) {
  TField& field = FieldAt(table_, position);
  return DamageAsRecordDamage([&]() -> std::unique_ptr<BlobReader> {
    return std::make_unique<DaoBlobReader>(table_.CreateBlobStream(field, TBlobStreamMode::bmRead));
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

}  // namespace corvid
