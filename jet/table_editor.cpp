#include "jet/table_editor.h"

#include <algorithm>
#include <map>
#include <memory>

#include "jet/byte_order.h"
#include "jet/data_page.h"
#include "jet/header_page.h"
#include "jet/long_value_store.h"
#include "jet/row_encoder.h"
#include "jet/row_fields.h"
#include "jet/row_page.h"
#include "jet/usage_map_update.h"

namespace corvid::jet {
namespace {

constexpr std::size_t kMaxChainRows = 1u << 20;
constexpr std::size_t kRoomyPage = 64;  // free bytes for a page to count as having room

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Reads the header and picks the format; refuses files the editor must not write.
const JetConstants& FormatOf(EditSession& session, const std::string& path) {
  std::vector<std::byte> prefix = session.ReadPrefix(kJet4.pageSize);
  if (prefix.size() < 0x80 || prefix[0] != std::byte{kPageTypeHeader})
    throw WriterError(Quoted(path) + " is not an Access database");
  const auto version = std::to_integer<unsigned>(prefix[kHeaderVersionOffset]);
  if (version >= 2)
    throw WriterError(Quoted(path) +
                      " is an Access 2007 or later (ACE) file; the editor writes Access 97 and "
                      "2000-2003 files only");
  const JetConstants& jet = version == 0 ? kJet3 : kJet4;
  if (prefix.size() < jet.pageSize) throw WriterError(Quoted(path) + " is truncated");
  prefix.resize(jet.pageSize);
  UnmaskHeader(jet, prefix);
  if (Get32(prefix, kHeaderDatabaseKeyOffset) != 0)
    throw WriterError(
        Quoted(path) +
        " has its pages encoded with a database key; the editor cannot write encoded pages");
  session.SetPageSize(jet.pageSize);
  session.SetPageLimit(jet.maxPages);
  return jet;
}

// New long values of one change: each column's values go on new pages.
class NewLongValues final : public LongValueStore {
 public:
  NewLongValues(const JetConstants& jet, EditSession& session) : jet_(jet), session_(session) {}
  std::uint32_t StoreSingle(std::uint16_t column, std::span<const std::byte> value) override {
    return Pages(column).StoreSingle(value);
  }
  std::uint32_t StoreChain(std::uint16_t column, std::span<const std::byte> value) override {
    return Pages(column).StoreChain(value);
  }
  void Flush() {
    for (auto& [column, pages] : columns_) pages->Flush();
  }
  const std::map<std::uint16_t, std::unique_ptr<ColumnLongValuePages>>& Columns() const {
    return columns_;
  }

 private:
  ColumnLongValuePages& Pages(std::uint16_t column) {
    auto& slot = columns_[column];
    if (!slot) slot = std::make_unique<ColumnLongValuePages>(jet_, session_);
    return *slot;
  }
  const JetConstants& jet_;
  EditSession& session_;
  std::map<std::uint16_t, std::unique_ptr<ColumnLongValuePages>> columns_;
};

}  // namespace

// Everything one change needs: the open file, the table as stored, and the
// pages it adds.
struct TableEditor::Change {
  Change(const TableEditor& editor)
      : session(editor.path_, editor.identity_),
        jet(FormatOf(session, editor.path_)),
        table(ReadStoredTable(jet, session, editor.tdefPage_, editor.tableName_)),
        tdefPage(editor.tdefPage_),
        name(editor.tableName_) {
    if (editor.hook_) session.SetWriteHook(editor.hook_);
  }

  RowPage TablePage(RowLocation where) {
    if (where.page == 0 || where.page >= session.OriginalPageCount())
      throw WriterError("row " + std::to_string(where.row) + " of page " +
                        std::to_string(where.page) + " is not a row of table " + Quoted(name));
    RowPage page(jet, session.Read(where.page));
    if (page.Owner() != tdefPage || !page.Exists(where.row) || page.Lookup(where.row))
      throw WriterError("row " + std::to_string(where.row) + " of page " +
                        std::to_string(where.page) + " is not a row of table " + Quoted(name));
    if (page.Deleted(where.row))
      throw WriterError("the row of table " + Quoted(name) + " was deleted");
    return page;
  }

