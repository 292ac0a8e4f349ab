#include "ticker/shell/about_dlg_win.h"

#include <shellapi.h>

#include <cstdio>

#include "support/system/sysinfo.h"
#include "ticker/news/news_message.h"
#include "ticker/shell/about_dlg_res.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

bool CAboutDlg::OnInitDialog() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, sizeof path);
  int major = 0, minor = 0, build = 0, revision = 0;
  ReadFileVersion(path, major, minor, build, revision);
  char text[64];
  std::snprintf(text, sizeof text, "Zellora Version %d.%d", major, minor);
  SetItemText(IDC_ABOUT_VERSION, text);
  if (link.AttachDlgItem(GetHwnd(), IDC_ABOUT_LINK)) {
    link.SetTextColor(RGB(0, 0, 255));
    link.SetFont("ＭＳ ゴシック", 90, "標準|下線");
    link.EnableHandCursor(true);
  }
  return true;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_ABOUT_LINK && code == STN_CLICKED) {
    ::ShellExecuteA(GetHwnd(), "open", news::kMakerHomeUrl, nullptr, nullptr, SW_SHOW);
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}
