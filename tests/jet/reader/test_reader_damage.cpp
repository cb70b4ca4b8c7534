// Damaged copies of writer-made files: the reader neither crashes nor
// loops, says what it could not read (table, page, row, field), recovers
// rows from pages the usage map no longer leads to, and keeps deleted rows
// deleted.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/database.h"
#include "jet/reader/usage_map.h"
#include "tests/jet/reader/support_reader_fixtures.h"

namespace corvid::jet::reader {
namespace {

struct Image {
  std::vector<std::byte> bytes;
  std::size_t pageSize = 0;

  std::span<std::byte> PageBytes(std::uint32_t page) {
    return std::span<std::byte>(bytes).subspan(page * pageSize, pageSize);
  }
  void Put16(std::size_t at, std::uint16_t v) {
    bytes[at] = std::byte(v & 0xFF);
    bytes[at + 1] = std::byte(v >> 8);
  }
  void Put32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = std::byte((v >> (8 * i)) & 0xFF);
  }
};

struct ReadResult {
  std::vector<Row> rows;
  std::vector<Damage> damage;
  std::size_t unreadable = 0;
};

ReadResult ReadAll(std::span<const std::byte> image, const std::string& table) {
  Database db = Database::OpenImage(image);
  Table t = db.OpenTable(table);
  RowCursor cursor = t.Rows();
  ReadResult result;
  Row row;
  while (cursor.Next(row)) result.rows.push_back(row);
  result.unreadable = cursor.RowsUnreadable();
  result.damage = db.Report().Entries();
  return result;
}

bool Mentions(const std::vector<Damage>& damage, const std::string& table,
              std::optional<std::uint32_t> page, const std::string& words) {
  return std::any_of(damage.begin(), damage.end(), [&](const Damage& d) {
    return d.where.table == table && (!page || d.where.page == page) &&
           d.Text().find(words) != std::string::npos;
  });
}

// Sorted first-column values of the rows read.
std::vector<std::int32_t> Keys(const ReadResult& r) {
  std::vector<std::int32_t> keys;
  for (const Row& row : r.rows) keys.push_back(std::get<std::int32_t>(row.values[0]));
  std::sort(keys.begin(), keys.end());
  return keys;
}

class ReaderDamage : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    path_ = dir_.Path("db.mdb").string();
    testing::WriteAllTypesDatabase(path_, GetParam());
    image_.bytes = testing::ReadFile(path_);
    Database db = Database::Open(path_);
    image_.pageSize = db.Format().pageSize;
    format_ = &db.Format();
    Table everything = db.OpenTable("Everything");
    def_ = everything.Definition();
    dataPages_ = ReadUsageMap(db.Pages(), db.Format(), def_.usedPagesMap).pages;
    Table longs = db.OpenTable("Longs");
    longsDef_ = longs.Definition();
    RowCursor rows = longs.Rows();
    Row row;
    while (rows.Next(row)) {
      const auto& memo = std::get<LongValue>(row.values[1]);
      if (memo.storage == 0 && memo.length > 3 * image_.pageSize) chained_ = memo;
    }
    ASSERT_GT(dataPages_.size(), 1u);
    ASSERT_GT(chained_.length, 0u);
  }

  std::size_t RowSlotOffset(std::uint32_t page, std::size_t row) const {
    return page * image_.pageSize + format_->dataRowCountOffset + 2 + 2 * row;
  }

  testing::TempDir dir_;
  std::string path_;
  Image image_;
  const JetConstants* format_ = nullptr;
  TableDefinition def_, longsDef_;
  std::vector<std::uint32_t> dataPages_;
  LongValue chained_;
};

TEST_P(ReaderDamage, IntactFileReadsWithoutReport) {
  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_EQ(r.rows.size(), 40u);
  EXPECT_TRUE(r.damage.empty());
  for (const Row& row : r.rows) EXPECT_FALSE(row.recovered);
}

