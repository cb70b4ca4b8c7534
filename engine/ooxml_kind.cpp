#include "engine/ooxml_kind.h"

#include <zip.h>

#include <cstring>
#include <memory>
#include <string_view>

#include "engine/ole_structure_error.h"

namespace corvid {
namespace {

// [Content_Types].xml is small; a larger one is not read.
constexpr zip_uint64_t kLargestContentTypes = zip_uint64_t{4} << 20;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

std::string ZipErrorText(zip_error_t& error) {
    const char* text = zip_error_strerror(&error);
    std::string out = text != nullptr ? text : "unknown error";
    zip_error_fini(&error);
    return out;
}

struct MainPart {
    std::string_view contentType;
    std::string_view extension;
};
constexpr MainPart kMainParts[] = {
    {"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml", ".docx"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", ".xlsx"},
    {"application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml", ".pptx"},
    {"application/vnd.ms-word.document.macroEnabled.main+xml", ".docm"},
    {"application/vnd.ms-excel.sheet.macroEnabled.main+xml", ".xlsm"},
    {"application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml", ".pptm"},
};

}  // namespace

bool StartsWithZipSignature(std::span<const std::byte> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "PK\x03\x04", 4) == 0;
}

std::string OfficeOpenXmlExtension(std::span<const std::byte> zip) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(zip.data(), zip.size(), 0, &error);
    if (source == nullptr) throw OleStructureError("zip: " + ZipErrorText(error));
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        zip_source_free(source);
        throw OleStructureError("zip: " + ZipErrorText(error));
    }
    zip_error_fini(&error);

    const zip_int64_t index = zip_name_locate(archive.get(), "[Content_Types].xml", 0);
    if (index < 0) return {};
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0)
        throw OleStructureError("zip: [Content_Types].xml has no size");
    if (stat.size > kLargestContentTypes)
        throw OleStructureError("zip: [Content_Types].xml is too large (" +
                                std::to_string(stat.size) + " bytes)");
    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), 0));
    if (!file) throw OleStructureError(std::string("zip: ") + zip_strerror(archive.get()));
    std::string text(static_cast<std::size_t>(stat.size), '\0');
    std::size_t filled = 0;
    while (filled < text.size()) {
        const zip_int64_t got = zip_fread(file.get(), text.data() + filled, text.size() - filled);
        if (got <= 0) throw OleStructureError("zip: [Content_Types].xml cannot be read");
        filled += static_cast<std::size_t>(got);
    }
    for (const MainPart& part : kMainParts) {
        if (text.find(part.contentType) != std::string::npos) return std::string(part.extension);
    }
    return {};
}

}  // namespace corvid
