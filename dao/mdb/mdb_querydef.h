#pragma once
// Stored queries of the Jet engine: name and type from the catalog, the
// SQL rebuilt from MSysQueries when first asked for. A select query whose SQL
// is "Select * From <table> [Where ...] [Order By ...]" runs (its declared
// parameters taking the values set on them); anything else raises an error
// that names the query.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dao/engine/querydef.h"
#include "dao/mdb/catalog_dates.h"
#include "dao/mdb/engine_context.h"
#include "dao/mdb/object_list.h"

namespace corvid::dao {

class AccessFile;
namespace sql {
struct SelectStatement;
}

// A parameter a stored query declares (its PARAMETERS clause).
struct QueryParameterInfo {
  std::string name;
  int type = 0;  // DAO type code
};

class JetQueryDef : public QueryDef {
 public:
  JetQueryDef(std::string name, int type, EngineContextPtr context, ObjectDates dates = {},
              std::vector<QueryParameterInfo> parameters = {}, std::weak_ptr<AccessFile> file = {});

  std::string Name() const override { return name_; }
  // The SQL as Access shows it ("" when the file's rows for the query cannot
  // be read or name no kind of query this engine knows).
  std::string SQL() const override;
  void SetSQL(std::string_view sql) override;
  int Type() const override { return type_; }
  std::string DateCreated() const override { return dates_.created; }
  std::string LastUpdated() const override { return dates_.updated; }
  std::int32_t MaxRecords() const override { return maxRecords_; }
  void SetMaxRecords(std::int32_t value) override { maxRecords_ = value; }
  std::int32_t ODBCTimeout() const override { return odbcTimeout_; }
  void SetODBCTimeout(std::int32_t value) override { odbcTimeout_ = value; }
  Collection<Parameter>& Parameters() override { return parameters_; }
  std::unique_ptr<Recordset> OpenRecordset(int type, int options, int lockEdits) override;

  // How the database opens the rows of a parsed select statement.
  using SelectRunner = std::function<std::unique_ptr<Recordset>(
      sql::SelectStatement& select, int type, int options, int lockEdits)>;
  void SetSelectRunner(SelectRunner runner) { runner_ = std::move(runner); }

 private:
  std::string name_;
  int type_;
  EngineContextPtr context_;
  ObjectDates dates_;
  std::int32_t maxRecords_ = 0;
  std::int32_t odbcTimeout_ = 60;
  class StoredParameter;
  ObjectList<Parameter> parameters_;
  std::weak_ptr<AccessFile> file_;
  mutable std::optional<std::string> sql_;
  SelectRunner runner_;
};

}  // namespace corvid::dao
