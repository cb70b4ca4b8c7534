#include "jet/row_encoder.h"

#include <cmath>
#include <limits>

#include "jet/byte_order.h"
#include "jet/text_encoding.h"

namespace corvid::jet {
namespace {

// A Memo longer than this is stored uncompressed (as Access does).
constexpr std::size_t kMaxCompressedMemoChars = 1024;

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

const char* ValueKind(const Value& value) {
  return std::visit(Overloaded{
                        [](std::monostate) { return "NULL"; },
                        [](std::int64_t) { return "an integer"; },
                        [](double) { return "a double"; },
                        [](bool) { return "a boolean"; },
                        [](const std::string&) { return "text"; },
                        [](const Bytes&) { return "bytes"; },
                        [](const ByteView&) { return "bytes"; },
                        [](const Date&) { return "a date"; },
                        [](const Currency&) { return "a currency amount"; },
                        [](const Guid&) { return "a GUID"; },
                    },
                    value);
}

std::span<const std::byte> BytesOf(const Value& value) {
  if (const auto* b = std::get_if<Bytes>(&value)) return *b;
  return std::get<ByteView>(value).data;
}

}  // namespace

RowEncoder::RowEncoder(const JetConstants& jet, const TableLayout& layout)
    : jet_(jet), layout_(layout), fields_(layout.columns.size()) {}

void RowEncoder::Fail(std::int64_t rowNumber, const ColumnLayout& column,
                      const std::string& what) const {
  throw WriterError("table \"" + layout_.name + "\", row " + std::to_string(rowNumber) +
                    ", column \"" + column.def.name + "\" (" +
                    std::string(ColumnTypeName(column.def.type)) + "): " + what);
}

void RowEncoder::Convert(const Value& value, std::int64_t rowNumber, const ColumnLayout& column,
                         Field& field, std::int32_t& autoNumber) const {
  field = Field{};
  const ColumnType type = column.def.type;
  auto wrongKind = [&] {
    Fail(rowNumber, column, std::string("cannot store ") + ValueKind(value));
  };
  auto fixedBytes = [&](std::size_t n) -> std::span<std::byte> {
    field.owned.assign(n, std::byte{0});
    field.bytes = field.owned;
    field.null = false;
    return field.owned;
  };
  auto integerIn = [&](std::int64_t lo, std::int64_t hi) -> std::int64_t {
    const auto* v = std::get_if<std::int64_t>(&value);
    if (!v) wrongKind();
    if (*v < lo || *v > hi)
      Fail(rowNumber, column,
           "value " + std::to_string(*v) + " is outside " + std::to_string(lo) + ".." +
               std::to_string(hi));
    return *v;
  };

  if (std::holds_alternative<std::monostate>(value)) {
    if (type == ColumnType::AutoNumber) {
      Put32(fixedBytes(4), 0, static_cast<std::uint32_t>(autoNumber));
      if (autoNumber == std::numeric_limits<std::int32_t>::max())
        Fail(rowNumber, column, "AutoNumber exhausted");
      ++autoNumber;
    }
    return;  // NULL (Yes/No: No)
  }

  switch (type) {
    case ColumnType::Attachment:
    case ColumnType::Long:
    case ColumnType::AutoNumber: {
      const auto v = integerIn(std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max());
      Put32(fixedBytes(4), 0, static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
      if (type == ColumnType::AutoNumber && v >= autoNumber) {
        if (v == std::numeric_limits<std::int32_t>::max())
          Fail(rowNumber, column, "AutoNumber exhausted");
        autoNumber = static_cast<std::int32_t>(v + 1);
      }
      break;
    }
    case ColumnType::Integer: {
      const auto v = integerIn(-32768, 32767);
      Put16(fixedBytes(2), 0, static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) & 0xFFFF);
      break;
    }
    case ColumnType::Byte:
      Put8(fixedBytes(1), 0, static_cast<std::uint32_t>(integerIn(0, 255)));
      break;
    case ColumnType::YesNo:
      if (const auto* b = std::get_if<bool>(&value)) {
        field.boolValue = *b;
      } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        field.boolValue = *i != 0;
      } else {
        wrongKind();
      }
      field.null = !field.boolValue;
      break;
    case ColumnType::Currency: {
      std::int64_t units = 0;
      if (const auto* c = std::get_if<Currency>(&value)) {
        units = c->tenThousandths;
      } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        if (*i > std::numeric_limits<std::int64_t>::max() / 10000 ||
            *i < std::numeric_limits<std::int64_t>::min() / 10000)
          Fail(rowNumber, column, "value " + std::to_string(*i) + " is too large for Currency");
        units = *i * 10000;
      } else {
        wrongKind();
      }
      Put64(fixedBytes(8), 0, static_cast<std::uint64_t>(units));
      break;
    }
    case ColumnType::Double: {
      double d = 0;
      if (const auto* v = std::get_if<double>(&value)) {
        d = *v;
      } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        d = static_cast<double>(*i);
      } else {
        wrongKind();
      }
      PutDouble(fixedBytes(8), 0, d);
      break;
    }
    case ColumnType::DateTime: {
      double d = 0;
      if (const auto* v = std::get_if<Date>(&value)) {
        d = v->days;
      } else if (const auto* v2 = std::get_if<double>(&value)) {
        d = *v2;
      } else {
        wrongKind();
      }
      if (!std::isfinite(d)) Fail(rowNumber, column, "the date is not a finite number");
      PutDouble(fixedBytes(8), 0, d);
      break;
    }
    case ColumnType::Guid: {
      const auto* g = std::get_if<Guid>(&value);
      if (!g) wrongKind();
      auto out = fixedBytes(16);
      for (std::size_t k = 0; k < 16; ++k) out[k] = static_cast<std::byte>(g->bytes[k]);
      break;
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
      const auto* s = std::get_if<std::string>(&value);
      if (!s) wrongKind();
      std::u16string units;
      try {
        units = Utf8ToUtf16(*s);
      } catch (const WriterError&) {
        Fail(rowNumber, column, "the text is not valid UTF-8");
      }
      if (type == ColumnType::Text && units.size() > column.maxChars)
        Fail(rowNumber, column,
             "text of " + std::to_string(units.size()) +
                 " characters is longer than the column's " + std::to_string(column.maxChars));
      if (jet_.format != JetFormat::Jet3) {
        const bool compress = column.def.compressUnicode &&
                              (type == ColumnType::Text || units.size() <= kMaxCompressedMemoChars);
        field.owned = EncodeJet4Text(units, compress);
      } else {
        auto single = EncodeWindows1252(units);
        if (!single) Fail(rowNumber, column, "the text has a character outside Windows-1252");
        field.owned = std::move(*single);
      }
      field.bytes = field.owned;
      field.null = false;
      break;
    }
    case ColumnType::Binary:
    case ColumnType::OleObject: {
      if (!std::holds_alternative<Bytes>(value) && !std::holds_alternative<ByteView>(value))
        wrongKind();
      field.bytes = BytesOf(value);
      if (type == ColumnType::Binary && field.bytes.size() > column.maxChars)
        Fail(rowNumber, column,
             std::to_string(field.bytes.size()) + " bytes are more than the column's " +
                 std::to_string(column.maxChars));
      field.null = false;
      break;
    }
  }
  if (column.longValue && field.bytes.size() > kLongValueLengthMask)
    Fail(rowNumber, column, "a long value may have at most 1 GiB");
}

