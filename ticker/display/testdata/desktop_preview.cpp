// Shows the ticker's desktop strip on a mock shell desktop owned by this process (under Wine the
// only way to draw into the desktop's list view), for looking at it and for the README's picture:
//
//   desktop_preview [MILLISECONDS]   (default 60000; the window closes itself afterwards)
//
// The ticker window works on the key named by ZELLORA_PREVIEW_ROOT (default: a key of its own
// under Software\ZelloraTest), never on the ticker's own settings, and fetches nothing.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "support/registry/registry.h"
#include "support/ticker_link/ticker_link.h"
#include "ticker/display/ticker_dlg_win.h"

namespace {

void Register(const char* name) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  // The desktop's own colour, the one the strip's snapshot is drawn from.
  wc.hbrBackground = GetSysColorBrush(COLOR_BACKGROUND);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

// "Program Manager" > "SHELLDLL_DefView" > a list view with a row of icons along the top.
HWND CreateMockDesktop() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  Register("Progman");
  Register("SHELLDLL_DefView");
  HINSTANCE inst = GetModuleHandleA(nullptr);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HWND progman = CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                 nullptr, nullptr, inst, nullptr);
  HWND view = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, progman,
                              nullptr, inst, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "FolderView",
                              WS_CHILD | WS_VISIBLE | LVS_SMALLICON | LVS_NOSCROLL | LVS_SHAREIMAGELISTS, 0,
                              0, width, height, view, nullptr, inst, nullptr);
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
  ImageList_AddIcon(images, LoadIconA(nullptr, IDI_APPLICATION));
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  SendMessageA(list, LVM_SETBKCOLOR, 0, CLR_NONE);
  SendMessageA(list, LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
  SendMessageA(list, LVM_SETTEXTCOLOR, 0, RGB(255, 255, 255));
  // Across the left half only: the strip in the right quarter shows over the bare desktop.
  const char* labels[] = {"ごみ箱", "マイ コンピュータ", "メモ帳", "表計算", "予定表", "写真"};
  int index = 0;
  for (const char* label : labels) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index++;
    item.pszText = const_cast<char*>(label);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  return progman;
}

}  // namespace

int main(int argc, char** argv) {
  const DWORD lifetime = argc > 1 ? static_cast<DWORD>(std::atol(argv[1])) : 60000;
  char rootText[512] = "HKEY_CURRENT_USER\\Software\\ZelloraTest\\DesktopPreview";
  ::GetEnvironmentVariableA("ZELLORA_PREVIEW_ROOT", rootText, sizeof rootText);
  CRegistry reg(rootText);
  reg.WriteNumber("", "bOnline", 0);  // lines come from here only
  reg.WriteNumber("Option", "Howto", 1);
  reg.WriteNumber("Option", "loopCount", 0);

  HWND desktop = CreateMockDesktop();
  CTickerDlg dlg(rootText);
  if (!dlg.Create(nullptr)) return 1;
  // The window starts its engine on a posted message: the line must come after that.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  std::string item = "@TITLE@星雷タイムズ@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@";
  item += "新しい路面電車の路線が来春に開業へ、沿線の商店街も準備を進める\n";
  item += "全国の桜の開花予想を発表、今年は平年より五日ほど早い見込み\n";
  item += "地元の高校生が開発した防災アプリが全国コンテストで最優秀賞\n";
  COPYDATASTRUCT cds{ticker_link::kTagDesktop, static_cast<DWORD>(item.size() + 1), &item[0]};
  SendMessageA(dlg.GetHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));

  const DWORD start = GetTickCount();
  while (GetTickCount() - start < lifetime && IsWindow(dlg.GetHwnd())) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  if (IsWindow(dlg.GetHwnd())) SendMessageA(dlg.GetHwnd(), WM_CLOSE, 0, 0);
  DestroyWindow(desktop);
  return 0;
}
