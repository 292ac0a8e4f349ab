#include "support/draw/dib_math.h"
#include "support/win/dpi.h"
#include "support/win/handles.h"

namespace win {

namespace {

// MONITOR_DPI_TYPE's MDT_EFFECTIVE_DPI: the DPI the user's scaling setting gives the monitor.
constexpr int kEffectiveDpi = 0;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// Looked up once. user32 is loaded in every program with windows; shcore is loaded from the system
// folder only, never from the program's folder or the current one.
GetDpiForWindowFn DpiForWindowCall() {
  static const auto call = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  return call;
}

GetDpiForMonitorFn DpiForMonitorCall() {
  static const auto call = []() -> GetDpiForMonitorFn {
    HMODULE shcore = ::LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!shcore) return nullptr;
    return reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
  }();
  return call;
}

}  // namespace

int ScaleForDpi(int size96, UINT dpi) {
  return ScaleToResolution(size96, dpi, kBaseDpi);
}

int UnscaleForDpi(int size, UINT dpi) {
  return ScaleToResolution(size, kBaseDpi, dpi);
}

UINT SystemDpi() {
  CWindowDc screen(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT DpiOfMonitor(HMONITOR monitor) {
  UINT x = 0;
  UINT y = 0;
  if (monitor) {
    if (GetDpiForMonitorFn call = DpiForMonitorCall();
        call && SUCCEEDED(call(monitor, kEffectiveDpi, &x, &y)) && y)
      return y;
  }
  return SystemDpi();
}

UINT DpiOfPrimaryMonitor() {
  return DpiOfMonitor(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

UINT DpiOfWindow(HWND window) {
  if (!window) return SystemDpi();
  if (GetDpiForWindowFn call = DpiForWindowCall()) {
    if (const UINT dpi = call(window)) return dpi;
  }
  return DpiOfMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

}  // namespace win
