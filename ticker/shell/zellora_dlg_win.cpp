#include "ticker/shell/zellora_dlg_win.h"

#include "ticker/res/resource.h"

CZelloraDlg::CZelloraDlg() : CDialog(IDD_ZELLORA_DIALOG) {}

CZelloraDlg::~CZelloraDlg() {
  Shutdown();
}

bool CZelloraDlg::OnInitDialog() {
  // The window icon, big and small; LR_SHARED icons belong to the system, so nothing frees them.
  HANDLE big = ::LoadImageA(GetInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
  HANDLE small = ::LoadImageA(GetInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                              ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  if (big) ::SendMessageA(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) ::SendMessageA(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  return true;
}

bool CZelloraDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
  if (msg == WM_ENDSESSION) {
    // Windows is really ending: there may be no chance to leave the loop normally.
    if (wParam) Shutdown();
    result = 0;
    return true;
  }
  return false;
}

void CZelloraDlg::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  RemoveTrayIcon();
  StopTicker();
  DestroyWindow();
}

void CZelloraDlg::RemoveTrayIcon() {
  // The tray icon is added by the main window's initialisation; until it exists there is
  // nothing to remove.
}

void CZelloraDlg::StopTicker() {
  // The ticker thread is started by the main window's initialisation; until it exists there is
  // no ticker window to close and no thread to wait for.
}
