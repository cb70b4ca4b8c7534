#include "tools/oledocs/ole_value_layout.h"

#include <stdexcept>
#include <string_view>

#include "tools/oledocs/byte_writer.h"

namespace corvid::oledocs {

namespace {

// Bounds-checked little-endian reader over one value.
class Cursor {
 public:
  explicit Cursor(ByteSpan bytes) : bytes_(bytes) {}

  void Need(std::size_t count, std::string_view what) const {
    if (count > bytes_.size() || position_ > bytes_.size() - count) {
      throw std::invalid_argument(std::string(what) + " runs past the end of the value");
    }
  }
  std::uint16_t U16(std::string_view what) {
    Need(2, what);
    const auto v = ReadU16(bytes_, position_);
    position_ += 2;
    return v;
  }
  std::uint32_t U32(std::string_view what) {
    Need(4, what);
    const auto v = ReadU32(bytes_, position_);
    position_ += 4;
    return v;
  }
  std::string Text(std::size_t size, std::string_view what) {
    Need(size, what);
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char>(bytes_[position_ + i]));
    position_ += size;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }
  // A 32-bit length and that many bytes of zero-terminated text.
  std::string Ole1Name(std::string_view what) { return Text(U32(what), what); }
  void Skip(std::size_t count, std::string_view what) {
    Need(count, what);
    position_ += count;
  }
  std::size_t Position() const { return position_; }
  void Seek(std::size_t position) { position_ = position; }

 private:
  ByteSpan bytes_;
  std::size_t position_ = 0;
};

std::string NameAt(ByteSpan value, std::size_t offset, std::size_t size, std::string_view what) {
  Cursor cursor(value);
  cursor.Seek(offset);
  return cursor.Text(size, what);
}

}  // namespace

AccessOleLayout ParseAccessOleValue(ByteSpan value) {
  Cursor in(value);
  AccessOleLayout layout;
  if (in.U16("signature") != kAccessOleSignature) {
    throw std::invalid_argument("no Access OLE signature 15 1C");
  }
  layout.headerSize = in.U16("header size");
  layout.objectType = in.U32("object type");
  layout.nameSize = in.U16("name size");
  layout.classSize = in.U16("class size");
  layout.nameOffset = in.U16("name offset");
  layout.classOffset = in.U16("class offset");
  layout.extent = in.U32("extent");
  if (layout.nameOffset + layout.nameSize > layout.headerSize ||
      layout.classOffset + layout.classSize > layout.headerSize) {
    throw std::invalid_argument("name outside the Access OLE header");
  }
  layout.friendlyName = NameAt(value, layout.nameOffset, layout.nameSize, "friendly name");
  layout.className = NameAt(value, layout.classOffset, layout.classSize, "class name");

  in.Seek(layout.headerSize);
  in.Need(0, "Access OLE header");
  layout.oleVersion = in.U32("OLE version");
  layout.oleFormat = in.U32("OLE format");
  layout.oleClass = in.Ole1Name("OLE class name");
  if (layout.oleFormat == static_cast<std::uint32_t>(Ole1Format::Static)) {
    layout.staticWidth = static_cast<std::int32_t>(in.U32("width"));
    layout.staticHeight = static_cast<std::int32_t>(in.U32("height"));
    layout.dataSize = in.U32("picture size");
    layout.dataOffset = in.Position();
    in.Skip(layout.dataSize, "picture data");
  } else if (layout.oleFormat == static_cast<std::uint32_t>(Ole1Format::Embedded)) {
    layout.topicName = in.Ole1Name("topic name");
    layout.itemName = in.Ole1Name("item name");
    layout.dataSize = in.U32("native size");
    layout.dataOffset = in.Position();
    in.Skip(layout.dataSize, "native data");
    OlePresentationLayout& p = layout.presentation;
    if (in.U32("presentation version") != kOle1Version) {
      throw std::invalid_argument("presentation without OLE version 0x0501");
    }
    p.format = in.U32("presentation format");
    if (p.format != static_cast<std::uint32_t>(Ole1Format::None)) {
      p.className = in.Ole1Name("presentation class");
      p.width = static_cast<std::int32_t>(in.U32("presentation width"));
      p.height = static_cast<std::int32_t>(in.U32("presentation height"));
      p.dataSize = in.U32("presentation size");
      p.dataOffset = in.Position();
      in.Skip(p.dataSize, "presentation data");
    }
  } else {
    throw std::invalid_argument("OLE format " + std::to_string(layout.oleFormat) +
                                " is neither embedded nor static");
  }

  layout.trailerOffset = in.Position();
  in.Need(4, "trailer");
  if (value.size() != layout.trailerOffset + 4) {
    throw std::invalid_argument("bytes after the trailer");
  }
  if (value[layout.trailerOffset + 1] != std::byte{0xAD} ||
      value[layout.trailerOffset + 2] != std::byte{0x05} ||
      value[layout.trailerOffset + 3] != std::byte{0xFE}) {
    throw std::invalid_argument("trailer is not xx AD 05 FE");
  }
  layout.checksum = value[layout.trailerOffset];
  const auto expected =
      AccessOleTrailer(value.subspan(layout.headerSize, layout.trailerOffset - layout.headerSize));
  layout.checksumMatches = expected[0] == layout.checksum;
  return layout;
}

}  // namespace corvid::oledocs
