#include "support/draw/fonts_win.h"

#include <gtest/gtest.h>

#include <string>

#include "support/draw/font_style.h"
#include "support/win/handles.h"
#include "support/win/link_static.h"

namespace {

LOGFONTA Describe(HFONT font) {
  LOGFONTA lf{};
  GetObjectA(font, sizeof(lf), &lf);
  return lf;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// A parent window that records the commands it receives.
struct Parent {
  static inline WPARAM lastCommand = 0;
  static inline LPARAM lastCommandFrom = 0;
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
      lastCommand = wp;
      lastCommandFrom = lp;
      return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
  }
  Parent() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelloraLinkTestParent";
    RegisterClassA(&wc);
    wnd = CreateWindowExA(0, wc.lpszClassName, "link test", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                          nullptr, wc.hInstance, nullptr);
    link = CreateWindowExA(0, "STATIC", "リンク", WS_CHILD | WS_VISIBLE, 10, 10, 120, 20, wnd,
                           reinterpret_cast<HMENU>(1234), wc.hInstance, nullptr);
  }
  ~Parent() { DestroyWindow(wnd); }
  HWND wnd = nullptr;
  HWND link = nullptr;
};

}  // namespace

TEST(StyledFont, DescriptionReachesTheFont) {
  HFONT font = CreateStyledFont("ＭＳ ゴシック", 90, "標準|下線");
  ASSERT_NE(font, nullptr);
  LOGFONTA lf = Describe(font);
  EXPECT_EQ(lf.lfHeight, PointTenthsToHeight(90, ScreenDpi()));
  EXPECT_EQ(lf.lfWeight, 0);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_FALSE(lf.lfItalic || lf.lfStrikeOut);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, "ＭＳ ゴシック");
  // The face the system really uses answers to the Japanese name (the prefix maps it to an IPA font).
  {
    win::CMemoryDc dc(CreateCompatibleDC(nullptr));
    win::CSelectObject select(dc.Get(), font);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc.Get(), sizeof(face), face);
    EXPECT_STREQ(face, "ＭＳ ゴシック");
  }
  DeleteObject(font);

  font = CreateStyledFont("Arial", 120, "bold italic 取消線");
  lf = Describe(font);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_TRUE(lf.lfItalic && lf.lfStrikeOut);
  EXPECT_EQ(lf.lfHeight, -(ScreenDpi() * 120 / 720));
  DeleteObject(font);

  // A face of 40 double-byte characters is cut, never overrunning the field.
  std::string longFace;
  for (int i = 0; i < 40; ++i) longFace += "あ";
  font = CreateStyledFont(longFace, 90, "");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(std::string(Describe(font).lfFaceName), longFace.substr(0, 30));
  DeleteObject(font);
}

