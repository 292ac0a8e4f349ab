#include "ticker/shell/zellora_app_win.h"

#include <ole2.h>
#include <winsock2.h>

#include "support/ticker_link/ticker_link.h"
#include "ticker/res/resource.h"
#include "ticker/shell/zellora_dlg_win.h"

CZelloraApp* CZelloraApp::current = nullptr;

namespace {

// How long a running ticker may take to answer a second start.
constexpr UINT kAskMs = 2000;

}  // namespace

CZelloraApp::CZelloraApp(HINSTANCE module) : instance(module) {
  current = this;
}

CZelloraApp::~CZelloraApp() {
  if (instanceLock) {
    if (instanceOwned) ::ReleaseMutex(instanceLock);
    ::CloseHandle(instanceLock);
  }
  if (oleUp) ::OleUninitialize();
  if (socketsUp) ::WSACleanup();
  if (current == this) current = nullptr;
}

int CZelloraApp::Run() {
  return startup::RunApplication(*this);
}

bool CZelloraApp::InitSockets() {
  WSADATA data;
  socketsUp = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  return socketsUp;
}

void CZelloraApp::ReportSocketFailure() {
  char text[256] = {};
  if (::LoadStringA(instance, IDS_SOCKETS_INIT_FAILED, text, sizeof text) <= 0) {
    lstrcpynA(text, "Windows ｿｹｯﾄの初期化に失敗しました。", sizeof text);
  }
  ::MessageBoxA(nullptr, text, "Zellora", MB_OK | MB_ICONEXCLAMATION);
}

void CZelloraApp::InitControlHosting() {
  // The URL selection dialog hosts the web browser control, which needs OLE (not just COM) on
  // this thread for in-place activation; the dialog builds its own control site on top of it.
  HRESULT hr = ::OleInitialize(nullptr);
  oleUp = SUCCEEDED(hr);
}

std::string CZelloraApp::CommandLine() {
  const char* line = ::GetCommandLineA();
  return line ? std::string(line) : std::string();
}

ticker_link::TickerAddress& CZelloraApp::Ticker() {
  return ticker_link::SystemTickerAddress();
}

void CZelloraApp::Sleep(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

unsigned long long CZelloraApp::NowMs() {
  return ::GetTickCount64();
}

bool CZelloraApp::ClaimInstance() {
  if (instanceOwned) return true;
  if (!instanceLock) {
    instanceLock = ::CreateMutexA(nullptr, FALSE, ticker_link::kInstanceLockName);
    // A lock that cannot be made (another account's, say) never keeps the ticker from starting.
    if (!instanceLock) return true;
  }
  // An abandoned lock (a ticker that was killed) is ours as well.
  const DWORD got = ::WaitForSingleObject(instanceLock, 0);
  instanceOwned = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  return instanceOwned;
}

bool CZelloraApp::AskTickerToShowItself() {
  HWND wnd = ::FindWindowA(nullptr, ticker_link::kWindowTitle);
  if (!wnd) return false;
  // Sent, not posted, so that the answer tells a ticker that runs on from one that is ending;
  // with a limit, and not to a hung window, so that a second start never hangs with it.
  DWORD_PTR answer = 0;
  const UINT msg = ::RegisterWindowMessageA(ticker_link::kShowItselfMessage);
  if (!msg || !::SendMessageTimeoutA(wnd, msg, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, kAskMs, &answer))
    return false;
  return answer == static_cast<DWORD_PTR>(ticker_link::kShowItselfAnswer);
}

bool CZelloraApp::RunMainWindow(bool firstRun) {
  CZelloraDlg dlg;
  dlg.showItselfAtStart = firstRun;
  if (!dlg.Create(nullptr)) return false;
  mainWindow = dlg.GetHwnd();
  dlg.RunModalLoop();
  dlg.Shutdown();
  mainWindow = nullptr;
  return true;
}
