#include "dao/mdb/table_rows.h"

#include "dao/engine/dao_constants.h"

namespace corvid::dao {
namespace {

constexpr int kDeletedRow = 0x4000;
constexpr int kRowOffsetMask = 0x1FFF;

bool IsBooleanProperty(std::string_view name) {
  return name == "Required" || name == "AllowZeroLength" || name == "ColumnHidden" ||
         name == "UnicodeCompression" || name == "OrderByOn" || name == "FilterOnLoad" ||
         name == "OrderByOnLoad" || name == "TotalsRow";
}

Properties PropertiesOf(const MdbProperties* props) {
  Properties result;
  if (!props || !props->hash) return result;
  GHashTableIter it;
  gpointer key = nullptr, value = nullptr;
  g_hash_table_iter_init(&it, props->hash);
  while (g_hash_table_iter_next(&it, &key, &value)) {
    std::string name = static_cast<const char*>(key);
    std::string text = value ? static_cast<const char*>(value) : "";
    if (IsBooleanProperty(name) && (text == "yes" || text == "no"))
      result.Set(name, text == "yes", dbBoolean);
    else
      result.Set(name, text, dbText);
  }
  return result;
}

}  // namespace

TableRows::TableRows(std::shared_ptr<AccessFile> file, MdbCatalogEntry* entry,
                     EngineContextPtr context)
    : file_(std::move(file)), context_(std::move(context)), entry_(entry), name_(entry->object_name) {
  ReadDefinition();
  // A usage map on a page past the end of the file (a file cut short) reads
  // as an empty map: the table would seem to have no rows.
  MdbHandle* mdb = file_->handle();
  if (mdb_read_alt_pg(mdb, entry->table_pg) == mdb->fmt->pg_size) {
    auto mapRow =
        static_cast<std::uint32_t>(mdb_get_int32(mdb->alt_pg_buf, mdb->fmt->tab_usage_map_offset));
    if ((mapRow >> 8) >= file_->pageCount())
      context_->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file_->path() +
                                               "': the file is truncated, the page map of table '" +
                                               name_ + "' is missing.");
  }
  mdb_rewind_table(table_);
}

void TableRows::ReadDefinition() {
  MdbTableDef* table = mdb_read_table(entry_);
  if (table) {
    // Indexes follow the columns in the definition pages, which libmdb reads
    // from where the columns ended: read them now, while those pages are loaded.
    if (mdb_read_columns(table)) mdb_read_indices(table);
  }
  file_->ForgetPage();
  if (!table || !table->columns) {
    if (table) mdb_free_tabledef(table);
    context_->Raise(kUnrecognizedFormat, "The definition of table '" + name_ + "' in '" +
                                             file_->path() + "' cannot be read.");
  }
  if (table_) mdb_free_tabledef(table_);
  table_ = table;
  columns_.clear();
  columnProperties_.clear();
  for (unsigned i = 0; i < table_->num_cols; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
    columns_.push_back(column);
    columnProperties_.push_back(PropertiesOf(column->props));
  }
  tableProperties_ = PropertiesOf(table_->props);
  scratch_.resize(columns_.size());
  crackedIndex_ = -1;
  definitionGeneration_ = file_->generation();
}

void TableRows::Moved(std::int32_t index, std::uint32_t page, std::uint16_t row) {
  auto& where = rows_.at(static_cast<std::size_t>(index));
  where.page = page;
  where.row = row;
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

TableRows::~TableRows() {
  if (table_) mdb_free_tabledef(table_);
}

bool TableRows::ScanNext() {
  if (complete_) return false;
  // Another reader may have used the page buffer: put the scan's page back.
  if (table_->cur_pg_num != 0 && !file_->LoadPage(table_->cur_phys_pg)) {
    complete_ = true;
    return false;
  }
  file_->ForgetPage();
  if (!mdb_fetch_row(table_)) {
    complete_ = true;
    // libmdb ends a scan quietly when a data page cannot be read; a page the
    // table's usage map names beyond the end of the file means rows are lost.
    gint32 next = mdb_map_find_next(file_->handle(), table_->usage_map,
                                    static_cast<unsigned>(table_->map_sz), table_->cur_phys_pg);
    if (next > 0 && static_cast<unsigned long>(next) >= file_->pageCount())
      context_->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file_->path() +
                                               "': the file is truncated, rows of table '" + name_ +
                                               "' are missing.");
    return false;
  }
  file_->NotePageLoaded(table_->cur_phys_pg);
  rows_.push_back(Locator{table_->cur_phys_pg, static_cast<std::uint16_t>(table_->cur_row - 1)});
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

const std::vector<MdbField>& TableRows::Crack(std::int32_t index) {
  const Locator& where = rows_.at(static_cast<std::size_t>(index));
  if (where.deleted) context_->Raise(kRecordDeleted, "Record is deleted.");
  MdbHandle* mdb = file_->handle();
  if (!file_->LoadPage(where.page))
    context_->Raise(kUnrecognizedFormat,
                    "A page of table '" + name_ + "' in '" + file_->path() + "' cannot be read.");
  if (crackedIndex_ == index && crackedGeneration_ == file_->generation()) return cracked_;
  int start = 0;
  size_t length = 0;
  if (mdb_find_row(mdb, where.row, &start, &length) != 0 || length == 0)
    context_->Raise(kRecordDeleted, "Record is deleted.");
  if (start & kDeletedRow) context_->Raise(kRecordDeleted, "Record is deleted.");
  int count = mdb_crack_row(table_, start & kRowOffsetMask, length, scratch_.data());
  if (count < 0)
    context_->Raise(kUnrecognizedFormat,
                    "A row of table '" + name_ + "' in '" + file_->path() + "' is damaged.");
  cracked_.assign(columns_.size(), MdbField{});
  for (auto& field : cracked_) field.is_null = 1;
  for (int i = 0; i < count && i < static_cast<int>(scratch_.size()); ++i) {
    int column = scratch_[static_cast<std::size_t>(i)].colnum;
    if (column >= 0 && column < static_cast<int>(cracked_.size()))
      cracked_[static_cast<std::size_t>(column)] = scratch_[static_cast<std::size_t>(i)];
  }
  crackedIndex_ = index;
  crackedGeneration_ = file_->generation();
  return cracked_;
}

std::shared_ptr<const std::vector<std::int32_t>> TableRows::IndexOrder(const std::string& key) const {
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
