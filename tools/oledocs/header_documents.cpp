// Formats with no writer at hand: minimal, well-formed files. Where the
// format is simple enough (Photoshop, metafiles, AVI) the file is complete
// and shows the test pattern; otherwise it holds the format's header and as
// little else as the format allows.
#include <stdexcept>

#include "tools/oledocs/bmp_file.h"
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/metafile.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

using Order = ByteWriter::Order;

std::uint8_t Channel(std::uint32_t rgb, int channel) {
  return static_cast<std::uint8_t>(rgb >> (16 - 8 * channel) & 0xFF);
}

// The pattern as a 24-bit bottom-up DIB (information header and pixels).
Bytes PatternDib(PictureSize size) {
  const Bytes bmp = RenderBmp(size);
  const BmpFile parsed = ParseBmpFile(bmp);
  return Bytes(parsed.dib.begin(), parsed.dib.end());
}

// Bytes of the DIB's pixel array (behind the header and colour table).
ByteSpan DibPixels(ByteSpan dib) {
  const std::uint32_t headerSize = ReadU32(dib, 0);
  const std::uint32_t colours = ReadU32(dib, 32);
  const std::size_t offset = headerSize + 4 * static_cast<std::size_t>(colours);
  if (offset > dib.size()) throw std::logic_error("DIB colour table past its end");
  return dib.subspan(offset);
}

// A RIFF chunk: four-character code, 32-bit size, data, pad byte when odd.
void Chunk(ByteWriter& out, std::string_view id, ByteSpan data) {
  out.Text(id).U32(static_cast<std::uint32_t>(data.size())).Raw(data);
  if (data.size() % 2 != 0) out.U8(0);
}
Bytes List(std::string_view type, ByteSpan contents) {
  Bytes out;
  ByteWriter w(out);
  w.Text("LIST").U32(static_cast<std::uint32_t>(contents.size() + 4)).Text(type).Raw(contents);
  return out;
}

// A JPEG 2000 box: 32-bit big-endian length (header included), type, data.
void Box(ByteWriter& out, std::string_view type, ByteSpan data) {
  out.U32(static_cast<std::uint32_t>(data.size() + 8)).Text(type).Raw(data);
}

}  // namespace

Bytes BuildPsd(PictureSize size) {
  Bytes out;
  ByteWriter psd(out, Order::Big);
  psd.Text("8BPS").U16(1).Zeros(6);
  psd.U16(3)  // channels
      .U32(static_cast<std::uint32_t>(size.height))
      .U32(static_cast<std::uint32_t>(size.width))
      .U16(8)   // bits per channel
      .U16(3);  // RGB
  psd.U32(0);   // colour mode data
  psd.U32(0);   // image resources
  psd.U32(0);   // layer and mask information
  psd.U16(0);   // raw image data, one plane per channel
  for (int channel = 0; channel < 3; ++channel) {
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) psd.U8(Channel(PatternPixel(x, y, size), channel));
    }
  }
  return out;
}

Bytes BuildCpt(std::string_view signature, PictureSize size) {
  // The signature and the picture size in a 32-byte header; the rest of the
  // Photo-Paint format is not reproduced.
  Bytes out;
  ByteWriter cpt(out);
  cpt.Text(signature)
      .U32(static_cast<std::uint32_t>(size.width))
      .U32(static_cast<std::uint32_t>(size.height));
  cpt.Zeros(32 - out.size());
  return out;
}

Bytes BuildWmf(PictureSize size, bool placeable) {
  const Bytes dib = PatternDib(size);
  const Bytes metafile = DibMetafile(dib, static_cast<std::int16_t>(size.width),
                                     static_cast<std::int16_t>(size.height));
  if (!placeable) return metafile;
  // Bounding box in logical units, 96 of them per inch: one per pixel.
  return PlaceableMetafile(metafile, 0, 0, static_cast<std::int16_t>(size.width),
                           static_cast<std::int16_t>(size.height), 96);
}

