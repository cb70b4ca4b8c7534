#include "engine/field_index.h"

#include "SrcLib/text_case.h"

namespace corvid {
namespace {

int PositionOf(const std::vector<std::string>& fieldNames, std::string_view name) {
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (SameText(fieldNames[i], name)) return static_cast<int>(i);
    return -1;
}

}  // namespace

int FieldIndex(const std::vector<std::string>& fieldNames, std::string_view name,
               std::string_view alternative1, std::string_view alternative2) {
    int position = PositionOf(fieldNames, name);
    if (position == -1 && !alternative1.empty()) position = PositionOf(fieldNames, alternative1);
    if (position == -1 && !alternative2.empty()) position = PositionOf(fieldNames, alternative2);
    return position;
}

}  // namespace corvid
