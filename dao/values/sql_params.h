#pragma once
// The parameter list of an SQL text: one parameter per ":" name, and the
// substitution of parameter literals into the text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dao/dataset/field_type.h"

namespace corvid {

struct TParam {
  std::string name;
  TFieldType dataType = TFieldType::ftUnknown;
  std::optional<std::string> value;  // nullopt is Null; dates as DateText
  bool isGuid = false;
};

using TParams = std::vector<TParam>;

// "_", ASCII letters and digits, and every byte 80-FF.
bool IsIdentChar(char c);

// The names after ":" in the text, in order, each once (letter case ignored);
// "::" and ":" inside quotes are not parameters.
std::vector<std::string> ParseParamNames(std::string_view sql);
// Rebuilds `params` from the SQL text, keeping values of names that remain.
void RebuildParams(TParams& params, std::string_view sql);
// The literal a parameter stands for in the SQL text.
std::string ParamLiteral(const TParam& param);
// Replaces every whole-word ":name" of each parameter by its literal.
std::string SubstituteParams(std::string sql, const TParams& params);

}  // namespace corvid
