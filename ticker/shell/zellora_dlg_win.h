// The ticker's hidden main window (titled ticker_link::kWindowTitle): a modeless dialog that is never shown.
// It is the address other processes post to, and it owns the tray icon, the pop-up menu with
// the favourites, the ticker thread and the icon's busy animation. Command 1 (exit), command 2
// and WM_CLOSE end its loop; Shutdown then tears it down.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "support/win/dialog.h"
#include "support/win/handles.h"
#include "ticker/display/ticker_thread_win.h"
#include "ticker/shell/main_menu.h"
#include "ticker/shell/tray_icon_win.h"

class CZelloraDlg : public win::CDialog {
 public:
  // How long WM_CLOSE may take to reach the ticker window before the shutdown goes on without
  // it (the fetch in progress is aborted first, so a server that stalls does not use this up).
  static constexpr DWORD kCloseSendMs = 1000;
  // How long the ticker thread may take to end after that.
  static constexpr DWORD kTickerEndMs = 4000;

  CZelloraDlg();
  ~CZelloraDlg() override;

  // The orderly end, run once (after the loop, or when Windows ends the session): the tray
  // icon goes first so that no menu command arrives any more, then the ticker window is closed
  // and its thread awaited, then this window is destroyed. A ticker thread that had to be
  // terminated may have died holding the heap or a drawing lock, so the process then ends at
  // once instead of running any more of its clean-up.
  void Shutdown();

  const CTrayIcon& Tray() const { return tray; }
  HMENU Favourites() const { return favourites; }
  HMENU Headlines() const { return headlines; }

  // The tray icon's balloon with the program's name and "右クリックでメニュー表示": on the first
  // start, and when a second start asks (the icon may sit in the overflow area).
  void ShowItself();
  // Set before Create: show the balloon as soon as the icon is there.
  bool showItselfAtStart = false;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void LoadIcons();
  HWND TickerWindow() const;
  void PostToTicker(int command);
  void RunSettingsDialog(bool (*run)(HWND));
  void StartStop();
  void RebuildFavourites();
  // Lists the page now showing in the "見出し" submenu and keeps its links for the menu's choice.
  void RebuildHeadlines();
  // Opens the link of headline index (12000 + index) in the browser.
  void OpenHeadline(int index);
  void OpenSite();
  void SendSampleFlash();
  void ShowIcon(int resourceId);
  void RemoveTrayIcon();
  void StopTicker();

  CTrayIcon tray;
  HMENU favourites = nullptr;                                 // inside the tray's pop-up, which owns it
  HMENU headlines = nullptr;                                  // likewise
  std::vector<ticker::TickerEngine::Headline> menuHeadlines;  // as when the menu last opened
  main_menu::TrayAnimation animation;
  std::unique_ptr<CTickerThread> ticker;
  bool shutDown = false;
};
