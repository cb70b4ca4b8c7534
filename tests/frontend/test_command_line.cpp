#include "frontend/command_line.h"
#include "temp_config.h"

#include <gtest/gtest.h>

// The case table leaves out trailing expectations that keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <filesystem>
#include <fstream>

namespace corvid {
namespace {

struct Expect {
  std::vector<std::pair<EditBox, std::string>> texts;  // boxes that must hold these texts
  bool filterDir = false;
  bool movedToCorner = false;
  bool batch = false;
  std::string status;  // the status line afterwards
};

struct Case {
  const char* what;
  std::vector<std::string> arguments;
  Expect expect;
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    x_ = dir_.Path() + "/x.mdb";
    y_ = dir_.Path() + "/y.mdb";
    std::ofstream(x_) << "x";
    std::ofstream(y_) << "y";
  }
  testing::TempDirectory dir_;
  std::string x_, y_;
};

TEST_F(CommandLine, EdgeCases) {
  const std::string hundred(100, 'v');
  const std::string sub = dir_.Path() + "/sub";
  std::filesystem::create_directory(sub);
  // 79 ASCII bytes then a two-byte letter: cutting at 80 bytes would split it.
  const std::string straddle = std::string(79, 'a') + "\xC3\xA9" + "tail";
  const std::vector<Case> cases = {
      {"no arguments", {}, {}},
      {"short and long table names, value keeps its case",
       {"-T=Photos"},
       {{{EditBox::Etbl, "Photos"}}}},
      {"long form", {"--TABLE=Photos"}, {{{EditBox::Etbl, "Photos"}}}},
      {"fn and fn1 set field 1", {"/fn=id1"}, {{{EditBox::Efield1, "id1"}}}},
      {"fn1", {"/fn1=code"}, {{{EditBox::Efield1, "code"}}}},
      {"fn2 sets field 2 only", {"/fn2=x"}, {{{EditBox::Efield2, "x"}, {EditBox::Efield1, "id"}}}},
      {"empty /d= empties the directory", {"/d="}, {{{EditBox::Edir, ""}}}},
      {"directory used as typed", {"/d=c:\\out"}, {{{EditBox::Edir, "c:\\out"}}}},
      {"100 characters keep the first 80",
       {"/fv=" + hundred},
       {{{EditBox::Evalue, std::string(80, 'v')}}}},
      {"the cut never splits a character",
       {"/fv=" + straddle},
       {{{EditBox::Evalue, std::string(79, 'a')}}}},
      {"further = belong to the value", {"/fv=a=b"}, {{{EditBox::Evalue, "a=b"}}}},
      {"blanks around = removed", {"/t = My Table"}, {{{EditBox::Etbl, "My Table"}}}},
      {"value part quoted", {"/t=My Table "}, {{{EditBox::Etbl, "My Table"}}}},
      {"control characters trimmed", {"\t/ff=\tident\r"}, {{{EditBox::Efilter, "ident"}}}},
      {"/t without = is no option",
       {"/t"},
       {{{EditBox::Etbl, "table"}}, false, false, false, "/t can't find file..."}},
      {"/fd=1 is not a switch", {"/fd=1"}, {}},
      {"unknown option ignored", {"/zz=1"}, {}},
      {"0 ignored without message", {"0"}, {}},
      {"switches", {"-FD", "/xy"}, {{}, true, true}},
      {"long switch", {"--filter-dir"}, {{}, true}},
      {"directory does not start a batch",
       {sub},
       {{{EditBox::Emdb, "*.mdb"}}, false, false, false, sub + " can't find file..."}},
      {"missing file",
       {"/nowhere/q.mdb"},
       {{}, false, false, false, "/nowhere/q.mdb can't find file..."}},
      {"two existing files: the last one", {x_, y_}, {{{EditBox::Emdb, y_}}, false, false, true}},
      {"only the last complaint stays",
       {"nope1", x_, "nope2"},
       {{{EditBox::Emdb, x_}}, false, false, true, "nope2 can't find file..."}},
      {"later options overwrite earlier ones", {"/t=a", "--table=b"}, {{{EditBox::Etbl, "b"}}}},
      {"bars spelling consecutive aliases", {"-t|--table=T2"}, {{{EditBox::Etbl, "T2"}}}},
      {"every value option",
       {"/fi=pic", "/ff=cat", "/fv=1 - 2", "/d=./out/", "--file-name-2=b", "--field-name=a"},
       {{{EditBox::Eimg, "pic"},
         {EditBox::Efilter, "cat"},
         {EditBox::Evalue, "1 - 2"},
         {EditBox::Edir, "./out/"},
         {EditBox::Efield2, "b"},
         {EditBox::Efield1, "a"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlainForm form;
    form.SetTop(50);
    form.SetLeft(60);
    const bool batch = ParseCommandLine(form, c.arguments);
    EXPECT_EQ(batch, c.expect.batch);
    for (const auto& [box, text] : c.expect.texts) EXPECT_EQ(form.Text(box), text);
    EXPECT_EQ(form.Checked(CheckBox::CBfilter), c.expect.filterDir);
    EXPECT_EQ(form.Top() == 0 && form.Left() == 0, c.expect.movedToCorner);
    EXPECT_EQ(form.StatusText(), c.expect.status);
    // Nothing else is ticked from the command line.
    for (CheckBox box : {CheckBox::CBext, CheckBox::CBlogin, CheckBox::CBdmp, CheckBox::CBskip,
                         CheckBox::CBdeep, CheckBox::CBunwrap, CheckBox::CBnames}) {
      EXPECT_FALSE(form.Checked(box));
    }
  }
}

TEST_F(CommandLine, RunOptionsAreTakenOutAndTickTheirBoxesOnly) {
  const OwnArguments own = TakeOwnArguments(
      {"--unwrap", "/t=Photos", "--embedded-names", "--deep", "--skip-unknown", "--dump",
       "--name-from-field1", "--manifest=./out/run, 1.csv", x_, "--manifest", "--UNWRAP"});
  EXPECT_TRUE(own.unwrap && own.embeddedNames && own.deep && own.skipUnknown && own.dump &&
              own.nameFromField1);
  ASSERT_TRUE(own.manifest.has_value());
  EXPECT_EQ(*own.manifest, "./out/run, 1.csv");  // not cut or trimmed like the described options
  // Spelt otherwise, they are arguments of the described command line.
  EXPECT_EQ(own.rest, (std::vector<std::string>{"/t=Photos", x_, "--manifest", "--UNWRAP"}));

  PlainForm form;
  ApplyRunOptions(own, form);
  for (CheckBox box : {CheckBox::CBunwrap, CheckBox::CBnames, CheckBox::CBdeep, CheckBox::CBskip,
                       CheckBox::CBdmp, CheckBox::CBext}) {
    EXPECT_TRUE(form.Checked(box)) << static_cast<int>(box);
  }
  EXPECT_FALSE(form.Checked(CheckBox::CBfilter));
  EXPECT_FALSE(form.Checked(CheckBox::CBlogin));
  const RunInputs inputs = InputsFromForm(form);
  EXPECT_TRUE(inputs.unwrap && inputs.embeddedNames && inputs.deepSearch && inputs.skipUnknown &&
              inputs.dumpCopy && inputs.nameFromField1);
  EXPECT_EQ(inputs.manifestPath, "./out/run, 1.csv");

  // Without them nothing changes: a box ticked before stays, none is ticked.
  PlainForm untouched;
  untouched.SetChecked(CheckBox::CBdeep, true);
  ApplyRunOptions(TakeOwnArguments({x_}), untouched);
  EXPECT_TRUE(untouched.Checked(CheckBox::CBdeep));
  EXPECT_FALSE(untouched.Checked(CheckBox::CBunwrap));
  EXPECT_EQ(untouched.Text(EditBox::Emanifest), "");

  for (const char* option : {"--unwrap", "--embedded-names", "--manifest=FILE", "--deep",
                             "--skip-unknown", "--dump", "--name-from-field1"}) {
    EXPECT_NE(UsageText().find(option), std::string::npos) << option;
  }
}

TEST_F(CommandLine, StatusMessageKeepsTheColour) {
  PlainForm form;
  Colour seen = 12345;
  form.onStatus = [&](std::string_view, Colour colour) { seen = colour; };
  ParseCommandLine(form, {"missing"});
  EXPECT_EQ(seen, kKeepColour);
}

TEST(OwnArguments, TakenOutAnywhereAndOnlyExactly) {
  const OwnArguments own = TakeOwnArguments({"--headless", "/t=x", "--raw", "--HELP", "--version",
                                             "--login-prompt", "--headless=1", "a.mdb", "--help"});
  EXPECT_TRUE(own.headless);
  EXPECT_TRUE(own.raw);
  EXPECT_TRUE(own.help);
  EXPECT_TRUE(own.version);
  EXPECT_TRUE(own.loginPrompt);
  EXPECT_EQ(own.rest, (std::vector<std::string>{"/t=x", "--HELP", "--headless=1", "a.mdb"}));
}

TEST(OwnArguments, OpenTakesTheNextArgumentWhateverItLooksLike) {
  struct C {
    std::vector<std::string> arguments;
    std::optional<std::string> open;
    std::vector<std::string> rest;
  } cases[] = {
      {{"/t=x", "--open", "a.mdb", "b.mdb"}, "a.mdb", {"/t=x", "b.mdb"}},
      {{"--open", "--headless"}, "--headless", {}},  // a file may be named like an option
      {{"--open", "/d=x"}, "/d=x", {}},
      {{"x.mdb", "--open"}, "", {"x.mdb"}},  // nothing after it: no file
      {{"--open", "a.mdb", "--open", "b.mdb"}, "b.mdb", {}},
      {{"--OPEN", "a.mdb"}, std::nullopt, {"--OPEN", "a.mdb"}},
      {{"--open=a.mdb"}, std::nullopt, {"--open=a.mdb"}},
  };
  for (const C& c : cases) {
    const OwnArguments own = TakeOwnArguments(c.arguments);
    EXPECT_EQ(own.open, c.open) << c.arguments.front();
    EXPECT_EQ(own.rest, c.rest) << c.arguments.front();
  }
}

TEST_F(CommandLine, OpenWithoutRunFillsTheBoxAndNotesAMissingFile) {
  PlainForm form;
  std::vector<std::string> statuses;
  form.onStatus = [&](std::string_view text, Colour) { statuses.emplace_back(text); };
  form.SetText(EditBox::Emdb, "stored.mdb");
  OpenWithoutRun(form, "");
  EXPECT_EQ(form.Text(EditBox::Emdb), "stored.mdb");
  OpenWithoutRun(form, "/no/such/dir/x.mdb");
  EXPECT_EQ(form.Text(EditBox::Emdb), "/no/such/dir/x.mdb");
  EXPECT_EQ(statuses, (std::vector<std::string>{"/no/such/dir/x.mdb can't find file..."}));
}

TEST(CutAtCharacterBoundary, Cases) {
  struct C {
    std::string text;
    std::size_t max;
    std::string expected;
  } cases[] = {
      {"abc", 80, "abc"},
      {"abcd", 3, "abc"},
      {"ab\xC3\xA9", 3, "ab"},  // é would be split
      {"ab\xC3\xA9", 4, "ab\xC3\xA9"},
      {"a\xE2\x82\xAC"
       "b",
       3, "a"},                       // € is three bytes
      {"a\xF0\x9F\x90\xA6", 4, "a"},  // four-byte character
      {"", 0, ""},
  };
  for (const C& c : cases) EXPECT_EQ(CutAtCharacterBoundary(c.text, c.max), c.expected) << c.text;
}

TEST(Usage, NamesEveryOptionWithAnExample) {
  const std::string usage = UsageText();
  for (const char* option : {"/t=",
                             "--table=",
                             "/fi=",
                             "--field-image=",
                             "/fn=",
                             "/fn1=",
                             "--file-name-1=",
                             "--field-name=",
                             "/fn2=",
                             "--file-name-2=",
                             "/ff=",
                             "--field-filter=",
                             "/fv=",
                             "--filter-value=",
                             "/d=",
                             "--dir=",
                             "/fd",
                             "--filter-dir",
                             "/xy",
                             "--login-prompt",
                             "--raw",
                             "--headless",
                             "--open",
                             "--version",
                             "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace corvid
