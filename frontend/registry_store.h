#pragma once
// The per-user store that stands in for the registry's current-user root.
// Each key lives in one text file under $XDG_CONFIG_HOME (default ~/.config):
// "\Software\Tallowmere\corvid" is Tallowmere/corvid.reg. Values keep their
// names (case-insensitive, as in the registry) and their types. Every write
// replaces the key file atomically. No Qt here.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

// A failure of the store carrying the message the user sees, such as
// "Invalid data type for 'WinTop'".
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class RegistryValueType { String, ExpandString, DWord, QWord, Binary };

struct RegistryValue {
  RegistryValueType type = RegistryValueType::String;
  std::string data;  // strings: the bytes without terminator; numbers: little-endian bytes
};

// The directory that holds the store: $XDG_CONFIG_HOME when it is an absolute
// path, else $HOME/.config.
std::string RegistryRootDirectory();

// The file that holds a key, e.g. "\Software\Tallowmere\corvid" ->
// <root>/Tallowmere/corvid.reg.
std::string RegistryKeyFile(std::string_view keyPath);

class RegistryKey {
 public:
  // Opens a key by absolute path, creating it (an empty key file) when asked
  // and missing. nullptr when the key cannot be opened or created.
  static std::unique_ptr<RegistryKey> Open(std::string_view keyPath, bool canCreate);

  const std::string& Path() const { return path_; }
  const std::string& File() const { return file_; }

  bool ValueExists(std::string_view name) const;
  const RegistryValue* Find(std::string_view name) const;

  // Typed reads. A value of another type: "Invalid data type for '<name>'";
  // an integer read of a value whose data is longer than four bytes (or a
  // missing value): "Failed to get data for '<name>'". Strings end at their
  // first zero character; expandable strings are read unexpanded.
  std::int32_t ReadInteger(std::string_view name) const;
  std::string ReadString(std::string_view name) const;

  // Writes one value and stores the key at once; when the key file cannot be
  // replaced: "Failed to set data for '<name>'" and the value is not kept.
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteString(std::string_view name, std::string_view value);
  void WriteValue(std::string_view name, RegistryValue value);

  std::vector<std::string> ValueNames() const;

 private:
  RegistryKey(std::string path, std::string file)
      : path_(std::move(path)), file_(std::move(file)) {}
  bool Load();
  bool Store() const;

  struct Named {
    std::string name;
    RegistryValue value;
  };
  std::string path_;
  std::string file_;
  std::vector<Named> values_;
};

}  // namespace corvid
