#include "dao/mdb/query_sql.h"

#include <algorithm>
#include <cctype>

#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_file.h"
#include "dao/mdb/mdb_values.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {
namespace {

// Attributes of MSysQueries rows.
enum : int {
  kStart = 0,
  kKind = 1,
  kParameter = 2,
  kSelectFlags = 3,
  kTable = 5,
  kColumn = 6,
  kJoin = 7,
  kWhere = 8,
  kGroupBy = 9,
  kHaving = 10,
  kOrderBy = 11,
  kEnd = 255,
};

// The kind row's flag.
enum : int {
  kSelect = 1,
  kMakeTable = 2,
  kAppend = 3,
  kUpdate = 4,
  kDelete = 5,
  kCrosstab = 6,
  kDataDefinition = 7,
  kPassThrough = 8,
  kUnion = 9,
};

// Bits of the select-flags row.
constexpr int kSelectStar = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kOwnerAccess = 0x04;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;
constexpr int kUnionAll = 0x02;  // same bit, in a union query

// Crosstab roles of column and GROUP BY rows (their flag).
constexpr int kPivot = 1;
constexpr int kRowHeading = 2;

constexpr const char* kNewLine = "\n";

bool ReservedWord(const std::string& name) {
  static const char* const kWords[] = {
      "ALL",   "AND",    "AS",     "ASC",      "BETWEEN", "BY",   "COLUMN", "CREATE",
      "DATE",  "DELETE", "DESC",   "DISTINCT", "DROP",    "FROM", "GROUP",  "HAVING",
      "IN",    "INDEX",  "INNER",  "INSERT",   "INTO",    "IS",   "JOIN",   "KEY",
      "LEFT",  "LIKE",   "NOT",    "NULL",     "ON",      "OR",   "ORDER",  "PARAMETERS",
      "PIVOT", "RIGHT",  "SELECT", "SET",      "TABLE",   "TIME", "TOP",    "TRANSFORM",
      "UNION", "UPDATE", "VALUE",  "VALUES",   "WHERE",   "WITH"};
  std::string upper;
  for (unsigned char c : name) upper += static_cast<char>(std::toupper(c));
  for (const char* word : kWords)
    if (upper == word) return true;
  return false;
}

// A table or field name as Access writes it: bracketed unless it is a
// plain word that is no SQL keyword.
std::string Name(const std::string& name) {
  bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  for (unsigned char c : name)
    if (!std::isalnum(c) && c != '_') plain = false;
  return plain && !ReservedWord(name) ? name : "[" + name + "]";
}

std::string Joined(const std::vector<std::string>& items, const char* separator = ", ") {
  std::string text;
  for (const auto& item : items) {
    if (!text.empty()) text += separator;
    text += item;
  }
  return text;
}

std::string ParameterType(int type) {
  switch (type) {
    case dbBoolean:
      return "Bit";
    case dbByte:
      return "Byte";
    case dbInteger:
      return "Short";
    case dbLong:
      return "Long";
    case dbCurrency:
      return "Currency";
    case dbSingle:
      return "IEEESingle";
    case dbDouble:
      return "IEEEDouble";
    case dbDate:
      return "DateTime";
    case dbBinary:
      return "Binary";
    case dbText:
      return "Text ( 255 )";
    case dbLongBinary:
      return "LongBinary";
    case dbMemo:
      return "Memo";
    case dbGUID:
      return "Guid";
    case dbBigInt:
      return "BigInt";
    case dbDecimal:
      return "Decimal";
    default:
      return "Value";
  }
}

class QueryText {
 public:
  explicit QueryText(std::vector<QueryRow> rows) : rows_(std::move(rows)) {
    std::stable_sort(rows_.begin(), rows_.end(), [](const QueryRow& a, const QueryRow& b) {
      return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
    });
  }

  std::string Sql() const {
    const QueryRow* kind = First(kKind);
    if (!kind || !kind->flag) return {};
    switch (*kind->flag) {
      case kDataDefinition:
      case kPassThrough:
        return kind->expression;
      case kUnion:
        return Parameters() + Union();
      case kSelect:
      case kMakeTable:
      case kAppend:
      case kUpdate:
      case kDelete:
      case kCrosstab:
        return Parameters() + Statement(*kind->flag, *kind);
      default:
        return {};
    }
  }

