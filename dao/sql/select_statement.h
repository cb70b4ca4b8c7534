#pragma once
// The one SQL shape the engine runs itself:
//   Select * From <table> [Where <condition>] [Order By <field> [ASC|DESC], ...] [;]
// with the table name plain or in square brackets, and "<table>.*" for "*".

#include <optional>
#include <string>
#include <string_view>

#include "dao/sql/condition.h"
#include "dao/sql/sort_order.h"

namespace corvid::dao::sql {

struct SelectStatement {
  std::string table;
  std::optional<Condition> where;
  std::optional<SortOrder> orderBy;
};

// Parses `sql`. Raises EngineError: 3129 for a text that is no SELECT, 3131
// for a FROM clause without one table name, 3075 for the Where condition,
// 3138 for the Order By list, 3142 for text after the statement, and 3251 for
// a SELECT beyond this shape (field lists, joins, grouping); each message
// names the text.
SelectStatement ParseSelect(std::string_view sql);

}  // namespace corvid::dao::sql
