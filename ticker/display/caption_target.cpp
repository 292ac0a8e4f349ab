#include "ticker/display/caption_target.h"

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

std::u16string FormatCaption(const std::u16string& title, const std::u16string& text) {
  std::u16string caption = title + u"  " + text;
  if (caption.size() <= kMaxCaptionUnits) return caption;
  std::size_t end = kMaxCaptionUnits;
  // The first half of a surrogate pair goes with its second half.
  if (caption[end - 1] >= 0xD800 && caption[end - 1] <= 0xDBFF) --end;
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

void CCaptionTarget::Draw(const std::u16string& text) {
  const WindowId candidate = FindCaptionTarget(windows);
  if (HeldIntact() && candidate != held &&
      (candidate != kNoWindow || !IsCaptionCandidate(windows.Style(held)))) {
    Release();
  }
  const WindowId target = held != kNoWindow ? held : candidate;
  if (target == kNoWindow) return;

  std::u16string title;
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
  const std::u16string caption = FormatCaption(savedTitle, text);
  if (windows.WriteTitle(held, caption)) {
    writtenTitle = caption;
  } else {
    // The window did not answer in time: it still shows what it showed, but may yet take this.
    unconfirmedTitle = caption;
  }
}

}  // namespace ticker
