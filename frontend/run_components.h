#pragma once
// The database and table components a window owns for its extraction runs,
// seen through the engine's ports. The program plugs in the DAO components
// (VxDaoDB and VxDaoT); tests plug in doubles.

#include <cstdint>
#include <memory>

#include "engine/database_ports.h"

namespace corvid {

class RunComponents {
 public:
  virtual ~RunComponents() = default;
  virtual DatabaseConnection& Connection() = 0;
  virtual RecordTable& Table() = 0;
  // Records in the open table, for a progress display; -1 when unknown.
  virtual std::int64_t RecordCount() { return -1; }
};

}  // namespace corvid
