#pragma once
// A complex column of a table as the engine reads it: the reader's complex
// column (the hidden table of its values and their kind) and the DAO type
// the column's Field has: dbAttachment for attached files; dbComplexByte ...
// dbComplexText, by the type of the template's value column, for
// multi-value lists (a version history's Memo values count as text).

#include <memory>

#include "jet/reader/complex_column.h"

namespace corvid::dao {

struct ComplexValues {
  explicit ComplexValues(jet::reader::ComplexColumn resolved);
  jet::reader::ComplexColumn column;
  int daoType;
};

// The DAO type of a resolved complex column.
int ComplexDaoType(const jet::reader::ComplexColumn& column);

}  // namespace corvid::dao
