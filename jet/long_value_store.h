// Puts the long values of one column (Memo and OLE Object data too large
// for the row) on long-value pages: values that fit one row share pages;
// longer values become a chain of full-page rows, each pointing to the
// next. The column's pages are remembered for its usage maps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/data_page.h"
#include "jet/jet_format.h"
#include "jet/page_sink.h"
#include "jet/row_encoder.h"

namespace corvid::jet {

class ColumnLongValuePages {
 public:
  ColumnLongValuePages(const JetConstants& jet, PageSink& file);

  std::uint32_t StoreSingle(std::span<const std::byte> value);
  std::uint32_t StoreChain(std::span<const std::byte> value);
  // Writes the partly filled shared page (it stays open for more rows).
  void Flush();

  // Every page holding this column's values, ascending.
  const std::vector<std::uint32_t>& Pages() const { return pages_; }
  // Pages with room for more long-value rows.
  std::vector<std::uint32_t> PagesWithFreeSpace() const;

 private:
  const JetConstants& jet_;
  PageSink& file_;
  DataPage shared_;
  std::optional<std::uint32_t> sharedNumber_;
  DataPage chainPage_;
  std::vector<std::uint32_t> pages_;
};

}  // namespace corvid::jet
