// The OLE wrappers against what Access really stores: byte-for-byte against
// the real values in the fixtures, and field by field for the kinds the
// fixtures do not hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/tools/libmdb_table_reader.h"
#include "tools/oledocs/bmp_file.h"
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/metafile.h"
#include "tools/oledocs/ole_value_layout.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"
#include "tests/fixture_files.h"

namespace corvid::oledocs {
namespace {

const std::string kPaintbrushFixture = corvid::testing_fixtures::FixturePath("ole/paintbrush");
const std::string kNorthwind = corvid::testing_fixtures::FixturePath("mdb/nwind.mdb");

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes bytes(chars.size());
  std::memcpy(bytes.data(), chars.data(), chars.size());
  return bytes;
}

Bytes AsBytes(std::string_view text) {
  Bytes out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

std::string AsText(ByteSpan bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// 1-based position of the first occurrence of `pattern`, 0 when absent.
std::size_t FirstPosition(ByteSpan haystack, ByteSpan pattern) {
  auto it = std::search(haystack.begin(), haystack.end(), pattern.begin(), pattern.end());
  return it == haystack.end() ? 0 : static_cast<std::size_t>(it - haystack.begin()) + 1;
}

// The BMP file inside a real Paintbrush value: the native data up to the
// size the BMP file header records (Paint pads the native data behind it).
Bytes BmpInside(ByteSpan value) {
  const AccessOleLayout layout = ParseAccessOleValue(value);
  const ByteSpan native = value.subspan(layout.dataOffset, layout.dataSize);
  const std::uint32_t bmpSize = ReadU32(native, 2);
  return Bytes(native.begin(), native.begin() + bmpSize);
}

TEST(PaintbrushWrapper, ReproducesTheRealValueWithMetafilePresentation) {
  const Bytes real = ReadFile(kPaintbrushFixture);
  const Bytes bmp = BmpInside(real);
  ASSERT_EQ(bmp.size(), 39990u);

  const Bytes built = WrapPaintbrushBitmap(bmp, Presentation::Metafile);

  ASSERT_EQ(built.size(), real.size());
  const auto mismatch = std::mismatch(built.begin(), built.end(), real.begin());
  EXPECT_TRUE(mismatch.first == built.end())
      << "first difference at byte " << (mismatch.first - built.begin());
}

TEST(PaintbrushWrapper, ReproducesEveryPictureOfTheRealDatabase) {
  struct Case {
    const char* table;
    const char* key;
    const char* column;
    std::size_t rows;
  } cases[] = {{"Categories", "CategoryID", "Picture", 8}, {"Employees", "EmployeeID", "Photo", 9}};
  for (const Case& c : cases) {
    const auto table = testing::ReadTableWithLibmdb(kNorthwind, c.table);
    const int column = table.Column(c.column);
    ASSERT_EQ(table.rows.size(), c.rows) << c.table;
    for (const auto& row : table.rows) {
      const Bytes& real = row[column].bytes;
      ASSERT_GT(real.size(), 10000u) << c.table;
      const Bytes built = WrapPaintbrushBitmap(BmpInside(real), Presentation::None);
      EXPECT_TRUE(built == real) << c.table << " " << row[table.Column(c.key)].text;
    }
  }
}

TEST(PaintbrushWrapper, HeaderFieldsMatchTheRealWrapper) {
  const Bytes real = ReadFile(kPaintbrushFixture);
  const AccessOleLayout expected = ParseAccessOleValue(real);
  // A different bitmap: same class names, so the same header and OLE 1.0
  // field positions; only the sizes differ.
  const Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {20, 10});
  const Bytes built = WrapPaintbrushBitmap(bmp, Presentation::Metafile);
  const AccessOleLayout actual = ParseAccessOleValue(built);

  EXPECT_TRUE(std::equal(built.begin(), built.begin() + expected.dataOffset - 4, real.begin()))
      << "header and OLE 1.0 fields up to the native size differ";
  EXPECT_EQ(actual.dataOffset, 0x4Eu);
  EXPECT_EQ(actual.dataSize, (bmp.size() + 15) / 16 * 16);
  EXPECT_TRUE(std::equal(bmp.begin(), bmp.end(), built.begin() + actual.dataOffset));
  EXPECT_EQ(actual.presentation.className, expected.presentation.className);
  EXPECT_EQ(actual.presentation.width, PixelsToHimetric(20));
  EXPECT_EQ(actual.presentation.height, -PixelsToHimetric(10));
  EXPECT_TRUE(actual.checksumMatches);
}

TEST(PaintbrushWrapper, RejectsWhatIsNotABmpFile) {
  for (std::string_view bad : {std::string_view(""), std::string_view("BM"),
                               std::string_view("%PDF-1.4 not a bitmap at all, but long enough"
                                                " to hold a header of forty bytes")}) {
    EXPECT_THROW(WrapPaintbrushBitmap(AsBytes(bad)), std::invalid_argument) << bad;
    EXPECT_THROW(WrapStaticDib(AsBytes(bad)), std::invalid_argument) << bad;
  }
}

TEST(AccessOleHeader, NamesAndOffsetsFollowTheFixedPart) {
  struct Case {
    std::string_view name, cls;
  } cases[] = {
      {"Bitmap Image", "Paint.Picture"}, {"Picture", ""}, {"", ""}, {"Package", "Package"}};
  for (const Case& c : cases) {
    const Bytes header = AccessOleHeader(c.name, c.cls, OleObjectType::Embedded);
    SCOPED_TRACE(std::string(c.name) + "/" + std::string(c.cls));
    ASSERT_EQ(header.size(), 20 + c.name.size() + 1 + c.cls.size() + 1);
    EXPECT_EQ(ReadU16(header, 0), 0x1C15);
    EXPECT_EQ(ReadU16(header, 2), header.size());
    EXPECT_EQ(ReadU32(header, 4), 2u);
    EXPECT_EQ(ReadU16(header, 8), c.name.size() + 1);
    EXPECT_EQ(ReadU16(header, 10), c.cls.size() + 1);
    EXPECT_EQ(ReadU16(header, 12), 20);
    EXPECT_EQ(ReadU16(header, 14), 20 + c.name.size() + 1);
    EXPECT_EQ(ReadU32(header, 16), 0xFFFFFFFFu);
    EXPECT_EQ(AsText(ByteSpan(header).subspan(20)),
              std::string(c.name) + '\0' + std::string(c.cls) + '\0');
  }
  EXPECT_THROW(AccessOleHeader(std::string(70000, 'x'), "", OleObjectType::Embedded),
               std::length_error);
}

TEST(StaticDibWrapper, DibHeaderLies41BytesBehindTheMarker) {
  const Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {40, 40});
  const BmpFile parsed = ParseBmpFile(bmp);
  const Bytes value = WrapStaticDib(bmp);

  const Bytes marker =
      AsBytes(std::string_view("\xFF\xFF\xFF\xFF"
                               "Picture\0\0\x01\x05\0\0\x03\0\0\0\x04\0\0\0DIB",
                               28));
  const Bytes dibHeaderSize = AsBytes(std::string_view("\x28\0\0\0", 4));
  const std::size_t markerAt = FirstPosition(value, marker);
  ASSERT_EQ(markerAt, 17u);  // right behind the fixed part of the Access header
  EXPECT_EQ(FirstPosition(value, dibHeaderSize), markerAt + 41);

  const AccessOleLayout layout = ParseAccessOleValue(value);
  EXPECT_EQ(layout.objectType, 3u);
  EXPECT_EQ(layout.friendlyName, "Picture");
  EXPECT_EQ(layout.className, "");
  EXPECT_EQ(layout.oleFormat, 3u);
  EXPECT_EQ(layout.oleClass, "DIB");
  EXPECT_EQ(layout.staticWidth, PixelsToHimetric(40));
  EXPECT_EQ(layout.staticHeight, PixelsToHimetric(40));
  EXPECT_EQ(layout.dataOffset, markerAt - 1 + 41);
  ASSERT_EQ(layout.dataSize, parsed.dib.size());
  EXPECT_TRUE(std::equal(parsed.dib.begin(), parsed.dib.end(), value.begin() + layout.dataOffset));
  EXPECT_EQ(layout.trailerOffset + 4, value.size());
  EXPECT_TRUE(layout.checksumMatches);
}

TEST(StaticDibWrapper, TopDownBitmapGetsPositiveExtentsAndKeepsItsDib) {
  Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {12, 9});
  ByteWriter(bmp).PatchU32(22, static_cast<std::uint32_t>(-9));  // height -9: top-down rows
  const AccessOleLayout still = ParseAccessOleValue(WrapStaticDib(bmp));
  EXPECT_EQ(still.staticWidth, PixelsToHimetric(12));
  EXPECT_EQ(still.staticHeight, PixelsToHimetric(9));

