// The setup helper's steps under Wine: ending tickers (windows with the ticker's title on threads
// of this process, which answer the exit command as the test tells them) and starting a program
// as the desktop's user. The real ticker and the setup program are the end-to-end test's.
#include "installer/setup_steps_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "support/ticker_link/ticker_link.h"
#include "tests/test_server.h"

namespace {

// A window titled like the ticker's main window, on a thread of its own. exitAfterMs: how long
// after the exit command it takes to go (-1: it never goes).
class FakeTicker {
 public:
  explicit FakeTicker(int exitAfterMs) : delay(exitAfterMs), thread([this] { Run(); }) {
    while (!ready) ::Sleep(5);
  }
  ~FakeTicker() {
    if (::IsWindow(wnd)) ::PostMessageA(wnd, WM_CLOSE, 0, 0);
    thread.join();
  }
  FakeTicker(const FakeTicker&) = delete;
  FakeTicker& operator=(const FakeTicker&) = delete;

  HWND Window() const { return wnd; }
  std::atomic<int> exitCommands{0};

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FakeTicker*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
    if (self && msg == WM_COMMAND && wParam == static_cast<WPARAM>(ticker_link::kExitCommand)) {
      ++self->exitCommands;
      if (self->delay >= 0) ::SetTimer(w, 1, static_cast<UINT>(self->delay), nullptr);
      return 0;
    }
    if (msg == WM_TIMER) {
      ::DestroyWindow(w);
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcA(w, msg, wParam, lParam);
  }
  void Run() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "SetupStepsFakeTicker";
    ::RegisterClassA(&wc);
    wnd = ::CreateWindowExA(0, wc.lpszClassName, ticker_link::kWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                            nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready = true;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  }

  int delay;
  HWND wnd = nullptr;
  std::atomic<bool> ready{false};
  std::thread thread;
};

ULONGLONG Since(ULONGLONG start) {
  return ::GetTickCount64() - start;
}

TEST(CloseRunningTickers, WaitsUntilEveryTickerIsGone) {
  // None running: done without waiting for the limit.
  ULONGLONG start = ::GetTickCount64();
  EXPECT_TRUE(setup_steps::CloseRunningTickers(10000));
  EXPECT_LT(Since(start), 5000u);

  // Two, one slower than the other: both asked once, and the wait lasts until the slower is gone.
  FakeTicker quick(200), slow(1200);
  start = ::GetTickCount64();
  EXPECT_TRUE(setup_steps::CloseRunningTickers(10000));
  EXPECT_GE(Since(start), 1200u);
  EXPECT_FALSE(::IsWindow(quick.Window()));
  EXPECT_FALSE(::IsWindow(slow.Window()));
  EXPECT_EQ(quick.exitCommands, 1);
  EXPECT_EQ(slow.exitCommands, 1);
}

TEST(CloseRunningTickers, ReportsATickerThatStaysAfterTheLimit) {
  FakeTicker stubborn(-1);
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(setup_steps::CloseRunningTickers(700));
  EXPECT_GE(Since(start), 700u);
  EXPECT_LT(Since(start), 5000u);
  EXPECT_TRUE(::IsWindow(stubborn.Window()));
  EXPECT_EQ(stubborn.exitCommands, 1) << "asked once, not flooded";
}

// Runs a program of the build to its end: its exit code, or -1.
int RunProgram(const std::string& commandLine) {
  std::string line = commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return -1;
  }
  ::WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string BuildPath(const std::string& relative) {
  return TestHttpServer::LocalPath(std::string(ZELLORA_BINARY_DIR) + "/" + relative);
}

TEST(ZelloraHelper, StartsAProgramOnceInItsFolderAndSaysHow) {
  // A copy of the probe program in a folder of its own with a blank in its name; it records its
  // command line beside itself.
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "setup steps " + std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryA(folder.c_str(), nullptr);
  const std::string program = folder + "\\ticker.exe";
  ASSERT_TRUE(::CopyFileA(BuildPath("catalogue/install_probe.exe").c_str(), program.c_str(), FALSE));

  const std::string helper = "\"" + BuildPath("installer/zellora_helper.exe") + "\"";
  const int route = RunProgram(helper + " start \"" + program + "\"");
  // Wine's desktop process answers the shell's way too (0); without a desktop shell the helper
  // starts the program itself and says so (2).
  EXPECT_TRUE(route == 0 || route == 2) << route;
  std::printf("started %s\n", route == 0 ? "through the desktop's shell" : "directly");
  std::string ran;
  for (int i = 0; i < 250 && ran.empty(); ++i) {
    ran = TestHttpServer::ReadFile(program + ".ran");
    ::Sleep(20);
  }
  EXPECT_EQ(ran, "\"" + program + "\"");

  // A program that is not there is not started, and a command the helper does not know is
  // refused.
  EXPECT_EQ(RunProgram(helper + " start \"" + folder + "\\missing.exe\""), 1);
  EXPECT_EQ(RunProgram(helper + " start"), 3);
  EXPECT_EQ(RunProgram(helper + " close soon"), 3);
  EXPECT_EQ(RunProgram(helper + " remove"), 3);
  EXPECT_EQ(RunProgram(helper + " close 100"), 0) << "no ticker runs";

  ::DeleteFileA((program + ".ran").c_str());
  ::DeleteFileA(program.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace
