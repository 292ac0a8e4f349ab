#include "ticker/shell/tray_icon_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ticker/shell/tray_menu_res.h"

namespace {

struct Seen {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool trayBusy;
  std::string tip;
  UINT menuCommand;  // what the tray said was chosen in its menu while the owner ran it
};
std::vector<Seen> seen;
CTrayIcon* watched = nullptr;
// Runs inside a menu command sent to the owner, as a dialog opened by the command does.
std::function<void()> duringCommand;

LRESULT CALLBACK OwnerProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_RBUTTONDOWN ||
      msg >= 0xC000) {
    seen.push_back({msg, wParam, lParam, watched && watched->IsBusy(), watched ? watched->CurrentTip() : "",
                    watched ? watched->MenuCommand() : 0u});
  }
  if (msg == WM_COMMAND && duringCommand) duringCommand();
  return ::DefWindowProcA(w, msg, wParam, lParam);
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TrayIconTestOwner";
    ::RegisterClassA(&wc);
    owner = ::CreateWindowExA(0, "TrayIconTestOwner", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    seen.clear();
  }
  void TearDown() override {
    watched = nullptr;
    duringCommand = nullptr;
    ::DestroyWindow(owner);
  }
  static void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
  }
  HWND owner = nullptr;
};

TEST_F(TrayIconTest, AddsItselfWithItsMenuAndLetsGoOfTheOwnerAtTheEnd) {
  CTrayIcon tray;
  EXPECT_FALSE(tray.Create(nullptr, IDR_TRAY_MENU, nullptr, true, 0));
  EXPECT_FALSE(tray.Create(owner, 9999, nullptr, true, 0)) << "no such menu";
  const LONG_PTR ownProc = ::GetWindowLongPtrA(owner, GWLP_WNDPROC);
  HICON icon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
  ASSERT_TRUE(tray.Create(owner, IDR_TRAY_MENU, icon, true, 0));
  EXPECT_FALSE(tray.Create(owner, IDR_TRAY_MENU, icon, true, 0)) << "created twice";
  EXPECT_TRUE(tray.IsAdded());
  ASSERT_NE(tray.Popup(), nullptr);
  EXPECT_EQ(::GetMenuItemCount(tray.Popup()), 9);
  EXPECT_EQ(::GetDlgCtrlID(tray.Window()), CTrayIcon::kWindowId);
  EXPECT_EQ(::GetParent(tray.Window()), owner);
  EXPECT_NE(::GetWindowLongPtrA(owner, GWLP_WNDPROC), ownProc) << "the owner is subclassed";
  EXPECT_EQ(tray.CurrentTip(), "右クリックでメニュー表示");
  tray.tip = "";
  EXPECT_EQ(tray.CurrentTip(), "右クリックでメニュー表示") << "a menu means the default tip";

  tray.Show(false);
  EXPECT_FALSE(tray.IsAdded());
  tray.SetIcon(icon);
  EXPECT_FALSE(tray.IsAdded()) << "a hidden icon is not put back by a change of picture";
  tray.Show(true);
  EXPECT_TRUE(tray.IsAdded());

  tray.Destroy();
  EXPECT_FALSE(tray.IsAdded());
  EXPECT_EQ(::GetWindowLongPtrA(owner, GWLP_WNDPROC), ownProc);
  EXPECT_EQ(tray.Window(), nullptr);
}

TEST_F(TrayIconTest, MenuCommandsRunWhileBusyAndMouseMessagesReachTheOwner) {
  CTrayIcon tray;
  ASSERT_TRUE(tray.Create(owner, IDR_TRAY_MENU, nullptr, true, 7));
  watched = &tray;
  ::SendMessageA(tray.Window(), WM_COMMAND, IDM_HELP, 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(IDM_HELP));
  EXPECT_TRUE(seen[0].trayBusy);
  EXPECT_EQ(seen[0].tip, "コマンド処理中のためメニュー表示できません");
  EXPECT_EQ(seen[0].menuCommand, static_cast<UINT>(IDM_HELP));
  EXPECT_FALSE(tray.IsBusy());
  EXPECT_EQ(tray.MenuCommand(), 0u);
  // A command sent to the owner itself (from another program) is no menu choice.
  seen.clear();
  ::SendMessageA(owner, WM_COMMAND, 12000, 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].menuCommand, 0u);

  seen.clear();
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_LBUTTONDOWN);
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_LBUTTONUP);
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_RBUTTONDOWN);
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_MOUSEMOVE);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(seen[0].wParam, (7u << 16) + 1);
  EXPECT_EQ(seen[1].wParam, 7u << 16);
  EXPECT_EQ(seen[2].wParam, (7u << 16) + 2);
  EXPECT_TRUE(seen[2].trayBusy);

  // With the mouse turned off nothing is forwarded.
  seen.clear();
  tray.mouseEnabled = false;
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_LBUTTONDOWN);
  EXPECT_TRUE(seen.empty());
}

