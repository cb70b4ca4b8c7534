#include "dao/mdb/mdb_database.h"

#include <cctype>
#include <map>
#include <optional>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_values.h"
#include "dao/sql/select_statement.h"

namespace corvid::dao {
namespace {

class CatalogName : public NamedObject {
 public:
  explicit CatalogName(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }

 private:
  std::string name_;
};

// "[Order Details]" → "Order Details".
std::string_view Unbracketed(std::string_view source) {
  if (source.size() >= 2 && source.front() == '[' && source.back() == ']')
    return source.substr(1, source.size() - 2);
  return source;
}

bool LooksLikeSql(std::string_view source) {
  std::size_t i = 0;
  while (i < source.size() &&
         (std::isspace(static_cast<unsigned char>(source[i])) || source[i] == '('))
    ++i;
  std::string word;
  while (i < source.size() && std::isalpha(static_cast<unsigned char>(source[i])))
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(source[i++])));
  if (i < source.size() && (std::isalnum(static_cast<unsigned char>(source[i])) ||
                            source[i] == '_' || static_cast<unsigned char>(source[i]) >= 0x80))
    return false;  // a longer name such as "Table2"
  return word == "select" || word == "transform" || word == "parameters" || word == "table";
}

constexpr int kQueryTypeMask = 0xF0;
constexpr int kObjectTypeMask = 0x7F;
constexpr int kTableObject = 1;
constexpr int kContainerObject = 3;
constexpr int kQueryObject = 5;
constexpr std::int64_t kParameterAttribute = 2;

// The parameters each stored query declares: MSysQueries rows of attribute
// 2 (Name1 the name, Flag the type), by the query's MSysObjects id.
std::map<std::int64_t, std::vector<QueryParameterInfo>> ReadQueryParameters(
    const std::shared_ptr<AccessFile>& file, const EngineContextPtr& context) {
  std::map<std::int64_t, std::vector<QueryParameterInfo>> parameters;
  const jet::reader::CatalogEntry* queries = file->FindTable("MSysQueries");
  if (!queries) return parameters;
  try {
    TableRows rows(file, *queries, context);
    int object = -1, attribute = -1, name = -1, flag = -1;
    for (int i = 0; i < rows.columnCount(); ++i) {
      std::string column = rows.column(i).name;
      if (column == "ObjectId")
        object = i;
      else if (column == "Attribute")
        attribute = i;
      else if (column == "Name1")
        name = i;
      else if (column == "Flag")
        flag = i;
    }
    if (object < 0 || attribute < 0 || name < 0 || flag < 0) return parameters;
    for (std::int32_t row = 0; rows.Has(row); ++row) {
      auto value = [&](int column) {
        const auto& fields = rows.Crack(row);
        return DecodeValue(*file, rows.column(column), fields[static_cast<std::size_t>(column)]);
      };
      Variant kind = value(attribute);
      if (!std::holds_alternative<std::int64_t>(kind) ||
          std::get<std::int64_t>(kind) != kParameterAttribute)
        continue;
      Variant owner = value(object), type = value(flag);
      if (!std::holds_alternative<std::int64_t>(owner)) continue;
      parameters[std::get<std::int64_t>(owner)].push_back(QueryParameterInfo{
          VariantToText(value(name)), std::holds_alternative<std::int64_t>(type)
                                          ? static_cast<int>(std::get<std::int64_t>(type))
                                          : 0});
    }
  } catch (const std::exception&) {
    // parameters are declarations only: an unreadable table gives none
  }
  return parameters;
}

}  // namespace

