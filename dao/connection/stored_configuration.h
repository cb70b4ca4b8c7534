#pragma once
// The settings the program's database component is stored with (the values
// its window was designed with), applied while the component is loading.

namespace corvid {

class TVxDaoDatabase;

// Sets the stored values; call between BeginLoading and FinishSetup.
void ApplyStoredDatabaseConfiguration(TVxDaoDatabase& db);

}  // namespace corvid
