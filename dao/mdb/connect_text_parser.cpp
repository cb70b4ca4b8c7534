#include "dao/mdb/connect_text_parser.h"

#include "SrcLib/text_case.h"

namespace corvid::dao {

ConnectText ParseConnectText(std::string_view connect) {
  ConnectText result;
  bool first = true;
  while (true) {
    auto semicolon = connect.find(';');
    std::string_view part = connect.substr(0, semicolon);
    auto equals = part.find('=');
    if (equals == std::string_view::npos) {
      if (first) result.type = std::string(part);
    } else {
      std::string_view key = part.substr(0, equals);
      std::string_view value = part.substr(equals + 1);
      if (SameText(key, "PWD"))
        result.password = std::string(value);
      else if (SameText(key, "UID"))
        result.user = std::string(value);
    }
    first = false;
    if (semicolon == std::string_view::npos) break;
    connect.remove_prefix(semicolon + 1);
  }
  if (SameText(result.type, "MS Access")) result.type.clear();
  return result;
}

}  // namespace corvid::dao
