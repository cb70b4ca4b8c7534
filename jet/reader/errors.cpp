#include "jet/reader/errors.h"

namespace corvid::jet::reader {

std::string DamageLocation::Text() const {
  std::string text;
  auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
  };
  if (!table.empty()) add("table \"" + table + "\"");
  if (page) add("page " + std::to_string(*page));
  if (row) add("row " + std::to_string(*row));
  if (!field.empty()) add("field \"" + field + "\"");
  return text;
}

namespace {
std::string Compose(const std::string& what, const DamageLocation& where) {
  const std::string at = where.Text();
  return at.empty() ? what : at + ": " + what;
}
}  // namespace

DamageError::DamageError(std::string what, DamageLocation where)
    : JetError(Compose(what, where)), problem_(std::move(what)), where_(std::move(where)) {}

DamageError DamageError::Within(const DamageLocation& outer) const {
  DamageLocation merged = where_;
  if (merged.table.empty()) merged.table = outer.table;
  if (!merged.page) merged.page = outer.page;
  if (!merged.row) merged.row = outer.row;
  if (merged.field.empty()) merged.field = outer.field;
  return DamageError(problem_, merged);
}

std::string Damage::Text() const { return Compose(problem, where); }

void DamageReport::Add(const DamageLocation& where, std::string problem) {
  ++count_;
  if (entries_.size() < kMaxEntries) entries_.push_back({where, std::move(problem)});
}

}  // namespace corvid::jet::reader
