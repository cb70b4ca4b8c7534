// The sample documents: every one starts with its recognition signature, is
// the same on every call, and is a valid file of its kind: pictures decode
// back to the pattern that was drawn, containers walk cleanly to their end.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/oledocs/bmp_file.h"
#include "tools/oledocs/byte_writer.h"
#include "tools/oledocs/crc32.h"
#include "tools/oledocs/sample_documents.h"

namespace corvid::oledocs {
namespace {

std::string AsText(ByteSpan bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::uint16_t BigU16(ByteSpan b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) << 8 |
                                    std::to_integer<unsigned>(b[at + 1]));
}
std::uint32_t BigU32(ByteSpan b, std::size_t at) {
  return static_cast<std::uint32_t>(BigU16(b, at)) << 16 | BigU16(b, at + 2);
}

QImage Decode(ByteSpan bytes, const char* format = nullptr) {
  return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                          static_cast<int>(bytes.size()), format);
}

struct PatternError {
  int largest = 0;  // largest difference of one colour channel
  double mean = 0;  // mean difference over all channels
};
PatternError CompareWithPattern(const QImage& image, PictureSize size) {
  PatternError error;
  long total = 0;
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      const QRgb got = image.pixel(x, y);
      const std::uint32_t want = PatternPixel(x, y, size);
      for (int d : {qRed(got) - int(want >> 16 & 0xFF), qGreen(got) - int(want >> 8 & 0xFF),
                    qBlue(got) - int(want & 0xFF)}) {
        error.largest = std::max(error.largest, std::abs(d));
        total += std::abs(d);
      }
    }
  }
  error.mean = double(total) / (3.0 * size.width * size.height);
  return error;
}
int MaxChannelError(const QImage& image, PictureSize size) {
  return CompareWithPattern(image, size).largest;
}

TEST(SampleDocuments, EveryFormatStartsWithItsSignatureAndIsDeterministic) {
  for (const DocumentInfo& info : AllDocumentFormats()) {
    SCOPED_TRACE(std::string(info.name));
    const Bytes first = MakeSampleDocument(info.format);
    const Bytes second = MakeSampleDocument(info.format);
    ASSERT_GE(first.size(), info.signature.size());
    EXPECT_EQ(AsText(ByteSpan(first).first(info.signature.size())), info.signature);
    EXPECT_TRUE(first == second) << "differs between calls";
    EXPECT_EQ(&InfoFor(info.format), &info);
  }
}

TEST(SampleDocuments, RejectsSizesOutsideTheRange) {
  for (PictureSize bad :
       {PictureSize{0, 10}, PictureSize{10, 0}, PictureSize{-1, 5}, PictureSize{4097, 1}}) {
    EXPECT_THROW(MakeSampleDocument(DocumentFormat::Png, bad), std::invalid_argument);
  }
}

TEST(SampleDocuments, PicturesDecodeToThePattern) {
  struct Case {
    DocumentFormat format;
    bool lossy;  // JPEG: colours blur at the quadrant edges, so judge the mean
  } cases[] = {{DocumentFormat::Png, false},
               {DocumentFormat::Bmp, false},
               {DocumentFormat::TiffLittleEndian, false},
               {DocumentFormat::TiffBigEndian, false},
               {DocumentFormat::Gif87a, false},
               {DocumentFormat::Gif89a, false},
               {DocumentFormat::JpegJfif, true},
               {DocumentFormat::JpegExif, true}};
  // Odd sizes catch row padding and quadrant edges; 1x1 the degenerate case;
  // the large one runs the GIF data across many sub-blocks.
  for (PictureSize size :
       {PictureSize{48, 32}, PictureSize{7, 5}, PictureSize{1, 1}, PictureSize{301, 203}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(InfoFor(c.format).name) + " " + std::to_string(size.width) + "x" +
                   std::to_string(size.height));
      const QImage image = Decode(MakeSampleDocument(c.format, size));
      ASSERT_FALSE(image.isNull());
      ASSERT_EQ(image.width(), size.width);
      ASSERT_EQ(image.height(), size.height);
      const PatternError error = CompareWithPattern(image, size);
      if (c.lossy) {
        EXPECT_LE(error.mean, 30.0);  // a 7x5 picture is nearly all edges; garbage is ~100
      } else {
        EXPECT_EQ(error.largest, 0);
      }
    }
  }
}

