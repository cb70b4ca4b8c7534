#include "dao/connection/connect_text_builder.h"

#include <algorithm>

namespace corvid {
namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (auto part : parts) text += part;
  return text;
}

}  // namespace

std::string AccessConnectText(std::string_view userName, std::string_view databasePassword,
                              std::string_view parameters) {
  return Join({";UID=", userName, ";PWD=", databasePassword, ";", parameters});
}

bool IsOdbcConnectText(std::string_view database) {
  constexpr std::string_view kPrefix = "odbc;";
  if (database.size() < kPrefix.size()) return false;
  return std::equal(kPrefix.begin(), kPrefix.end(), database.begin(), [](char want, char c) {
    return want == ((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
  });
}

std::string OdbcConnectText(std::string_view databaseType, std::string_view userName,
                            std::string_view password, std::string_view database,
                            std::string_view parameters) {
  if (IsOdbcConnectText(database)) return Join({database, ";", parameters});
  return Join(
      {databaseType, ";UID=", userName, ";PWD=", password, ";DSN=", database, ";", parameters});
}

std::string IsamConnectText(std::string_view databaseType, std::string_view userName,
                            std::string_view password, std::string_view parameters) {
  if (!password.empty() && !userName.empty())
    return Join({databaseType, ";UID=", userName, ";PWD=", password, ";", parameters});
  return Join({databaseType, ";", parameters});
}

}  // namespace corvid
