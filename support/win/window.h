// A plain window bound to a C++ object: the object is attached at WM_NCCREATE (the earliest
// message) and detached at WM_NCDESTROY; exceptions never leave the window procedure.
//
//   class CBarWnd : public win::CWindowBase {
//    protected:
//     LRESULT HandleMessage(UINT msg, WPARAM w, LPARAM l) override { ... return DefaultProc(msg, w, l); }
//   };
//   win::CWindowBase::RegisterWindowClass("ZelloraBar");
//   bar.Create("ZelloraBar", "", WS_POPUP, WS_EX_TOPMOST, x, y, cx, cy, nullptr);
#pragma once

#include <windows.h>

namespace win {

class CWindowBase {
 public:
  CWindowBase() = default;
  // Destroys a window that still exists. Derived handlers no longer run at that point, so a
  // derived class that needs its WM_DESTROY handling calls Destroy() in its own destructor.
  virtual ~CWindowBase();
  CWindowBase(const CWindowBase&) = delete;
  CWindowBase& operator=(const CWindowBase&) = delete;

  // Registers a window class of this program whose windows are bound to CWindowBase objects.
  // Registering a name twice succeeds. cursor null: the arrow; background null: none (the
  // window paints everything itself).
  static bool RegisterWindowClass(const char* className, UINT classStyle = 0, HBRUSH background = nullptr,
                                  HCURSOR cursor = nullptr, HICON icon = nullptr);

  // Creates the window bound to this object. False when it exists already or creation fails.
  bool Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int width,
              int height, HWND parent, HMENU menuOrId = nullptr);
  void Destroy();

  HWND GetHwnd() const { return hwnd; }

 protected:
  // Every message from WM_NCCREATE to WM_NCDESTROY. The default passes it on to DefWindowProcA.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

  HWND hwnd = nullptr;
};

}  // namespace win
