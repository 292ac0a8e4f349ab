#include "ticker/shell/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry/registry.h"

namespace {

using startup::CommandSwitch;
using startup::EvaluateCommandLine;

TEST(StartupCommandLine, SwitchesAnywhereInAnyCase) {
  EXPECT_EQ(EvaluateCommandLine("\"C:\\Program Files\\Zellora\\Zellora.exe\""), CommandSwitch::kNone);
  EXPECT_EQ(EvaluateCommandLine(""), CommandSwitch::kNone);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /REGIST"), CommandSwitch::kRegist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /regist"), CommandSwitch::kRegist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /ReGiSt"), CommandSwitch::kRegist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /UNREGIST"), CommandSwitch::kUnregist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /unregist"), CommandSwitch::kUnregist);
  // A substring is enough, and "/REGIST" is looked for first.
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe/registered"), CommandSwitch::kRegist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /unregist /regist"), CommandSwitch::kRegist);
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe -regist unregist"), CommandSwitch::kNone);
  // Japanese folder names: "表" and "ソ" end in a backslash byte, "ャ" ends in 0x83. Upper-casing
  // leaves them alone and the switch after them is still found.
  EXPECT_EQ(EvaluateCommandLine("\"C:\\表ソ\\ャ\\Zellora.exe\" /unregist"), CommandSwitch::kUnregist);
  // "ｒ" (0x82 0x92) is no "r"; full-width letters are not a switch.
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe ／ｒｅｇｉｓｔ"), CommandSwitch::kNone);
  // A trail byte that looks like a letter does not start a match ("ウ" is 0x83 0x45 = 'E').
  EXPECT_EQ(EvaluateCommandLine("Zellora.exe /REGIウST"), CommandSwitch::kNone);
}

// Stands in for the platform: records what the run did, and plays running tickers.
class FakeHost : public startup::AppHost, public ticker_link::TickerAddress {
 public:
  bool socketsWork = true;
  bool windowWorks = true;
  int runningTickers = 0;
  std::string commandLine = "\"C:\\Zellora\\Zellora.exe\"";
  std::string root;  // checked when the main window runs

  std::vector<std::string> calls;
  bool postFails = false;  // the window is there, but its queue takes nothing
  std::vector<int> posted;
  std::vector<unsigned> sleeps;
  bool setupAtWindow = false;
  bool firstRunAtWindow = false;

  // Another ticker of the session: its lock (held for so many more sleeps, -1 for ever), whether
  // its window answers, and after how many sleeps its window appears (a ticker still starting)
  // or goes (one that is ending); -1: never.
  int lockHeldSleeps = 0;
  bool answers = false;
  int windowAppearsAfter = -1;
  int windowGoesAfter = -1;
  int asked = 0;

  bool InitSockets() override {
    calls.push_back("sockets");
    return socketsWork;
  }
  void ReportSocketFailure() override { calls.push_back("socket-message"); }
  void InitControlHosting() override { calls.push_back("hosting"); }
  std::string CommandLine() override {
    calls.push_back("command-line");
    return commandLine;
  }
  ticker_link::TickerAddress& Ticker() override { return *this; }
  void Sleep(unsigned ms) override {
    sleeps.push_back(ms);
    const int n = static_cast<int>(sleeps.size());
    if (n == windowAppearsAfter) runningTickers = 1;
    if (n == windowGoesAfter) runningTickers = 0;
  }
  unsigned long long NowMs() override {
    unsigned long long ms = 0;
    for (unsigned slept : sleeps) ms += slept;
    return ms;
  }
  bool ClaimInstance() override {
    return lockHeldSleeps >= 0 && static_cast<int>(sleeps.size()) >= lockHeldSleeps;
  }
  bool AskTickerToShowItself() override {
    ++asked;
    return runningTickers > 0 && answers;
  }
  bool RunMainWindow(bool firstRun) override {
    calls.push_back("window");
    CRegistry reg(root.c_str());
    setupAtWindow = reg.ValueExists("", "bSetup");
    firstRunAtWindow = firstRun;
    return windowWorks;
  }
  bool IsRunning() override { return runningTickers > 0; }
  bool PostCommand(int command) override {
    if (runningTickers == 0) return false;
    if (postFails) return false;
    posted.push_back(command);
    --runningTickers;  // that ticker exits
    return true;
  }
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name = std::string("startup.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    parentPath = std::string(kTop) + "\\" + name;
    root = parentPath + "\\Zellora";
    host.root = root;
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    CRegistry top(kTop);
    top.DeleteKey(name.c_str());
  }
  bool KeyExists(const std::string& path) {
    CRegistry reg(path.c_str());
    return reg.ValueExists("", "");
  }
  void Seed() {
    CRegistry reg(root.c_str());
    ASSERT_TRUE(reg.WriteNumber("", "bSetup", 1));
    ASSERT_TRUE(reg.WriteString("URL_List\\URL00000000", "Title", "ニュース"));
    ASSERT_TRUE(reg.WriteNumber("Option", "Howto", 0));
  }

