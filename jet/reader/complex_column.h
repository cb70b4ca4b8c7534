// A complex column (type 0x12: attachments, multi-value lists, version
// histories). The user table's row stores only a 32-bit key; the values live
// in a hidden flat table whose rows carry that key. MSysComplexColumns ties
// them together: the column definition's complex id names its row there,
// which gives the flat table (by catalog id, i.e. its definition page), the
// user table it belongs to and the template table that says its kind
// (MSysComplexType_Attachment, MSysComplexType_Text, ...).
//
// In the flat table, the key is the Long column that is neither the table's
// own AutoNumber nor one of the template's columns.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/reader/attachment_data.h"
#include "jet/reader/database.h"

namespace corvid::jet::reader {

enum class ComplexKind {
  Attachment,      // MSysComplexType_Attachment
  MultiValue,      // the other MSysComplexType_ templates
  VersionHistory,  // an appended Memo's history (MSysComplexTypeVH_...)
  Unknown,
};

// One attached file of a record.
struct Attachment {
  std::string fileName;
  std::string fileType;
  std::string fileUrl;
  std::optional<DateTime> fileTimeStamp;
  std::optional<std::int32_t> fileFlags;
  LongValue fileData;      // the stored value (see attachment_data.h)
  bool hasData = false;    // FileData not NULL
  std::uint32_t page = 0;  // where the flat table's row is
  int row = 0;
};

class ComplexColumn {
 public:
  // The complex column `columnName` of `table` (a table of `db`). Throws
  // NotFoundError when the table has no such column, JetError when it is
  // not complex, DamageError when MSysComplexColumns, the flat table or the
  // template do not fit together.
  static ComplexColumn Open(Database& db, const Table& table, const std::string& columnName);

  ComplexKind Kind() const { return kind_; }
  const std::string& TemplateName() const { return templateName_; }
  const Table& FlatTable() const { return flat_; }
  // Column indexes in the flat table: the key, and the template's columns
  // (the values) in the flat table's order.
  int KeyColumn() const { return keyColumn_; }
  const std::vector<int>& ValueColumns() const { return valueColumns_; }

  // The flat table's rows that carry `key`, in the order they are stored.
  // The flat table is read once, on first use; rows it cannot read are in
  // the database's damage report.
  const std::vector<Row>& Rows(std::int32_t key);

  // Attachment columns: the attached files of the record whose key is `key`.
  std::vector<Attachment> Attachments(std::int32_t key);
  // Decodes an attached file as it is read; the reader keeps what it needs
  // of this column alive. `record` names the user record in damage reports.
  AttachmentDataReader OpenFile(const Attachment& attachment, const std::string& record = {}) const;

 private:
  ComplexColumn(Table user, Table flat) : user_(std::move(user)), flat_(std::move(flat)) {}
  int FlatColumn(const char* name) const;

  Table user_;
  Table flat_;
  std::string columnName_;
  ComplexKind kind_ = ComplexKind::Unknown;
  std::string templateName_;
  int keyColumn_ = -1;
  std::vector<int> valueColumns_;
  std::shared_ptr<std::unordered_map<std::int32_t, std::vector<Row>>> byKey_;
};

}  // namespace corvid::jet::reader
