#include "jet/mdb_writer.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <set>

#include "jet/byte_order.h"
#include "jet/data_page.h"
#include "jet/header_page.h"
#include "jet/jet_format.h"
#include "jet/long_value_store.h"
#include "jet/page_file.h"
#include "jet/row_encoder.h"
#include "jet/system_catalog.h"
#include "jet/table_definition.h"
#include "jet/table_layout.h"
#include "jet/text_encoding.h"
#include "jet/usage_map.h"

namespace corvid::jet {
namespace {

// The FileData value of an attached file: the flag (1 compressed, 0 as is),
// the length of the content, then the content (a header naming the file's
// extension, then the file), zlib-compressed when asked.
Bytes EncodeAttachment(const AttachmentFile& file, const std::string& extension) {
  Bytes header;
  ByteAppender h(header);
  const std::u16string units = Utf8ToUtf16(extension);
  const auto extensionUnits = static_cast<std::uint32_t>(units.empty() ? 0 : units.size() + 1);
  h.U32(12 + 2 * extensionUnits);
  h.U32(1);
  h.U32(extensionUnits);
  if (!units.empty()) {
    h.Bytes(EncodeUcs2(units));
    h.U16(0);
  }
  const std::uint64_t contentLength = header.size() + file.data.size();
  if (contentLength > 0x3FFFFFFFu)
    throw WriterError("attachment \"" + file.fileName + "\" is larger than 1 GiB");
  Bytes out;
  ByteAppender o(out);
  o.U32(file.compress ? 1 : 0);
  o.U32(static_cast<std::uint32_t>(contentLength));
  if (!file.compress) {
    o.Bytes(header);
    o.Bytes(file.data);
    return out;
  }
  z_stream z{};
  if (deflateInit(&z, std::clamp(file.compressionLevel, 1, 9)) != Z_OK)
    throw WriterError("zlib could not start");
  struct End {
    z_stream& z;
    ~End() { deflateEnd(&z); }
  } end{z};
  const std::size_t prefix = out.size();
  out.resize(prefix + deflateBound(&z, static_cast<uLong>(contentLength)));
  z.next_out = reinterpret_cast<Bytef*>(out.data() + prefix);
  z.avail_out = static_cast<uInt>(out.size() - prefix);
  auto feed = [&](std::span<const std::byte> bytes, int flush) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    const int rc = deflate(&z, flush);
    if (rc != (flush == Z_FINISH ? Z_STREAM_END : Z_OK))
      throw WriterError("zlib could not compress an attachment");
  };
  feed(header, Z_NO_FLUSH);
  feed(file.data, Z_FINISH);
  out.resize(prefix + z.total_out);
  return out;
}

// The extension of a file name: after its last ".", unless a separator follows.
std::string FileExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find_first_of("/\\:", dot + 1) != std::string::npos)
    return {};
  return name.substr(dot + 1);
}

constexpr std::uint32_t kHeaderPage = 0;
constexpr std::uint32_t kMapPage = 1;
constexpr std::uint32_t kCatalogPage = 2;

// A table being filled: its layout, the data page under construction and the
// pages already written.
class TableState final : public TableWriter, private LongValueStore {
 public:
  TableState(const JetConstants& jet, TableDef def, TableLayout layout,
             std::vector<std::uint32_t> tdefPages, PageFile& file, bool& usable)
      : jet_(jet),
        def_(std::move(def)),
        layout_(std::move(layout)),
        tdefPages_(std::move(tdefPages)),
        file_(file),
        usable_(usable),
        encoder_(jet_, layout_),
        page_(jet_, tdefPages_.front()) {
    for (const ColumnLayout& c : layout_.columns)
      if (c.longValue) longValues_.emplace(c.number, ColumnLongValuePages(jet_, file_));
  }

  void AddRow(std::span<const Value> values) override {
    if (!usable_)
      throw WriterError("the database writer has finished or failed; no more rows can be added");
    // A value the table cannot take is rejected with nothing written; the
    // writer stays usable.
    std::int32_t autoNumber = nextAutoNumber_;
    encoder_.Prepare(values, rowCount_ + 1, autoNumber);
    // From here on a failure (disk full, I/O error) would leave the pages
    // inconsistent: the writer gives up and the file is never published.
    try {
      encoder_.Assemble(*this, row_);
      if (!page_.Fits(row_.size())) FlushPage();
      page_.AddRow(row_);
    } catch (...) {
      usable_ = false;
      throw;
    }
    nextAutoNumber_ = autoNumber;
    ++rowCount_;
  }
  std::int64_t RowCount() const override { return rowCount_; }
  const TableDef& Definition() const override { return def_; }

