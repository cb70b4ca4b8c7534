// Any bytes as an OLE Object value: the unwrapping must neither crash nor
// read outside the value, and what it hands back must lie inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/ole_unwrap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> value(reinterpret_cast<const std::byte*>(data), size);
    const corvid::UnwrappedObject out = corvid::UnwrapOleObject(value);
    if (!out.owned && !out.view.empty()) {
        const bool inside = out.view.data() >= value.data() &&
                            out.view.data() + out.view.size() <= value.data() + size;
        if (!inside) std::abort();
    }
    if (out.kind != corvid::UnwrappedObject::Kind::Document && !out.Bytes().empty()) std::abort();
    return 0;
}
