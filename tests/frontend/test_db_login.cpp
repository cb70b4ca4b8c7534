// The login dialog, driven headless: Enter accepts with the typed texts,
// Escape and the close box cancel, and each prompt starts from a fresh dialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>

#include "dao/dao_database.h"
#include "frontend/db_login.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

class DbLoginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "test_db_login";
      static char* argv[] = {name, nullptr};
      // Left alive until the process ends: destroying it among the static
      // destructors crashes.
      new QApplication(argc, argv);
    }
  }

  // Runs `act` on the dialog once it is shown modally.
  static void WhenShown(std::function<void(TDbLogin&)> act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<TDbLogin*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr) << "no modal login dialog is shown";
      // Keys go to the focus widget only once the window is active.
      ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
      act(*dialog);
    });
  }
};

TEST_F(DbLoginTest, LayoutMatchesTheDialogDescription) {
  TDbLogin dialog;
  EXPECT_EQ(dialog.windowTitle(), "Database Login");
  EXPECT_EQ(dialog.size(), QSize(375, 180));
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 1, 361, 169));
  EXPECT_TRUE(dialog.GroupBox1->title().isEmpty());

  struct Expected {
    QWidget* widget;
    QRect geometry;
    const char* text;  // nullptr: no caption to compare
  };
  const Expected table[] = {
      {dialog.Label1, {13, 13, 100, 13}, "Database ................:"},
      {dialog.DatabaseName, {120, 13, 229, 17}, "DatabaseName"},
      {dialog.Bevel1, {2, 34, 357, 9}, nullptr},
      {dialog.Label2, {13, 48, 98, 13}, "&User Name .............:"},
      {dialog.Username, {118, 44, 232, 21}, nullptr},
      {dialog.Label3, {13, 77, 97, 13}, "&Password ...............:"},
      {dialog.Password, {118, 73, 232, 21}, nullptr},
      {dialog.Bevel2, {2, 103, 357, 9}, nullptr},
      {dialog.Label4, {13, 116, 98, 13}, "&Database Password:"},
      {dialog.DbPassword, {118, 112, 232, 21}, nullptr},
      {dialog.Button1, {197, 138, 75, 25}, "Ok"},
      {dialog.Button2, {276, 138, 75, 25}, "Cancel"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.widget->objectName().toStdString());
    EXPECT_EQ(row.widget->parentWidget(), dialog.GroupBox1);
    EXPECT_EQ(row.widget->geometry(), row.geometry);
    if (row.text == nullptr) continue;
    if (auto* label = qobject_cast<QLabel*>(row.widget)) {
      EXPECT_EQ(label->text(), row.text);
    } else if (auto* button = qobject_cast<QPushButton*>(row.widget)) {
      EXPECT_EQ(button->text(), row.text);
    }
  }
  EXPECT_EQ(dialog.Label2->buddy(), dialog.Username);
  EXPECT_EQ(dialog.Label3->buddy(), dialog.Password);
  EXPECT_EQ(dialog.Label4->buddy(), dialog.DbPassword);
  EXPECT_EQ(dialog.Username->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(dialog.Password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog.DbPassword->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(dialog.Button1->isDefault());
}

TEST_F(DbLoginTest, EveryCaptionFitsItsBoxInTheDesktopFont) {
  TDbLogin dialog;
  for (QLabel* label : {dialog.Label1, dialog.Label2, dialog.Label3, dialog.Label4}) {
    QString shown = label->text();
    shown.remove(QLatin1Char('&'));
    SCOPED_TRACE(shown.toStdString());
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->width());
    EXPECT_LE(label->geometry().right(), dialog.Username->geometry().left());
  }
}

TEST_F(DbLoginTest, TabWalksUsernamePasswordDbPasswordOkCancel) {
  TDbLogin dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.Username->setFocus();
  const QWidget* order[] = {dialog.Password, dialog.DbPassword, dialog.Button1, dialog.Button2,
                            dialog.Username};
  for (const QWidget* expected : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected);
  }
}

