// A plain application window for the caption tests: "caption_sample.exe <title>" opens an
// overlapped window of class "ZelloraCaptionSample" with that title. The window is a Unicode
// window, as most of today's programs are: its caption holds any character. Posted messages make
// it act on its own: WM_APP brings it to the foreground, WM_APP + 1 retitles it
// "<title> (wParam)", WM_APP + 2 sleeps wParam milliseconds (a hung program), WM_CLOSE ends it.
#include <windows.h>

#include <string>

namespace {

std::wstring baseTitle;

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_APP:
      SetForegroundWindow(w);
      return 0;
    case WM_APP + 1: {
      const std::wstring t = baseTitle + L" (" + std::to_wstring(static_cast<int>(wp)) + L")";
      SetWindowTextW(w, t.c_str());
      return 0;
    }
    case WM_APP + 2:
      Sleep(static_cast<DWORD>(wp));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(w, msg, wp, lp);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
  const std::string narrow = cmd ? cmd : "";
  baseTitle.assign(narrow.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &baseTitle[0],
                                    static_cast<int>(baseTitle.size()));
  baseTitle.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"ZelloraCaptionSample";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, baseTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                           600, 200, nullptr, nullptr, inst, nullptr);
  if (!w) return 1;
  SetForegroundWindow(w);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
