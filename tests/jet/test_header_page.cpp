// The database password in the header page: written by BuildHeaderPage (and
// PutHeaderPassword), read back by ReadHeaderPassword the way the engine
// reads it when it opens a file.
#include "jet/header_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/byte_order.h"

namespace corvid::jet {
namespace {

TEST(HeaderPassword, ReadsBackWhatTheWriterStores) {
  struct Case {
    const JetConstants& jet;
    std::string password;
  } cases[] = {
      {kJet4, ""},
      {kJet4, "Geheim€1"},
      {kJet4,
       "a\xF0\x9F\x98\x80"
       "b"},  // outside the BMP: a surrogate pair in the file
      {kJet4, "twenty characters!!!"},
      {kJet3, ""},
      {kJet3, "Passwort"},
      {kJet3,
       "\xE2\x82\xAC"
       "uro"},  // Windows-1252 80, not the C1 control U+0080
  };
  for (const Case& c : cases) {
    HeaderFields fields;
    fields.password = c.password;
    fields.creationDate = 45321.6;
    EXPECT_EQ(ReadHeaderPassword(c.jet, BuildHeaderPage(c.jet, fields)), c.password)
        << (c.jet.format == JetFormat::Jet3 ? "Jet 3: " : "Jet 4: ") << c.password;
  }
}

TEST(HeaderPassword, OddStoredBytesComeBackUnchanged) {
  // Jet 3: a byte Windows-1252 leaves unassigned is passed on as it is.
  std::vector<std::byte> page3(kJet3.pageSize, std::byte{0});
  const std::vector<std::byte> unassigned{std::byte{'a'}, std::byte{0x81}};
  PutHeaderPassword(kJet3, page3, unassigned);
  EXPECT_EQ(GetHeaderPassword(kJet3, page3), "a\x81");

  // Jet 4: a high surrogate without its low half is not merged with the
  // character after it.
  std::vector<std::byte> page4(kJet4.pageSize, std::byte{0});
  PutDouble(page4, kHeaderCreationDateOffset, 40000.0);
  std::vector<std::byte> units(4);
  Put16(units, 0, 0xD83D);
  Put16(units, 2, 'x');
  PutHeaderPassword(kJet4, page4, units);
  EXPECT_EQ(GetHeaderPassword(kJet4, page4),
            "\xED\xA0\xBD"
            "x");
}

}  // namespace
}  // namespace corvid::jet
