// The ticker's own user-interface thread: it makes the ticker window, runs its loop until the
// window is closed, and then sets finished. The main window owns it and reads finished at
// shutdown.
#pragma once

#include <windows.h>

#include <atomic>

#include "support/win/handles.h"
#include "ticker/display/ticker_dlg_win.h"

class CTickerThread {
 public:
  CTickerThread() = default;
  // Waits briefly for a thread that has finished its window; a thread that never finished was
  // terminated by the main window and is not waited for.
  ~CTickerThread();
  CTickerThread(const CTickerThread&) = delete;
  CTickerThread& operator=(const CTickerThread&) = delete;

  // Starts the thread (default stack, no flags). False when it runs already or cannot start.
  bool Start();
  // Ends the thread where it stands: the last resort of the shutdown. Sets finished.
  void Terminate();
  bool IsStarted() const { return thread.IsValid(); }
  // Waits up to timeoutMs for the ticker window to exist; its handle, or null.
  HWND WaitForWindow(DWORD timeoutMs) const;

  std::atomic<bool> finished{false};
  CTickerDlg dlg;

 private:
  static DWORD WINAPI ThreadProc(void* self) noexcept;
  void Run();

  win::CKernelHandle thread;
  bool terminated = false;
};