  void AddAttachment(std::string_view column, std::int32_t key,
                     const AttachmentFile& file) override {
    if (!usable_)
      throw WriterError("the database writer has finished or failed; no more rows can be added");
    TableState* hidden = nullptr;
    for (auto& [name, table] : attachmentTables_)
      if (NameKey(name) == NameKey(column)) hidden = table;
    if (!hidden)
      throw WriterError("table \"" + def_.name + "\" has no Attachment column \"" +
                        std::string(column) + "\"");
    const std::size_t characters = Utf8ToUtf16(file.fileName).size();
    if (characters == 0 || characters > 255)
      throw WriterError("an attachment of table \"" + def_.name +
                        "\" needs a file name of 1..255 characters");
    const std::string extension = FileExtension(file.fileName);
    const Bytes stored = EncodeAttachment(file, extension);
    const Value values[] = {
        std::int64_t{key}, ByteView{stored}, Null, file.fileName, Null, extension, Null, Null};
    hidden->AddRow(values);
  }
  // The hidden table that holds the files of Attachment column `column`.
  void SetAttachmentTable(const std::string& column, TableState* table) {
    attachmentTables_.emplace_back(column, table);
  }

  void FlushPage() {
    if (page_.Empty()) return;
    dataPages_.push_back(file_.Append(page_.Bytes()));
    lastPageFree_ = page_.FreeSpace();
    page_.Reset();
  }
  // Writes everything still in memory (at Finish).
  void Flush() {
    FlushPage();
    for (auto& [column, pages] : longValues_) pages.Flush();
  }
  const std::map<std::uint16_t, ColumnLongValuePages>& LongValuePages() const {
    return longValues_;
  }

  const TableLayout& Layout() const { return layout_; }
  const std::vector<std::uint32_t>& TdefPages() const { return tdefPages_; }
  const std::vector<std::uint32_t>& DataPages() const { return dataPages_; }
  std::int32_t LastAutoNumber() const { return nextAutoNumber_ - 1; }
  // Pages with room for more rows: the last page, when it has any.
  std::vector<std::uint32_t> PagesWithFreeSpace() const {
    if (dataPages_.empty() || lastPageFree_ < 64) return {};
    return {dataPages_.back()};
  }

 private:
  std::uint32_t StoreSingle(std::uint16_t column, std::span<const std::byte> value) override {
    return longValues_.at(column).StoreSingle(value);
  }
  std::uint32_t StoreChain(std::uint16_t column, std::span<const std::byte> value) override {
    return longValues_.at(column).StoreChain(value);
  }

  const JetConstants& jet_;
  TableDef def_;
  TableLayout layout_;
  std::vector<std::uint32_t> tdefPages_;
  PageFile& file_;
  std::map<std::uint16_t, ColumnLongValuePages> longValues_;
  bool& usable_;
  RowEncoder encoder_;
  DataPage page_;
  std::vector<std::byte> row_;
  std::vector<std::uint32_t> dataPages_;
  std::size_t lastPageFree_ = 0;
  std::int64_t rowCount_ = 0;
  std::int32_t nextAutoNumber_ = 1;
  std::vector<std::pair<std::string, TableState*>> attachmentTables_;
};

}  // namespace

class MdbWriter::Impl {
  // Any failure leaves the writer unusable (the temporary is removed with it).
  template <class F>
  auto Guard(F&& f) {
    try {
      return f();
    } catch (...) {
      usable_ = false;
      throw;
    }
  }

 public:
  Impl(std::string path, WriterOptions options)
      : jet_(ConstantsFor(options.format)),
        options_(std::move(options)),
        path_(std::move(path)),
        file_(path_, jet_.pageSize, jet_.maxPages) {
    // The header is checked now so that a bad password fails early.
    header_ = BuildHeaderPage(
        jet_, HeaderFields{options_.password, options_.creationDate, options_.sortOrder, 1252});
    file_.Allocate(3);  // header, usage maps, catalog tdef
    for (const auto& name : SystemTableNames()) names_.insert(NameKey(name));
    for (const auto& def : AceSystemTableDefinitions()) names_.insert(NameKey(def.name));
  }

