// Runs the real corvid program: headless and window batch runs on databases
// made by the writer, the exit statuses of the ways a run can end, and the
// map of a database (--list).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "temp_config.h"
#include "dao/database_map_output.h"
#include "jet/mdb_writer.h"
#include "jet/reader/complex_column.h"
#include "tests/fixture_files.h"

extern char** environ;

namespace corvid {
namespace {

namespace fs = std::filesystem;
namespace mw = corvid::jet;
using testing::TempDirectory;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ProgramPath() {
  const char* build = std::getenv("CORVID_BUILD_DIR");
  return std::string(build ? build : "build") + "/frontend/corvid";
}

// Runs corvid with `arguments`; `environment` entries override (an empty
// value removes the variable). Output is captured through files.
Outcome RunCorvid(const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment,
                  const std::string& scratch) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : environment) {
    if (value.empty()) {
      env.erase(name);
    } else {
      env[name] = value;
    }
  }
  std::vector<std::string> envText;
  for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);

  const std::string program = ProgramPath();
  std::vector<std::string> argText = {program};
  argText.insert(argText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argText) argv.push_back(text.data());
  argv.push_back(nullptr);

  const std::string outPath = scratch + "/stdout.txt", errPath = scratch + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  Outcome outcome;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    outcome.err = "spawn failed: " + program;
    return outcome;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.out = ReadFile(outPath);
  outcome.err = ReadFile(errPath);
  return outcome;
}

mw::Bytes Gif() {
  const std::string text =
      std::string("GIF89a\x02\x00\x02\x00\x80\x00\x00", 13) + std::string(40, '\x11') + ";";
  mw::Bytes bytes;
  for (const char c : text) bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

mw::Bytes Unknown() {
  mw::Bytes bytes;
  for (int i = 0; i < 64; ++i) bytes.push_back(static_cast<std::byte>('q'));
  return bytes;
}

// Photos: id 1 a GIF, id 2 a NULL blob, id 3 bytes of no known kind.
void WritePhotos(const std::string& path, const std::string& password = {}) {
  mw::WriterOptions options;
  options.password = password;
  mw::MdbWriter writer(path, options);
  auto& table = writer.AddTable(
      {"Photos", {{"id", mw::ColumnType::Long}, {"img", mw::ColumnType::OleObject}}});
  table.AddRow({std::int64_t{1}, Gif()});
  table.AddRow({std::int64_t{2}, mw::Null});
  table.AddRow({std::int64_t{3}, Unknown()});
  writer.Finish();
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ProgramPath())) GTEST_SKIP() << "no corvid program at " << ProgramPath();
    config_ = dir_.Path() + "/config";
    fs::create_directories(config_);
    out_ = dir_.Path() + "/out/";
    db_ = dir_.Path() + "/photos.mdb";
  }
  Outcome Run(std::vector<std::string> arguments,
              std::map<std::string, std::string> environment = {}) {
    environment.emplace("XDG_CONFIG_HOME", config_);
    environment.emplace("CORVID_USER", "");
    environment.emplace("CORVID_PASSWORD", "");
    environment.emplace("CORVID_DB_PASSWORD", "");
    return RunCorvid(arguments, environment, dir_.Path());
  }
  std::vector<std::string> PhotoArguments() {
    return {"/t=Photos", "/fi=img", "/fn=id", "/fn2=", "/ff=filter", "/fv=*", "/d=" + out_, db_};
  }

  TempDirectory dir_;
  std::string config_, out_, db_;
};

