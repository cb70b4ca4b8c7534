// Puts long values (Memo and OLE Object data too large for the row) on
// long-value pages: values that fit one row share pages; longer values
// become a chain of full-page rows, each pointing to the next.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "tools/mdbwriter/data_page.h"
#include "tools/mdbwriter/jet_format.h"
#include "tools/mdbwriter/page_file.h"
#include "tools/mdbwriter/row_encoder.h"

namespace corvid::mdbwriter {

class PageLongValueStore final : public LongValueStore {
 public:
  PageLongValueStore(const JetConstants& jet, PageFile& file);

  std::uint32_t StoreSingle(std::span<const std::byte> value) override;
  std::uint32_t StoreChain(std::span<const std::byte> value) override;
  // Writes the partly filled shared page.
  void Flush();

  std::uint64_t PagesUsed() const { return pagesUsed_; }

 private:
  const JetConstants& jet_;
  PageFile& file_;
  DataPage shared_;
  std::optional<std::uint32_t> sharedNumber_;
  DataPage chainPage_;
  std::uint64_t pagesUsed_ = 0;
};

}  // namespace corvid::mdbwriter