  // Encodes a row; long values go on new pages.
  std::vector<std::byte> Encode(
      std::span<const Value> values, std::int64_t rowNumber,
      std::span<const std::optional<std::vector<std::byte>>> stored = {}) {
    RowEncoder encoder(jet, table.layout);
    std::int32_t next = table.lastAutoNumber + 1;
    try {
      encoder.Prepare(values, rowNumber, next, stored);
    } catch (const RowTooLargeError&) {
      throw;
    } catch (const WriterError& error) {
      throw RowValueError(error.what());
    }
    std::vector<std::byte> row;
    encoder.Assemble(longValues, row);
    longValues.Flush();
    autoNumber = next - 1;
    return row;
  }

  // Puts a new row on the table's last data page when it has room, else on a new page.
  RowLocation Place(std::span<const std::byte> row) {
    const std::vector<std::uint32_t> pages = ReadUsageMap(jet, session, table.usedPagesMap);
    if (!pages.empty() && pages.back() < session.PageCount()) {
      const std::uint32_t last = pages.back();
      const auto& image = session.Read(last);
      if (image[0] == std::byte{kPageTypeData} && Get32(image, jet.dataOwnerOffset) == tdefPage) {
        RowPage page(jet, image);
        if (page.FitsNew(row.size())) {
          const std::uint16_t number = page.Add(row);
          session.Write(last, page.Image());
          return {last, number};
        }
      }
    }
    const std::uint32_t number = session.Allocate(1);
    DataPage empty(jet, tdefPage);
    RowPage page(jet, empty.Bytes());
    const std::uint16_t slot = page.Add(row);
    session.Write(number, page.Image());
    newDataPages.push_back(number);
    return {number, slot};
  }

  // Marks the long-value rows of a stored row deleted, except those of the
  // columns in `kept`.
  void FreeLongValues(std::span<const std::byte> row, const std::vector<std::uint16_t>& kept = {}) {
    for (const StoredLongValue& value : LongValuesOfRow(jet, table.layout, row)) {
      if (std::find(kept.begin(), kept.end(), value.column) != kept.end()) continue;
      if (value.field.size() < kLongValueFieldSize) continue;  // an empty value has no pages
      const std::uint32_t flags = Get32(value.field, 0);
      if (flags & kLongValueInline) continue;
      std::uint32_t pointer = Get32(value.field, 4);
      const bool single = (flags & kLongValueSingleRow) != 0;
      for (std::size_t n = 0; pointer != 0; ++n) {
        if (n == kMaxChainRows)
          throw WriterError("a long value of table " + Quoted(name) +
                            " has a chain that does not end");
        const std::uint32_t page = pointer >> 8;
        const std::uint32_t slot = pointer & 0xFF;
        if (page >= session.PageCount())
          throw WriterError("a long value of table " + Quoted(name) + " points beyond the file");
        RowPage lval(jet, session.Read(page));
        if (lval.Owner() != kLongValueOwner || !lval.Exists(slot))
          throw WriterError("a long value of table " + Quoted(name) +
                            " points to a page that holds none");
        if (lval.Deleted(slot)) break;
        const auto bytes = lval.Row(slot);
        pointer = single || bytes.size() < 4 ? 0 : Get32(bytes, 0);
        lval.Delete(slot);
        session.Write(page, lval.Image());
      }
    }
  }

