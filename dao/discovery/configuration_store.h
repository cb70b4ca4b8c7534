#pragma once
// Read-only configuration look-ups in the shape of the Windows registry: keys
// in hives, text values, subkey names and value names. Key paths use "\"
// and are compared without regard to letter case; a leading "\" is ignored.
// Nothing here ever writes.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::dao {

enum class Hive { ClassesRoot, LocalMachine, CurrentUser };

class ConfigurationStore {
 public:
  virtual ~ConfigurationStore() = default;
  // The key exists (opened read-only and closed at once).
  virtual bool KeyExists(Hive hive, std::string_view key) const = 0;
  // A text value; "" when the key or the value is missing. An empty value
  // name reads the key's default value.
  virtual std::string ReadText(Hive hive, std::string_view key, std::string_view value) const = 0;
  // Names of the key's direct subkeys / values in stored order; empty when absent.
  virtual std::vector<std::string> SubkeyNames(Hive hive, std::string_view key) const = 0;
  virtual std::vector<std::string> ValueNames(Hive hive, std::string_view key) const = 0;
};

// A store held in memory; tests and the built-in default fill it.
class MemoryConfigurationStore : public ConfigurationStore {
 public:
  // Creates the key and its missing parents.
  void AddKey(Hive hive, std::string_view key);
  // Creates the key if needed and sets a text value (stored order kept).
  void SetText(Hive hive, std::string_view key, std::string_view value, std::string_view text);

  bool KeyExists(Hive hive, std::string_view key) const override;
  std::string ReadText(Hive hive, std::string_view key, std::string_view value) const override;
  std::vector<std::string> SubkeyNames(Hive hive, std::string_view key) const override;
  std::vector<std::string> ValueNames(Hive hive, std::string_view key) const override;

 private:
  struct Key {
    std::string name;                                         // as given
    std::vector<std::pair<std::string, std::string>> values;  // name, text
    std::vector<std::string> children;                        // folded full paths, in order
  };
  const Key* Find(Hive hive, std::string_view key) const;
  Key& Make(Hive hive, std::string_view key);
  std::map<std::pair<int, std::string>, Key> keys_;  // (hive, folded path)
};

// The ProgIDs of our own engine and the value under the ProgID key that
// marks them as ours (HKCR\<ProgID>, value "Engine" = kLibmdbEngineClass, a
// stored value that keeps its first name,
// value "Version" = the version text the engine reports).
inline constexpr std::string_view kLibmdbEngineClass = "corvid.libmdb";

// The store describing the engine that is really here: "DAO.DBEngine.120"
// and "DAO.PrivateDBEngine.120" (version "12.0"); no 3.5 or 3.6 engine, no
// ISAM formats, no ODBC drivers or data sources.
std::shared_ptr<const ConfigurationStore> DefaultConfigurationStore();

// The store the look-ups use: the default unless a test substituted one.
const ConfigurationStore& CurrentConfigurationStore();

// Substitutes a store for the lifetime of the guard (tests).
class ScopedConfigurationStore {
 public:
  explicit ScopedConfigurationStore(std::shared_ptr<const ConfigurationStore> store);
  ~ScopedConfigurationStore();
  ScopedConfigurationStore(const ScopedConfigurationStore&) = delete;
  ScopedConfigurationStore& operator=(const ScopedConfigurationStore&) = delete;

 private:
  std::shared_ptr<const ConfigurationStore> previous_;
};

}  // namespace corvid::dao