TEST(SampleDocuments, JpegHeadersAreJfifOrExifOnly) {
  const Bytes jfif = MakeSampleDocument(DocumentFormat::JpegJfif);
  EXPECT_EQ(AsText(ByteSpan(jfif).subspan(2, 2)), "\xFF\xE0");
  EXPECT_EQ(AsText(ByteSpan(jfif).subspan(6, 5)), std::string("JFIF\0", 5));

  const std::string exif = AsText(MakeSampleDocument(DocumentFormat::JpegExif));
  EXPECT_EQ(exif.substr(2, 2), "\xFF\xE1");
  EXPECT_EQ(exif.substr(6, 6), std::string("Exif\0\0", 6));
  EXPECT_EQ(exif.find("JFIF"), std::string::npos);
  // The APP1 length covers the Exif data and leads to the next marker.
  const std::size_t next = 4 + BigU16(MakeSampleDocument(DocumentFormat::JpegExif), 4);
  EXPECT_EQ(static_cast<unsigned char>(exif[next]), 0xFF);
}

TEST(SampleDocuments, BmpHasTheInformationHeaderRightBehindTheFileHeader) {
  const Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {33, 9});
  EXPECT_EQ(ReadU32(bmp, 14), 40u);
  EXPECT_EQ(ReadU32(bmp, 2), bmp.size());
  const BmpFile parsed = ParseBmpFile(bmp);
  EXPECT_EQ(parsed.width, 33);
  EXPECT_EQ(parsed.height, 9);
}

