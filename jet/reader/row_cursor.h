// Walks the rows of one table. It first reads the pages the table's usage
// map lists, checking each (a data page owned by this table definition,
// offsets within the page); rows flagged deleted are skipped, lookup rows
// are followed to the row they point to. When a check fails or the rows
// found are fewer than the definition's row count, it recovers: it scans
// every other page of the file whose owner is this table definition and
// returns the rows found there marked as recovered. Every page or row it
// cannot read goes to the damage report; nothing is thrown for them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

#include "jet/reader/database_state.h"
#include "jet/reader/table_definition.h"
#include "jet/reader/value.h"

namespace corvid::jet::reader {

struct Row {
  std::vector<Value> values;  // one per column of the definition
  std::uint32_t page = 0;
  int row = 0;
  bool recovered = false;  // found by the recovery scan
};

class RowCursor {
 public:
  // Keeps the database and the definition alive.
  RowCursor(std::shared_ptr<DatabaseState> state, std::shared_ptr<const TableDefinition> def);

  // The next readable row; false at the end.
  bool Next(Row& out);

  std::size_t RowsRead() const { return rowsRead_; }
  std::size_t RowsRecovered() const { return rowsRecovered_; }
  std::size_t RowsUnreadable() const { return rowsUnreadable_; }
  bool Recovering() const { return phase_ == Phase::Recovery; }

 private:
  enum class Phase { Listed, Recovery, Done };

  bool LoadPage(std::uint32_t number, bool listed);
  bool NextPage();
  bool ReadSlot(std::size_t slotIndex, Row& out);
  void Finish();
  DamageLocation At(std::uint32_t page, int row = -1) const;

  std::shared_ptr<DatabaseState> keepState_;
  std::shared_ptr<const TableDefinition> keepDef_;
  DatabaseState& state_;
  const TableDefinition& def_;
  Phase phase_ = Phase::Listed;
  bool needRecovery_ = false;
  std::vector<std::uint32_t> listed_;
  std::size_t listedIndex_ = 0;
  std::uint32_t scanPage_ = 1;
  std::unordered_set<std::uint32_t> visited_;
  std::unordered_set<std::uint32_t> followedTargets_;  // row pointers reached through lookup rows
  PagePtr page_;
  std::uint32_t pageNumber_ = 0;
  std::size_t slotCount_ = 0, slot_ = 0;
  std::size_t rowsRead_ = 0, rowsRecovered_ = 0, rowsUnreadable_ = 0;
};

}  // namespace corvid::jet::reader
