#include "SrcLib/oAppInfo.h"

#include "SrcLib/exe_path.h"

#include <cstddef>

namespace corvid {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t sep = path.find('\\');
    std::string_view part = path.substr(0, sep);
    if (!part.empty()) parts.push_back(part);
    if (sep == std::string_view::npos) break;
    path.remove_prefix(sep + 1);
  }
  return parts;
}

}  // namespace

std::optional<std::string> VersionBlock::QueryValue(std::string_view path) const {
  const std::vector<std::string_view> parts = SplitPath(path);
  if (parts.size() != 3 || !SameAscii(parts[0], "StringFileInfo")) return std::nullopt;
  for (const VersionStringTable& table : stringTables) {
    if (!SameAscii(table.name, parts[1])) continue;
    for (const auto& [name, text] : table.items) {
      if (SameAscii(name, parts[2])) return text.substr(0, text.find('\0'));
    }
    return std::nullopt;
  }
  return std::nullopt;
}

const VersionBlock& ProgramVersionBlock() {
  static const VersionBlock block = [] {
    VersionBlock b;
    b.stringTables.push_back(VersionStringTable{
        "041D04E4",
        {
            {"CompanyName", "Tallowmere"},
            {"FileDescription", "Corvid"},
            {"FileVersion", "0.18.9.38"},
            {"InternalName", "corvid"},
            {"LegalCopyright", "Copyright (C) Tallowmere"},
            {"LegalTrademarks", ""},
            {"OriginalFilename", "corvid"},
            {"ProductName", "Corvid"},
            {"ProductVersion", "0.18"},
            {"Comments", "Extracts embedded images and documents from Access tables"},
        }});
    b.translations.emplace_back(0x041D, 0x04E4);
    const unsigned version[4] = {0, 18, 9, 38};
    for (int i = 0; i < 4; ++i) b.fileVersion[i] = b.productVersion[i] = version[i];
    return b;
  }();
  return block;
}

std::optional<VersionBlock> VersionBlockOf(std::string_view exeName) {
  if (!exeName.empty() && exeName == ExePath()) return ProgramVersionBlock();
  return std::nullopt;
}

TAppInfo::TAppInfo() : langId("0409") {}

void TAppInfo::ReadVersionInfo() {
  const std::optional<VersionBlock> block = VersionBlockOf(exeName);
  if (block) ReadVersionInfo(*block);
}

void TAppInfo::ReadVersionInfo(const VersionBlock& block) {
  const std::pair<const char*, std::string*> items[] = {
      {"CompanyName", &companyName},           {"FileDescription", &fileDescription},
      {"FileVersion", &fileVersion},           {"InternalName", &internalName},
      {"LegalCopyright", &legalCopyright},     {"LegalTradeMarks", &legalTradeMarks},
      {"OriginalFilename", &originalFilename}, {"ProductName", &productName},
      {"ProductVersion", &productVersion},     {"Comments", &comments},
  };
  const std::string prefix = "StringFileInfo\\" + langId + "04E4\\";
  for (const auto& [item, property] : items) {
    *property = block.QueryValue(prefix + item).value_or(std::string());
  }
}

TAppInfo& AppInfo() {
  static TAppInfo info;
  return info;
}

}  // namespace corvid
