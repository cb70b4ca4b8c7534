// Turns one row of values into the bytes of a Jet data row: column count,
// fixed-length area, variable-length data, the variable offset table and
// the null mask. Long values (Memo, OLE Object) are kept inline when small
// and otherwise handed to a LongValueStore, which puts them on long-value
// pages and returns where they went.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/jet_format.h"
#include "jet/mdb_writer.h"
#include "jet/table_layout.h"

namespace corvid::jet {

class LongValueStore {
 public:
  virtual ~LongValueStore() = default;
  // Stores a value of the given column (its column number) as one
  // long-value row; returns its page/row pointer (page << 8 | row).
  virtual std::uint32_t StoreSingle(std::uint16_t column, std::span<const std::byte> value) = 0;
  // Stores a value as a chain of rows, each starting with the pointer to the
  // next; returns the pointer to the first.
  virtual std::uint32_t StoreChain(std::uint16_t column, std::span<const std::byte> value) = 0;
};

class RowEncoder {
 public:
  RowEncoder(const JetConstants& jet, const TableLayout& layout);

  // Encodes a row into `row` (replacing its content). `rowNumber` (1-based)
  // only names the row in error messages. `nextAutoNumber` is read for NULL
  // AutoNumber values and advanced only when the row succeeds. Validation
  // errors throw WriterError before anything is stored.
  void Encode(std::span<const Value> values, std::int64_t rowNumber, LongValueStore& store,
              std::int32_t& nextAutoNumber, std::vector<std::byte>& row);

  // Encode in two steps: Prepare converts and checks everything (throwing
  // WriterError with nothing stored), Assemble stores the long values and
  // builds the row (its errors are I/O errors). Prepare returns the row size.
  // `stored` (empty, or one entry per column): a Memo / OLE Object field's
  // bytes exactly as an existing row holds them (its long-value header, and
  // the data of an inline value), copied into the row as they are in place
  // of the column's value; the long value itself stays where it is.
  std::size_t Prepare(std::span<const Value> values, std::int64_t rowNumber,
                      std::int32_t& nextAutoNumber,
                      std::span<const std::optional<std::vector<std::byte>>> stored = {});
  void Assemble(LongValueStore& store, std::vector<std::byte>& row);

 private:
  struct Field {
    bool null = true;
    bool boolValue = false;
    std::vector<std::byte> owned;
    std::span<const std::byte> bytes;  // fixed bytes, var bytes or long-value bytes
    bool stored = false;               // bytes are a stored long-value field, copied as they are
  };

  [[noreturn]] void Fail(std::int64_t rowNumber, const ColumnLayout& column,
                         const std::string& what) const;
  void Convert(const Value& value, std::int64_t rowNumber, const ColumnLayout& column, Field& field,
               std::int32_t& autoNumber) const;
  std::size_t LongValueRowBytes(const Field& field) const;
  void AssembleJet3Tail(std::vector<std::byte>& row, const std::vector<std::size_t>& offsets,
                        std::size_t eod) const;

  const JetConstants& jet_;
  const TableLayout& layout_;
  std::vector<Field> fields_;
  std::int32_t pendingAutoNumber_ = 0;
};

}  // namespace corvid::jet
