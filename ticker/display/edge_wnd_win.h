// What the bar and the flash window share: a topmost tool window without caption on the primary
// monitor, placed from its work area and sized for the monitor's DPI, painted from a memory
// bitmap. It is laid out at initialisation, when the work area changes in size or place (checked
// every 500 ms), when the display changes and when its DPI changes (another monitor, another
// scaling), so that every fixed size is the 96-DPI size scaled to the DPI in force.
#pragma once

#include <windows.h>

#include "support/win/dialog.h"
#include "support/win/dpi.h"

namespace ticker {

// The primary monitor's work area; the whole screen when it cannot be read.
RECT PrimaryWorkArea();

class CEdgeWnd : public win::CDialog {
 public:
  static constexpr UINT_PTR kLayoutTimer = 100;
  static constexpr int kLayoutMs = 500;

  // A hidden window is shown topmost without moving, sizing or activating it.
  void ShowTopmost();
  // Shown (if hidden) and put above every other topmost window, such as a full-screen video.
  void RaiseTopmost();
  void Hide();
  bool IsShown() const;

  // The DPI the window is laid out for, and a size given at 96 DPI at that DPI.
  UINT Dpi() const { return dpi; }
  int Scaled(int size96) const { return win::ScaleForDpi(size96, dpi); }

 protected:
  explicit CEdgeWnd(UINT resourceId) : CDialog(resourceId) {}

  // Places the window and remakes its memory bitmap for the work area at Dpi().
  virtual void Layout(const RECT& work) = 0;
  // Copies the memory bitmap onto the window's context (WM_PAINT).
  virtual void Paint(HDC dc) = 0;

  // Hides the window, lays it out and starts the layout check.
  bool OnInitDialog() override;
  // The layout check; other timers are the derived window's.
  void OnTimer(UINT_PTR id) override;
  void OnCancel() override {}  // Escape must not close it
  void OnClose() override {}
  // WM_DISPLAYCHANGE, WM_DPICHANGED, WM_PAINT; no background erasing, no frame.
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Relayout();

  RECT workArea = {};
  UINT dpi = win::kBaseDpi;
  // What the system last said the window's DPI is. A WM_DPICHANGED sets the DPI in force; the
  // check takes the system's answer only when that answer changes (a hidden window may miss the
  // message).
  UINT reportedDpi = 0;
};

}  // namespace ticker
