#include "dao/database_map_output.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "SrcLib/json_text.h"
#include "dao/engine/dao_constants.h"

namespace corvid {
namespace {

// Characters, not bytes, so that names with accents line up.
std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  for (std::size_t w = DisplayWidth(text); w < width; ++w) out += ' ';
}

// The DAO type number, or for a type the engine does not read its number in
// the file.
int ShownTypeNumber(const ColumnMap& column) {
  return dao::IsUnknownStoredType(column.typeNumber) ? column.typeNumber - dao::kUnknownStoredType
                                                     : column.typeNumber;
}

std::string ShownType(const ColumnMap& column) {
  const std::string name = TypeName(column.typeNumber);
  if (!name.empty()) return name;
  return "unknown type " + std::to_string(ShownTypeNumber(column));
}

// Most frequent kind first; equal counts by extension.
std::vector<std::pair<std::string, std::int64_t>> KindsInOrder(const ColumnMap& column) {
  std::vector<std::pair<std::string, std::int64_t>> kinds(column.kinds.begin(), column.kinds.end());
  std::stable_sort(kinds.begin(), kinds.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return kinds;
}

std::string DocumentSummary(const ColumnMap& column) {
  std::string text = std::to_string(column.nonEmpty) + " non-empty";
  const std::int64_t sampled = SampledValues(column);
  if (!column.kinds.empty()) {
    text += sampled < column.nonEmpty ? ", first " + std::to_string(sampled) + ": " : ": ";
    bool first = true;
    for (const auto& [extension, count] : KindsInOrder(column)) {
      if (!first) text += ", ";
      first = false;
      text += std::to_string(count) + " " + extension;
    }
  }
  if (column.damaged > 0) text += ", " + std::to_string(column.damaged) + " damaged";
  return text;
}

void Indent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 2, ' '); }

}  // namespace

std::int64_t SampledValues(const ColumnMap& column) {
  std::int64_t sampled = 0;
  for (const auto& [extension, count] : column.kinds) sampled += count;
  return sampled;
}

std::string DatabaseMapText(const DatabaseMap& map) {
  std::string out;
  bool firstTable = true;
  for (const TableMap& table : map.tables) {
    if (!firstTable) out += '\n';
    firstTable = false;
    out +=
        table.name + "  " + std::to_string(table.rows) + (table.rows == 1 ? " row\n" : " rows\n");
    std::size_t nameWidth = 0, typeWidth = 0;
    for (const ColumnMap& column : table.columns) {
      nameWidth = std::max(nameWidth, DisplayWidth(column.name));
      typeWidth = std::max(typeWidth, DisplayWidth(ShownType(column)));
    }
    for (const ColumnMap& column : table.columns) {
      out += "  ";
      AppendPadded(out, column.name, nameWidth + 2);
      if (column.document) {
        AppendPadded(out, ShownType(column), typeWidth + 2);
        out += DocumentSummary(column);
      } else {
        out += ShownType(column);
      }
      out += '\n';
    }
    if (!table.error.empty()) out += "  cannot be read: " + table.error + "\n";
  }
  return out;
}

std::string DatabaseMapJson(const DatabaseMap& map) {
  std::string out = "{\n";
  Indent(out, 1);
  out += "\"file\": ";
  AppendJsonString(out, map.file);
  out += ",\n";
  Indent(out, 1);
  out += "\"tables\": [";
  for (std::size_t t = 0; t < map.tables.size(); ++t) {
    const TableMap& table = map.tables[t];
    out += t == 0 ? "\n" : ",\n";
    Indent(out, 2);
    out += "{\"name\": ";
    AppendJsonString(out, table.name);
    out += ", \"rows\": " + std::to_string(table.rows);
    if (!table.error.empty()) {
      out += ", \"error\": ";
      AppendJsonString(out, table.error);
    }
    out += ", \"columns\": [";
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
      const ColumnMap& column = table.columns[c];
      out += c == 0 ? "\n" : ",\n";
      Indent(out, 3);
      out += "{\"name\": ";
      AppendJsonString(out, column.name);
      const std::string type = TypeName(column.typeNumber);
      out += ", \"type\": ";
      AppendJsonString(out, type.empty() ? "unknown" : type);
      out += ", \"typeNumber\": " + std::to_string(ShownTypeNumber(column));
      out += column.document ? ", \"document\": true" : ", \"document\": false";
      if (column.document) {
        out += ", \"nonEmpty\": " + std::to_string(column.nonEmpty);
        out += ", \"sampled\": " + std::to_string(SampledValues(column));
        if (column.damaged > 0) out += ", \"damaged\": " + std::to_string(column.damaged);
        out += ", \"kinds\": {";
        bool first = true;
        for (const auto& [extension, count] : KindsInOrder(column)) {
          if (!first) out += ", ";
          first = false;
          AppendJsonString(out, extension);
          out += ": " + std::to_string(count);
        }
        out += "}";
      }
      out += "}";
    }
    if (!table.columns.empty()) {
      out += "\n";
      Indent(out, 2);
    }
    out += "]}";
  }
  if (!map.tables.empty()) {
    out += "\n";
    Indent(out, 1);
  }
  out += "],\n";
  Indent(out, 1);
  out += "\"damage\": [";
  for (std::size_t d = 0; d < map.damage.size(); ++d) {
    if (d > 0) out += ", ";
    AppendJsonString(out, map.damage[d]);
  }
  out += "]\n}\n";
  return out;
}

}  // namespace corvid