  void Finish(std::int64_t rowDelta) {
    AddToUsageMap(jet, session, table.usedPagesMap, newDataPages);
    // New pages with room left are listed as such, as the writer lists them
    // (the free-space maps are hints; pages already listed stay listed).
    std::vector<std::uint32_t> roomy;
    for (std::uint32_t page : newDataPages)
      if (RowPage(jet, session.Read(page)).FreeSpace() >= kRoomyPage) roomy.push_back(page);
    if (table.freePagesMap != 0) AddToUsageMap(jet, session, table.freePagesMap, roomy);
    for (const auto& [column, pages] : longValues.Columns()) {
      for (const LongValueMaps& maps : table.longValueMaps) {
        if (maps.column != column) continue;
        if (maps.usedPagesMap != 0) AddToUsageMap(jet, session, maps.usedPagesMap, pages->Pages());
        if (maps.freePagesMap != 0)
          AddToUsageMap(jet, session, maps.freePagesMap, pages->PagesWithFreeSpace());
      }
    }
    std::vector<std::byte> tdef = session.Read(table.tdefPages.front());
    const auto count = static_cast<std::int64_t>(table.rowCount) + rowDelta;
    Put32(tdef, jet.tdefRowCountOffset,
          static_cast<std::uint32_t>(std::max<std::int64_t>(count, 0)));
    if (autoNumber > table.lastAutoNumber)
      Put32(tdef, jet.tdefAutoNumberOffset, static_cast<std::uint32_t>(autoNumber));
    session.Write(table.tdefPages.front(), tdef);
    session.Commit();
  }

  EditSession session;
  const JetConstants& jet;
  StoredTable table;
  std::uint32_t tdefPage;
  std::string name;
  NewLongValues longValues{jet, session};
  std::vector<std::uint32_t> newDataPages;
  std::int32_t autoNumber = 0;
};

TableEditor::TableEditor(std::string path, std::uint32_t tdefPage, std::string tableName,
                         std::optional<FileIdentity> identity)
    : path_(std::move(path)),
      tdefPage_(tdefPage),
      tableName_(std::move(tableName)),
      identity_(identity) {}

StoredTable TableEditor::Check() const {
  Change change(*this);
  return change.table;
}

RowLocation TableEditor::Insert(std::span<const Value> values) {
  Change change(*this);
  const std::vector<std::byte> row =
      change.Encode(values, static_cast<std::int64_t>(change.table.rowCount) + 1);
  const RowLocation at = change.Place(row);
  change.Finish(+1);
  return at;
}

RowLocation TableEditor::Update(RowLocation where, std::span<const Value> values,
                                const std::vector<bool>& keepStored) {
  Change change(*this);
  RowPage page = change.TablePage(where);
  const std::vector<std::byte> old(page.Row(where.row).begin(), page.Row(where.row).end());
  // Long values kept as they are: their fields are copied from the old row.
  const auto& columns = change.table.layout.columns;
  std::vector<Value> adjusted(values.begin(), values.end());
  std::vector<std::optional<std::vector<std::byte>>> stored(columns.size());
  std::vector<std::uint16_t> kept;
  const std::vector<StoredLongValue> oldLongValues =
      LongValuesOfRow(change.jet, change.table.layout, old);
  for (std::size_t i = 0; i < columns.size() && i < keepStored.size() && i < adjusted.size(); ++i) {
    if (!keepStored[i] || !columns[i].longValue) continue;
    adjusted[i] = Null;  // the row held no value
    for (const StoredLongValue& value : oldLongValues)
      if (value.column == columns[i].number) stored[i] = value.field;
    kept.push_back(columns[i].number);
  }
  const std::vector<std::byte> row = change.Encode(adjusted, 1, stored);
  change.FreeLongValues(old, kept);
  RowLocation at = where;
  if (page.FitsReplacement(where.row, row.size())) {
    page.Replace(where.row, row);
    change.session.Write(where.page, page.Image());
  } else {
    page.Delete(where.row);
    change.session.Write(where.page, page.Image());
    at = change.Place(row);
  }
  change.Finish(0);
  return at;
}

void TableEditor::Delete(RowLocation where) {
  Change change(*this);
  RowPage page = change.TablePage(where);
  change.FreeLongValues(page.Row(where.row));
  page.Delete(where.row);
  change.session.Write(where.page, page.Image());
  change.Finish(-1);
}

}  // namespace corvid::jet
