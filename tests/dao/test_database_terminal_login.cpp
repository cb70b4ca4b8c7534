// The terminal credentials prompt, driven through a pseudo-terminal: the
// passwords are read with echo off (and echo comes back), Enter keeps the
// pre-filled user name, end of input or no terminal at all cancel.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dao/terminal_login.h"

namespace corvid {
namespace {

// A pseudo-terminal pair; the test plays the user on the master side.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) master_ = slave_ = -1;
  }
  ~PseudoTerminal() {
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  bool Ok() const { return master_ >= 0; }
  int Master() const { return master_; }
  int Slave() const { return slave_; }

 private:
  int master_ = -1;
  int slave_ = -1;
};

// Plays a user: waits for each prompt text in the terminal's output, then
// types the answer. Collects everything the terminal showed.
class User {
 public:
  User(int master, std::vector<std::pair<std::string, std::string>> script)
      : master_(master), script_(std::move(script)), thread_([this] { Run(); }) {}
  ~User() {
    if (thread_.joinable()) thread_.join();
  }
  std::string Shown() {
    if (thread_.joinable()) thread_.join();
    return shown_;
  }

 private:
  void Run() {
    std::size_t next = 0;
    std::size_t searchFrom = 0;
    // Bounded wait so that a broken prompt fails the test instead of hanging.
    for (int idle = 0; idle < 100;) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) {
        if (next == script_.size()) return;
        ++idle;
        continue;
      }
      char buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return;
      shown_.append(buffer, static_cast<std::size_t>(n));
      while (next < script_.size()) {
        const auto at = shown_.find(script_[next].first, searchFrom);
        if (at == std::string::npos) break;
        searchFrom = at + script_[next].first.size();
        const std::string& keys = script_[next].second;
        (void)!write(master_, keys.data(), keys.size());
        ++next;
      }
    }
  }

  int master_;
  std::vector<std::pair<std::string, std::string>> script_;
  std::string shown_;
  std::thread thread_;
};

bool EchoOn(int fd) {
  termios t{};
  tcgetattr(fd, &t);
  return (t.c_lflag & ECHO) != 0;
}

TEST(TerminalLoginTest, PasswordsAreReadWithoutEchoAndEchoComesBack) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ok());
  ASSERT_TRUE(EchoOn(pty.Slave()));
  TerminalLogin prompt(pty.Slave(), pty.Slave());
  User user(pty.Master(), {{"User Name [Admin]: ", "märta\n"},
                           {"\nPassword: ", "s3cret word\n"},
                           {"Database Password: ", "dbpw;x\n"}});
  const auto answer = prompt.AskCredentials({"/data/photos.mdb", "Admin"});
  const std::string shown = user.Shown();
  ASSERT_TRUE(answer.has_value()) << shown;
  EXPECT_EQ(answer->userName, "märta");
  EXPECT_EQ(answer->password, "s3cret word");
  EXPECT_EQ(answer->databasePassword, "dbpw;x");
  EXPECT_NE(shown.find("/data/photos.mdb"), std::string::npos);
  EXPECT_NE(shown.find("märta"), std::string::npos) << "the user name is echoed";
  EXPECT_EQ(shown.find("s3cret"), std::string::npos) << "password echoed: " << shown;
  EXPECT_EQ(shown.find("dbpw"), std::string::npos) << "database password echoed: " << shown;
  EXPECT_TRUE(EchoOn(pty.Slave())) << "echo must be restored";
}

TEST(TerminalLoginTest, EnterKeepsThePrefilledUserNameAndEmptyPasswordsAreAccepted) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ok());
  TerminalLogin prompt(pty.Slave(), pty.Slave());
  User user(pty.Master(),
            {{"User Name [Admin]: ", "\n"}, {"\nPassword: ", "\n"}, {"Database Password: ", "\n"}});
  const auto answer = prompt.AskCredentials({"x.mdb", "Admin"});
  user.Shown();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->userName, "Admin");
  EXPECT_EQ(answer->password, "");
  EXPECT_EQ(answer->databasePassword, "");
}

TEST(TerminalLoginTest, EndOfInputCancelsAtEveryQuestionAndRestoresEcho) {
  // Ctrl-D on an empty line is the end of input of a terminal.
  const std::vector<std::vector<std::pair<std::string, std::string>>> scripts = {
      {{"User Name: ", "\x04"}},
      {{"User Name: ", "bob\n"}, {"\nPassword: ", "\x04"}},
      {{"User Name: ", "bob\n"}, {"\nPassword: ", "pw\n"}, {"Database Password: ", "\x04"}},
  };
  for (const auto& script : scripts) {
    SCOPED_TRACE(script.size());
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Ok());
    TerminalLogin prompt(pty.Slave(), pty.Slave());
    User user(pty.Master(), script);
    EXPECT_FALSE(prompt.AskCredentials({"x.mdb", ""}).has_value());
    user.Shown();
    EXPECT_TRUE(EchoOn(pty.Slave()));
  }
}

TEST(TerminalLoginTest, CtrlCWhileAPasswordIsTypedLeavesTheTerminalEchoing) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ok());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TerminalLogin prompt(pty.Slave(), pty.Slave());
    prompt.AskCredentials({"x.mdb", ""});
    _exit(0);
  }
  // Answer the user name, then interrupt at the password question.
  std::string shown;
  bool interrupted = false;
  for (int idle = 0; idle < 100 && !interrupted;) {
    pollfd p{pty.Master(), POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      ++idle;
      continue;
    }
    char buffer[256];
    const ssize_t n = read(pty.Master(), buffer, sizeof buffer);
    if (n <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(n));
    if (shown.find("User Name: ") != std::string::npos && shown.find("bob") == std::string::npos)
      (void)!write(pty.Master(), "bob\n", 4);
    if (shown.find("\nPassword: ") != std::string::npos) {
      kill(child, SIGINT);
      interrupted = true;
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(interrupted) << shown;
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "the interrupt still ends it";
  EXPECT_TRUE(EchoOn(pty.Slave())) << "echo left off after Ctrl-C";
}

TEST(TerminalLoginTest, WithoutATerminalThePromptIsCancelled) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  (void)!write(pipeFds[1], "user\npw\ndb\n", 11);
  TerminalLogin prompt(pipeFds[0], pipeFds[1]);
  EXPECT_FALSE(prompt.AskCredentials({"x.mdb", "Admin"}).has_value());
  // Nothing was consumed from the non-terminal input.
  char buffer[16];
  EXPECT_EQ(read(pipeFds[0], buffer, sizeof buffer), 11);
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST(TerminalLoginTest, InformationDropsTheCarriageReturns) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  TerminalLogin prompt(-1, pipeFds[1]);
  prompt.ShowInformation("Cannot find Database:\r\n/tmp/x.mdb");
  close(pipeFds[1]);
  std::string shown(64, '\0');
  shown.resize(static_cast<std::size_t>(read(pipeFds[0], shown.data(), shown.size())));
  close(pipeFds[0]);
  EXPECT_EQ(shown, "Cannot find Database:\n/tmp/x.mdb\n");
}

}  // namespace
}  // namespace corvid
