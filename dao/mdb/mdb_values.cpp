#include "dao/mdb/mdb_values.h"

#include "SrcLib/code_pages.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_file.h"
#include "jet/jet_format.h"

namespace corvid::dao {
namespace {

constexpr int kRowOffsetMask = 0x1FFF;

template <class T>
T Load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

std::string TakeGString(char* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

// Start and length of row `row` in a page held in `page`.
bool FindRowIn(const unsigned char* page, std::size_t pageSize, int rowCountOffset, unsigned row,
               std::size_t& start, std::size_t& length) {
  unsigned rows = Load<std::uint16_t>(page + rowCountOffset);
  if (row >= rows) return false;
  std::size_t rowStart = Load<std::uint16_t>(page + rowCountOffset + 2 + row * 2) & kRowOffsetMask;
  std::size_t rowEnd =
      row == 0 ? pageSize : (Load<std::uint16_t>(page + rowCountOffset + row * 2) & kRowOffsetMask);
  if (rowStart >= pageSize || rowEnd > pageSize || rowStart > rowEnd) return false;
  start = rowStart;
  length = rowEnd - rowStart;
  return true;
}

[[noreturn]] void Damaged() { throw std::runtime_error("the value's data pages are damaged"); }


// Jet 4 text: UCS-2 little-endian, or Access's compressed form (FF FE, then
// runs of one-byte characters; a 00 byte switches between one and two bytes).
std::string Jet4TextToUtf8(const std::vector<std::byte>& raw) {
  std::vector<std::uint16_t> units;
  const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  std::size_t n = raw.size();
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bool compressed = true;
    for (std::size_t i = 2; i < n;) {
      if (p[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units.push_back(p[i++]);
      } else if (i + 1 < n) {
        units.push_back(static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (std::size_t i = 0; i + 1 < n; i += 2)
      units.push_back(static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8)));
  }
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t cp = units[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// Jet 3 text: Windows-1252, or the character set named by MDB_JET3_CHARSET
// (libmdb's own setting, so that text and memo fields agree).
std::string Jet3TextToUtf8(const std::vector<std::byte>& raw) {
  const char* charset = std::getenv("MDB_JET3_CHARSET");
  iconv_t convert = iconv_open("UTF-8", charset && *charset ? charset : "CP1252");
  if (convert == reinterpret_cast<iconv_t>(-1)) convert = iconv_open("UTF-8", "CP1252");
  std::string out(raw.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(reinterpret_cast<const char*>(raw.data()));
  std::size_t inLeft = raw.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(convert, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (outLeft < 3) break;
    // A byte the character set does not map: show it as "?" and go on.
    *to++ = '?';
    --outLeft;
    ++in;
    --inLeft;
  }
  iconv_close(convert);
  out.resize(out.size() - outLeft);
  return out;
}

std::string MemoText(AccessFile& file, const MdbField& field) {
  std::vector<std::byte> raw;
  ReadLongValue(file, field, raw);
  return file.header().format == MdbFormat::Jet3 ? Jet3TextToUtf8(raw) : Jet4TextToUtf8(raw);
}

}  // namespace

int DaoTypeOf(const MdbColumn& column) {
  switch (column.col_type) {
    case MDB_BOOL:
      return dbBoolean;
    case MDB_BYTE:
      return dbByte;
    case MDB_INT:
      return dbInteger;
    case MDB_LONGINT:
      return dbLong;
    case MDB_MONEY:
      return dbCurrency;
    case MDB_FLOAT:
      return dbSingle;
    case MDB_DOUBLE:
      return dbDouble;
    case MDB_DATETIME:
      return dbDate;
    case MDB_BINARY:
      return dbBinary;
    case MDB_TEXT:
      return dbText;
    case MDB_OLE:
      return dbLongBinary;
    case MDB_MEMO:
      return dbMemo;
    case MDB_REPID:
      return dbGUID;
    case MDB_NUMERIC:
      return dbDecimal;
    case MDB_COMPLEX:
      return dbAttachment;
    default:
      return 0;
  }
}

std::int32_t DaoSizeOf(const MdbColumn& column, MdbFormat format) {
  switch (column.col_type) {
    case MDB_TEXT:
      // Jet 4 and ACE store two bytes per character.
      return format == MdbFormat::Jet3 ? column.col_size : column.col_size / 2;
    case MDB_OLE:
    case MDB_MEMO:
      return 0;
    case MDB_BOOL:
      return 1;
    case MDB_REPID:
      return 16;
    case MDB_NUMERIC:
      return 17;
    default:
      return column.col_size;
  }
}

std::int32_t DaoAttributesOf(const MdbColumn& column) {
  std::int32_t attributes = column.is_fixed ? dbFixedField : dbVariableField;
  if (column.is_long_auto) attributes |= dbAutoIncrField;
  return attributes;
}

bool IsLongValue(const MdbColumn& column) {
  return column.col_type == MDB_MEMO || column.col_type == MDB_OLE;
}

std::string GuidText(const unsigned char* b) {
  char text[64];
  std::snprintf(text, sizeof text, "{guid {%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}}",
                static_cast<unsigned>(Load<std::uint32_t>(b)), Load<std::uint16_t>(b + 4),
                Load<std::uint16_t>(b + 6), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

Variant DecodeValue(AccessFile& file, const MdbColumn& column, const MdbField& field) {
  MdbHandle* mdb = file.handle();
  if (column.col_type == MDB_BOOL) return field.is_null == 0;  // the null bit is the value
  if (field.is_null) return Null{};
  const unsigned char* at = mdb->pg_buf + field.start;
  const auto size = static_cast<std::size_t>(field.siz);
  auto need = [&](std::size_t bytes) {
    if (size < bytes || field.start < 0 ||
        static_cast<std::size_t>(field.start) + bytes > static_cast<std::size_t>(mdb->fmt->pg_size))
      Damaged();
  };
  switch (column.col_type) {
    case MDB_BYTE:
      need(1);
      return static_cast<std::int64_t>(at[0]);
    case MDB_INT:
      need(2);
      return static_cast<std::int64_t>(Load<std::int16_t>(at));
    case MDB_LONGINT:
    case MDB_COMPLEX:
      need(4);
      return static_cast<std::int64_t>(Load<std::int32_t>(at));
    case MDB_MONEY:
      need(8);
      return Currency{Load<std::int64_t>(at)};
    case MDB_FLOAT:
      need(4);
      return Load<float>(at);
    case MDB_DOUBLE:
      need(8);
      return Load<double>(at);
    case MDB_DATETIME:
      need(8);
      return Date{Load<double>(at)};
    case MDB_REPID:
      need(16);
      return GuidText(at);
    case MDB_BINARY: {
      need(size);
      Bytes bytes(size);
      std::memcpy(bytes.data(), at, size);
      return bytes;
    }
    case MDB_TEXT:
      if (size == 0) return std::string();
      need(size);
      return TakeGString(mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_TEXT, field.siz));
    case MDB_MEMO:
      need(jet::kLongValueHeaderSize);
      return MemoText(file, field);
    case MDB_OLE: {
      Bytes bytes;
      ReadLongValue(file, field, bytes);
      return bytes;
    }
    case MDB_NUMERIC: {
      need(17);
      std::string text =
          TakeGString(mdb_numeric_to_string(mdb, field.start, column.col_scale, column.col_prec));
      return std::stod(text);
    }
    default: {
      Bytes bytes(size);
      if (size) std::memcpy(bytes.data(), at, size);
      return bytes;
    }
  }
}

std::int64_t LongValueLength(AccessFile& file, const MdbField& field) {
  if (field.is_null || field.siz < static_cast<int>(jet::kLongValueHeaderSize)) return 0;
  return Load<std::uint32_t>(file.handle()->pg_buf + field.start) & jet::kLongValueLengthMask;
}

void ReadLongValue(AccessFile& file, const MdbField& field, std::vector<std::byte>& into) {
  if (field.is_null || field.siz < static_cast<int>(jet::kLongValueHeaderSize)) {
    into.clear();
    return;
  }
  MdbHandle* mdb = file.handle();
  const unsigned char* head = mdb->pg_buf + field.start;
  const std::uint32_t word = Load<std::uint32_t>(head);
  const std::size_t length = word & jet::kLongValueLengthMask;
  // Every byte is overwritten below: a buffer reused value after value only
  // pays for zero-filling when it grows.
  into.resize(length);
  if (length == 0) return;

  if (word & jet::kLongValueInline) {
    std::size_t stored = static_cast<std::size_t>(field.siz) - jet::kLongValueHeaderSize;
    if (stored < length) Damaged();
    std::memcpy(into.data(), head + jet::kLongValueHeaderSize, length);
    return;
  }

  const auto pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
  const int rowCountOffset = mdb->fmt->row_count_offset;
  std::uint32_t pageRow = Load<std::uint32_t>(head + 4);
  const bool chained = (word & jet::kLongValueSinglePage) == 0;
  std::size_t copied = 0;
  // A chain never has more links than the value has bytes; a longer one loops.
  for (std::size_t links = 0; copied < length; ++links) {
    if (pageRow == 0 || links > length) Damaged();
    const unsigned char* page = file.LongValuePage(pageRow >> 8);
    if (!page) Damaged();
    std::size_t start = 0, rowLength = 0;
    if (!FindRowIn(page, pageSize, rowCountOffset, pageRow & 0xFF, start, rowLength)) Damaged();
    const unsigned char* row = page + start;
    if (chained) {
      if (rowLength < 4) Damaged();
      pageRow = Load<std::uint32_t>(row);
      row += 4;
      rowLength -= 4;
    }
    std::size_t take = std::min(rowLength, length - copied);
    std::memcpy(into.data() + copied, row, take);
    copied += take;
    if (!chained) break;
  }
  if (copied < length) Damaged();
}

}  // namespace corvid::dao
