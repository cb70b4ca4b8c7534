#include "jet/reader/complex_column.h"

#include <algorithm>
#include <cctype>

namespace corvid::jet::reader {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

std::optional<std::int32_t> Long(const Value& v) {
  if (const auto* x = std::get_if<std::int32_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::int16_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return *x;
  return std::nullopt;
}

struct ComplexColumnsRow {
  std::string columnName;
  std::int32_t complexId = 0, flatTableId = 0, conceptualTableId = 0, complexTypeObjectId = 0;
};

int ColumnIndex(const TableDefinition& def, const char* name) {
  for (std::size_t i = 0; i < def.columns.size(); ++i)
    if (SameName(def.columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

std::optional<ComplexColumnsRow> FindComplexColumnsRow(Database& db, std::uint32_t complexId,
                                                       const DamageLocation& where) {
  const CatalogEntry* entry = db.Objects().FindTable("MSysComplexColumns");
  if (!entry)
    throw DamageError("the database has a complex column but no MSysComplexColumns table", where);
  Table table = db.OpenTableAt(entry->DefinitionPage(), entry->name);
  const TableDefinition& def = table.Definition();
  const int name = ColumnIndex(def, "ColumnName"), id = ColumnIndex(def, "ComplexID"),
            flat = ColumnIndex(def, "FlatTableID"),
            conceptual = ColumnIndex(def, "ConceptualTableID"),
            kind = ColumnIndex(def, "ComplexTypeObjectID");
  if (name < 0 || id < 0 || flat < 0 || conceptual < 0 || kind < 0)
    throw DamageError("MSysComplexColumns lacks one of its columns",
                      DamageLocation{.table = "MSysComplexColumns"});
  RowCursor rows = table.Rows();
  Row row;
  while (rows.Next(row)) {
    if (Long(row.values[id]) != static_cast<std::int32_t>(complexId)) continue;
    ComplexColumnsRow out;
    if (const auto* n = std::get_if<std::string>(&row.values[name])) out.columnName = *n;
    out.complexId = static_cast<std::int32_t>(complexId);
    out.flatTableId = Long(row.values[flat]).value_or(0);
    out.conceptualTableId = Long(row.values[conceptual]).value_or(0);
    out.complexTypeObjectId = Long(row.values[kind]).value_or(0);
    return out;
  }
  return std::nullopt;
}

const CatalogEntry* FindById(const Catalog& catalog, std::int32_t id) {
  for (const CatalogEntry& e : catalog.entries)
    if (e.id == id && e.IsTable()) return &e;
  return nullptr;
}

}  // namespace

ComplexColumn ComplexColumn::Open(Database& db, const Table& table, const std::string& columnName) {
  const TableDefinition& userDef = table.Definition();
  const ColumnDefinition* column = userDef.FindColumn(columnName);
  if (!column)
    throw NotFoundError("the table \"" + userDef.name + "\" has no column \"" + columnName + "\"");
  const DamageLocation where{.table = userDef.name, .field = column->name};
  if (column->type != static_cast<std::uint8_t>(StoredType::Complex))
    throw JetError("the column \"" + column->name + "\" of table \"" + userDef.name +
                   "\" is not a complex column");

  const std::optional<ComplexColumnsRow> entry =
      FindComplexColumnsRow(db, column->complexId, where);
  if (!entry)
    throw DamageError(
        "MSysComplexColumns has no row for complex id " + std::to_string(column->complexId), where);
  if ((static_cast<std::uint32_t>(entry->conceptualTableId) & 0x00FFFFFFu) != userDef.page)
    throw DamageError("MSysComplexColumns gives complex id " + std::to_string(column->complexId) +
                          " to another table (id " + std::to_string(entry->conceptualTableId) + ")",
                      where);
  const Catalog& catalog = db.Objects();
  const CatalogEntry* flatEntry = FindById(catalog, entry->flatTableId);
  const CatalogEntry* templateEntry = FindById(catalog, entry->complexTypeObjectId);
  if (!flatEntry)
    throw DamageError("the catalog has no table with id " + std::to_string(entry->flatTableId) +
                          " for the column's values",
                      where);
  if (!templateEntry)
    throw DamageError(
        "the catalog has no template table with id " + std::to_string(entry->complexTypeObjectId),
        where);

  ComplexColumn result(table, db.OpenTableAt(flatEntry->DefinitionPage(), flatEntry->name));
  result.columnName_ = column->name;
  result.templateName_ = templateEntry->name;
  if (SameName(templateEntry->name, "MSysComplexType_Attachment"))
    result.kind_ = ComplexKind::Attachment;
  else if (StartsWith(templateEntry->name, "MSysComplexTypeVH_"))
    result.kind_ = ComplexKind::VersionHistory;
  else if (StartsWith(templateEntry->name, "MSysComplexType_"))
    result.kind_ = ComplexKind::MultiValue;

  const Table templ = db.OpenTableAt(templateEntry->DefinitionPage(), templateEntry->name);
  const TableDefinition& flatDef = result.flat_.Definition();
  const std::uint8_t longType = static_cast<std::uint8_t>(StoredType::Long);
  for (std::size_t i = 0; i < flatDef.columns.size(); ++i) {
    const ColumnDefinition& c = flatDef.columns[i];
    const ColumnDefinition* inTemplate = templ.Definition().FindColumn(c.name);
    if (inTemplate && inTemplate->type == c.type) {
      result.valueColumns_.push_back(static_cast<int>(i));
      continue;
    }
    if (c.type != longType || (c.flags & kColumnAutoLong) != 0) continue;
    if (result.keyColumn_ >= 0)
      throw DamageError("the table of the column's values has more than one key column",
                        DamageLocation{.table = flatDef.name});
    result.keyColumn_ = static_cast<int>(i);
  }
  if (result.keyColumn_ < 0)
    throw DamageError("the table of the column's values has no key column",
                      DamageLocation{.table = flatDef.name});
  return result;
}

int ComplexColumn::FlatColumn(const char* name) const {
  return ColumnIndex(flat_.Definition(), name);
}

const std::vector<Row>& ComplexColumn::Rows(std::int32_t key) {
  if (!byKey_) {
    auto byKey = std::make_shared<std::unordered_map<std::int32_t, std::vector<Row>>>();
    RowCursor rows = flat_.Rows();
    Row row;
    while (rows.Next(row)) {
      const std::optional<std::int32_t> k = Long(row.values[static_cast<std::size_t>(keyColumn_)]);
      if (k) (*byKey)[*k].push_back(row);
    }
    byKey_ = std::move(byKey);
  }
  static const std::vector<Row> kNone;
  const auto it = byKey_->find(key);
  return it == byKey_->end() ? kNone : it->second;
}

std::vector<Attachment> ComplexColumn::Attachments(std::int32_t key) {
  if (kind_ != ComplexKind::Attachment)
    throw JetError("the column \"" + columnName_ + "\" of table \"" + user_.Name() +
                   "\" is not an attachment column");
  const int data = FlatColumn("FileData"), name = FlatColumn("FileName"),
            type = FlatColumn("FileType"), url = FlatColumn("FileURL"),
            stamp = FlatColumn("FileTimeStamp"), flags = FlatColumn("FileFlags");
  if (data < 0 || name < 0)
    throw DamageError("the table of the attachments lacks FileData or FileName",
                      DamageLocation{.table = flat_.Name()});
  std::vector<Attachment> out;
  for (const Row& row : Rows(key)) {
    Attachment a;
    a.page = row.page;
    a.row = row.row;
    auto text = [&](int column) -> std::string {
      if (column < 0) return {};
      const Value& v = row.values[static_cast<std::size_t>(column)];
      if (const auto* s = std::get_if<std::string>(&v)) return *s;
      if (const auto* lv = std::get_if<LongValue>(&v)) return flat_.MemoText(*lv);
      return {};
    };
    a.fileName = text(name);
    a.fileType = text(type);
    a.fileUrl = text(url);
    if (stamp >= 0)
      if (const auto* d = std::get_if<DateTime>(&row.values[static_cast<std::size_t>(stamp)]))
        a.fileTimeStamp = *d;
    if (flags >= 0) a.fileFlags = Long(row.values[static_cast<std::size_t>(flags)]);
    if (const auto* lv = std::get_if<LongValue>(&row.values[static_cast<std::size_t>(data)])) {
      a.fileData = *lv;
      a.hasData = true;
    }
    out.push_back(std::move(a));
  }
  return out;
}

AttachmentDataReader ComplexColumn::OpenFile(const Attachment& attachment,
                                             const std::string& record) const {
  const DamageLocation where{
      .table = user_.Name(), .page = attachment.page, .row = attachment.row, .field = columnName_};
  std::string label = "the attachment \"" + attachment.fileName + "\"";
  if (!record.empty()) label += " of record " + record;
  if (!attachment.hasData) throw DamageError(label + ": it has no FileData", where);
  std::shared_ptr<LongValueCursor> cursor = flat_.OpenLongValue(attachment.fileData);
  return AttachmentDataReader(
      [cursor, where, label]() -> std::span<const std::byte> {
        try {
          return cursor->Next();
        } catch (const DamageError& e) {
          throw DamageError(label + ": " + e.Problem(), e.Where()).Within(where);
        }
      },
      where, label);
}

}  // namespace corvid::jet::reader
