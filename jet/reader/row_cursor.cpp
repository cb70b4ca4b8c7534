#include "jet/reader/row_cursor.h"

#include "jet/reader/checked_bytes.h"
#include "jet/reader/data_page.h"
#include "jet/reader/row_decoder.h"
#include "jet/reader/usage_map.h"

namespace corvid::jet::reader {

namespace {
// A lookup row's target may itself be a lookup row; Access never chains
// them further than this.
constexpr int kMaxLookupHops = 4;
}  // namespace

RowCursor::RowCursor(std::shared_ptr<DatabaseState> state,
                     std::shared_ptr<const TableDefinition> def)
    : keepState_(std::move(state)), keepDef_(std::move(def)), state_(*keepState_), def_(*keepDef_) {
  try {
    UsageMap map = ReadUsageMap(state_.pages, state_.format, def_.usedPagesMap);
    listed_ = std::move(map.pages);
    if (map.pagesBeyondFile > 0) {
      state_.report.Add(At(def_.page), "the usage map lists " +
                                           std::to_string(map.pagesBeyondFile) +
                                           " pages beyond the end of the file");
      needRecovery_ = true;
    }
  } catch (const DamageError& e) {
    state_.report.Add(e.Within(At(def_.page)).Where(),
                      "the table's usage map cannot be read: " + e.Problem());
    needRecovery_ = true;
  }
}

DamageLocation RowCursor::At(std::uint32_t page, int row) const {
  DamageLocation where{.table = def_.name, .page = page};
  if (row >= 0) where.row = row;
  return where;
}

bool RowCursor::LoadPage(std::uint32_t number, bool listed) {
  visited_.insert(number);
  try {
    PagePtr page = state_.pages.Read(number);
    const bool data = PageType(*page) == kPageTypeData;
    if (!data || PageOwner(*page, state_.format) != def_.page) {
      if (listed) {
        state_.report.Add(At(number),
                          data ? "the usage map lists a data page of another table"
                               : "the usage map lists a page that is not a data page (type " +
                                     std::to_string(PageType(*page)) + ")");
        needRecovery_ = true;
      }
      return false;
    }
    slotCount_ = RowCountOf(*page, state_.format);
    page_ = std::move(page);
    pageNumber_ = number;
    slot_ = 0;
    return true;
  } catch (const DamageError& e) {
    state_.report.Add(e.Within(At(number)));
    needRecovery_ = true;
    return false;
  }
}

bool RowCursor::NextPage() {
  page_.reset();
  if (phase_ == Phase::Listed) {
    while (listedIndex_ < listed_.size())
      if (LoadPage(listed_[listedIndex_++], true)) return true;
    // More rows than the definition counts is no loss (Access does not
    // always keep the count of its system tables current); fewer is.
    if (!needRecovery_ && rowsRead_ + rowsUnreadable_ >= def_.rowCount) {
      Finish();
      return false;
    }
    if (!needRecovery_)
      state_.report.Add(At(def_.page),
                        "the table definition lists " + std::to_string(def_.rowCount) +
                            " rows; the pages of its usage map hold " + std::to_string(rowsRead_));
    phase_ = Phase::Recovery;
  }
  if (phase_ == Phase::Recovery) {
    while (scanPage_ < state_.pages.PageCount()) {
      const std::uint32_t number = scanPage_++;
      if (visited_.count(number)) continue;
      // Pages that are not this table's are not damage here: skip them quietly.
      try {
        PagePtr page = state_.pages.Read(number);
        if (PageType(*page) != kPageTypeData || PageOwner(*page, state_.format) != def_.page)
          continue;
      } catch (const DamageError&) {
        continue;
      }
      if (LoadPage(number, false)) return true;
    }
    Finish();
  }
  return false;
}

void RowCursor::Finish() {
  if (phase_ == Phase::Done) return;
  const bool recovered = phase_ == Phase::Recovery;
  phase_ = Phase::Done;
  if (recovered && rowsRead_ < def_.rowCount)
    state_.report.Add(At(def_.page), std::to_string(rowsRead_) + " of the " +
                                         std::to_string(def_.rowCount) +
                                         " rows the table definition lists were read");
}

bool RowCursor::ReadSlot(std::size_t slotIndex, Row& out) {
  const int rowNumber = static_cast<int>(slotIndex);
  try {
    RowSlot slot = SlotOf(*page_, state_.format, slotIndex);
    if (slot.deleted) return false;
    const std::uint32_t self = pageNumber_ << 8 | static_cast<std::uint32_t>(slotIndex);
    if (!slot.lookup && !followedTargets_.empty() && followedTargets_.count(self)) return false;
    PagePtr holder = page_;
    std::span<const std::byte> bytes =
        std::span<const std::byte>(*page_).subspan(slot.start, slot.end - slot.start);
    std::uint32_t where = self;
    for (int hop = 0; slot.lookup; ++hop) {
      if (hop == kMaxLookupHops) throw DamageError("a chain of lookup rows");
      const std::uint32_t target = Read32(bytes, 0);
      followedTargets_.insert(target);
      PagePtr targetPage = state_.pages.Read(target >> 8);
      if (PageType(*targetPage) != kPageTypeData ||
          PageOwner(*targetPage, state_.format) != def_.page)
        throw DamageError("a lookup row points to page " + std::to_string(target >> 8) +
                          ", not a page of this table");
      if ((target & 0xFF) >= RowCountOf(*targetPage, state_.format))
        throw DamageError("a lookup row points to a missing row");
      slot = SlotOf(*targetPage, state_.format, target & 0xFF, true);
      holder = targetPage;
      bytes = std::span<const std::byte>(*holder).subspan(slot.start, slot.end - slot.start);
      where = target;
    }
    out.values = DecodeRow(bytes, def_, state_.format, state_.text);
    out.page = where >> 8;
    out.row = static_cast<int>(where & 0xFF);
    out.recovered = phase_ == Phase::Recovery;
    ++rowsRead_;
    if (out.recovered) ++rowsRecovered_;
    return true;
  } catch (const DamageError& e) {
    state_.report.Add(e.Within(At(pageNumber_, rowNumber)));
    ++rowsUnreadable_;
    needRecovery_ = true;
    return false;
  }
}

bool RowCursor::Next(Row& out) {
  while (phase_ != Phase::Done) {
    if (page_) {
      while (slot_ < slotCount_)
        if (ReadSlot(slot_++, out)) return true;
    }
    if (!NextPage()) return false;
  }
  return false;
}

}  // namespace corvid::jet::reader