 private:
  const QueryRow* First(int attribute) const {
    for (const auto& row : rows_)
      if (row.attribute == attribute) return &row;
    return nullptr;
  }
  std::vector<const QueryRow*> All(int attribute) const {
    std::vector<const QueryRow*> found;
    for (const auto& row : rows_)
      if (row.attribute == attribute) found.push_back(&row);
    return found;
  }
  int SelectFlags() const {
    const QueryRow* flags = First(kSelectFlags);
    return flags && flags->flag ? *flags->flag : 0;
  }

  std::string Parameters() const {
    std::vector<std::string> declared;
    for (const QueryRow* row : All(kParameter))
      declared.push_back("[" + row->name1 + "] " + ParameterType(row->flag.value_or(0)));
    if (declared.empty()) return {};
    return "PARAMETERS " + Joined(declared) + ";" + kNewLine;
  }

  // "SELECT DISTINCT TOP 10 PERCENT" and the like.
  std::string Predicate() const {
    int flags = SelectFlags();
    std::string text;
    if (flags & kDistinct)
      text += " DISTINCT";
    else if (flags & kDistinctRow)
      text += " DISTINCTROW";
    if (flags & kTop) {
      const QueryRow* row = First(kSelectFlags);
      text += " TOP " + row->name1;
      if (flags & kPercent) text += " PERCENT";
    }
    return text;
  }

  static std::string Column(const QueryRow& row) {
    std::string text = row.expression;
    if (!row.name1.empty()) text += " AS " + Name(row.name1);
    return text;
  }

  std::vector<std::string> Columns(bool crosstab) const {
    std::vector<std::string> columns;
    if (SelectFlags() & kSelectStar) columns.push_back("*");
    for (const QueryRow* row : All(kColumn))
      if (!crosstab || row->flag.value_or(0) == kRowHeading) columns.push_back(Column(*row));
    return columns;
  }

  std::string From() const {
    // Each entry: the text and the table names (or aliases) it holds.
    struct Part {
      std::string text;
      std::vector<std::string> names;
      bool joined = false;
    };
    std::vector<Part> parts;
    for (const QueryRow* row : All(kTable)) {
      Part part;
      std::string key = row->name2.empty() ? row->name1 : row->name2;
      if (!row->expression.empty())
        part.text = "(" + row->expression + ")";
      else
        part.text = Name(row->name1);
      if (!row->name2.empty()) part.text += " AS " + Name(row->name2);
      part.names.push_back(key);
      parts.push_back(std::move(part));
    }
    auto holding = [&](const std::string& name) -> std::ptrdiff_t {
      for (std::size_t i = 0; i < parts.size(); ++i)
        for (const auto& held : parts[i].names)
          if (held == name) return static_cast<std::ptrdiff_t>(i);
      return -1;
    };
    // Several conditions between the same two tables make one ON clause.
    struct Join {
      std::string left, right;
      int type;
      std::vector<std::string> conditions;
    };
    std::vector<Join> joins;
    for (const QueryRow* row : All(kJoin)) {
      int type = row->flag.value_or(1);
      auto same = std::find_if(joins.begin(), joins.end(), [&](const Join& join) {
        return join.left == row->name1 && join.right == row->name2 && join.type == type;
      });
      if (same != joins.end())
        same->conditions.push_back(row->expression);
      else
        joins.push_back(Join{row->name1, row->name2, type, {row->expression}});
    }
    for (const Join& join : joins) {
      std::ptrdiff_t left = holding(join.left), right = holding(join.right);
      if (left < 0 || right < 0) continue;
      std::string on;
      if (join.conditions.size() == 1) {
        on = join.conditions.front();
      } else {
        std::vector<std::string> each;
        for (const auto& condition : join.conditions) each.push_back("(" + condition + ")");
        on = Joined(each, " AND ");
      }
      if (left == right) {  // both sides already joined: one more condition
        parts[static_cast<std::size_t>(left)].text += " AND " + on;
        continue;
      }
      const char* how = join.type == 2   ? " LEFT JOIN "
                        : join.type == 3 ? " RIGHT JOIN "
                                         : " INNER JOIN ";
      auto side = [&](std::ptrdiff_t i) {
        const Part& part = parts[static_cast<std::size_t>(i)];
        return part.joined ? "(" + part.text + ")" : part.text;
      };
      Part merged;
      merged.text = side(left) + how + side(right) + " ON " + on;
      merged.joined = true;
      merged.names = parts[static_cast<std::size_t>(left)].names;
      for (const auto& name : parts[static_cast<std::size_t>(right)].names)
        merged.names.push_back(name);
      std::size_t first = static_cast<std::size_t>(std::min(left, right));
      std::size_t second = static_cast<std::size_t>(std::max(left, right));
      parts[first] = std::move(merged);
      parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(second));
    }
    std::vector<std::string> texts;
    for (const auto& part : parts) texts.push_back(part.text);
    return Joined(texts);
  }

