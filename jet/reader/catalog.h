// The catalog: the rows of MSysObjects (always defined on page 2), one per
// object of the database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/reader/value.h"

namespace corvid::jet::reader {

inline constexpr std::uint32_t kCatalogPage = 2;

enum class ObjectType : std::int16_t {
  Table = 1,
  Database = 2,
  Container = 3,
  LinkedOdbc = 4,
  Query = 5,
  LinkedTable = 6,
  Relationship = 8,
};

struct CatalogEntry {
  std::int32_t id = 0;
  std::int32_t parentId = 0;
  std::string name;
  std::int16_t type = 0;
  std::uint32_t flags = 0;
  bool recovered = false;  // found by the recovery scan
  // Where the row lies (a moved row: where it was moved to).
  std::uint32_t page = 0;
  int row = 0;
  // LvProp: where the object's property blob is stored (null when none).
  Value properties{};
  // DateCreate and DateUpdate (days since 1899-12-30), when stored.
  std::optional<double> created, updated;

  // Table entries: the first page of the table definition.
  std::uint32_t DefinitionPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFFu; }
  bool IsTable() const { return type == static_cast<std::int16_t>(ObjectType::Table); }
  bool IsSystem() const { return (flags & 0x80000002u) != 0 || name.rfind("MSys", 0) == 0; }
  bool IsUserTable() const { return IsTable() && !IsSystem(); }
};

struct Catalog {
  std::vector<CatalogEntry> entries;

  // The table of that name, case-insensitive (ASCII); nullptr when none.
  const CatalogEntry* FindTable(const std::string& name) const;
};

}  // namespace corvid::jet::reader
