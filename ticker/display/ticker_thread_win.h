// The ticker's own user-interface thread: it makes the ticker window, runs its loop until the
// window is closed, and then sets finished. The main window owns it, starts it, relays commands
// to its window and stops it at shutdown.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "support/ticker_link/ticker_link.h"
#include "support/win/handles.h"
#include "ticker/display/ticker_dlg_win.h"

class CTickerThread {
 public:
  // root: the registry key of the settings and the URL list (tests give their own).
  explicit CTickerThread(std::string root = ticker_link::kRootPath);
  // Waits briefly for a thread that has finished its window; a thread that never finished was
  // terminated and is not waited for.
  ~CTickerThread();
  CTickerThread(const CTickerThread&) = delete;
  CTickerThread& operator=(const CTickerThread&) = delete;

  // Starts the thread (default stack, no flags). False when it runs already or cannot start.
  bool Start();
  bool IsStarted() const { return thread.IsValid(); }
  // The ticker window once it exists: waits up to timeoutMs on the event the thread sets as soon
  // as its window exists (or it has ended without one). Null when there is none.
  HWND WaitForWindow(DWORD timeoutMs) const;

  // The orderly end: a window still being made is awaited, then closed (WM_CLOSE sent with a
  // limit of closeSendMs, the loop ended directly if the window is still there 100 ms later),
  // and the thread is given up to endWaitMs to end. A thread whose window never appears ends its
  // loop by itself as soon as it has made it. True when the thread ended by itself; false when
  // it had to be terminated (it may have died holding the heap's lock or a drawing surface's:
  // the caller must then end the process at once).
  bool Stop(DWORD closeSendMs = 1000, DWORD endWaitMs = 4000);

  std::atomic<bool> finished{false};
  CTickerDlg dlg;

 private:
  static DWORD WINAPI ThreadProc(void* self) noexcept;
  void Run();
  void Terminate();

  win::CKernelHandle thread;
  // Manual reset: set once the window exists or the thread has ended without one.
  win::CKernelHandle windowReady;
  std::atomic<bool> endRequested{false};
  bool terminated = false;
};
