// Database passwords: Jet 3 and Jet 4 files carry a masked password in their
// header; a wrong or missing PWD fails with 3031, the right one opens the
// file. ACE files encrypted by Office are refused with a clear message.

#include <gtest/gtest.h>

#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_header.h"
#include "jet/mdb_writer.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

// A copy of a fixture whose header carries `password`.
std::string ProtectedCopy(const TempDir& dir, const std::string& fixture,
                          const std::string& password) {
  auto bytes = ReadAll(fixture);
  StoreMdbPassword(std::span(reinterpret_cast<std::byte*>(bytes.data()), bytes.size()), password);
  std::string path = dir.File("protected-" + std::filesystem::path(fixture).filename().string());
  WriteAll(path, bytes);
  return path;
}

// A database written by the project's writer with a password.
std::string WrittenProtected(const TempDir& dir, jet::JetFormat format,
                             const std::string& password) {
  std::string path = dir.File(std::string(format == jet::JetFormat::Jet3 ? "w3-" : "w4-") +
                              std::to_string(std::hash<std::string>{}(password)) + ".mdb");
  jet::WriterOptions options;
  options.format = format;
  options.password = password;
  jet::MdbWriter writer(path, options);
  auto& table = writer.AddTable({"Pictures", {{"id", jet::ColumnType::Long}}});
  table.AddRow({std::int64_t{7}});
  writer.Finish();
  return path;
}

void ExpectPasswordRules(const std::string& path, const std::string& password) {
  SCOPED_TRACE(path);
  for (const std::string& wrong : {std::string(), password + "x", password.substr(1),
                                   std::string("SECRET"), std::string("secret ")}) {
    if (wrong == password) continue;
    EngineSession session;
    try {
      session.Open(path, false, wrong);
      ADD_FAILURE() << "opened with '" << wrong << "'";
    } catch (const EngineError& error) {
      EXPECT_EQ(error.Number(), kNotValidPassword);
      EXPECT_STREQ(error.what(), "Not a valid password.");
      EXPECT_EQ(session.engine->EngineErrors().Item(0).number, kNotValidPassword);
    }
  }
  EngineSession session;
  auto database = session.Open(path, false, password);
  EXPECT_GT(database->TableDefs().Count(), 0);
}

TEST(EnginePassword, ProtectedCopiesOfRealFiles) {
  TempDir dir;
  for (const char* fixture : {"nwind.mdb", "testV2003.mdb"})
    ExpectPasswordRules(ProtectedCopy(dir, kFixtures + fixture, "secret"), "secret");
}

TEST(EnginePassword, NonAsciiPasswords) {
  TempDir dir;
  ExpectPasswordRules(ProtectedCopy(dir, kFixtures + "testV2003.mdb", "Pässwörd20Zeichen!!"),
                      "Pässwörd20Zeichen!!");
  // Jet 3 keeps Windows-1252 bytes: the euro sign is 0x80 there.
  ExpectPasswordRules(ProtectedCopy(dir, kFixtures + "nwind.mdb", "€uro-Grüße"), "€uro-Grüße");
}

TEST(EnginePassword, FilesOfTheProjectsWriter) {
  TempDir dir;
  for (auto format : {jet::JetFormat::Jet4, jet::JetFormat::Jet3}) {
    for (const std::string password : {"geheim", "Grüße€"}) {
      std::string path;
      try {
        path = WrittenProtected(dir, format, password);
      } catch (const std::exception& error) {
        ADD_FAILURE() << "writer: " << error.what();
        continue;
      }
      ExpectPasswordRules(path, password);
    }
  }
}

TEST(EnginePassword, UnprotectedFilesIgnoreAnEmptyPwdOnly) {
  EngineSession session;
  EXPECT_NO_THROW(session.Open(kFixtures + "testV2003.mdb", false, ""));
  try {
    session.Open(kFixtures + "testV2003.mdb", false, "anything");
    ADD_FAILURE() << "a password opened an unprotected file";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kNotValidPassword);
  }
}

TEST(EnginePassword, EncryptedAceFileIsRefusedClearly) {
  TempDir dir;
  auto bytes = ReadAll(kFixtures + "testV2010.accdb");
  // Office encryption scrambles every page after the header.
  for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0xA5);
  WriteAll(dir.File("encrypted.accdb"), bytes);
  EngineSession session;
  try {
    session.Open(dir.File("encrypted.accdb"), false, "secret");
    ADD_FAILURE() << "opened";
  } catch (const EngineError& error) {
    EXPECT_NE(std::string(error.what()).find("encrypted"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("not support"), std::string::npos) << error.what();
  }
}

TEST(EnginePassword, HeaderRoundTripKeepsEverythingElse) {
  auto bytes = ReadAll(kFixtures + "testV2003.mdb");
  std::vector<char> page(bytes.begin(), bytes.begin() + 4096);
  auto span = std::span(reinterpret_cast<std::byte*>(page.data()), page.size());
  auto plain = ParseMdbHeader(span);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->password, "");
  StoreMdbPassword(span, "abc");
  EXPECT_EQ(ParseMdbHeader(span)->password, "abc");
  StoreMdbPassword(span, "");
  EXPECT_EQ(std::vector<char>(bytes.begin(), bytes.begin() + 4096), page);
}

}  // namespace
}  // namespace corvid::dao