TEST_F(Program, HeadlessBatchRunWritesTheFilesAndExitsZero) {
  WritePhotos(db_);
  std::vector<std::string> arguments = PhotoArguments();
  arguments.insert(arguments.begin(), "--headless");
  const Outcome outcome = Run(arguments);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(out_ + "1.gif"));
  EXPECT_TRUE(fs::exists(out_ + "3.dmp"));
  EXPECT_FALSE(fs::exists(out_ + "2.dmp"));
  EXPECT_EQ(ReadFile(out_ + "3.dmp"), std::string(64, 'q'));
  EXPECT_NE(outcome.out.find(" - Corvid v0.18.9.38\n"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find(out_ + "1.gif\n"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find(" - Photos (3)\n"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.err.find("ok\n"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find(
                "records visited: 3, files written: 2, skipped as unknown: 0, empty blobs: 1, "
                "rejected by the filter: 0, paths written more than once: 0"),
            std::string::npos)
      << outcome.err;
  // The command-line values were stored at exit.
  const std::string store = ReadFile(config_ + "/Tallowmere/corvid.reg");
  EXPECT_NE(store.find("\"fTBL\"=\"Photos\""), std::string::npos) << store;
  EXPECT_NE(store.find("\"WinTop\"=dword:00000068"), std::string::npos) << store;
}

TEST_F(Program, WindowBatchRunEndsByItself) {
  WritePhotos(db_);
  const Outcome outcome = Run(PhotoArguments(), {{"QT_QPA_PLATFORM", "offscreen"}});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(out_ + "1.gif"));
  EXPECT_EQ(outcome.out, "");  // the log went to the window
  const std::string store = ReadFile(config_ + "/Tallowmere/corvid.reg");
  EXPECT_NE(store.find("\"fDIR\"=\"" + out_ + "\""), std::string::npos) << store;
}

TEST_F(Program, StoredSettingsFillWhatTheCommandLineLeavesOut) {
  WritePhotos(db_);
  std::vector<std::string> first = PhotoArguments();
  first.insert(first.begin(), "--headless");
  ASSERT_EQ(Run(first).exitCode, 0);
  fs::remove_all(out_);
  const Outcome second = Run({"--headless", db_});  // everything else from the store
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(fs::exists(out_ + "1.gif"));
}

// The run's own options work headless and in the window's batch run, and a
// later start without them runs as before: they are never stored.
TEST_F(Program, RunOptionsSetThatRunOnly) {
  WritePhotos(db_);
  const std::string manifest = dir_.Path() + "/manifest.csv";
  for (const bool headless : {true, false}) {
    SCOPED_TRACE(headless ? "headless" : "window");
    fs::remove_all(out_);
    fs::remove(manifest);
    std::vector<std::string> arguments = PhotoArguments();
    arguments.insert(arguments.begin(),
                     {"--skip-unknown", "--dump", "--unwrap", "--manifest=" + manifest});
    if (headless) arguments.insert(arguments.begin(), "--headless");
    const Outcome outcome = Run(arguments, {{"QT_QPA_PLATFORM", headless ? "" : "offscreen"}});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_TRUE(fs::exists(out_ + "1.gif"));
    EXPECT_TRUE(fs::exists(out_ + "1.gif.dmp"));
    EXPECT_FALSE(fs::exists(out_ + "3.dmp"));  // skipped as unknown
    const std::string rows = ReadFile(manifest);
    EXPECT_NE(rows.find(",1,,,written," + out_ + "1.gif,.gif,"), std::string::npos) << rows;
    EXPECT_NE(rows.find(",3,,,skipped as unknown,"), std::string::npos) << rows;
    if (headless) {
      EXPECT_NE(
          outcome.err.find(
              "paths written more than once: 0, linked: 0, written from damaged OLE structures: 0"),
          std::string::npos)
          << outcome.err;
    }
  }
  fs::remove_all(out_);
  fs::remove(manifest);
  const Outcome plain = Run({"--headless", db_});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_TRUE(fs::exists(out_ + "3.dmp"));
  EXPECT_FALSE(fs::exists(out_ + "1.gif.dmp"));
  EXPECT_FALSE(fs::exists(manifest));
  EXPECT_EQ(ReadFile(config_ + "/Tallowmere/corvid.reg").find("manifest"), std::string::npos);
}

TEST_F(Program, FileThatIsNoDatabaseExitsOne) {
  const std::string bogus = dir_.Path() + "/notes.mdb";
  std::ofstream(bogus) << "this is not an Access database\n";
  const Outcome outcome = Run({"--headless", "/t=Photos", "/d=" + out_, bogus});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_FALSE(outcome.err.empty());
  EXPECT_FALSE(fs::exists(out_));
  // The heading line is all the log holds.
  EXPECT_NE(outcome.out.find(" - Corvid v0.18.9.38"), std::string::npos);
  EXPECT_EQ(outcome.out.find("Photos ("), std::string::npos);
}

TEST_F(Program, RunThatEndsEarlyExitsOne) {
  WritePhotos(db_);
  const Outcome outcome = Run({"--headless", "/t=NoSuchTable", "/d=" + out_, db_});
  EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("records visited: 0"), std::string::npos) << outcome.err;
}

TEST_F(Program, NoExistingDatabaseExitsTwoWithUsage) {
  const Outcome outcome = Run({"--headless", "/t=Photos", dir_.Path() + "/missing.mdb"});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(outcome.err.find(dir_.Path() + "/missing.mdb can't find file..."), std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("Usage: corvid"), std::string::npos);
  EXPECT_EQ(outcome.out, "");
}

TEST_F(Program, HeadlessOpenRunsNothingExitsTwoAndKeepsTheFileForTheWindow) {
  WritePhotos(db_);
  std::vector<std::string> arguments = PhotoArguments();
  arguments.insert(arguments.begin(), {"--headless", "--open", db_});
  const Outcome outcome = Run(arguments);
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(
      outcome.err.find("--open fills the window's database box; without a window nothing runs"),
      std::string::npos)
      << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_FALSE(fs::exists(out_));
  const std::string store = ReadFile(config_ + "/Tallowmere/corvid.reg");
  EXPECT_NE(store.find("\"fMDB\"=\"" + db_ + "\""), std::string::npos) << store;
}

TEST_F(Program, NoDisplayMeansHeadless) {
  const Outcome outcome =
      Run({"/t=Photos"}, {{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(outcome.err.find("Usage: corvid"), std::string::npos);
}

TEST_F(Program, DisplayThatCannotBeOpenedFallsBackToHeadless) {
  int display = 4321;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(display))) ++display;
  WritePhotos(db_);
  std::vector<std::string> arguments = PhotoArguments();
  const Outcome outcome = Run(arguments, {{"QT_QPA_PLATFORM", ""},
                                          {"WAYLAND_DISPLAY", ""},
                                          {"DISPLAY", ":" + std::to_string(display)}});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("running without a window"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.out.find(out_ + "1.gif"), std::string::npos) << outcome.out;
}

TEST_F(Program, CancelledLoginIsNotedOnStandardError) {
  WritePhotos(db_, "s3cret");
  std::vector<std::string> arguments = PhotoArguments();
  arguments.insert(arguments.begin(), {"--headless", "--login-prompt"});
  const Outcome outcome = Run(arguments);  // no terminal to ask on: cancelled
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.err.find("You may not gain access"), std::string::npos) << outcome.err;
}

TEST_F(Program, VersionAndHelp) {
  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "Corvid v0.18.9.38\n");
  const Outcome help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--filter-value="), std::string::npos);
  EXPECT_NE(help.out.find("corvid /d=./out/ photos.mdb"), std::string::npos);
}

