#include "frontend/persisted_settings.h"

#include "SrcLib/exe_path.h"
#include "frontend/registry_store.h"

namespace corvid {
namespace {

struct StoredText {
  const char* name;
  EditBox box;
};

// The string values in the order they are read and written (after WinTop and WinLeft).
constexpr StoredText kStoredTexts[] = {
    {"fMDB", EditBox::Emdb},      {"fDIR", EditBox::Edir},       {"fTBL", EditBox::Etbl},
    {"fIMG", EditBox::Eimg},      {"fFILTER", EditBox::Efilter}, {"fVALUE", EditBox::Evalue},
    {"field1", EditBox::Efield1}, {"field2", EditBox::Efield2},
};

}  // namespace

std::string SettingsKeyPath() { return "\\Software\\Tallowmere\\" + ExeBaseName(); }

void LoadSettings(ParameterForm& form) {
  const std::unique_ptr<RegistryKey> key = RegistryKey::Open(SettingsKeyPath(), true);
  if (!key) return;
  if (key->ValueExists("WinTop")) form.SetTop(key->ReadInteger("WinTop"));
  if (key->ValueExists("WinLeft")) form.SetLeft(key->ReadInteger("WinLeft"));
  for (const StoredText& stored : kStoredTexts) {
    if (key->ValueExists(stored.name)) form.SetText(stored.box, key->ReadString(stored.name));
  }
}

void SaveSettings(const ParameterForm& form) {
  const std::unique_ptr<RegistryKey> key = RegistryKey::Open(SettingsKeyPath(), true);
  if (!key) return;
  key->WriteInteger("WinTop", form.Top());
  key->WriteInteger("WinLeft", form.Left());
  for (const StoredText& stored : kStoredTexts)
    key->WriteString(stored.name, form.Text(stored.box));
}

}  // namespace corvid