  static constexpr const char* kTop = "HKEY_CURRENT_USER\\Software\\ZelloraTests";
  std::string name, parentPath, root;
  FakeHost host;
};

TEST_F(StartupTest, NormalStartEnsuresDefaultsThenRunsTheWindow) {
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 0);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"sockets", "hosting", "command-line", "window"}));
  EXPECT_TRUE(host.setupAtWindow);
  EXPECT_TRUE(host.firstRunAtWindow);
  EXPECT_TRUE(host.posted.empty());
  EXPECT_EQ(host.asked, 0);
  EXPECT_TRUE(host.sleeps.empty());
  EXPECT_TRUE(KeyExists(root + "\\URL_List\\URL00000000"));

  // The next start finds the settings there: not a first run.
  FakeHost again;
  again.root = root;
  EXPECT_EQ(startup::RunApplication(again, root.c_str()), 0);
  EXPECT_FALSE(again.firstRunAtWindow);
}

TEST_F(StartupTest, ARunningTickerIsAskedToShowItselfAndNoSecondOneStarts) {
  // It runs on and answers (with or without the lock: a ticker of an older version has none).
  for (int lock : {-1, 0}) {
    FakeHost second;
    second.root = root;
    second.runningTickers = 1;
    second.answers = true;
    second.lockHeldSleeps = lock;
    EXPECT_EQ(startup::RunApplication(second, root.c_str()), 0);
    EXPECT_EQ(second.calls, (std::vector<std::string>{"sockets", "hosting", "command-line"}));
    EXPECT_EQ(second.asked, 1);
    EXPECT_TRUE(second.sleeps.empty()) << "it ends at once";
    EXPECT_TRUE(second.posted.empty());
  }
  EXPECT_FALSE(KeyExists(root)) << "nothing is written for a start that ends";

  // "/REGIST" is a start like any other.
  FakeHost regist;
  regist.commandLine = "Zellora.exe /REGIST";
  regist.runningTickers = 1;
  regist.answers = true;
  regist.lockHeldSleeps = -1;
  EXPECT_EQ(startup::RunApplication(regist, root.c_str()), 0);
  EXPECT_EQ(regist.asked, 1);
  EXPECT_EQ(regist.calls.back(), "command-line");

  // One that is still starting: its window appears and answers.
  FakeHost starting;
  starting.lockHeldSleeps = -1;
  starting.answers = true;
  starting.windowAppearsAfter = 2;
  EXPECT_FALSE(startup::TakeInstance(starting));
  EXPECT_EQ(starting.sleeps.size(), 2u);
  EXPECT_EQ(starting.asked, 1);
}

TEST_F(StartupTest, ATickerThatIsEndingIsWaitedForAndOneThatHangsIsLeftAlone) {
  // Ending: its window no longer answers, then goes, then its lock is let go; this start then
  // becomes the ticker.
  host.runningTickers = 1;
  host.windowGoesAfter = 3;
  host.lockHeldSleeps = 4;
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 0);
  EXPECT_EQ(host.calls.back(), "window");
  EXPECT_EQ(host.asked, 3);
  EXPECT_EQ(host.sleeps, (std::vector<unsigned>(4, startup::kInstanceStepMs)));

  // A window of a ticker without the lock that goes away: the lock was free all along.
  FakeHost older;
  older.runningTickers = 1;
  older.windowGoesAfter = 2;
  EXPECT_TRUE(startup::TakeInstance(older));
  EXPECT_EQ(older.sleeps.size(), 2u);

  // Hanging for good (window there, never answering, lock held): given up after the limit,
  // without a second ticker.
  for (bool window : {true, false}) {
    FakeHost hung;
    hung.runningTickers = window ? 1 : 0;
    hung.lockHeldSleeps = -1;
    EXPECT_FALSE(startup::TakeInstance(hung));
    EXPECT_EQ(hung.sleeps.size(), startup::kInstanceWaitMs / startup::kInstanceStepMs);
  }
  // Holding the lock with a window that never answers is no licence either.
  FakeHost stuck;
  stuck.runningTickers = 1;
  EXPECT_FALSE(startup::TakeInstance(stuck));
}

