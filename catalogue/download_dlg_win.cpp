#include "catalogue/download_dlg_win.h"

#include <commctrl.h>

#include "catalogue/res/resource.h"

void CentreOnOwner(HWND dialog) {
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  RECT own = {}, mine = {}, work = {};
  if (!owner || !::GetWindowRect(owner, &own) || !::GetWindowRect(dialog, &mine)) return;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int w = mine.right - mine.left, h = mine.bottom - mine.top;
  int x = own.left + (own.right - own.left - w) / 2;
  int y = own.top + (own.bottom - own.top - h) / 2;
  if (work.right > work.left) {
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
  }
  ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDownloadDlg::CDownloadDlg(int& cancelFlag) : CDialog(IDD_DOWNLOAD), cancel(cancelFlag) {}

bool CDownloadDlg::OnInitDialog() {
  CentreOnOwner(GetHwnd());
  // The control plays by itself once the clip is open (auto-play style).
  ::SendMessageA(GetItem(IDC_ANIMATION), ACM_OPENA, reinterpret_cast<WPARAM>(GetInstance()),
                 reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_DOWNLOAD_AVI)));
  Refresh();
  return true;
}

void CDownloadDlg::OnCancel() {
  ::SendMessageA(GetItem(IDC_ANIMATION), ACM_STOP, 0, 0);
  if (GetHwnd()) ::ShowWindow(GetHwnd(), SW_HIDE);
  cancel = 1;
  // The window itself stays until the download code closes it: it still talks to it.
}

void CDownloadDlg::Close() {
  if (!GetHwnd()) return;
  ::SendMessageA(GetItem(IDC_ANIMATION), ACM_STOP, 0, 0);
  ::ShowWindow(GetHwnd(), SW_HIDE);
  DestroyWindow();
}

void CDownloadDlg::SetStatus(const std::string& text) {
  status = text;
  Refresh();
}

void CDownloadDlg::SetRate(const std::string& text) {
  rate = text;
  Refresh();
}

void CDownloadDlg::SetRemaining(const std::string& text) {
  remaining = text;
  Refresh();
}

void CDownloadDlg::Refresh() {
  if (!GetHwnd()) return;
  SetItemText(IDC_STATUS, status);
  SetItemText(IDC_RATE, rate);
  SetItemText(IDC_REMAINING, remaining);
}

void CDownloadDlg::SetProgressRange(std::uint64_t length) {
  shift = 0;
  while ((length >> shift) > 0x7FFFFFFFu) ++shift;
  ::SendMessageA(GetItem(IDC_PROGRESS), PBM_SETRANGE32, 0, static_cast<LPARAM>(length >> shift));
}

void CDownloadDlg::SetProgressPosition(std::uint64_t position) {
  ::SendMessageA(GetItem(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position >> shift), 0);
}
