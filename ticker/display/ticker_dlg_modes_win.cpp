// The ticker window's desktop-background and title-bar modes: the host calls of the engine,
// handed to the wallpaper capture, the desktop strip and the caption target.
#include "support/win/dpi.h"
#include "ticker/display/ticker_dlg_win.h"

int CTickerDlg::CaptionTargetWidth() {
  // At 96 DPI like the other lead-in widths (the caption's own font grows with the DPI too).
  const int width = captionTarget.TargetWidth();
  return width < 0 ? width : win::UnscaleForDpi(width, win::DpiOfPrimaryMonitor());
}

void CTickerDlg::CheckWallpaperSettings() {
  wallpaper.CheckWallpaperSettings();
}

void CTickerDlg::RefreshSnapshot() {
  wallpaper.RefreshSnapshot();
}

void CTickerDlg::DrawDesktop(const std::string& text, int xOffset, int areaPercent) {
  desktopStrip.Draw(text, xOffset, areaPercent, win::DpiOfPrimaryMonitor());
}

void CTickerDlg::DrawCaption(const std::string& text) {
  captionTarget.Draw(ticker::TickerTextToUtf16(text));
}

void CTickerDlg::ClearDesktopStrip() {
  desktopStrip.Clear();
}

void CTickerDlg::ReleaseCaptionTarget() {
  captionTarget.Release();
}

void CTickerDlg::RebuildWallpaperImage() {
  wallpaper.RebuildWallpaperImage();
}
