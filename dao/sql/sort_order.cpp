#include "dao/sql/sort_order.h"

#include <stdexcept>

#include "SrcLib/text_case.h"
#include "dao/engine/engine_error.h"
#include "dao/sql/numeric_value.h"
#include "dao/sql/sql_errors.h"

namespace corvid::dao::sql {
namespace {

[[noreturn]] void OrderByError(std::string_view text) {
  throw EngineError(kSyntaxErrorInOrderBy,
                    "Syntax error in ORDER BY clause: '" + std::string(text) + "'.");
}

bool IsName(const Token& t) {
  if (t.kind == TokenKind::kBracketName) return true;
  if (t.kind != TokenKind::kName) return false;
  for (const char* word : {"asc", "desc", "and", "or", "not", "null", "order", "by"})
    if (IsKeyword(t, word)) return false;
  return true;
}

int Rank(const Variant& v) {
  if (IsNull(v)) return 0;
  if (std::holds_alternative<std::string>(v)) return 2;
  if (std::holds_alternative<Bytes>(v)) return 3;
  return 1;
}

}  // namespace

SortOrder::SortOrder(std::string_view text) : text_(text) {
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(text);
  } catch (const std::invalid_argument&) {
    OrderByError(text);
  }
  Parse(tokens, 0, tokens.size() - 1);
}

SortOrder::SortOrder(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                     std::string_view text)
    : text_(text) {
  Parse(tokens, begin, end);
}

void SortOrder::Parse(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
  std::size_t i = begin;
  while (true) {
    if (i >= end || !IsName(tokens[i])) OrderByError(text_);
    SortKey key;
    key.field = tokens[i++].text;
    while (i + 1 < end && tokens[i].kind == TokenKind::kSymbol && tokens[i].text == "." &&
           IsName(tokens[i + 1])) {
      key.field = tokens[i + 1].text;
      i += 2;
    }
    if (i < end && IsKeyword(tokens[i], "desc")) {
      key.descending = true;
      ++i;
    } else if (i < end && IsKeyword(tokens[i], "asc")) {
      ++i;
    }
    keys_.push_back(std::move(key));
    if (i == end) return;
    if (tokens[i].kind != TokenKind::kSymbol || tokens[i].text != ",") OrderByError(text_);
    ++i;
  }
}

void SortOrder::Bind(const std::vector<std::string>& columns) {
  for (SortKey& key : keys_) {
    key.column = -1;
    for (std::size_t i = 0; i < columns.size() && key.column < 0; ++i)
      if (SameText(columns[i], key.field)) key.column = static_cast<int>(i);
    if (key.column < 0)
      throw EngineError(kUnknownName, "The database engine does not recognize '" + key.field +
                                          "' as a valid field name or expression.");
  }
}

int CompareForSort(const Variant& a, const Variant& b) {
  int ra = Rank(a), rb = Rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 0:
      return 0;
    case 1: {
      double x = NumberOf(a), y = NumberOf(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case 2: {
      int c = CompareText(std::get<std::string>(a), std::get<std::string>(b));
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    default: {
      const Bytes& x = std::get<Bytes>(a);
      const Bytes& y = std::get<Bytes>(b);
      return x < y ? -1 : y < x ? 1 : 0;
    }
  }
}

}  // namespace corvid::dao::sql
