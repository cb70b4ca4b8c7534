#pragma once
// The table's record buffer: a header (position, value texts, flag, 4-byte
// bookmark) in front of the base's calculated-field area. Every data-field
// value is held as a text; the empty text is NULL.

#include <cstdint>
#include <string>
#include <vector>

#include "dao/dataset/record_buffer.h"

namespace corvid {

struct RecordValue {
  std::string text;
  bool modified = false;
  // Why the value could not be read (the file is damaged there; reading the
  // field raises it again as DataDamageError); empty for a value read.
  std::string damage;
};

enum RecFlagValue : std::uint8_t { kRecCurrent = 0, kRecBof = 1, kRecEof = 2, kRecInserted = 3 };

class DaoRecordBuffer : public RecordBuffer {
 public:
  std::int32_t RecPosition = 0;        // 0-based; -1 for a new record
  std::vector<RecordValue> RecValues;  // one entry per field definition
  std::uint8_t RecFlag = kRecCurrent;
  std::int32_t RecBookmark = 0;  // first four bytes of the bookmark, little-endian
};

}  // namespace corvid
