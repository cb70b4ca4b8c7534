// The files the package installs beside the programs: the manual pages name
// exactly the options of the programs' usage texts, the bash completion
// offers every option of corvid and corvid-mkmdb, and the desktop entry opens a file with an
// option corvid has.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "frontend/command_line.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
using Words = std::set<std::string>;

// Tests run from the project root.
const std::string kPackaging = "packaging/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a shell command; returns what it wrote to standard output.
std::string Output(const std::string& command) {
  std::string text;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    ::pclose(pipe);
  }
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Option names in a text: /t=, -fi=, --table=, --filter-dir, --open ...
Words OptionsIn(const std::string& text) {
  static const std::regex option(R"((^|[\s,\[(])((/|--?)[a-z][a-z0-9-]*=?))");
  Words found;
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
    found.insert((*it)[2]);
  return found;
}

// The man page as plain text: fonts dropped, escaped minus signs and
// backslashes made plain.
std::string Plain(std::string troff) {
  troff = std::regex_replace(troff, std::regex(R"(\\f[BIRP])"), "");
  troff = std::regex_replace(troff, std::regex(R"(\\-)"), "-");
  troff = std::regex_replace(troff, std::regex(R"(\\e)"), "\\");
  return troff;
}

// The tag lines (the line after each .TP) of one section of a man page.
std::string TagsOfSection(const std::string& troff, const std::string& section) {
  const std::vector<std::string> lines = Lines(troff);
  std::string tags;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(".SH ", 0) == 0) inside = lines[i] == ".SH " + section;
    if (inside && lines[i] == ".TP" && i + 1 < lines.size()) tags += Plain(lines[i + 1]) + "\n";
  }
  return tags;
}

// The option lines of corvid's usage: those that begin with two blanks and
// an option name.
Words CorvidUsageOptions() {
  std::string optionLines;
  for (const std::string& line : Lines(UsageText())) {
    if (line.rfind("  /", 0) == 0 || line.rfind("  -", 0) == 0) optionLines += line + "\n";
  }
  return OptionsIn(optionLines);
}

TEST(ManualPage, CorvidNamesExactlyTheOptionsOfItsHelp) {
  const Words help = CorvidUsageOptions();
  ASSERT_GE(help.size(), 30u) << "the usage text was not read";
  const std::string page = ReadFile(kPackaging + "corvid.1");
  EXPECT_EQ(OptionsIn(TagsOfSection(page, "OPTIONS")), help);
  EXPECT_NE(page.find(".TH CORVID 1 "), std::string::npos);
}

// Without a command corvid-mkmdb prints its usage to standard error.
std::string MkmdbUsage() { return Output(std::string("'") + CORVID_MKMDB_PROGRAM + "' 2>&1"); }

TEST(ManualPage, MkmdbNamesExactlyTheCommandsAndOptionsOfItsUsage) {
  const std::string usage = MkmdbUsage();
  Words commands;
  const std::regex command(R"(corvid-mkmdb ([a-z]+))");
  for (std::sregex_iterator it(usage.begin(), usage.end(), command), end; it != end; ++it)
    commands.insert((*it)[1]);
  ASSERT_EQ(commands, (Words{"bench", "build", "password"})) << usage;

  const std::string page = ReadFile(kPackaging + "corvid-mkmdb.1");
  Words tagged;
  for (const std::string& line : Lines(TagsOfSection(page, "COMMANDS"))) {
    tagged.insert(line.substr(0, line.find(' ')));
  }
  EXPECT_EQ(tagged, commands);
  EXPECT_EQ(OptionsIn(TagsOfSection(page, "OPTIONS")), OptionsIn(usage));
  EXPECT_EQ(OptionsIn(usage), (Words{"--bare", "--blob-kib", "--jet3", "--password", "--records"}));
}

// Runs the completion of `words[0]` on a command line whose last word is
// being completed (with bash's word breaks, "--dir=x" arrives as --dir, =, x).
std::vector<std::string> Complete(const std::vector<std::string>& words,
                                  const std::string& directory) {
  std::string array;
  for (const std::string& word : words) array += " '" + word + "'";
  std::string function = "_" + words[0];  // _corvid, _corvid_mkmdb
  std::replace(function.begin(), function.end(), '-', '_');
  const std::string script = "cd '" + directory + "' && source '" +
                             fs::absolute(kPackaging).string() + words[0] +
                             ".bash-completion' && COMP_WORDS=(" + array +
                             ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && " + function +
                             " && "
                             "printf '%s\\n' \"${COMPREPLY[@]}\"";
  std::string quoted;
  for (const char c : script) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  std::vector<std::string> replies = Lines(Output("bash -c '" + quoted + "' 2>/dev/null"));
  std::erase(replies, std::string());
  std::sort(replies.begin(), replies.end());
  return replies;
}

TEST(BashCompletion, OffersEveryOptionAndFitsTheValues) {
  const fs::path dir =
      fs::temp_directory_path() / ("corvid-completion-" + std::to_string(::getpid()));
  fs::create_directories(dir / "out");
  for (const char* name : {"a.mdb", "B.ACCDB", "notes.txt"}) std::ofstream(dir / name) << "x";

  const std::vector<std::string> all = Complete({"corvid", ""}, dir.string());
  const Words offered(all.begin(), all.end());
  for (const std::string& option : CorvidUsageOptions())
    EXPECT_TRUE(offered.count(option)) << option;

  using V = std::vector<std::string>;
  struct C {
    V words;
    V expected;
  } cases[] = {
      {{"corvid", "--ta"}, {"--table="}},
      {{"corvid", "-fn"}, {"-fn1=", "-fn2=", "-fn="}},
      {{"corvid", "--headless", "o"}, {"out"}},  // databases and folders only
      {{"corvid", "B"}, {"B.ACCDB"}},
      {{"corvid", "n"}, {}},                     // not an Access file
      {{"corvid", "--dir", "=", ""}, {"out/"}},  // directories, ending in /
      {{"corvid", "/D", "=", "o"}, {"out/"}},
      {{"corvid", "--open", "n"}, {"notes.txt"}},  // any file
      {{"corvid", "/t", "=", "o"}, {}},            // a table name: nothing to offer
  };
  for (const C& c : cases) EXPECT_EQ(Complete(c.words, dir.string()), c.expected) << c.words.back();

  const Words mkmdbOptions = OptionsIn(MkmdbUsage());
  const C mkmdb[] = {
      {{"corvid-mkmdb", "b"}, {"bench", "build"}},
      {{"corvid-mkmdb", "bench", "x.mdb", "--"}, V(mkmdbOptions.begin(), mkmdbOptions.end())},
      {{"corvid-mkmdb", "bench", "x.mdb", "--records", ""}, {}},
      {{"corvid-mkmdb", "build", "x.mdb", "n"}, {"notes.txt"}},
  };
  for (const C& c : mkmdb) EXPECT_EQ(Complete(c.words, dir.string()), c.expected) << c.words.back();
  fs::remove_all(dir);
}

TEST(DesktopEntry, OpensTheFileWithAnOptionOfCorvid) {
  const std::string entry = ReadFile(kPackaging + "corvid.desktop");
  EXPECT_NE(entry.find("\nExec=corvid --open %f\n"), std::string::npos);
  EXPECT_TRUE(CorvidUsageOptions().count("--open"));
  EXPECT_NE(entry.find("\nIcon=corvid\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(kPackaging + "corvid.svg"));
}

}  // namespace
}  // namespace corvid
