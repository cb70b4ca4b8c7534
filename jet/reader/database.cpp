#include "jet/reader/database.h"

#include <algorithm>
#include <cctype>

#include "jet/reader/encryption_info.h"
#include "jet/reader/long_value.h"
#include "jet/reader/office_codec.h"

namespace corvid::jet::reader {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

template <class T>
std::optional<T> Integer(const Value& v) {
  if (const auto* x = std::get_if<std::int32_t>(&v)) return static_cast<T>(*x);
  if (const auto* x = std::get_if<std::int16_t>(&v)) return static_cast<T>(*x);
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return static_cast<T>(*x);
  return std::nullopt;
}

}  // namespace

const CatalogEntry* Catalog::FindTable(const std::string& name) const {
  for (const CatalogEntry& e : entries)
    if (e.IsTable() && SameName(e.name, name)) return &e;
  return nullptr;
}

Bytes Table::LongValueBytes(const LongValue& value) const {
  try {
    return ReadLongValueBytes(state_->pages, state_->format, value);
  } catch (const DamageError& e) {
    throw e.Within(DamageLocation{.table = def_->name});
  }
}

void Table::ReadLongValue(const LongValue& value,
                          const std::function<void(std::span<const std::byte>)>& sink) const {
  try {
    reader::ReadLongValue(state_->pages, state_->format, value, sink);
  } catch (const DamageError& e) {
    throw e.Within(DamageLocation{.table = def_->name});
  }
}

std::shared_ptr<LongValueCursor> Table::OpenLongValue(const LongValue& value) const {
  // The cursor refers to the database's pages: it shares ownership of them.
  struct Held {
    std::shared_ptr<DatabaseState> state;
    LongValueCursor cursor;
  };
  auto held =
      std::make_shared<Held>(Held{state_, LongValueCursor(state_->pages, state_->format, value)});
  return std::shared_ptr<LongValueCursor>(held, &held->cursor);
}

std::string Table::MemoText(const LongValue& value) const {
  return state_->text.Decode(LongValueBytes(value));
}

Database Database::FromSource(std::unique_ptr<ByteSource> bytes, OpenOptions options) {
  std::vector<std::byte> first(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes->Size(), kJet4.pageSize)));
  bytes->ReadAt(0, first);
  const HeaderPage header = ParseHeaderPage(first);
  if (bytes->Size() < 3 * header.pageSize)
    throw FormatError("the file is too short for a database");
  auto state = std::make_shared<DatabaseState>(std::move(bytes), header, options.cachePages);
  if (header.officeEncrypted) {
    // The password is checked against the header's verifier before any
    // page is decrypted.
    const EncryptionInfo info = ReadEncryptionInfo(first);
    state->pages.SetCodec(OpenOfficeCodec(info, header.databaseKey, options.password));
  } else if (header.databaseKey != 0) {
    state->pages.SetCodec(std::make_shared<DatabaseKeyCodec>(header.databaseKey));
  }
  return Database(std::move(state));
}

HeaderPage Database::ReadHeader(const std::string& path) {
  FileByteSource bytes(path);
  std::vector<std::byte> first(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes.Size(), kJet4.pageSize)));
  bytes.ReadAt(0, first);
  return ParseHeaderPage(first);
}

Database Database::Open(const std::string& path, OpenOptions options) {
  return FromSource(std::make_unique<FileByteSource>(path), options);
}

Database Database::OpenImage(std::span<const std::byte> image, OpenOptions options) {
  return FromSource(std::make_unique<MemoryByteSource>(image), options);
}

Table Database::OpenTableAt(std::uint32_t page, const std::string& name) {
  auto def = std::make_shared<TableDefinition>(
      ReadTableDefinition(state_->pages, state_->format, state_->text, page, name, state_->report));
  return Table(state_, std::move(def));
}

const Catalog& Database::Objects() {
  if (catalog_) return *catalog_;
  auto catalog = std::make_shared<Catalog>();
  Table objects = OpenTableAt(kCatalogPage, "MSysObjects");
  const TableDefinition& def = objects.Definition();
  auto column = [&def](const char* name) -> int {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
      if (SameName(def.columns[i].name, name)) return static_cast<int>(i);
    throw DamageError("the catalog has no column " + std::string(name),
                      DamageLocation{.table = "MSysObjects"});
  };
  auto optionalColumn = [&def](const char* name) -> int {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
      if (SameName(def.columns[i].name, name)) return static_cast<int>(i);
    return -1;
  };
  const int properties = optionalColumn("LvProp"), created = optionalColumn("DateCreate"),
            updated = optionalColumn("DateUpdate");
  const int id = column("Id"), parent = column("ParentId"), nameColumn = column("Name"),
            type = column("Type"), flags = column("Flags");
  RowCursor rows = objects.Rows();
  Row row;
  while (rows.Next(row)) {
    CatalogEntry e;
    e.id = Integer<std::int32_t>(row.values[id]).value_or(0);
    e.parentId = Integer<std::int32_t>(row.values[parent]).value_or(0);
    if (const auto* n = std::get_if<std::string>(&row.values[nameColumn])) e.name = *n;
    e.type = Integer<std::int16_t>(row.values[type]).value_or(0);
    e.flags = Integer<std::uint32_t>(row.values[flags]).value_or(0);
    e.recovered = row.recovered;
    e.page = row.page;
    e.row = row.row;
    if (properties >= 0) e.properties = row.values[properties];
    auto date = [&row](int column) -> std::optional<double> {
      if (column < 0) return std::nullopt;
      if (const auto* d = std::get_if<DateTime>(&row.values[column])) return d->days;
      return std::nullopt;
    };
    e.created = date(created);
    e.updated = date(updated);
    catalog->entries.push_back(std::move(e));
  }
  catalog_ = std::move(catalog);
  return *catalog_;
}

std::vector<std::string> Database::TableNames() {
  std::vector<std::string> names;
  for (const CatalogEntry& e : Objects().entries)
    if (e.IsUserTable()) names.push_back(e.name);
  return names;
}

std::vector<PropertyBlock> Database::PropertiesOf(const CatalogEntry& entry) {
  const auto* stored = std::get_if<LongValue>(&entry.properties);
  if (!stored || stored->length == 0) return {};
  try {
    return ParsePropertyBlob(ReadLongValueBytes(state_->pages, state_->format, *stored),
                             state_->text);
  } catch (const DamageError& e) {
    throw e.Within(DamageLocation{.table = "MSysObjects", .field = "LvProp"});
  }
}

Table Database::OpenTable(const std::string& name) {
  const CatalogEntry* entry = Objects().FindTable(name);
  if (!entry) throw NotFoundError("the database has no table \"" + name + "\"");
  return OpenTableAt(entry->DefinitionPage(), entry->name);
}

}  // namespace corvid::jet::reader
