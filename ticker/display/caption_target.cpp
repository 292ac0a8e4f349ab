#include "ticker/display/caption_target.h"

#include "support/text/sjis.h"

namespace ticker {

namespace cs = caption_style;

bool IsCaptionCandidate(std::uint32_t style) {
  if (!(style & cs::kVisible) || (style & cs::kMinimized)) return false;
  return (style & cs::kOverlappedWindow) == cs::kOverlappedWindow ||
         (style & cs::kPopupWindow) == cs::kPopupWindow;
}

bool IsForegroundCandidate(std::uint32_t style) {
  return IsCaptionCandidate(style) && (style & (cs::kCaption | cs::kBorder)) != 0;
}

std::string FormatCaption(const std::string& title, const std::string& text) {
  std::string caption = title + "  " + text;
  if (caption.size() <= kMaxCaptionBytes) return caption;
  std::size_t end = 0;
  for (;;) {
    const std::size_t next = sjis::NextChar(caption, end);
    if (next == end || next > kMaxCaptionBytes) break;
    end = next;
  }
  caption.resize(end);
  return caption;
}

WindowId FindCaptionTarget(CaptionWindows& windows) {
  const WindowId foreground = windows.Foreground();
  if (foreground != kNoWindow && IsForegroundCandidate(windows.Style(foreground))) return foreground;
  for (WindowId w : windows.TopLevelWindows()) {
    if (IsCaptionCandidate(windows.Style(w))) return w;
  }
  return kNoWindow;
}

bool CCaptionTarget::HeldIntact() {
  if (held == kNoWindow) return false;
  WindowIdentity now;
  if (windows.Exists(held) && windows.Identify(held, now) && now == identity) return true;
  Forget();
  return false;
}

void CCaptionTarget::Forget() {
  held = kNoWindow;
  identity = WindowIdentity();
  savedTitle.clear();
  writtenTitle.clear();
  unconfirmedTitle.clear();
}

void CCaptionTarget::Release() {
  if (HeldIntact()) windows.WriteTitle(held, savedTitle);
  Forget();
}

int CCaptionTarget::TargetWidth() {
  return HeldIntact() ? windows.OuterWidth(held) : -1;
}

void CCaptionTarget::Draw(const std::string& text) {
  const WindowId candidate = FindCaptionTarget(windows);
  if (HeldIntact() && candidate != held &&
      (candidate != kNoWindow || !IsCaptionCandidate(windows.Style(held)))) {
    Release();
  }
  const WindowId target = held != kNoWindow ? held : candidate;
  if (target == kNoWindow) return;

  std::string title;
  if (!windows.ReadTitle(target, title)) return;
  if (held == kNoWindow) {
    if (!windows.Identify(target, identity)) return;
    held = target;
    savedTitle = title;
  }
  if (!unconfirmedTitle.empty() && title == unconfirmedTitle) {
    // A write that timed out reached the window after all.
    writtenTitle = unconfirmedTitle;
  } else if (title != writtenTitle) {
    // A caption other than ours: the window changed it itself, and that is its title now.
    savedTitle = title;
  }
  unconfirmedTitle.clear();
  const std::string caption = FormatCaption(savedTitle, text);
  if (windows.WriteTitle(held, caption)) {
    writtenTitle = caption;
  } else {
    // The window did not answer in time: it still shows what it showed, but may yet take this.
    unconfirmedTitle = caption;
  }
}

}  // namespace ticker
