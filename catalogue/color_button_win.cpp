#include "catalogue/color_button_win.h"

#include <string>

#include "catalogue/catalogue_layout.h"
#include "support/win/handles.h"

namespace {

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  win::CBrushHandle brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &r, brush.Get());
}

// A one-pixel frame just inside r.
void Frame(HDC dc, const RECT& r, COLORREF colour) {
  win::CBrushHandle brush(::CreateSolidBrush(colour));
  ::FrameRect(dc, &r, brush.Get());
}

COLORREF Grey(int level) {
  return RGB(level, level, level);
}

UINT CaptionFormat(LONG style) {
  UINT format = 0;
  switch (style & BS_CENTER) {
    case BS_LEFT:
      format |= DT_LEFT;
      break;
    case BS_RIGHT:
      format |= DT_RIGHT;
      break;
    default:
      format |= DT_CENTER;
  }
  switch (style & BS_VCENTER) {
    case BS_TOP:
      format |= DT_TOP;
      break;
    case BS_BOTTOM:
      format |= DT_BOTTOM;
      break;
    default:
      format |= DT_VCENTER;
  }
  format |= (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  return format;
}

}  // namespace

bool CColorButton::Attach(HWND button) {
  if (!button) return false;
  wnd = button;
  LONG style = ::GetWindowLongA(button, GWL_STYLE);
  const LONG type = style & BS_TYPEMASK;
  if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON || type == BS_OWNERDRAW) {
    ::SetWindowLongA(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    ::InvalidateRect(button, nullptr, TRUE);
  }
  return true;
}

void CColorButton::SetBkColor(COLORREF colour) {
  bkColour = colour;
  if (wnd) ::InvalidateRect(wnd, nullptr, TRUE);
}

void CColorButton::SetTextColor(COLORREF colour) {
  textColour = colour;
  if (wnd) ::InvalidateRect(wnd, nullptr, TRUE);
}

void CColorButton::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const bool focus = (item.itemState & ODS_FOCUS) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const LONG style = ::GetWindowLongA(item.hwndItem, GWL_STYLE);
  const bool flat = (style & BS_FLAT) != 0;

  RECT r = item.rcItem;
  if (focus || flat) {
    Frame(dc, r, RGB(0, 0, 0));
    ::InflateRect(&r, -1, -1);
  }
  const int depth = catalogue::FrameDepth(flat, pressed);
  if (flat) {
    Frame(dc, r, RGB(255, 255, 255));
    ::InflateRect(&r, -1, -1);
  } else {
    for (int h = 1; h <= depth; ++h) {
      catalogue::FrameGreys greys = catalogue::FrameLevelGreys(h, depth, pressed);
      // Right and bottom in the dark grey, then left and top in the light one.
      Fill(dc, {r.right - 1, r.top, r.right, r.bottom}, Grey(greys.dark));
      Fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, Grey(greys.dark));
      Fill(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, Grey(greys.light));
      Fill(dc, {r.left, r.top, r.right - 1, r.top + 1}, Grey(greys.light));
      ::InflateRect(&r, -1, -1);
    }
  }
  Fill(dc, r, bkColour);

  char text[256] = {};
  int length = ::GetWindowTextA(item.hwndItem, text, sizeof text);
  if (length > 0) {
    RECT textRect = item.rcItem;
    ::InflateRect(&textRect, -4, -4);
    if (pressed) ::OffsetRect(&textRect, 1, 1);
    HFONT useFont = font ? font : reinterpret_cast<HFONT>(::SendMessageA(item.hwndItem, WM_GETFONT, 0, 0));
    win::CSelectObject selectFont(dc, useFont);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::GetTextColor(dc);
    const UINT format = CaptionFormat(style);
    if (disabled) {
      RECT shadow = textRect;
      ::OffsetRect(&shadow, 1, 1);
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::DrawTextA(dc, text, length, &shadow, format);
      ::SetTextColor(dc, RGB(0x81, 0x81, 0x81));
    } else {
      ::SetTextColor(dc, textColour);
    }
    ::DrawTextA(dc, text, length, &textRect, format);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
  }
  if (focus) {
    RECT focusRect = item.rcItem;
    ::InflateRect(&focusRect, -4, -4);
    ::DrawFocusRect(dc, &focusRect);
  }
}
