#include "frontend/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SrcLib/exe_path.h"
#include "SrcLib/oAppInfo.h"
#include "frontend/command_line.h"
#include "frontend/error_report.h"
#include "frontend/persisted_settings.h"
#include "frontend/program.h"
#include "frontend/registry_store.h"
#include "frontend/window_layout.h"
#include "temp_config.h"
#include "window_doubles.h"

namespace corvid {
namespace {

using testing::FakeComponents;
using testing::FakeRecord;
using testing::TempConfigHome;
using testing::TempDirectory;

std::string S(const QString& text) { return text.toStdString(); }

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    InitialiseExePath("/usr/bin/corvid");
    AppInfo() = TAppInfo();
    AppInfo().langId = "041D";
    AppInfo().ReadVersionInfo(ProgramVersionBlock());
    SetErrorReporter([this](std::string_view message) { errors_.emplace_back(message); });
  }
  void TearDown() override { SetErrorReporter({}); }

  // A created window (controls, then FormCreate) with fake components.
  std::unique_ptr<TF> Create(std::vector<std::string> arguments = {}) {
    auto components = std::make_unique<FakeComponents>();
    fake_ = components.get();
    auto window = std::make_unique<TF>(std::move(arguments), std::move(components));
    window->FormCreate();
    return window;
  }

  std::vector<std::string> LogLines(const TF& window) {
    std::vector<std::string> lines;
    const QStringList list = window.Mlog->toPlainText().split('\n');
    for (const QString& line : list) lines.push_back(S(line));
    return lines;
  }

  TempConfigHome config_;
  std::vector<std::string> errors_;
  FakeComponents* fake_ = nullptr;
};

TEST_F(MainWindow, FirstStartShowsTheDesignValuesAndHelpText) {
  auto window = Create();
  EXPECT_EQ(S(window->windowTitle()), "Corvid v0.18.9.38");
  EXPECT_EQ(S(window->Emdb->text()), "*.mdb");
  EXPECT_EQ(S(window->Etbl->text()), "table");
  EXPECT_EQ(S(window->Eimg->text()), "img");
  EXPECT_EQ(S(window->Efilter->text()), "filter");
  EXPECT_EQ(S(window->Evalue->text()), "*");
  EXPECT_EQ(S(window->Efield1->text()), "id");
  EXPECT_EQ(S(window->Efield2->text()), "");
  EXPECT_EQ(S(window->Efext->text()), "");
  EXPECT_EQ(S(window->Edir->text()), "/tmp/");
  for (QCheckBox* box : {window->CBfilter, window->CBext, window->CBlogin, window->CBdmp,
                         window->CBskip, window->CBdeep}) {
    EXPECT_FALSE(box->isChecked()) << S(box->objectName());
  }
  EXPECT_EQ(S(window->Pstatus->text()), "");
  EXPECT_EQ(window->pos(), QPoint(387, 104));
  EXPECT_FALSE(window->FBatch);

  const std::vector<std::string> lines = LogLines(*window);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0], "Corvid");
  EXPECT_EQ(lines[4], "Reads Access files directly (.mdb, .accdb); no DAO needed");
  EXPECT_EQ(lines[5], "Filenames becomes \"/tmp/123.bmp\" for (id=123)");
  EXPECT_EQ(lines[6].rfind("More info from ", 0), 0u);
  EXPECT_NE(lines[6].find('@'), std::string::npos);
  EXPECT_EQ(lines[13], "");
  EXPECT_EQ(lines[16], "only exports rows where id >=100 <=200");
}

