#include "frontend/program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QCheckBox>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SrcLib/exe_path.h"
#include "SrcLib/oAppInfo.h"
#include "dao/dao_database.h"
#include "frontend/command_line.h"
#include "frontend/dao_components.h"
#include "frontend/db_login.h"
#include "frontend/error_report.h"
#include "frontend/headless_program.h"
#include "frontend/list_program.h"
#include "frontend/main_window.h"

namespace corvid {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

void ShowErrorBox(std::string_view message) {
  QMessageBox box(
      QMessageBox::Critical, QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
      QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

// Runs the window; false when no display could be opened (the caller then
// goes on headless).
bool RunWindow(int argc, char** argv, const OwnArguments& arguments, int& exitCode) {
  const bool platformChosen = Set("QT_QPA_PLATFORM");
  if (!platformChosen) {
    // Try the real display first; "offscreen" last means it could not be opened.
    qputenv("QT_QPA_PLATFORM",
            Set("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;wayland;offscreen");
  }
  QApplication app(argc, argv);
  if (!platformChosen) {
    qunsetenv("QT_QPA_PLATFORM");
    if (QGuiApplication::platformName() == "offscreen") return false;
  }
  QCoreApplication::setApplicationName(
      QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
  SetErrorReporter(ShowErrorBox);

  std::unique_ptr<RunComponents> components;
  RunHandler([&] {
    components = std::make_unique<DaoComponents>(std::make_shared<DialogCredentialsPrompt>());
  });
  int code = 0;
  {
    TF window(arguments.rest, std::move(components));
    StartWindow(window, arguments);
    window.show();
    code = QApplication::exec();
    if (code == 0) code = window.BatchExitCode();
  }  // the window is destroyed here and stores the settings
  SetErrorReporter({});
  exitCode = code;
  return true;
}

}  // namespace

void StartWindow(TF& window, const OwnArguments& arguments) {
  const bool created = RunHandler([&] { window.FormCreate(); });
  if (arguments.loginPrompt) window.CBlogin->setChecked(true);
  if (created) ApplyRunOptions(arguments, window);
  if (created && arguments.open) {
    window.FBatch = false;  // a file to look at, not a run
    RunHandler([&] { OpenWithoutRun(window, *arguments.open); });
  }
}

bool DisplayConfigured() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

int RunProgram(int argc, char** argv) {
  InitialiseExePath();
  TAppInfo& info = AppInfo();
  info.langId = "041D";
  info.exeName = ExePath();
  info.ReadVersionInfo();

  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
  const OwnArguments arguments = TakeOwnArguments(words);

  if (arguments.version) {
    std::printf("%s v%s\n", info.productName.c_str(), info.fileVersion.c_str());
    return 0;
  }
  if (arguments.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }

  if (arguments.json && !arguments.list) {
    std::fputs("corvid: --json goes with --list\n\n", stderr);
    std::fputs(UsageText().c_str(), stderr);
    return 2;
  }
  if (arguments.list) {
    return RunListing(arguments, [] { return MakeDatabaseComponent(HeadlessCredentialsPrompt()); });
  }

  const bool headless = arguments.headless || arguments.raw || !DisplayConfigured();
  if (!headless) {
    int exitCode = 0;
    if (RunWindow(argc, argv, arguments, exitCode)) return exitCode;
    std::fputs("corvid: the display cannot be opened; running without a window\n", stderr);
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(
      QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
  return RunHeadless(arguments,
                     [] { return std::make_unique<DaoComponents>(HeadlessCredentialsPrompt()); });
}

}  // namespace corvid