TEST(LinkStatic, ColoursFontCursorAndClicks) {
  Parent p;
  ASSERT_TRUE(p.link);
  CLinkStatic link;
  ASSERT_TRUE(link.Attach(p.link));
  EXPECT_FALSE(link.Attach(p.link)) << "one control per object";
  EXPECT_TRUE(GetWindowLongPtrA(p.link, GWL_STYLE) & SS_NOTIFY);

  HDC dc = GetDC(p.link);
  // Defaults: black text on a transparent background.
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageA(p.wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(p.link)));
  EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));

  link.SetTextColor(RGB(0, 0, 255));
  link.SetBkColor(RGB(255, 255, 224));
  brush = reinterpret_cast<HBRUSH>(
      SendMessageA(p.wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(p.link)));
  LOGBRUSH lb{};
  ASSERT_EQ(GetObjectA(brush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
  EXPECT_EQ(lb.lbColor, RGB(255, 255, 224));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
  // The reflected form gives the same answer.
  EXPECT_EQ(SendMessageA(p.link, CLinkStatic::kReflectedCtlColor, reinterpret_cast<WPARAM>(dc), 0),
            reinterpret_cast<LRESULT>(brush));
  link.SetBkColor(-1);
  brush = reinterpret_cast<HBRUSH>(
      SendMessageA(p.wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(p.link)));
  EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
  ReleaseDC(p.link, dc);

  ASSERT_TRUE(link.SetFont("ＭＳ ゴシック", 90, "標準|下線"));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(p.link, WM_GETFONT, 0, 0)), link.GetFont());
  EXPECT_TRUE(Describe(link.GetFont()).lfUnderline);

  // The hand cursor: system cursor size, active point in the top-left corner.
  EXPECT_FALSE(link.IsHandCursorEnabled());
  ASSERT_TRUE(link.EnableHandCursor(true));
  HCURSOR hand = CLinkStatic::HandCursor();
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(hand, CLinkStatic::HandCursor()) << "one cursor for the process";
  ICONINFO ii{};
  ASSERT_TRUE(GetIconInfo(hand, &ii));
  EXPECT_FALSE(ii.fIcon);
  EXPECT_EQ(ii.xHotspot, 0u);
  EXPECT_EQ(ii.yHotspot, 0u);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  EXPECT_EQ(SendMessageA(p.link, WM_SETCURSOR, reinterpret_cast<WPARAM>(p.link),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), hand);

  // A click reaches the parent as a command carrying the control's id.
  Parent::lastCommand = 0;
  SendMessageA(p.link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(p.link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(LOWORD(Parent::lastCommand), 1234);
  EXPECT_EQ(HIWORD(Parent::lastCommand), STN_CLICKED);
  EXPECT_EQ(Parent::lastCommandFrom, reinterpret_cast<LPARAM>(p.link));

  // Once detached the parent no longer answers for it.
  link.Detach();
  EXPECT_EQ(link.GetHwnd(), nullptr);
}

// The control's own font and brush are owned: replaced ones and the last ones are deleted, and
// the live-object count comes back to where it was.
TEST(LinkStatic, OwnsItsFontAndBrush) {
  const long fonts = win::LiveHandles(win::HandleKind::kFont);
  const long brushes = win::LiveHandles(win::HandleKind::kBrush);
  HFONT first = nullptr;
  {
    Parent p;
    CLinkStatic link;
    ASSERT_TRUE(link.Attach(p.link));
    ASSERT_TRUE(link.SetFont("ＭＳ ゴシック", 90, ""));
    first = link.GetFont();
    ASSERT_TRUE(link.SetFont("ＭＳ ゴシック", 120, "太字"));
    EXPECT_EQ(GetObjectType(first), 0u) << "the replaced font is deleted";
    link.SetBkColor(RGB(1, 2, 3));
    link.SetBkColor(RGB(4, 5, 6));
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kFont), fonts + 1);
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBrush), brushes + 1);
    link.SetBkColor(-1);
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBrush), brushes);
    first = link.GetFont();
  }
  EXPECT_EQ(GetObjectType(first), 0u) << "the last font goes with the control object";
  EXPECT_EQ(win::LiveHandles(win::HandleKind::kFont), fonts);
  EXPECT_EQ(win::LiveHandles(win::HandleKind::kBrush), brushes);
}

// In a dialog (the about boxes) the control answers the colour request ahead of the dialog
// procedure, and a click arrives as the dialog's command.
TEST(LinkStatic, WorksInsideADialog) {
  struct alignas(4) Template {
    DLGTEMPLATE dlg;
    WORD menu, cls, title;
    alignas(4) DLGITEMTEMPLATE item;
    WORD classMarker, classAtom, text[2], extra;
  } t{};
  t.dlg.style = WS_POPUP | DS_MODALFRAME;
  t.dlg.cdit = 1;
  t.dlg.cx = 100;
  t.dlg.cy = 40;
  t.item.style = WS_CHILD | WS_VISIBLE | SS_NOTIFY;
  t.item.x = 5;
  t.item.y = 5;
  t.item.cx = 60;
  t.item.cy = 10;
  t.item.id = 77;
  t.classMarker = 0xFFFF;
  t.classAtom = 0x0082;  // static
  t.text[0] = L'x';
  static WPARAM command = 0;
  auto proc = [](HWND, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND) command = wp;
    return msg == WM_INITDIALOG;
  };
  HWND dlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &t.dlg, nullptr, proc, 0);
  ASSERT_NE(dlg, nullptr);
  CLinkStatic link;
  ASSERT_TRUE(link.AttachDlgItem(dlg, 77));
  link.SetTextColor(RGB(0, 0, 255));
  link.SetBkColor(RGB(1, 2, 3));
  HDC dc = GetDC(link.GetHwnd());
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(link.GetHwnd())));
  LOGBRUSH lb{};
  ASSERT_EQ(GetObjectA(brush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
  EXPECT_EQ(lb.lbColor, RGB(1, 2, 3));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
  ReleaseDC(link.GetHwnd(), dc);
  SendMessageA(link.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageA(link.GetHwnd(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(command, MAKEWPARAM(77, STN_CLICKED));
  DestroyWindow(dlg);  // the control goes with it and lets go of its hooks
  EXPECT_EQ(link.GetHwnd(), nullptr);
}
