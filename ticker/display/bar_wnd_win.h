// The topmost bar along the bottom edge of the work area (display mode 0): 20 pixels high, as
// wide as the work area, painted from a memory bitmap. It ducks into the bottom edge when the
// pointer touches it and comes back once the pointer is well above it.
#pragma once

#include <windows.h>

#include "support/draw/dib_surface_win.h"
#include "support/win/dialog.h"
#include "support/win/handles.h"

class CBarWnd : public win::CDialog {
 public:
  static constexpr int kHeight = 20;
  static constexpr int kStep = 4;              // pixels per slide step
  static constexpr int kSlideMs = 50;          // one slide step
  static constexpr int kLayoutMs = 500;        // work-area check
  static constexpr int kWatchMs = 1000;        // pointer check while ducked
  static constexpr int kReturnDistance = 100;  // the pointer must be this far above the bar

  CBarWnd();
  ~CBarWnd() override;

  // Puts a frame (the strip just drawn, held by the context frame) into the memory bitmap at
  // (0, 0) and onto the window.
  void Present(HDC frame);
  // A hidden bar is shown topmost without moving, sizing or activating it.
  void ShowTopmost();
  void Hide();
  bool IsShown() const;

  // (0, 0, work width, 20), the rectangle the strip is drawn in.
  RECT BarRect() const { return barRect; }
  int Width() const { return barRect.right - barRect.left; }
  int BaseY() const { return baseY; }
  int Offset() const { return offset; }
  int Direction() const { return direction; }

  // How many times the window was painted from the memory bitmap (tests, benchmarks).
  long PaintCount() const { return paintCount; }

 protected:
  bool OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnCancel() override {}  // Escape must not close the bar
  void OnClose() override {}
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Layout();
  void MoveToOffset();
  void CopyToWindow(HDC dc);
  void ReleaseMemory();

  // The memory bitmap stays selected in its own context, so a tick makes no context.
  CDibSurface memory;
  win::CMemoryDc memoryDc;
  HGDIOBJ previousBitmap = nullptr;
  RECT workArea = {};
  RECT barRect = {};
  int baseY = 0;
  int offset = 0;
  int direction = 0;
  long paintCount = 0;
};
