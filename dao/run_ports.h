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
  std::unique_ptr<BlobReader> OpenBlobStream(int position) override;
  std::int64_t ListedCount() override;
  std::vector<std::string> TakeDamageNotes() override;

 private:
  TVxDaoTable& table_;
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