TEST_F(MainWindow, ControlsMatchTheLayoutTable) {
  auto window = Create();
  QWidget* client = window->centralWidget();
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->size(), QSize(kClientWidth, kClientHeight));
  window->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(window->height(), kClientHeight + window->menuBar()->height());
  EXPECT_EQ(window->width(), kClientWidth);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed size
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

  for (const ControlSpec& control : MainWindowControls()) {
    SCOPED_TRACE(std::string(control.name));
    auto* widget =
        client->findChild<QWidget*>(QString::fromUtf8(control.name.data(), control.name.size()));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->x(), control.left);
    EXPECT_EQ(widget->y(), control.top);
    EXPECT_EQ(widget->height(), control.height);
    if (control.kind == ControlKind::Label || control.kind == ControlKind::CheckBox) {
      // Every caption shows whole, without running into the control to its right.
      EXPECT_GE(widget->width(), widget->sizeHint().width());
      for (const ControlSpec& other : MainWindowControls()) {
        const bool mayShow = other.visible || other.kind == ControlKind::CheckBox;
        if (&other == &control || !mayShow || other.left <= control.left) continue;
        const int middle = control.top + control.height / 2;
        if (other.top <= middle && middle < other.top + other.height) {
          EXPECT_LT(widget->x() + widget->width(), other.left) << "runs into " << other.name;
        }
      }
      EXPECT_LE(widget->x() + widget->width(), kClientWidth);
      if (control.kind == ControlKind::Label)
        EXPECT_GE(widget->width(), std::min(control.width, kClientWidth - control.left));
      if (control.kind == ControlKind::CheckBox) EXPECT_LE(widget->width(), control.width);
    } else {
      EXPECT_EQ(widget->width(), control.width);
    }
    EXPECT_EQ(!widget->isHidden(), control.visible);
    EXPECT_EQ(S(widget->toolTip()), std::string(control.hint));
    EXPECT_EQ(widget->cursor().shape() == Qt::WhatsThisCursor, control.helpCursor);
    const bool takesFocus = widget->focusPolicy() != Qt::NoFocus;
    EXPECT_EQ(takesFocus, control.kind != ControlKind::Label &&
                              control.kind != ControlKind::Panel &&
                              control.kind != ControlKind::StatusPanel &&
                              control.kind != ControlKind::PictureButton);
    if (auto* label = qobject_cast<QLabel*>(widget); label && control.kind == ControlKind::Label) {
      EXPECT_EQ(S(label->text()), std::string(control.text));
      ASSERT_NE(label->buddy(), nullptr);
      EXPECT_EQ(S(label->buddy()->objectName()), std::string(control.focuses));
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(S(button->text()), std::string(control.text));
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
      EXPECT_EQ(S(box->text()), std::string(control.text));
    }
  }

  // Tab order: Emdb, Bmdb, Etbl, CBlogin, Eimg, ... Braw.
  const char* const order[] = {"Emdb",   "Bmdb",  "Etbl",     "CBlogin", "Eimg",   "Efilter",
                               "Evalue", "CBdmp", "Efield1",  "Efield2", "Efext",  "CBext",
                               "CBskip", "Edir",  "CBfilter", "Mlog",    "CBdeep", "Braw"};
  std::vector<std::string> chain;
  QWidget* at = client->findChild<QWidget*>("Emdb");
  for (int guard = 0; guard < 200 && chain.size() < std::size(order);
       ++guard, at = at->nextInFocusChain()) {
    if (at->parentWidget() == client && at->focusPolicy() != Qt::NoFocus)
      chain.push_back(S(at->objectName()));
  }
  EXPECT_EQ(chain, std::vector<std::string>(std::begin(order), std::end(order)));

  EXPECT_EQ(S(window->MIfile->title()), "File");
  EXPECT_EQ(S(window->MIexit->text()), "E&xit");
  const QStringList filters = window->OD->nameFilters();
  ASSERT_EQ(filters.size(), 4);
  EXPECT_EQ(S(filters[0]), "Accessdatabaser (*.mdb) (*.mdb *.MDB *.accdb *.ACCDB)");
  EXPECT_EQ(S(filters[3]), "Koordinatfiler (*.txt) (*.txt)");
  EXPECT_EQ(S(window->OD->defaultSuffix()), "mdb");
  EXPECT_TRUE(window->Mlog->lineWrapMode() == QPlainTextEdit::NoWrap);
  EXPECT_FALSE(window->Mlog->isReadOnly());
}

