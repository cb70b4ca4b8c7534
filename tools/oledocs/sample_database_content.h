// What the bundled sample database holds, row by row. The generator in
// samples/ writes exactly these rows, and tests compare the file with them.
//
// Table "table" fits the main window's defaults (table "table", blob field
// "img", name field "id", filter field "filter", filter value "*"):
//   id      Long       (NULL nowhere; one id appears twice)
//   filter  Text(50)   the kind of document, to filter on
//   img     OLE Object wrapped and bare documents, one NULL, one empty, one unrecognised
//   name    Text(100)  a file name to use as field 1 or 2 (one non-ASCII)
//
// Table "photos" shows the filter: a text column "category" and a numeric
// column "year".
//   id Long, category Text(50), year Long, caption Text(100), img OLE Object
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

struct SampleTableRow {
  std::int32_t id = 0;
  std::string filter;
  std::optional<Bytes> img;  // nullopt: NULL
  std::string name;          // UTF-8
  std::string content;       // what the value holds, e.g. "PBrush bitmap (BMP)"
  // The extension recognition gives the value with the window's defaults;
  // empty for a NULL or empty value, which the run does not write.
  std::string extension;
};

struct SamplePhotoRow {
  std::int32_t id = 0;
  std::string category;
  std::int32_t year = 0;
  std::string caption;  // UTF-8
  Bytes img;
  std::string extension;
};

inline constexpr const char* kSampleTable = "table";
inline constexpr const char* kSamplePhotoTable = "photos";

std::vector<SampleTableRow> SampleTableRows();
std::vector<SamplePhotoRow> SamplePhotoRows();

}  // namespace corvid::oledocs
