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
    context_->Raise(kCannotUpdate,
                    "Cannot update. Database or object is read-only. Corvid does not maintain "
                    "Access indexes (shaping '" +
                        name_ + "').");
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
    context_->Raise(kCannotUpdate,
                    "Cannot update. Database or object is read-only. Corvid does not maintain "
                    "Access indexes (deleting '" +
                        std::string(name) + "').");
  }
  void Append(Index& index) override {
    context_->Raise(kCannotUpdate,
                    "Cannot update. Database or object is read-only. Corvid does not maintain "
                    "Access indexes (appending '" +
                        index.Name() + "').");
  }
  void Add(std::shared_ptr<MdbIndexObject> index) { list_.Add(std::move(index)); }

 private:
  EngineContextPtr context_;
  ObjectList<Index, MdbIndexObject> list_;
};

}  // namespace

JetTableDef::JetTableDef(std::shared_ptr<AccessFile> file, const jet::reader::CatalogEntry& entry,
                         EngineContextPtr context, ObjectDates dates)
    : file_(std::move(file)),
      entry_(entry),
      context_(std::move(context)),
      name_(entry.name),
      dates_(std::move(dates)) {
  attributes_ = static_cast<std::int32_t>(entry.flags) & dbSystemObject;
  if (entry.flags & kHiddenCatalogFlag) attributes_ |= dbHiddenObject;
}

TableRows& JetTableDef::Definition() const {
  if (!definition_) definition_ = std::make_shared<TableRows>(file_, entry_, context_);
  return *definition_;
}

std::int32_t JetTableDef::RecordCount() {
  TableRows& definition = Definition();
  definition.ReloadIfChanged();  // rows may have changed through a recordset
  return definition.StoredCount();
}

Collection<Field>& JetTableDef::Fields() {
  if (!fields_) {
    Definition();
    fields_ =
        std::make_unique<ObjectList<Field, MdbColumnField>>(context_, "Fields of '" + name_ + "'");
    for (int i = 0; i < definition_->columnCount(); ++i)
      fields_->Add(std::make_shared<MdbColumnField>(definition_, i, nullptr));
  }
  return *fields_;
}

Indexes& JetTableDef::TableIndexes() {
  if (!indexes_) {
    TableRows& definition = Definition();
    auto indexes = std::make_unique<MdbIndexes>(context_, "Indexes of '" + name_ + "'");
    for (const jet::reader::IndexDefinition& index : definition.definition().indexes) {
      std::vector<std::string> fields;
      for (const jet::reader::IndexColumn& key : index.columns) {
        const int column = definition.ColumnIndexOfNumber(key.columnNumber);
        if (column < 0) continue;
        std::string fieldName = definition.column(column).name;
        if (!key.ascending) fieldName.insert(0, "-");
        fields.push_back(std::move(fieldName));
      }
      indexes->Add(std::make_shared<MdbIndexObject>(context_, index.name, index.kind == 1,
                                                    (index.flags & 0x01) != 0, index.kind == 2,
                                                    std::move(fields)));
    }
    indexes_ = std::move(indexes);
  }
  return *indexes_;
}

const Properties& JetTableDef::TableProperties() const { return Definition().tableProperties(); }

Field& JetTableDef::CreateField(std::string_view, int, int) {
  context_->Raise(kCannotUpdate,
                  "Cannot update. Database or object is read-only. Corvid does not change "
                  "table definitions (the table '" +
                      name_ + "').");
}

Index& JetTableDef::CreateIndex(std::string_view name) {
  context_->Raise(kCannotUpdate,
                  "Cannot update. Database or object is read-only. Corvid does not maintain "
                  "Access indexes (creating '" +
                      std::string(name) + "' on '" + name_ + "').");
}

}  // namespace corvid::dao
