// Structural unwrapping of OLE Object values built the way Access and Office
// store them, the real Paintbrush value, and damaged values that must fall
// back to the signature recognition without a crash or a word on stderr.
#include "engine/ole_unwrap.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/ole_package.h"
#include "engine/ooxml_kind.h"
#include "tests/fixture_files.h"
#include "tools/oledocs/embedded_containers.h"
#include "tools/oledocs/ole_value_layout.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"

namespace corvid {
namespace {

using oledocs::Bytes;
using oledocs::DocumentFormat;
using ::testing::HasSubstr;
using Kind = UnwrappedObject::Kind;

const std::string kPaintbrushFixture = testing_fixtures::FixturePath("ole/paintbrush");

Bytes AsBytes(std::string_view text) {
    Bytes out(text.size());
    std::memcpy(out.data(), text.data(), text.size());
    return out;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return AsBytes(text);
}

Bytes Of(std::span<const std::byte> bytes) { return Bytes(bytes.begin(), bytes.end()); }

Bytes Wrap(const std::string& oleClass, const Bytes& native) {
    return oledocs::WrapEmbeddedObject({oleClass, oleClass, oleClass}, native);
}

const Bytes kText = AsBytes("minutes of the meeting\r\n");

struct DocumentCase {
    const char* name;
    Bytes value;
    Bytes expectedBytes;
    std::string extension;
    std::string embeddedName;
};

std::vector<DocumentCase> DocumentCases() {
    using oledocs::OfficeOpenXmlKind;
    const Bytes pdf = oledocs::MakeSampleDocument(DocumentFormat::Pdf);
    const Bytes bmp =
        oledocs::MakeSampleDocument(DocumentFormat::Bmp, {13, 7});  // rows padded, odd size
    const Bytes docx = oledocs::BuildOfficeOpenXml(OfficeOpenXmlKind::Word);
    const Bytes xlsx = oledocs::BuildOfficeOpenXml(OfficeOpenXmlKind::Excel);
    const Bytes pptx = oledocs::BuildOfficeOpenXml(OfficeOpenXmlKind::PowerPoint);
    auto compound = [](const char* stream, const Bytes& bytes) {
        return oledocs::BuildCompoundFileWith({{"\x01"
                                                "CompObj",
                                                AsBytes("comp")},
                                               {stream, bytes}});
    };
    const Bytes word = compound("WordDocument", AsBytes("word binary"));
    const Bytes excel = compound("Workbook", AsBytes("excel binary"));
    const Bytes powerPoint = compound("PowerPoint Document", AsBytes("slides"));
    const Bytes packaged = oledocs::Ole10NativeStream(
        oledocs::PackagerData("drawing.dxf", "C:\\cad\\drawing.dxf", kText));

    return {
        {"package", oledocs::WrapPackage("minutes.docx", "C:\\docs\\minutes.docx", docx), docx, "",
         "minutes.docx"},
        {"package with non-ASCII and path characters in its name",
         oledocs::WrapPackage("..\\Отчёт\\Åsa é.txt", "C:\\Отчёт\\Åsa é.txt", kText), kText, "",
         "Åsa é.txt"},
        {"Paintbrush bitmap, padded native data", oledocs::WrapPaintbrushBitmap(bmp), bmp, ".bmp",
         ""},
        {"Paintbrush bitmap with a presentation",
         oledocs::WrapPaintbrushBitmap(bmp, oledocs::Presentation::Metafile), bmp, ".bmp", ""},
        {"PDF through its viewer's class", oledocs::WrapPdfDocument(pdf), pdf, "", ""},
        {"compound file: Word", Wrap("Word.Document.8", word), word, ".doc", ""},
        {"compound file: Excel", Wrap("Excel.Sheet.8", excel), excel, ".xls", ""},
        {"compound file: PowerPoint", Wrap("PowerPoint.Show.8", powerPoint), powerPoint, ".ppt",
         ""},
        {"compound file: CONTENTS holds a PDF",
         Wrap("AcroExch.Document.7", compound("CONTENTS", pdf)), pdf, ".pdf", ""},
        {"compound file: Package holds a docx", Wrap("Word.Document.12", compound("Package", docx)),
         docx, ".docx", ""},
        {"compound file: Package holds an xlsx", Wrap("Excel.Sheet.12", compound("Package", xlsx)),
         xlsx, ".xlsx", ""},
        {"compound file: Package holds a pptx",
         Wrap("PowerPoint.Show.12", compound("Package", pptx)), pptx, ".pptx", ""},
        {"compound file: Ole10Native holds a package",
         Wrap("Package", compound("\x01Ole10Native", packaged)), kText, "", "drawing.dxf"},
        {"zip native data", Wrap("Excel.Sheet.12", xlsx), xlsx, ".xlsx", ""},
    };
}

TEST(OleUnwrap, DocumentsComeOutWithTheirBytesKindAndName) {
    for (const DocumentCase& c : DocumentCases()) {
        SCOPED_TRACE(c.name);
        const UnwrappedObject out = UnwrapOleObject(c.value);
        ASSERT_EQ(out.kind, Kind::Document) << out.reason;
        EXPECT_EQ(Of(out.Bytes()), c.expectedBytes);
        EXPECT_EQ(out.extension, c.extension);
        EXPECT_EQ(out.embeddedName, c.embeddedName);
        EXPECT_FALSE(out.description.empty());
    }
}

TEST(OleUnwrap, RealPaintbrushValueGivesTheBitmapUpToItsOwnSize) {
    const Bytes value = ReadFile(kPaintbrushFixture);
    const UnwrappedObject out = UnwrapOleObject(value);
    ASSERT_EQ(out.kind, Kind::Document) << out.reason;
    EXPECT_EQ(out.extension, ".bmp");
    ASSERT_EQ(out.Bytes().size(), 39990u);  // of 40,000 native bytes
    EXPECT_EQ(out.Bytes().data(), value.data() + 0x4E);
}

TEST(OleUnwrap, OlderPackagerDataWithoutUtf16NamesUsesTheAnsiLabel) {
    Bytes native;
    const std::string label = "r\xE9sum\xE9.txt";  // Windows-1252
    auto append = [&](std::string_view text) {
        const Bytes bytes = AsBytes(text);
        native.insert(native.end(), bytes.begin(), bytes.end());
    };
    append(std::string("\x02\x00", 2) + label + '\0' + "C:\\r.txt" + '\0' +
           std::string("\x00\x00\x03\x00", 4));
    append(std::string("\x09\x00\x00\x00", 4) + "C:\\r.txt" + '\0');
    append(std::string("\x03\x00\x00\x00", 4) + "abc");
    // The result views the value it was given: the value must outlive it.
    const Bytes value = Wrap("Package", native);
    const UnwrappedObject out = UnwrapOleObject(value);
    ASSERT_EQ(out.kind, Kind::Document) << out.reason;
    EXPECT_EQ(out.embeddedName, "résumé.txt");
    EXPECT_EQ(Of(out.Bytes()), AsBytes("abc"));
}

TEST(OleUnwrap, LinkedObjectsGiveTheirTargetAndNoBytes) {
    const UnwrappedObject package =
        UnwrapOleObject(oledocs::WrapLinkedPackage("plan.dxf", "\\\\server\\cad\\plan.dxf"));
    EXPECT_EQ(package.kind, Kind::Linked) << package.reason;
    EXPECT_EQ(package.linkTarget, "\\\\server\\cad\\plan.dxf");
    EXPECT_EQ(package.embeddedName, "plan.dxf");
    EXPECT_TRUE(package.Bytes().empty());

    const UnwrappedObject object =
        UnwrapOleObject(oledocs::WrapLinkedObject("Word.Document.8", "C:\\docs\\a.doc"));
    EXPECT_EQ(object.kind, Kind::Linked) << object.reason;
    EXPECT_EQ(object.linkTarget, "C:\\docs\\a.doc");
}

TEST(OleUnwrap, WhatTheStructureDoesNotExplainIsLeftToRecognition) {
    const Bytes bmp = oledocs::MakeSampleDocument(DocumentFormat::Bmp);
    const Bytes jpeg = oledocs::MakeSampleDocument(DocumentFormat::JpegJfif);
    const UnwrappedObject bare = UnwrapOleObject(jpeg);
    EXPECT_EQ(bare.kind, Kind::NotExplained);
    EXPECT_FALSE(bare.damaged);
    const UnwrappedObject picture = UnwrapOleObject(oledocs::WrapStaticDib(bmp));
    EXPECT_EQ(picture.kind, Kind::NotExplained);
    EXPECT_FALSE(picture.damaged);
    const UnwrappedObject storage = UnwrapOleObject(
        Wrap("Some.Thing", oledocs::BuildCompoundFileWith({{"Other", AsBytes("x")}})));
    EXPECT_EQ(storage.kind, Kind::NotExplained);
    EXPECT_FALSE(storage.damaged);

    // A class the unwrapping does not know: its native data, to be recognised.
    const Bytes drawing = Wrap("Some.Drawing", jpeg);
    const UnwrappedObject unknown = UnwrapOleObject(drawing);
    EXPECT_EQ(unknown.kind, Kind::Document);
    EXPECT_TRUE(unknown.unknownClass);
    EXPECT_EQ(Of(unknown.Bytes()), jpeg);
    EXPECT_EQ(unknown.extension, "");
}

TEST(OleUnwrap, DamagedStructuresAreReportedNotThrownAndNothingIsPrinted) {
    const Bytes bmp = oledocs::MakeSampleDocument(DocumentFormat::Bmp);
    Bytes nativeTooLong =
        oledocs::WrapPdfDocument(oledocs::MakeSampleDocument(DocumentFormat::Pdf));
    const oledocs::AccessOleLayout layout = oledocs::ParseAccessOleValue(nativeTooLong);
    nativeTooLong[layout.dataOffset - 2] = std::byte{0x7F};  // native size now runs past the end

    Bytes bigBitmap = bmp;
    bigBitmap[2] = std::byte{0xFF};  // bfSize beyond the native data
    bigBitmap[3] = std::byte{0xFF};
    bigBitmap[4] = std::byte{0x0F};

    Bytes garbledCompound = oledocs::BuildCompoundFileWith({{"WordDocument", AsBytes("x")}});
    std::memset(garbledCompound.data() + 8, 0xEE, 200);  // header fields after the signature

    Bytes truncatedPackage = oledocs::PackagerData("a.txt", "C:\\a.txt", kText);
    truncatedPackage.resize(truncatedPackage.size() - 60);  // into the file bytes

    struct Case {
        const char* name;
        Bytes value;
        const char* reason;
    };
    const Case cases[] = {
        {"native size past the end", nativeTooLong, "native data"},
        {"bitmap larger than its native data", Wrap("PBrush", bigBitmap), "BMP file size"},
        {"PBrush native data that is no bitmap", Wrap("PBrush", kText), "not a BMP"},
        {"garbled compound file", Wrap("Word.Document.8", garbledCompound), "compound file"},
        {"packaged file cut short", Wrap("Package", truncatedPackage), "packaged file"},
        {"package signature wrong", Wrap("Package", kText), "signature"},
        {"header size past the end",
         Bytes{std::byte{0x15}, std::byte{0x1C}, std::byte{0xFF}, std::byte{0x7F}, std::byte{0},
               std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0},
               std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0},
               std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0}},
         "header size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::testing::internal::CaptureStderr();
        const UnwrappedObject out = UnwrapOleObject(c.value);
        const std::string printed = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(out.kind, Kind::NotExplained);
        EXPECT_TRUE(out.damaged);
        EXPECT_THAT(out.reason, HasSubstr(c.reason));
        EXPECT_EQ(printed, "");
    }
}

