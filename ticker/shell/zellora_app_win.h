// Zellora's application object: runs the whole life of the program (see startup.h) with the
// Windows side of each step.
#pragma once

#include <windows.h>

#include <string>

#include "ticker/shell/startup.h"

class CZelloraApp : public startup::AppHost {
 public:
  explicit CZelloraApp(HINSTANCE instance);
  ~CZelloraApp() override;
  CZelloraApp(const CZelloraApp&) = delete;
  CZelloraApp& operator=(const CZelloraApp&) = delete;

  // The process exit code.
  int Run();

  // The application's main window while it exists, else null.
  HWND MainWindow() const { return mainWindow; }
  // The one application object of the process, or null outside Run's lifetime.
  static CZelloraApp* Current() { return current; }

  bool InitSockets() override;
  void ReportSocketFailure() override;
  void InitControlHosting() override;
  std::string CommandLine() override;
  ticker_link::TickerAddress& Ticker() override;
  void Sleep(unsigned milliseconds) override;
  unsigned long long NowMs() override;
  bool ClaimInstance() override;
  bool AskTickerToShowItself() override;
  bool RunMainWindow(bool firstRun) override;

 private:
  HINSTANCE instance;
  bool socketsUp = false;
  bool oleUp = false;
  HANDLE instanceLock = nullptr;
  bool instanceOwned = false;
  HWND mainWindow = nullptr;
  static CZelloraApp* current;
};
