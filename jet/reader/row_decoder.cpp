#include "jet/reader/row_decoder.h"

#include <cstring>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

// Start offsets of the variable columns (entry n is the end of data).
struct VariableTable {
  std::size_t count = 0;
  std::vector<std::size_t> offsets;
  std::size_t tableStart = 0;  // where the offset table begins; data ends before it
};

VariableTable ReadJet4Offsets(ByteSpan row, std::size_t end, std::size_t countSize) {
  VariableTable t;
  if (end < countSize + 2) throw DamageError("the row is too short for its variable offset table");
  t.count = Read16(row, end - 2);
  if (2 * (t.count + 2) > end - countSize)
    throw DamageError("the row's variable column count does not fit the row");
  t.tableStart = end - 2 * (t.count + 2);
  t.offsets.resize(t.count + 1);
  for (std::size_t i = 0; i <= t.count; ++i) t.offsets[i] = Read16(row, end - 4 - 2 * i);
  return t;
}

VariableTable ReadJet3Offsets(ByteSpan row, std::size_t end, std::size_t countSize) {
  VariableTable t;
  if (end < countSize + 2) throw DamageError("the row is too short for its variable offset table");
  t.count = Read8(row, end - 1);
  std::size_t jumps = (row.size() - 1) / 256;
  if (t.count + 2 + jumps > end - countSize)
    throw DamageError("the row's variable column count does not fit the row");
  t.tableStart = end - 2 - jumps - t.count;  // the end-of-data entry
  const std::size_t firstOffset = end - 2 - jumps;
  // A row that grew past a 256 boundary only through its offset table has
  // one unused jump slot, the farthest.
  std::size_t used = jumps;
  if (used > 0 && t.tableStart / 256 < used) --used;
  t.offsets.resize(t.count + 1);
  for (std::size_t i = 0; i <= t.count; ++i) {
    std::size_t high = 0;
    for (std::size_t j = 0; j < used; ++j)
      if (Read8(row, end - 2 - j) <= i) ++high;
    t.offsets[i] = Read8(row, firstOffset - i) + 256 * high;
  }
  return t;
}