TEST_F(Program, WrongTypedStoredSettingIsReportedAndNothingRuns) {
  WritePhotos(db_);
  fs::create_directories(config_ + "/Tallowmere");
  std::ofstream(config_ + "/Tallowmere/corvid.reg") << "\"WinTop\"=\"high\"\n";
  const Outcome outcome = Run({"--headless", "/d=" + out_, db_});
  EXPECT_EQ(outcome.exitCode, 1);
  // No full stop: the message ends in a character that sorts before ".".
  EXPECT_NE(outcome.err.find("Invalid data type for 'WinTop'\n"), std::string::npos) << outcome.err;
  EXPECT_FALSE(fs::exists(out_));
}

TEST_F(Program, PasswordProtectedDatabaseRunsUnattendedWithTheEnvironment) {
  WritePhotos(db_, "s3cret");
  std::vector<std::string> arguments = PhotoArguments();
  arguments.insert(arguments.begin(), "--headless");
  const Outcome outcome = Run(arguments, {{"CORVID_DB_PASSWORD", "s3cret"}});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(out_ + "1.gif"));

  fs::remove_all(out_);
  arguments.insert(arguments.begin(),
                   "--login-prompt");  // no terminal: the prompt counts as cancelled
  const Outcome refused = Run(arguments, {{"CORVID_DB_PASSWORD", "wrong"}});
  EXPECT_EQ(refused.exitCode, 1) << refused.err;
  EXPECT_FALSE(fs::exists(out_ + "1.gif"));

  // Without a password DAO's text stays, and one more line says which file
  // wants one and how to give it unattended.
  arguments.erase(arguments.begin());
  const Outcome missing = Run(arguments, {{"CORVID_DB_PASSWORD", ""}});
  EXPECT_EQ(missing.exitCode, 1) << missing.err;
  EXPECT_NE(missing.err.find("Not a valid password."), std::string::npos) << missing.err;
  const auto hint = missing.err.find("corvid: " + db_ + " is protected by a database password");
  ASSERT_NE(hint, std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("CORVID_DB_PASSWORD", hint), std::string::npos);
  EXPECT_NE(missing.err.find("--login-prompt", hint), std::string::npos);
}