TEST_F(TrayIconTest, ABalloonOnlyOnAnIconThatIsThere) {
  CTrayIcon tray;
  EXPECT_FALSE(tray.ShowBalloon("Zellora", CTrayIcon::kMenuTip)) << "no icon yet";
  ASSERT_TRUE(tray.Create(owner, IDR_TRAY_MENU, nullptr, true, 0));
  EXPECT_TRUE(tray.ShowBalloon("Zellora", CTrayIcon::kMenuTip));
  // Texts longer than the record's fields are cut between characters, not refused.
  std::string longText;
  for (int i = 0; i < 100; ++i) longText += "表示";
  EXPECT_TRUE(tray.ShowBalloon(longText, longText));
  EXPECT_TRUE(tray.IsAdded());
  EXPECT_EQ(tray.CurrentTip(), "右クリックでメニュー表示") << "the tip is not the balloon's";
  tray.Show(false);
  EXPECT_FALSE(tray.ShowBalloon("Zellora", CTrayIcon::kMenuTip)) << "a hidden icon shows nothing";
  EXPECT_FALSE(tray.IsAdded());
}

TEST_F(TrayIconTest, TaskbarCreatedPutsTheIconBackAndTellsTheOwner) {
  CTrayIcon tray;
  ASSERT_TRUE(tray.Create(owner, IDR_TRAY_MENU, nullptr, true, 3));
  ASSERT_TRUE(tray.IsAdded());
  const UINT created = ::RegisterWindowMessageA("TaskbarCreated");
  const UINT notify = ::RegisterWindowMessageA("NotifyTaskbarCreated");
  ::SendMessageA(owner, created, 0, 0);  // as the shell broadcasts it
  Pump();
  EXPECT_TRUE(tray.IsAdded());
  bool told = false;
  for (const Seen& s : seen) told = told || (s.msg == notify && s.wParam == (3u << 16));
  EXPECT_TRUE(told);

  // An icon taken away stays away.
  seen.clear();
  tray.Show(false);
  ::SendMessageA(owner, created, 0, 0);
  Pump();
  EXPECT_FALSE(tray.IsAdded());
  for (const Seen& s : seen) EXPECT_NE(s.msg, notify);
}

TEST_F(TrayIconTest, AClickWhileACommandsDialogIsOpenBringsThatDialogToTheFront) {
  CTrayIcon tray;
  ASSERT_TRUE(tray.Create(owner, IDR_TRAY_MENU, nullptr, true, 0));
  auto window = [](const char* title, HWND ownedBy) {
    return ::CreateWindowExA(0, "STATIC", title, WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 20, 200, 100,
                             ownedBy, nullptr, nullptr, nullptr);
  };
  HWND front = nullptr;
  std::string tip;
  duringCommand = [&] {
    // The registration dialog, with the selection dialog opened from it (modal: its owner is
    // disabled); then another program's window covers them.
    HWND regist = window("regist", owner);
    HWND select = window("select", regist);
    ::EnableWindow(regist, FALSE);
    HWND other = window("other", nullptr);
    ::SetForegroundWindow(other);
    ASSERT_EQ(::GetForegroundWindow(), other);
    ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_RBUTTONUP);
    front = ::GetForegroundWindow();
    tip = tray.CurrentTip();
    EXPECT_EQ(front, select);
    EXPECT_FALSE(tray.IsMenuOpen());
    ::SetForegroundWindow(other);
    ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_LBUTTONUP);
    EXPECT_EQ(::GetForegroundWindow(), select);
    ::DestroyWindow(other);
    ::DestroyWindow(select);
    ::DestroyWindow(regist);
  };
  ::SendMessageA(tray.Window(), WM_COMMAND, IDM_URL_SETTINGS, 0);
  EXPECT_NE(front, nullptr);
  EXPECT_EQ(tip, "コマンド処理中のためメニュー表示できません");

  // Without a command running, a click brings nothing forward and reaches the owner as before.
  duringCommand = nullptr;
  seen.clear();
  ::SendMessageA(tray.Window(), CTrayIcon::kCallbackMessage, 0, WM_LBUTTONUP);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_LBUTTONUP));
}

}  // namespace
