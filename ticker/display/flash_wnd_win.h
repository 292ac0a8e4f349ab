// The flash window: a topmost, shaped window at the screen's top-left corner whose visible area
// is exactly the pixels of its text (the flash bulletins' title and lines).
#pragma once

#include <windows.h>

#include <string>

#include "support/draw/dib_surface_win.h"
#include "support/win/dialog.h"
#include "support/win/handles.h"

namespace ticker {

constexpr COLORREF kFlashKeyColour = RGB(255, 0, 255);
constexpr int kFlashHeight = 100;
constexpr int kFlashPointTenths = 140;

// The region of every pixel of a 32-bit surface that is not key: each row's maximal runs of
// other pixels as one-pixel-high rectangles. Reads the bits directly, one row region at a time,
// and joins the rows pairwise so that thousands of runs never meet one growing region. The
// caller owns the region; an empty region when every pixel is key; null on failure.
HRGN CreateRegionFromKey(const CDibSurface& surface, COLORREF key);

}  // namespace ticker

class CFlashWnd : public win::CDialog {
 public:
  CFlashWnd();
  ~CFlashWnd() override;

  // Draws the text (white, bold-looking, on a black shadow line, centred, wrapped) and reshapes
  // the window to it; an empty text leaves an empty region.
  void SetFlashText(const std::string& text);
  void ShowTopmost();
  void Hide();

  RECT FlashRect() const { return flashRect; }
  const CDibSurface& Surface() const { return memory; }

 protected:
  bool OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnCancel() override {}
  void OnClose() override {}
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Layout();

  CDibSurface memory;
  RECT workArea = {};
  RECT flashRect = {};
  win::CRegionHandle region;  // the window's region is the system's copy; this is ours
};
