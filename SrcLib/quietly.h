#pragma once
// Quietly: runs a step whose failure changes nothing for the caller (a
// clean-up, a best-effort refresh, a notification while already failing)
// and ignores any exception it throws. The reason says why ignoring it is
// right; it is for the reader of the call, not a message.

#include <string_view>

namespace corvid {

template <typename Step>
void Quietly([[maybe_unused]] std::string_view reason, Step&& step) noexcept {
  try {
    step();
  } catch (...) {
    // ignored on purpose: see `reason` at the call
  }
}

}  // namespace corvid
