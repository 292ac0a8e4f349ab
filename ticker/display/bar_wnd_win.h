// The topmost bar along the bottom edge of the work area (display mode 0): 20 pixels high at
// 96 DPI, as wide as the work area, painted from a memory bitmap. It ducks into the bottom edge
// when the pointer touches it and comes back once the pointer is well above it. Every size below
// is at 96 DPI and scales with the DPI of the bar's monitor.
#pragma once

#include <windows.h>

#include "support/draw/dib_surface_win.h"
#include "support/win/handles.h"
#include "ticker/display/edge_wnd_win.h"

class CBarWnd : public ticker::CEdgeWnd {
 public:
  static constexpr int kHeight = 20;
  static constexpr int kStep = 4;              // pixels per slide step
  static constexpr int kSlideMs = 50;          // one slide step
  static constexpr int kWatchMs = 1000;        // pointer check while ducked
  static constexpr int kReturnDistance = 100;  // the pointer must be this far above the bar

  CBarWnd();
  ~CBarWnd() override;

  // Puts a frame (the strip just drawn, held by the context frame) into the memory bitmap at
  // (0, 0) and onto the window.
  void Present(HDC frame);

  // (0, 0, work width, height), the rectangle the strip is drawn in.
  RECT BarRect() const { return barRect; }
  int Width() const { return barRect.right - barRect.left; }
  int Height() const { return barRect.bottom - barRect.top; }
  int BaseY() const { return baseY; }
  int Offset() const { return offset; }
  int Direction() const { return direction; }

  // How many times the window was painted from the memory bitmap (tests, benchmarks).
  long PaintCount() const { return paintCount; }

 protected:
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void Layout(const RECT& work) override;
  void Paint(HDC dc) override { CopyToWindow(dc); }

 private:
  void MoveToOffset();
  void CopyToWindow(HDC dc);
  void ReleaseMemory();

  // The memory bitmap stays selected in its own context, so a tick makes no context.
  CDibSurface memory;
  win::CMemoryDc memoryDc;
  HGDIOBJ previousBitmap = nullptr;
  RECT barRect = {};
  int left = 0;
  int baseY = 0;
  int offset = 0;
  int direction = 0;
  long paintCount = 0;
};
