// Where the extraction run writes a record's payload.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvid {

// The directory text as typed, followed, when filterAsDirectory is set and the
// filter field text is not empty, by the cleaned filter field text and "/".
// Pure: the run creates the directory.
std::string OutputDirectory(std::string_view directoryText, bool filterAsDirectory,
                            std::string_view filterFieldText);

// The output path without the recognised extension. With nameFromField1 the
// name is the cleaned base name of name text 1 plus its own extension (name
// text 2 unused); otherwise the cleaned text of name 1 followed by name 2.
// The name part never holds a separator, so the path stays in `directory`.
std::string OutputName(std::string_view directory, std::string_view name1, std::string_view name2,
                       bool nameFromField1);

// The output path of a file attached to a record. Normally `recordPath`
// (the record's path from OutputName, field 1 and field 2) + "_" + the
// cleaned file name without its extension + the file's extension cleaned
// the same way. With nameFromField1 the attachment's own name takes the
// place of field 1: directory + cleaned base name + its extension as it is.
// The extension is empty when the file name has none: recognition adds it.
std::string AttachmentOutputName(std::string_view directory, std::string_view recordPath,
                                 std::string_view fileName, bool nameFromField1);
// The longest file name (last path component) the file systems of this
// platform hold, in bytes.
inline constexpr std::size_t kLongestFileName = 255;

// `path` with its last component cut to at most `longest` bytes, so that the
// file system can hold it: the extension (from the last ".", when it is
// shorter than half the limit) stays, the part in front of it is cut at a
// UTF-8 character boundary. A path that fits is returned as it is.
std::string FitFileName(std::string_view path, std::size_t longest = kLongestFileName);

}  // namespace corvid