Bytes BuildPsp(PictureSize size) {
  // The 32-byte signature, the file version and a general image attributes
  // block (block header with initial and total length); no layers.
  Bytes attributes;
  ByteWriter chunk(attributes);
  chunk
      .U32(46)  // chunk size
      .I32(size.width)
      .I32(size.height)
      .U64(0x4052000000000000ull)  // resolution 72.0 (a double)
      .U8(1)                       // per inch
      .U16(0)                      // no compression
      .U16(24)                     // bit depth
      .U16(1)                      // planes
      .U32(1u << 24)               // colours
      .U8(0)                       // not greyscale
      .U32(static_cast<std::uint32_t>(size.width * size.height * 3))
      .I32(0)   // active layer
      .U16(0);  // layers
  Bytes out;
  ByteWriter psp(out);
  psp.Text(std::string_view("Paint Shop Pro Image File\n\x1a\0\0\0\0\0", 32)).U16(4).U16(0);
  psp.Text(std::string_view("~BK\0", 4))
      .U16(0)  // general image attributes
      .U32(static_cast<std::uint32_t>(attributes.size()))
      .U32(static_cast<std::uint32_t>(attributes.size()))
      .Raw(attributes);
  return out;
}

Bytes BuildAvi(PictureSize size) {
  // One uncompressed 24-bit frame of the pattern.
  const Bytes dib = PatternDib(size);
  const ByteSpan frame = DibPixels(dib);
  const std::uint32_t width = static_cast<std::uint32_t>(size.width);
  const std::uint32_t height = static_cast<std::uint32_t>(size.height);
  const auto frameSize = static_cast<std::uint32_t>(frame.size());

  Bytes mainHeader;
  ByteWriter(mainHeader)
      .U32(100000)          // microseconds per frame: 10 frames per second
      .U32(frameSize * 10)  // maximum bytes per second
      .U32(0)               // padding granularity
      .U32(0x10)            // has an index
      .U32(1)               // frames
      .U32(0)               // initial frames
      .U32(1)               // streams
      .U32(frameSize)       // suggested buffer size
      .U32(width)
      .U32(height)
      .Zeros(16);
  Bytes streamHeader;
  ByteWriter(streamHeader)
      .Text("vids")
      .Text("DIB ")
      .U32(0)   // flags
      .U16(0)   // priority
      .U16(0)   // language
      .U32(0)   // initial frames
      .U32(1)   // scale
      .U32(10)  // rate: 10 frames per second
      .U32(0)   // start
      .U32(1)   // length in frames
      .U32(frameSize)
      .U32(0xFFFFFFFF)  // default quality
      .U32(0)           // sample size
      .U16(0)
      .U16(0)
      .U16(static_cast<std::uint16_t>(width))
      .U16(static_cast<std::uint16_t>(height));
  const ByteSpan format = ByteSpan(dib).first(40);

  Bytes streamList;
  ByteWriter strl(streamList);
  Chunk(strl, "strh", streamHeader);
  Chunk(strl, "strf", format);
  Bytes headerList;
  ByteWriter hdrl(headerList);
  Chunk(hdrl, "avih", mainHeader);
  hdrl.Raw(List("strl", streamList));
  Bytes movie;
  ByteWriter movi(movie);
  Chunk(movi, "00db", frame);
  Bytes index;
  ByteWriter(index).Text("00db").U32(0x10).U32(4).U32(frameSize);  // key frame at movi+4

  Bytes body;
  ByteWriter riff(body);
  riff.Text("AVI ").Raw(List("hdrl", headerList)).Raw(List("movi", movie));
  Chunk(riff, "idx1", index);
  Bytes out;
  ByteWriter(out).Text("RIFF").U32(static_cast<std::uint32_t>(body.size())).Raw(body);
  return out;
}

Bytes BuildDwg() {
  // The fixed fields of a release 2000 file header, an empty section-locator
  // list and the header's end sentinel; no sections, the CRC left zero.
  static constexpr std::uint8_t kSentinel[16] = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                                 0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
  Bytes out;
  ByteWriter dwg(out);
  dwg.Text("AC1015")
      .Zeros(5)
      .U8(0)  // maintenance release
      .U8(1)
      .U32(0)  // no preview image
      .U8(0)
      .U8(0)
      .U16(30)  // code page: ANSI 1252
      .U32(0)   // section locators
      .U16(0);  // header CRC, not computed
  for (std::uint8_t b : kSentinel) dwg.U8(b);
  return out;
}

