#pragma once
// Which Office Open XML document a zip package is, from the content type of
// its main part in [Content_Types].xml (read with libzip).

#include <cstddef>
#include <span>
#include <string>

namespace corvid {

bool StartsWithZipSignature(std::span<const std::byte> bytes);

// ".docx", ".xlsx" or ".pptx" (or their macro-enabled forms ".docm", ".xlsm",
// ".pptm"); empty when the zip is readable but none of these. Throws
// OleStructureError when the zip cannot be read.
std::string OfficeOpenXmlExtension(std::span<const std::byte> zip);

}  // namespace corvid
