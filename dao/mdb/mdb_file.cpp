#include "dao/mdb/mdb_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "SrcLib/file_lock.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_values.h"
#include "dao/mdb/table_rows.h"

namespace corvid::dao {
namespace {

std::string Quoted(std::string_view path) { return "'" + std::string(path) + "'"; }

std::string ParentOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads exactly `length` bytes at `offset`; false on a short read.
bool ReadAt(int fd, std::byte* into, std::size_t length, off_t offset) {
  while (length > 0) {
    ssize_t got = ::pread(fd, into, length, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    length -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

}  // namespace

// libmdb reads the catalog without noticing pages that are missing: its scan
// stops quietly (tables vanish) and a property block cut short is parsed as
// garbage. Walk the catalog table first, with the check for pages past the
// end of the file and every long value read in full.
void AccessFile::CheckCatalog(const std::shared_ptr<AccessFile>& file,
                              const EngineContextPtr& context) {
  MdbCatalogEntry catalog{};
  catalog.mdb = file->mdb_;
  std::strcpy(catalog.object_name, "MSysObjects");
  catalog.object_type = MDB_TABLE;
  catalog.table_pg = 2;
  TableRows rows(file, &catalog, context);
  std::vector<std::byte> value;
  for (std::int32_t row = 0; rows.Has(row); ++row) {
    const auto& fields = rows.Crack(row);
    for (int column = 0; column < rows.columnCount(); ++column) {
      if (!IsLongValue(rows.column(column))) continue;
      try {
        ReadLongValue(*file, fields[static_cast<std::size_t>(column)], value);
      } catch (const std::runtime_error&) {
        context->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file->path_ +
                                                "': the system catalog is damaged or truncated.");
      }
      rows.Crack(row);  // the row's page again, for the next column
    }
  }
}

std::shared_ptr<AccessFile> AccessFile::Open(const EngineContextPtr& context,
                                             std::string_view pathText, bool exclusive,
                                             std::string_view password) {
  std::string path(pathText);
  const std::string quoted = Quoted(path);
  if (path.empty()) context->Raise(kPathNotValid, "'' is not a valid path.");

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int error = errno;
    if (error == ENOENT && IsDirectory(ParentOf(path)))
      context->Raise(kFileNotFound, "Could not find file " + quoted + ".");
    if (error == EACCES)
      context->Raise(kCannotOpenFile, "The database engine cannot open the file " + quoted +
                                          ": you need permission to read it.");
    context->Raise(kPathNotValid,
                   quoted +
                       " is not a valid path. Make sure that the path name is spelled "
                       "correctly and that the folder exists.");
  }
  if (S_ISDIR(st.st_mode))
    context->Raise(kUnrecognizedFormat,
                   "Unrecognized database format " + quoted + ": it is a directory, not a file.");
  if (!S_ISREG(st.st_mode))
    context->Raise(kUnrecognizedFormat,
                   "Unrecognized database format " + quoted + ": it is not a regular file.");

  std::shared_ptr<AccessFile> file(new AccessFile());
  file->path_ = path;
  file->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file->fd_ < 0) {
    int error = errno;
    context->Raise(kCannotOpenFile, "The database engine cannot open the file " + quoted + ": " +
                                        std::strerror(error) + ".");
  }

  switch (LockWholeFile(file->fd_, exclusive)) {
    case FileLockResult::Locked:
      file->locked_ = true;
      break;
    case FileLockResult::InUse:
      context->Raise(kFileInUse, "Could not use " + quoted + "; file already in use.");
    case FileLockResult::Unavailable:
      break;  // locks are unavailable here: open without one
  }

  std::vector<std::byte> first(4096);
  std::size_t firstLength =
      std::min<std::size_t>(first.size(), static_cast<std::size_t>(st.st_size));
  if (!ReadAt(file->fd_, first.data(), firstLength, 0))
    context->Raise(kUnrecognizedFormat, "Unrecognized database format " + quoted + ".");
  first.resize(firstLength);
  auto header = ParseMdbHeader(first);
  if (!header)
    context->Raise(kUnrecognizedFormat,
                   "Unrecognized database format " + quoted + ": it is not an Access database.");
  file->header_ = *header;