TEST(SampleDocuments, PdfCrossReferencePointsAtItsObjects) {
  const std::string pdf = AsText(MakeSampleDocument(DocumentFormat::Pdf));
  ASSERT_EQ(pdf.rfind("%%EOF"), pdf.size() - 6) << "ends with %%EOF and a newline";
  EXPECT_NE(pdf.find("/CreationDate (D:20260101000000"), std::string::npos);
  const std::size_t startxref = pdf.rfind("startxref");
  ASSERT_NE(startxref, std::string::npos);
  const std::size_t xref = std::stoul(pdf.substr(startxref + 10));
  ASSERT_EQ(pdf.compare(xref, 4, "xref"), 0);
  std::size_t at = pdf.find('\n', xref) + 1;
  const std::size_t firstObject = std::stoul(pdf.substr(at));
  const std::size_t count = std::stoul(pdf.substr(pdf.find(' ', at) + 1));
  at = pdf.find('\n', at) + 1;
  int checked = 0;
  for (std::size_t i = 0; i < count; ++i, at += 20) {
    const std::string entry = pdf.substr(at, 18);
    if (entry[17] != 'n') continue;
    const std::size_t offset = std::stoul(entry.substr(0, 10));
    const std::string header = std::to_string(firstObject + i) + " 0 obj";
    EXPECT_EQ(pdf.compare(offset, header.size(), header), 0) << header;
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

// Metafile records: 32-bit size in words, 16-bit function.
struct MetafileWalk {
  std::vector<std::uint16_t> functions;
  std::size_t end = 0;
  std::uint32_t largestRecord = 0;
};
MetafileWalk WalkMetafile(ByteSpan wmf) {
  MetafileWalk walk;
  std::size_t at = 2 * ReadU16(wmf, 2);
  while (at + 6 <= wmf.size()) {
    const std::uint32_t words = ReadU32(wmf, at);
    walk.functions.push_back(ReadU16(wmf, at + 4));
    walk.largestRecord = std::max(walk.largestRecord, words);
    if (words < 3) break;
    at += 2 * words;
    if (walk.functions.back() == 0) break;
  }
  walk.end = at;
  return walk;
}

TEST(SampleDocuments, MetafilesAreCompleteAndDrawThePattern) {
  const PictureSize size{21, 11};
  const Bytes placeable = MakeSampleDocument(DocumentFormat::WmfPlaceable, size);
  const Bytes standard = MakeSampleDocument(DocumentFormat::WmfStandard, size);
  ASSERT_EQ(placeable.size(), standard.size() + 22);
  EXPECT_TRUE(std::equal(standard.begin(), standard.end(), placeable.begin() + 22));
  std::uint16_t checksum = 0;
  for (std::size_t i = 0; i < 20; i += 2) checksum ^= ReadU16(placeable, i);
  EXPECT_EQ(ReadU16(placeable, 20), checksum);
  EXPECT_EQ(ReadU16(placeable, 10), 21);  // right
  EXPECT_EQ(ReadU16(placeable, 12), 11);  // bottom

  const MetafileWalk walk = WalkMetafile(standard);
  EXPECT_EQ(walk.end, standard.size());
  EXPECT_EQ(2 * ReadU32(standard, 6), standard.size()) << "size in words";
  EXPECT_EQ(ReadU32(standard, 12), walk.largestRecord);
  EXPECT_EQ(walk.functions,
            (std::vector<std::uint16_t>{0x0103, 0x020C, 0x020B, 0x0107, 0x0B41, 0x0000}));

  // The DIBStretchBlt record carries the bitmap: put a file header in front
  // of it and decode.
  const std::size_t blt = 18 + 8 + 10 + 10 + 10;
  ASSERT_EQ(ReadU16(standard, blt + 4), 0x0B41);
  const ByteSpan dib =
      ByteSpan(standard).subspan(blt + 6 + 4 + 16, 2 * ReadU32(standard, blt) - 26);
  Bytes bmp;
  ByteWriter(bmp)
      .Text("BM")
      .U32(static_cast<std::uint32_t>(14 + dib.size()))
      .U32(0)
      .U32(54)
      .Raw(dib);
  const QImage image = Decode(bmp, "BMP");
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(MaxChannelError(image, size), 0);
}

TEST(SampleDocuments, PhotoshopPlanesHoldThePattern) {
  const PictureSize size{5, 3};
  const Bytes psd = MakeSampleDocument(DocumentFormat::Psd, size);
  EXPECT_EQ(BigU16(psd, 12), 3);   // channels
  EXPECT_EQ(BigU32(psd, 14), 3u);  // height
  EXPECT_EQ(BigU32(psd, 18), 5u);  // width
  EXPECT_EQ(BigU16(psd, 22), 8);   // depth
  EXPECT_EQ(BigU16(psd, 24), 3);   // RGB
  const std::size_t data = 26 + 4 + 4 + 4 + 2;
  ASSERT_EQ(psd.size(), data + 3 * 15);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t rgb = PatternPixel(x, y, size);
      const std::size_t at = data + y * 5 + x;
      EXPECT_EQ(std::to_integer<std::uint32_t>(psd[at]), rgb >> 16 & 0xFF);
      EXPECT_EQ(std::to_integer<std::uint32_t>(psd[at + 15]), rgb >> 8 & 0xFF);
      EXPECT_EQ(std::to_integer<std::uint32_t>(psd[at + 30]), rgb & 0xFF);
    }
  }
}

TEST(SampleDocuments, AviChunksNestAndHoldOneFrame) {
  const PictureSize size{6, 4};
  const Bytes avi = MakeSampleDocument(DocumentFormat::RiffAvi, size);
  ASSERT_EQ(ReadU32(avi, 4) + 8, avi.size());
  EXPECT_EQ(AsText(ByteSpan(avi).subspan(8, 4)), "AVI ");
  std::vector<std::string> topLevel;
  std::size_t frameSize = 0;
  for (std::size_t at = 12; at < avi.size();) {
    ASSERT_LE(at + 8, avi.size());
    const std::string id = AsText(ByteSpan(avi).subspan(at, 4));
    const std::uint32_t size32 = ReadU32(avi, at + 4);
    std::string name = id;
    if (id == "LIST") {
      name += ":" + AsText(ByteSpan(avi).subspan(at + 8, 4));
      if (name == "LIST:movi") {
        EXPECT_EQ(AsText(ByteSpan(avi).subspan(at + 12, 4)), "00db");
        frameSize = ReadU32(avi, at + 16);
      }
    }
    topLevel.push_back(name);
    at += 8 + size32 + size32 % 2;
    ASSERT_LE(at, avi.size());
  }
  EXPECT_EQ(topLevel, (std::vector<std::string>{"LIST:hdrl", "LIST:movi", "idx1"}));
  EXPECT_EQ(frameSize, 4u * 20);  // 6 pixels of 3 bytes, rows padded to 4 bytes
}

