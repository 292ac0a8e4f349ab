// The ticker program's start: command-line switches, the silent uninstall and the order of the
// start-up steps. The platform work (sockets, control hosting, the main window, sleeping) is
// behind AppHost, so the whole sequence runs in tests.
#pragma once

#include <string>
#include <string_view>

#include "support/ticker_link/ticker_address.h"
#include "ticker/common/settings.h"

namespace startup {

enum class CommandSwitch { kNone, kRegist, kUnregist };

// Upper-cases the whole command line (program path included, Shift_JIS-aware) and looks for
// "/REGIST" anywhere in it, then for "/UNREGIST". ("/UNREGIST" does not contain "/REGIST".)
CommandSwitch EvaluateCommandLine(std::string_view commandLine);

class AppHost {
 public:
  virtual ~AppHost() = default;
  // Windows Sockets; false when they cannot be used.
  virtual bool InitSockets() = 0;
  // Tells the user that the sockets failed (a message box).
  virtual void ReportSocketFailure() = 0;
  // Lets windows host ActiveX controls (the URL selection dialog's web browser).
  virtual void InitControlHosting() = 0;
  // The process command line, as the system gives it.
  virtual std::string CommandLine() = 0;
  // Running tickers, for the uninstall run.
  virtual ticker_link::TickerAddress& Ticker() = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
  // A clock in milliseconds (any start).
  virtual unsigned long long NowMs() = 0;
  // Takes this session's ticker lock, which a ticker holds from its start to its end; true once
  // this process holds it (or when the lock cannot be made at all: it never keeps a ticker from
  // starting), false while another process holds it.
  virtual bool ClaimInstance() = 0;
  // Asks the ticker whose main window exists to show its tray icon's balloon. True when it
  // answered that it runs on; false when it is ending, hangs or there is none.
  virtual bool AskTickerToShowItself() = 0;
  // Creates the hidden main window, runs it until it is told to end and shuts it down in order.
  // firstRun: the first-run defaults were written by this start. False when the window could not
  // be made.
  virtual bool RunMainWindow(bool firstRun) = 0;
};

// The silent uninstall: up to two times, asks a running ticker to exit and waits a second; then
// deletes the key at root ("Zellora" under its parent key) with everything below it. Returns the
// number of tickers asked.
int Uninstall(AppHost& host, const char* root = ticker_link::kRootPath);

// Whether this start may become the session's ticker. A ticker that runs on is asked to show
// where it is, and this start ends; one that is ending (or still starting) is waited for, up to
// kInstanceWaitMs, looking every kInstanceStepMs.
constexpr unsigned kInstanceWaitMs = 10000;
constexpr unsigned kInstanceStepMs = 250;
bool TakeInstance(AppHost& host);

// The program's whole life. Returns the process exit code: 0 after a normal run, an uninstall or
// a start that left the running ticker alone; 1 when the sockets or the main window failed.
int RunApplication(AppHost& host, const char* root = ticker_link::kRootPath);

}  // namespace startup