  const auto pageSize = static_cast<off_t>(header->pageSize);
  if (st.st_size < 3 * pageSize || st.st_size % pageSize != 0)
    context->Raise(kUnrecognizedFormat, "Unrecognized database format " + quoted +
                                            ": the file is truncated or damaged.");
  file->pageCount_ = static_cast<unsigned long>(st.st_size / pageSize);

  // The system catalog's definition is page 2; an ACE file encrypted with a
  // database password has its pages scrambled from there on.
  std::byte pageType{};
  if (!ReadAt(file->fd_, &pageType, 1, 2 * pageSize) || pageType != std::byte{2}) {
    if (header->format == MdbFormat::Ace)
      context->Raise(kUnrecognizedFormat,
                     "Cannot open " + quoted +
                         ": the file is encrypted with a database password (Office encryption), "
                         "which this engine does not support.");
    context->Raise(kUnrecognizedFormat,
                   "Unrecognized database format " + quoted + ": the system catalog is damaged.");
  }

  if (header->password != password) context->Raise(kNotValidPassword, "Not a valid password.");

  file->mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!file->mdb_)
    context->Raise(kUnrecognizedFormat, "Unrecognized database format " + quoted + ".");
  CheckCatalog(file, context);
  if (!mdb_read_catalog(file->mdb_, MDB_ANY))
    context->Raise(kUnrecognizedFormat, "Unrecognized database format " + quoted + ".");
  file->ForgetPage();
  return file;
}

AccessFile::~AccessFile() {
  if (mdb_) mdb_close(mdb_);
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

const unsigned char* AccessFile::LongValuePage(unsigned long page) {
  const auto pageSize = static_cast<std::size_t>(header_.pageSize);
  if (page >= pageCount_) return nullptr;
  // Files encoded by Jet (a database key) need libmdb's page decoding.
  if (mdb_->f->db_key != 0)
    return mdb_read_alt_pg(mdb_, page) == mdb_->fmt->pg_size ? mdb_->alt_pg_buf : nullptr;
  if (page >= windowFirst_ && page < windowFirst_ + windowPages_)
    return window_.data() + (page - windowFirst_) * pageSize;
  constexpr unsigned long kReadAheadPages = 64;
  const unsigned long count = std::min(kReadAheadPages, pageCount_ - page);
  window_.resize(static_cast<std::size_t>(kReadAheadPages) * pageSize);
  windowPages_ = 0;
  if (!ReadAt(fd_, reinterpret_cast<std::byte*>(window_.data()), count * pageSize,
              static_cast<off_t>(page * pageSize)))
    return nullptr;
  windowFirst_ = page;
  windowPages_ = count;
  return window_.data();
}

std::pair<unsigned long, unsigned long> AccessFile::identity() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return {0, 0};
  return {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino)};
}

void AccessFile::Refresh() {
  struct stat st {};
  if (::fstat(fd_, &st) == 0) pageCount_ = static_cast<unsigned long>(st.st_size) / header_.pageSize;
  windowPages_ = 0;
  loadedPage_ = -1;
  ++generation_;
  // libmdb reads through a stdio stream, whose buffer may still hold the
  // old bytes of a changed page; flushing an input stream drops them.
  if (mdb_ && mdb_->f && mdb_->f->stream) std::fflush(mdb_->f->stream);
  // libmdb skips reading the page its buffer last held.
  if (mdb_) mdb_->cur_pg = 0;
}

bool AccessFile::LoadPage(unsigned long page) {
  if (loadedPage_ == static_cast<long>(page)) return true;
  loadedPage_ = -1;
  if (mdb_read_pg(mdb_, page) != mdb_->fmt->pg_size) return false;
  loadedPage_ = static_cast<long>(page);
  return true;
}

}  // namespace corvid::dao
