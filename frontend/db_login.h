#pragma once
// TDbLogin: the modal "Database Login" dialog that collects a user name, a
// password and a database password. It validates nothing; the connection
// fills it, shows it and reads it (through DialogCredentialsPrompt).

#include <QDialog>
#include <optional>

#include "dao/login_prompt.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvid {

class TDbLogin : public QDialog {
  Q_OBJECT

 public:
  explicit TDbLogin(QWidget* parent = nullptr);

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLabel* DatabaseName;  // the database path; widens to fit, clipped by the frame
  QFrame* Bevel1;
  QLabel* Label2;
  QLineEdit* Username;
  QLabel* Label3;
  QLineEdit* Password;
  QFrame* Bevel2;
  QLabel* Label4;
  QLineEdit* DbPassword;
  QPushButton* Button1;  // "Ok", the default button
  QPushButton* Button2;  // "Cancel", also Escape and the close box

  // Sets the database line and widens the static text to fit the path.
  void SetDatabaseName(const QString& path);

 public slots:
  void Button1Click();
  void Button2Click();
};

// The connection's credentials prompt for the window: a fresh TDbLogin per
// prompt, and information boxes captioned with the application title.
class DialogCredentialsPrompt : public CredentialsPrompt {
 public:
  explicit DialogCredentialsPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  std::optional<LoginAnswer> AskCredentials(const LoginRequest& request) override;
  void ShowInformation(std::string_view message) override;

 private:
  QWidget* parent_;
};

}  // namespace corvid
