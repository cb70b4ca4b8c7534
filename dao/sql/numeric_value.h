#pragma once
// The number conditions and sort orders compare for Booleans, integers,
// floating-point, currency and date values.

#include "dao/engine/variant.h"

namespace corvid::dao::sql {

// True for the variants that compare as numbers.
bool IsNumeric(const Variant& v);

// The value as a number: True is -1 as in Access; a date becomes a point in
// time that orders chronologically (days before 30 December 1899 store the
// time as a fraction added to a negative day, so -1.25 is earlier than -1.5).
double NumberOf(const Variant& v);

}  // namespace corvid::dao::sql
