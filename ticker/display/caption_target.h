// Title-bar mode: the ticker appends its visible text to the caption of the active window and
// gives the caption back when it stops, when another window becomes active or when the window
// no longer looks like an application window. The windows are reached through CaptionWindows
// (caption_windows_win.h on Windows, a fake in the tests).
//
// Captions are UTF-16, as the window manager keeps them: another program's caption may hold any
// character (an emoji, a European name) and must come back exactly as it was, which a trip
// through code page 932 would not allow. The ticker's own text is converted to UTF-16 before it
// gets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ticker {

using WindowId = std::uintptr_t;  // 0: no window
constexpr WindowId kNoWindow = 0;

// Window style bits the caption tests look at (their values are fixed by the window manager).
namespace caption_style {
constexpr std::uint32_t kPopup = 0x80000000u;
constexpr std::uint32_t kMinimized = 0x20000000u;
constexpr std::uint32_t kVisible = 0x10000000u;
constexpr std::uint32_t kCaption = 0x00C00000u;  // border and dialog frame
constexpr std::uint32_t kBorder = 0x00800000u;
constexpr std::uint32_t kSysMenu = 0x00080000u;
constexpr std::uint32_t kThickFrame = 0x00040000u;
constexpr std::uint32_t kMinimizeBox = 0x00020000u;
constexpr std::uint32_t kMaximizeBox = 0x00010000u;
constexpr std::uint32_t kOverlappedWindow = kCaption | kSysMenu | kThickFrame | kMinimizeBox | kMaximizeBox;
constexpr std::uint32_t kPopupWindow = kPopup | kBorder | kSysMenu;
}  // namespace caption_style

// Visible, not minimised, with every bit of the overlapped-window style or of the popup-window
// style: the windows whose caption is written to.
bool IsCaptionCandidate(std::uint32_t style);
// The foreground window must also have a caption or border bit.
bool IsForegroundCandidate(std::uint32_t style);

// A caption written by the ticker holds at most this many UTF-16 units; longer ones are cut at a
// character boundary, so reading the caption back gives exactly what was written.
constexpr std::size_t kMaxCaptionUnits = 1023;
// "%s  %s" of the window's own title and the ticker text, cut to kMaxCaptionUnits without
// splitting a surrogate pair.
std::u16string FormatCaption(const std::u16string& title, const std::u16string& text);

// What tells a window apart from a later one that got the same handle.
struct WindowIdentity {
  std::uint32_t process = 0;
  std::uint32_t thread = 0;
  std::string className;
  bool operator==(const WindowIdentity& o) const {
    return process == o.process && thread == o.thread && className == o.className;
  }
  bool operator!=(const WindowIdentity& o) const { return !(*this == o); }
};

class CaptionWindows {
 public:
  virtual ~CaptionWindows() = default;
  virtual WindowId Foreground() = 0;
  // Top-level windows from the top of the z-order down.
  virtual std::vector<WindowId> TopLevelWindows() = 0;
  virtual std::uint32_t Style(WindowId window) = 0;
  virtual bool Exists(WindowId window) = 0;
  // false when the window is gone.
  virtual bool Identify(WindowId window, WindowIdentity& identity) = 0;
  // The whole caption; false when it cannot be read.
  virtual bool ReadTitle(WindowId window, std::u16string& title) = 0;
  // false when the window did not take the title in time (it may still take it later).
  virtual bool WriteTitle(WindowId window, const std::u16string& title) = 0;
  virtual int OuterWidth(WindowId window) = 0;
};

// The foreground window when it passes IsForegroundCandidate, else the first top-level window
// in z-order that passes IsCaptionCandidate, else kNoWindow.
WindowId FindCaptionTarget(CaptionWindows& windows);

class CCaptionTarget {
 public:
  explicit CCaptionTarget(CaptionWindows& w) : windows(w) {}
  CCaptionTarget(const CCaptionTarget&) = delete;
  CCaptionTarget& operator=(const CCaptionTarget&) = delete;
  ~CCaptionTarget() = default;  // the owner releases first (Release), while the windows exist

  // One tick: finds the target (keeping or giving back the one held) and writes "%s  %s" of its
  // own title and text into its caption.
  void Draw(const std::u16string& text);
  // Gives the held window its own title back and lets go of it.
  void Release();
  // Outer width of the held window, -1 when none is held.
  int TargetWidth();

  WindowId Held() const { return held; }
  const std::u16string& SavedTitle() const { return savedTitle; }
  const std::u16string& WrittenTitle() const { return writtenTitle; }

 private:
  // The held window still exists and is the one that was taken (not a new window that reuses
  // its handle). When it is not, it is forgotten without writing to it.
  bool HeldIntact();
  void Forget();

  CaptionWindows& windows;
  WindowId held = kNoWindow;
  WindowIdentity identity;
  std::u16string savedTitle;        // the window's own title
  std::u16string writtenTitle;      // what the ticker last wrote into it
  std::u16string unconfirmedTitle;  // a write the window did not answer in time
};

}  // namespace ticker
