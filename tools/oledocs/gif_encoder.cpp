// GIF 87a and 89a, which Qt cannot write: a global colour table of the
// pattern's colours and one image, LZW-coded.
//
// The coder sends every pixel as its own literal code and a clear code
// before the code table would need a wider code: valid LZW that every
// decoder reads, with a fixed code width and no dictionary to get wrong.
#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/sample_formats.h"

namespace corvid::oledocs::formats {

namespace {

constexpr int kColourBits = 3;  // 8 palette entries
constexpr int kMinCodeSize = kColourBits;
constexpr unsigned kClearCode = 1u << kMinCodeSize;
constexpr unsigned kEndCode = kClearCode + 1;
constexpr int kCodeWidth = kMinCodeSize + 1;
// Literals between clear codes: the decoder adds one table entry per code
// after the first, and must not reach 1 << kCodeWidth entries.
constexpr int kLiteralsPerClear = 4;

constexpr std::array<std::uint32_t, 8> kPalette = {0xFFFFFF, 0xD02020, 0x20A040, 0x2040D0,
                                                   0xF0D020, 0x000000, 0x808080, 0xC0C0C0};

std::uint8_t PaletteIndex(std::uint32_t rgb) {
  for (std::size_t i = 0; i < kPalette.size(); ++i) {
    if (kPalette[i] == rgb) return static_cast<std::uint8_t>(i);
  }
  throw std::logic_error("pattern colour missing from the GIF palette");
}

class CodeStream {
 public:
  void Put(unsigned code) {
    bits_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += kCodeWidth;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<std::byte>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  Bytes Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<std::byte>(bits_ & 0xFF));
    return std::move(bytes_);
  }

 private:
  Bytes bytes_;
  std::uint32_t bits_ = 0;
  int count_ = 0;
};

}  // namespace

Bytes BuildGif(PictureSize size, bool version89a) {
  Bytes out;
  ByteWriter gif(out);
  gif.Text(version89a ? "GIF89a" : "GIF87a")
      .U16(static_cast<std::uint16_t>(size.width))
      .U16(static_cast<std::uint16_t>(size.height))
      .U8(0x80 | (kColourBits - 1) << 4 | (kColourBits - 1))  // global table, 8 entries
      .U8(0)                                                  // background colour index
      .U8(0);                                                 // no aspect ratio
  for (std::uint32_t rgb : kPalette) gif.U8(rgb >> 16 & 0xFF).U8(rgb >> 8 & 0xFF).U8(rgb & 0xFF);
  if (version89a) {
    // Graphic control extension: no disposal, no delay, no transparency.
    gif.U8(0x21).U8(0xF9).U8(4).U8(0).U16(0).U8(0).U8(0);
  }
  gif.U8(0x2C)
      .U16(0)
      .U16(0)
      .U16(static_cast<std::uint16_t>(size.width))
      .U16(static_cast<std::uint16_t>(size.height))
      .U8(0);  // no local table, not interlaced

  CodeStream codes;
  int sinceClear = kLiteralsPerClear;
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      if (sinceClear == kLiteralsPerClear) {
        codes.Put(kClearCode);
        sinceClear = 0;
      }
      codes.Put(PaletteIndex(PatternPixel(x, y, size)));
      ++sinceClear;
    }
  }
  codes.Put(kEndCode);
  const Bytes data = codes.Finish();

  gif.U8(kMinCodeSize);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t block = std::min<std::size_t>(255, data.size() - at);
    gif.U8(static_cast<std::uint8_t>(block)).Raw(ByteSpan(data).subspan(at, block));
  }
  gif.U8(0);     // end of the image data
  gif.U8(0x3B);  // trailer
  return out;
}

}  // namespace corvid::oledocs::formats
