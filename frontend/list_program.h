#pragma once
// corvid --list DB: a map of the database on standard output (text, or JSON
// with --json) without opening the window. Exit status 0 after a complete
// map, 3 when part of the file could not be read (the map of the rest is
// printed, the damage on standard error), 1 when the file cannot be opened as
// a database, 2 when no existing database file was named.

#include <functional>
#include <memory>

#include "frontend/command_line.h"

namespace corvid {

class TVxDaoDatabase;

// Makes the database connection the map is read through.
using ConnectionFactory = std::function<std::unique_ptr<TVxDaoDatabase>()>;

int RunListing(const OwnArguments& arguments, const ConnectionFactory& makeConnection);

}  // namespace corvid
