// What the parts of an open database share: its pages, its version's
// layout, its text decoding and the damage found so far.
#pragma once

#include "jet/reader/errors.h"
#include "jet/reader/header_page.h"
#include "jet/reader/page_source.h"
#include "jet/jet_format.h"
#include "jet/reader/text_decoding.h"

namespace corvid::jet::reader {

struct DatabaseState {
  DatabaseState(std::unique_ptr<ByteSource> bytes, const HeaderPage& header, std::size_t cachePages)
      : header(header),
        format(ConstantsFor(header.version)),
        pages(std::move(bytes), header.pageSize, cachePages),
        text(header.version) {}

  HeaderPage header;
  const JetConstants& format;
  PageSource pages;
  TextDecoder text;
  DamageReport report;
};

}  // namespace corvid::jet::reader
