// Adding pages to a usage map stored in an existing file. An inline map
// (type 0) takes pages within its range in place and becomes a map of
// bitmap pages (type 1) when a page falls outside it; a type-1 map gets a
// bit in its bitmap page, or a new bitmap page for a range it did not cover.
// The map row keeps its page and row number, so the pointers to it stay.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/edit_session.h"
#include "jet/jet_format.h"

namespace corvid::jet {

// The pages a stored map row lists, ascending.
std::vector<std::uint32_t> ReadUsageMap(const JetConstants& jet, EditSession& session,
                                        std::uint32_t mapPointer);

// Adds `pages` to the map whose row `mapPointer` (page << 8 | row) names.
void AddToUsageMap(const JetConstants& jet, EditSession& session, std::uint32_t mapPointer,
                   std::span<const std::uint32_t> pages);

}  // namespace corvid::jet
