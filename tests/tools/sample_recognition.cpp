// The sample documents and wrappers as the extraction's recognition sees
// them: every document, bare and inside each wrapper kind, gets the
// extension its format promises, and the payload written starts exactly at
// the document. Built only when the engine is part of the build.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "engine/recognition.h"
#include "tools/oledocs/bmp_file.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_database_content.h"
#include "tools/oledocs/sample_documents.h"

namespace corvid::oledocs {
namespace {

struct Outcome {
  std::string extension;
  std::size_t start = 0;  // 0-based offset of the first byte written
  bool bitmapHeader = false;
};

Outcome Recognise(ByteSpan value) {
  Recogniser recogniser;
  std::string path = "/tmp/out/1";
  const RecognitionResult result = recogniser.Recognise(value, path, {});
  return {path.substr(std::string("/tmp/out/1").size()), result.startPosition - 1,
          result.bitmapFileHeader};
}

std::size_t OffsetOf(ByteSpan haystack, ByteSpan needle) {
  const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  return it == haystack.end() ? std::string::npos : static_cast<std::size_t>(it - haystack.begin());
}

TEST(SampleRecognition, EveryDocumentBareAndWrappedIsFoundWhereItStarts) {
  struct Wrapper {
    const char* name;
    std::function<Bytes(ByteSpan)> wrap;
  } wrappers[] = {
      {"bare", [](ByteSpan d) { return BareLongBinary(d); }},
      {"Package", [](ByteSpan d) { return WrapPackage("sample.bin", "C:\\Data\\sample.bin", d); }},
      {"embedded object",
       [](ByteSpan d) {
         return WrapEmbeddedObject({"Document", "Sample.Document", "Sample"}, d);
       }},
  };
  for (const DocumentInfo& info : AllDocumentFormats()) {
    const Bytes document = MakeSampleDocument(info.format);
    for (const Wrapper& wrapper : wrappers) {
      SCOPED_TRACE(std::string(info.name) + " " + wrapper.name);
      const Bytes value = wrapper.wrap(document);
      const Outcome outcome = Recognise(value);
      EXPECT_EQ(outcome.extension, info.extension);
      EXPECT_FALSE(outcome.bitmapHeader);
      if (info.extension == ".dmp") {
        EXPECT_EQ(outcome.start, 0u) << "unrecognised values are written whole";
      } else {
        EXPECT_EQ(outcome.start, OffsetOf(value, document));
      }
    }
  }
}

TEST(SampleRecognition, PictureWrappersLeadToTheirBitmap) {
  const Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {96, 64});
  const Bytes paintbrush = WrapPaintbrushBitmap(bmp);
  EXPECT_EQ(Recognise(paintbrush).extension, ".bmp");
  EXPECT_EQ(Recognise(paintbrush).start, OffsetOf(paintbrush, bmp));

  // With the preview behind a bitmap longer than the first window.
  const Bytes withPreview = WrapPaintbrushBitmap(bmp, Presentation::Metafile);
  EXPECT_EQ(Recognise(withPreview).extension, ".bmp");
  EXPECT_EQ(Recognise(withPreview).start, OffsetOf(withPreview, bmp));

  // A static picture: the file is a bitmap file header and the DIB.
  const Bytes picture = WrapStaticDib(bmp);
  const Outcome outcome = Recognise(picture);
  EXPECT_EQ(outcome.extension, ".bmp");
  EXPECT_TRUE(outcome.bitmapHeader);
  EXPECT_EQ(outcome.start, OffsetOf(picture, ParseBmpFile(bmp).dib));
}

TEST(SampleRecognition, SampleDatabaseRowsGetTheExtensionsTheyList) {
  for (const SampleTableRow& row : SampleTableRows()) {
    if (!row.img || row.img->empty()) continue;  // the run writes nothing for these
    EXPECT_EQ(Recognise(*row.img).extension, row.extension) << row.content;
  }
  for (const SamplePhotoRow& row : SamplePhotoRows()) {
    EXPECT_EQ(Recognise(row.img).extension, row.extension) << row.caption;
  }
}

}  // namespace
}  // namespace corvid::oledocs
