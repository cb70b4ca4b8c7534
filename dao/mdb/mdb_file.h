#pragma once
// An Access file opened read-only for the engine: our own descriptor holding
// the advisory lock, the parsed header, and the Jet reader with the catalog.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dao/mdb/engine_context.h"
#include "jet/reader/database.h"
#include "dao/mdb/mdb_header.h"

namespace corvid::dao {

class AccessFile {
 public:
  // Opens `path` (exclusive: LOCK_EX, else LOCK_SH; no lock where locks are
  // unavailable), checks the format and the database password `password`
  // (compared exactly), and reads the catalog. Failures are raised through
  // `context` with DAO's numbers: 3024, 3044, 3051, 3045, 3343, 3031.
  static std::shared_ptr<AccessFile> Open(const EngineContextPtr& context, std::string_view path,
                                          bool exclusive, std::string_view password);
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  const std::string& path() const { return path_; }
  const MdbHeader& header() const { return header_; }
  bool locked() const { return locked_; }
  // Whole pages in the file.
  unsigned long pageCount() const { return pageCount_; }
  // The reader over the file; replaced by Refresh, so take it anew after
  // a change.
  jet::reader::Database& reader() { return *reader_; }
  // The catalog's entries (MSysObjects rows) as read when the file opened.
  const std::vector<jet::reader::CatalogEntry>& catalog() const { return catalog_; }
  // The entry of the table named `name` (case-insensitive); nullptr when none.
  const jet::reader::CatalogEntry* FindTable(const std::string& name) const;
  // Whether the header says the pages are encoded or encrypted.
  bool encrypted() const { return encrypted_; }

  // Whether the database was opened for writing (not read-only); the file
  // itself stays open read-only, a change opens it for its own duration.
  bool writable() const { return writable_; }
  void SetWritable(bool writable) { writable_ = writable; }
  // The device and inode of the open file.
  std::pair<unsigned long, unsigned long> identity() const;
  // The file was changed through this engine: re-read its size and drop the
  // pages held in memory (the reader opens the file anew). Each refresh
  // starts a new generation, so that rows read before it are read again.
  void Refresh();
  unsigned generation() const { return generation_; }

  // The reader's damage reports found since the last call, one line each.
  std::vector<std::string> TakeDamageNotes();

 private:
  AccessFile() = default;
  void OpenReader();
  std::string path_;
  int fd_ = -1;
  bool locked_ = false;
  bool writable_ = false;
  unsigned generation_ = 0;
  unsigned long pageCount_ = 0;
  MdbHeader header_;
  std::string password_;
  bool encrypted_ = false;
  std::unique_ptr<jet::reader::Database> reader_;
  std::vector<jet::reader::CatalogEntry> catalog_;
  std::size_t damageSeen_ = 0;             // report entries already handed out
  std::vector<std::string> earlierNotes_;  // of readers replaced by Refresh
};

// Whether the usage map in row `mapRow` (page << 8 | row), or pages it
// lists, lie past the end of the file: the file was cut short.
bool MapCutShort(jet::reader::Database& reader, std::uint32_t mapRow);
// The same for the catalog's map.
bool CatalogCutShort(jet::reader::Database& reader);

}  // namespace corvid::dao
