// ZIP archives: an Office Open XML package (what recognition calls
// ".officex": deflated entries with general-purpose flags 6) and a plain ZIP
// with flags 0.
//
// The deflated entries use stored deflate blocks (block type 0): valid
// deflate data that every inflater reads, without a compressor.
#include <algorithm>
#include <string>
#include <vector>

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/crc32.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kDosTime = 0;       // 00:00:00
constexpr std::uint16_t kDosDate = 0x5C21;  // 2026-01-01

struct Entry {
  std::string name;
  std::string content;
};

struct ArchiveKind {
  std::uint16_t versionNeeded;
  std::uint16_t flags;
  std::uint16_t method;
};

Bytes AsBytes(std::string_view text) {
  Bytes out;
  ByteWriter(out).Text(text);
  return out;
}

Bytes StoredDeflate(ByteSpan data) {
  Bytes out;
  ByteWriter w(out);
  std::size_t at = 0;
  do {
    const std::size_t block = std::min<std::size_t>(0xFFFF, data.size() - at);
    const bool last = at + block == data.size();
    w.U8(last ? 1 : 0)  // BFINAL, BTYPE 00
        .U16(static_cast<std::uint16_t>(block))
        .U16(static_cast<std::uint16_t>(~block & 0xFFFF))
        .Raw(data.subspan(at, block));
    at += block;
  } while (at < data.size());
  return out;
}

Bytes Archive(const std::vector<Entry>& entries, ArchiveKind kind) {
  Bytes out;
  ByteWriter zip(out);
  Bytes central;
  ByteWriter dir(central);
  for (const Entry& entry : entries) {
    const Bytes content = AsBytes(entry.content);
    const Bytes stored = kind.method == kMethodDeflate ? StoredDeflate(content) : content;
    const std::uint32_t crc = Crc32(content);
    const auto offset = static_cast<std::uint32_t>(out.size());
    const auto nameSize = static_cast<std::uint16_t>(entry.name.size());
    zip.U32(0x04034B50)
        .U16(kind.versionNeeded)
        .U16(kind.flags)
        .U16(kind.method)
        .U16(kDosTime)
        .U16(kDosDate)
        .U32(crc)
        .U32(static_cast<std::uint32_t>(stored.size()))
        .U32(static_cast<std::uint32_t>(content.size()))
        .U16(nameSize)
        .U16(0)
        .Text(entry.name)
        .Raw(stored);
    dir.U32(0x02014B50)
        .U16(kind.versionNeeded)  // made by (MS-DOS attributes)
        .U16(kind.versionNeeded)
        .U16(kind.flags)
        .U16(kind.method)
        .U16(kDosTime)
        .U16(kDosDate)
        .U32(crc)
        .U32(static_cast<std::uint32_t>(stored.size()))
        .U32(static_cast<std::uint32_t>(content.size()))
        .U16(nameSize)
        .U16(0)  // extra field
        .U16(0)  // comment
        .U16(0)  // disk
        .U16(0)  // internal attributes
        .U32(0)  // external attributes
        .U32(offset)
        .Text(entry.name);
  }
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  zip.Raw(central);
  zip.U32(0x06054B50)
      .U16(0)
      .U16(0)
      .U16(static_cast<std::uint16_t>(entries.size()))
      .U16(static_cast<std::uint16_t>(entries.size()))
      .U32(static_cast<std::uint32_t>(central.size()))
      .U32(directoryOffset)
      .U16(0);
  return out;
}

}  // namespace

Bytes BuildOfficeOpenXmlPackage() {
  const std::vector<Entry> entries = {
      {"[Content_Types].xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
       "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
       "</Types>"},
      {"_rels/.rels",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
       "2006/relationships/officeDocument\" Target=\"word/document.xml\"/>"
       "</Relationships>"},
      {"word/document.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
       "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
       "<w:body><w:p><w:r><w:t>Corvid sample document</w:t></w:r></w:p></w:body>"
       "</w:document>"},
  };
  // Flags 6: deflate with the "super fast" compression option, as Office
  // writes its packages.
  return Archive(entries, {20, 6, kMethodDeflate});
}

Bytes BuildPlainZip() {
  return Archive({{"readme.txt", "Corvid sample archive: a ZIP file, not an Office package.\r\n"}},
                 {10, 0, kMethodStored});
}

}  // namespace corvid::oledocs::formats