  // WHERE, GROUP BY, HAVING and ORDER BY lines, each starting a new line.
  std::string Conditions(bool crosstab) const {
    std::string text;
    if (const QueryRow* where = First(kWhere))
      text += kNewLine + std::string("WHERE ") + where->expression;
    std::vector<std::string> groups;
    for (const QueryRow* row : All(kGroupBy))
      if (!crosstab || row->flag.value_or(0) != kPivot) groups.push_back(row->expression);
    if (!groups.empty()) text += kNewLine + std::string("GROUP BY ") + Joined(groups);
    if (const QueryRow* having = First(kHaving))
      text += kNewLine + std::string("HAVING ") + having->expression;
    std::vector<std::string> orders;
    for (const QueryRow* row : All(kOrderBy)) {
      std::string order = row->expression;
      if (row->name1 == "D" || row->name1 == "d") order += " DESC";
      orders.push_back(order);
    }
    if (!orders.empty()) text += kNewLine + std::string("ORDER BY ") + Joined(orders);
    return text;
  }

  std::string Tail() const {
    return (SelectFlags() & kOwnerAccess) ? std::string(kNewLine) + "WITH OWNERACCESS OPTION" : "";
  }

  // The external database of a make-table or append target (" IN 'x.mdb'").
  static std::string Into(const QueryRow& kind) {
    std::string text = Name(kind.name1);
    if (!kind.name2.empty()) text += " IN '" + kind.name2 + "'";
    return text;
  }

  std::string Statement(int kind, const QueryRow& kindRow) const {
    const bool crosstab = kind == kCrosstab;
    std::string text;
    switch (kind) {
      case kSelect:
        text = "SELECT" + Predicate() + " " + Joined(Columns(false)) + kNewLine + "FROM " + From();
        break;
      case kMakeTable:
        text = "SELECT" + Predicate() + " " + Joined(Columns(false)) + " INTO " + Into(kindRow) +
               kNewLine + "FROM " + From();
        break;
      case kAppend: {
        std::vector<std::string> targets, values;
        for (const QueryRow* row : All(kColumn)) {
          values.push_back(Column(*row));
          targets.push_back(row->name2);
        }
        text = "INSERT INTO " + Into(kindRow);
        if (!targets.empty()) text += " ( " + Joined(targets) + " )";
        if (SelectFlags() & kSelectStar) values.insert(values.begin(), "*");
        text += kNewLine + std::string("SELECT") + Predicate() + " " + Joined(values) + kNewLine +
                "FROM " + From();
        break;
      }
      case kUpdate: {
        std::vector<std::string> settings;
        for (const QueryRow* row : All(kColumn))
          settings.push_back(row->name2 + " = " + row->expression);
        text = "UPDATE" + Predicate() + " " + From() + kNewLine + "SET " + Joined(settings);
        break;
      }
      case kDelete:
        text = "DELETE" + Predicate() + " " + Joined(Columns(false)) + kNewLine + "FROM " + From();
        break;
      case kCrosstab: {
        std::vector<std::string> values;
        for (const QueryRow* row : All(kColumn))
          if (row->flag.value_or(0) == 0) values.push_back(Column(*row));
        text = "TRANSFORM " + Joined(values) + kNewLine + "SELECT" + Predicate() + " " +
               Joined(Columns(true)) + kNewLine + "FROM " + From();
        break;
      }
    }
    text += Conditions(crosstab);
    if (crosstab) {
      std::vector<std::string> pivots;
      for (const QueryRow* row : All(kColumn))
        if (row->flag.value_or(0) == kPivot) pivots.push_back(row->expression);
      if (!pivots.empty()) text += kNewLine + std::string("PIVOT ") + Joined(pivots);
    }
    return text + Tail() + ";";
  }

