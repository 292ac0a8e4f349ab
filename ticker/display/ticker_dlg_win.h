// The ticker window: a hidden modeless dialog on the ticker thread, titled "_ZELL_DIALOG_", that
// runs the rotation engine. It is the engine's real host: window timers on itself, the bar and
// the flash window, the page fetch (synchronously, on this thread), news messages sent to
// itself. The main window talks to it only by messages and reads Busy() and SiteUrl().
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "support/net/http_request.h"
#include "support/ticker_link/ticker_link.h"
#include "support/win/dialog.h"
#include "ticker/display/bar_wnd_win.h"
#include "ticker/display/caption_target.h"
#include "ticker/display/caption_windows_win.h"
#include "ticker/display/desktop_strip_win.h"
#include "ticker/display/draw_strip_win.h"
#include "ticker/display/flash_wnd_win.h"
#include "ticker/display/full_screen.h"
#include "ticker/display/ticker_engine.h"
#include "ticker/display/ticker_host.h"
#include "ticker/display/wallpaper_win.h"
#include "ticker/news/ticker_store.h"

class CTickerDlg : public win::CDialog, public TickerHost {
 public:
  static constexpr const char kTitle[] = "_ZELL_DIALOG_";
  // Posted to itself at initialisation: the first reload (and fetch) runs inside the window's
  // loop, so that the window is known to the main thread before the first page is fetched.
  static constexpr UINT kStartMessage = WM_APP + 1;
  // Posted by the main window at shutdown when WM_CLOSE could not be delivered in time.
  static constexpr UINT kEndLoopMessage = WM_APP + 2;

  // root: the registry key of the settings and the URL list (tests give their own).
  explicit CTickerDlg(std::string root = ticker_link::kRootPath);
  ~CTickerDlg() override;

  // --- read from the main window's thread ---
  bool Busy() const { return engine.Busy(); }
  std::string SiteUrl() const { return engine.SiteUrl(); }
  std::vector<ticker::TickerEngine::Headline> ShownHeadlines() const { return engine.ShownHeadlines(); }
  // The window, published once it exists (null before and after).
  HWND Window() const { return published.load(); }
  // Any thread: ends the page fetch in progress at once and fails every fetch after it, until this
  // window handles the next reload command. The main window calls it just before it posts a
  // reload (Start/Stop) or sends WM_CLOSE, so that a stalled server holds up neither.
  void AbortFetch() { fetchAbort.Abort(); }

  const ticker::TickerEngine& Engine() const { return engine; }
  const CBarWnd& Bar() const { return bar; }
  const CFlashWnd& Flash() const { return flash; }

  // --- TickerHost ---
  void SetTimer(int id, long long milliseconds) override;
  void KillTimer(int id) override;
  void Sleep(int milliseconds) override;
  LocalDate Today() override;
  int Random() override;
  int ScreenWidth() override;
  int BarWidth() override;
  int CaptionTargetWidth() override;
  bool PrepareBar() override;
  bool BarMustGiveWay() override;
  void CheckWallpaperSettings() override;
  void RefreshSnapshot() override;
  void DrawBar(const std::string& text, int xOffset) override;
  void DrawDesktop(const std::string& text, int xOffset, int areaPercent) override;
  void DrawCaption(const std::string& text) override;
  void HideBar() override;
  void ClearDesktopStrip() override;
  void ReleaseCaptionTarget() override;
  bool FlashExists() override;
  void SetFlashText(const std::string& text) override;
  void ShowFlash() override;
  void HideFlash() override;
  void RebuildWallpaperImage() override;
  void FetchPage(const std::string& url, const std::string& referrer, int level, const std::string& user,
                 const std::string& password, NewsList& list) override;
  bool SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) override;
  void CloseWindows() override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnCopyData(HWND from, const COPYDATASTRUCT* data) override;
  void OnClose() override;
  void OnOK() override {}  // Enter and Escape reach a hidden dialog too; they must not end it
  void OnCancel() override {}
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  RegistryTickerStore store;
  ticker::TickerEngine engine;
  CBarWnd bar;
  CFlashWnd flash;
  ticker::CStripPainter barPainter;
  // Desktop mode: the wallpaper image and desktop snapshot, and the strip drawn from them.
  ticker::CWallpaperCapture wallpaper;
  ticker::CDesktopStrip desktopStrip{wallpaper};
  // Title-bar mode: the window whose caption carries the text.
  ticker::CSystemCaptionWindows captionWindows;
  ticker::CCaptionTarget captionTarget{captionWindows};
  std::atomic<HWND> published{nullptr};
  // The shell's word on full-screen programs, asked at most once a second.
  ticker::UserState shellState = ticker::UserState::kUnknown;
  DWORD shellAskedAt = 0;
  bool shellAsked = false;
  // Put in force around every fetch of this thread.
  HttpAbort fetchAbort;
};
