#include "dao/mdb/mdb_tabledef.h"

#include "dao/engine/dao_constants.h"

namespace corvid::dao {
namespace {

constexpr int kHiddenCatalogFlag = 0x8;

class MdbIndexObject : public Index {
 public:
  MdbIndexObject(EngineContextPtr context, std::string name, bool primary, bool unique,
                 bool foreign, std::vector<std::string> fields)
      : context_(std::move(context)),
        name_(std::move(name)),
        primary_(primary),
        unique_(unique),
        foreign_(foreign),
        fields_(std::move(fields)) {}
  std::string Name() const override { return name_; }
  bool Primary() const override { return primary_; }
  bool Unique() const override { return unique_; }
  bool Foreign() const override { return foreign_; }
  std::vector<std::string> FieldNames() const override { return fields_; }
  void SetPrimary(bool) override { ReadOnly(); }
  void SetUnique(bool) override { ReadOnly(); }
  void AppendField(std::string_view, std::int32_t) override { ReadOnly(); }

 private:
  [[noreturn]] void ReadOnly() const {
    context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only. Corvid does not maintain "
                                   "Access indexes (shaping '" + name_ + "').");
  }

  EngineContextPtr context_;
  std::string name_;
  bool primary_, unique_, foreign_;
  std::vector<std::string> fields_;
};

class MdbIndexes : public Indexes {
 public:
  MdbIndexes(EngineContextPtr context, std::string owner)
      : context_(context), list_(std::move(context), std::move(owner)) {}
  int Count() const override { return list_.Count(); }
  Index& Item(int index) override { return list_.Item(index); }
  Index& Item(std::string_view name) override { return list_.Item(name); }
  void Refresh() override {}
  void Delete(std::string_view name) override {
    context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only. Corvid does not maintain "
                                   "Access indexes (deleting '" + std::string(name) + "').");
  }
  void Append(Index& index) override {
    context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only. Corvid does not maintain "
                                   "Access indexes (appending '" + index.Name() + "').");
  }
  void Add(std::shared_ptr<MdbIndexObject> index) { list_.Add(std::move(index)); }

 private:
  EngineContextPtr context_;
  ObjectList<Index, MdbIndexObject> list_;
};

}  // namespace

LibmdbTableDef::LibmdbTableDef(std::shared_ptr<AccessFile> file, MdbCatalogEntry* entry,
                               EngineContextPtr context, ObjectDates dates)
    : file_(std::move(file)),
      entry_(entry),
      context_(std::move(context)),
      name_(entry->object_name),
      dates_(std::move(dates)) {
  attributes_ = entry->flags & dbSystemObject;
  if (entry->flags & kHiddenCatalogFlag) attributes_ |= dbHiddenObject;
}

TableRows& LibmdbTableDef::Definition() const {
  if (!definition_) definition_ = std::make_shared<TableRows>(file_, entry_, context_);
  return *definition_;
}

std::int32_t LibmdbTableDef::RecordCount() {
  TableRows& definition = Definition();
  definition.ReloadIfChanged();  // rows may have changed through a recordset
  return definition.StoredCount();
}

Collection<Field>& LibmdbTableDef::Fields() {
  if (!fields_) {
    Definition();
    fields_ =
        std::make_unique<ObjectList<Field, MdbColumnField>>(context_, "Fields of '" + name_ + "'");
    for (int i = 0; i < definition_->columnCount(); ++i)
      fields_->Add(std::make_shared<MdbColumnField>(definition_, i, nullptr));
  }
  return *fields_;
}

Indexes& LibmdbTableDef::TableIndexes() {
  if (!indexes_) {
    TableRows& definition = Definition();
    auto indexes = std::make_unique<MdbIndexes>(context_, "Indexes of '" + name_ + "'");
    ::MdbTableDef* table = definition.definition();
    if (table->indices) {
      for (unsigned i = 0; i < table->num_idxs; ++i) {
        auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
        std::vector<std::string> fields;
        for (unsigned k = 0; k < index->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
          int column = index->key_col_num[k] - 1;
          if (column < 0 || column >= definition.columnCount()) continue;
          std::string fieldName = definition.column(column).name;
          if (index->key_col_order[k] == MDB_DESC) fieldName.insert(0, "-");
          fields.push_back(std::move(fieldName));
        }
        indexes->Add(std::make_shared<MdbIndexObject>(context_, index->name, index->index_type == 1,
                                                      (index->flags & MDB_IDX_UNIQUE) != 0,
                                                      index->index_type == 2, std::move(fields)));
      }
    }
    indexes_ = std::move(indexes);
  }
  return *indexes_;
}

const Properties& LibmdbTableDef::TableProperties() const { return Definition().tableProperties(); }

Field& LibmdbTableDef::CreateField(std::string_view, int, int) {
  context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only. Corvid does not change "
                                 "table definitions (the table '" + name_ + "').");
}

Index& LibmdbTableDef::CreateIndex(std::string_view name) {
  context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only. Corvid does not maintain "
                                 "Access indexes (creating '" + std::string(name) + "' on '" + name_ + "').");
}

}  // namespace corvid::dao
