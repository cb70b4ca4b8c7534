#pragma once
// A condition text (a recordset's Filter, a Find criteria, an SQL Where
// clause) parsed once and evaluated row by row. Comparisons follow Access:
// text compares case-insensitively, and Null makes a comparison unknown, so
// a row passes only when the whole condition is true.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dao/engine/variant.h"
#include "dao/sql/tokens.h"

namespace corvid::dao::sql {

struct Node;

class Condition {
 public:
  // Parses `text`; raises EngineError 3075 naming the text when it can't.
  explicit Condition(std::string_view text);
  // Parses the tokens [begin, end) of a longer statement; `text` is what
  // error messages name.
  Condition(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
            std::string_view text);
  ~Condition();
  Condition(Condition&&) noexcept;
  Condition& operator=(Condition&&) noexcept;

  const std::string& Text() const { return text_; }

  // Resolves the field names against the rows' column names (compared
  // case-insensitively; in "[t].[f]" the last part names the field). Raises
  // EngineError 3070 for a name that is no column.
  void Bind(const std::vector<std::string>& columns);

  // Puts the values of a stored query's declared parameters in place of the
  // names that name them (case-insensitively; a declared parameter wins over
  // a column of the same name, as it does in Access). Call before Bind.
  using ParameterValue = std::pair<std::string, Variant>;
  void SetParameters(const std::vector<ParameterValue>& parameters);

  // True when the bound condition holds for the row whose column values
  // `value` gives (asked only for the columns the condition uses). Raises
  // EngineError 3464 for values that cannot be compared (text with a number).
  using ColumnValue = std::function<Variant(int column)>;
  bool Matches(const ColumnValue& value) const;

 private:
  std::string text_;
  std::unique_ptr<Node> root_;
};

}  // namespace corvid::dao::sql
