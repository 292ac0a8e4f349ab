#include "ticker/display/ticker_thread_win.h"

#include <objbase.h>

#include <utility>

namespace {

// How long the shutdown waits for a window still being made.
constexpr DWORD kWindowWaitMs = 2000;

}  // namespace

CTickerThread::CTickerThread(std::string root)
    : dlg(std::move(root)), windowReady(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CTickerThread::~CTickerThread() {
  if (thread && !terminated) ::WaitForSingleObject(thread.Get(), 2000);
}

bool CTickerThread::Start() {
  if (thread || !windowReady) return false;
  finished = false;
  endRequested = false;
  ::ResetEvent(windowReady.Get());
  thread.Attach(::CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
  return thread.IsValid();
}

DWORD WINAPI CTickerThread::ThreadProc(void* self) noexcept {
  auto* me = static_cast<CTickerThread*>(self);
  try {
    me->Run();
  } catch (...) {
    me->finished = true;
  }
  ::SetEvent(me->windowReady.Get());
  return 0;
}

void CTickerThread::Run() {
  // The wallpaper picture is loaded with OleLoadPicture and a stream on this thread: COM must be
  // initialised on every thread that calls it, and a thread with windows is a single-threaded
  // apartment (it pumps the messages COM sends to its objects).
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  finished = false;
  if (dlg.Create(nullptr)) {
    ::SetEvent(windowReady.Get());
    // An exit that came before the window existed ends the loop at once.
    if (!endRequested) dlg.RunModalLoop();
    dlg.DestroyWindow();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  finished = true;
}

HWND CTickerThread::WaitForWindow(DWORD timeoutMs) const {
  if (HWND w = dlg.Window()) return w;
  if (!thread || !windowReady) return nullptr;
  ::WaitForSingleObject(windowReady.Get(), timeoutMs);
  return dlg.Window();
}

bool CTickerThread::Stop(DWORD closeSendMs, DWORD endWaitMs) {
  if (!thread) return true;
  if (finished && ::WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0) return true;
  endRequested = true;
  if (HWND wnd = WaitForWindow(kWindowWaitMs)) {
    // Sent with a limit: during a fetch the ticker thread reads nothing until the fetch ends.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(wnd, WM_CLOSE, 0, 0, SMTO_NORMAL, closeSendMs, &ignored);
    ::Sleep(100);
    if (::IsWindow(wnd)) ::PostMessageA(wnd, CTickerDlg::kEndLoopMessage, 1, 0);
  }
  if (::WaitForSingleObject(thread.Get(), endWaitMs) == WAIT_OBJECT_0 || finished) return true;
  Terminate();
  return false;
}

void CTickerThread::Terminate() {
  if (thread && !finished) {
    ::TerminateThread(thread.Get(), 1);
    terminated = true;
  }
  finished = true;
}
