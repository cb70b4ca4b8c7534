#pragma once
// The words of condition and SQL texts: names (plain or in square brackets),
// string literals, numbers, #date# literals, {guid {...}} literals and
// operators. Keywords are plain names; the parser tells them apart.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::dao::sql {

enum class TokenKind { kName, kBracketName, kString, kNumber, kDate, kGuid, kSymbol, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;     // the name, the string's value, the symbol, the number's digits
  double number = 0.0;  // kNumber, and kDate as days since 30 December 1899
  std::size_t offset = 0;
};

// Splits `text`; throws std::invalid_argument with the reason (an unclosed
// string, bracket or date, a character that starts no word).
std::vector<Token> Tokenize(std::string_view text);

// True for an unbracketed name equal to `keyword` in any letter case.
bool IsKeyword(const Token& token, std::string_view keyword);

}  // namespace corvid::dao::sql
