// Links hidden/, which links lower/ privately.
#include "hidden/hidden.h"
#include "lower/lower.h"

int Above() { return Hidden() + Lower(); }
