#pragma once
#include "lower/lower.h"
int Upper();