  const Bytes withPreview = WrapPaintbrushBitmap(bmp, Presentation::Metafile);
  const AccessOleLayout layout = ParseAccessOleValue(withPreview);
  EXPECT_EQ(layout.presentation.height, -PixelsToHimetric(9));
  // The metafile's DIBStretchBlt reads 9 source rows and fills 9 window rows.
  const std::size_t blt = layout.presentation.dataOffset + 8 + 18 + 8 + 10 + 10 + 10;
  ASSERT_EQ(ReadU16(withPreview, blt + 4), 0x0B41);
  EXPECT_EQ(static_cast<std::int16_t>(ReadU16(withPreview, blt + 10)), 9);   // source height
  EXPECT_EQ(static_cast<std::int16_t>(ReadU16(withPreview, blt + 18)), -9);  // destination height
  EXPECT_EQ(static_cast<std::int16_t>(ReadU16(withPreview, blt + 20)), 12);  // destination width
}

TEST(PackageWrapper, PackagerDataCarriesNamesAndFile) {
  const Bytes pdf = MakeSampleDocument(DocumentFormat::Pdf);
  const Bytes value = WrapPackage("Bericht ä.pdf", "C:\\Docs\\Bericht ä.pdf", pdf);
  const AccessOleLayout layout = ParseAccessOleValue(value);
  EXPECT_EQ(layout.friendlyName, "Package");
  EXPECT_EQ(layout.className, "Package");
  EXPECT_EQ(layout.oleFormat, 2u);
  EXPECT_EQ(layout.oleClass, "Package");
  EXPECT_EQ(layout.presentation.format, 0u);
  EXPECT_TRUE(layout.checksumMatches);

  const ByteSpan native = ByteSpan(value).subspan(layout.dataOffset, layout.dataSize);
  Bytes expected;
  ByteWriter w(expected);
  const std::string label = "Bericht \xE4.pdf";  // Windows-1252
  const std::string path = "C:\\Docs\\Bericht \xE4.pdf";
  w.U16(2).TextZ(label).TextZ(path).U32(0x00030000);
  w.U32(static_cast<std::uint32_t>(path.size() + 1)).TextZ(path);
  w.U32(static_cast<std::uint32_t>(pdf.size())).Raw(pdf);
  const std::u16string wideLabel = u"Bericht \u00E4.pdf";
  const std::u16string widePath = u"C:\\Docs\\Bericht \u00E4.pdf";
  for (const std::u16string* s : {&widePath, &wideLabel, &widePath}) {
    w.U32(static_cast<std::uint32_t>(s->size()));
    for (char16_t u : *s) w.U16(u);
  }
  EXPECT_EQ(AsText(native), AsText(expected));
}

