// A plain application window for the caption tests: "caption_sample.exe <title>" opens an
// overlapped window of class "ZelloraCaptionSample" with that title. Posted messages make it act
// on its own: WM_APP brings it to the foreground, WM_APP + 1 retitles it "<title> (wParam)",
// WM_CLOSE ends it.
#include <windows.h>

#include <string>

namespace {

std::string baseTitle;

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_APP:
      SetForegroundWindow(w);
      return 0;
    case WM_APP + 1: {
      const std::string t = baseTitle + " (" + std::to_string(static_cast<int>(wp)) + ")";
      SetWindowTextA(w, t.c_str());
      return 0;
    }
    case WM_APP + 2:
      Sleep(static_cast<DWORD>(wp));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(w, msg, wp, lp);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
  baseTitle = cmd ? cmd : "";
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "ZelloraCaptionSample";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, baseTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                           600, 200, nullptr, nullptr, inst, nullptr);
  if (!w) return 1;
  SetForegroundWindow(w);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
