#include "dao/sql/tokens.h"

#include <cctype>
#include <charconv>
#include <stdexcept>

#include "SrcLib/text_case.h"

namespace corvid::dao::sql {
namespace {

bool NameByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// Days from 1 January 1970 for a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Reads unsigned decimal digits at `at`; -1 when there are none.
long long Digits(std::string_view text, std::size_t& at) {
  std::size_t start = at;
  long long value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 9)
    value = value * 10 + (text[at++] - '0');
  return at == start ? -1 : value;
}

// "mm/dd/yyyy", "mm/dd/yyyy hh:nn[:ss]" or "hh:nn[:ss]" as days since
// 30 December 1899 (the time as the fraction).
double DateLiteral(std::string_view body) {
  std::size_t at = 0;
  auto skipBlanks = [&] {
    while (at < body.size() && body[at] == ' ') ++at;
  };
  auto bad = [&]() -> double { throw std::invalid_argument("invalid date"); };
  skipBlanks();
  double days = 0.0;
  bool any = false;
  std::size_t save = at;
  long long first = Digits(body, at);
  if (first >= 0 && at < body.size() && body[at] == '/') {
    ++at;
    long long day = Digits(body, at);
    if (day < 0 || at >= body.size() || body[at] != '/') bad();
    ++at;
    long long year = Digits(body, at);
    if (year < 0) bad();
    if (year < 100) year += year < 30 ? 2000 : 1900;
    if (first < 1 || first > 12 || day < 1 || day > 31) bad();
    long long serial =
        DaysFromCivil(year, static_cast<unsigned>(first), static_cast<unsigned>(day));
    // Reject dates such as 02/30: the day must survive the round trip.
    if (DaysFromCivil(year, static_cast<unsigned>(first), 1) + day - 1 != serial ||
        (first < 12 ? DaysFromCivil(year, static_cast<unsigned>(first + 1), 1)
                    : DaysFromCivil(year + 1, 1, 1)) <= serial)
      bad();
    days = static_cast<double>(serial - DaysFromCivil(1899, 12, 30));
    any = true;
    skipBlanks();
    save = at;
    first = Digits(body, at);
  }
  if (first >= 0 && at < body.size() && body[at] == ':') {
    ++at;
    long long minute = Digits(body, at);
    long long second = 0;
    if (minute < 0) bad();
    if (at < body.size() && body[at] == ':') {
      ++at;
      second = Digits(body, at);
      if (second < 0) bad();
    }
    if (first > 23 || minute > 59 || second > 59) bad();
    double fraction = static_cast<double>(first * 3600 + minute * 60 + second) / 86400.0;
    days = days < 0 ? days - fraction : days + fraction;
    any = true;
    skipBlanks();
  } else {
    at = save;
  }
  if (!any || at != body.size()) bad();
  return days;
}

}  // namespace

bool IsKeyword(const Token& token, std::string_view keyword) {
  return token.kind == TokenKind::kName && SameText(token.text, keyword);
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    Token token;
    token.offset = i;
    if (i == text.size()) {
      tokens.push_back(token);
      return tokens;
    }
    char c = text[i];
    if (c == '\'' || c == '"') {
      ++i;
      while (true) {
        if (i == text.size()) throw std::invalid_argument("missing closing quote");
        if (text[i] == c) {
          if (i + 1 < text.size() && text[i + 1] == c) {
            token.text += c;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text += text[i++];
      }
      token.kind = TokenKind::kString;
    } else if (c == '[') {
      auto close = text.find(']', i + 1);
      if (close == std::string_view::npos) throw std::invalid_argument("missing closing bracket");
      token.text = std::string(text.substr(i + 1, close - i - 1));
      if (token.text.empty() || token.text.find('[') != std::string::npos)
        throw std::invalid_argument("invalid bracketing of name");
      token.kind = TokenKind::kBracketName;
      i = close + 1;
    } else if (c == '#') {
      auto close = text.find('#', i + 1);
      if (close == std::string_view::npos) throw std::invalid_argument("missing closing #");
      token.kind = TokenKind::kDate;
      token.text = std::string(text.substr(i + 1, close - i - 1));
      token.number = DateLiteral(token.text);
      i = close + 1;
    } else if (c == '{') {
      // {guid {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}}
      std::size_t at = i + 1;
      while (at < text.size() && text[at] == ' ') ++at;
      if (text.size() - at < 4 || !SameText(text.substr(at, 4), "guid"))
        throw std::invalid_argument("invalid GUID literal");
      at += 4;
      while (at < text.size() && text[at] == ' ') ++at;
      if (at + 38 > text.size() || text[at] != '{' || text[at + 37] != '}')
        throw std::invalid_argument("invalid GUID literal");
      std::string guid(text.substr(at, 38));
      for (std::size_t k = 1; k < 37; ++k) {
        bool dash = k == 9 || k == 14 || k == 19 || k == 24;
        if (dash ? guid[k] != '-' : !std::isxdigit(static_cast<unsigned char>(guid[k])))
          throw std::invalid_argument("invalid GUID literal");
        guid[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(guid[k])));
      }
      at += 38;
      while (at < text.size() && text[at] == ' ') ++at;
      if (at == text.size() || text[at] != '}') throw std::invalid_argument("invalid GUID literal");
      token.kind = TokenKind::kGuid;
      token.text = "{guid " + guid + "}";
      i = at + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < text.size() &&
                std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      std::size_t start = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      }
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
          while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        } else {
          i = mark;
        }
      }
      if (i < text.size() && NameByte(text[i])) throw std::invalid_argument("invalid number");
      token.kind = TokenKind::kNumber;
      token.text = std::string(text.substr(start, i - start));
      auto result =
          std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.number);
      if (result.ec != std::errc()) throw std::invalid_argument("invalid number");
    } else if (NameByte(c)) {
      std::size_t start = i;
      while (i < text.size() && NameByte(text[i])) ++i;
      token.kind = TokenKind::kName;
      token.text = std::string(text.substr(start, i - start));
    } else {
      token.kind = TokenKind::kSymbol;
      if ((c == '<' || c == '>') && i + 1 < text.size() &&
          (text[i + 1] == '=' || (c == '<' && text[i + 1] == '>'))) {
        token.text = std::string(text.substr(i, 2));
        i += 2;
      } else if (std::string_view("=<>(),.*;-+").find(c) != std::string_view::npos) {
        token.text = std::string(1, c);
        ++i;
      } else {
        throw std::invalid_argument(std::string("invalid character '") + c + "'");
      }
    }
    tokens.push_back(std::move(token));
  }
}

}  // namespace corvid::dao::sql