TEST(PackageWrapper, NamesOutsideTheCodePageBecomeQuestionMarksInAnsiOnly) {
  const Bytes value = WrapPackage("\xE6\x97\xA5.txt", "C:\\\xE6\x97\xA5.txt", AsBytes("x"));
  const AccessOleLayout layout = ParseAccessOleValue(value);
  const std::string native = AsText(ByteSpan(value).subspan(layout.dataOffset, layout.dataSize));
  EXPECT_EQ(native.substr(2, 6), std::string("?.txt\0", 6));
  // The UTF-16 copy of the label keeps the character: 3 units "日.t"...
  const std::string wide("\x05\0\0\0\xE5\x65.\0t\0x\0t\0", 14);
  EXPECT_NE(native.find(wide), std::string::npos);
}

TEST(PdfWrapper, NativeDataIsThePdfFile) {
  const Bytes pdf = MakeSampleDocument(DocumentFormat::Pdf);
  const Bytes value = WrapPdfDocument(pdf);
  const AccessOleLayout layout = ParseAccessOleValue(value);
  EXPECT_EQ(layout.friendlyName, "Acrobat Document");
  EXPECT_EQ(layout.className, "AcroExch.Document");
  EXPECT_EQ(layout.oleClass, "AcroExch.Document");
  ASSERT_EQ(layout.dataSize, pdf.size());
  EXPECT_TRUE(std::equal(pdf.begin(), pdf.end(), value.begin() + layout.dataOffset));
  EXPECT_EQ(FirstPosition(value, AsBytes("%PDF-1.")), layout.dataOffset + 1);
}

TEST(BareLongBinary, IsTheDocumentItself) {
  const Bytes png = MakeSampleDocument(DocumentFormat::Png);
  EXPECT_TRUE(BareLongBinary(png) == png);
  EXPECT_TRUE(BareLongBinary({}).empty());
}