TEST_F(DbLoginTest, EnterInThePasswordBoxAcceptsWithTheTypedTexts) {
  DialogCredentialsPrompt prompt;
  WhenShown([](TDbLogin& dialog) {
    EXPECT_EQ(dialog.DatabaseName->text(), "/data/photos.mdb");
    EXPECT_EQ(dialog.Username->text(), "Admin");
    EXPECT_TRUE(dialog.Password->text().isEmpty());
    EXPECT_TRUE(dialog.DbPassword->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), dialog.Username);
    dialog.Username->clear();
    dialog.Username->insert(QString::fromUtf8("märta"));
    QTest::keyClick(dialog.Username, Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "user secret");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.DbPassword);
    QTest::keyClicks(dialog.DbPassword, "db;pw");
    QTest::keyClick(dialog.DbPassword, Qt::Key_Return);
  });
  const auto answer = prompt.AskCredentials({"/data/photos.mdb", "Admin"});
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->userName, "märta");
  EXPECT_EQ(answer->password, "user secret");
  EXPECT_EQ(answer->databasePassword, "db;pw");
}

TEST_F(DbLoginTest, EmptyTextsAreAcceptedAsTheyAre) {
  DialogCredentialsPrompt prompt;
  WhenShown([](TDbLogin& dialog) { QTest::keyClick(dialog.Username, Qt::Key_Enter); });
  const auto answer = prompt.AskCredentials({"x.mdb", ""});
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->userName, "");
  EXPECT_EQ(answer->password, "");
  EXPECT_EQ(answer->databasePassword, "");
}

TEST_F(DbLoginTest, EscapeCloseBoxAndCancelButtonCancelWhateverWasTyped) {
  const std::pair<const char*, std::function<void(TDbLogin&)>> ways[] = {
      {"Escape", [](TDbLogin& d) { QTest::keyClick(d.Password, Qt::Key_Escape); }},
      {"close box", [](TDbLogin& d) { d.close(); }},
      {"Cancel button", [](TDbLogin& d) { QTest::mouseClick(d.Button2, Qt::LeftButton); }},
  };
  for (const auto& [name, cancel] : ways) {
    SCOPED_TRACE(name);
    DialogCredentialsPrompt prompt;
    WhenShown([cancel](TDbLogin& dialog) {
      QTest::keyClicks(dialog.Username, "someone");
      QTest::keyClicks(dialog.Password, "typed");
      cancel(dialog);
    });
    EXPECT_FALSE(prompt.AskCredentials({"x.mdb", "Admin"}).has_value());
  }
}

TEST_F(DbLoginTest, EveryPromptIsAFreshDialogWithEmptyPasswords) {
  DialogCredentialsPrompt prompt;
  WhenShown([](TDbLogin& dialog) {
    QTest::keyClicks(dialog.Password, "first");
    QTest::keyClicks(dialog.DbPassword, "first-db");
    QTest::keyClick(dialog.DbPassword, Qt::Key_Return);
  });
  ASSERT_TRUE(prompt.AskCredentials({"x.mdb", "Admin"}).has_value());
  WhenShown([](TDbLogin& dialog) {
    EXPECT_EQ(dialog.Username->text(), "");
    EXPECT_TRUE(dialog.Password->text().isEmpty());
    EXPECT_TRUE(dialog.DbPassword->text().isEmpty());
    dialog.Button1->click();
  });
  const auto second = prompt.AskCredentials({"x.mdb", ""});
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->password, "");
}

TEST_F(DbLoginTest, DatabaseLineWidensToTheFullPathAndTheFrameClipsIt) {
  TDbLogin dialog;
  const QString longPath = QString("/very/long/directory/name/").repeated(6) + "photos.mdb";
  dialog.SetDatabaseName(longPath);
  EXPECT_EQ(dialog.DatabaseName->text(), longPath);
  EXPECT_GE(dialog.DatabaseName->width(),
            dialog.DatabaseName->fontMetrics().horizontalAdvance(longPath));
  EXPECT_GT(dialog.DatabaseName->geometry().right(), dialog.GroupBox1->width());
  EXPECT_EQ(dialog.DatabaseName->parentWidget(), dialog.GroupBox1);
}