template <class T>
T ReadAs(ByteSpan data) {
  T value;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

Value FixedValue(const ColumnDefinition& c, ByteSpan data) {
  const std::size_t need = FixedSizeOf(c.type);
  if (data.size() < need)
    throw DamageError("the value has " + std::to_string(data.size()) + " bytes; its type needs " +
                      std::to_string(need));
  switch (static_cast<StoredType>(c.type)) {
    case StoredType::Byte:
      return Read8(data, 0);
    case StoredType::Integer:
      return static_cast<std::int16_t>(Read16(data, 0));
    case StoredType::Long:
      return static_cast<std::int32_t>(Read32(data, 0));
    case StoredType::Money:
      return Money{static_cast<std::int64_t>(Read64(data, 0))};
    case StoredType::Single: {
      const std::uint32_t bits = Read32(data, 0);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case StoredType::Double:
    case StoredType::DateTime: {
      const std::uint64_t bits = Read64(data, 0);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      if (static_cast<StoredType>(c.type) == StoredType::DateTime) return DateTime{d};
      return d;
    }
    case StoredType::Guid: {
      Guid g;
      std::memcpy(g.bytes.data(), data.data(), 16);
      return g;
    }
    case StoredType::Numeric: {
      // A sign byte, then four 32-bit little-endian words, the most significant first.
      Decimal d;
      d.negative = (Read8(data, 0) & 0x80) != 0;
      d.high = std::uint64_t{Read32(data, 1)} << 32 | Read32(data, 5);
      d.low = std::uint64_t{Read32(data, 9)} << 32 | Read32(data, 13);
      d.precision = c.precision;
      d.scale = c.scale;
      if (d.scale > 38) throw DamageError("a Numeric scale of " + std::to_string(d.scale));
      return d;
    }
    case StoredType::Complex:
      return ComplexKey{static_cast<std::int32_t>(Read32(data, 0))};
    case StoredType::BigInt:
      return static_cast<std::int64_t>(Read64(data, 0));
    default:
      return UnknownValue{c.type, Bytes(data.begin(), data.end())};
  }
}

Value LongValueField(const ColumnDefinition& c, ByteSpan data) {
  if (data.size() < kLongValueFieldSize)
    throw DamageError("a long-value field of " + std::to_string(data.size()) +
                      " bytes (12 are needed)");
  LongValue v;
  v.columnType = c.type;
  const std::uint32_t word = Read32(data, 0);
  v.length = word & kLongValueLengthMask;
  v.storage = word & ~kLongValueLengthMask;
  v.pointer = Read32(data, 4);
  if (v.storage == kLongValueInline) {
    if (v.length > data.size() - kLongValueFieldSize)
      throw DamageError("an inline long value of " + std::to_string(v.length) +
                        " bytes in a field of " + std::to_string(data.size()));
    const ByteSpan bytes = data.subspan(kLongValueFieldSize, v.length);
    v.inlineBytes.assign(bytes.begin(), bytes.end());
  } else if (v.storage != kLongValueSingleRow && v.storage != 0) {
    throw DamageError("a long value with unknown storage flags");
  }
  return v;
}

Value VariableValue(const ColumnDefinition& c, ByteSpan data, const TextDecoder& text) {
  switch (static_cast<StoredType>(c.type)) {
    case StoredType::Text:
      return text.Decode(data);
    case StoredType::Binary:
      return Bytes(data.begin(), data.end());
    case StoredType::Memo:
    case StoredType::Ole:
      return LongValueField(c, data);
    default:
      if (FixedSizeOf(c.type) > 0) return FixedValue(c, data);
      return UnknownValue{c.type, Bytes(data.begin(), data.end())};
  }
}

}  // namespace

std::vector<Value> DecodeRow(ByteSpan row, const TableDefinition& def, const JetConstants& format,
                             const TextDecoder& text) {
  const std::size_t countSize = format.rowColumnCountSize;
  const std::size_t columnCount = ReadSized(row, 0, countSize);
  const std::size_t maskSize = (columnCount + 7) / 8;
  if (columnCount == 0 || countSize + maskSize > row.size())
    throw DamageError("the row's column count " + std::to_string(columnCount) +
                      " does not fit its " + std::to_string(row.size()) + " bytes");
  const std::size_t end = row.size() - maskSize;
  const ByteSpan mask = row.subspan(end);
  auto present = [&](std::size_t bit) {
    return bit < columnCount && (static_cast<unsigned>(mask[bit / 8]) & (1u << (bit % 8))) != 0;
  };

  VariableTable variable;
  std::size_t dataEnd = end;
  if (def.variableColumnCount > 0) {
    variable = format.rowOffsetSize == 1 ? ReadJet3Offsets(row, end, countSize)
                                         : ReadJet4Offsets(row, end, countSize);
    dataEnd = variable.tableStart;
    for (std::size_t i = 0; i <= variable.count; ++i) {
      if (variable.offsets[i] < countSize || variable.offsets[i] > dataEnd ||
          (i > 0 && variable.offsets[i] < variable.offsets[i - 1]))
        throw DamageError("variable offset " + std::to_string(i) + " (" +
                          std::to_string(variable.offsets[i]) + ") lies outside the row's data");
    }
  }

  std::vector<Value> values;
  values.reserve(def.columns.size());
  for (const ColumnDefinition& c : def.columns) {
    try {
      if (c.type == static_cast<std::uint8_t>(StoredType::Bool)) {
        values.emplace_back(present(c.number));
        continue;
      }
      if (!present(c.number)) {
        values.emplace_back(Null{});
        continue;
      }
      if (c.IsFixed()) {
        std::size_t size = FixedSizeOf(c.type);
        if (size == 0) size = c.length;  // a fixed Text or Binary
        const std::size_t start = countSize + c.fixedOffset;
        if (start > dataEnd || size > dataEnd - start)
          throw DamageError("the fixed value at " + std::to_string(start) +
                            " runs past the row's data");
        const ByteSpan data = row.subspan(start, size);
        if (FixedSizeOf(c.type) > 0 || c.type == static_cast<std::uint8_t>(StoredType::Complex)) {
          values.push_back(FixedValue(c, data));
        } else {
          values.push_back(VariableValue(c, data, text));
        }
        continue;
      }
      if (c.variableIndex >= variable.count) {
        values.emplace_back(Null{});  // a column added after the row was written
        continue;
      }
      const std::size_t from = variable.offsets[c.variableIndex];
      const std::size_t to = variable.offsets[c.variableIndex + 1];
      values.push_back(VariableValue(c, row.subspan(from, to - from), text));
    } catch (const DamageError& e) {
      throw e.Within(DamageLocation{.field = c.name});
    }
  }
  return values;
}

}  // namespace corvid::jet::reader