TEST_F(StartupTest, RegistSwitchStartsNormally) {
  host.commandLine += " /regist";
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 0);
  EXPECT_EQ(host.calls.back(), "window");
  EXPECT_TRUE(host.setupAtWindow);

  // With settings present it changes nothing.
  CRegistry reg(root.c_str());
  ASSERT_TRUE(reg.DeleteKey("URL_List"));
  FakeHost again;
  again.root = root;
  again.commandLine = "Zellora.exe /REGIST";
  EXPECT_EQ(startup::RunApplication(again, root.c_str()), 0);
  EXPECT_FALSE(KeyExists(root + "\\URL_List"));
}

TEST_F(StartupTest, SocketFailureEndsWithTheMessageAndTouchesNothing) {
  host.socketsWork = false;
  host.commandLine += " /UNREGIST";
  Seed();
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 1);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"sockets", "socket-message"}));
  EXPECT_TRUE(KeyExists(root));
}

TEST_F(StartupTest, MainWindowFailureIsAnError) {
  host.windowWorks = false;
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 1);
}

TEST_F(StartupTest, UnregistWithoutTickerDeletesEverythingAndMakesNoWindow) {
  Seed();
  CRegistry parent(parentPath.c_str());
  ASSERT_TRUE(parent.WriteNumber("Other", "Keep", 1));  // a sibling of Zellora's key
  host.commandLine += " /unregist";
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 0);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"sockets", "hosting", "command-line"}));
  EXPECT_TRUE(host.sleeps.empty());
  EXPECT_FALSE(KeyExists(root));
  EXPECT_TRUE(KeyExists(parentPath + "\\Other"));
  // Running it again with nothing to delete is harmless.
  FakeHost again;
  again.commandLine = "Zellora.exe /UNREGIST";
  EXPECT_EQ(startup::RunApplication(again, root.c_str()), 0);
  EXPECT_FALSE(KeyExists(root));
}

TEST_F(StartupTest, UnregistAsksAtMostTwoTickersOneSecondEach) {
  Seed();
  host.commandLine = "Zellora.exe /UNREGIST";
  host.runningTickers = 1;
  EXPECT_EQ(startup::RunApplication(host, root.c_str()), 0);
  EXPECT_EQ(host.posted, (std::vector<int>{1}));
  EXPECT_EQ(host.sleeps, (std::vector<unsigned>{1000}));
  EXPECT_FALSE(KeyExists(root));

  FakeHost crowd;
  crowd.runningTickers = 3;
  EXPECT_EQ(startup::Uninstall(crowd, root.c_str()), 2);
  EXPECT_EQ(crowd.posted, (std::vector<int>{1, 1}));
  EXPECT_EQ(crowd.sleeps, (std::vector<unsigned>{1000, 1000}));
  EXPECT_EQ(crowd.runningTickers, 1);

  // A window whose post fails is still a running ticker: it is slept on and asked again, and the
  // settings still go.
  Seed();
  FakeHost stuck;
  stuck.runningTickers = 1;
  stuck.postFails = true;
  EXPECT_EQ(startup::Uninstall(stuck, root.c_str()), 0);
  EXPECT_EQ(stuck.sleeps, (std::vector<unsigned>{1000, 1000}));
  EXPECT_FALSE(KeyExists(root));
}

TEST_F(StartupTest, UninstallOfAKeyWithoutParentDeletesNothing) {
  FakeHost quiet;
  // No parent to delete from: nothing happens, and nothing crashes.
  EXPECT_EQ(startup::Uninstall(quiet, "Zellora"), 0);
  EXPECT_EQ(startup::Uninstall(quiet, ""), 0);
  EXPECT_EQ(startup::Uninstall(quiet, "HKEY_CURRENT_USER\\"), 0);
}

}  // namespace
