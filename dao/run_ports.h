#pragma once
// The engine's database ports on the real components: the extraction run
// drives TVxDaoDatabase and TVxDaoTable through these adapters. The
// engine's DataDamageError (a record or value of a damaged file) becomes the
// run's RecordDamageError with the same text; every other error passes as
// it is.

#include <memory>
#include <string>
#include <vector>

#include "engine/database_ports.h"

namespace corvid {

namespace dao {
class Recordset;
class ValueStream;
}  // namespace dao

class TVxDaoDatabase;
class TVxDaoTable;
class TStream;

class DaoDatabaseConnection : public DatabaseConnection {
 public:
  explicit DaoDatabaseConnection(TVxDaoDatabase& database) : database_(database) {}
  void SetLoginPrompt(bool prompt) override;
  void SetDatabaseType(const std::string& type) override;
  void SetDatabase(const std::string& path) override;
  void SetConnected(bool connected) override;

 private:
  TVxDaoDatabase& database_;
};

class DaoRecordTable : public RecordTable {
 public:
  explicit DaoRecordTable(TVxDaoTable& table) : table_(table) {}
  void SetTableName(const std::string& name) override;
  void SetActive(bool active) override;
  void FieldNames(std::vector<std::string>& names) override;
  // Throws DatabaseError for a position outside the fields, -1 included.
  std::string FieldText(int position) override;
  bool Eof() override;
  void Next() override;
  // A field of a type the engine does not read, or a multi-value field,
  // holds no documents: DatabaseError naming the field (and the type's
  // number as stored).
  std::unique_ptr<BlobReader> OpenBlobStream(int position) override;
  // Attachment fields: the record's attached files, read through the
  // field's own recordset (kept for the current record). Damage that spoils
  // the list is the record's (RecordDamageError); damage in one file's
  // stored value is that file's (AttachmentDamage).
  bool IsAttachmentField(int position) override;
  std::size_t AttachmentCount(int position) override;
  std::string AttachmentFileName(int position, std::size_t index) override;
  std::unique_ptr<BlobReader> OpenAttachment(int position, std::size_t index) override;
  std::int64_t ListedCount() override;
  std::vector<std::string> TakeDamageNotes() override;

 private:
  // The attached files of field `position` in the current record, moved to
  // the file at `index`.
  dao::Recordset& Attachments(int position, std::size_t index);
  TVxDaoTable& table_;
  std::unique_ptr<dao::Recordset> attachments_;
  int attachmentsField_ = -1;
  std::uint64_t record_ = 0;             // counts the moves to another record
  std::uint64_t attachmentsRecord_ = 0;  // the record attachments_ belongs to
};

// An attached file's decoded bytes as the run's blob reader.
class DaoAttachmentReader : public BlobReader {
 public:
  explicit DaoAttachmentReader(std::unique_ptr<dao::ValueStream> stream);
  ~DaoAttachmentReader() override;
  std::int64_t Size() override;
  std::size_t Read(std::span<std::byte> buffer) override;

 private:
  std::unique_ptr<dao::ValueStream> stream_;
};

// A read-only blob stream as the run's blob reader.
class DaoBlobReader : public BlobReader {
 public:
  explicit DaoBlobReader(std::unique_ptr<TStream> stream);
  ~DaoBlobReader() override;
  std::int64_t Size() override;
  std::size_t Read(std::span<std::byte> buffer) override;
  // The table's blob stream holds the whole value: the run writes it from
  // there.
  std::span<const std::byte> Held() override;

 private:
  std::unique_ptr<TStream> stream_;
  std::int64_t size_ = -1;
};

}  // namespace corvid
