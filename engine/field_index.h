#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvid {

// Position of `name` in `fieldNames` (case-insensitive); when not found and
// `alternative1` is not empty, its position; then likewise `alternative2`;
// -1 when none is found.
int FieldIndex(const std::vector<std::string>& fieldNames, std::string_view name,
               std::string_view alternative1 = {}, std::string_view alternative2 = {});

}  // namespace corvid
