#include "frontend/command_line.h"

#include <sys/stat.h>

namespace corvid {
namespace {

constexpr std::size_t kMaxValueBytes = 80;

std::string LowerAsciiLetters(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct ValueOption {
  std::string_view aliases;
  EditBox box;
};

constexpr std::string_view kFilterDirSwitch = "|/fd|-fd|--filter-dir|";
constexpr std::string_view kTopLeftSwitch = "|/xy|-xy|";
constexpr ValueOption kValueOptions[] = {
    {"|/t|-t|--table|", EditBox::Etbl},
    {"|/fi|-fi|--field-image|", EditBox::Eimg},
    {"|/fn|-fn|/fn1|-fn1|--file-name-1|--field-name|", EditBox::Efield1},
    {"|/fn2|-fn2|--file-name-2|", EditBox::Efield2},
    {"|/ff|-ff|--field-filter|", EditBox::Efilter},
    {"|/fv|-fv|--filter-value|", EditBox::Evalue},
    {"|/d|-d|--dir|", EditBox::Edir},
};

}  // namespace

OwnArguments TakeOwnArguments(const std::vector<std::string>& arguments) {
  OwnArguments own;
  bool fileToOpenNext = false;
  for (const std::string& argument : arguments) {
    if (fileToOpenNext) {
      own.open = argument;  // taken as it is, even when it looks like an option
      fileToOpenNext = false;
    } else if (argument == "--open") {
      own.open = std::string();
      fileToOpenNext = true;
    } else if (argument == "--headless") {
      own.headless = true;
    } else if (argument == "--raw") {
      own.raw = true;
    } else if (argument == "--list") {
      own.list = true;
    } else if (argument == "--json") {
      own.json = true;
    } else if (argument == "--help") {
      own.help = true;
    } else if (argument == "--version") {
      own.version = true;
    } else if (argument == "--login-prompt") {
      own.loginPrompt = true;
    } else if (argument == "--deep") {
      own.deep = true;
    } else if (argument == "--skip-unknown") {
      own.skipUnknown = true;
    } else if (argument == "--dump") {
      own.dump = true;
    } else if (argument == "--name-from-field1") {
      own.nameFromField1 = true;
    } else if (argument == "--unwrap") {
      own.unwrap = true;
    } else if (argument == "--embedded-names") {
      own.embeddedNames = true;
    } else if (argument.starts_with("--manifest=")) {
      own.manifest = argument.substr(std::string_view("--manifest=").size());
    } else {
      own.rest.push_back(argument);
    }
  }
  return own;
}

void ApplyRunOptions(const OwnArguments& arguments, ParameterForm& form) {
  const std::pair<bool, CheckBox> boxes[] = {
      {arguments.deep, CheckBox::CBdeep},     {arguments.skipUnknown, CheckBox::CBskip},
      {arguments.dump, CheckBox::CBdmp},      {arguments.nameFromField1, CheckBox::CBext},
      {arguments.unwrap, CheckBox::CBunwrap}, {arguments.embeddedNames, CheckBox::CBnames},
  };
  for (const auto& [given, box] : boxes) {
    if (given) form.SetChecked(box, true);
  }
  if (arguments.manifest) form.SetText(EditBox::Emanifest, *arguments.manifest);
}

std::string_view CutAtCharacterBoundary(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Step back over continuation bytes so the cut falls before a lead byte.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

bool IsExistingFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void OpenWithoutRun(ParameterForm& form, const std::string& file) {
  if (file.empty()) return;
  form.SetText(EditBox::Emdb, file);
  if (!IsExistingFile(file)) form.ShowStatus(file + " can't find file...", kKeepColour);
}

bool ParseCommandLine(ParameterForm& form, const std::vector<std::string>& arguments) {
  bool batch = false;
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      const std::string key = "|" + LowerAsciiLetters(argument) + "|";
      if (kFilterDirSwitch.find(key) != std::string_view::npos) {
        form.SetChecked(CheckBox::CBfilter, true);
      } else if (kTopLeftSwitch.find(key) != std::string_view::npos) {
        form.SetTop(0);
        form.SetLeft(0);
      } else if (argument == "0") {
        // ignored
      } else if (IsExistingFile(argument)) {
        form.SetText(EditBox::Emdb, argument);
        batch = true;
      } else {
        form.ShowStatus(argument + " can't find file...", kKeepColour);
      }
      continue;
    }
    const std::string_view whole = argument;
    const std::string_view name = TrimBlanks(whole.substr(0, equals));
    const std::string_view value =
        TrimBlanks(CutAtCharacterBoundary(whole.substr(equals + 1), kMaxValueBytes));
    const std::string key = "|" + LowerAsciiLetters(name) + "|";
    for (const ValueOption& option : kValueOptions) {
      if (option.aliases.find(key) != std::string_view::npos) {
        form.SetText(option.box, value);
        break;
      }
    }
  }
  return batch;
}

std::string UsageText() {
  return R"(Usage: corvid [options] [database]

Takes the embedded images and documents out of one table of an Access
database (.mdb/.accdb) and writes each one to a file of its own. Naming an
existing database file runs one extraction and ends; without one (or with
--open) the window opens with the options filled in. Values not given keep
the ones stored when Corvid last ended.

Options (a value option is name=value; names are case-insensitive):
  /t=, -t=, --table=NAME            table with the data
        corvid /t=Photos photos.mdb
  /fi=, -fi=, --field-image=NAME    field holding the image or document
        corvid --field-image=img photos.mdb
  /fn=, -fn=, /fn1=, -fn1=, --file-name-1=, --field-name=NAME
                                    field whose value names the output file
        corvid /fn=id photos.mdb
  /fn2=, -fn2=, --file-name-2=NAME  second field appended to the file name
        corvid /fn=id /fn2=title photos.mdb
  /ff=, -ff=, --field-filter=NAME   field to filter on
        corvid /ff=ident /fv=test photos.mdb
  /fv=, -fv=, --filter-value=TEXT   text the filter field must contain, "*"
                                    for all, or a range such as "100 - 200"
        corvid /ff=id "/fv=100 - 200" photos.mdb
  /d=, -d=, --dir=DIRECTORY         output directory, used as typed (end it
                                    with "/")
        corvid /d=./out/ photos.mdb
  /fd, -fd, --filter-dir            put each file in a subdirectory named
                                    after its filter field value
        corvid /ff=category /fd /d=./out/ photos.mdb
  /xy, -xy                          move the window to the top-left corner
        corvid /xy
  --open FILE                       put FILE in the database box and open the
                                    window without running (headless: nothing
                                    runs, exit status 2)
        corvid --open photos.mdb
  --login-prompt                    ask for user name and passwords on connect
                                    (CORVID_USER, CORVID_PASSWORD and
                                    CORVID_DB_PASSWORD answer it unattended)
        CORVID_DB_PASSWORD=secret corvid --headless --login-prompt locked.mdb
  --deep                            search up to 320 KiB deep for a known header
  --skip-unknown                    write nothing for values of unknown kind
  --dump                            also write each whole value as NAME.dmp
  --name-from-field1                field 1 holds the whole file name with its
                                    extension (no header check)
        corvid --name-from-field1 /fn=filename photos.mdb
  --unwrap                          read OLE objects by their structure:
                                    packaged files, Paintbrush bitmaps, Office
                                    documents and PDFs come out whole; links to
                                    outside files are logged, not written
        corvid --unwrap /d=./out/ archive.mdb
  --embedded-names                  (with --unwrap) append a packaged file's
                                    own name: ./out/17_minutes.docx
        corvid --unwrap --embedded-names /d=./out/ archive.mdb
  --manifest=FILE                   write one row per record and file to FILE
                                    (CSV; JSON Lines for .json/.jsonl) with
                                    outcome, size and SHA-256
        corvid --unwrap --manifest=./out/manifest.csv /d=./out/ archive.mdb
                                    These seven set the run's hidden check
                                    boxes for this start only; never stored.
  --raw                             (headless) carve TIFF images straight out
                                    of the file's bytes instead
        corvid --headless --raw /d=./out/ scans.mdb
  --list                            print a map of the database instead: every
                                    table with its row count and columns, and
                                    for OLE Object and Attachment columns how
                                    many values are filled and what kinds of
                                    document the first 100 are; no window
        corvid --list photos.mdb
  --json                            (with --list) print the map as JSON
        corvid --list --json photos.mdb
  --headless                        run without a window even with a display
        corvid --headless /t=table /fi=img /fn=id /d=./out/ photos.mdb
  --version                         print the version and end
        corvid --version
  --help                            print this text and end
        corvid --help

Values are cut to 80 bytes and trimmed. Without a display Corvid runs
headless: log lines go to standard output, status texts and errors to
standard error; the exit status is 0 after a completed run, 1 after a
failure, 2 when no existing database was named, 3 when the run completed
but records were missing or damaged (a batch run with the window ends with
the same statuses). --list exits 0 after a complete map, 1 when the file
is no database it can open, 2 when no existing database was named, 3 when
part of the file could not be read (the rest is listed, the damage goes to
standard error).
)";
}

}  // namespace corvid
