#pragma once
// A sort order: a recordset's Sort text or an SQL Order By list, "a, [b]
// DESC, [t].[c] ASC". Rows compare the way Access orders them: Null first,
// text case-insensitively, numbers and dates by value.

#include <string>
#include <string_view>
#include <vector>

#include "dao/engine/variant.h"
#include "dao/sql/tokens.h"

namespace corvid::dao::sql {

struct SortKey {
  std::string field;
  bool descending = false;
  int column = -1;  // once bound
};

class SortOrder {
 public:
  // Parses a Sort text; raises EngineError 3138 naming the text.
  explicit SortOrder(std::string_view text);
  // Parses the tokens [begin, end) of an Order By list.
  SortOrder(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
            std::string_view text);

  const std::vector<SortKey>& Keys() const { return keys_; }
  // Resolves the names against the column names; raises EngineError 3070.
  void Bind(const std::vector<std::string>& columns);

 private:
  void Parse(const std::vector<Token>& tokens, std::size_t begin, std::size_t end);
  std::string text_;
  std::vector<SortKey> keys_;
};

// Access's order of two values of one column: negative, zero or positive.
int CompareForSort(const Variant& a, const Variant& b);

}  // namespace corvid::dao::sql
