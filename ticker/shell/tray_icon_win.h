// The icon in the notification area, with its pop-up menu. The tray object has a hidden child
// window of its own on the owner; the shell's notifications and the menu's commands arrive there.
// Menu commands are sent on to the owner while busy is set, so a modal dialog opened by a command
// blocks further menus (the tip says so) and a click on the icon brings that dialog to the front;
// "TaskbarCreated" puts the icon back after the shell restarts.
#pragma once

// clang-format off
#include <windows.h>  // before shellapi.h, which depends on it
#include <shellapi.h>
// clang-format on

#include <string>

#include "support/win/handles.h"

class CTrayIcon {
 public:
  static constexpr UINT kCallbackMessage = WM_APP;
  static constexpr int kWindowId = 1102;
  // The tip of an icon with a menu.
  static constexpr char kMenuTip[] = "右クリックでメニュー表示";
  // How long the shell is asked to show a balloon (it may keep to limits of its own).
  static constexpr UINT kBalloonMs = 10000;

  enum class Action { kAdd, kModify, kDelete };

  CTrayIcon() = default;
  ~CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // False when it exists already, the owner is null or the menu cannot be loaded.
  bool Create(HWND owner, UINT menuId, HICON icon, bool addNow, WORD userId);
  void SetIcon(HICON icon);
  void Show(bool show);
  bool Notify(Action action);
  // The icon's balloon (an information icon, the title and the text, each cut to what the
  // record holds). False when the icon is not in the notification area or the shell refuses.
  bool ShowBalloon(const std::string& title, const std::string& text);
  // Deletes the icon, lets go of the owner and destroys the tray window.
  void Destroy();

  // The pop-up (the menu resource's first submenu).
  HMENU Popup() const { return popup; }
  HWND Window() const { return wnd; }
  bool IsAdded() const { return added; }
  bool IsBusy() const { return busy; }
  bool IsMenuOpen() const { return menuOpen; }
  // The command of the pop-up menu the owner is running now (it was chosen in the menu), or 0.
  UINT MenuCommand() const { return menuCommand; }
  // The tip the icon shows now (what the next Notify sends).
  std::string CurrentTip() const;

  bool mouseEnabled = true;
  std::string tip;

 private:
  static LRESULT CALLBACK TrayProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  static LRESULT CALLBACK OwnerProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  LRESULT OnTrayMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnIconNotification(UINT mouseMessage);
  void OnTaskbarCreated();
  void Forward(UINT mouseMessage, WPARAM wParam, LPARAM lParam);
  void BringDialogForward() const;
  // The record of this icon: window, id, callback, icon and tip.
  void FillRecord(NOTIFYICONDATAA& data) const;

  HWND wnd = nullptr;
  HWND ownerWnd = nullptr;
  WNDPROC trayPrevious = nullptr;
  WORD userId = 0;
  UINT menuId = 0;
  HICON icon = nullptr;
  bool busy = false;
  bool added = false;
  bool hidden = true;
  bool menuOpen = false;
  UINT menuCommand = 0;
  win::CMenuHandle menu;
  HMENU popup = nullptr;
};
