#include "SrcLib/exe_path.h"
#include "SrcLib/oAppInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace corvid {
namespace {

TEST(ExeBaseName, RemovesFirstDotAndElevenCharactersAfterIt) {
  struct Case {
    const char* path;
    const char* baseName;
  } cases[] = {
      {"/usr/bin/corvid", "corvid"},
      {"/opt/Corvid.exe", "Corvid"},
      {"/x/a.b.exe", "a"},                      // the first "." decides
      {"/x/tool.12345678901rest", "toolrest"},  // only 11 characters go
      {"/x/tool.", "tool"},
      {"relative-name", "relative-name"},
      {"/dir.with.dots/corvid", "corvid"},  // dots of the directory don't count
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BaseNameFromPath(c.path), c.baseName) << c.path;
  }
}

TEST(ExePath, DefaultIsTheRunningExecutable) {
  InitialiseExePath();
  ASSERT_FALSE(ExePath().empty());
  EXPECT_EQ(ExePath().front(), '/');
  EXPECT_EQ(ExeBaseName(), BaseNameFromPath(ExePath()));
  EXPECT_NE(ExePath().find("test_app_info"), std::string::npos);
}

TEST(AppInfo, ConstructionGivesEnglishLanguageAndEmptyItems) {
  TAppInfo info;
  EXPECT_EQ(info.langId, "0409");
  EXPECT_EQ(info.exeName, "");
  EXPECT_EQ(info.productName, "");
  EXPECT_EQ(info.fileVersion, "");
}

TEST(AppInfo, ProgramBlockReadWithSwedishLanguage) {
  InitialiseExePath();
  TAppInfo info;
  info.langId = "041D";
  info.exeName = ExePath();
  info.ReadVersionInfo();
  EXPECT_EQ(info.productName, "Corvid");
  EXPECT_EQ(info.fileVersion, "0.18.9.38");
  EXPECT_EQ(info.productVersion, "0.18");
  EXPECT_EQ(info.fileDescription, "Corvid");
  EXPECT_EQ(info.legalTradeMarks, "");  // stored as LegalTrademarks, found case-insensitively
  EXPECT_FALSE(info.companyName.empty());
  EXPECT_EQ(info.productName + " v" + info.fileVersion, "Corvid v0.18.9.38");
}

TEST(AppInfo, DefaultLanguageFindsNoStringTable) {
  InitialiseExePath();
  TAppInfo info;  // "0409": the program's block has only the Swedish table
  info.exeName = ExePath();
  info.ReadVersionInfo();
  EXPECT_EQ(info.productName, "");
  EXPECT_EQ(info.fileVersion, "");
}

TEST(AppInfo, OnlyEnglishStringTableGivesEmptyProperties) {
  VersionBlock english;
  english.stringTables.push_back({"040904E4", {{"ProductName", "Corvid"}, {"FileVersion", "1.0"}}});
  TAppInfo info;
  info.langId = "041D";
  info.productName = "stale";
  info.ReadVersionInfo(english);
  EXPECT_EQ(info.langId, "041D");
  EXPECT_EQ(info.productName, "");
  EXPECT_EQ(info.fileVersion, "");
}

TEST(AppInfo, CodePageIsAlways04E4AndItemsMatchWithoutCase) {
  VersionBlock block;
  block.translations.emplace_back(0x041D, 0x04B0);  // translation entry says Unicode; ignored
  block.stringTables.push_back({"041d04b0", {{"ProductName", "wrong table"}}});
  block.stringTables.push_back(
      {"041d04e4", {{"PRODUCTNAME", "Corvid"}, {"fileversion", std::string("2.0\0junk", 8)}}});
  TAppInfo info;
  info.langId = "041D";
  info.ReadVersionInfo(block);
  EXPECT_EQ(info.productName, "Corvid");
  EXPECT_EQ(info.fileVersion, "2.0");  // text ends at the first zero
  EXPECT_EQ(info.comments, "");        // missing item: only that property is empty
}

TEST(AppInfo, OtherFileHasNoBlockAndLeavesPropertiesAlone) {
  InitialiseExePath();
  TAppInfo info;
  info.langId = "041D";
  info.exeName = "/bin/sh";
  info.productName = "kept";
  info.ReadVersionInfo();
  EXPECT_EQ(info.productName, "kept");
}

TEST(VersionBlock, QueryPathsOutsideTheStringTablesFindNothing) {
  const VersionBlock& block = ProgramVersionBlock();
  EXPECT_EQ(block.QueryValue("StringFileInfo\\041D04E4\\ProductName"), "Corvid");
  EXPECT_EQ(block.QueryValue("\\StringFileInfo\\041D04E4\\ProductName"), "Corvid");
  EXPECT_EQ(block.QueryValue("stringfileinfo\\041d04e4\\productname"), "Corvid");
  EXPECT_EQ(block.QueryValue("StringFileInfo\\041D04E4"), std::nullopt);
  EXPECT_EQ(block.QueryValue("VarFileInfo\\041D04E4\\ProductName"), std::nullopt);
  EXPECT_EQ(block.QueryValue("StringFileInfo\\041D04E4\\NoSuchItem"), std::nullopt);
  EXPECT_EQ(block.fileVersion[1], 18u);
  EXPECT_EQ(block.fileVersion[3], 38u);
}

}  // namespace
}  // namespace corvid