std::size_t RowEncoder::LongValueRowBytes(const Field& field) const {
  return kLongValueFieldSize +
         (field.bytes.size() <= jet_.maxInlineLongValue ? field.bytes.size() : 0);
}

void RowEncoder::Encode(std::span<const Value> values, std::int64_t rowNumber,
                        LongValueStore& store, std::int32_t& nextAutoNumber,
                        std::vector<std::byte>& row) {
  std::int32_t autoNumber = nextAutoNumber;
  Prepare(values, rowNumber, autoNumber);
  Assemble(store, row);
  nextAutoNumber = autoNumber;
}

std::size_t RowEncoder::Prepare(std::span<const Value> values, std::int64_t rowNumber,
                                std::int32_t& nextAutoNumber,
                                std::span<const std::optional<std::vector<std::byte>>> stored) {
  if (values.size() != layout_.columns.size())
    throw WriterError("table \"" + layout_.name + "\", row " + std::to_string(rowNumber) + ": " +
                      std::to_string(values.size()) + " values for " +
                      std::to_string(layout_.columns.size()) + " columns");
  std::int32_t autoNumber = nextAutoNumber;
  std::size_t varBytes = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const ColumnLayout& column = layout_.columns[i];
    if (column.longValue && i < stored.size() && stored[i]) {
      Field& field = fields_[i];
      field = Field{};
      field.owned = *stored[i];
      field.bytes = field.owned;
      field.null = false;
      field.stored = true;
      varBytes += field.bytes.size();
      continue;
    }
    Convert(values[i], rowNumber, column, fields_[i], autoNumber);
    if (!column.fixed && !fields_[i].null)
      varBytes += column.longValue ? LongValueRowBytes(fields_[i]) : fields_[i].bytes.size();
  }
  const std::size_t countSize = jet_.format == JetFormat::Jet3 ? 1 : 2;
  const std::size_t maskSize = (layout_.columns.size() + 7) / 8;
  const std::size_t nvar = layout_.variableCount;
  std::size_t size = countSize + layout_.fixedAreaSize + varBytes + maskSize;
  if (nvar > 0 && jet_.format == JetFormat::Jet3) {
    const std::size_t eod = countSize + layout_.fixedAreaSize + varBytes;
    size += nvar + 2;
    std::size_t jumps = 0;
    while ((size + jumps - 1) / 256 != jumps) jumps = (size + jumps - 1) / 256;
    size += jumps;
    // Readers allow one unused jump slot; a longer offset table would need more.
    if (eod / 256 + 1 < jumps)
      throw WriterError("table \"" + layout_.name + "\", row " + std::to_string(rowNumber) +
                        ": a row with this many variable-length columns cannot be stored in the "
                        "Access 97 format");
  } else if (nvar > 0) {
    size += 2 * (nvar + 2);
  }
  if (size > jet_.maxRowSize)
    throw RowTooLargeError("table \"" + layout_.name + "\", row " + std::to_string(rowNumber) +
                           ": the row needs " + std::to_string(size) +
                           " bytes; a row may hold at most " + std::to_string(jet_.maxRowSize) +
                           " (store large values in Memo or OLE Object columns)");
  nextAutoNumber = autoNumber;
  return size;
}

