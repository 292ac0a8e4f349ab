// The real windows behind title-bar mode (CaptionWindows over user32).
#pragma once

#include <windows.h>

#include <string>

#include "ticker/display/caption_target.h"

namespace ticker {

class CSystemCaptionWindows : public CaptionWindows {
 public:
  WindowId Foreground() override;
  std::vector<WindowId> TopLevelWindows() override;
  std::uint32_t Style(WindowId window) override;
  bool Exists(WindowId window) override;
  bool Identify(WindowId window, WindowIdentity& identity) override;
  // The whole caption in UTF-16, however long (not cut at 1 023 units), so it can be given back
  // exactly.
  bool ReadTitle(WindowId window, std::u16string& title) override;
  // The caption in UTF-16. A window whose thread hangs is given up on after a second instead of
  // stalling the ticker.
  bool WriteTitle(WindowId window, const std::u16string& title) override;
  int OuterWidth(WindowId window) override;
};

// The ticker's Shift_JIS text in UTF-16 (from code page 932 whatever the system's ANSI code page
// is; a byte that is no character becomes the code page's default character).
std::u16string TickerTextToUtf16(const std::string& text);

inline HWND ToHwnd(WindowId id) {
  return reinterpret_cast<HWND>(id);
}
inline WindowId ToWindowId(HWND w) {
  return reinterpret_cast<WindowId>(w);
}

}  // namespace ticker
