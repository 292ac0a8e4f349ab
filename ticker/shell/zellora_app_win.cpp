#include "ticker/shell/zellora_app_win.h"

#include <ole2.h>
#include <winsock2.h>

#include "ticker/res/resource.h"
#include "ticker/shell/zellora_dlg_win.h"

CZelloraApp* CZelloraApp::current = nullptr;

CZelloraApp::CZelloraApp(HINSTANCE module) : instance(module) {
  current = this;
}

CZelloraApp::~CZelloraApp() {
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

bool CZelloraApp::RunMainWindow() {
  CZelloraDlg dlg;
  if (!dlg.Create(nullptr)) return false;
  mainWindow = dlg.GetHwnd();
  dlg.RunModalLoop();
  dlg.Shutdown();
  mainWindow = nullptr;
  return true;
}
