#include "engine/output_naming.h"

#include "SrcLib/file_names.h"

namespace corvid {

std::string OutputDirectory(std::string_view directoryText, bool filterAsDirectory,
                            std::string_view filterFieldText) {
  std::string directory(directoryText);
  if (filterAsDirectory && !filterFieldText.empty()) {
    directory += CleanFileName(std::string(filterFieldText));
    directory += '/';
  }
  return directory;
}

std::string OutputName(std::string_view directory, std::string_view name1,
                       std::string_view name2, bool nameFromField1) {
  std::string path(directory);
  if (nameFromField1) {
    const std::string name(name1);
    path += CleanFileName(BaseNameWithoutExt(name));
    path += ExtensionOf(name);
  } else {
    std::string name(name1);
    name += name2;
    path += CleanFileName(std::move(name));
  }
  return path;
}

std::string AttachmentOutputName(std::string_view directory, std::string_view recordPath,
                                 std::string_view fileName, bool nameFromField1) {
  if (nameFromField1) return OutputName(directory, fileName, {}, true);
  const std::string name(fileName);
  std::string path(recordPath);
  path += '_';
  path += CleanFileName(BaseNameWithoutExt(name));
  const std::string extension = ExtensionOf(name);
  if (extension.size() > 1) {
    path += '.';
    path += CleanFileName(extension.substr(1));
  }
  return path;
}

}  // namespace corvid