TEST_F(Program, RawRunCarvesTiffSegments) {
  const std::string file = dir_.Path() + "/scan.bin";
  std::string bytes = "head";
  bytes += std::string("II*\0", 4) + std::string(100, 'a');
  bytes += std::string("II*\0", 4) + std::string(50, 'b');
  std::ofstream(file, std::ios::binary) << bytes;
  fs::create_directories(out_);  // the raw run does not create directories
  const Outcome outcome = Run({"--headless", "--raw", "/d=" + out_, file});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("TIFF signatures found: 2"), std::string::npos) << outcome.err;
  bool wroteTiff = false;
  if (fs::exists(out_)) {
    for (const auto& entry : fs::directory_iterator(out_))
      wroteTiff |= entry.path().extension() == ".tif";
  }
  EXPECT_TRUE(wroteTiff) << outcome.out;
  EXPECT_EQ(ReadFile(out_ + "tiff0002.tif"), std::string("II*\0", 4) + std::string(100, 'a'));
}

TEST_F(Program, RawRunRefusesAnOfficeEncryptedFile) {
  // The encrypted fixture, copied: raw carving would see only ciphertext.
  const std::string file = dir_.Path() + "/encrypted.accdb";
  fs::copy_file(std::string(CORVID_FIXTURES_DIR) + "/mdb/office-agile-4.4.accdb", file);
  fs::create_directories(out_);
  const Outcome outcome =
      Run({"--headless", "--raw", "/d=" + out_, file}, {{"CORVID_DB_PASSWORD", "password"}});
  EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
  EXPECT_NE(outcome.err.find(
                "The file is encrypted; raw carving cannot see its contents. Extract with the "
                "password instead."),
            std::string::npos)
      << outcome.err;
  EXPECT_TRUE(fs::is_empty(out_));
  // A clear ACE file of the same kind is carved as before.
  const std::string clear = dir_.Path() + "/clear.accdb";
  fs::copy_file(std::string(CORVID_FIXTURES_DIR) + "/mdb/testV2010.accdb", clear);
  EXPECT_EQ(Run({"--headless", "--raw", "/d=" + out_, clear}).exitCode, 0);
}

TEST_F(Program, RawRunOnAMissingDirectoryFails) {
  const std::string file = dir_.Path() + "/scan.bin";
  std::ofstream(file, std::ios::binary)
      << "head" << std::string("II*\0", 4) << "x" << std::string("II*\0", 4);
  const Outcome outcome = Run({"--headless", "--raw", "/d=/nonexistent-dir/deeper/", file});
  EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("/nonexistent-dir/deeper/tiff0002.tif"), std::string::npos)
      << outcome.err;
  EXPECT_EQ(outcome.err.find("bytes scanned"), std::string::npos)
      << outcome.err;  // no summary of a failed run
}

// The map of a database as --list --json prints it, read back.
DatabaseMap MapFromJson(const std::string& json) {
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  const QJsonObject root = document.object();
  DatabaseMap map;
  map.file = root["file"].toString().toStdString();
  for (const QJsonValue& t : root["tables"].toArray()) {
    const QJsonObject tableObject = t.toObject();
    TableMap table;
    table.name = tableObject["name"].toString().toStdString();
    table.rows = tableObject["rows"].toInteger();
    table.error = tableObject["error"].toString().toStdString();
    for (const QJsonValue& c : tableObject["columns"].toArray()) {
      const QJsonObject columnObject = c.toObject();
      ColumnMap column;
      column.name = columnObject["name"].toString().toStdString();
      column.typeNumber = columnObject["typeNumber"].toInt();
      column.document = columnObject["document"].toBool();
      column.nonEmpty = columnObject["nonEmpty"].toInteger();
      column.damaged = columnObject["damaged"].toInteger();
      const QJsonObject kinds = columnObject["kinds"].toObject();
      for (auto kind = kinds.begin(); kind != kinds.end(); ++kind)
        column.kinds[kind.key().toStdString()] = kind.value().toInteger();
      EXPECT_EQ(columnObject["type"].toString().toStdString(),
                TypeName(column.typeNumber).empty() ? "unknown" : TypeName(column.typeNumber));
      if (column.document) {
        EXPECT_EQ(columnObject["sampled"].toInteger(), SampledValues(column));
      }
      table.columns.push_back(std::move(column));
    }
    map.tables.push_back(std::move(table));
  }
  return map;
}

