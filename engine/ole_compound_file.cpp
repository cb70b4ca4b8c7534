#include "engine/ole_compound_file.h"

#include <gsf/gsf.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine/glib_log_capture.h"
#include "engine/ole_structure_error.h"

namespace corvid {
namespace {

constexpr unsigned char kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

template <typename T>
struct Unref {
    void operator()(T* object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, Unref<T>>;

struct ErrorGuard {
    GError* error = nullptr;
    ~ErrorGuard() {
        if (error != nullptr) g_error_free(error);
    }
};

std::vector<std::byte> ReadStream(GsfInfile* root, const char* name, std::size_t limit,
                                  GlibLogCapture& log) {
    GObjectPtr<GsfInput> stream(gsf_infile_child_by_name(root, name));
    if (!stream) throw OleStructureError(log.FirstOr("compound file: cannot open the stream"));
    const gsf_off_t size = gsf_input_size(stream.get());
    // A stream cannot hold more bytes than the file it lies in.
    if (size < 0 || static_cast<std::size_t>(size) > limit)
        throw OleStructureError("compound file: a stream claims " + std::to_string(size) +
                                " bytes in a file of " + std::to_string(limit));
    std::vector<std::byte> out(static_cast<std::size_t>(size));
    std::size_t filled = 0;
    while (filled < out.size()) {
        const std::size_t chunk = std::min<std::size_t>(out.size() - filled, 1 << 20);
        if (gsf_input_read(stream.get(), chunk, reinterpret_cast<guint8*>(out.data() + filled)) ==
            nullptr)
            throw OleStructureError(log.FirstOr("compound file: a stream ends early"));
        filled += chunk;
    }
    return out;
}

}  // namespace

bool StartsWithCompoundFileSignature(std::span<const std::byte> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

CompoundFileContent ReadCompoundFile(std::span<const std::byte> bytes) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { gsf_init(); });

    GlibLogCapture log;
    GObjectPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                                    static_cast<gsf_off_t>(bytes.size()), FALSE));
    if (!input) throw OleStructureError("compound file: cannot be read");
    ErrorGuard error;
    GObjectPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &error.error));
    if (!root) {
        const std::string reason = error.error != nullptr && error.error->message != nullptr
                                       ? error.error->message
                                       : log.FirstOr("damaged");
        throw OleStructureError("compound file: " + reason);
    }

    CompoundFileContent content;
    struct Known {
        const char* stream;
        CompoundFileContent::Kind kind;
        const char* extension;
    };
    static constexpr Known kKnown[] = {
        {"\x01Ole10Native", CompoundFileContent::Kind::Ole10Native, ""},
        {"Package", CompoundFileContent::Kind::OoxmlPackage, ""},
        {"CONTENTS", CompoundFileContent::Kind::Contents, ""},
        {"WordDocument", CompoundFileContent::Kind::Document, ".doc"},
        {"Workbook", CompoundFileContent::Kind::Document, ".xls"},
        {"Book", CompoundFileContent::Kind::Document, ".xls"},
        {"PowerPoint Document", CompoundFileContent::Kind::Document, ".ppt"},
    };
    const int children = gsf_infile_num_children(root.get());
    for (const Known& known : kKnown) {
        bool present = false;
        for (int i = 0; i < children && !present; ++i) {
            const char* name = gsf_infile_name_by_index(root.get(), i);
            present = name != nullptr && std::strcmp(name, known.stream) == 0;
        }
        if (!present) continue;
        content.kind = known.kind;
        content.extension = known.extension;
        if (known.kind != CompoundFileContent::Kind::Document)
            content.stream = ReadStream(root.get(), known.stream, bytes.size(), log);
        if (known.kind == CompoundFileContent::Kind::Ole10Native) {
            // The stream starts with the size of the packager data.
            if (content.stream.size() < 4)
                throw OleStructureError("\\x01Ole10Native: shorter than its size field");
            std::uint32_t size = 0;
            for (int k = 3; k >= 0; --k)
                size = size << 8 | std::to_integer<std::uint32_t>(content.stream[k]);
            if (size > content.stream.size() - 4)
                throw OleStructureError("\\x01Ole10Native: size " + std::to_string(size) +
                                        " runs past the stream's " +
                                        std::to_string(content.stream.size() - 4) + " bytes");
            content.stream.erase(content.stream.begin(), content.stream.begin() + 4);
            content.stream.resize(size);
        }
        return content;
    }
    return content;
}

}  // namespace corvid