  std::string Union() const {
    std::vector<std::string> selects;
    for (const QueryRow* row : All(kTable))
      if (!row->expression.empty()) {
        std::string part = row->expression;
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back())))
          part.pop_back();
        selects.push_back(part);
      }
    std::string separator =
        std::string(kNewLine) + ((SelectFlags() & kUnionAll) ? "UNION ALL" : "UNION") + kNewLine;
    std::string text = Joined(selects, separator.c_str());
    std::vector<std::string> orders;
    for (const QueryRow* row : All(kOrderBy))
      orders.push_back(row->expression + ((row->name1 == "D" || row->name1 == "d") ? " DESC" : ""));
    if (!orders.empty()) text += kNewLine + std::string("ORDER BY ") + Joined(orders);
    return text + ";";
  }

  std::vector<QueryRow> rows_;
};

}  // namespace

std::string StoredQuerySql(std::vector<QueryRow> rows) { return QueryText(std::move(rows)).Sql(); }

std::map<std::int64_t, std::vector<QueryRow>> ReadStoredQueryRows(
    const std::shared_ptr<AccessFile>& file, const EngineContextPtr& context) {
  std::map<std::int64_t, std::vector<QueryRow>> queries;
  const jet::reader::CatalogEntry* entry = file->FindTable("MSysQueries");
  if (!entry) return queries;
  try {
    TableRows rows(file, *entry, context);
    int object = -1, attribute = -1, order = -1, name1 = -1, name2 = -1, expression = -1, flag = -1;
    for (int i = 0; i < rows.columnCount(); ++i) {
      std::string column = rows.column(i).name;
      if (column == "ObjectId")
        object = i;
      else if (column == "Attribute")
        attribute = i;
      else if (column == "Order")
        order = i;
      else if (column == "Name1")
        name1 = i;
      else if (column == "Name2")
        name2 = i;
      else if (column == "Expression")
        expression = i;
      else if (column == "Flag")
        flag = i;
    }
    if (object < 0 || attribute < 0) return queries;
    for (std::int32_t row = 0; rows.Has(row); ++row) {
      auto value = [&](int column) -> Variant {
        if (column < 0) return Null{};
        const auto& fields = rows.Crack(row);
        return DecodeValue(*file, rows.column(column), fields[static_cast<std::size_t>(column)]);
      };
      auto text = [&](int column) {
        Variant v = value(column);
        std::string value;
        if (auto* bytes = std::get_if<Bytes>(&v))
          value.assign(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        else if (!IsNull(v))
          value = VariantToText(v);
        // Memo texts of pass-through and DDL queries are stored with a
        // closing NUL
        if (column != order)
          while (!value.empty() && value.back() == '\0') value.pop_back();
        return value;
      };
      Variant owner = value(object), kind = value(attribute);
      if (!std::holds_alternative<std::int64_t>(owner) ||
          !std::holds_alternative<std::int64_t>(kind))
        continue;
      QueryRow item;
      item.attribute = static_cast<int>(std::get<std::int64_t>(kind));
      item.order = text(order);
      item.name1 = text(name1);
      item.name2 = text(name2);
      item.expression = text(expression);
      Variant flagValue = value(flag);
      if (auto* number = std::get_if<std::int64_t>(&flagValue))
        item.flag = static_cast<int>(*number);
      queries[std::get<std::int64_t>(owner)].push_back(std::move(item));
    }
  } catch (const std::exception&) {
    // a damaged MSysQueries gives what was read so far
  }
  return queries;
}

}  // namespace corvid::dao
