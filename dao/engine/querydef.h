#pragma once
// A DAO QueryDef (stored query) and its parameters.

#include <memory>
#include <string>
#include <string_view>

#include "dao/engine/collection.h"
#include "dao/engine/variant.h"

namespace corvid::dao {

class Recordset;

class Parameter {
 public:
  virtual ~Parameter() = default;
  virtual std::string Name() const = 0;
  virtual int Type() const = 0;
  virtual int Direction() const = 0;  // dbParamInput ...
  virtual Variant Value() const = 0;
  virtual void SetValue(const Variant& value) = 0;
};

class QueryDef {
 public:
  virtual ~QueryDef() = default;
  virtual std::string Name() const = 0;
  virtual std::string SQL() const = 0;
  // Changing a stored query writes to the database: raises 3027.
  virtual void SetSQL(std::string_view sql) = 0;
  virtual int Type() const = 0;  // dbQSelect, dbQAction, ...
  virtual std::string DateCreated() const = 0;
  virtual std::string LastUpdated() const = 0;
  virtual std::int32_t MaxRecords() const = 0;
  virtual void SetMaxRecords(std::int32_t value) = 0;
  virtual std::int32_t ODBCTimeout() const = 0;
  virtual void SetODBCTimeout(std::int32_t value) = 0;
  virtual Collection<Parameter>& Parameters() = 0;
  // Runs a select query of the shape "Select * From <table> [Where ...]
  // [Order By ...]" with its parameters' values (3061 when one was never
  // given); other queries raise 3251 naming the query.
  virtual std::unique_ptr<Recordset> OpenRecordset(int type, int options, int lockEdits) = 0;
};

}  // namespace corvid::dao
