#include "dao/table/text_translation.h"

#include "SrcLib/code_pages.h"
#include "dao/table/dao_table.h"

namespace corvid {

std::string OemStoredTextToUtf8(std::string_view text) {
  return Cp850ToUtf8(Utf8ToWindows1252(text));
}

int TVxDaoTable::TranslateText(const std::string* source, std::string* destination,
                               bool toOem) const {
  if (source == nullptr || destination == nullptr || source == destination) return 0;
  if (!translation_) {
    *destination = *source;
  } else {
    *destination = toOem ? Utf8ToCp850(*source) : Cp850ToUtf8(*source);
  }
  return static_cast<int>(destination->size());
}

}  // namespace corvid

namespace corvid {

std::string TVxDaoTable::TranslateStoredText(std::string text) const {
  return translation_ ? OemStoredTextToUtf8(text) : text;
}

}  // namespace corvid
