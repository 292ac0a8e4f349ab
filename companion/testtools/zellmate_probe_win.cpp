// zellmate_probe.exe: the other side of Zellmate for the end-to-end tests.
//
//   zellmate_probe standin LOGFILE          a window titled "__@ZELLORA@__" that appends every
//                                           WM_COMMAND id it receives to LOGFILE (one per line);
//                                           ends on WM_CLOSE or command 1
//   zellmate_probe rewrite STOPFILE [unlocked]
//                                           rewrites the URL list (read, then the whole-list
//                                           write) the way the URL dialog saves it, under the
//                                           list lock unless "unlocked", until STOPFILE exists;
//                                           prints the number of rewrites
//   zellmate_probe testproc RELEASEFILE     creates "Zellmate.Application", calls TestProc, prints
//                                           "returned", holds the object until RELEASEFILE exists
//   zellmate_probe box [press]              prints "caption|text" of the first visible message box
//                                           (exit 1 when none); "press" then clicks its OK
//   zellmate_probe shortpath PATH           prints the 8.3 form of PATH
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"
#include "support/ticker_link/ticker_link.h"
#include "support/ticker_link/url_list.h"
#include "support/win/com.h"

namespace {

std::string g_log;

void Record(WPARAM command) {
  FILE* f = std::fopen(g_log.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "%lu\n", static_cast<unsigned long>(command));
  std::fclose(f);
}

LRESULT CALLBACK StandInProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      Record(wParam);
      if (wParam == static_cast<WPARAM>(ticker_link::kExitCommand)) ::DestroyWindow(wnd);
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

int StandIn(const char* log) {
  g_log = log;
  WNDCLASSA cls = {};
  cls.lpfnWndProc = StandInProc;
  cls.hInstance = ::GetModuleHandleA(nullptr);
  cls.lpszClassName = "ZelloraStandIn";
  if (!::RegisterClassA(&cls)) return 1;
  // Hidden, like the ticker's main window; found by its title alone.
  HWND wnd = ::CreateWindowExA(0, cls.lpszClassName, ticker_link::kWindowTitle, WS_OVERLAPPED, 0, 0, 100, 100,
                               nullptr, nullptr, cls.hInstance, nullptr);
  if (!wnd) return 1;
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}

bool Exists(const char* path) {
  return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int Rewrite(const char* stopFile, bool locked) {
  CRegistry root(ticker_link::kRootPath);
  long rewrites = 0;
  while (!Exists(stopFile)) {
    {
      std::optional<url_list::ListLock> lock;
      if (locked) lock.emplace();
      std::vector<UrlEntry> list = url_list::ReadList(root);
      url_list::WriteList(root, list);
    }
    ++rewrites;
    // Room for the other writers between two saves.
    ::Sleep(1);
  }
  std::printf("%ld\n", rewrites);
  return 0;
}

int TestProc(const char* releaseFile) {
  win::COleInit ole;
  if (!ole.Ok()) return 1;
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(L"Zellmate.Application", &clsid))) return 2;
  win::CComPtr<IDispatch> app;
  HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, app.ReceiveVoid());
  if (FAILED(hr)) {
    std::printf("create failed %08lx\n", static_cast<unsigned long>(hr));
    return 3;
  }
  wchar_t name[] = L"TestProc";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  if (FAILED(app->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return 4;
  std::printf("dispid %ld\n", static_cast<long>(id));
  std::fflush(stdout);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  hr = app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  std::printf("returned %08lx\n", static_cast<unsigned long>(hr));
  std::fflush(stdout);
  for (int i = 0; i < 1200 && !Exists(releaseFile); ++i) ::Sleep(50);
  app.Release();
  std::printf("released\n");
  return 0;
}

struct BoxSearch {
  HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND wnd, LPARAM param) {
  char cls[64] = {};
  ::GetClassNameA(wnd, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !::IsWindowVisible(wnd)) return TRUE;
  reinterpret_cast<BoxSearch*>(param)->box = wnd;
  return FALSE;
}

int Box(bool press) {
  BoxSearch search;
  ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  if (!search.box) return 1;
  char caption[256] = {};
  ::GetWindowTextA(search.box, caption, sizeof caption);
  std::string texts;
  for (HWND child = ::GetWindow(search.box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char cls[64] = {}, text[512] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    ::GetWindowTextA(child, text, sizeof text);
    // The message is a static control; the buttons have their own class.
    if (_stricmp(cls, "Static") == 0 && text[0]) texts += text;
  }
  std::printf("%s|%s\n", caption, texts.c_str());
  if (press) ::PostMessageA(search.box, WM_COMMAND, IDOK, 0);
  return 0;
}

int ShortPath(const char* path) {
  char shortPath[MAX_PATH] = {};
  const DWORD n = ::GetShortPathNameA(path, shortPath, sizeof shortPath);
  if (n == 0 || n >= sizeof shortPath) return 1;
  std::printf("%s\n", shortPath);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc >= 2 ? argv[1] : "";
  if (mode == "standin" && argc >= 3) return StandIn(argv[2]);
  if (mode == "rewrite" && argc >= 3)
    return Rewrite(argv[2], !(argc >= 4 && std::strcmp(argv[3], "unlocked") == 0));
  if (mode == "testproc" && argc >= 3) return TestProc(argv[2]);
  if (mode == "box") return Box(argc >= 3 && std::strcmp(argv[2], "press") == 0);
  if (mode == "shortpath" && argc >= 3) return ShortPath(argv[2]);
  std::fprintf(stderr, "usage: zellmate_probe standin|rewrite|testproc|box|shortpath ...\n");
  return 2;
}
