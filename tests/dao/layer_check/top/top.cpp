// Sees lower/ through the public link of upper.
#include "lower/lower.h"
#include "upper/upper.h"

int Top() { return Upper() + Lower(); }
