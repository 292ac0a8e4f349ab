// A push button drawn by its owner in its own background and text colours. The parent passes its
// WM_DRAWITEM for the button to DrawItem.
#pragma once

#include <windows.h>

class CColorButton {
 public:
  CColorButton() = default;
  CColorButton(const CColorButton&) = delete;
  CColorButton& operator=(const CColorButton&) = delete;

  // Takes over a button control; a push, default push, user or owner-drawn button becomes
  // owner-drawn. False when the window is missing.
  bool Attach(HWND button);
  bool AttachDlgItem(HWND dialog, int id) { return Attach(::GetDlgItem(dialog, id)); }
  HWND GetHwnd() const { return wnd; }

  // Setting a colour repaints the button.
  void SetBkColor(COLORREF colour);
  void SetTextColor(COLORREF colour);
  COLORREF GetBkColor() const { return bkColour; }
  COLORREF GetTextColor() const { return textColour; }
  // The caption's font; null: the font the button has (the parent's).
  void SetFont(HFONT f) { font = f; }

  void DrawItem(const DRAWITEMSTRUCT& item);

 private:
  HWND wnd = nullptr;
  COLORREF bkColour = ::GetSysColor(COLOR_BTNFACE);
  COLORREF textColour = RGB(0, 0, 0);
  HFONT font = nullptr;
};
