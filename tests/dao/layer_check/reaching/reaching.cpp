// Links only lower/, includes upper/.
#include "upper/upper.h"

int Reaching() { return Upper(); }
