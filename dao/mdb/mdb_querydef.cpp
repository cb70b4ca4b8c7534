#include "dao/mdb/mdb_querydef.h"

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"
#include "dao/engine/engine_error.h"
#include "dao/mdb/query_sql.h"
#include "dao/sql/condition.h"
#include "dao/sql/select_statement.h"
#include "dao/sql/tokens.h"

namespace corvid::dao {

// A declared parameter: name and type from the file; the value is the
// caller's until the query runs.
class JetQueryDef::StoredParameter : public Parameter {
 public:
  explicit StoredParameter(QueryParameterInfo info) : info_(std::move(info)) {}
  std::string Name() const override { return info_.name; }
  int Type() const override { return info_.type; }
  int Direction() const override { return dbParamInput; }
  Variant Value() const override { return value_; }
  void SetValue(const Variant& value) override {
    value_ = value;
    given_ = true;
  }
  bool Given() const { return given_; }

 private:
  QueryParameterInfo info_;
  Variant value_;
  bool given_ = false;
};

namespace {

constexpr int kTooFewParameters = 3061;

// The statement after a leading "PARAMETERS ...;" declaration (the values
// come from the Parameters collection, not from the text).
std::string_view WithoutDeclarations(std::string_view text) {
  std::vector<sql::Token> tokens;
  try {
    tokens = sql::Tokenize(text);
  } catch (const std::invalid_argument&) {
    return text;  // the parser reports it with the query's text
  }
  if (tokens.empty() || !sql::IsKeyword(tokens[0], "parameters")) return text;
  for (const sql::Token& token : tokens)
    if (token.kind == sql::TokenKind::kSymbol && token.text == ";")
      return text.substr(token.offset + 1);
  return text;
}

// A parameter's value as its declared type: the table component hands values
// over as text ("1190", "12/24/2026"), and Access converts them before the
// query compares them with the fields.
Variant AsDeclaredType(const Variant& value, int type, const std::string& name) {
  const auto* text = std::get_if<std::string>(&value);
  if (!text) return value;
  auto fail = [&]() -> Variant {
    throw EngineError(3421, "Data type conversion error: the value '" + *text +
                                "' of the parameter '" + name + "'.");
  };
  switch (type) {
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbBigInt:
    case dbSingle:
    case dbDouble:
    case dbCurrency:
    case dbDecimal:
    case dbBoolean: {
      std::vector<sql::Token> tokens;
      try {
        tokens = sql::Tokenize(*text);
      } catch (const std::invalid_argument&) {
        return fail();
      }
      bool negative =
          tokens.size() == 3 && tokens[0].kind == sql::TokenKind::kSymbol && tokens[0].text == "-";
      const sql::Token& t = tokens[negative ? 1 : 0];
      if (tokens.size() == 2 + (negative ? 1u : 0u)) {
        if (t.kind == sql::TokenKind::kNumber) {
          double number = negative ? -t.number : t.number;
          if (type == dbBoolean) return number != 0;
          if (type == dbSingle || type == dbDouble || type == dbDecimal) return number;
          if (type == dbCurrency)
            return Currency{
                static_cast<std::int64_t>(number * 10000.0 + (number < 0 ? -0.5 : 0.5))};
          if (number != static_cast<double>(static_cast<std::int64_t>(number))) return number;
          return static_cast<std::int64_t>(number);
        }
        if (type == dbBoolean && !negative && sql::IsKeyword(t, "true")) return true;
        if (type == dbBoolean && !negative && sql::IsKeyword(t, "false")) return false;
      }
      return fail();
    }
    case dbDate: {
      std::vector<sql::Token> tokens;
      try {
        tokens = sql::Tokenize("#" + *text + "#");
      } catch (const std::invalid_argument&) {
        return fail();
      }
      if (tokens.size() != 2 || tokens[0].kind != sql::TokenKind::kDate) return fail();
      return Date{tokens[0].number};
    }
    default:
      return value;
  }
}

}  // namespace

JetQueryDef::JetQueryDef(std::string name, int type, EngineContextPtr context, ObjectDates dates,
                         std::vector<QueryParameterInfo> parameters, std::weak_ptr<AccessFile> file)
    : name_(std::move(name)),
      type_(type),
      context_(context),
      dates_(std::move(dates)),
      parameters_(std::move(context), "Parameters of '" + name_ + "'"),
      file_(std::move(file)) {
  for (auto& parameter : parameters)
    parameters_.Add(std::make_shared<StoredParameter>(std::move(parameter)));
}

std::string JetQueryDef::SQL() const {
  if (!sql_) {
    auto file = file_.lock();
    if (!file) return {};  // the database was closed
    auto rows = ReadStoredQueryRows(file, context_);
    auto own = rows.find(dates_.id);
    sql_ = own == rows.end() ? std::string() : StoredQuerySql(std::move(own->second));
  }
  return *sql_;
}

void JetQueryDef::SetSQL(std::string_view) {
  context_->Raise(kCannotUpdate,
                  "Cannot update. Database or object is read-only. Corvid does not change "
                  "query definitions (the query '" +
                      name_ + "').");
}

std::unique_ptr<Recordset> JetQueryDef::OpenRecordset(int type, int options, int lockEdits) {
  if (!runner_ || file_.expired())
    context_->Raise(kObjectInvalid, "Object invalid or no longer set: the database of the query '" +
                                        name_ + "' is closed.");
  if (type_ != dbQSelect)
    context_->Raise(kOperationNotSupported,
                    "Operation is not supported for this type of object: the stored query '" +
                        name_ + "' is not a select query; this engine runs only select queries.");
  const std::string text = SQL();
  if (text.empty())
    context_->Raise(kOperationNotSupported,
                    "Operation is not supported for this type of object: the SQL of the stored "
                    "query '" +
                        name_ + "' cannot be read from the file.");
  std::optional<sql::SelectStatement> select;
  try {
    select = sql::ParseSelect(WithoutDeclarations(text));
    std::vector<sql::Condition::ParameterValue> values;
    int missing = 0;
    for (int i = 0; i < parameters_.Count(); ++i) {
      auto& parameter = static_cast<StoredParameter&>(parameters_.Item(i));
      if (!parameter.Given()) ++missing;
      values.emplace_back(parameter.Name(),
                          AsDeclaredType(parameter.Value(), parameter.Type(), parameter.Name()));
    }
    if (missing > 0)
      throw EngineError(kTooFewParameters,
                        "Too few parameters. Expected " + std::to_string(missing) + ".");
    if (select->where) select->where->SetParameters(values);
  } catch (const EngineError& error) {
    context_->Raise(error.Number(), error.Description() + " (stored query '" + name_ + "')");
  }
  return runner_(*select, type, options, lockEdits);
}

}  // namespace corvid::dao
