#include "frontend/db_login.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace corvid {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, QRect geometry) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(geometry);
  return label;
}

// The captions were sized for a narrow 8-point face; a wider desktop face
// would cut them off at the edit boxes. Such a caption is drawn condensed
// just enough to fit its box, so positions stay as laid out.
void FitCaption(QLabel* label) {
  QString shown = label->text();
  shown.remove(QLatin1Char('&'));
  const int needed = label->fontMetrics().horizontalAdvance(shown);
  if (needed <= label->width()) return;
  QFont condensed = label->font();
  constexpr int kNarrowest = 70;  // percent of the normal width
  int stretch = std::max(kNarrowest, 100 * label->width() / needed);
  condensed.setStretch(stretch);
  while (stretch > kNarrowest &&
         QFontMetrics(condensed).horizontalAdvance(shown) > label->width()) {
    condensed.setStretch(--stretch);
  }
  label->setFont(condensed);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect geometry, bool masked) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(geometry);
  if (masked) {
    edit->setEchoMode(QLineEdit::Password);
    // Every character shows as "*" whatever the style's own mask character.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  }
  return edit;
}

QFrame* MakeBevel(QWidget* parent, const char* name, QRect geometry) {
  auto* line = new QFrame(parent);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(geometry);
  return line;
}

}  // namespace

TDbLogin::TDbLogin(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DbLogin"));
  setWindowTitle(QStringLiteral("Database Login"));
  // A fixed dialog frame with only the close box in the title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  QFont dialogFont(QStringLiteral("Sans Serif"));
  dialogFont.setStyleHint(QFont::SansSerif);
  dialogFont.setPointSize(8);
  setFont(dialogFont);
  setFixedSize(375, 180);

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 1, 361, 169);

  Label1 = MakeLabel(GroupBox1, "Database ................:", {13, 13, 100, 13});
  Label1->setObjectName(QStringLiteral("Label1"));
  DatabaseName = MakeLabel(GroupBox1, "DatabaseName", {120, 13, 229, 17});
  DatabaseName->setObjectName(QStringLiteral("DatabaseName"));
  DatabaseName->setTextFormat(Qt::PlainText);
  Bevel1 = MakeBevel(GroupBox1, "Bevel1", {2, 34, 357, 9});

  Label2 = MakeLabel(GroupBox1, "&User Name .............:", {13, 48, 98, 13});
  Label2->setObjectName(QStringLiteral("Label2"));
  Username = MakeEdit(GroupBox1, "Username", {118, 44, 232, 21}, false);
  Label2->setBuddy(Username);

  Label3 = MakeLabel(GroupBox1, "&Password ...............:", {13, 77, 97, 13});
  Label3->setObjectName(QStringLiteral("Label3"));
  Password = MakeEdit(GroupBox1, "Password", {118, 73, 232, 21}, true);
  Label3->setBuddy(Password);

  Bevel2 = MakeBevel(GroupBox1, "Bevel2", {2, 103, 357, 9});

  Label4 = MakeLabel(GroupBox1, "&Database Password:", {13, 116, 98, 13});
  Label4->setObjectName(QStringLiteral("Label4"));
  DbPassword = MakeEdit(GroupBox1, "DbPassword", {118, 112, 232, 21}, true);
  Label4->setBuddy(DbPassword);

  for (QLabel* caption : {Label1, Label2, Label3, Label4}) FitCaption(caption);

  Button1 = new QPushButton(QStringLiteral("Ok"), GroupBox1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(197, 138, 75, 25);
  Button1->setDefault(true);
  Button1->setAutoDefault(true);
  Button2 = new QPushButton(QStringLiteral("Cancel"), GroupBox1);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(276, 138, 75, 25);
  Button2->setAutoDefault(false);

  // Tab order: Username, Password, DbPassword, (DatabaseName), Ok, Cancel.
  DatabaseName->setFocusPolicy(Qt::NoFocus);
  setTabOrder(Username, Password);
  setTabOrder(Password, DbPassword);
  setTabOrder(DbPassword, Button1);
  setTabOrder(Button1, Button2);

  connect(Button1, &QPushButton::clicked, this, &TDbLogin::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TDbLogin::Button2Click);

  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  Username->setFocus();
}

void TDbLogin::SetDatabaseName(const QString& path) {
  DatabaseName->setText(path);
  // Auto-size: as wide as the text needs; the frame clips what lies beyond
  // its right edge.
  const int needed = DatabaseName->fontMetrics().horizontalAdvance(path);
  DatabaseName->resize(std::max(needed, 1), DatabaseName->height());
}

void TDbLogin::Button1Click() { done(QDialog::Accepted); }

void TDbLogin::Button2Click() { done(QDialog::Rejected); }

std::optional<LoginAnswer> DialogCredentialsPrompt::AskCredentials(const LoginRequest& request) {
  // A fresh dialog per prompt, so no typed password survives into the next.
  TDbLogin dialog(parent_);
  dialog.SetDatabaseName(QString::fromStdString(request.databaseName));
  dialog.Username->setText(QString::fromStdString(request.userName));
  dialog.Password->clear();
  dialog.DbPassword->clear();
  dialog.Username->setFocus();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  LoginAnswer answer;
  answer.userName = dialog.Username->text().toStdString();
  answer.password = dialog.Password->text().toStdString();
  answer.databasePassword = dialog.DbPassword->text().toStdString();
  return answer;
}

void DialogCredentialsPrompt::ShowInformation(std::string_view message) {
  QMessageBox::information(
      parent_, QApplication::applicationDisplayName(),
      QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

}  // namespace corvid
