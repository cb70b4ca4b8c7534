#include "frontend/persisted_settings.h"
#include "frontend/registry_store.h"
#include "SrcLib/exe_path.h"
#include "temp_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace corvid {
namespace {

using testing::TempConfigHome;

const char* const kOrder[] = {"WinTop", "WinLeft", "fMDB",   "fDIR",   "fTBL",
                              "fIMG",   "fFILTER", "fVALUE", "field1", "field2"};

class PersistedSettings : public ::testing::Test {
 protected:
  void SetUp() override { InitialiseExePath("/usr/local/bin/corvid"); }
  TempConfigHome config_;
};

std::unique_ptr<RegistryKey> OpenKey() { return RegistryKey::Open(SettingsKeyPath(), false); }

TEST_F(PersistedSettings, KeyPathAndFileFollowTheProgramFileName) {
  EXPECT_EQ(SettingsKeyPath(), "\\Software\\Tallowmere\\corvid");
  EXPECT_EQ(RegistryKeyFile(SettingsKeyPath()), config_.Path() + "/Tallowmere/corvid.reg");
}

TEST_F(PersistedSettings, FirstStartShowsDefaultsAndCreatesAllTenValuesInOrder) {
  PlainForm form;
  LoadSettings(form);
  EXPECT_EQ(form.Top(), 104);
  EXPECT_EQ(form.Left(), 387);
  EXPECT_EQ(form.Text(EditBox::Etbl), "table");
  EXPECT_EQ(form.Text(EditBox::Edir), "/tmp/");
  // Loading creates the empty key.
  ASSERT_NE(OpenKey(), nullptr);
  EXPECT_TRUE(OpenKey()->ValueNames().empty());

  SaveSettings(form);
  const auto key = OpenKey();
  ASSERT_NE(key, nullptr);
  const std::vector<std::string> names = key->ValueNames();
  EXPECT_EQ(names, std::vector<std::string>(std::begin(kOrder), std::end(kOrder)));
  EXPECT_EQ(key->Find("WinTop")->type, RegistryValueType::DWord);
  EXPECT_EQ(key->ReadInteger("WinTop"), 104);
  EXPECT_EQ(key->ReadInteger("WinLeft"), 387);
  EXPECT_EQ(key->Find("field2")->type, RegistryValueType::String);
  EXPECT_EQ(key->ReadString("field2"), "");
  EXPECT_EQ(key->ReadString("fMDB"), "*.mdb");
}

TEST_F(PersistedSettings, RoundTripKeepsEveryTextAndPosition) {
  PlainForm form;
  form.SetTop(-20);  // positions outside the desktop are kept as they are
  form.SetLeft(3000);
  form.SetText(EditBox::Emdb, "/data/photos \"2024\".mdb");
  form.SetText(EditBox::Edir, "/out/K\xC3\xB6ln\\x/");
  form.SetText(EditBox::Evalue, "100 - 200");
  form.SetText(EditBox::Efield2, "tab\there");
  SaveSettings(form);

  PlainForm loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded.Top(), -20);
  EXPECT_EQ(loaded.Left(), 3000);
  EXPECT_EQ(loaded.Text(EditBox::Emdb), "/data/photos \"2024\".mdb");
  EXPECT_EQ(loaded.Text(EditBox::Edir), "/out/K\xC3\xB6ln\\x/");
  EXPECT_EQ(loaded.Text(EditBox::Evalue), "100 - 200");
  EXPECT_EQ(loaded.Text(EditBox::Efield2), "tab\there");
}

TEST_F(PersistedSettings, KeyHoldingOnlyTableChangesOnlyTheTable) {
  RegistryKey::Open(SettingsKeyPath(), true)->WriteString("fTBL", "Orders");
  PlainForm form;
  LoadSettings(form);
  PlainForm defaults;
  EXPECT_EQ(form.Text(EditBox::Etbl), "Orders");
  for (EditBox box : {EditBox::Emdb, EditBox::Edir, EditBox::Eimg, EditBox::Efilter,
                      EditBox::Evalue, EditBox::Efield1, EditBox::Efield2}) {
    EXPECT_EQ(form.Text(box), defaults.Text(box));
  }
  EXPECT_EQ(form.Top(), 104);
  EXPECT_EQ(form.Left(), 387);
}

TEST_F(PersistedSettings, EmptyStoredDirectoryEmptiesTheBox) {
  RegistryKey::Open(SettingsKeyPath(), true)->WriteString("fDIR", "");
  PlainForm form;
  LoadSettings(form);
  EXPECT_EQ(form.Text(EditBox::Edir), "");
}

TEST_F(PersistedSettings, ValueNamesMatchWithoutCase) {
  RegistryKey::Open(SettingsKeyPath(), true)->WriteString("FTBL", "Upper");
  PlainForm form;
  LoadSettings(form);
  EXPECT_EQ(form.Text(EditBox::Etbl), "Upper");
  SaveSettings(form);
  EXPECT_EQ(OpenKey()->ValueNames().size(), 10u);  // written over the same value
}

