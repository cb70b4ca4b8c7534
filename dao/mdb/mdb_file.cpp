#include "dao/mdb/mdb_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <algorithm>
#include <vector>

#include "SrcLib/file_lock.h"
#include "dao/engine/dao_constants.h"
#include "SrcLib/text_case.h"
#include "jet/jet_format.h"
#include "jet/reader/usage_map.h"

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

// Whether pages of the catalog (MSysObjects) lie past the end of the file.
bool CatalogCutShort(jet::reader::Database& reader) {
  jet::reader::Table catalog = reader.OpenTableAt(jet::reader::kCatalogPage, "MSysObjects");
  return MapCutShort(reader, catalog.Definition().usedPagesMap);
}

bool MapCutShort(jet::reader::Database& reader, std::uint32_t mapRow) {
  if ((mapRow >> 8) >= reader.Pages().PageCount()) return true;
  try {
    return jet::reader::ReadUsageMap(reader.Pages(), reader.Format(), mapRow).pagesBeyondFile > 0;
  } catch (const jet::reader::DamageError&) {
    return false;  // damage, not a cut: the reader reports it and recovers
  }
}

void AccessFile::OpenReader() {
  jet::reader::OpenOptions options;
  options.password = password_;
  reader_ = std::make_unique<jet::reader::Database>(jet::reader::Database::Open(path_, options));
  damageSeen_ = 0;
}

const jet::reader::CatalogEntry* AccessFile::FindTable(const std::string& name) const {
  for (const auto& entry : catalog_)
    if (entry.IsTable() && SameText(entry.name, name)) return &entry;
  return nullptr;
}

std::vector<std::string> AccessFile::TakeDamageNotes() {
  std::vector<std::string> notes = std::move(earlierNotes_);
  earlierNotes_.clear();
  if (!reader_) return notes;
  const auto& entries = reader_->Report().Entries();
  for (std::size_t i = damageSeen_; i < entries.size(); ++i) notes.push_back(entries[i].Text());
  damageSeen_ = entries.size();
  return notes;
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

  std::vector<std::byte> first(jet::kJet4.pageSize);  // the larger page size
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
  // database password has its pages scrambled from there on, which only the
  // reader (given the password) can tell apart from damage.
  const std::string encryptedText =
      "Cannot open " + quoted +
      ": the file is encrypted with a database password (Office encryption), "
      "which this engine does not support.";
  std::byte pageType{};
  const bool catalogClear =
      ReadAt(file->fd_, &pageType, 1, 2 * pageSize) && pageType == std::byte{2};

  // A clear file's Jet password is checked here; an encrypted one's by the
  // reader, which needs it to decrypt.
  if ((catalogClear || header->format != MdbFormat::Ace) && header->password != password)
    context->Raise(kNotValidPassword, "Not a valid password.");

  file->password_ = std::string(password);
  try {
    file->OpenReader();
    file->encrypted_ = !catalogClear || file->reader_->Header().databaseKey != 0;
    file->catalog_ = file->reader_->Objects().entries;
    // In the order the rows lie in the file (a moved row where it went to),
    // as Access lists them; rows recovered from unlisted pages come last.
    std::stable_sort(
        file->catalog_.begin(), file->catalog_.end(), [](const auto& a, const auto& b) {
          return std::tuple(a.recovered, a.page, a.row) < std::tuple(b.recovered, b.page, b.row);
        });
    // The reader recovers what it can of a catalog whose pages are missing;
    // a file cut short is refused instead, before tables seem to vanish.
    if (CatalogCutShort(*file->reader_))
      throw jet::reader::DamageError("the catalog's pages are cut off");
  } catch (const jet::reader::PasswordError&) {
    context->Raise(kNotValidPassword, "Not a valid password.");
  } catch (const jet::reader::UnsupportedEncryptionError&) {
    context->Raise(kUnrecognizedFormat, encryptedText);
  } catch (const jet::reader::DamageError&) {
    if (!catalogClear && header->format == MdbFormat::Ace)
      context->Raise(kUnrecognizedFormat, encryptedText);
    if (!catalogClear)
      context->Raise(kUnrecognizedFormat,
                     "Unrecognized database format " + quoted + ": the system catalog is damaged.");
    context->Raise(kUnrecognizedFormat, "Unrecognized database format '" + file->path_ +
                                            "': the system catalog is damaged or truncated.");
  } catch (const jet::reader::JetError& error) {
    if (!catalogClear && header->format == MdbFormat::Ace)
      context->Raise(kUnrecognizedFormat, encryptedText);
    context->Raise(kUnrecognizedFormat,
                   "Unrecognized database format " + quoted + ": " + error.what() + ".");
  }
  return file;
}

AccessFile::~AccessFile() {
  reader_.reset();
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

std::pair<unsigned long, unsigned long> AccessFile::identity() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return {0, 0};
  return {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino)};
}

void AccessFile::Refresh() {
  struct stat st {};
  if (::fstat(fd_, &st) == 0)
    pageCount_ = static_cast<unsigned long>(st.st_size) / header_.pageSize;
  ++generation_;
  // The reader caches pages and knows the file's size from when it opened:
  // open it anew. Damage it found and nobody took yet is kept.
  std::vector<std::string> pending = TakeDamageNotes();
  try {
    OpenReader();
  } catch (const jet::reader::JetError&) {
    // the file no longer opens: later reads fail through the old reader's checks
  }
  earlierNotes_ = std::move(pending);
}

}  // namespace corvid::dao
