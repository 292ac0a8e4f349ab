// The ticker window's platform seam. The rotation engine (TickerEngine) decides what happens and
// when; the host owns the windows, timers and pictures and does what it is told. The Win32 ticker
// window implements it with its timers, bar, desktop strip, caption target and flash window;
// tests implement it with a virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class NewsList;

struct LocalDate {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
};

class TickerHost {
 public:
  virtual ~TickerHost() = default;

  // Timers of the ticker window, by id. They repeat like window timers until killed; the engine
  // kills each one first thing in its handler, so every timer it uses behaves as one-shot.
  // Setting a running id restarts it with the new interval. Intervals come straight from the
  // settings' formulas and may be zero or negative; the host clamps them to what it can do.
  virtual void SetTimer(int id, long long milliseconds) = 0;
  virtual void KillTimer(int id) = 0;
  // Blocks the ticker's thread (the pause before each registration-order probe).
  virtual void Sleep(int milliseconds) = 0;
  virtual LocalDate Today() = 0;
  // The runtime's pseudo-random numbers (0 up to at least 32767), seeded by the host at start.
  virtual int Random() = 0;

  // Widths in pixels for the lead-in of the display line.
  virtual int ScreenWidth() = 0;
  // Width of the bar window (0 when it does not exist).
  virtual int BarWidth() = 0;
  // Outer width of the caption target held, or -1 when none is held.
  virtual int CaptionTargetWidth() = 0;

  // Bar mode: false when the bar window does not exist; otherwise a hidden bar is shown topmost
  // without moving or sizing it, and true.
  virtual bool PrepareBar() = 0;
  // Bar mode: true while a full-screen program (a video, a game, a presentation) is in the
  // foreground on the bar's monitor; the bar then gives way. A host without such programs never
  // says so.
  virtual bool BarMustGiveWay() { return false; }
  // Desktop mode, at the start of every tick: re-renders the wallpaper image and the snapshot
  // when the desktop's wallpaper settings changed.
  virtual void CheckWallpaperSettings() = 0;
  // Desktop mode: repaints the snapshot of the desktop under the strip (new line, every 50 ticks).
  virtual void RefreshSnapshot() = 0;

  // One tick of drawing. text is the visible part of the display line (at most 124 full-width
  // characters), xOffset the pixel shift (0, -4 or -8) of its first character.
  virtual void DrawBar(const std::string& text, int xOffset) = 0;
  // The strip is areaPercent % of the screen width at the top right of the work area.
  virtual void DrawDesktop(const std::string& text, int xOffset, int areaPercent) = 0;
  // Appends the text to the caption of the target window (found or kept by the host).
  virtual void DrawCaption(const std::string& text) = 0;

  // Clean-up of each mode when the display stops: hide the bar; paint the last desktop strip over
  // with the snapshot; give the caption target back its own title and let go of it.
  virtual void HideBar() = 0;
  virtual void ClearDesktopStrip() = 0;
  virtual void ReleaseCaptionTarget() = 0;

  // The flash window: false when it does not exist.
  virtual bool FlashExists() = 0;
  virtual void SetFlashText(const std::string& text) = 0;
  // Shows a hidden flash window topmost without moving or sizing it.
  virtual void ShowFlash() = 0;
  virtual void HideFlash() = 0;

  // Renders the screen-size wallpaper image anew (settings reload, slot commands, display change).
  virtual void RebuildWallpaperImage() = 0;

  // Fetches a page and extracts its headlines into list (the Win32 host calls
  // NewsList::FetchAndExtract). Never fails: failures leave an error item in the list.
  virtual void FetchPage(const std::string& url, const std::string& referrer, int level,
                         const std::string& user, const std::string& password, NewsList& list) = 0;

  // Sends a news message (WM_COPYDATA) to the ticker window itself and returns its result; the
  // handler has run when this returns.
  virtual bool SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) = 0;

  // End of the ticker window (WM_CLOSE): destroy the bar window, hide and destroy the flash
  // window, end the window's loop.
  virtual void CloseWindows() = 0;
};
