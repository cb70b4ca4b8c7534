#include "dao/mdb/mdb_querydef.h"

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"
#include "dao/mdb/query_sql.h"

namespace corvid::dao {

// A declared parameter: name and type from the file; the value is the
// caller's until the query runs.
class LibmdbQueryDef::StoredParameter : public Parameter {
 public:
  explicit StoredParameter(QueryParameterInfo info) : info_(std::move(info)) {}
  std::string Name() const override { return info_.name; }
  int Type() const override { return info_.type; }
  int Direction() const override { return dbParamInput; }
  Variant Value() const override { return value_; }
  void SetValue(const Variant& value) override { value_ = value; }

 private:
  QueryParameterInfo info_;
  Variant value_;
};

LibmdbQueryDef::LibmdbQueryDef(std::string name, int type, EngineContextPtr context,
                               ObjectDates dates, std::vector<QueryParameterInfo> parameters,
                               std::weak_ptr<AccessFile> file)
    : name_(std::move(name)),
      type_(type),
      context_(context),
      dates_(std::move(dates)),
      parameters_(std::move(context), "Parameters of '" + name_ + "'"),
      file_(std::move(file)) {
  for (auto& parameter : parameters)
    parameters_.Add(std::make_shared<StoredParameter>(std::move(parameter)));
}

std::string LibmdbQueryDef::SQL() const {
  if (!sql_) {
    auto file = file_.lock();
    if (!file) return {};  // the database was closed
    auto rows = ReadStoredQueryRows(file, context_);
    auto own = rows.find(dates_.id);
    sql_ = own == rows.end() ? std::string() : StoredQuerySql(std::move(own->second));
  }
  return *sql_;
}

void LibmdbQueryDef::SetSQL(std::string_view) {
  context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}

std::unique_ptr<Recordset> LibmdbQueryDef::OpenRecordset(int, int, int) {
  context_->Raise(kOperationNotSupported,
                  "Operation is not supported for this type of object: the stored query '" + name_ +
                      "' cannot be run, this engine has no query engine yet.");
}

}  // namespace corvid::dao
