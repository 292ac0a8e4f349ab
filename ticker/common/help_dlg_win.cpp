#include "ticker/common/help_dlg_win.h"

#include <utility>

#include "support/draw/fonts_win.h"
#include "support/win/dpi.h"
#include "ticker/common/help_dlg_res.h"

CHelpDlg::CHelpDlg(std::string captionText, std::string helpText)
    : CDialog(IDD_HELP_DIALOG), caption(std::move(captionText)), text(std::move(helpText)) {}

bool CHelpDlg::OnInitDialog() {
  ::SetWindowTextA(GetHwnd(), caption.c_str());
  SetItemText(IDC_HELP_TEXT, text);
  // At the DPI of the dialog's monitor, as the system scales the dialog itself.
  font.Attach(CreateStyledFont("ＭＳ ゴシック", 90, "標準", win::DpiOfWindow(GetHwnd())));
  if (font) ::SendMessageA(GetItem(IDC_HELP_TEXT), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  background.Attach(::CreateSolidBrush(kBackground));
  return true;
}

void CHelpDlg::OnOK() {
  char title[256] = {};
  ::GetWindowTextA(GetHwnd(), title, sizeof title);
  caption = title;
  text = GetItemText(IDC_HELP_TEXT);
  CDialog::OnOK();
}

bool CHelpDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == GetItem(IDC_HELP_TEXT) && background) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkColor(dc, kBackground);
    ::SetTextColor(dc, RGB(0, 0, 0));
    result = reinterpret_cast<LRESULT>(background.Get());
    return true;
  }
  return false;
}
