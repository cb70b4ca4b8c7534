#pragma once
// The engine's error numbers for condition and SQL texts it cannot read or
// evaluate. Each error's description names the text.

namespace corvid::dao::sql {

enum SqlError : int {
  kSyntaxErrorInExpression = 3075,  // "Syntax error (...) in query expression '<text>'."
  kSyntaxErrorInFrom = 3131,        // "Syntax error in FROM clause."
  kSyntaxErrorInOrderBy = 3138,     // "Syntax error in ORDER BY clause."
  kInvalidSqlStatement = 3129,      // not a SELECT
  kCharactersAfterEnd = 3142,       // "Characters found after end of SQL statement."
  kUnknownName = 3070,              // a name that is no field of the rows
  kTypeMismatch = 3464,             // "Data type mismatch in criteria expression."
};

}  // namespace corvid::dao::sql
