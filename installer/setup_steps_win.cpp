#include "installer/setup_steps_win.h"

// clang-format off
#include <ole2.h>  // before the shell's headers, which depend on it
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/ticker_link/ticker_link.h"
#include "support/win/com.h"

namespace setup_steps {

namespace {

constexpr DWORD kPollMs = 100;

BOOL CALLBACK CollectTicker(HWND wnd, LPARAM param) {
  // GetWindowText reads another process's caption without sending it a message, so a ticker
  // that hangs cannot hold the setup program here.
  char title[64] = {};
  if (::GetWindowTextA(wnd, title, sizeof title) > 0 && std::strcmp(title, ticker_link::kWindowTitle) == 0) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(wnd);
  }
  return TRUE;
}

std::vector<HWND> TickerWindows() {
  std::vector<HWND> found;
  ::EnumWindows(CollectTicker, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Owns the variants handed to the shell.
struct Variant {
  VARIANT v;
  Variant() { ::VariantInit(&v); }
  explicit Variant(const std::wstring& text) : Variant() {
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text.c_str());
  }
  explicit Variant(LONG number) : Variant() {
    v.vt = VT_I4;
    v.lVal = number;
  }
  ~Variant() { ::VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

}  // namespace

bool CloseRunningTickers(DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  std::vector<HWND> asked;
  std::vector<DWORD> ids;
  std::vector<HANDLE> processes;
  bool gone = false;
  for (;;) {
    const std::vector<HWND> windows = TickerWindows();
    for (HWND wnd : windows) {
      if (std::find(asked.begin(), asked.end(), wnd) != asked.end()) continue;
      asked.push_back(wnd);
      // Its process is held from now on: a window that is gone does not mean a program file
      // that may be replaced, since the ticker destroys its window before its process ends.
      // A higher integrity level may post to a lower one and wait for it.
      DWORD id = 0;
      ::GetWindowThreadProcessId(wnd, &id);
      if (id && id != ::GetCurrentProcessId() && std::find(ids.begin(), ids.end(), id) == ids.end()) {
        ids.push_back(id);
        if (HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id)) processes.push_back(process);
      }
      ::PostMessageA(wnd, WM_COMMAND, static_cast<WPARAM>(ticker_link::kExitCommand), 0);
    }
    const bool running = std::any_of(processes.begin(), processes.end(),
                                     [](HANDLE p) { return ::WaitForSingleObject(p, 0) == WAIT_TIMEOUT; });
    if (windows.empty() && !running) {
      gone = true;
      break;
    }
    if (::GetTickCount64() >= deadline) break;
    ::Sleep(kPollMs);
  }
  for (HANDLE process : processes) ::CloseHandle(process);
  return gone;
}

HRESULT StartThroughDesktopShell(const std::wstring& program, const std::wstring& folder) {
  // The shell that runs the desktop runs with the rights of the user who is logged on, even when
  // this program runs elevated. Its desktop folder view, found through the shell windows of the
  // desktop, hands out the shell's automation object, whose ShellExecute starts the program
  // inside the shell's process and so with its rights: the way the Windows SDK's
  // "ExecInExplorer" sample starts an unelevated program from an elevated one. The shell's
  // objects are local servers in its process; the caller's thread is in a single-threaded
  // apartment.
  win::CComPtr<IShellWindows> windows;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.ReceiveVoid());
  if (FAILED(hr) || !windows) return S_FALSE;  // no shell runs the desktop
  Variant desktop(static_cast<LONG>(CSIDL_DESKTOP));
  Variant empty;
  LONG shellWindow = 0;
  win::CComPtr<IDispatch> found;
  hr = windows->FindWindowSW(&desktop.v, &empty.v, SWC_DESKTOP, &shellWindow, SWFO_NEEDDISPATCH,
                             found.Receive());
  if (hr == S_FALSE || (SUCCEEDED(hr) && !found)) return S_FALSE;
  if (FAILED(hr)) return hr;

  win::CComPtr<IServiceProvider> services;
  if (FAILED(hr = found.QueryInterface(IID_IServiceProvider, services))) return hr;
  win::CComPtr<IShellBrowser> browser;
  if (FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid()))) {
    return hr;
  }
  win::CComPtr<IShellView> view;
  if (FAILED(hr = browser->QueryActiveShellView(view.Receive()))) return hr;
  if (!view) return E_NOINTERFACE;
  win::CComPtr<IDispatch> background;
  if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid()))) return hr;
  win::CComPtr<IShellFolderViewDual> folderView;
  if (FAILED(hr = background.QueryInterface(IID_IShellFolderViewDual, folderView))) return hr;
  win::CComPtr<IDispatch> application;
  if (FAILED(hr = folderView->get_Application(application.Receive()))) return hr;
  win::CComPtr<IShellDispatch2> shell;
  if (FAILED(hr = application.QueryInterface(IID_IShellDispatch2, shell))) return hr;

  BSTR file = ::SysAllocString(program.c_str());
  if (!file) return E_OUTOFMEMORY;
  Variant arguments(std::wstring{});
  Variant directory(folder);
  Variant operation(std::wstring(L"open"));
  Variant show(static_cast<LONG>(SW_SHOWNORMAL));
  hr = shell->ShellExecute(file, arguments.v, directory.v, operation.v, show.v);
  ::SysFreeString(file);
  return FAILED(hr) ? hr : S_OK;
}

StartRoute StartAsDesktopUser(const std::wstring& program) {
  // The shell takes a request for a missing file without a word to its caller.
  const DWORD attributes = ::GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return StartRoute::kFailed;
  const std::size_t slash = program.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);

  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HRESULT shell = StartThroughDesktopShell(program, folder);
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (shell == S_OK) return StartRoute::kShell;
  // Only where no shell runs the desktop: a failure along the shell's way must not turn into a
  // start with this program's (elevated) rights.
  if (shell != S_FALSE) return StartRoute::kFailed;

  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return StartRoute::kFailed;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return StartRoute::kPlain;
}

}  // namespace setup_steps
