// The real windows behind title-bar mode (CaptionWindows over user32).
#pragma once

#include <windows.h>

#include "ticker/display/caption_target.h"

namespace ticker {

class CSystemCaptionWindows : public CaptionWindows {
 public:
  WindowId Foreground() override;
  std::vector<WindowId> TopLevelWindows() override;
  std::uint32_t Style(WindowId window) override;
  bool Exists(WindowId window) override;
  bool Identify(WindowId window, WindowIdentity& identity) override;
  // The whole caption, however long (not cut at 1 023 bytes), so it can be given back exactly.
  bool ReadTitle(WindowId window, std::string& title) override;
  // A window whose thread hangs is given up on after a second instead of stalling the ticker.
  bool WriteTitle(WindowId window, const std::string& title) override;
  int OuterWidth(WindowId window) override;
};

inline HWND ToHwnd(WindowId id) {
  return reinterpret_cast<HWND>(id);
}
inline WindowId ToWindowId(HWND w) {
  return reinterpret_cast<WindowId>(w);
}

}  // namespace ticker
