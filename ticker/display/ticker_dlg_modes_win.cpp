// The ticker window's desktop-background and title-bar modes: the host calls of the engine,
// handed to the wallpaper capture, the desktop strip and the caption target.
#include "ticker/display/ticker_dlg_win.h"

int CTickerDlg::CaptionTargetWidth() {
  return captionTarget.TargetWidth();
}

void CTickerDlg::CheckWallpaperSettings() {
  wallpaper.CheckWallpaperSettings();
}

void CTickerDlg::RefreshSnapshot() {
  wallpaper.RefreshSnapshot();
}

void CTickerDlg::DrawDesktop(const std::string& text, int xOffset, int areaPercent) {
  desktopStrip.Draw(text, xOffset, areaPercent);
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