  TableWriter& AddTable(TableDef definition) {
    if (!usable_)
      throw WriterError("the database writer has finished or failed; no more tables can be added");
    TableLayout layout = LayoutTable(jet_, definition);
    if (names_.contains(NameKey(definition.name)))
      throw WriterError("the database already has a table named \"" + definition.name + "\"");
    // Every Attachment column brings a hidden table for its files.
    std::vector<std::pair<std::string, TableLayout>> hidden;
    for (ColumnLayout& c : layout.columns) {
      if (c.def.type != ColumnType::Attachment) continue;
      c.complexId = nextComplexId_ + static_cast<std::uint32_t>(hidden.size());
      TableDef flat = AttachmentTableDefinition(definition.name, c.def.name, c.complexId);
      TableLayout flatLayout = LayoutTable(jet_, flat);
      if (names_.contains(NameKey(flat.name)))
        throw WriterError("the database already has a table named \"" + flat.name + "\"");
      hidden.emplace_back(c.def.name, std::move(flatLayout));
    }
    names_.insert(NameKey(definition.name));
    auto allocate = [&](const TableLayout& l) {
      const auto count = static_cast<std::uint32_t>(TableDefinitionPageCount(jet_, l));
      const std::uint32_t first = Guard([&] { return file_.Allocate(count); });
      std::vector<std::uint32_t> pages;
      for (std::uint32_t k = 0; k < count; ++k) pages.push_back(first + k);
      return pages;
    };
    std::vector<std::uint32_t> tdefPages = allocate(layout);
    tables_.push_back(std::make_unique<TableState>(jet_, std::move(definition), std::move(layout),
                                                   std::move(tdefPages), file_, usable_));
    TableState& table = *tables_.back();
    for (auto& [column, flatLayout] : hidden) {
      names_.insert(NameKey(flatLayout.name));
      std::vector<std::uint32_t> pages = allocate(flatLayout);
      TableDef flatDef = AttachmentTableDefinition(table.Definition().name, column, nextComplexId_);
      tables_.push_back(std::make_unique<TableState>(
          jet_, std::move(flatDef), std::move(flatLayout), std::move(pages), file_, usable_));
      table.SetAttachmentTable(column, tables_.back().get());
      hiddenTables_.insert(tables_.back().get());
      complexColumns_.push_back({column, nextComplexId_, 0, tables_.back()->TdefPages().front(),
                                 table.TdefPages().front()});
      ++nextComplexId_;
    }
    return table;
  }

  void AddQuery(StoredQuery query) {
    if (!usable_) throw WriterError("the database writer has already finished or failed");
    if (query.name.empty()) throw WriterError("a stored query needs a name");
    if (!names_.insert(NameKey(query.name)).second)
      throw WriterError("the database already has a table or query named \"" + query.name + "\"");
    queries_.push_back(std::move(query));
  }

  void Finish() {
    if (!usable_) throw WriterError("the database writer has already finished or failed");
    Guard([&] {
      for (auto& t : tables_) t->Flush();
      WriteCatalogAndMaps();
      file_.Write(kHeaderPage, header_);
      file_.Commit();
      return 0;
    });
    usable_ = false;
  }

  const std::string& Path() const { return path_; }
  std::uint64_t PagesWritten() const { return file_.PageCount(); }

