#include "upper/upper.h"

int Upper() { return Lower() + 1; }
