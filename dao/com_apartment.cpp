#include "dao/com_apartment.h"

namespace corvid::dao {
namespace {
thread_local int apartmentCount = 0;
}

long CoInitializeApartment() { return apartmentCount++ == 0 ? kS_OK : kS_FALSE; }

void CoUninitializeApartment() {
  if (apartmentCount > 0) --apartmentCount;
}

int ApartmentCount() { return apartmentCount; }

}  // namespace corvid::dao
