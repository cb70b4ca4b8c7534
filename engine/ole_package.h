#pragma once
// The native data of an OLE "Package" object: a file embedded (or linked)
// through the object packager.

#include <cstddef>
#include <span>
#include <string>

namespace corvid {

struct PackageContent {
    bool linked = false;
    std::span<const std::byte> fileBytes;  // embedded: the file, a view into the native data
    std::string fileName;                  // UTF-8, the original name without any directory part
    std::string linkTarget;                // linked: the path the object points to (never opened)
};

// Reads packager native data: signature 2, ANSI label and original path
// (zero-terminated), the kind (0x00030000 embedded, 0x00010000 linked). An
// embedded file follows as a length-prefixed temporary path, a 32-bit size
// and the bytes, then optionally three UTF-16 names (temporary path, file
// name, original path); the UTF-16 file name is preferred over the ANSI
// label, which is read as Windows-1252. Throws OleStructureError.
PackageContent ParsePackage(std::span<const std::byte> native);

// The file-name part of a path that may use "/", "\" or ":" as separators.
std::string FileNamePart(const std::string& path);

}  // namespace corvid
