#include "dao/discovery/configuration_store.h"

#include <algorithm>
#include <mutex>

#include "SrcLib/text_case.h"

namespace corvid::dao {
namespace {

// Registry paths: "\" separated, a leading "\" and trailing "\" ignored,
// letter case ignored.
std::string_view TrimSeparators(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return key;
}

std::string Fold(std::string_view key) { return LowerCase(TrimSeparators(key)); }

std::string LastPart(std::string_view key) {
  key = TrimSeparators(key);
  auto slash = key.rfind('\\');
  return std::string(slash == std::string_view::npos ? key : key.substr(slash + 1));
}

}  // namespace

const MemoryConfigurationStore::Key* MemoryConfigurationStore::Find(Hive hive,
                                                                    std::string_view key) const {
  auto it = keys_.find({static_cast<int>(hive), Fold(key)});
  return it == keys_.end() ? nullptr : &it->second;
}

MemoryConfigurationStore::Key& MemoryConfigurationStore::Make(Hive hive, std::string_view key) {
  std::string_view trimmed = TrimSeparators(key);
  std::string folded = LowerCase(trimmed);
  auto found = keys_.find({static_cast<int>(hive), folded});
  if (found != keys_.end()) return found->second;
  auto slash = trimmed.rfind('\\');
  if (slash != std::string_view::npos) {
    Key& parent = Make(hive, trimmed.substr(0, slash));
    parent.children.push_back(folded);
  }
  Key& made = keys_[{static_cast<int>(hive), folded}];
  made.name = LastPart(trimmed);
  return made;
}

void MemoryConfigurationStore::AddKey(Hive hive, std::string_view key) { Make(hive, key); }

void MemoryConfigurationStore::SetText(Hive hive, std::string_view key, std::string_view value,
                                       std::string_view text) {
  Key& k = Make(hive, key);
  for (auto& [name, stored] : k.values) {
    if (SameText(name, value)) {
      stored = std::string(text);
      return;
    }
  }
  k.values.emplace_back(std::string(value), std::string(text));
}

bool MemoryConfigurationStore::KeyExists(Hive hive, std::string_view key) const {
  return !TrimSeparators(key).empty() && Find(hive, key) != nullptr;
}

std::string MemoryConfigurationStore::ReadText(Hive hive, std::string_view key,
                                               std::string_view value) const {
  const Key* k = Find(hive, key);
  if (!k) return {};
  for (const auto& [name, text] : k->values)
    if (SameText(name, value)) return text;
  return {};
}

std::vector<std::string> MemoryConfigurationStore::SubkeyNames(Hive hive,
                                                               std::string_view key) const {
  std::vector<std::string> names;
  if (const Key* k = Find(hive, key))
    for (const std::string& child : k->children)
      names.push_back(keys_.at({static_cast<int>(hive), child}).name);
  return names;
}

std::vector<std::string> MemoryConfigurationStore::ValueNames(Hive hive,
                                                              std::string_view key) const {
  std::vector<std::string> names;
  if (const Key* k = Find(hive, key))
    for (const auto& value : k->values) names.push_back(value.first);
  return names;
}

std::shared_ptr<const ConfigurationStore> DefaultConfigurationStore() {
  static const std::shared_ptr<const ConfigurationStore> store = [] {
    auto made = std::make_shared<MemoryConfigurationStore>();
    for (const char* progId : {"DAO.DBEngine.120", "DAO.PrivateDBEngine.120"}) {
      made->SetText(Hive::ClassesRoot, progId, "", "DAO.DBEngine");
      made->SetText(Hive::ClassesRoot, progId, "Engine", std::string(kLibmdbEngineClass));
      made->SetText(Hive::ClassesRoot, progId, "Version", "12.0");
    }
    made->AddKey(Hive::LocalMachine,
                 "SOFTWARE\\Microsoft\\Office\\12.0\\Access Connectivity Engine\\Engines");
    return made;
  }();
  return store;
}

namespace {
std::mutex storeMutex;
std::shared_ptr<const ConfigurationStore>& CurrentSlot() {
  static std::shared_ptr<const ConfigurationStore> current;
  return current;
}
}  // namespace

const ConfigurationStore& CurrentConfigurationStore() {
  std::lock_guard lock(storeMutex);
  auto& slot = CurrentSlot();
  if (!slot) slot = DefaultConfigurationStore();
  return *slot;
}

ScopedConfigurationStore::ScopedConfigurationStore(
    std::shared_ptr<const ConfigurationStore> store) {
  std::lock_guard lock(storeMutex);
  previous_ = CurrentSlot();
  CurrentSlot() = std::move(store);
}

ScopedConfigurationStore::~ScopedConfigurationStore() {
  std::lock_guard lock(storeMutex);
  CurrentSlot() = std::move(previous_);
}

}  // namespace corvid::dao