TEST_F(PersistedSettings, WrongTypedValuesStopLoadingWithTheirMessage) {
  struct Case {
    const char* name;
    RegistryValue value;
    const char* message;
    int expectedTop;  // values read before the failing one stay applied
  } cases[] = {
      {"WinTop", {RegistryValueType::String, "12"}, "Invalid data type for 'WinTop'", 104},
      {"WinTop", {RegistryValueType::String, "a long text"}, "Invalid data type for 'WinTop'", 104},
      {"WinTop",
       {RegistryValueType::QWord, std::string("\x05\0\0\0\0\0\0\0", 8)},
       "Failed to get data for 'WinTop'",
       104},
      {"WinTop",
       {RegistryValueType::Binary, std::string("\x05\0", 2)},
       "Invalid data type for 'WinTop'",
       104},
      {"fMDB",
       {RegistryValueType::DWord, std::string("\x07\0\0\0", 4)},
       "Invalid data type for 'fMDB'",
       55},
  };
  for (const Case& c : cases) {
    TempConfigHome fresh;
    auto key = RegistryKey::Open(SettingsKeyPath(), true);
    key->WriteInteger("WinTop", 55);
    key->WriteString("fTBL", "Orders");  // after the failing value: never applied
    key->WriteValue(c.name, c.value);
    PlainForm form;
    try {
      LoadSettings(form);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const RegistryError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(form.Top(), c.expectedTop) << c.message;
    EXPECT_EQ(form.Text(EditBox::Etbl), "table") << c.message;
  }
}

TEST_F(PersistedSettings, ExpandableStringReadUnexpandedAndCutAtZero) {
  auto key = RegistryKey::Open(SettingsKeyPath(), true);
  key->WriteValue("fDIR", {RegistryValueType::ExpandString, "$HOME/out/"});
  key->WriteValue("fTBL", {RegistryValueType::String, std::string("Orders\0hidden", 13)});
  PlainForm form;
  LoadSettings(form);
  EXPECT_EQ(form.Text(EditBox::Edir), "$HOME/out/");
  EXPECT_EQ(form.Text(EditBox::Etbl), "Orders");
}

TEST_F(PersistedSettings, CopyUnderAnotherNameKeepsItsOwnSet) {
  PlainForm form;
  form.SetText(EditBox::Etbl, "Photos");
  SaveSettings(form);

  InitialiseExePath("/home/u/bin/corvid-copy");
  EXPECT_EQ(SettingsKeyPath(), "\\Software\\Tallowmere\\corvid-copy");
  PlainForm copy;
  LoadSettings(copy);
  EXPECT_EQ(copy.Text(EditBox::Etbl), "table");

  InitialiseExePath("/somewhere/else/corvid.bin");  // same base name: same set
  PlainForm same;
  LoadSettings(same);
  EXPECT_EQ(same.Text(EditBox::Etbl), "Photos");
}

TEST_F(PersistedSettings, StoreThatCannotBeOpenedIsSkippedSilently) {
  // The settings root is a plain file: nothing can be created below it.
  const std::string blocker = config_.Path() + "/blocker";
  std::ofstream(blocker) << "x";
  ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
  PlainForm form;
  form.SetText(EditBox::Etbl, "kept");
  EXPECT_NO_THROW(LoadSettings(form));
  EXPECT_NO_THROW(SaveSettings(form));
  EXPECT_EQ(form.Text(EditBox::Etbl), "kept");
}

TEST_F(PersistedSettings, UnwritableKeyReportsTheFirstValueAndStopsThere) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  PlainForm form;
  SaveSettings(form);  // the key exists with all ten values
  const std::string directory = config_.Path() + "/Tallowmere";
  ::chmod(directory.c_str(), 0555);
  form.SetText(EditBox::Etbl, "Changed");
  try {
    SaveSettings(form);
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'WinTop'");
  }
  ::chmod(directory.c_str(), 0755);
  EXPECT_EQ(OpenKey()->ReadString("fTBL"), "table");  // the old file survived whole
}

TEST_F(PersistedSettings, DamagedLinesAreDroppedAndTheRestIsRead) {
  const std::string dir = config_.Path() + "/Tallowmere";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/corvid.reg")
      << "; comment\n[HKEY_CURRENT_USER\\Software\\Tallowmere\\corvid]\n"
         "\"WinTop\"=dword:zz\n\"fTBL\"=\"Orders\"\n\"fIMG\"=\"unterminated\n"
         "\"WinLeft\"=dword:0000000a\r\n";
  PlainForm form;
  LoadSettings(form);
  EXPECT_EQ(form.Top(), 104);
  EXPECT_EQ(form.Left(), 10);
  EXPECT_EQ(form.Text(EditBox::Etbl), "Orders");
  EXPECT_EQ(form.Text(EditBox::Eimg), "img");
}

TEST(RegistryKeyFile, KeyNamesNeverEscapeTheRoot) {
  testing::TempConfigHome config;
  EXPECT_EQ(RegistryKeyFile("\\Software\\Tallowmere\\.."), config.Path() + "/Tallowmere/%2E..reg");
  EXPECT_EQ(RegistryKeyFile("\\Software\\Tallowmere\\"), config.Path() + "/Tallowmere.reg");
  EXPECT_EQ(RegistryKeyFile("\\Software\\Tallowmere\\100%"),
            config.Path() + "/Tallowmere/100%25.reg");
}

}  // namespace
}  // namespace corvid