JetDatabase::JetDatabase(std::shared_ptr<AccessFile> file, std::string connect,
                         EngineContextPtr context)
    : file_(std::move(file)),
      context_(std::move(context)),
      name_(file_->path()),
      version_(file_->header().versionText),
      connect_(std::move(connect)),
      tables_(context_, "TableDefs"),
      queries_(context_, "QueryDefs"),
      containers_(context_, "Containers"),
      relations_(context_, "Relations"),
      recordsets_(std::make_shared<RecordsetRegistry>(context_)) {
  auto dates = ReadCatalogDates(file_, context_);
  auto parameters = ReadQueryParameters(file_, context_);
  auto parametersOf = [&](const std::string& name) {
    auto found = dates.find(name);
    if (found == dates.end()) return std::vector<QueryParameterInfo>{};
    auto declared = parameters.find(found->second.id);
    return declared == parameters.end() ? std::vector<QueryParameterInfo>{} : declared->second;
  };
  auto datesOf = [&](const std::string& name) {
    auto found = dates.find(name);
    return found == dates.end() ? ObjectDates{} : found->second;
  };
  for (const jet::reader::CatalogEntry& entry : file_->catalog()) {
    // The low seven bits of the type; forms, reports and the like set the top bit.
    switch (entry.type & kObjectTypeMask) {
      case kTableObject:
        tables_.Add(std::make_shared<JetTableDef>(file_, entry, context_, datesOf(entry.name)));
        break;
      case kQueryObject: {
        auto query = std::make_shared<JetQueryDef>(
            entry.name, static_cast<int>(entry.flags & kQueryTypeMask), context_,
            datesOf(entry.name), parametersOf(entry.name), file_);
        // The query lives in this database's collection, so `this` outlives it.
        query->SetSelectRunner(
            [this](sql::SelectStatement& select, int type, int options, int lockEdits) {
              return OpenSelect(select, type, options, lockEdits);
            });
        queries_.Add(std::move(query));
        break;
      }
      case kContainerObject:  // the catalog's containers (Forms, Reports, ...)
        containers_.Add(std::make_shared<CatalogName>(entry.name));
        break;
      default:
        break;
    }
  }
  properties_.Set("Name", name_, dbText);
  properties_.Set("Connect", connect_, dbText);
  properties_.Set("Version", version_, dbText);
  properties_.Set("CollatingOrder", static_cast<std::int64_t>(CollatingOrder()), dbLong);
  properties_.Set("Updatable", false, dbBoolean);
  properties_.Set("QueryTimeout", static_cast<std::int64_t>(queryTimeout_), dbInteger);
}

JetDatabase::~JetDatabase() {
  if (IsOpen()) Close();
}

void JetDatabase::CheckOpen() const {
  if (!file_)
    context_->Raise(kObjectInvalid,
                    "Object invalid or no longer set: the database '" + name_ + "' is closed.");
}

std::int32_t JetDatabase::CollatingOrder() const {
  CheckOpen();
  // The language id of the collating order: the low word of the header's sort order.
  auto order = static_cast<std::int32_t>(file_->reader().Header().sortOrder & 0xFFFF);
  return order == 0 ? 1024 : order;
}

std::unique_ptr<Recordset> JetDatabase::OpenRecordset(std::string_view source, int type,
                                                      int options, int lockEdits) {
  CheckOpen();
  std::string_view name = Unbracketed(source);
  // A table or query of that name wins over reading the text as SQL.
  if (tables_.Find(name))
    return OpenTable(name, nullptr, CheckedType(type == 0 ? dbOpenTable : type, options), options,
                     lockEdits);
  if (auto* query = queries_.Find(name)) return query->OpenRecordset(type, options, lockEdits);
  if (LooksLikeSql(source)) {
    std::optional<sql::SelectStatement> select;
    try {
      select = sql::ParseSelect(source);
    } catch (const EngineError& error) {
      context_->Raise(error.Number(), error.Description());
    }
    return OpenSelect(*select, type, options, lockEdits);
  }
  context_->Raise(kObjectNotFound, "The database engine cannot find the input table or query '" +
                                       std::string(name) +
                                       "'. Make sure it exists and that its name is spelled "
                                       "correctly.");
}

int JetDatabase::CheckedType(int type, int options) const {
  if (options & dbForwardOnly) type = dbOpenForwardOnly;
  if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot &&
      type != dbOpenForwardOnly) {
    if (type == dbOpenDynamic)
      context_->Raise(kOperationNotSupported,
                      "Operation is not supported for this type of object: dynamic recordsets "
                      "need an ODBC connection.");
    context_->Raise(kInvalidArgument, "Invalid argument.");
  }
  return type;
}

