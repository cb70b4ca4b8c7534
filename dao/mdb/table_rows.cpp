#include "dao/mdb/table_rows.h"

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/mdb/complex_values.h"
#include "dao/mdb/stored_properties.h"
#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/row_decoder.h"

namespace corvid::dao {

TableRows::TableRows(std::shared_ptr<AccessFile> file, const jet::reader::CatalogEntry& entry,
                     EngineContextPtr context)
    : file_(std::move(file)), context_(std::move(context)), entry_(entry), name_(entry.name) {
  ReadDefinition();
  // A usage map on a page past the end of the file (a file cut short) reads
  // as an empty map: the table would seem to have no rows.
  if ((definition_->usedPagesMap >> 8) >= file_->reader().Pages().PageCount())
    context_->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file_->path() +
                                             "': the file is truncated, the page map of table '" +
                                             name_ + "' is missing.");
}

void TableRows::ReadDefinition() {
  jet::reader::Database& reader = file_->reader();
  try {
    definition_ = std::make_shared<const jet::reader::TableDefinition>(
        jet::reader::ReadTableDefinition(reader.Pages(), reader.Format(), reader.Text(),
                                         entry_.DefinitionPage(), name_, reader.MutableReport()));
  } catch (const jet::reader::JetError&) {
    context_->Raise(kUnrecognizedFormat, "The definition of table '" + name_ + "' in '" +
                                             file_->path() + "' cannot be read.");
  }
  std::vector<jet::reader::PropertyBlock> blocks;
  try {
    blocks = reader.PropertiesOf(entry_);
  } catch (const jet::reader::DamageError& error) {
    // Properties describe the table; damaged ones are reported, not fatal.
    reader.ReportDamage(error.Within({.table = name_}));
  }
  columnProperties_.assign(definition_->columns.size(), Properties{});
  tableProperties_ = Properties{};
  for (const auto& block : blocks) {
    if (block.name.empty()) {
      tableProperties_ = PropertiesOfBlock(block, reader.Text());
      continue;
    }
    for (std::size_t i = 0; i < definition_->columns.size(); ++i)
      if (definition_->columns[i].name == block.name) {
        columnProperties_[i] = PropertiesOfBlock(block, reader.Text());
        break;
      }
  }
  crackedIndex_ = -1;
  definitionGeneration_ = file_->generation();
}

int TableRows::ColumnIndexOfNumber(std::uint16_t number) const {
  for (std::size_t i = 0; i < definition_->columns.size(); ++i)
    if (definition_->columns[i].number == number) return static_cast<int>(i);
  return -1;
}

void TableRows::Moved(std::int32_t index, std::uint32_t page, std::uint16_t row) {
  auto& where = rows_.at(static_cast<std::size_t>(index));
  where.page = page;
  where.row = row;
  where.moved = false;
  crackedIndex_ = -1;
}

std::int32_t TableRows::Added(std::uint32_t page, std::uint16_t row) {
  rows_.push_back(Locator{page, row});
  return static_cast<std::int32_t>(rows_.size() - 1);
}

void TableRows::Removed(std::int32_t index) {
  auto& where = rows_.at(static_cast<std::size_t>(index));
  if (!where.deleted) ++deleted_;
  where.deleted = true;
  crackedIndex_ = -1;
}

void TableRows::Reload() {
  file_->Refresh();
  ReadDefinition();
}

void TableRows::ReloadIfChanged() {
  if (definitionGeneration_ != file_->generation()) ReadDefinition();
}

bool TableRows::ScanNext() {
  if (complete_) return false;
  if (!cursor_) {
    jet::reader::Database& reader = file_->reader();
    cutShort_ = MapCutShort(reader, definition_->usedPagesMap);
    cursor_.emplace(reader.TableOf(definition_).Rows());
  }
  if (!cursor_->Next(scanned_)) {
    complete_ = true;
    if (cursor_->RowsRecovered() > 0)
      file_->reader().MutableReport().Add({.table = name_},
                                          std::to_string(cursor_->RowsRecovered()) +
                                              " rows were recovered from pages the table's usage "
                                              "map does not list; they are read like the others");
    cursor_.reset();
    // Pages the table's usage map names beyond the end of the file: the
    // file was cut short and rows are lost.
    if (cutShort_)
      context_->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file_->path() +
                                               "': the file is truncated, rows of table '" + name_ +
                                               "' are missing.");
    return false;
  }
  Locator where{scanned_.page, static_cast<std::uint16_t>(scanned_.row)};
  where.recovered = scanned_.recovered;
  try {
    // A row reached through a lookup row carries the deleted flag in its slot.
    jet::reader::Database& reader = file_->reader();
    jet::reader::PagePtr page = reader.Pages().Read(where.page);
    where.moved = jet::reader::SlotOf(*page, reader.Format(), where.row, true).deleted;
  } catch (const jet::reader::DamageError&) {
  }
  rows_.push_back(where);
  // The row just read is the one most likely asked for next.
  cracked_ = std::move(scanned_.values);
  crackedIndex_ = static_cast<std::int32_t>(rows_.size() - 1);
  crackedGeneration_ = file_->generation();
  return true;
}