TEST_F(Program, ListPrintsTheMapOfNorthwind) {
  const std::string nwind = corvid::testing_fixtures::MdbFixtureDir() + "nwind.mdb";
  const Outcome text =
      Run({"--list", nwind}, {{"QT_QPA_PLATFORM", "offscreen"}});  // never a window
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_NE(text.out.find("Categories  8 rows\n"
                          "  CategoryID    Long Integer\n"
                          "  CategoryName  Text\n"
                          "  Description   Memo\n"
                          "  Picture       OLE Object    8 non-empty: 8 .bmp\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Orders  830 rows\n"), std::string::npos) << text.out;
  EXPECT_FALSE(fs::exists(config_ + "/Tallowmere/corvid.reg"));  // no settings read or stored

  // The JSON holds the same facts: printed as text, it is the text listing.
  const Outcome json = Run({"--json", "--list", nwind});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  QJsonParseError error{};
  QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                   << json.out;
  const DatabaseMap map = MapFromJson(json.out);
  EXPECT_EQ(map.file, nwind);
  EXPECT_EQ(DatabaseMapText(map), text.out);
  EXPECT_EQ(map.tables.size(), 9u);
}

// Attachment fields end to end: every attached file is written under the
// record's name and its own, the summary counts them, the map lists them;
// a damaged attached file in a copy is left out and the run exits 3.
TEST_F(Program, HeadlessRunWritesAttachedFilesAndListMapsThem) {
  const std::string fixture = corvid::testing_fixtures::MdbFixtureDir() + "attachments.accdb";
  const std::string database = dir_.Path() + "/attachments.accdb";
  fs::copy_file(fixture, database);
  const std::vector<std::string> arguments = {
      "--headless", "/t=Table1", "/fi=Attachments", "/fn=ID",
      "/fn2=",      "/ff=",      "/fv=*",           "/d=" + out_};
  std::vector<std::string> run = arguments;
  run.push_back(database);
  const Outcome outcome = Run(run);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  for (const char* name :
       {"2_attachment1.txt", "3_attachment1.txt", "3_attachment2.txt", "3_attachment3.txt"}) {
    EXPECT_NE(outcome.out.find(out_ + name + "\n"), std::string::npos) << outcome.out;
    EXPECT_TRUE(fs::exists(out_ + name)) << name;
  }
  EXPECT_EQ(ReadFile(out_ + "3_attachment2.txt"), "Attachment 2");
  EXPECT_NE(outcome.err.find("records visited: 3, files written: 4, skipped as unknown: 0, "
                             "empty blobs: 1, rejected by the filter: 0, paths written more "
                             "than once: 0, attachments written: 4, damaged attachments left "
                             "out: 0"),
            std::string::npos)
      << outcome.err;

  const Outcome listed = Run({"--list", fixture});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(listed.out.find("Table1  3 rows\n"
                            "  ID           Long Integer\n"
                            "  Comment      Text\n"
                            "  Attachments  Attachment    2 non-empty: 4 .txt\n"),
            std::string::npos)
      << listed.out;

  // The stored value of record 3's second file, changed inside its
  // compressed bytes in a copy.
  std::vector<std::byte> stored;
  {
    auto db = jet::reader::Database::Open(fixture);
    jet::reader::Table table = db.OpenTable("Table1");
    auto column = jet::reader::ComplexColumn::Open(db, table, "Attachments");
    for (const auto& attachment : column.Attachments(3))
      if (attachment.fileName == "attachment2.txt")
        stored = column.FlatTable().LongValueBytes(attachment.fileData);
  }
  ASSERT_GT(stored.size(), 16u);
  std::string image = ReadFile(fixture);
  const std::string needle(reinterpret_cast<const char*>(stored.data()), stored.size());
  const std::size_t at = image.find(needle);
  ASSERT_NE(at, std::string::npos);
  image[at + stored.size() - 8] = static_cast<char>(image[at + stored.size() - 8] ^ 0x21);
  const std::string damaged = dir_.Path() + "/damaged.accdb";
  std::ofstream(damaged, std::ios::binary) << image;
  fs::remove_all(out_);
  run = arguments;
  run.push_back(damaged);
  const Outcome red = Run(run);
  EXPECT_EQ(red.exitCode, 3) << red.err;
  EXPECT_TRUE(fs::exists(out_ + "3_attachment1.txt"));
  EXPECT_TRUE(fs::exists(out_ + "3_attachment3.txt"));
  EXPECT_FALSE(fs::exists(out_ + "3_attachment2.txt"));
  EXPECT_NE(red.out.find(out_ + "3_attachment2.txt: "), std::string::npos) << red.out;
  EXPECT_NE(red.out.find("the attachment \"attachment2.txt\" of record 3"), std::string::npos)
      << red.out;
  EXPECT_NE(red.err.find("attachments written: 3, damaged attachments left out: 1"),
            std::string::npos)
      << red.err;
}