void RowEncoder::Assemble(LongValueStore& store, std::vector<std::byte>& row) {
  const bool jet3 = jet_.format == JetFormat::Jet3;
  const std::size_t countSize = jet3 ? 1 : 2;
  const std::size_t columnCount = layout_.columns.size();
  row.assign(countSize + layout_.fixedAreaSize, std::byte{0});
  if (jet3) {
    Put8(row, 0, static_cast<std::uint32_t>(columnCount));
  } else {
    Put16(row, 0, static_cast<std::uint32_t>(columnCount));
  }
  std::vector<std::uint8_t> nullMask((columnCount + 7) / 8, 0);
  std::vector<std::size_t> offsets;
  offsets.reserve(layout_.variableCount);

  for (std::size_t i = 0; i < columnCount; ++i) {
    const ColumnLayout& column = layout_.columns[i];
    const Field& field = fields_[i];
    const bool present = column.def.type == ColumnType::YesNo ? field.boolValue : !field.null;
    if (present)
      nullMask[column.number / 8] |= static_cast<std::uint8_t>(1u << (column.number % 8));
    if (column.fixed && !field.null && column.fixedSize > 0)
      std::copy(field.bytes.begin(), field.bytes.end(),
                row.begin() + countSize + column.fixedOffset);
  }
  ByteAppender out(row);
  for (std::size_t i = 0; i < columnCount; ++i) {
    const ColumnLayout& column = layout_.columns[i];
    if (column.fixed) continue;
    offsets.push_back(row.size());
    const Field& field = fields_[i];
    if (field.null) continue;
    if (!column.longValue || field.stored) {
      out.Bytes(field.bytes);
      continue;
    }
    const auto length = static_cast<std::uint32_t>(field.bytes.size());
    if (field.bytes.size() <= jet_.maxInlineLongValue) {
      out.U32(length | kLongValueInline);
      out.U32(0);
      out.U32(0);
      out.Bytes(field.bytes);
    } else if (field.bytes.size() <= jet_.maxLongValueRow) {
      const std::uint32_t pointer = store.StoreSingle(column.number, field.bytes);
      out.U32(length | kLongValueSingleRow);
      out.U32(pointer);
      out.U32(0);
    } else {
      const std::uint32_t pointer = store.StoreChain(column.number, field.bytes);
      out.U32(length);
      out.U32(pointer);
      out.U32(0);
    }
  }
  if (layout_.variableCount > 0) {
    const std::size_t eod = row.size();
    if (jet3) {
      AssembleJet3Tail(row, offsets, eod);
    } else {
      out.U16(static_cast<std::uint32_t>(eod));
      for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
        out.U16(static_cast<std::uint32_t>(*it));
      out.U16(static_cast<std::uint32_t>(offsets.size()));
    }
  }
  for (std::uint8_t b : nullMask) out.U8(b);
}

void RowEncoder::AssembleJet3Tail(std::vector<std::byte>& row,
                                  const std::vector<std::size_t>& offsets, std::size_t eod) const {
  // Offsets are single bytes; a jump table lists, for each 256-byte boundary,
  // the first offset entry (the end-of-data entry counts last) at or past it.
  const std::size_t nvar = offsets.size();
  const std::size_t maskSize = (layout_.columns.size() + 7) / 8;
  const std::size_t base = eod + 1 + nvar + 1 + maskSize;
  std::size_t jumps = 0;
  while ((base + jumps - 1) / 256 != jumps) jumps = (base + jumps - 1) / 256;
  const std::size_t realJumps = eod / 256;
  if (realJumps + 1 < jumps)
    throw WriterError("table \"" + layout_.name +
                      "\": a row with this many variable-length columns cannot be stored in the "
                      "Access 97 format");
  ByteAppender out(row);
  out.U8(static_cast<std::uint32_t>(eod & 0xFF));
  for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
    out.U8(static_cast<std::uint32_t>(*it & 0xFF));
  // Jump slots, stored from the farthest (a dummy when unused) to slot 0.
  std::vector<std::uint8_t> slots(jumps, 0xFF);
  for (std::size_t j = 0; j < realJumps; ++j) {
    const std::size_t boundary = (j + 1) * 256;
    std::size_t first = nvar;
    for (std::size_t i = 0; i < nvar; ++i) {
      if (offsets[i] >= boundary) {
        first = i;
        break;
      }
    }
    slots[j] = static_cast<std::uint8_t>(first);
  }
  for (std::size_t j = jumps; j-- > 0;) out.U8(slots[j]);
  out.U8(static_cast<std::uint32_t>(nvar));
}

}  // namespace corvid::jet