TEST(AccessOleTrailer, ChecksumIsTheXorOfTheObjectBytes) {
  const Bytes data = AsBytes(std::string_view("\x01\x02\x04\x80", 4));
  const auto trailer = AccessOleTrailer(data);
  EXPECT_EQ(trailer[0], std::byte{0x87});
  EXPECT_EQ(trailer[1], std::byte{0xAD});
  EXPECT_EQ(trailer[2], std::byte{0x05});
  EXPECT_EQ(trailer[3], std::byte{0xFE});
  EXPECT_EQ(AccessOleTrailer({})[0], std::byte{0});

  // Every length around the 8-byte steps of the fast path, against a plain XOR.
  Bytes bytes;
  for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<std::byte>(i * 37 + 11));
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    std::byte expected{0};
    for (std::size_t i = 0; i < length; ++i) expected ^= bytes[i];
    EXPECT_EQ(AccessOleTrailer(ByteSpan(bytes).first(length))[0], expected) << length;
  }
}

TEST(AccessOleLayoutReader, RejectsEveryTruncationAndAnyExtraByte) {
  const Bytes value =
      WrapPaintbrushBitmap(MakeSampleDocument(DocumentFormat::Bmp, {3, 2}), Presentation::Metafile);
  ASSERT_NO_THROW(ParseAccessOleValue(value));
  for (std::size_t size = 0; size < value.size(); ++size) {
    EXPECT_THROW(ParseAccessOleValue(ByteSpan(value).first(size)), std::invalid_argument)
        << "prefix of " << size << " bytes";
  }
  Bytes longer = value;
  longer.push_back(std::byte{0});
  EXPECT_THROW(ParseAccessOleValue(longer), std::invalid_argument);
}

TEST(DibMetafile, RecordsStayWholeWordsForAnOddSizedDib) {
  // A 1x1 monochrome DIB: 40-byte header, 2 colours, one 4-byte row, and one
  // stray byte that makes the length odd.
  Bytes dib;
  ByteWriter(dib)
      .U32(40)
      .U32(1)
      .U32(1)
      .U16(1)
      .U16(1)
      .U32(0)
      .U32(4)
      .U32(0)
      .U32(0)
      .U32(2)
      .U32(0)
      .U32(0)
      .U32(0xFFFFFF)
      .U32(0x80000000)
      .U8(0);
  ASSERT_EQ(dib.size() % 2, 1u);
  const Bytes wmf = DibMetafile(dib, 1, 1);
  EXPECT_EQ(wmf.size() % 2, 0u);
  EXPECT_EQ(2 * ReadU32(wmf, 6), wmf.size()) << "size in words";
  // Walk the records: they must end exactly with the 3-word end record.
  std::size_t at = 18;
  std::uint16_t last = 0xFFFF;
  while (at < wmf.size()) {
    last = ReadU16(wmf, at + 4);
    at += 2 * ReadU32(wmf, at);
  }
  EXPECT_EQ(at, wmf.size());
  EXPECT_EQ(last, 0);
  EXPECT_THROW(DibMetafile(ByteSpan(dib).first(39), 1, 1), std::invalid_argument);
}

TEST(AccessOleLayoutReader, CorruptedBytesAreRejectedCleanly) {
  // Any single corrupted byte either still parses or is refused with
  // std::invalid_argument (an escaping std::length_error, std::bad_alloc or
  // std::out_of_range fails the test); the signature and the trailer's fixed
  // bytes are always refused.
  const Bytes values[] = {
      WrapPaintbrushBitmap(MakeSampleDocument(DocumentFormat::Bmp, {3, 2}), Presentation::Metafile),
      WrapStaticDib(MakeSampleDocument(DocumentFormat::Bmp, {3, 2})),
      WrapPackage("a.txt", "C:\\a.txt", AsBytes("abc")),
  };
  for (const Bytes& value : values) {
    for (std::size_t at = 0; at < value.size(); ++at) {
      for (std::byte replacement : {std::byte{0x00}, std::byte{0xFF}, std::byte{0x7F}}) {
        if (value[at] == replacement) continue;
        Bytes corrupt = value;
        corrupt[at] = replacement;
        bool refused = false;
        try {
          ParseAccessOleValue(corrupt);
        } catch (const std::invalid_argument&) {
          refused = true;
        }
        const bool fixedByte = at < 2 || at + 3 >= value.size();
        if (fixedByte) {
          EXPECT_TRUE(refused) << "byte " << at;
        }
      }
    }
  }
}

TEST(PixelsToHimetric, RoundsToTheNearestHundredthOfAMillimetre) {
  struct Case {
    int pixels, himetric;
  } cases[] = {{0, 0}, {1, 26}, {96, 2540}, {104, 2752}, {127, 3360}, {-127, -3360}};
  for (const Case& c : cases) EXPECT_EQ(PixelsToHimetric(c.pixels), c.himetric) << c.pixels;
}

}  // namespace
}  // namespace corvid::oledocs
