#pragma once
// Structural unwrapping of an OLE Object value: the Access OLE header, the
// OLE 1.0 object behind it, and what its class keeps as native data (a
// packaged file, a Paintbrush bitmap, a compound file, an Office Open XML
// package). The signature recognition remains the answer for whatever this
// does not explain.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvid {

struct UnwrappedObject {
    enum class Kind {
        Document,      // bytes to write (extension from the structure, or to be recognised)
        Linked,        // a link to a file outside the database: nothing to write
        NotExplained,  // the structure does not tell: recognise the whole value
    };
    Kind kind = Kind::NotExplained;

    // Document: the bytes. A view into the value, or into `owned` when they
    // were copied out of a compound file.
    std::span<const std::byte> Bytes() const {
        return owned ? std::span<const std::byte>(*owned) : view;
    }
    std::span<const std::byte> view;
    std::optional<std::vector<std::byte>> owned;

    std::string extension;     // ".bmp", ".doc", ".docx", ".pdf"...; empty: recognise Bytes()
    std::string embeddedName;  // a packaged file's original name (UTF-8), if any
    std::string linkTarget;    // Linked: where the link points
    std::string description;   // what was found, for the log ("Package", "PBrush bitmap"...)
    // Document of a class the unwrapping does not know: when Bytes() are not
    // recognised either, the whole value is recognised instead.
    bool unknownClass = false;

    // NotExplained: why, and whether a structure was there but damaged.
    std::string reason;
    bool damaged = false;
};

// Never throws for any input: damage becomes NotExplained with damaged set.
UnwrappedObject UnwrapOleObject(std::span<const std::byte> value);

}  // namespace corvid
