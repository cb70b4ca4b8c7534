#include "dao/sql/select_statement.h"

#include <stdexcept>

#include "SrcLib/text_case.h"
#include "dao/engine/engine_error.h"
#include "dao/sql/sql_errors.h"

namespace corvid::dao::sql {
namespace {

constexpr int kNotSupported = 3251;

bool IsSymbol(const Token& t, std::string_view s) {
  return t.kind == TokenKind::kSymbol && t.text == s;
}

}  // namespace

SelectStatement ParseSelect(std::string_view sql) {
  const std::string quoted = "'" + std::string(sql) + "'";
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(sql);
  } catch (const std::invalid_argument& e) {
    throw EngineError(kSyntaxErrorInExpression, "Syntax error (" + std::string(e.what()) +
                                                    ") in query expression " + quoted + ".");
  }
  const std::size_t end = tokens.size() - 1;  // the kEnd token
  std::size_t i = 0;
  if (!IsKeyword(tokens[0], "select"))
    throw EngineError(kInvalidSqlStatement,
                      "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                      "'SELECT', or 'UPDATE': " +
                          quoted + ".");
  ++i;
  // "*" or "<table>.*" (as Access writes stored queries), checked against
  // the FROM table below.
  std::string starOf;
  if ((tokens[i].kind == TokenKind::kName || tokens[i].kind == TokenKind::kBracketName) &&
      i + 2 < end && IsSymbol(tokens[i + 1], ".") && IsSymbol(tokens[i + 2], "*")) {
    starOf = tokens[i].text;
    i += 2;
  }
  if (!IsSymbol(tokens[i], "*") || !IsKeyword(tokens[i + 1], "from")) {
    bool hasFrom = false;
    for (const Token& t : tokens) hasFrom = hasFrom || IsKeyword(t, "from");
    if (!hasFrom)
      throw EngineError(kSyntaxErrorInFrom, "Syntax error in FROM clause: " + quoted + ".");
    throw EngineError(kNotSupported,
                      "Operation is not supported for this type of object: this engine runs "
                      "only 'Select * From <table>' with Where and Order By, not " +
                          quoted + ".");
  }
  i += 2;
  SelectStatement statement;
  const Token& name = tokens[i];
  bool reserved = IsKeyword(name, "where") || IsKeyword(name, "order") ||
                  IsKeyword(name, "select") || IsKeyword(name, "from");
  if ((name.kind != TokenKind::kName && name.kind != TokenKind::kBracketName) ||
      (name.kind == TokenKind::kName && reserved))
    throw EngineError(kSyntaxErrorInFrom, "Syntax error in FROM clause: " + quoted + ".");
  statement.table = name.text;
  if (!starOf.empty() && !SameText(starOf, statement.table))
    throw EngineError(kNotSupported,
                      "Operation is not supported for this type of object: this engine runs "
                      "only 'Select * From <table>' with Where and Order By, not " +
                          quoted + ".");
  ++i;
  if (i < end && !IsKeyword(tokens[i], "where") && !IsKeyword(tokens[i], "order") &&
      !IsSymbol(tokens[i], ";")) {
    if (IsSymbol(tokens[i], ",") || IsKeyword(tokens[i], "as") || IsKeyword(tokens[i], "inner") ||
        IsKeyword(tokens[i], "left") || IsKeyword(tokens[i], "right") ||
        IsKeyword(tokens[i], "join") || IsKeyword(tokens[i], "group") ||
        IsKeyword(tokens[i], "having") || tokens[i].kind == TokenKind::kName)
      throw EngineError(kNotSupported,
                        "Operation is not supported for this type of object: this engine runs "
                        "only 'Select * From <table>' with Where and Order By, not " +
                            quoted + ".");
    throw EngineError(kSyntaxErrorInFrom, "Syntax error in FROM clause: " + quoted + ".");
  }
  // The statement ends at ";" (only blanks may follow) or at the end.
  std::size_t stop = end;
  for (std::size_t k = i; k < end; ++k)
    if (IsSymbol(tokens[k], ";")) {
      stop = k;
      break;
    }
  if (stop + 1 < end)
    throw EngineError(kCharactersAfterEnd,
                      "Characters found after end of SQL statement: " + quoted + ".");
  std::size_t orderAt = stop;
  for (std::size_t k = i; k + 1 < stop; ++k)
    if (IsKeyword(tokens[k], "order") && IsKeyword(tokens[k + 1], "by")) {
      orderAt = k;
      break;
    }
  if (i < orderAt) {
    if (!IsKeyword(tokens[i], "where"))
      throw EngineError(kSyntaxErrorInFrom, "Syntax error in FROM clause: " + quoted + ".");
    std::size_t from = i + 1;
    std::size_t startChar = tokens[from].offset;
    std::size_t endChar = orderAt < end ? tokens[orderAt].offset : sql.size();
    if (from >= orderAt)
      throw EngineError(kSyntaxErrorInExpression,
                        "Syntax error (missing expression) in query expression " + quoted + ".");
    std::string_view whereText = sql.substr(startChar, endChar - startChar);
    while (!whereText.empty() && (whereText.back() == ' ' || whereText.back() == '\t' ||
                                  whereText.back() == '\r' || whereText.back() == '\n'))
      whereText.remove_suffix(1);
    statement.where.emplace(tokens, from, orderAt, whereText);
  }
  if (orderAt < stop) {
    std::size_t startChar = tokens[orderAt].offset;
    std::size_t endChar = stop < end ? tokens[stop].offset : sql.size();
    statement.orderBy.emplace(tokens, orderAt + 2, stop,
                              sql.substr(startChar, endChar - startChar));
  }
  return statement;
}

}  // namespace corvid::dao::sql
