#pragma once
// What an OLE compound file (D0 CF 11 E0 A1 B1 1A E1) embedded as native data
// holds, read with libgsf.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace corvid {

struct CompoundFileContent {
    enum class Kind {
        Ole10Native,   // "\x01Ole10Native": packager data (its 32-bit size removed)
        OoxmlPackage,  // "Package": an Office Open XML zip
        Contents,      // "CONTENTS": a document kept by its viewer's class (PDF)
        Document,      // WordDocument / Workbook / PowerPoint Document: the file itself
        Unknown,       // none of these streams
    };
    Kind kind = Kind::Unknown;
    std::vector<std::byte> stream;  // the stream's bytes (Ole10Native, OoxmlPackage, Contents)
    std::string extension;          // Document: ".doc", ".xls" or ".ppt"
};

bool StartsWithCompoundFileSignature(std::span<const std::byte> bytes);

// Opens the compound file (without copying it) and looks at the streams of
// its root storage. Throws OleStructureError when libgsf cannot read it or a
// stream cannot be read whole; GLib messages never reach the terminal.
CompoundFileContent ReadCompoundFile(std::span<const std::byte> bytes);

}  // namespace corvid