TEST_F(MainWindow, PshowDoubleClickedTwiceReturnsToTheFirstViewAndKeepsTicks) {
  auto window = Create();
  QWidget* const hidden[] = {window->CBdeep,  window->CBskip,   window->CBext,   window->CBdmp,
                             window->CBlogin, window->CBunwrap, window->CBnames, window->Emanifest};
  window->PshowDblClick();
  for (QWidget* box : hidden) EXPECT_FALSE(box->isHidden()) << S(box->objectName());
  EXPECT_TRUE(window->Lfext->isHidden());
  EXPECT_TRUE(window->Efext->isHidden());
  window->CBskip->setChecked(true);
  window->CBdmp->setChecked(true);
  window->CBunwrap->setChecked(true);
  window->Emanifest->setText("run.csv");
  window->PshowDblClick();
  for (QWidget* box : hidden) EXPECT_TRUE(box->isHidden()) << S(box->objectName());
  EXPECT_TRUE(window->CBskip->isChecked());
  const RunInputs inputs = window->Inputs();  // the run reads hidden boxes too
  EXPECT_TRUE(inputs.skipUnknown);
  EXPECT_TRUE(inputs.dumpCopy);
  EXPECT_FALSE(inputs.deepSearch);
  EXPECT_TRUE(inputs.unwrap);
  EXPECT_FALSE(inputs.embeddedNames);
  EXPECT_EQ(inputs.manifestPath, "run.csv");

  // The handler is bound to a real double click on the panel.
  QTest::mouseDClick(window->Pshow, Qt::LeftButton);
  EXPECT_FALSE(window->CBdeep->isHidden());
  QTest::mouseDClick(window->Pshow, Qt::LeftButton);
  EXPECT_TRUE(window->CBdeep->isHidden());
}

TEST_F(MainWindow, ButtonsAndTypingReachTheirHandlers) {
  TempDirectory out;
  auto window = Create();
  window->Edir->clear();
  QTest::keyClicks(window->Edir, QString::fromStdString(out.Path()));
  EXPECT_NE(window->Edir->palette().color(QPalette::Text), QColor(255, 0, 0));
  QTest::keyClicks(window->Edir, "/nope");
  EXPECT_EQ(window->Edir->palette().color(QPalette::Text), QColor(255, 0, 0));
  window->Edir->setText(QString::fromStdString(out.Path() + "/"));
  window->Bmdb->click();
  EXPECT_EQ(fake_->connects, 1);
  EXPECT_EQ(S(window->Pstatus->text()), "ok");
  EXPECT_EQ(LogLines(*window).size(), 2u);
}

