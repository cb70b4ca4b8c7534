// What the engine reads besides rows: the properties of every table and
// column (property blobs) and the index definitions of the real fixtures,
// read by our reader and by libmdb; property blobs cut or garbled are
// damage, never a crash or a hang.

#include <gtest/gtest.h>

#include <glib.h>
#include <mdbtools.h>

#include <cstring>
#include <map>
#include <memory>

#include "jet/reader/database.h"
#include "jet/reader/property_blob.h"
#include "tests/jet/reader/support_reader_fixtures.h"

namespace corvid::jet::reader {
namespace {

using PropertyMap = std::map<std::string, std::string>;

// The value texts both readers agree on: Yes/No, whole numbers and text.
// Other types (GUIDs, binary) only count by name.
std::string ComparableText(const StoredProperty& p, const TextDecoder& text) {
  auto read = [&](auto value) {
    std::memcpy(&value, p.data.data(), std::min(sizeof value, p.data.size()));
    return value;
  };
  switch (static_cast<StoredType>(p.type)) {
    case StoredType::Bool:
      return !p.data.empty() && p.data[0] != std::byte{0} ? "yes" : "no";
    case StoredType::Byte:
      return std::to_string(static_cast<int>(read(std::uint8_t{})));
    case StoredType::Integer:
      return std::to_string(read(std::int16_t{}));
    case StoredType::Long:
      return std::to_string(read(std::int32_t{}));
    case StoredType::Text:
    case StoredType::Memo:
      return text.Decode(p.data);
    default:
      return "?";
  }
}

PropertyMap OursOf(const PropertyBlock& block, const TextDecoder& text) {
  PropertyMap result;
  for (const auto& p : block.properties) result[p.name] = ComparableText(p, text);
  return result;
}

PropertyMap LibmdbOf(const MdbProperties* props, const PropertyMap& ours) {
  PropertyMap result;
  if (!props || !props->hash) return result;
  GHashTableIter it;
  gpointer key = nullptr, value = nullptr;
  g_hash_table_iter_init(&it, props->hash);
  while (g_hash_table_iter_next(&it, &key, &value)) {
    const std::string name = static_cast<const char*>(key);
    auto mine = ours.find(name);
    result[name] = mine != ours.end() && mine->second == "?"
                       ? "?"
                       : (value ? static_cast<const char*>(value) : "");
  }
  return result;
}

TEST(ReaderProperties, EveryTableAndColumnAsLibmdbReadsThem) {
  struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
  };
  struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
  };
  int tablesWithProperties = 0, columnsWithProperties = 0;
  for (const std::string& path : testing::RealFixtureFiles()) {
    if (testing::IsOfficeEncryptedFixture(path)) continue;
    SCOPED_TRACE(path);
    std::optional<Database> db;
    try {
      db.emplace(Database::Open(path));
      db->Objects();
    } catch (const JetError&) {
      continue;  // not a database the reader opens (the damage tests cover those)
    }
    std::unique_ptr<MdbHandle, CloseMdb> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) continue;
    for (const CatalogEntry& entry : db->Objects().entries) {
      if (!entry.IsUserTable()) continue;
      SCOPED_TRACE(entry.name);
      std::string name = entry.name;
      std::unique_ptr<MdbTableDef, FreeTable> table(
          mdb_read_table_by_name(mdb.get(), name.data(), MDB_TABLE));
      if (!table || !mdb_read_columns(table.get())) continue;
      const std::vector<PropertyBlock> blocks = db->PropertiesOf(entry);
      Table ours = db->OpenTable(entry.name);

      const PropertyBlock* tableBlock = nullptr;
      for (const auto& b : blocks)
        if (b.name.empty()) tableBlock = &b;
      const PropertyMap tableOurs = tableBlock ? OursOf(*tableBlock, db->Text()) : PropertyMap{};
      EXPECT_EQ(tableOurs, LibmdbOf(table->props, tableOurs)) << "table properties";
      if (!tableOurs.empty()) ++tablesWithProperties;

      for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        SCOPED_TRACE(column->name);
        const PropertyBlock* block = nullptr;
        for (const auto& b : blocks)
          if (b.name == column->name) block = &b;
        const PropertyMap columnOurs = block ? OursOf(*block, db->Text()) : PropertyMap{};
        EXPECT_EQ(columnOurs, LibmdbOf(column->props, columnOurs));
        if (!columnOurs.empty()) ++columnsWithProperties;
      }
    }
  }
  // The fixtures carry Format, Caption, Required... on many columns.
  EXPECT_GT(tablesWithProperties, 0);
  EXPECT_GT(columnsWithProperties, 20);
}