TEST(SampleDocuments, Jp2BoxesCoverTheFile) {
  const Bytes jp2 = MakeSampleDocument(DocumentFormat::Jp2, {9, 7});
  std::vector<std::string> boxes;
  std::size_t at = 0;
  while (at < jp2.size()) {
    const std::uint32_t length = BigU32(jp2, at);
    boxes.push_back(AsText(ByteSpan(jp2).subspan(at + 4, 4)));
    if (boxes.back() == "jp2h") {
      EXPECT_EQ(AsText(ByteSpan(jp2).subspan(at + 12, 4)), "ihdr");
      EXPECT_EQ(BigU32(jp2, at + 16), 7u);
      EXPECT_EQ(BigU32(jp2, at + 20), 9u);
    }
    ASSERT_GE(length, 8u);
    at += length;
  }
  EXPECT_EQ(at, jp2.size());
  EXPECT_EQ(boxes, (std::vector<std::string>{"jP  ", "ftyp", "jp2h", "jp2c"}));
  EXPECT_EQ(AsText(ByteSpan(jp2).last(2)), "\xFF\xD9");
}

TEST(SampleDocuments, CompoundFileHasAFatAndARootStorage) {
  const Bytes cfb = MakeSampleDocument(DocumentFormat::Ole2Compound);
  ASSERT_EQ(cfb.size(), 3u * 512);
  EXPECT_EQ(ReadU16(cfb, 0x1A), 3);           // major version
  EXPECT_EQ(ReadU16(cfb, 0x1C), 0xFFFE);      // byte order
  EXPECT_EQ(ReadU16(cfb, 0x1E), 9);           // sector shift
  EXPECT_EQ(ReadU32(cfb, 0x2C), 1u);          // FAT sectors
  EXPECT_EQ(ReadU32(cfb, 0x4C), 0u);          // the FAT is sector 0 ...
  EXPECT_EQ(ReadU32(cfb, 512), 0xFFFFFFFDu);  // ... and marks itself
  const std::uint32_t directory = ReadU32(cfb, 0x30);
  EXPECT_EQ(ReadU32(cfb, 512 + 4 * directory), 0xFFFFFFFEu);  // one-sector chain
  const std::size_t root = 512 * (directory + 1);
  EXPECT_EQ(AsText(ByteSpan(cfb).subspan(root, 20)),
            std::string("R\0o\0o\0t\0 \0E\0n\0t\0r\0y\0", 20));
  EXPECT_EQ(ReadU16(cfb, root + 64), 22);
  EXPECT_EQ(std::to_integer<int>(cfb[root + 66]), 5);  // root storage
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32(ByteSpan(reinterpret_cast<const std::byte*>(check.data()), check.size())),
            0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
}

