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

std::string OutputName(std::string_view directory, std::string_view name1, std::string_view name2,
                       bool nameFromField1) {
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

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `length` bytes of `text`, fewer when a character would be cut.
std::string_view CutAtCharacter(std::string_view text, std::size_t length) {
    if (length >= text.size()) return text;
    while (length > 0 && IsContinuationByte(text[length])) --length;
    return text.substr(0, length);
}

}  // namespace

std::string FitFileName(std::string_view path, std::size_t longest) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view name = path.substr(nameStart);
    if (name.size() <= longest) return std::string(path);

    std::string_view extension;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= longest / 2)
        extension = name.substr(dot);
    const std::string_view stem = name.substr(0, name.size() - extension.size());

    std::string fitted(path.substr(0, nameStart));
    fitted += CutAtCharacter(stem, longest - extension.size());
    fitted += extension;
    return fitted;
}

}  // namespace corvid