Bytes BuildJp2(PictureSize size) {
  Bytes out;
  ByteWriter jp2(out, Order::Big);
  Box(jp2, "jP  ", Bytes{std::byte{0x0D}, std::byte{0x0A}, std::byte{0x87}, std::byte{0x0A}});
  Bytes fileType;
  ByteWriter(fileType, Order::Big).Text("jp2 ").U32(0).Text("jp2 ");
  Box(jp2, "ftyp", fileType);

  Bytes imageHeader;
  ByteWriter(imageHeader, Order::Big)
      .U32(static_cast<std::uint32_t>(size.height))
      .U32(static_cast<std::uint32_t>(size.width))
      .U16(3)  // components
      .U8(7)   // 8 bits, unsigned
      .U8(7)   // compression: JPEG 2000
      .U8(0)   // colour space known
      .U8(0);  // no intellectual property
  Bytes colour;
  ByteWriter(colour, Order::Big).U8(1).U8(0).U8(0).U32(16);  // enumerated: sRGB
  Bytes header;
  ByteWriter headerWriter(header, Order::Big);
  Box(headerWriter, "ihdr", imageHeader);
  Box(headerWriter, "colr", colour);
  Box(jp2, "jp2h", header);

  // Codestream main header (SOC, SIZ, COD, QCD) and end of codestream; it
  // carries no tiles.
  Bytes codestream;
  ByteWriter cs(codestream, Order::Big);
  cs.U16(0xFF4F);  // SOC
  cs.U16(0xFF51)
      .U16(38 + 3 * 3)  // SIZ
      .U16(0)
      .U32(static_cast<std::uint32_t>(size.width))
      .U32(static_cast<std::uint32_t>(size.height))
      .U32(0)
      .U32(0)
      .U32(static_cast<std::uint32_t>(size.width))
      .U32(static_cast<std::uint32_t>(size.height))
      .U32(0)
      .U32(0)
      .U16(3);
  for (int c = 0; c < 3; ++c) cs.U8(7).U8(1).U8(1);
  cs.U16(0xFF52).U16(12).U8(0).U8(0).U16(1).U8(0).U8(0).U8(4).U8(4).U8(0).U8(1);  // COD
  cs.U16(0xFF5C).U16(4).U8(0x40).U8(0x48);                                        // QCD
  cs.U16(0xFFD9);                                                                 // EOC
  Box(jp2, "jp2c", codestream);
  return out;
}

Bytes BuildPict(PictureSize size) {
  // The "PICT" 00 08 tag, then a version 2 picture: size, frame, version
  // opcode, extended header, a clip region, a filled rectangle, end.
  const auto right = static_cast<std::int16_t>(size.width);
  const auto bottom = static_cast<std::int16_t>(size.height);
  Bytes picture;
  ByteWriter pict(picture, Order::Big);
  pict.U16(0);  // picture size, patched below
  pict.I16(0).I16(0).I16(bottom).I16(right);
  pict.U16(0x0011).U16(0x02FF);  // version 2
  pict.U16(0x0C00)
      .I16(-2)
      .U16(0)  // extended header
      .U32(0x00480000)
      .U32(0x00480000)  // 72 dpi
      .I16(0)
      .I16(0)
      .I16(bottom)
      .I16(right)
      .U32(0);
  pict.U16(0x0001).U16(10).I16(0).I16(0).I16(bottom).I16(right);  // clip region
  pict.U16(0x0031).I16(0).I16(0).I16(bottom).I16(right);          // paintRect
  pict.U16(0x00FF);                                               // end
  pict.PatchU16(0, static_cast<std::uint16_t>(picture.size() & 0xFFFF));
  Bytes out;
  ByteWriter(out).Text(std::string_view("PICT\0\x08", 6)).Raw(picture);
  return out;
}

Bytes BuildCrw() {
  // CIFF file header and an empty root heap: its record table (count 0)
  // and, as the heap's last four bytes, the offset of that table.
  Bytes out;
  ByteWriter crw(out);
  crw.Text("II").U32(26).Text("HEAPCCDR").U32(0x00010002).U32(0).U32(0);
  crw.U16(0);  // no records
  crw.U32(0);  // the table starts at the heap's first byte
  return out;
}

}  // namespace corvid::oledocs::formats