// Answers one modal window after the other as each appears: the login
// dialog, the information box, the next login dialog ...
class ModalResponder {
 public:
  using Step = std::function<void(QWidget&)>;
  explicit ModalResponder(std::deque<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }
  std::vector<std::string> seen;  // class name, then the text of boxes
  bool Done() const { return steps_.empty(); }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // Fail-safe: a window that no step answers is closed rather than left
    // to hang the test.
    if (modal != nullptr && (modal == last_ || steps_.empty()) && ++unanswered_ > 1000) {
      ADD_FAILURE() << "unanswered modal window " << modal->metaObject()->className();
      unanswered_ = 0;
      modal->close();
      return;
    }
    if (modal == nullptr || modal == last_ || steps_.empty()) return;
    unanswered_ = 0;
    if (!QTest::qWaitForWindowActive(modal)) return;
    last_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen.push_back("box: " + box->text().toStdString() + " / " +
                     box->windowTitle().toStdString());
    } else {
      seen.push_back(modal->metaObject()->className());
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(*modal);
  }
  std::deque<Step> steps_;
  QTimer timer_;
  QPointer<QWidget> last_;  // cleared when that window is destroyed
  int unanswered_ = 0;
};

TEST_F(DbLoginTest, ConnectionRetriesThroughTheDialogUntilTheAccountIsAccepted) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/corvid-login-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string path = dir + "/nwind.mdb";
  fs::copy_file(corvid::testing_fixtures::FixturePath("mdb/nwind.mdb"), path);
  QApplication::setApplicationDisplayName("Corvid");
  {
    TVxDaoDatabase db;
    db.SetCredentialsPrompt(std::make_shared<DialogCredentialsPrompt>());
    db.F_Set_LoginPrompt(true);
    db.F_Set_DatabaseType("Access");
    db.F_Set_Database(path);

    ModalResponder responder({
        [](QWidget& w) {
          auto& dialog = static_cast<TDbLogin&>(w);
          dialog.Username->setText("maria");
          dialog.Password->setText("typed");
          QTest::keyClick(dialog.Username, Qt::Key_Return);
        },
        [](QWidget& w) { QTest::keyClick(&w, Qt::Key_Return); },  // the information box
        [path](QWidget& w) {
          auto& dialog = static_cast<TDbLogin&>(w);
          EXPECT_EQ(dialog.Username->text(), "maria") << "the retry keeps the typed name";
          EXPECT_TRUE(dialog.Password->text().isEmpty());
          EXPECT_EQ(dialog.DatabaseName->text().toStdString(), path);
          dialog.Username->setText("Admin");
          dialog.Button1->click();
        },
    });
    db.F_Set_Connected(true);
    EXPECT_TRUE(responder.Done());
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(responder.seen,
              (std::vector<std::string>{"corvid::TDbLogin",
                                        "box: Not a valid account name or password. / Corvid",
                                        "corvid::TDbLogin"}));
    EXPECT_EQ(db.UserName(), "Admin");
  }
  fs::remove_all(dir);
}

TEST_F(DbLoginTest, CancelShowsTheWarningAndTheConnectEndsQuietly) {
  TVxDaoDatabase db;
  db.SetCredentialsPrompt(std::make_shared<DialogCredentialsPrompt>());
  db.F_Set_LoginPrompt(true);
  db.F_Set_DatabaseType("Access");
  db.F_Set_Database("/tmp/never-opened.mdb");
  ModalResponder responder({
      [](QWidget& w) { QTest::keyClick(&w, Qt::Key_Escape); },
      [](QWidget& w) { QTest::keyClick(&w, Qt::Key_Return); },
  });
  bool afterConnect = false;
  db.OnAfterConnect = [&](TVxDaoDatabase&) { afterConnect = true; };
  // The empty account the cancel leaves is refused, so nothing is opened.
  EXPECT_NO_THROW(db.F_Set_Connected(true));
  EXPECT_TRUE(responder.Done());
  EXPECT_FALSE(db.Connected());
  EXPECT_FALSE(afterConnect);
  ASSERT_EQ(responder.seen.size(), 2u);
  EXPECT_EQ(responder.seen[1],
            "box: If You not enter Username and Password You may not gain access to your data! / "
            "Corvid");
}

}  // namespace
}  // namespace corvid
