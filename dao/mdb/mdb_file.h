#pragma once
// An Access file opened read-only for the engine: our own descriptor holding
// the advisory lock, the parsed header and libmdb's handle with the catalog.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dao/mdb/engine_context.h"
#include "dao/mdb/libmdb.h"
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
  MdbHandle* handle() const { return mdb_; }
  bool locked() const { return locked_; }
  // Whole pages in the file.
  unsigned long pageCount() const { return pageCount_; }

  // Puts `page` into libmdb's page buffer unless it is there already.
  // Returns false when the page cannot be read.
  bool LoadPage(unsigned long page);
  // Marks the page buffer as changed by libmdb itself (a scan step).
  void NotePageLoaded(unsigned long page) { loadedPage_ = static_cast<long>(page); }
  // Page `page` for reading long values, or nullptr when it cannot be read.
  // Pages are read ahead in runs (one system call for many consecutive
  // pages, as long-value chains mostly are); valid until the next call.
  const unsigned char* LongValuePage(unsigned long page);

  // libmdb changed its page buffer on its own (catalog, table definition).
  void ForgetPage() { loadedPage_ = -1; }

  // Whether the database was opened for writing (not read-only); the file
  // itself stays open read-only, a change opens it for its own duration.
  bool writable() const { return writable_; }
  void SetWritable(bool writable) { writable_ = writable; }
  // The device and inode of the open file.
  std::pair<unsigned long, unsigned long> identity() const;
  // The file was changed through this engine: re-read its size and drop the
  // pages held in memory. Each refresh starts a new generation, so that rows
  // cracked before it are cracked again.
  void Refresh();
  unsigned generation() const { return generation_; }
  long loadedPage() const { return loadedPage_; }

 private:
  AccessFile() = default;
  static void CheckCatalog(const std::shared_ptr<AccessFile>& file,
                           const EngineContextPtr& context);
  std::string path_;
  int fd_ = -1;
  bool locked_ = false;
  bool writable_ = false;
  unsigned generation_ = 0;
  unsigned long pageCount_ = 0;
  MdbHeader header_;
  MdbHandle* mdb_ = nullptr;
  long loadedPage_ = -1;
  std::vector<unsigned char> window_;  // read-ahead pages for long values
  unsigned long windowFirst_ = 0;
  unsigned long windowPages_ = 0;
};

}  // namespace corvid::dao
