// A small text format describing a database, for corvid-mkmdb:
//
//   # comment
//   format jet4                 (or jet3, or ace2007 for an .accdb file; optional)
//   password "s3cret"           (optional)
//   table Photos
//   column id autonumber
//   column name text 40         (text [size], binary [size]; add "nocompress"
//                                to store text without Unicode compression)
//   column photo ole
//   row NULL, "Anna", file:anna.jpg
//   row 7, "Bob", hex:FFD8FFE0
//
// Types: long, autonumber, integer, byte, yesno, currency, double, datetime,
// text, memo, ole, binary, guid, attachment (ace2007 only). Values: NULL; integers; decimals;
// true/false; "quoted text" (\" \\ \n \t escapes); dates as 2024-01-31 or "2024-01-31 13:45:00";
// GUIDs as {01234567-89AB-CDEF-0123-456789ABCDEF}; bytes as hex:..., file:PATH (relative to the
// folder of the file being read) or quoted text; attached files as files:PATH;PATH... (each stored
// under its own file name). Names with spaces are quoted. Errors name the line.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"

namespace corvid::mkmdb {

struct RawValue {
  bool quoted = false;
  std::string text;
};

struct DescribedTable {
  jet::TableDef definition;
  std::vector<std::vector<RawValue>> rows;
  std::vector<int> rowLines;
};

struct Description {
  jet::WriterOptions options;
  std::vector<DescribedTable> tables;
  std::string baseDirectory;  // for file: values
};

// Throws WriterError("line N: ...") for anything it does not understand.
Description ParseDescription(std::istream& in, std::string baseDirectory);

// Converts a raw value for a column (throws WriterError naming the line).
jet::Value ConvertValue(const RawValue& raw, const jet::ColumnDef& column,
                        const std::string& baseDirectory, int line);

// Writes the described database to `path` (atomically).
void WriteDescribedDatabase(const Description& description, const std::string& path);

// Days since 1899-12-30 for a civil date and time.
double DaysSince1899(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);

}  // namespace corvid::mkmdb