TEST_F(MainWindow, EdirExitAppendsSlashAndEdirChangeColoursMissingDirectoriesRed) {
  TempDirectory dir;
  const std::string file = dir.Path() + "/file.txt";
  std::ofstream(file) << "x";
  auto window = Create();
  auto isRed = [&] { return window->Edir->palette().color(QPalette::Text) == QColor(255, 0, 0); };

  struct Case {
    std::string typed;
    bool red;
    std::string afterExit;
  } cases[] = {
      {dir.Path(), false, dir.Path() + "/"},
      {dir.Path() + "/", false, dir.Path() + "/"},
      {file, true, file + "/"},
      {dir.Path() + "/missing", true, dir.Path() + "/missing/"},
      {"", true, "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    window->Edir->setText(QString::fromStdString(c.typed));
    EXPECT_EQ(isRed(), c.red);
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(window->Edir, &focusOut);
    EXPECT_EQ(S(window->Edir->text()), c.afterExit);
  }
}

TEST_F(MainWindow, StoredSettingsColourTheDirectoryAndCommandLineWins) {
  auto key = RegistryKey::Open(SettingsKeyPath(), true);
  key->WriteString("fDIR", "");
  key->WriteString("fTBL", "Orders");
  key->WriteInteger("WinTop", 10);
  key.reset();
  auto window = Create({"-t=Photos", "/xy"});
  EXPECT_EQ(S(window->Edir->text()), "");
  EXPECT_EQ(window->Edir->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(S(window->Etbl->text()), "Photos");
  EXPECT_EQ(window->pos(), QPoint(0, 0));
  window.reset();  // destruction stores the settings
  key = RegistryKey::Open(SettingsKeyPath(), false);
  EXPECT_EQ(key->ReadString("fTBL"), "Photos");
  EXPECT_EQ(key->ReadInteger("WinTop"), 0);
  EXPECT_EQ(key->ReadInteger("WinLeft"), 0);
}

TEST_F(MainWindow, WrongTypedSettingStopsFormCreateWithAnErrorBox) {
  auto key = RegistryKey::Open(SettingsKeyPath(), true);
  key->WriteString("WinTop", "high");
  key.reset();
  TempDirectory dir;
  const std::string db = dir.Path() + "/a.mdb";
  std::ofstream(db) << "x";
  auto components = std::make_unique<FakeComponents>();
  TF window({"/t=Photos", db}, std::move(components));
  EXPECT_FALSE(RunHandler([&] { window.FormCreate(); }));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Invalid data type for 'WinTop'");
  EXPECT_EQ(S(window.windowTitle()), "Corvid v0.18.9.38");  // steps before the failure ran
  EXPECT_EQ(S(window.Etbl->text()), "table");               // the command line did not
  EXPECT_FALSE(window.FBatch);
}

TEST_F(MainWindow, ErrorBoxTextAppendsFullStopAfterLettersOnly) {
  struct Case {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Cannot open", "Cannot open."}, {"Done.", "Done."},
      {"Really?", "Really?."},         {"ends with -", "ends with -"},
      {"ends with )", "ends with )"},  {"", ""},
      {"caf\xC3\xA9", "caf\xC3\xA9."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST_F(MainWindow, ARunClearsTheHelpTextAndLogsOnlyItsOwnLines) {
  TempDirectory out;
  auto window = Create();
  fake_->records = {{"7", ""}, {"8", ""}};  // empty blobs: counted, nothing written
  window->Edir->setText(QString::fromStdString(out.Path() + "/"));
  window->Emdb->setText("/data/photos.mdb");
  window->DoExtract();
  const std::vector<std::string> lines = LogLines(*window);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" - Corvid v0.18.9.38"), std::string::npos);
  EXPECT_NE(lines[1].find(" - table (2)"), std::string::npos);
  EXPECT_EQ(S(window->Pstatus->text()), "ok");
  EXPECT_EQ(fake_->database, "/data/photos.mdb");
  ASSERT_TRUE(window->LastReport().has_value());
  EXPECT_TRUE(window->LastReport()->completed);
  window->DoExtract();
  EXPECT_EQ(LogLines(*window).size(), 2u);  // the log holds the latest run only
  EXPECT_TRUE(errors_.empty());
}

TEST_F(MainWindow, FailedConnectionLeavesHeadingOnlyAndTheStatusAsItWas) {
  auto window = Create();
  fake_->connectError = "Cannot find Database:\r\n/x.mdb";
  window->ShowStatus("before", kKeepColour);
  EXPECT_FALSE(RunHandler([&] { window->DoExtract(); }));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Cannot find Database:\r\n/x.mdb");
  EXPECT_EQ(LogLines(*window).size(), 1u);
  EXPECT_EQ(S(window->Pstatus->text()), "before");
  EXPECT_FALSE(window->Running());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the busy cursor was restored
}

TEST_F(MainWindow, ShowStatusColourRules) {
  auto window = Create();
  auto background = [&] { return window->Pstatus->palette().color(QPalette::Window); };
  window->ShowStatus("bad", kRed);
  EXPECT_EQ(background(), QColor(255, 0, 0));
  EXPECT_EQ(S(window->Pstatus->text()), "bad");
  window->ShowStatus("ok", kKeepColour);
  EXPECT_EQ(background(), QColor(255, 0, 0));  // 0 keeps the colour
  EXPECT_EQ(S(window->Pstatus->text()), "ok");
  window->ShowStatus("ok", kButtonFace);
  EXPECT_EQ(background(), QApplication::palette().color(QPalette::Button));
  window->ShowStatus("green", 0x0000FF00);
  EXPECT_EQ(background(), QColor(0, 255, 0));
}

TEST_F(MainWindow, SecondRunIsRefusedAndCloseWaitsForTheRun) {
  auto window = Create();
  window->show();
  fake_->records = {{"1", ""}};
  int nested = 0;
  fake_->onFieldText = [&] {
    if (nested++ == 0) {
      window->DoExtract();  // a click that slipped through while the run lets messages in
      window->DoRawExtract();
      window->close();  // waits for the run
      EXPECT_TRUE(window->isVisible());
    }
  };
  window->DoExtract();
  EXPECT_EQ(fake_->connects, 1);
  EXPECT_EQ(S(window->Pstatus->text()), "ok");
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());  // the close happened after the run
}

TEST_F(MainWindow, ExitChosenDuringARunEndsTheProgramAfterTheRun) {
  auto window = Create();
  fake_->records = {{"1", ""}, {"2", ""}};
  bool exitAsked = false;
  fake_->onFieldText = [&] {
    if (!exitAsked) {
      exitAsked = true;
      window->MIexit->trigger();
    }
  };
  QTimer::singleShot(0, window.get(), [&] { window->DoExtract(); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(exitAsked);
  EXPECT_EQ(S(window->Pstatus->text()), "ok");  // the run went on to its end
  EXPECT_NE(LogLines(*window).back().find(" - table (2)"), std::string::npos);
}

TEST_F(MainWindow, MenuExitEndsTheLoopAndStoresTheSettings) {
  auto window = Create();
  window->Etbl->setText("Typed");
  window->CBunwrap->setChecked(true);  // the run's boxes are never stored
  window->Emanifest->setText("run.csv");
  window->move(20, 30);
  QTimer::singleShot(0, window.get(), [&] { window->MIexit->trigger(); });
  EXPECT_EQ(QApplication::exec(), 0);
  window.reset();
  auto key = RegistryKey::Open(SettingsKeyPath(), false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ValueNames().size(), 10u);
  EXPECT_EQ(key->ReadString("fTBL"), "Typed");
  EXPECT_EQ(key->ReadInteger("WinTop"), 30);
  EXPECT_EQ(key->ReadInteger("WinLeft"), 20);
}

TEST_F(MainWindow, BatchRunStartsAtIdleRunsOnceAndEnds) {
  TempDirectory dir;
  const std::string db = dir.Path() + "/photos.mdb";
  std::ofstream(db) << "x";
  auto window = Create({"/t=Photos", "/d=" + dir.Path() + "/out/", db});
  EXPECT_TRUE(window->FBatch);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window->FBatch);
  EXPECT_EQ(fake_->connects, 1);
  EXPECT_EQ(fake_->tableName, "Photos");
  EXPECT_EQ(fake_->database, db);
  window.reset();
  EXPECT_EQ(RegistryKey::Open(SettingsKeyPath(), false)->ReadString("fTBL"), "Photos");
}

TEST_F(MainWindow, OpenFillsTheBoxAndStartsNoRunEvenBesideADatabaseArgument) {
  TempDirectory dir;
  const std::string db = dir.Path() + "/photos.mdb", other = dir.Path() + "/other.mdb";
  std::ofstream(db) << "x";
  std::ofstream(other) << "x";
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--open", db, "/t=Photos"},
        std::vector<std::string>{"/t=Photos", other, "--open", db}}) {
    const OwnArguments own = TakeOwnArguments(arguments);
    auto components = std::make_unique<FakeComponents>();
    fake_ = components.get();
    TF window(own.rest, std::move(components));
    StartWindow(window, own);
    EXPECT_EQ(S(window.Emdb->text()), db);
    EXPECT_EQ(S(window.Etbl->text()), "Photos");
    EXPECT_FALSE(window.FBatch);
    // The first idle moments pass without a run; the loop is ended from here.
    QTimer::singleShot(100, [] { QCoreApplication::exit(42); });
    EXPECT_EQ(QApplication::exec(), 42);
    EXPECT_EQ(fake_->connects, 0);
    EXPECT_FALSE(window.LastReport().has_value());
    EXPECT_TRUE(errors_.empty());
  }
}

TEST_F(MainWindow, BatchRunThatEndsEarlyExitsWithOne) {
  TempDirectory dir;
  const std::string db = dir.Path() + "/photos.mdb";
  std::ofstream(db) << "x";
  auto window = Create({"/fn=nosuchfield", db});
  fake_->records = {{"1", "data"}};
  EXPECT_EQ(QApplication::exec(), 1);
  ASSERT_TRUE(window->LastReport().has_value());
  EXPECT_FALSE(window->LastReport()->completed);
}

TEST_F(MainWindow, BatchRunOverADamagedDatabaseExitsWithThreeAndSaysSoInRed) {
  TempDirectory dir;
  const std::string db = dir.Path() + "/photos.mdb";
  std::ofstream(db) << "x";
  auto window = Create({"/d=" + dir.Path() + "/out/", db});
  fake_->records = {{"1", "data"}, {"2", "data"}};
  fake_->listed = 5;  // three records the file lists were never found
  EXPECT_EQ(QApplication::exec(), 3);
  ASSERT_TRUE(window->LastReport().has_value());
  EXPECT_TRUE(window->LastReport()->completed);
  EXPECT_EQ(window->BatchExitCode(), 3);
  EXPECT_EQ(S(window->Pstatus->text()), "2 of 5 records read; the database is damaged");
  EXPECT_EQ(window->Pstatus->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST_F(MainWindow, BatchRunWhoseConnectionFailsStaysOpen) {
  TempDirectory dir;
  const std::string db = dir.Path() + "/photos.mdb";
  std::ofstream(db) << "x";
  auto window = Create({db});
  fake_->connectError = "Cannot open database";
  // The run fails: the window must stay; end the loop from here with a marker.
  SetErrorReporter([&](std::string_view message) {
    errors_.emplace_back(message);
    QTimer::singleShot(0, [] { QCoreApplication::exit(42); });
  });
  EXPECT_EQ(QApplication::exec(), 42);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Cannot open database");
  EXPECT_EQ(window->BatchExitCode(), 1);
}

TEST_F(MainWindow, BrowseStartsFromTheBoxTextAndCancelKeepsIt) {
  auto window = Create();
  QString seenFile, seenFilter;
  QTimer::singleShot(0, window.get(), [&] {
    seenFilter = window->OD->selectedNameFilter();
    seenFile = window->OD->findChild<QLineEdit*>("fileNameEdit")->text();
    window->OD->reject();
  });
  window->SBmdbClick();
  EXPECT_EQ(S(seenFilter), "Accessdatabaser (*.mdb) (*.mdb *.MDB *.accdb *.ACCDB)");
  EXPECT_EQ(S(seenFile), "*.mdb");
  EXPECT_EQ(S(window->Emdb->text()), "*.mdb");

  TempDirectory dir;
  const std::string db = dir.Path() + "/chosen.accdb";
  std::ofstream(db) << "x";
  window->Emdb->setText(QString::fromStdString(dir.Path() + "/"));
  QString seenDirectory;
  QTimer::singleShot(0, window.get(), [&] {
    seenDirectory = window->OD->directory().absolutePath();
    window->OD->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(db));
    QMetaObject::invokeMethod(window->OD, "done", Q_ARG(int, QDialog::Accepted));
  });
  window->SBmdbClick();
  EXPECT_EQ(S(seenDirectory), dir.Path());
  EXPECT_EQ(S(window->Emdb->text()), db);
}

}  // namespace
}  // namespace corvid
