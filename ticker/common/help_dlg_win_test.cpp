#include "ticker/common/help_dlg_win.h"

#include <gtest/gtest.h>

#include <string>

#include "ticker/common/help_dlg_res.h"

namespace {

std::string FaceOf(HWND control) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
  LOGFONTA lf{};
  if (!font || !::GetObjectA(font, sizeof lf, &lf)) return std::string();
  return lf.lfFaceName;
}

TEST(HelpDlg, ShowsCaptionAndTextOnPaleYellowAndReadsThemBackOnOk) {
  const std::string text = "\r\n【スタート／停止】\r\n\r\n　表示をＯＮ／ＯＦＦします。\r\n";
  CHelpDlg dlg(" Zellora ﾍﾙﾌﾟ", text);
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND wnd = dlg.GetHwnd();
  char title[64] = {};
  ::GetWindowTextA(wnd, title, sizeof title);
  EXPECT_STREQ(title, " Zellora ﾍﾙﾌﾟ");
  EXPECT_EQ(dlg.GetItemText(IDC_HELP_TEXT), text);
  EXPECT_EQ(FaceOf(dlg.GetItem(IDC_HELP_TEXT)), "ＭＳ ゴシック");

  // The box answers the text's colour request with the background colour.
  HDC dc = ::GetDC(dlg.GetItem(IDC_HELP_TEXT));
  LRESULT brush = ::SendMessageA(wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(dlg.GetItem(IDC_HELP_TEXT)));
  EXPECT_EQ(::GetBkColor(dc), CHelpDlg::kBackground);
  LOGBRUSH lb{};
  ASSERT_TRUE(::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof lb, &lb));
  EXPECT_EQ(lb.lbColor, CHelpDlg::kBackground);
  ::ReleaseDC(dlg.GetItem(IDC_HELP_TEXT), dc);

  // The text fits: the control covers the box's width above the OK button.
  RECT box{}, item{};
  ::GetClientRect(wnd, &box);
  ::GetWindowRect(dlg.GetItem(IDC_HELP_TEXT), &item);
  EXPECT_GE(item.right - item.left, box.right - 2);

  dlg.SetItemText(IDC_HELP_TEXT, "changed");
  ::SendMessageA(wnd, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.text, "changed");
  EXPECT_EQ(dlg.caption, " Zellora ﾍﾙﾌﾟ");
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
}

}  // namespace
