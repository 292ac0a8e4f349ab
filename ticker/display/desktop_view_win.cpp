#include "ticker/display/desktop_view_win.h"

#include <atomic>
#include <cstring>

namespace ticker {

namespace {

// One remembered view for every caller in the process (the ticker thread in the program).
std::atomic<HWND> rememberedView{nullptr};

// Only reads the window manager's own lists: nothing is sent to the shell's windows.
HWND ViewUnder(HWND top) {
  if (!top) return nullptr;
  HWND defView = ::FindWindowExA(top, nullptr, "SHELLDLL_DefView", nullptr);
  return defView ? ::FindWindowExA(defView, nullptr, "SysListView32", nullptr) : nullptr;
}

bool IsListView(HWND w) {
  char name[32] = {};
  return w && ::IsWindow(w) && ::GetClassNameA(w, name, sizeof name) > 0 &&
         std::strcmp(name, "SysListView32") == 0;
}

HWND SearchDesktopListView() {
  if (HWND view = ViewUnder(::FindWindowA("Progman", nullptr))) return view;
  if (HWND view = ViewUnder(::FindWindowA(nullptr, "Program Manager"))) return view;
  // Bounded: the list may change while it is walked.
  HWND worker = nullptr;
  for (int n = 0; n < 256; ++n) {
    worker = ::FindWindowExA(nullptr, worker, "WorkerW", nullptr);
    if (!worker) break;
    if (HWND view = ViewUnder(worker)) return view;
  }
  return nullptr;
}

}  // namespace

HWND FindDesktopListView() {
  if (HWND view = SearchDesktopListView()) {
    rememberedView = view;
    return view;
  }
  // A handle that was closed may since name another window: only a list view is taken.
  HWND remembered = rememberedView;
  return IsListView(remembered) ? remembered : nullptr;
}

void ForgetDesktopListView() {
  rememberedView = nullptr;
}

bool WindowAnswers(HWND window) {
  return window && ::IsWindow(window) && !::IsHungAppWindow(window);
}

}  // namespace ticker
