#include "dao/mdb/complex_field.h"

#include <algorithm>
#include <cctype>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/value_stream.h"
#include "dao/mdb/complex_recordset.h"
#include "dao/mdb/mdb_values.h"

namespace corvid::dao {
namespace {

// The reader's damage as DAO's 3049, its text naming table, record, field
// and file.
[[noreturn]] void RaiseValueDamage(const jet::reader::DamageError& error) {
  std::string text = error.Where().Text();
  if (!text.empty()) {
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    text += ": ";
  }
  throw DataDamageError(text + error.Problem() + ".");
}

class AttachmentStream : public ValueStream {
 public:
  explicit AttachmentStream(jet::reader::AttachmentDataReader reader)
      : reader_(std::move(reader)) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(reader_.Size()); }
  std::size_t Read(std::span<std::byte> out) override {
    try {
      return reader_.Read(out);
    } catch (const jet::reader::DamageError& error) {
      RaiseValueDamage(error);
    }
  }

 private:
  jet::reader::AttachmentDataReader reader_;
};

const Properties& NoProperties() {
  static const Properties none;
  return none;
}

}  // namespace

ComplexField::ComplexField(ComplexRecordset& owner, int flatColumn)
    : owner_(owner), flatColumn_(flatColumn) {
  const auto& values = owner_.Shared().complex->column.ValueColumns();
  position_ =
      static_cast<int>(std::find(values.begin(), values.end(), flatColumn) - values.begin());
  fileData_ = owner_.Shared().complex->column.Kind() == jet::reader::ComplexKind::Attachment &&
              SameText(Name(), "FileData");
}

namespace {
const jet::reader::ColumnDefinition& FlatColumn(const ComplexRecordset& owner, int column) {
  return owner.Shared().complex->column.FlatTable().Definition().columns[static_cast<std::size_t>(
      column)];
}
}  // namespace

std::string ComplexField::Name() const { return FlatColumn(owner_, flatColumn_).name; }
int ComplexField::Type() const { return DaoTypeOf(FlatColumn(owner_, flatColumn_)); }
std::int32_t ComplexField::Size() const {
  return DaoSizeOf(FlatColumn(owner_, flatColumn_), owner_.Shared().table->file().header().format);
}
std::int32_t ComplexField::Attributes() const {
  return DaoAttributesOf(FlatColumn(owner_, flatColumn_));
}
const Properties& ComplexField::FieldProperties() const { return NoProperties(); }

const jet::reader::Value& ComplexField::Stored() const {
  return owner_.CurrentRow().values[static_cast<std::size_t>(flatColumn_)];
}

Variant ComplexField::Value() {
  if (IsFileData()) {
    Bytes bytes;
    if (!ReadBytesInto(bytes)) return Null{};
    return bytes;
  }
  const jet::reader::Value& stored = Stored();
  try {
    return DecodeValue(owner_.Shared().table->file(), FlatColumn(owner_, flatColumn_), stored);
  } catch (const jet::reader::DamageError& error) {
    RaiseValueDamage(
        error.Within({.table = owner_.Shared().table->name(), .field = owner_.Shared().fieldName}));
  }
}

void ComplexField::SetValue(const Variant& value) {
  (void)value;
  owner_.Raise(kCannotUpdate, "Cannot update. Database or object is read-only. The field '" +
                                  Name() + "' of the values of field '" +
                                  owner_.Shared().fieldName + "' is read-only.");
}

std::int64_t ComplexField::FieldSize() {
  if (IsFileData()) {
    if (jet::reader::IsNull(Stored())) return 0;
    return OpenValueStream()->Size();
  }
  std::vector<std::byte> bytes;
  return ReadBytesInto(bytes) ? static_cast<std::int64_t>(bytes.size()) : 0;
}

bool ComplexField::ReadBytesInto(std::vector<std::byte>& into) {
  into.clear();
  if (jet::reader::IsNull(Stored())) return false;
  if (IsFileData()) {
    // Grown as the bytes come: the header's length is the file's word, not
    // a size to trust with an allocation (the stream checks it at its end).
    const std::unique_ptr<ValueStream> stream = OpenValueStream();
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    std::size_t filled = 0;
    for (;;) {
      into.resize(filled + kPiece);
      const std::size_t n = stream->Read(std::span<std::byte>(into).subspan(filled));
      if (n == 0) break;
      filled += n;
    }
    into.resize(filled);
    return true;
  }
  Variant value = Value();
  if (IsNull(value)) return false;
  BytesOfValue(std::move(value), into);
  return true;
}

std::unique_ptr<ValueStream> ComplexField::OpenValueStream() {
  if (!IsFileData()) return Field::OpenValueStream();
  const ComplexRows& shared = owner_.Shared();
  const jet::reader::Attachment& attachment = shared.attachments.at(owner_.CurrentIndex());
  try {
    return std::make_unique<AttachmentStream>(
        shared.complex->column.OpenFile(attachment, shared.record));
  } catch (const jet::reader::DamageError& error) {
    RaiseValueDamage(error);
  }
}

}  // namespace corvid::dao
