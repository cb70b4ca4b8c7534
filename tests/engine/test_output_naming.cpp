#include "engine/output_naming.h"

#include <gtest/gtest.h>

#include <string>

namespace corvid {
namespace {

TEST(OutputDirectory, FilterSubdirectory) {
    struct Case {
        std::string directory;
        bool filterAsDirectory;
        std::string filterField;
        std::string expected;
    };
    const Case cases[] = {
        {"/tmp/", true, "North", "/tmp/North/"},
        {"/tmp/", true, "", "/tmp/"},
        {"/tmp/", false, "North", "/tmp/"},
        {"out", false, "North", "out"},  // a plain prefix: no separator added
        {"out/", true,
         "S\xC3\xBC"
         "d-West",
         "out/Sud-West/"},
        {"/tmp/", true, "../..", "/tmp/_/"},
        {"/tmp/", true, "/etc", "/tmp/etc/"},
        {"/tmp/", true, ".", "/tmp/_/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputDirectory(c.directory, c.filterAsDirectory, c.filterField), c.expected)
            << c.filterField;
}

TEST(OutputName, BothModes) {
    struct Case {
        std::string name1, name2;
        bool fromField1;
        std::string expected;
    };
    const Case cases[] = {
        {"123", "", false, "/tmp/123"},
        {"Smith, John", "-1", false, "/tmp/Smith_John-1"},
        {"a.b/c:d", "", false, "/tmp/a_b_c-d"},
        {"", "", false, "/tmp/"},  // recognition then appends the extension alone
        {"\xC3\x85sa \xC3\x96"
         "berg",
         "", false, "/tmp/Asa_Oberg"},
        {"C:\\img\\Photo 1.JPG", "ignored", true, "/tmp/Photo_1.JPG"},
        {"/srv/pics/scan.tiff", "", true, "/tmp/scan.tiff"},
        {"Photo 1", "", true, "/tmp/Photo_1"},
        {"archive.tar.gz", "", true, "/tmp/archive_tar.gz"},
        {"dir.d\\name", "", true, "/tmp/name"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputName("/tmp/", c.name1, c.name2, c.fromField1), c.expected) << c.name1;
}

TEST(AttachmentOutputName, RecordNameThenCleanedFileNameAndExtension) {
    struct Case {
        std::string fileName;
        bool fromField1;
        std::string expected;
    };
    const Case cases[] = {
        {"scan 0001.pdf", false, "/out/7_scan_0001.pdf"},
        {"attachment1.txt", false, "/out/7_attachment1.txt"},
        {"archive.tar.gz", false, "/out/7_archive_tar.gz"},
        {"photo.J P", false, "/out/7_photo.J_P"},  // the extension is cleaned like the name
        {"a:b.jpg", false, "/out/7_b.jpg"},
        {"noextension", false, "/out/7_noextension"},  // recognition adds one
        {"trailing.", false, "/out/7_trailing"},
        {"dir.d/name", false, "/out/7_name"},  // a separator after the dot: no extension
        {"\\\\server\\share\\x.png", false, "/out/7_x.png"},
        {".hidden", false, "/out/7_.hidden"},
        {"scan 0001.pdf", true, "/out/scan_0001.pdf"},  // the file's own name replaces field 1
        {"noextension", true, "/out/noextension"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AttachmentOutputName("/out/", "/out/7", c.fileName, c.fromField1), c.expected)
            << c.fileName;
    for (const std::string name :
         {"../../etc/passwd", "..", "a/../../b.jpg", "x.a/..", "C:\\..\\x.jpg"}) {
        for (bool fromField1 : {false, true}) {
            const std::string path = AttachmentOutputName("/out/", "/out/7", name, fromField1);
            ASSERT_EQ(path.rfind("/out/", 0), 0u) << name;
            EXPECT_EQ(path.find('/', 5), std::string::npos) << name << " -> " << path;
            EXPECT_NE(path.substr(5), "..") << name;
        }
    }
}

// Whatever the fields hold, the file lands directly in the output directory.
TEST(OutputName, HostileFieldTextsStayInsideTheDirectory) {
    const std::string hostile[] = {
        "../../etc/passwd",
        "..",
        "...",
        "/",
        "/abs/path.jpg",
        "a/../../b",
        "C:\\..\\..\\x.jpg",
        "..\\..",
        "x/..",
        "x/../",
        "../.jpg",
        std::string("x.\0/..", 6),
        "\xC3\xA9/../..",
        "\xE2\x80\xAE/..",
        "a:/..",
        ".. /..",
    };
    for (const std::string& name : hostile) {
        for (bool fromField1 : {false, true}) {
            const std::string path = OutputName("/out/", name, "/../x", fromField1);
            ASSERT_EQ(path.rfind("/out/", 0), 0u) << name;
            const std::string part = path.substr(5);
            EXPECT_EQ(part.find('/'), std::string::npos) << name << " -> " << path;
            EXPECT_NE(part, "..") << name;
        }
        const std::string directory = OutputDirectory("/out/", true, name);
        const std::string sub = directory.substr(5, directory.size() - 6);
        EXPECT_EQ(directory.back(), '/');
        EXPECT_EQ(sub.find('/'), std::string::npos) << name;
        EXPECT_NE(sub, "..");
        EXPECT_NE(sub, ".");
        EXPECT_FALSE(sub.empty());
    }
}

}  // namespace
}  // namespace corvid
