#pragma once
// libmdb's header opens extern "C" around <glib.h>, which C++ glib headers
// do not survive: include glib first, once, here.

#include <glib.h>
#include <mdbtools.h>
