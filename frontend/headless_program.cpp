#include "frontend/headless_program.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "SrcLib/oAppInfo.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "dao/terminal_login.h"
#include "engine/extraction_run.h"
#include "engine/raw_extraction.h"
#include "frontend/database_encryption.h"
#include "frontend/error_report.h"
#include "frontend/exit_status.h"
#include "frontend/parameter_form.h"
#include "frontend/persisted_settings.h"

namespace corvid {
namespace {

// One line on a terminal's standard error that is rewritten in place and
// cleared before anything else is printed. Without a terminal it stays quiet.
class ProgressLine {
 public:
  ProgressLine() : enabled_(::isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() { Clear(); }
  bool Enabled() const { return enabled_; }
  void Show(const std::string& text) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

 private:
  bool enabled_;
  bool shown_ = false;
};

void PrintLine(std::FILE* stream, std::string_view text) {
  const std::string line = WithoutCarriageReturns(text);
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

class HeadlessHost : public RunHost {
 public:
  HeadlessHost(PlainForm& form, ProgressLine& progress) : form_(form), progress_(progress) {}

  RunInputs Inputs() const override { return InputsFromForm(form_); }
  void AddLogLine(std::string_view line) override {
    progress_.Clear();
    PrintLine(stdout, line);
  }
  void ShowStatus(std::string_view text, Colour colour) override { form_.ShowStatus(text, colour); }
  void SetBusyCursor(bool) override {}
  void ProcessMessages() override { QCoreApplication::processEvents(); }
  std::string ProductName() const override { return AppInfo().productName; }
  std::string FileVersion() const override { return AppInfo().fileVersion; }

 private:
  PlainForm& form_;
  ProgressLine& progress_;
};

std::int64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

class StandardErrorPrompt : public CredentialsPrompt {
 public:
  std::optional<LoginAnswer> AskCredentials(const LoginRequest& request) override {
    return terminal_.AskCredentials(request);
  }
  void ShowInformation(std::string_view message) override { PrintLine(stderr, message); }

 private:
  TerminalLogin terminal_;
};

}  // namespace

std::shared_ptr<CredentialsPrompt> HeadlessCredentialsPrompt() {
  return std::make_shared<StandardErrorPrompt>();
}

std::string RunSummary(const RunReport& r) {
  return "records visited: " + std::to_string(r.recordsVisited) +
         ", files written: " + std::to_string(r.filesWritten) +
         ", skipped as unknown: " + std::to_string(r.skippedUnknown) +
         ", empty blobs: " + std::to_string(r.emptyBlobs) +
         ", rejected by the filter: " + std::to_string(r.rejectedByFilter) +
         ", paths written more than once: " + std::to_string(r.duplicatePaths) +
         (r.unwrapping
              ? ", linked: " + std::to_string(r.linkedObjects) +
                    ", written from damaged OLE structures: " + std::to_string(r.damagedObjects)
              : std::string()) +
         (r.attachmentsWritten > 0 || r.damagedAttachments > 0
              ? ", attachments written: " + std::to_string(r.attachmentsWritten) +
                    ", damaged attachments left out: " + std::to_string(r.damagedAttachments)
              : std::string()) +
         (r.damaged ? ", records unreadable: " + std::to_string(r.recordsUnreadable)
                    : std::string());
}

std::string RawSummary(const RawReport& r) {
  return "bytes scanned: " + std::to_string(r.bytesScanned) +
         ", TIFF signatures found: " + std::to_string(r.signaturesFound) +
         ", files written: " + std::to_string(r.filesWritten);
}

std::string PasswordHint(std::string_view database) {
  return "corvid: " + std::string(database) +
         " is protected by a database password; give it with CORVID_DB_PASSWORD=... in the "
         "environment, "
         "or add --login-prompt to be asked for it on the terminal";
}

int RunHeadless(const OwnArguments& arguments, const ComponentsFactory& makeComponents) {
  ProgressLine progress;
  SetErrorReporter([&progress](std::string_view message) {
    progress.Clear();
    PrintLine(stderr, ErrorBoxText(message));
  });

  bool rawRunning = false;
  std::int64_t rawTotal = -1;
  PlainForm form;
  form.onStatus = [&](std::string_view text, Colour colour) {
    // The raw run's position numbers are progress, not messages.
    if (rawRunning && colour == kKeepColour && AllDigits(text)) {
      progress.Show("bytes scanned: " + std::string(text) +
                    (rawTotal >= 0 ? " of " + std::to_string(rawTotal) : ""));
      return;
    }
    progress.Clear();
    PrintLine(stderr, text);
  };

  // The window's creation steps: stored settings, then the command line.
  bool batch = false;
  const bool created = RunHandler([&] {
    LoadSettings(form);
    batch = ParseCommandLine(form, arguments.rest);
    if (arguments.open) {
      OpenWithoutRun(form, *arguments.open);
      batch = false;
    }
  });
  if (created && arguments.loginPrompt) form.SetChecked(CheckBox::CBlogin, true);
  if (created) ApplyRunOptions(arguments, form);

  int status = 1;
  if (!created) {
    status = 1;
  } else if (arguments.open) {
    // The box is filled (and stored below) for the next window; nothing runs.
    std::fputs("corvid: --open fills the window's database box; without a window nothing runs\n",
               stderr);
    status = 2;
  } else if (!batch) {
    std::fputs("corvid: no existing database file among the arguments\n\n", stderr);
    std::fputs(UsageText().c_str(), stderr);
    status = 2;
  } else if (arguments.raw) {
    HeadlessHost host(form, progress);
    rawTotal = FileSize(form.Text(EditBox::Emdb));
    rawRunning = true;
    RawReport report;
    const bool ok = RunHandler([&] { report = RunRawExtraction(host, IsEncryptedDatabase); });
    rawRunning = false;
    progress.Clear();
    if (ok) PrintLine(stderr, RawSummary(report));
    status = ok ? 0 : 1;
  } else {
    HeadlessHost host(form, progress);
    std::optional<RunReport> report;
    bool passwordRefused = false;
    RunHandler([&] {
      std::unique_ptr<RunComponents> components = makeComponents();
      if (!components) throw std::runtime_error("No database layer is available in this build");
      std::int64_t total = -1;
      bool counted = false;
      auto onProgress = [&](std::int64_t visited) {
        if (!progress.Enabled()) return;
        if (!counted) {
          counted = true;
          total = components->RecordCount();
        }
        progress.Show("records visited: " + std::to_string(visited) +
                      (total >= 0 ? " of " + std::to_string(total) : ""));
      };
      try {
        report = RunExtraction(host, components->Connection(), components->Table(), onProgress);
      } catch (const dao::EngineError& error) {
        passwordRefused = error.Number() == dao::kNotValidPassword;
        throw;
      }
    });
    progress.Clear();
    if (passwordRefused) PrintLine(stderr, PasswordHint(form.Text(EditBox::Emdb)));
    if (report) PrintLine(stderr, RunSummary(*report));
    status = ExtractionExitStatus(report);
  }

  if (created) RunHandler([&] { SaveSettings(form); });
  SetErrorReporter({});
  return status;
}

}  // namespace corvid
