#include "ticker/shell/zellora_dlg_win.h"

#include <shellapi.h>

#include <string>

#include "support/registry/registry.h"
#include "support/ticker_link/ticker_link.h"
#include "ticker/common/help_dlg_win.h"
#include "ticker/common/settings.h"
#include "ticker/news/news_message.h"
#include "ticker/res/resource.h"
#include "ticker/shell/about_dlg_win.h"
#include "ticker/shell/dialog_hooks_win.h"
#include "ticker/shell/tray_menu_win.h"

namespace {

constexpr UINT_PTR kAnimationTimer = 100;
constexpr UINT kAnimationMs = 200;
constexpr char kProgramName[] = "Zellora";

UINT ShowItselfMessage() {
  static const UINT id = ::RegisterWindowMessageA(ticker_link::kShowItselfMessage);
  return id;
}

// Icons by resource id, loaded once per process at the small-icon size (LR_SHARED: the system
// keeps them, nothing frees them).
HICON SmallIcon(int id) {
  return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                         LR_SHARED));
}

}  // namespace

CZelloraDlg::CZelloraDlg() : CDialog(IDD_ZELLORA_DIALOG) {}

CZelloraDlg::~CZelloraDlg() {
  Shutdown();
}

bool CZelloraDlg::OnInitDialog() {
  LoadIcons();
  tray.Create(GetHwnd(), IDR_TRAY_MENU, nullptr, true, 0);
  ShowIcon(main_menu::kIdleIcon);
  win::CMenuHandle submenu(::CreatePopupMenu());
  if (tray.Popup() && submenu && tray_menu::InsertFavourites(tray.Popup(), submenu.Get())) {
    favourites = submenu.Detach();  // the pop-up owns it from now on and destroys it with itself
  }
  win::CMenuHandle headlineMenu(::CreatePopupMenu());
  if (favourites && headlineMenu && tray_menu::InsertHeadlines(tray.Popup(), headlineMenu.Get())) {
    headlines = headlineMenu.Detach();
  }
  ::PostMessageA(GetHwnd(), WM_COMMAND, IDM_REBUILD_FAVOURITES, 0);

  ticker = std::make_unique<CTickerThread>();
  ticker->Start();

  const bool online = settings::ReadOnline();
  animation.stopped = !online;
  if (tray.Popup()) {
    tray_menu::SetItemText(tray.Popup(), IDM_START_STOP,
                           online ? main_menu::kStopText : main_menu::kStartText);
  }
  ShowIcon(animation.RestingIcon());
  animation.animFrame = 0;
  animation.animating = false;
  ::SetTimer(GetHwnd(), kAnimationTimer, kAnimationMs, nullptr);

  // A second start runs as the user, and this ticker may run with higher rights (started by an
  // elevated program): User Interface Privilege Isolation drops registered messages from a
  // lower integrity level unless the window lets them through (ChangeWindowMessageFilterEx).
  if (UINT msg = ShowItselfMessage()) ::ChangeWindowMessageFilterEx(GetHwnd(), msg, MSGFLT_ALLOW, nullptr);
  if (showItselfAtStart) ShowItself();
  return true;
}

void CZelloraDlg::ShowItself() {
  tray.ShowBalloon(kProgramName, CTrayIcon::kMenuTip);
}

