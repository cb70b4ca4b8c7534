#pragma once
// The command line: options that prefill the window's parameters, two
// switches, and a positional database file that starts one unattended run.
// Arguments arrive already split (quotes are gone). Corvid's own arguments
// (--open FILE, --headless, --raw, --list, --json, --help, --version,
// --login-prompt and the run options) are taken out first.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/parameter_form.h"

namespace corvid {

struct OwnArguments {
  // --open FILE: FILE goes into the database box and nothing runs by itself
  // (an empty text when --open was the last argument).
  std::optional<std::string> open;
  bool headless = false;
  bool raw = false;
  bool list = false;  // --list: print a map of the database instead of running
  bool json = false;  // --json: the map as JSON
  bool help = false;
  bool version = false;
  bool loginPrompt = false;
  // The run's check boxes and the manifest: they set that run only.
  bool deep = false;                    // --deep
  bool skipUnknown = false;             // --skip-unknown
  bool dump = false;                    // --dump
  bool nameFromField1 = false;          // --name-from-field1
  bool unwrap = false;                  // --unwrap
  bool embeddedNames = false;           // --embedded-names
  std::optional<std::string> manifest;  // --manifest=FILE
  std::vector<std::string> rest;        // everything else, in order
};

// Separates our own arguments from the rest; `arguments` excludes argument 0.
OwnArguments TakeOwnArguments(const std::vector<std::string>& arguments);

// Ticks the check boxes and fills the manifest box the own arguments name
// (after the settings and the command line are applied; nothing unticks).
void ApplyRunOptions(const OwnArguments& arguments, ParameterForm& form);

// The first `maxBytes` bytes of a UTF-8 text, shortened further so that no
// character is cut in half.
std::string_view CutAtCharacterBoundary(std::string_view text, std::size_t maxBytes);

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string_view TrimBlanks(std::string_view text);

// Applies the arguments (without argument 0) to the form in order and returns
// whether an existing database file was named (the batch flag FBatch).
bool ParseCommandLine(ParameterForm& form, const std::vector<std::string>& arguments);

// Whether a path names an existing file that is not a directory.
bool IsExistingFile(const std::string& path);

// The --open start: an empty `file` leaves the box alone; a file that does not
// exist is put in the box all the same and noted on the status line.
void OpenWithoutRun(ParameterForm& form, const std::string& file);

// The usage text of --help: every option with an example.
std::string UsageText();

}  // namespace corvid
