#include "dao/values/sql_params.h"

#include <algorithm>
#include <cstdio>

#include "SrcLib/text_case.h"
#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field.h"
#include "dao/dataset/user_locale.h"

namespace corvid {

bool IsIdentChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == '_' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
         u >= 0x80;
}

std::vector<std::string> ParseParamNames(std::string_view sql) {
  std::vector<std::string> names;
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if (c != ':') continue;
    if (i + 1 < sql.size() && sql[i + 1] == ':') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < sql.size() && IsIdentChar(sql[end])) ++end;
    if (end == i + 1) continue;
    std::string name(sql.substr(i + 1, end - i - 1));
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return SameText(n, name); }))
      names.push_back(std::move(name));
    i = end - 1;
  }
  return names;
}

void RebuildParams(TParams& params, std::string_view sql) {
  TParams rebuilt;
  for (auto& name : ParseParamNames(sql)) {
    TParam param;
    param.name = name;
    for (const TParam& old : params)
      if (SameText(old.name, name)) param = old;
    rebuilt.push_back(std::move(param));
  }
  params = std::move(rebuilt);
}

namespace {

std::string TwoDigits(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02u", v % 100);
  return b;
}

std::string DateLiteral(const CivilDate& d) {
  char b[16];
  std::snprintf(b, sizeof b, "%02u/%02u/%04d", d.month, d.day, d.year);
  return b;
}

std::string TimeLiteral(std::int32_t ms) {
  const int s = ms / 1000;
  return TwoDigits(static_cast<unsigned>(s / 3600)) + ":" +
         TwoDigits(static_cast<unsigned>(s / 60 % 60)) + ":" +
         TwoDigits(static_cast<unsigned>(s % 60));
}

}  // namespace

std::string ParamLiteral(const TParam& param) {
  if (!param.value) return " IS NULL";
  const std::string& text = *param.value;
  using T = TFieldType;
  switch (param.dataType) {
    case T::ftString:
    case T::ftFixedChar:
    case T::ftWideString:
    case T::ftMemo:
    case T::ftBlob:
    case T::ftFmtMemo:
    case T::ftGraphic: {
      std::string quoted = "\"";
      for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
      }
      return quoted + "\"";
    }
    case T::ftFloat:
    case T::ftCurrency:
    case T::ftBCD:
    case T::ftFMTBcd: {
      const std::string separator = UserDecimalSeparator();
      std::string plain;
      for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, separator.size(), separator) == 0) {
          plain += '.';
          i += separator.size();
        } else if (text[i] == ',' || text[i] == ' ' || text[i] == '\'') {
          ++i;  // grouping
        } else {
          plain += text[i++];
        }
      }
      return plain;
    }
    case T::ftDate:
    case T::ftTime:
    case T::ftDateTime: {
      const auto dt = ParseDateText(text);
      if (!dt) return text;
      if (param.dataType == T::ftDate) return "#" + DateLiteral(CivilFromDayNumber(dt->day)) + "#";
      if (param.dataType == T::ftTime) return "#" + TimeLiteral(dt->milliseconds) + "#";
      return "#" + DateLiteral(CivilFromDayNumber(dt->day)) + " " + TimeLiteral(dt->milliseconds) +
             "#";
    }
    case T::ftBytes:
    case T::ftGuid:
      if (param.isGuid || param.dataType == T::ftGuid) {
        std::string upper;
        for (char c : text) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        if (upper.front() != '{') upper = "{" + upper + "}";
        return "{guid " + upper + "}";
      }
      return text;
    default:
      return text;
  }
}

std::string SubstituteParams(std::string sql, const TParams& params) {
  for (const TParam& param : params) {
    const std::string literal = ParamLiteral(param);
    const std::string token = ":" + param.name;
    std::string out;
    std::size_t i = 0;
    while (i < sql.size()) {
      const bool match = sql[i] == ':' && i + token.size() <= sql.size() &&
                         SameText(std::string_view(sql).substr(i, token.size()), token) &&
                         (i == 0 || !IsIdentChar(sql[i - 1])) &&
                         (i + token.size() == sql.size() || !IsIdentChar(sql[i + token.size()]));
      if (match) {
        out += literal;
        i += token.size();
      } else {
        out += sql[i++];
      }
    }
    sql = std::move(out);
  }
  return sql;
}

}  // namespace corvid
