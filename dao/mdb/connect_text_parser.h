#pragma once
// The connect text of OpenDatabase: an optional source type before the first
// ";" ("ODBC", an ISAM name such as "dBase 5.0", or empty / "MS Access" for
// an Access file), then "KEY=value" parts separated by ";".

#include <string>
#include <string_view>

namespace corvid::dao {

struct ConnectText {
  std::string type;      // "" for an Access file
  std::string password;  // PWD=
  std::string user;      // UID=
};

ConnectText ParseConnectText(std::string_view connect);

}  // namespace corvid::dao