TEST(OleUnwrap, EveryPrefixOfAValueIsHandled) {
    const Bytes docx = oledocs::BuildOfficeOpenXml(oledocs::OfficeOpenXmlKind::Word);
    const Bytes values[] = {
        oledocs::WrapPackage("a.txt", "C:\\a.txt", kText),
        Wrap("Word.Document.12", oledocs::BuildCompoundFileWith({{"Package", docx}})),
    };
    for (const Bytes& value : values) {
        ::testing::internal::CaptureStderr();
        for (std::size_t size = 0; size < value.size(); ++size) {
            const UnwrappedObject out = UnwrapOleObject(std::span(value).first(size));
            // A value cut anywhere before its native data ends is damaged or no OLE value at all.
            ASSERT_NE(out.kind, Kind::Linked) << size;
            if (out.kind == Kind::Document) {
                ASSERT_LE(out.view.size(), size);
            }
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
}

TEST(OoxmlKind, ZipWithoutOfficeContentTypesHasNoKind) {
    const Bytes zip = oledocs::MakeSampleDocument(DocumentFormat::PlainZip);
    EXPECT_EQ(OfficeOpenXmlExtension(zip), "");
    EXPECT_EQ(OfficeOpenXmlExtension(oledocs::MakeSampleDocument(DocumentFormat::OfficeOpenXml)),
              ".docx");
}

}  // namespace
}  // namespace corvid
