// The ticker window's desktop-background and title-bar modes. Only the bar is drawn so far:
// these leave the desktop and the captions of other windows alone, while the engine's ticks,
// repeats and pauses go on as usual.
#include "ticker/display/ticker_dlg_win.h"

int CTickerDlg::CaptionTargetWidth() {
  return -1;
}

void CTickerDlg::CheckWallpaperSettings() {}

void CTickerDlg::RefreshSnapshot() {}

void CTickerDlg::DrawDesktop(const std::string& /*text*/, int /*xOffset*/, int /*areaPercent*/) {}

void CTickerDlg::DrawCaption(const std::string& /*text*/) {}

void CTickerDlg::ClearDesktopStrip() {}

void CTickerDlg::ReleaseCaptionTarget() {}

void CTickerDlg::RebuildWallpaperImage() {}
