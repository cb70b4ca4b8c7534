#include "dao/connection/database_language.h"

#include <array>
#include <utility>

namespace corvid {

std::string_view CollatingOrderLanguage(std::int32_t collatingOrder) {
  static constexpr std::array<std::pair<std::int32_t, std::string_view>, 22> kLanguages{{
      {1024, "Neutral"},
      {1025, "Arabic"},
      {1028, "Traditional Chinese"},
      {1029, "Czech"},
      {1030, "Norwegian or Danish"},
      {1032, "Greek"},
      {1033, "General (English, French, German, Portuguese, Italian, and Modern Spanish)"},
      {1034, "Spanish"},
      {1037, "Hebrew"},
      {1038, "Hungarian"},
      {1039, "Icelandic"},
      {1041, "Japanese"},
      {1042, "Korean"},
      {1043, "Dutch"},
      {1045, "Polish"},
      {1049, "Bulgarian or Russian"},
      {1053, "Swedish or Finnish"},
      {1054, "Thai"},
      {1055, "Turkish"},
      {1060, "Slovenian"},
      {2052, "Simplified Chinese"},
      {-1, "Undefined or unknown"},
  }};
  for (const auto& [order, name] : kLanguages) {
    if (order == collatingOrder) return name;
  }
  return {};
}

}  // namespace corvid