// Walks a ZIP: every local header, the central directory and its end record
// must agree, and every entry's data must inflate to its size and CRC.
void CheckZip(ByteSpan zip, std::uint16_t flags, std::uint16_t method, std::size_t entries) {
  const std::size_t end = zip.size() - 22;
  ASSERT_EQ(ReadU32(zip, end), 0x06054B50u);
  ASSERT_EQ(ReadU16(zip, end + 10), entries);
  std::size_t central = ReadU32(zip, end + 16);
  ASSERT_EQ(central + ReadU32(zip, end + 12), end);
  for (std::size_t i = 0; i < entries; ++i) {
    ASSERT_EQ(ReadU32(zip, central), 0x02014B50u);
    const std::size_t local = ReadU32(zip, central + 42);
    ASSERT_EQ(ReadU32(zip, local), 0x04034B50u);
    EXPECT_EQ(ReadU16(zip, local + 6), flags);
    EXPECT_EQ(ReadU16(zip, local + 8), method);
    EXPECT_EQ(ReadU32(zip, local + 14), ReadU32(zip, central + 16)) << "CRC differs";
    const std::uint32_t crc = ReadU32(zip, local + 14);
    const std::uint32_t packed = ReadU32(zip, local + 18);
    const std::uint32_t size = ReadU32(zip, local + 22);
    const std::size_t data = local + 30 + ReadU16(zip, local + 26) + ReadU16(zip, local + 28);
    Bytes content;
    if (method == 0) {
      EXPECT_EQ(packed, size);
      content.assign(zip.begin() + data, zip.begin() + data + packed);
    } else {
      // Stored deflate blocks only.
      std::size_t at = data;
      bool last = false;
      while (!last) {
        const auto header = std::to_integer<unsigned>(zip[at]);
        ASSERT_EQ(header & 6u, 0u) << "not a stored block";
        last = header & 1u;
        const std::uint16_t length = ReadU16(zip, at + 1);
        EXPECT_EQ(static_cast<std::uint16_t>(~length), ReadU16(zip, at + 3));
        content.insert(content.end(), zip.begin() + at + 5, zip.begin() + at + 5 + length);
        at += 5 + length;
      }
      EXPECT_EQ(at - data, packed);
    }
    EXPECT_EQ(content.size(), size);
    EXPECT_EQ(Crc32(content), crc);
    central +=
        46 + ReadU16(zip, central + 28) + ReadU16(zip, central + 30) + ReadU16(zip, central + 32);
  }
}

TEST(SampleDocuments, ZipArchivesAreConsistent) {
  CheckZip(MakeSampleDocument(DocumentFormat::OfficeOpenXml), 6, 8, 3);
  CheckZip(MakeSampleDocument(DocumentFormat::PlainZip), 0, 0, 1);
  const std::string ooxml = AsText(MakeSampleDocument(DocumentFormat::OfficeOpenXml));
  EXPECT_NE(ooxml.find("[Content_Types].xml"), std::string::npos);
}

TEST(SampleDocuments, ZipArchivesPassUnzipsOwnTest) {
  if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no unzip here";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("corvid-zip-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (DocumentFormat format : {DocumentFormat::OfficeOpenXml, DocumentFormat::PlainZip}) {
    const Bytes zip = MakeSampleDocument(format);
    const auto path = dir / (std::string(InfoFor(format).name) + ".zip");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
    EXPECT_EQ(std::system(("unzip -tqq '" + path.string() + "'").c_str()), 0) << path;
  }
  std::filesystem::remove_all(dir);
}

TEST(SampleDocuments, SmallHeaderFormatsAreSelfConsistent) {
  const Bytes pict = MakeSampleDocument(DocumentFormat::Pict, {10, 8});
  EXPECT_EQ(BigU16(pict, 6), pict.size() - 6) << "picture size field";
  EXPECT_EQ(BigU16(pict, 12), 8);   // frame bottom
  EXPECT_EQ(BigU16(pict, 14), 10);  // frame right
  EXPECT_EQ(BigU16(pict, pict.size() - 2), 0x00FF);

  const Bytes crw = MakeSampleDocument(DocumentFormat::Crw);
  const std::uint32_t heapStart = ReadU32(crw, 2);
  const std::uint32_t table = ReadU32(crw, crw.size() - 4);
  EXPECT_EQ(ReadU16(crw, heapStart + table), 0) << "empty record table";

  const Bytes psp = MakeSampleDocument(DocumentFormat::Psp, {12, 34});
  EXPECT_EQ(AsText(ByteSpan(psp).subspan(36, 4)), std::string("~BK\0", 4));
  EXPECT_EQ(ReadU32(psp, 46) + 50, psp.size()) << "block length";
  EXPECT_EQ(ReadU32(psp, 54), 12u);
  EXPECT_EQ(ReadU32(psp, 58), 34u);

  const Bytes cpt = MakeSampleDocument(DocumentFormat::Cpt, {12, 34});
  EXPECT_EQ(ReadU32(cpt, 7), 12u);
  EXPECT_EQ(ReadU32(cpt, 11), 34u);

  EXPECT_EQ(AsText(MakeSampleDocument(DocumentFormat::Dwg)).substr(0, 6), "AC1015");
}

}  // namespace
}  // namespace corvid::oledocs
