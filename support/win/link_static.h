// The hyperlink static control of the about boxes.
#pragma once

#include <windows.h>

#include <string>

#include "support/win/handles.h"

// A static text control shown as a hyperlink: its own text and background colours (background
// -1 = transparent), its own font and, when enabled, the hand cursor. Give the control the notify
// style (SS_NOTIFY; Attach adds it) so that a click reaches the parent as WM_COMMAND with the
// control's id and STN_CLICKED.
//
// The control answers the parent's WM_CTLCOLORSTATIC for itself: Attach hooks the parent's
// window procedure for that one message, so the parent needs no code for it. A parent that
// reflects control-colour messages itself may send kReflectedCtlColor instead.
class CLinkStatic {
 public:
  static constexpr UINT kReflectedCtlColor = 0xBC00 + WM_CTLCOLORSTATIC;

  CLinkStatic() = default;
  ~CLinkStatic() { Detach(); }
  CLinkStatic(const CLinkStatic&) = delete;
  CLinkStatic& operator=(const CLinkStatic&) = delete;

  // Takes over an existing static control (a dialog item, for instance). False when the window is
  // missing or another control is attached already.
  bool Attach(HWND control);
  bool AttachDlgItem(HWND dialog, int id) { return Attach(::GetDlgItem(dialog, id)); }
  // Gives the control back (it keeps the last font set until it is destroyed).
  void Detach();
  HWND GetHwnd() const { return wnd; }

  void SetTextColor(COLORREF colour);
  void SetBkColor(long colour);  // -1: transparent
  COLORREF GetTextColor() const { return textColour; }
  long GetBkColor() const { return bkColour; }

  // Replaces the control's font; false (and the old font kept) when it cannot be made.
  bool SetFont(const std::string& face, int pointTenths, const std::string& style);
  HFONT GetFont() const { return font.Get(); }

  // Turns the hand cursor on or off; returns the resulting state (off when the cursor could not be
  // made).
  bool EnableHandCursor(bool on);
  bool IsHandCursorEnabled() const { return handCursor; }

  // The answer to the control-colour request: sets up dc and returns the brush to paint with.
  HBRUSH OnCtlColor(HDC dc);

  // The process-wide hand cursor, made on first use; null when it cannot be created.
  static HCURSOR HandCursor();

 private:
  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) noexcept;
  static LRESULT CALLBACK ParentProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) noexcept;
  void Repaint();

  HWND wnd = nullptr;
  HWND parent = nullptr;
  COLORREF textColour = 0;
  long bkColour = -1;
  win::CBrushHandle brush;
  win::CFontHandle font;
  bool handCursor = false;
};