TEST_P(ReaderDamage, LongValueChainThatLoopsBackIsDamageNotAHang) {
  // Point the second chain row back at the first.
  Database intact = Database::OpenImage(image_.bytes);
  PagePtr holder;
  const auto first = RowAtPointer(intact.Pages(), intact.Format(), chained_.pointer, holder);
  const std::uint32_t second = Read32(first, 0);
  ASSERT_NE(second, 0u);
  const Page& page = *intact.Pages().Read(second >> 8);
  const RowSlot slot = SlotOf(page, intact.Format(), second & 0xFF);
  image_.Put32((second >> 8) * image_.pageSize + slot.start, chained_.pointer);

  Database db = Database::OpenImage(image_.bytes);
  Table longs = db.OpenTable("Longs");
  try {
    longs.LongValueBytes(chained_);
    FAIL() << "a looping chain was read";
  } catch (const DamageError& e) {
    EXPECT_EQ(e.Where().table, "Longs");
    EXPECT_EQ(e.Where().page, chained_.pointer >> 8);
    EXPECT_NE(std::string(e.what()).find("loops back"), std::string::npos) << e.what();
  }
}

TEST_P(ReaderDamage, LongValueLongerThanTheFileIsDamageNotAnAllocation) {
  LongValue huge = chained_;
  huge.length = 0x3FFFFFFF;
  Database db = Database::OpenImage(image_.bytes);
  EXPECT_THROW(db.OpenTable("Longs").LongValueBytes(huge), DamageError);
}

TEST_P(ReaderDamage, ZeroedUsageMapPageIsRecoveredByScanningOwnedPages) {
  const Database probe = Database::OpenImage(image_.bytes);
  const std::uint32_t mapPage = def_.usedPagesMap >> 8;
  auto page = image_.PageBytes(mapPage);
  std::fill(page.begin(), page.end(), std::byte{0});

  const ReadResult intact = ReadAll(testing::ReadFile(path_), "Everything");
  const ReadResult r = ReadAll(image_.bytes, "Everything");
  ASSERT_EQ(r.rows.size(), 40u);
  EXPECT_EQ(Keys(r), Keys(intact));
  for (const Row& row : r.rows) EXPECT_TRUE(row.recovered);
  EXPECT_TRUE(Mentions(r.damage, "Everything", std::nullopt, "usage map"));
}

TEST_P(ReaderDamage, PageMissingFromTheUsageMapIsFoundAgain) {
  // Clear the usage-map bit of the last data page: the definition's row
  // count no longer matches what the map leads to.
  Database db = Database::OpenImage(image_.bytes);
  PagePtr holder;
  const auto mapRow = RowAtPointer(db.Pages(), db.Format(), def_.usedPagesMap, holder);
  ASSERT_EQ(Read8(mapRow, 0), 0) << "the writer keeps small maps inline";
  const std::uint32_t start = Read32(mapRow, 1);
  const std::uint32_t dropped = dataPages_.back();
  const std::size_t mapStart = static_cast<std::size_t>(mapRow.data() - holder->data()) +
                               (def_.usedPagesMap >> 8) * image_.pageSize;
  const std::size_t bit = dropped - start;
  image_.bytes[mapStart + 5 + bit / 8] &= ~std::byte(1u << (bit % 8));

  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_EQ(r.rows.size(), 40u);
  std::size_t recovered = 0;
  for (const Row& row : r.rows) {
    EXPECT_EQ(row.recovered, row.page == dropped);
    recovered += row.recovered;
  }
  EXPECT_GT(recovered, 0u);
  EXPECT_TRUE(Mentions(r.damage, "Everything", def_.page, "lists 40 rows"));
}

TEST_P(ReaderDamage, ZeroedDataPageLosesOnlyItsRowsAndSaysSo) {
  const std::uint32_t zeroed = dataPages_.front();
  auto page = image_.PageBytes(zeroed);
  std::fill(page.begin(), page.end(), std::byte{0});

  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_LT(r.rows.size(), 40u);
  EXPECT_GT(r.rows.size(), 0u);
  for (const Row& row : r.rows) EXPECT_NE(row.page, zeroed);
  EXPECT_TRUE(Mentions(r.damage, "Everything", zeroed, "not a data page"));
  EXPECT_TRUE(Mentions(r.damage, "Everything", def_.page, "of the 40 rows"));
}

TEST_P(ReaderDamage, DeletedRowsStayDeletedWhenRecovering) {
  const std::uint32_t page = dataPages_.front();
  const std::size_t slot = RowSlotOffset(page, 0);
  image_.Put16(slot, static_cast<std::uint16_t>(Read16(image_.bytes, slot) | kRowDeleted));
  auto map = image_.PageBytes(def_.usedPagesMap >> 8);
  std::fill(map.begin(), map.end(), std::byte{0});

  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_EQ(r.rows.size(), 39u);
  for (const Row& row : r.rows) EXPECT_FALSE(row.page == page && row.row == 0);
}

