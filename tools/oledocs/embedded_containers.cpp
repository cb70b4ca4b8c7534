#include "tools/oledocs/embedded_containers.h"

#include <gsf/gsf.h>
#include <zip.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/ole_value_layout.h"
#include "SrcLib/code_pages.h"

namespace corvid::oledocs {
namespace {

template <typename T>
struct Unref {
  void operator()(T* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};

std::uint32_t Size32(std::size_t size) {
  if (size > 0xFFFFFFFFu) throw std::length_error("larger than 4 GiB");
  return static_cast<std::uint32_t>(size);
}

// An OLE value built by hand: Access header, then `ole1` and the trailer.
Bytes AccessValue(std::string_view friendlyName, std::string_view className, OleObjectType type,
                  const Bytes& ole1) {
  Bytes out = AccessOleHeader(friendlyName, className, type);
  out.insert(out.end(), ole1.begin(), ole1.end());
  const auto trailer = AccessOleTrailer(ole1);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

void Ole1Name(ByteWriter& writer, std::string_view name) {
  if (name.empty()) {
    writer.U32(0);
  } else {
    writer.U32(Size32(name.size() + 1)).TextZ(name);
  }
}

}  // namespace

Bytes BuildCompoundFileWith(const std::vector<std::pair<std::string, Bytes>>& streams) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { gsf_init(); });
  std::unique_ptr<GsfOutput, Unref<GsfOutput>> memory(gsf_output_memory_new());
  std::unique_ptr<GsfOutfile, Unref<GsfOutfile>> root(gsf_outfile_msole_new(memory.get()));
  if (!root) throw std::runtime_error("libgsf cannot start a compound file");
  for (const auto& [name, bytes] : streams) {
    std::unique_ptr<GsfOutput, Unref<GsfOutput>> child(
        gsf_outfile_new_child(root.get(), name.c_str(), FALSE));
    if (!child ||
        (!bytes.empty() && !gsf_output_write(child.get(), bytes.size(),
                                             reinterpret_cast<const guint8*>(bytes.data()))) ||
        !gsf_output_close(child.get())) {
      throw std::runtime_error("libgsf cannot write the stream " + name);
    }
  }
  if (!gsf_output_close(GSF_OUTPUT(root.get())))
    throw std::runtime_error("libgsf cannot close the compound file");
  const auto* data = reinterpret_cast<const std::byte*>(
      gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get())));
  const auto size = static_cast<std::size_t>(gsf_output_size(memory.get()));
  return Bytes(data, data + size);
}

Bytes Ole10NativeStream(ByteSpan packagerData) {
  Bytes out;
  ByteWriter(out).U32(Size32(packagerData.size())).Raw(packagerData);
  return out;
}

Bytes PackagerData(std::string_view fileName, std::string_view sourcePath, ByteSpan fileBytes) {
  const Bytes value = WrapPackage(fileName, sourcePath, fileBytes);
  const AccessOleLayout layout = ParseAccessOleValue(value);
  return Bytes(value.begin() + static_cast<std::ptrdiff_t>(layout.dataOffset),
               value.begin() + static_cast<std::ptrdiff_t>(layout.dataOffset + layout.dataSize));
}

Bytes BuildOfficeOpenXml(OfficeOpenXmlKind kind) {
  struct Parts {
    const char* mainPart;
    const char* contentType;
    const char* body;
  };
  const Parts parts = [&]() -> Parts {
    switch (kind) {
      case OfficeOpenXmlKind::Word:
        return {
            "word/document.xml",
            "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
            "<w:body><w:p><w:r><w:t>minutes</w:t></w:r></w:p></w:body></w:document>"};
      case OfficeOpenXmlKind::Excel:
        return {"xl/workbook.xml",
                "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>"};
      case OfficeOpenXmlKind::PowerPoint:
        return {
            "ppt/presentation.xml",
            "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml",
            "<p:presentation "
            "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"/>"};
    }
    throw std::invalid_argument("unknown Office Open XML kind");
  }();
  const std::string contentTypes =
      std::string(
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/") +
      parts.mainPart + "\" ContentType=\"" + parts.contentType + "\"/></Types>";
  const std::string rels =
      std::string(
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/officeDocument\" Target=\"") +
      parts.mainPart + "\"/></Relationships>";
  const std::string body =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n") + parts.body;

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (buffer == nullptr) throw std::runtime_error("libzip cannot make a buffer");
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    zip_source_free(buffer);
    throw std::runtime_error("libzip cannot open the buffer");
  }
  for (const auto& [name, text] :
       {std::pair<const char*, const std::string*>{"[Content_Types].xml", &contentTypes},
        {"_rels/.rels", &rels},
        {parts.mainPart, &body}}) {
    zip_source_t* entry = zip_source_buffer(archive, text->data(), text->size(), 0);
    if (entry == nullptr || zip_file_add(archive, name, entry, ZIP_FL_ENC_UTF_8) < 0) {
      if (entry != nullptr) zip_source_free(entry);
      zip_discard(archive);
      zip_source_free(buffer);
      throw std::runtime_error("libzip cannot add an entry");
    }
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    zip_source_free(buffer);
    throw std::runtime_error("libzip cannot write the package");
  }
  Bytes out;
  zip_stat_t stat;
  if (zip_source_stat(buffer, &stat) == 0 && zip_source_open(buffer) == 0) {
    out.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t got = zip_source_read(buffer, out.data(), out.size());
    zip_source_close(buffer);
    if (got < 0) out.clear();
    out.resize(static_cast<std::size_t>(std::max<zip_int64_t>(got, 0)));
  }
  zip_source_free(buffer);
  zip_error_fini(&error);
  if (out.empty()) throw std::runtime_error("libzip wrote no package");
  return out;
}

Bytes WrapLinkedPackage(std::string_view label, std::string_view linkTarget) {
  const std::string ansiLabel = Utf8ToWindows1252(label);
  const std::string ansiTarget = Utf8ToWindows1252(linkTarget);
  Bytes native;
  ByteWriter(native)
      .U16(2)
      .TextZ(ansiLabel)
      .TextZ(ansiTarget)
      .U32(0x00010000)
      .U16(0)
      .TextZ(ansiTarget);
  Bytes ole1;
  ByteWriter writer(ole1);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Embedded));
  Ole1Name(writer, "Package");
  Ole1Name(writer, {});
  Ole1Name(writer, {});
  writer.U32(Size32(native.size())).Raw(native);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::None));
  return AccessValue("Package", "Package", OleObjectType::Embedded, ole1);
}

Bytes WrapLinkedObject(std::string_view oleClass, std::string_view linkedFile) {
  Bytes ole1;
  ByteWriter writer(ole1);
  writer.U32(kOle1Version).U32(static_cast<std::uint32_t>(Ole1Format::Linked));
  Ole1Name(writer, oleClass);
  Ole1Name(writer, linkedFile);  // topic: the file
  Ole1Name(writer, {});          // item
  Ole1Name(writer, {});          // network name
  writer.U32(0).U32(0);          // link update options, reserved
  return AccessValue("Linked", std::string(oleClass), OleObjectType::Linked, ole1);
}

}  // namespace corvid::oledocs