std::unique_ptr<Recordset> JetDatabase::OpenSelect(sql::SelectStatement& select, int type,
                                                   int options, int lockEdits) {
  CheckOpen();
  // SQL gives a dynaset by default and can't give a table-type recordset.
  if (type == dbOpenTable) context_->Raise(kInvalidOperation, "Invalid operation.");
  type = CheckedType(type == 0 ? dbOpenDynaset : type, options);
  if (!tables_.Find(select.table) && queries_.Find(select.table))
    context_->Raise(kOperationNotSupported,
                    "Operation is not supported for this type of object: selecting from the "
                    "stored query '" +
                        select.table +
                        "' needs a query engine this engine does "
                        "not have; select from its table.");
  return OpenTable(select.table, &select, type, options, lockEdits);
}

std::unique_ptr<Recordset> JetDatabase::OpenTable(std::string_view name,
                                                  sql::SelectStatement* select, int type,
                                                  int options, int lockEdits) {
  auto* table = static_cast<JetTableDef*>(tables_.Find(name));
  if (!table)
    context_->Raise(kObjectNotFound, "The database engine cannot find the input table or query '" +
                                         std::string(name) +
                                         "'. Make sure it exists and that its name is spelled "
                                         "correctly.");
  auto rows = std::make_shared<TableRows>(file_, table->entry(), context_);
  auto recordset = std::make_unique<MdbRecordset>(std::move(rows), context_, type, recordsets_);
  recordset->SetLockEdits(lockEdits != 0);
  if (type == dbOpenTable) recordset->SetDates(table->DateCreated(), table->LastUpdated());
  if (select && (select->where || select->orderBy))
    recordset->Restrict(select->where ? &*select->where : nullptr,
                        select->orderBy ? &*select->orderBy : nullptr);
  if (options & (dbReadOnly | dbAppendOnly)) recordset->SetOpenOptions(options);
  return recordset;
}

QueryDef& JetDatabase::CreateQueryDef(std::string_view name, std::string_view) {
  CheckOpen();
  context_->Raise(kCannotUpdate,
                  "Cannot update. Database or object is read-only. Corvid does not change "
                  "query definitions (creating '" +
                      std::string(name) + "').");
}

Collection<TableDef>& JetDatabase::TableDefs() {
  CheckOpen();
  return tables_;
}
Collection<QueryDef>& JetDatabase::QueryDefs() {
  CheckOpen();
  return queries_;
}
Collection<NamedObject>& JetDatabase::Containers() {
  CheckOpen();
  return containers_;
}
Collection<NamedObject>& JetDatabase::Relations() {
  CheckOpen();
  if (!relationsRead_) {
    relationsRead_ = true;
    // One row per related column pair in MSysRelationships; a relation is
    // named once, in the order the rows come.
    if (tables_.Find("MSysRelationships")) {
      try {
        auto rows = OpenRecordset("MSysRelationships", dbOpenSnapshot);
        Field& name = rows->Fields().Item("szRelationship");
        for (; !rows->Eof(); rows->MoveNext()) {
          std::string text = VariantToText(name.Value());
          if (!text.empty() && !relations_.Find(text))
            relations_.Add(std::make_shared<CatalogName>(text));
        }
      } catch (const EngineError&) {
        // an unreadable relationship table leaves the collection as far as read
      }
    }
  }
  return relations_;
}
Collection<Recordset>& JetDatabase::Recordsets() {
  CheckOpen();
  return *recordsets_;
}
Properties& JetDatabase::DatabaseProperties() {
  CheckOpen();
  return properties_;
}

std::vector<std::string> JetDatabase::TakeDamageNotes() {
  if (!file_) return {};
  return file_->TakeDamageNotes();
}

void JetDatabase::Close() {
  CheckOpen();
  recordsets_->CloseAll();
  tables_.Clear();
  queries_.Clear();
  containers_.Clear();
  relations_.Clear();
  file_.reset();  // the last holder closes the file and releases the lock
}

}  // namespace corvid::dao