TEST_P(ReaderDamage, RowOffsetsOutsideThePageAreReportedWithPageAndRow) {
  // The last row of the page: no other row ends where it starts.
  const std::uint32_t page = dataPages_.front();
  const int last =
      static_cast<int>(Read16(image_.bytes, page * image_.pageSize + format_->dataRowCountOffset)) -
      1;
  image_.Put16(RowSlotOffset(page, static_cast<std::size_t>(last)), 0x1FFF);

  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_EQ(r.unreadable, 1u);
  EXPECT_EQ(r.rows.size(), 39u);
  const bool named = std::any_of(r.damage.begin(), r.damage.end(), [&](const Damage& d) {
    return d.where.table == "Everything" && d.where.page == page && d.where.row == last;
  });
  EXPECT_TRUE(named);
}

TEST_P(ReaderDamage, VariableOffsetOutsideTheRowNamesTheField) {
  // The last byte before the null mask of row 0 is the variable column
  // count (Jet 3: one byte; Jet 4: two); make it claim more columns than fit.
  const std::uint32_t page = dataPages_.front();
  Database db = Database::OpenImage(image_.bytes);
  const Page& bytes = *db.Pages().Read(page);
  const RowSlot slot = SlotOf(bytes, db.Format(), 0);
  const std::size_t maskSize = (def_.columns.size() + 7) / 8;
  const std::size_t countAt = page * image_.pageSize + slot.end - maskSize - format_->rowOffsetSize;
  // Offset entry 0 (the first variable column's start) points past the row.
  const std::size_t firstEntry =
      countAt - format_->rowOffsetSize - (GetParam() ? (slot.end - slot.start - 1) / 256 : 0);
  image_.bytes[firstEntry] = std::byte{0xFF};
  if (!GetParam()) image_.bytes[firstEntry + 1] = std::byte{0x0F};

  const ReadResult r = ReadAll(image_.bytes, "Everything");
  EXPECT_EQ(r.unreadable, 1u);
  EXPECT_EQ(r.rows.size(), 39u);
  EXPECT_TRUE(Mentions(r.damage, "Everything", page, "variable offset")) << r.damage.size();
}

TEST_P(ReaderDamage, TruncatedFileNeverCrashesAndReportsWhatIsMissing) {
  for (double fraction : {0.25, 0.5, 0.9}) {
    SCOPED_TRACE(fraction);
    std::vector<std::byte> cut(
        image_.bytes.begin(),
        image_.bytes.begin() + static_cast<std::ptrdiff_t>(image_.bytes.size() * fraction));
    try {
      Database db = Database::OpenImage(cut);
      std::size_t rows = 0, tables = 0;
      for (const std::string& name : db.TableNames()) {
        try {
          Table t = db.OpenTable(name);
          RowCursor cursor = t.Rows();
          Row row;
          while (cursor.Next(row)) {
            ++rows;
            for (const Value& v : row.values)
              if (const auto* lv = std::get_if<LongValue>(&v)) {
                try {
                  t.LongValueBytes(*lv);
                } catch (const DamageError&) {
                }
              }
          }
          ++tables;
        } catch (const DamageError&) {
        }
      }
      EXPECT_FALSE(db.Report().Empty())
          << "a file cut to " << cut.size() << " bytes read " << rows << " rows";
    } catch (const JetError&) {
      // The catalog itself lay beyond the cut.
    }
  }
}

TEST_P(ReaderDamage, TableDefinitionThatClaimsTooManyColumnsIsDamage) {
  image_.Put16(def_.page * image_.pageSize + format_->tdefColumnCountOffset, 0xFFFF);
  Database db = Database::OpenImage(image_.bytes);
  try {
    db.OpenTable("Everything");
    FAIL() << "an impossible column count was accepted";
  } catch (const DamageError& e) {
    EXPECT_EQ(e.Where().table, "Everything");
    EXPECT_EQ(e.Where().page, def_.page);
  }
}

TEST_P(ReaderDamage, TableDefinitionChainThatLoopsIsDamage) {
  image_.Put32(def_.page * image_.pageSize + 4, def_.page);
  Database db = Database::OpenImage(image_.bytes);
  EXPECT_THROW(db.OpenTable("Everything"), DamageError);
}

INSTANTIATE_TEST_SUITE_P(Versions, ReaderDamage, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Jet3" : "Jet4"; });

}  // namespace
}  // namespace corvid::jet::reader