 private:
  void WriteCatalogAndMaps() {
    // System tables: the catalog lives at page 2; the others get their pages now.
    std::vector<std::unique_ptr<TableState>> system;
    std::vector<TableDef> systemDefs = SystemTableDefinitions();
    if (jet_.format == JetFormat::Ace2007)
      for (const TableDef& def : AceSystemTableDefinitions()) systemDefs.push_back(def);
    for (const TableDef& def : systemDefs) {
      TableLayout layout = LayoutTable(jet_, def, true);
      std::vector<std::uint32_t> pages;
      const auto count = static_cast<std::uint32_t>(TableDefinitionPageCount(jet_, layout));
      if (def.name == kCatalogTableName) {
        if (count != 1) throw WriterError("internal error: catalog definition exceeds a page");
        pages.push_back(kCatalogPage);
      } else {
        const std::uint32_t first = file_.Allocate(count);
        for (std::uint32_t k = 0; k < count; ++k) pages.push_back(first + k);
      }
      system.push_back(std::make_unique<TableState>(jet_, def, std::move(layout), std::move(pages),
                                                    file_, catalogOpen_));
    }
    std::vector<CatalogEntry> entries;
    for (const auto& t : system) {
      CatalogEntry e{t->Definition().name, t->TdefPages().front(), true};
      if (e.name == kAttachmentTemplateName) {
        e.flags = kTemplateTableFlags;
        for (ComplexColumnEntry& c : complexColumns_) c.templatePage = e.tdefPage;
      }
      entries.push_back(std::move(e));
    }
    for (const auto& t : tables_) {
      CatalogEntry e{t->Definition().name, t->TdefPages().front(), false};
      if (hiddenTables_.contains(t.get())) e.flags = kHiddenTableFlags;
      entries.push_back(std::move(e));
    }
    TableState& catalog = *system.front();
    for (const auto& row : CatalogRows(entries, options_.creationDate, queries_))
      catalog.AddRow(row);
    for (auto& t : system)
      if (t->Definition().name == "MSysQueries")
        for (const auto& row : QueryRows(queries_)) t->AddRow(row);
      else if (t->Definition().name == kComplexColumnsTableName)
        for (const auto& row : ComplexColumnRows(complexColumns_)) t->AddRow(row);
    catalogOpen_ = false;
    for (auto& t : system) t->Flush();

    // Usage maps: rows on page 1 (after the global free-page map) and further map pages.
    std::vector<TableState*> all;
    for (auto& t : system) all.push_back(t.get());
    for (auto& t : tables_) all.push_back(t.get());
    DataPage mapPage(jet_, kMapPage);
    std::uint32_t mapPageNumber = kMapPage;
    auto allocate = [this] { return file_.Allocate(1); };
    auto addMapRow = [&](const std::vector<std::byte>& row) -> std::uint32_t {
      if (!mapPage.Fits(row.size())) {
        file_.Write(mapPageNumber, mapPage.Bytes());
        mapPage.Reset();
        mapPageNumber = file_.Allocate(1);
      }
      return (mapPageNumber << 8) | mapPage.AddRow(row);
    };
    addMapRow(BuildUsageMap(jet_, {}, allocate).row);  // no free pages in the file
    std::map<const TableState*, TableStatistics> stats;
    // Stores a usage map (bitmap pages and row) and returns the row's pointer.
    auto storeMap = [&](const std::vector<std::uint32_t>& pages) {
      UsageMap map = BuildUsageMap(jet_, pages, allocate);
      for (auto& [number, bytes] : map.bitmapPages) file_.Write(number, bytes);
      return addMapRow(map.row);
    };
    for (TableState* t : all) {
      TableStatistics s;
      s.rowCount = static_cast<std::uint32_t>(t->RowCount());
      s.lastAutoNumber = t->LastAutoNumber();
      s.usedPagesMap = storeMap(t->DataPages());
      s.freePagesMap = storeMap(t->PagesWithFreeSpace());
      for (const auto& [column, pages] : t->LongValuePages())
        s.longValueMaps.push_back(
            {column, storeMap(pages.Pages()), storeMap(pages.PagesWithFreeSpace())});
      stats[t] = s;
    }
    file_.Write(mapPageNumber, mapPage.Bytes());

    for (TableState* t : all) {
      const auto pages = BuildTableDefinition(jet_, t->Layout(), stats[t], t->TdefPages());
      for (std::size_t k = 0; k < pages.size(); ++k) file_.Write(t->TdefPages()[k], pages[k]);
    }
  }

  const JetConstants& jet_;
  WriterOptions options_;
  std::string path_;
  PageFile file_;
  std::vector<std::byte> header_;
  std::vector<std::unique_ptr<TableState>> tables_;
  std::vector<StoredQuery> queries_;
  std::set<std::u16string> names_;
  bool usable_ = true;
  bool catalogOpen_ = true;
  std::uint32_t nextComplexId_ = 1;
  std::set<const TableState*> hiddenTables_;
  std::vector<ComplexColumnEntry> complexColumns_;
};

MdbWriter::MdbWriter(std::string path, WriterOptions options)
    : impl_(std::make_unique<Impl>(std::move(path), std::move(options))) {}
MdbWriter::~MdbWriter() = default;
TableWriter& MdbWriter::AddTable(TableDef definition) {
  return impl_->AddTable(std::move(definition));
}
void MdbWriter::AddQuery(StoredQuery query) { impl_->AddQuery(std::move(query)); }
void MdbWriter::Finish() { impl_->Finish(); }
const std::string& MdbWriter::Path() const { return impl_->Path(); }
std::uint64_t MdbWriter::PagesWritten() const { return impl_->PagesWritten(); }

}  // namespace corvid::jet
