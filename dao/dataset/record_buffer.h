#pragma once
// A record buffer as the data-set base sees it: the concrete data set derives
// its own header from it; the base keeps the calculated-field area, one slot
// per calculated or lookup field (an empty slot is NULL).

#include <optional>
#include <vector>

#include "dao/dataset/field_value.h"

namespace corvid {

class RecordBuffer {
 public:
  virtual ~RecordBuffer() = default;
  std::vector<std::optional<FieldValue>> calculated;
};

}  // namespace corvid
