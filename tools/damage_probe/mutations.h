// Seeded damage done to a copy of an Access file: a page flipped, zeroed or
// copied onto another, the file cut off at a page boundary or inside a
// page, one byte changed in the catalog or in a table definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvid::damage_probe {

// 2048 for a Jet 3 file (version byte 0 at offset 0x14), 4096 otherwise.
std::size_t PageSizeOf(const std::vector<std::byte>& image);

// Damages `image` in the way `seed` picks (the same seed and image give the
// same damage) and says what it did, e.g. "zero page 17".
std::string Mutate(std::vector<std::byte>& image, std::uint64_t seed);

}  // namespace corvid::damage_probe
