#pragma once
// The connect texts the connection hands to the engine's open call, one
// shape per database type.

#include <string>
#include <string_view>

namespace corvid {

// Access: ";UID=<user>;PWD=<database password>;<parameters>" (all three keys
// always present, even when empty).
std::string AccessConnectText(std::string_view userName, std::string_view databasePassword,
                              std::string_view parameters);

// ODBC: a database text that begins with "odbc;" (any letter case) is passed
// whole: "<database>;<parameters>"; otherwise
// "<type>;UID=<user>;PWD=<password>;DSN=<database>;<parameters>".
std::string OdbcConnectText(std::string_view databaseType, std::string_view userName,
                            std::string_view password, std::string_view database,
                            std::string_view parameters);

// An ISAM format: "<type>;UID=<user>;PWD=<password>;<parameters>" when both
// user name and password are set, else "<type>;<parameters>".
std::string IsamConnectText(std::string_view databaseType, std::string_view userName,
                            std::string_view password, std::string_view parameters);

// True when `database` begins with "odbc;" in any letter case.
bool IsOdbcConnectText(std::string_view database);

}  // namespace corvid
