#include "ticker/display/ticker_thread_win.h"

CTickerThread::~CTickerThread() {
  if (thread && !terminated) ::WaitForSingleObject(thread.Get(), 2000);
}

bool CTickerThread::Start() {
  if (thread) return false;
  finished = false;
  thread.Attach(::CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
  return thread.IsValid();
}

DWORD WINAPI CTickerThread::ThreadProc(void* self) noexcept {
  try {
    static_cast<CTickerThread*>(self)->Run();
  } catch (...) {
    static_cast<CTickerThread*>(self)->finished = true;
  }
  return 0;
}

void CTickerThread::Run() {
  finished = false;
  if (dlg.Create(nullptr)) {
    dlg.RunModalLoop();
    dlg.DestroyWindow();
  }
  finished = true;
}

void CTickerThread::Terminate() {
  if (thread && !finished) {
    ::TerminateThread(thread.Get(), 1);
    terminated = true;
  }
  finished = true;
}

HWND CTickerThread::WaitForWindow(DWORD timeoutMs) const {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (HWND w = dlg.Window()) return w;
    if (finished || ::GetTickCount() - start >= timeoutMs) return nullptr;
    ::Sleep(10);
  }
}