// Index names, kinds, unique flags and key columns (with their order) as
// libmdb reads them. libmdb gives relationship entries no columns, so only
// their names and kinds are compared.
TEST(ReaderIndexes, EveryIndexAsLibmdbReadsIt) {
  struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
  };
  struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
  };
  int compared = 0;
  for (const std::string& path : testing::RealFixtureFiles()) {
    if (testing::IsOfficeEncryptedFixture(path)) continue;
    SCOPED_TRACE(path);
    std::optional<Database> db;
    try {
      db.emplace(Database::Open(path));
      db->Objects();
    } catch (const JetError&) {
      continue;
    }
    std::unique_ptr<MdbHandle, CloseMdb> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) continue;
    for (const std::string& tableName : db->TableNames()) {
      SCOPED_TRACE(tableName);
      std::string name = tableName;
      std::unique_ptr<MdbTableDef, FreeTable> table(
          mdb_read_table_by_name(mdb.get(), name.data(), MDB_TABLE));
      if (!table || !mdb_read_columns(table.get())) continue;
      mdb_read_indices(table.get());
      const Table ourTable = db->OpenTable(tableName);
      const TableDefinition& ours = ourTable.Definition();
      ASSERT_EQ(ours.indexes.size(), table->num_idxs);
      for (unsigned i = 0; i < table->num_idxs; ++i) {
        auto* theirs = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
        const IndexDefinition& index = ours.indexes[i];
        SCOPED_TRACE(index.name);
        EXPECT_EQ(index.name, theirs->name);
        EXPECT_EQ(index.kind, theirs->index_type);
        if (index.kind == 2) continue;
        EXPECT_EQ((index.flags & 0x01) != 0, (theirs->flags & MDB_IDX_UNIQUE) != 0);
        ASSERT_EQ(index.columns.size(), theirs->num_keys);
        for (unsigned k = 0; k < theirs->num_keys; ++k) {
          const ColumnDefinition* column = nullptr;
          for (const auto& c : ours.columns)
            if (c.number == index.columns[k].columnNumber) column = &c;
          ASSERT_NE(column, nullptr);
          ASSERT_GE(theirs->key_col_num[k], 1);
          ASSERT_LE(theirs->key_col_num[k], static_cast<int>(table->num_cols));
          auto* theirColumn = static_cast<MdbColumn*>(
              g_ptr_array_index(table->columns, theirs->key_col_num[k] - 1));
          EXPECT_EQ(column->name, theirColumn->name);
          EXPECT_EQ(index.columns[k].ascending, theirs->key_col_order[k] != MDB_DESC);
        }
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 10);
}

// "MR2\0", a name list, one value block: the smallest real-shaped blob.
std::vector<std::byte> SmallBlob() {
  std::vector<std::byte> blob;
  auto put = [&](std::initializer_list<int> bytes) {
    for (int b : bytes) blob.push_back(static_cast<std::byte>(b));
  };
  put({'M', 'R', '2', 0});
  // names: "Caption" and "Required" in UTF-16LE
  auto utf16 = [&](const std::string& s) {
    put({static_cast<int>(s.size() * 2), 0});
    for (char c : s) put({c, 0});
  };
  const std::size_t namesAt = blob.size();
  put({0, 0, 0, 0, 0x80, 0});
  utf16("Caption");
  utf16("Required");
  const auto namesLength = static_cast<int>(blob.size() - namesAt);
  blob[namesAt] = static_cast<std::byte>(namesLength);
  // one block for column "A": Caption "Hi" (Text), Required yes (Bool)
  const std::size_t blockAt = blob.size();
  put({0, 0, 0, 0, 0x00, 0});
  put({8, 0, 0, 0});  // the name part's length
  put({2, 0, 'A', 0});
  put({12, 0, 0, 0x0A, 0, 0, 4, 0, 'H', 0, 'i', 0});
  put({9, 0, 0, 0x01, 1, 0, 1, 0, 1});
  blob[blockAt] = static_cast<std::byte>(blob.size() - blockAt);
  return blob;
}

TEST(ReaderProperties, ASmallBlobReadsWhole) {
  TextDecoder text(JetFormat::Jet4);
  const auto blocks = ParsePropertyBlob(SmallBlob(), text);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].name, "A");
  ASSERT_EQ(blocks[0].properties.size(), 2u);
  EXPECT_EQ(blocks[0].properties[0].name, "Caption");
  EXPECT_EQ(text.Decode(blocks[0].properties[0].data), "Hi");
  EXPECT_EQ(blocks[0].properties[1].name, "Required");
  EXPECT_EQ(blocks[0].properties[1].type, static_cast<std::uint8_t>(StoredType::Bool));
  EXPECT_TRUE(ParsePropertyBlob({}, text).empty());
}

TEST(ReaderProperties, DamagedBlobsAreDamageErrors) {
  TextDecoder text(JetFormat::Jet4);
  const std::vector<std::byte> good = SmallBlob();
  struct Case {
    const char* what;
    std::function<void(std::vector<std::byte>&)> spoil;
  };
  const std::vector<Case> cases = {
      {"no signature", [](auto& b) { b[0] = std::byte{'X'}; }},
      {"cut inside a chunk", [](auto& b) { b.resize(b.size() - 3); }},
      {"chunk length zero (would never move on)", [](auto& b) { b[4] = b[5] = std::byte{0}; }},
      {"chunk longer than the blob", [](auto& b) { b[7] = std::byte{0x7F}; }},
      {"entry names a missing name", [&](auto& b) { b[b.size() - 5] = std::byte{9}; }},
      {"entry shorter than its header", [&](auto& b) { b[b.size() - 9] = std::byte{3}; }},
      {"data longer than its entry", [&](auto& b) { b[b.size() - 3] = std::byte{0x40}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::byte> blob = good;
    c.spoil(blob);
    EXPECT_THROW(ParsePropertyBlob(blob, text), DamageError);
  }
}

}  // namespace
}  // namespace corvid::jet::reader
