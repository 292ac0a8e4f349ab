#include "companion/app/zellmate_dlg_win.h"

#include "companion/app/auto_proxy_win.h"
#include "companion/res/resource.h"

namespace zellmate {

CZellmateDlg::CZellmateDlg()
    : CDialog(IDD_ZELLMATE_DIALOG),
      icon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CZellmateDlg::~CZellmateDlg() {
  // An object that outlives the window (released only when OLE shuts down) must not reach back.
  if (m_pAutoProxy) m_pAutoProxy->m_pDialog = nullptr;
  DestroyWindow();
}

bool CZellmateDlg::OnInitDialog() {
  ::SendMessageA(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageA(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  return true;
}

bool CZellmateDlg::CanExit() {
  if (!m_pAutoProxy) return true;
  ::ShowWindow(GetHwnd(), SW_HIDE);
  return false;
}

void CZellmateDlg::OnOK() {
  if (CanExit()) CDialog::OnOK();
}

void CZellmateDlg::OnCancel() {
  if (CanExit()) CDialog::OnCancel();
}

void CZellmateDlg::OnClose() {
  if (CanExit()) CDialog::OnCancel();
}

bool CZellmateDlg::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg == WM_QUERYDRAGICON) {
    result = reinterpret_cast<LRESULT>(icon);
    return true;
  }
  if (msg == WM_PAINT && ::IsIconic(GetHwnd())) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(GetHwnd(), &ps);
    ::SendMessageA(GetHwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(GetHwnd(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(GetHwnd(), &ps);
    result = 0;
    return true;
  }
  return false;
}

}  // namespace zellmate