bool TableRows::Has(std::int32_t index) {
  if (index < 0) return false;
  while (static_cast<std::size_t>(index) >= rows_.size())
    if (!ScanNext()) return false;
  return true;
}

std::int32_t TableRows::CountAll() {
  while (ScanNext()) {
  }
  return KnownCount();
}

std::shared_ptr<ComplexValues> TableRows::Complex(int index) {
  if (complexGeneration_ != file_->generation()) {
    complex_.clear();
    complexGeneration_ = file_->generation();
  }
  if (const auto found = complex_.find(index); found != complex_.end()) return found->second;
  const Column& complexColumn = column(index);
  if (complexColumn.type != static_cast<std::uint8_t>(jet::StoredType::Complex))
    context_->Raise(kOperationNotSupported,
                    "Operation is not supported for this type of object: the field '" +
                        complexColumn.name + "' of table '" + name_ + "' is not a complex field.");
  jet::reader::Database& reader = file_->reader();
  try {
    auto resolved = std::make_shared<ComplexValues>(
        jet::reader::ComplexColumn::Open(reader, reader.TableOf(definition_), complexColumn.name));
    complex_.emplace(index, resolved);
    return resolved;
  } catch (const jet::reader::DamageError& error) {
    RaiseDamage(error, -1, complexColumn.name);
  } catch (const jet::reader::JetError& error) {
    RaiseDamage(jet::reader::DamageError(error.what()), -1, complexColumn.name);
  }
}

int TableRows::ComplexType(int index) {
  try {
    return Complex(index)->daoType;
  } catch (const EngineError&) {
    return dbAttachment;
  }
}

void TableRows::RaiseDamage(const jet::reader::DamageError& error, std::int32_t index,
                            const std::string& field) {
  jet::reader::DamageLocation where{.table = name_, .field = field};
  const bool known = index >= 0 && static_cast<std::size_t>(index) < rows_.size();
  if (known) {
    where.page = rows_[static_cast<std::size_t>(index)].page;
    where.row = rows_[static_cast<std::size_t>(index)].row;
  }
  const jet::reader::DamageError located = error.Within(where);
  std::string text = located.Where().Text();
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  text += ": " + located.Problem();
  // Damage found elsewhere (a long value's page): say which record needs it.
  if (known && (located.Where().page != where.page || located.Where().row != where.row))
    text += " (the record at page " + std::to_string(*where.page) + ", row " +
            std::to_string(*where.row) + ")";
  throw DataDamageError(text + ".");
}

const std::vector<StoredValue>& TableRows::Crack(std::int32_t index) {
  const Locator& where = rows_.at(static_cast<std::size_t>(index));
  if (where.deleted) context_->Raise(kRecordDeleted, "Record is deleted.");
  if (crackedIndex_ == index && crackedGeneration_ == file_->generation()) return cracked_;
  crackedIndex_ = -1;
  jet::reader::Database& reader = file_->reader();
  jet::reader::PagePtr page;
  jet::reader::RowSlot slot;
  try {
    page = reader.Pages().Read(where.page);
    if (jet::reader::PageType(*page) != jet::kPageTypeData ||
        where.row >= jet::reader::RowCountOf(*page, reader.Format()))
      context_->Raise(kRecordDeleted, "Record is deleted.");
    slot = jet::reader::SlotOf(*page, reader.Format(), where.row);
    if (slot.deleted) {
      // A row reached through a lookup row carries the deleted flag.
      if (!where.moved) context_->Raise(kRecordDeleted, "Record is deleted.");
      slot = jet::reader::SlotOf(*page, reader.Format(), where.row, true);
    }
  } catch (const jet::reader::DamageError& error) {
    // The row read when it was located; after a change through this engine
    // a slot that no longer reads is a row deleted or moved meanwhile.
    if (file_->generation() != 0) context_->Raise(kRecordDeleted, "Record is deleted.");
    RaiseDamage(error, index);
  }
  try {
    std::span<const std::byte> bytes =
        std::span<const std::byte>(*page).subspan(slot.start, slot.end - slot.start);
    if (slot.lookup) {
      // The row was moved since it was located: read it where it went.
      const std::uint32_t target = jet::reader::Read32(bytes, 0);
      bytes = jet::reader::RowAtPointer(reader.Pages(), reader.Format(), target, page);
    }
    cracked_ = jet::reader::DecodeRow(bytes, *definition_, reader.Format(), reader.Text());
  } catch (const jet::reader::DamageError& error) {
    RaiseDamage(error, index);
  }
  crackedIndex_ = index;
  crackedGeneration_ = file_->generation();
  return cracked_;
}

std::shared_ptr<const std::vector<std::int32_t>> TableRows::IndexOrder(
    const std::string& key) const {
  if (indexOrdersGeneration_ != file_->generation()) return nullptr;
  auto found = indexOrders_.find(key);
  return found == indexOrders_.end() ? nullptr : found->second;
}

void TableRows::KeepIndexOrder(const std::string& key,
                               std::shared_ptr<const std::vector<std::int32_t>> order) {
  if (indexOrdersGeneration_ != file_->generation()) {
    indexOrders_.clear();
    indexOrdersGeneration_ = file_->generation();
  }
  indexOrders_[key] = std::move(order);
}

}  // namespace corvid::dao
