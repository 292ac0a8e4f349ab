// The ticker's hidden main window (titled ticker_link::kWindowTitle): a modeless dialog that is never shown.
// It is the address other processes post to, and it owns the tray icon, the pop-up menu and the ticker
// thread. Command 1 (exit), command 2 and WM_CLOSE end its loop; Shutdown then tears it down.
#pragma once

#include <windows.h>

#include "support/win/dialog.h"

class CZelloraDlg : public win::CDialog {
 public:
  CZelloraDlg();
  ~CZelloraDlg() override;

  // The orderly end, run once (after the loop, or when Windows ends the session): the tray
  // icon goes first so that no menu command arrives any more, then the ticker window is closed
  // and its thread awaited, then this window is destroyed.
  void Shutdown();

 protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void RemoveTrayIcon();
  void StopTicker();

  bool shutDown = false;
};
