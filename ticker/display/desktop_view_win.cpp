#include "ticker/display/desktop_view_win.h"

#include <atomic>
#include <cstring>

namespace ticker {

namespace {

// One remembered view for every caller in the process (the ticker thread in the program).
std::atomic<HWND> rememberedView{nullptr};

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

}  // namespace

HWND FindDesktopListView() {
  HWND view = ViewUnder(::FindWindowA(nullptr, "Program Manager"));
  for (HWND worker = nullptr; !view;) {
    worker = ::FindWindowExA(nullptr, worker, "WorkerW", nullptr);
    if (!worker) break;
    view = ViewUnder(worker);
  }
  if (view) {
    rememberedView = view;
    return view;
  }
  // A handle that was closed may since name another window: only a list view is taken.
  HWND remembered = rememberedView;
  return IsListView(remembered) ? remembered : nullptr;
}

HWND DesktopCanvasWindow(HWND listView) {
  if (listView && ::IsWindow(listView)) {
    HWND top = ::GetAncestor(listView, GA_ROOT);
    if (top) return top;
  }
  return ::FindWindowA(nullptr, "Program Manager");
}

void ForgetDesktopListView() {
  rememberedView = nullptr;
}

}  // namespace ticker
