#pragma once
// COM initialisation stands for nothing on Linux, but the connection and the
// table keep their balanced initialise/uninitialise calls: a per-thread
// apartment count records them so tests can check the balance.

namespace corvid::dao {

inline constexpr long kS_OK = 0;     // first initialisation of the thread
inline constexpr long kS_FALSE = 1;  // already initialised

// Raises the calling thread's count; kS_OK when it was 0, else kS_FALSE. Never fails.
long CoInitializeApartment();
// Lowers the count (never below 0).
void CoUninitializeApartment();
// The calling thread's current count.
int ApartmentCount();

// One initialisation held for the guard's lifetime.
class ComApartment {
 public:
  ComApartment() { CoInitializeApartment(); }
  ~ComApartment() { CoUninitializeApartment(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

}  // namespace corvid::dao
