// A small window with hyperlink controls and a surface painted with the text operations, for
// looking at them under Wine. Closes itself after the number of seconds given (default 30).
#include <windows.h>

#include <cstdlib>

#include "support/draw/dib_surface_win.h"
#include "support/draw/fonts_win.h"
#include "support/win/link_static.h"

namespace {

CDibSurface* picture = nullptr;

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == STN_CLICKED) SetWindowTextA(w, "クリックされました");
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      if (picture) picture->Draw(dc, 10, 110);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_TIMER:
    case WM_CLOSE:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(w, msg, wp, lp);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = "ZelloraLinkSample";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, wc.lpszClassName, "リンクの見本", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                             420, 260, nullptr, nullptr, instance, nullptr);
  HWND plain = CreateWindowExA(0, "STATIC", "ホームページへ", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 10, 200,
                               20, wnd, reinterpret_cast<HMENU>(1001), instance, nullptr);
  HWND filled = CreateWindowExA(0, "STATIC", "太字と背景色 Bold", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 40,
                                250, 24, wnd, reinterpret_cast<HMENU>(1002), instance, nullptr);
  HWND help = CreateWindowExA(0, "STATIC", "ヘルプの文章（標準）", WS_CHILD | WS_VISIBLE, 10, 72, 250, 20,
                              wnd, reinterpret_cast<HMENU>(1003), instance, nullptr);
  CLinkStatic link, bold, text;
  link.Attach(plain);
  link.SetFont("ＭＳ ゴシック", 90, "標準|下線");
  link.SetTextColor(RGB(0, 0, 255));
  link.EnableHandCursor(true);
  bold.Attach(filled);
  bold.SetFont("ＭＳ ゴシック", 120, "bold italic");
  bold.SetTextColor(RGB(192, 0, 0));
  bold.SetBkColor(RGB(255, 255, 160));
  text.Attach(help);
  text.SetFont("ＭＳ ゴシック", 90, "標準");
  text.SetBkColor(RGB(255, 255, 224));

  CDibSurface surface;
  surface.Create(380, 90, 32);
  surface.FillSolidRect(0, 0, 380, 90, RGB(0, 0, 0));
  RECT r{0, 0, 380, 40};
  surface.DrawTextFont("【　ニュース　】", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE, RGB(255, 232, 64), 140,
                       "ＭＳ ゴシック");
  surface.DrawGlyphsB("滑らかな文字", 0, 40, 380, 50, "ＭＳ ゴシック", 30, RGB(255, 255, 255),
                      RGB(90, 90, 90));
  picture = &surface;

  SetTimer(wnd, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  picture = nullptr;
  return 0;
}