void CZelloraDlg::LoadIcons() {
  // The window icon, big and small; LR_SHARED icons belong to the system, so nothing frees them.
  HANDLE big = ::LoadImageA(GetInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
  HANDLE small = ::LoadImageA(GetInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                              ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  if (big) ::SendMessageA(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) ::SendMessageA(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  SmallIcon(main_menu::kIdleIcon);
  SmallIcon(main_menu::kStoppedIcon);
  for (int id : main_menu::kAnimationIcons) SmallIcon(id);
}

void CZelloraDlg::ShowIcon(int resourceId) {
  if (HICON icon = SmallIcon(resourceId)) tray.SetIcon(icon);
}

HWND CZelloraDlg::TickerWindow() const {
  return ticker ? ticker->dlg.Window() : nullptr;
}

void CZelloraDlg::PostToTicker(int command) {
  HWND wnd = TickerWindow();
  // Right after the start the window may still be being made: its thread signals when it exists.
  if (!wnd && ticker && ticker->IsStarted()) wnd = ticker->WaitForWindow(2000);
  if (wnd) ::PostMessageA(wnd, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

bool CZelloraDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDM_URL_SETTINGS:
      RunSettingsDialog(RunUrlDialog);
      return true;
    case IDM_OPTIONS:
      RunSettingsDialog(RunOptionDialog);
      return true;
    case IDM_ABOUT: {
      CAboutDlg about;
      about.DoModal(GetHwnd());
      return true;
    }
    case IDM_START_STOP:
      StartStop();
      return true;
    case IDM_HELP: {
      CHelpDlg help(main_menu::kHelpCaption, main_menu::HelpText());
      help.DoModal(GetHwnd());
      return true;
    }
    case IDM_INTERNET:
      OpenSite();
      return true;
    case IDM_FLASH_SAMPLE:
      SendSampleFlash();
      return true;
    case IDM_REBUILD_FAVOURITES:
      RebuildFavourites();
      return true;
    case 0:
      // The tray icon's word that the pop-up menu is about to open: it lists the page now showing.
      RebuildHeadlines();
      return true;
    default:
      if (id >= ticker_link::kOpenHeadlineCommandFirst && id <= ticker_link::kOpenHeadlineCommandLast) {
        OpenHeadline(id - ticker_link::kOpenHeadlineCommandFirst);
        return true;
      }
      // Everything from 10000 up that is not one of the menu's own commands goes to the ticker.
      if (id >= ticker_link::kRelayCommandFirst) {
        PostToTicker(id);
        return true;
      }
      return CDialog::OnCommand(id, code, control);
  }
}

void CZelloraDlg::RunSettingsDialog(bool (*run)(HWND)) {
  if (run(GetHwnd())) PostToTicker(ticker_link::kReloadCommand);
  ::PostMessageA(GetHwnd(), WM_COMMAND, IDM_REBUILD_FAVOURITES, 0);
}

void CZelloraDlg::StartStop() {
  HMENU popup = tray.Popup();
  if (!popup) return;
  std::string newText;
  const bool online = main_menu::ToggleOnline(tray_menu::ItemText(popup, IDM_START_STOP), newText);
  tray_menu::SetItemText(popup, IDM_START_STOP, newText.c_str());
  settings::WriteOnline(online);
  // A fetch in progress would hold the reload up until the server answers or times out.
  if (ticker) ticker->dlg.AbortFetch();
  PostToTicker(ticker_link::kReloadCommand);
  ::PostMessageA(GetHwnd(), WM_COMMAND, IDM_REBUILD_FAVOURITES, 0);
  animation.stopped = !online;
  ShowIcon(animation.RestingIcon());
}

void CZelloraDlg::RebuildFavourites() {
  if (!favourites) return;
  CRegistry root(ticker_link::kRootPath);
  tray_menu::RebuildFavourites(favourites, root);
}

void CZelloraDlg::RebuildHeadlines() {
  menuHeadlines = ticker ? ticker->dlg.ShownHeadlines() : std::vector<ticker::TickerEngine::Headline>();
  if (!headlines) return;
  tray_menu::RebuildHeadlines(headlines, menuHeadlines);
  // An empty submenu would open as an empty box: "見出し" is greyed instead while nothing shows.
  ::EnableMenuItem(tray.Popup(), main_menu::kHeadlinesPosition,
                   MF_BYPOSITION | (menuHeadlines.empty() ? MF_GRAYED : MF_ENABLED));
}

void CZelloraDlg::OpenHeadline(int index) {
  // Chosen in the menu: the link captured when the menu opened (the page may have changed since).
  // Posted by another program: the item of the page now showing.
  const bool fromMenu =
      tray.MenuCommand() == static_cast<UINT>(ticker_link::kOpenHeadlineCommandFirst + index);
  const std::vector<ticker::TickerEngine::Headline> now =
      fromMenu ? std::vector<ticker::TickerEngine::Headline>()
               : (ticker ? ticker->dlg.ShownHeadlines() : std::vector<ticker::TickerEngine::Headline>());
  const auto& items = fromMenu ? menuHeadlines : now;
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return;
  const std::string& link = items[static_cast<std::size_t>(index)].link;
  if (link.empty()) return;
  ::ShellExecuteA(GetHwnd(), "open", link.c_str(), nullptr, nullptr, SW_SHOW);
}

void CZelloraDlg::OpenSite() {
  std::string url = ticker ? ticker->dlg.SiteUrl() : std::string();
  if (url.empty()) url = news::kMakerHomeUrl;
  ::ShellExecuteA(GetHwnd(), "open", url.c_str(), nullptr, nullptr, SW_SHOW);
}

void CZelloraDlg::SendSampleFlash() {
  HWND wnd = TickerWindow();
  if (!wnd) return;
  std::string text = "@TITLE@地震速報@/TITLE@@URL@";
  text += news::kChannelPageUrl;
  text +=
      "@/URL@@NEWS@鹿児島付近を震源地に地震が発生しました。\f各地の震度は、鹿児島　震度３　和歌山　震度２\r\n"
      "鳥取　震度５　岡山　震度３";
  COPYDATASTRUCT cds = {};
  cds.dwData = ticker_link::kTagFlash;
  cds.cbData = static_cast<DWORD>(text.size() + 1);
  cds.lpData = &text[0];
  ::SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

void CZelloraDlg::OnTimer(UINT_PTR id) {
  if (id != kAnimationTimer) return;
  const int icon = animation.Step(ticker && ticker->dlg.Busy());
  if (icon) ShowIcon(icon);
}

bool CZelloraDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
  if (msg == ShowItselfMessage() && msg != 0) {
    // A ticker that is ending says so, and the second start waits for it instead.
    if (shutDown) {
      result = 0;
    } else {
      ShowItself();
      result = ticker_link::kShowItselfAnswer;
    }
    return true;
  }
  switch (msg) {
    case WM_ENDSESSION:
      // Windows is really ending: there may be no chance to leave the loop normally.
      if (wParam) Shutdown();
      result = 0;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == 0x10) {
        CAboutDlg about;
        about.DoModal(GetHwnd());
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void CZelloraDlg::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  if (GetHwnd()) ::KillTimer(GetHwnd(), kAnimationTimer);
  RemoveTrayIcon();
  StopTicker();
  DestroyWindow();
}

void CZelloraDlg::RemoveTrayIcon() {
  tray.Show(false);
  tray.Destroy();
  favourites = nullptr;  // destroyed with the pop-up
  headlines = nullptr;
}

void CZelloraDlg::StopTicker() {
  if (!ticker || !ticker->IsStarted()) return;
  if (!ticker->Stop(kCloseSendMs, kTickerEndMs)) {
    // The dead thread may have held the heap's lock or a drawing surface's: nothing of this
    // process may run any more, not even the runtime's exit handlers.
    ::TerminateProcess(::GetCurrentProcess(), 0);
  }
}
