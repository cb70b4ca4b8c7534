#pragma once
// The program's version information: TAppInfo reads the items of a version
// block's string table. Linux executables carry no version resource, so the
// program's own block is compiled in (ProgramVersionBlock) and queried by the
// same "StringFileInfo\<lang><codepage>\<item>" paths.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvid {

struct VersionStringTable {
  std::string name;  // eight hex digits: language then code page, e.g. "041D04E4"
  std::vector<std::pair<std::string, std::string>> items;  // item name, text
};

struct VersionBlock {
  std::vector<VersionStringTable> stringTables;
  std::vector<std::pair<unsigned, unsigned>> translations;  // language, code page
  // The fixed part.
  unsigned fileVersion[4]{};
  unsigned productVersion[4]{};
  bool isApplication = true;

  // The text at a "StringFileInfo\<table>\<item>" path; every part compares
  // without regard to letter case. nullopt when the path finds nothing. A text
  // ends at its first zero character.
  std::optional<std::string> QueryValue(std::string_view path) const;
};

// The version block compiled into this program.
const VersionBlock& ProgramVersionBlock();

// The version block of a file: the compiled-in block for the running program
// (exeName equal to ExePath()), none (nullopt) for any other file.
std::optional<VersionBlock> VersionBlockOf(std::string_view exeName);

class TAppInfo {
 public:
  TAppInfo();  // langId "0409", every other property empty

  std::string langId;
  std::string exeName;
  std::string companyName;
  std::string fileDescription;
  std::string fileVersion;
  std::string internalName;
  std::string legalCopyright;
  std::string legalTradeMarks;
  std::string originalFilename;
  std::string productName;
  std::string productVersion;
  std::string comments;

  // Fills the ten item properties from the version block of exeName, using
  // langId and the fixed code page 04E4. Without a block nothing changes; an
  // item the string table lacks becomes empty.
  void ReadVersionInfo();
  void ReadVersionInfo(const VersionBlock& block);
};

// The one program-wide instance, set up by the start-up sequence.
TAppInfo& AppInfo();

}  // namespace corvid