// Names with quotes, backslashes and letters beyond ASCII come through the
// JSON unchanged.
TEST_F(Program, ListJsonKeepsAwkwardNames) {
  const std::string table = "Fotos \"alt\" \\ Größe 写真";
  const std::string column = "Bild \"1\"\\x ü";
  {
    mw::MdbWriter writer(db_);
    auto& photos = writer.AddTable(
        {table, {{"id", mw::ColumnType::Long}, {column, mw::ColumnType::OleObject}}});
    photos.AddRow({std::int64_t{1}, Gif()});
    photos.AddRow({std::int64_t{2}, mw::Null});
    writer.Finish();
  }
  const Outcome json = Run({"--list", "--json", db_});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  const DatabaseMap map = MapFromJson(json.out);
  ASSERT_EQ(map.tables.size(), 1u) << json.out;
  EXPECT_EQ(map.tables[0].name, table);
  EXPECT_EQ(map.tables[0].rows, 2);
  ASSERT_EQ(map.tables[0].columns.size(), 2u);
  EXPECT_EQ(map.tables[0].columns[1].name, column);
  EXPECT_EQ(map.tables[0].columns[1].nonEmpty, 1);
  EXPECT_EQ(map.tables[0].columns[1].kinds, (std::map<std::string, std::int64_t>{{".gif", 1}}));
  const Outcome text = Run({"--list", db_});
  EXPECT_NE(text.out.find(table + "  2 rows\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  " + column + "  OLE Object    1 non-empty: 1 .gif\n"),
            std::string::npos)
      << text.out;
}

TEST_F(Program, ListFailuresAndUsageErrors) {
  // A file that is no database: exit 1 with the message a run shows for it.
  const std::string bogus = dir_.Path() + "/notes.mdb";
  std::ofstream(bogus) << "this is not an Access database\n";
  const Outcome listed = Run({"--list", bogus});
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_EQ(listed.out, "");
  ASSERT_FALSE(listed.err.empty());
  const Outcome run = Run({"--headless", "/d=" + out_, bogus});
  EXPECT_NE(run.err.find(listed.err), std::string::npos)
      << "list: " << listed.err << "run: " << run.err;

  const std::vector<std::vector<std::string>> usageErrors = {
      {"--list"}, {"--list", "--json"}, {"--json", db_}, {"--list", dir_.Path() + "/missing.mdb"}};
  WritePhotos(db_);
  for (const auto& arguments : usageErrors) {
    SCOPED_TRACE(arguments.back());
    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find("Usage: corvid"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_NE(
      Run({"--list", dir_.Path() + "/missing.mdb"}).err.find("/missing.mdb can't find file..."),
      std::string::npos);
}

TEST_F(Program, ListOfAPasswordProtectedDatabase) {
  WritePhotos(db_, "s3cret");
  const Outcome opened = Run({"--list", db_}, {{"CORVID_DB_PASSWORD", "s3cret"}});
  EXPECT_EQ(opened.exitCode, 0) << opened.err;
  EXPECT_NE(opened.out.find("Photos  3 rows\n"), std::string::npos) << opened.out;
  EXPECT_NE(opened.out.find("  img  OLE Object    2 non-empty: 1 .dmp, 1 .gif\n"),
            std::string::npos)
      << opened.out;

  const Outcome missing = Run({"--list", db_});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("Not a valid password."), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("corvid: " + db_ + " is protected by a database password"),
            std::string::npos)
      << missing.err;

  const Outcome cancelled = Run({"--list", "--login-prompt", db_});  // no terminal: cancelled
  EXPECT_EQ(cancelled.exitCode, 1);
  EXPECT_NE(cancelled.err.find("You may not gain access"), std::string::npos) << cancelled.err;
}

}  // namespace
}  // namespace corvid
