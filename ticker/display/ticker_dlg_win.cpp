#include "ticker/display/ticker_dlg_win.h"

#include <cstdlib>
#include <ctime>
#include <utility>

#include "support/ticker_link/ticker_link.h"
#include "support/win/dpi.h"
#include "ticker/display/full_screen_win.h"
#include "ticker/display/ticker_windows_res.h"

CTickerDlg::CTickerDlg(std::string root)
    : CDialog(IDD_TICKER_DIALOG), store(std::move(root)), engine(*this, store) {}

CTickerDlg::~CTickerDlg() {
  DestroyWindow();
}

bool CTickerDlg::OnInitDialog() {
  published.store(GetHwnd());
  bar.Create(nullptr);
  flash.Create(nullptr);
  // Seeded before the first reload, so that the first random pick differs from run to run.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  ::PostMessageA(GetHwnd(), kStartMessage, 0, 0);
  return false;
}

bool CTickerDlg::OnMessage(UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& result) {
  switch (msg) {
    case kStartMessage:
      engine.OnInit();
      result = 0;
      return true;
    case kEndLoopMessage:
      // The display is cleaned up first (a caption or a desktop strip must not keep the
      // ticker's text); nothing when the close came through already.
      engine.OnClose();
      EndModalLoop(1);
      result = 0;
      return true;
    case WM_DISPLAYCHANGE:
      engine.OnDisplayChange();
      result = 0;
      return true;
    default:
      return false;
  }
}

bool CTickerDlg::OnCommand(int id, int /*code*/, HWND /*control*/) {
  return engine.OnCommand(id);
}

void CTickerDlg::OnTimer(UINT_PTR id) {
  engine.OnTimer(static_cast<int>(id));
}

bool CTickerDlg::OnCopyData(HWND /*from*/, const COPYDATASTRUCT* data) {
  if (!data) return false;
  // The tag is a 32-bit number in a pointer-sized field: anything wider is no tag of ours
  // (cutting it would turn 0x1'464C5348 into 'FLSH').
  if (data->dwData > 0xFFFFFFFFu) return false;
  return engine.OnCopyData(static_cast<std::uint32_t>(data->dwData), data->lpData, data->cbData);
}

void CTickerDlg::OnClose() {
  engine.OnClose();
}

void CTickerDlg::OnDestroy() {
  published.store(nullptr);
  bar.DestroyWindow();
  flash.DestroyWindow();
  barPainter.Release();
}

// --- TickerHost ---

void CTickerDlg::SetTimer(int id, long long milliseconds) {
  if (!GetHwnd()) return;
  if (milliseconds < USER_TIMER_MINIMUM) milliseconds = USER_TIMER_MINIMUM;
  if (milliseconds > USER_TIMER_MAXIMUM) milliseconds = USER_TIMER_MAXIMUM;
  ::SetTimer(GetHwnd(), static_cast<UINT_PTR>(id), static_cast<UINT>(milliseconds), nullptr);
}

void CTickerDlg::KillTimer(int id) {
  if (GetHwnd()) ::KillTimer(GetHwnd(), static_cast<UINT_PTR>(id));
}

void CTickerDlg::Sleep(int milliseconds) {
  ::Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

LocalDate CTickerDlg::Today() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return LocalDate{now.wYear, now.wMonth, now.wDay};
}

int CTickerDlg::Random() {
  return std::rand();
}

// The display line's lead-in counts 12-pixel characters: the widths it is measured on are given
// at 96 DPI, whatever the DPI the text is drawn at.
int CTickerDlg::ScreenWidth() {
  return win::UnscaleForDpi(::GetSystemMetrics(SM_CXSCREEN), win::DpiOfPrimaryMonitor());
}

int CTickerDlg::BarWidth() {
  return bar.GetHwnd() ? win::UnscaleForDpi(bar.Width(), bar.Dpi()) : 0;
}

bool CTickerDlg::PrepareBar() {
  if (!bar.GetHwnd()) return false;
  bar.ShowTopmost();
  return true;
}

bool CTickerDlg::BarMustGiveWay() {
  const DWORD now = ::GetTickCount();
  const bool ask = !shellAsked || now - shellAskedAt >= 1000;
  ticker::ForegroundFacts facts = ticker::ProbeForeground(bar.GetHwnd(), ask);
  if (ask) {
    shellState = facts.state;
    shellAskedAt = now;
    shellAsked = true;
  } else {
    facts.state = shellState;
  }
  return ticker::BarGivesWay(facts);
}

void CTickerDlg::DrawBar(const std::string& text, int xOffset) {
  if (!bar.GetHwnd()) return;
  if (barPainter.Draw(bar.BarRect(), text, xOffset, RGB(0, 0, 0), nullptr, bar.Dpi()))
    bar.Present(barPainter.Dc());
}

void CTickerDlg::HideBar() {
  bar.Hide();
}

bool CTickerDlg::FlashExists() {
  return flash.GetHwnd() != nullptr;
}

void CTickerDlg::SetFlashText(const std::string& text) {
  flash.SetFlashText(text);
}

void CTickerDlg::ShowFlash() {
  // Above everything at every step, a full-screen program's topmost window included: bulletins
  // are urgent.
  flash.RaiseTopmost();
}

void CTickerDlg::HideFlash() {
  // The last line's shape goes with it, so a hidden flash window covers nothing.
  flash.SetFlashText(std::string());
  flash.Hide();
}

void CTickerDlg::FetchPage(const std::string& url, const std::string& referrer, int level,
                           const std::string& user, const std::string& password, NewsList& list) {
  list.FetchAndExtract(url.c_str(), referrer.c_str(), level, user.c_str(), password.c_str());
}

bool CTickerDlg::SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) {
  if (!GetHwnd()) return false;
  COPYDATASTRUCT cds = {};
  cds.dwData = tag;
  cds.cbData = static_cast<DWORD>(size);
  cds.lpData = const_cast<void*>(data);
  return ::SendMessageA(GetHwnd(), WM_COPYDATA, reinterpret_cast<WPARAM>(GetHwnd()),
                        reinterpret_cast<LPARAM>(&cds)) != 0;
}

void CTickerDlg::CloseWindows() {
  bar.DestroyWindow();
  flash.Hide();
  flash.DestroyWindow();
  EndDialog(IDOK);
}
