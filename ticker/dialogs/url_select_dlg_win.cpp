#include "ticker/dialogs/url_select_dlg_win.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "support/net/page_fetch.h"
#include "support/win/dpi.h"
#include "ticker/common/help_dlg_win.h"
#include "ticker/common/settings.h"
#include "ticker/dialogs/help_texts.h"
#include "ticker/dialogs/url_select_dlg_res.h"
#include "ticker/news/news_list.h"

namespace {

constexpr UINT_PTR kEditSubclass = 1;
constexpr UINT kTypedUrlMessage = WM_APP + 31;      // Enter went down in one of the two edits
constexpr UINT kDownloadDoneMessage = WM_APP + 32;  // an own download has delivered
constexpr UINT kRelayoutMessage = WM_APP + 33;      // lay out again after a DPI change

std::atomic<int> downloadsRunning{0};

struct OwnDownload {
  unsigned navigation = 0;  // the navigation it was started for
  std::string url;
  std::string markup;
};

}  // namespace

// Where the own downloads' threads leave their results. It lives as long as the dialog or a
// download still holds it; once the dialog has closed it, nothing is posted to the window any more.
class CUrlSelectDlg::DownloadMailbox {
 public:
  explicit DownloadMailbox(HWND dialog) : window(dialog) {}

  // The dialog is going: from now on results are dropped, and the downloads give up at their
  // next line.
  void Close() {
    std::lock_guard<std::mutex> hold(lock);
    window = nullptr;
    closed = true;
  }
  bool Closed() const { return closed.load(); }

  void Deliver(OwnDownload done) {
    std::lock_guard<std::mutex> hold(lock);
    // Posted under the lock, so Close (on the dialog's thread, before its window goes) cannot
    // come between the check and the post.
    if (!window) return;
    results.push_back(std::move(done));
    ::PostMessageA(window, kDownloadDoneMessage, 0, 0);
  }

  std::vector<OwnDownload> Take() {
    std::lock_guard<std::mutex> hold(lock);
    return std::exchange(results, {});
  }

 private:
  std::mutex lock;
  HWND window;
  std::atomic<bool> closed{false};
  std::vector<OwnDownload> results;
};

// The lines of a page as they arrive; a download whose dialog has gone stops at the next one.
class CUrlSelectDlg::LineCollector : public PageLineSink {
 public:
  explicit LineCollector(const DownloadMailbox& box) : mailbox(box) {}
  void OnLine(std::string& line) override {
    if (mailbox.Closed()) throw std::runtime_error("the dialog has closed");
    page.lines.push_back(std::move(line));
  }
  PageLines page;

 private:
  const DownloadMailbox& mailbox;
};

CUrlSelectDlg::CUrlSelectDlg() : CDialog(IDD_URL_SELECT_DIALOG) {}

int CUrlSelectDlg::DownloadsRunning() {
  return downloadsRunning.load();
}

CUrlSelectDlg::~CUrlSelectDlg() {
  DestroyWindow();
  browser.Destroy();
}

bool CUrlSelectDlg::OnInitDialog() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  mailbox = std::make_shared<DownloadMailbox>(GetHwnd());
  FieldsToControls();
  gripPicture.LoadFromResource(GetInstance(), MAKEINTRESOURCEA(IDB_GRIP), 0xFF00FF);
  // A per-monitor aware process gets the dialog template scaled to the monitor's DPI (its fonts
  // and first size); the layout below is in pixels at 96 DPI and is scaled here.
  dpi = win::DpiOfWindow(GetHwnd());
  RECT client{};
  ::GetClientRect(GetHwnd(), &client);
  grip = url_select::GripSquare(client.right, client.bottom, Scaled(url_select::kGripSize));

  // The browser window gets its tab stop and sunken edge before it is first laid out.
  HWND frame = GetItem(IDC_SEL_BROWSER);
  if (frame) {
    ::SetWindowLongPtrA(frame, GWL_STYLE, ::GetWindowLongPtrA(frame, GWL_STYLE) | WS_TABSTOP);
    ::SetWindowLongPtrA(frame, GWL_EXSTYLE, ::GetWindowLongPtrA(frame, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(frame, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  if (ole.Ok() && frame) browser.Create(frame, this);
  LayOut();

  HWND slider = GetItem(IDC_SEL_LEVEL);
  ::SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(url_select::kSliderMin, url_select::kSliderMax));
  ::SendMessageA(slider, TBM_SETPOS, TRUE, url_select::InitialSliderPosition(level));

  for (int id : {IDC_SEL_URL, IDC_SEL_REFERRER}) {
    if (HWND edit = GetItem(id)) ::SetWindowSubclass(edit, &CUrlSelectDlg::EditProc, kEditSubclass, 0);
  }

  if (!url.empty() && !referrer.empty()) {
    trail.lastUrl = referrer;
    browser.Navigate2(url, url_select::RequestHeaders(referrer));
  } else if (!url.empty()) {
    trail.lastUrl = referrer;
    browser.Navigate(url);
  } else {
    browser.GoHome();
  }
  return true;
}

void CUrlSelectDlg::ControlsToFields() {
  url = GetItemText(IDC_SEL_URL);
  referrer = GetItemText(IDC_SEL_REFERRER);
  statusText = GetItemText(IDC_SEL_STATUS);
  if (HWND slider = GetItem(IDC_SEL_LEVEL))
    level = static_cast<int>(::SendMessageA(slider, TBM_GETPOS, 0, 0));
  levelText = GetItemText(IDC_SEL_LEVEL_TEXT);
}

void CUrlSelectDlg::ShowText(int id, const std::string& text) {
  // Writing an edit's text puts the caret back at the start and drops the selection: the fields
  // are shown again on every status text and slider redraw, while the user may be typing.
  if (GetItemText(id) != text) SetItemText(id, text);
}

// True while the address edit holds something the user typed and has not navigated to yet.
bool CUrlSelectDlg::AddressTyped() const {
  return GetItemText(IDC_SEL_URL) != addressShown;
}

void CUrlSelectDlg::FieldsToControls() {
  if (GetItemText(IDC_SEL_URL) != url) {
    SetItemText(IDC_SEL_URL, url);
    addressShown = url;
  }
  ShowText(IDC_SEL_REFERRER, referrer);
  ShowText(IDC_SEL_STATUS, statusText);
  ShowText(IDC_SEL_LEVEL_TEXT, levelText);
  if (HWND slider = GetItem(IDC_SEL_LEVEL)) {
    if (::SendMessageA(slider, TBM_GETPOS, 0, 0) != level) ::SendMessageA(slider, TBM_SETPOS, TRUE, level);
  }
}

int CUrlSelectDlg::Scaled(int size96) const {
  return win::ScaleForDpi(size96, dpi);
}

// The widest line of the guide text in the guide's font, in pixels of the screen.
int CUrlSelectDlg::GuideLineWidth() const {
  HWND guide = GetItem(IDC_SEL_GUIDE);
  const std::string text = GetItemText(IDC_SEL_GUIDE);
  if (!guide || text.empty()) return 0;
  HDC dc = ::GetDC(guide);
  if (!dc) return 0;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(guide, WM_GETFONT, 0, 0)));
  int widest = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    SIZE line{};
    if (::GetTextExtentPoint32A(dc, text.data() + start, static_cast<int>(end - start), &line))
      widest = std::max(widest, static_cast<int>(line.cx));
    start = end + 1;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(guide, dc);
  return widest;
}

void CUrlSelectDlg::LayOut() {
  RECT client{};
  ::GetClientRect(GetHwnd(), &client);
  RECT old{grip.x, grip.y, grip.Right(), grip.Bottom()};
  ::InvalidateRect(GetHwnd(), &old, TRUE);
  // The client area's size at 96 DPI is laid out, and every box is scaled back to the screen.
  const int width96 = win::UnscaleForDpi(client.right, dpi);
  const int height96 = win::UnscaleForDpi(client.bottom, dpi);
  for (const url_select::Box& box : url_select::Layout(width96, height96)) {
    HWND control = GetItem(box.id);
    if (!control) continue;
    ::MoveWindow(control, Scaled(box.x), Scaled(box.y), Scaled(box.width), Scaled(box.height), TRUE);
    if (box.id == IDC_SEL_PREVIEW) ::InvalidateRect(control, nullptr, TRUE);
  }
  browser.Resize();
  grip = url_select::GripSquare(client.right, client.bottom, Scaled(url_select::kGripSize));
  RECT now{grip.x, grip.y, grip.Right(), grip.Bottom()};
  // Erased first: the grip's transparent pixels show the dialog's face.
  ::InvalidateRect(GetHwnd(), &now, TRUE);
}

void CUrlSelectDlg::BeginWait() {
  ++waiting;
  ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void CUrlSelectDlg::EndWait() {
  if (waiting > 0) --waiting;
  if (waiting == 0) ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
}

void CUrlSelectDlg::RefreshPreview() {
  ControlsToFields();
  BeginWait();
  ::EnableWindow(GetItem(IDOK), FALSE);
  ::EnableWindow(GetItem(IDCANCEL), FALSE);
  HWND list = GetItem(IDC_SEL_PREVIEW);
  ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
  try {
    NewsList news;
    news.ExtractFromText(pageMarkup, level);
    for (const std::string& row : url_select::PreviewRows(news)) {
      ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    }
  } catch (...) {
    // An extraction that fails leaves the list empty; the buttons must come back regardless.
  }
  ::EnableWindow(GetItem(IDOK), TRUE);
  ::EnableWindow(GetItem(IDCANCEL), TRUE);
  EndWait();
}

void CUrlSelectDlg::NavigateTyped() {
  ControlsToFields();
  addressShown = url;
  trail.lastUrl.clear();
  browser.Navigate2(url, url_select::RequestHeaders(std::string()));
}

void CUrlSelectDlg::OnBeforeNavigate(const std::string& navigated) {
  ++navigation;  // a download for the page being left is no longer wanted
  if (busy) EndWait();
  busy = true;
  BeginWait();
  ControlsToFields();
  trail.BeforeNavigate(navigated, referrer);
  FieldsToControls();
}

void CUrlSelectDlg::OnNavigateComplete(const std::string& /*navigated*/) {
  if (!busy) return;
  EndWait();
  busy = false;
}

void CUrlSelectDlg::OnDocumentComplete(const std::string& navigated) {
  ControlsToFields();
  const std::string location = browser.LocationUrl();
  // A page that finishes loading shows its address, unless the user has begun typing another.
  if (!AddressTyped()) url = location;
  pageMarkup.clear();
  if (!browser.HasDocument()) {
    // Completed without a document: what the user sees is what the ticker's own download gives.
    FieldsToControls();
    PreviewOwnDownload(location.empty() ? navigated : location);
    return;
  }
  previewFromOwnDownload = false;
  ++navigation;  // the browser's own document: no download of ours replaces its preview
  if (browser.DocumentMarkup(pageMarkup)) {
    FieldsToControls();
    RefreshPreview();
  }
  FieldsToControls();
}

void CUrlSelectDlg::OnNavigateError(const std::string& navigated, long /*status*/) {
  if (busy) {
    EndWait();
    busy = false;
  }
  if (browser.HasDocument()) return;  // the engine shows its own error page
  PreviewOwnDownload(navigated);
}

void CUrlSelectDlg::PreviewOwnDownload(const std::string& pageUrl) {
  ControlsToFields();
  if (pageUrl.empty() || !mailbox) return;
  const unsigned forNavigation = ++navigation;  // an earlier download's result is not shown
  const settings::ProxyCredentials proxy = settings::ReadProxyCredentials();
  std::shared_ptr<DownloadMailbox> box = mailbox;
  const std::string from = referrer;
  ++downloadsRunning;
  try {
    // Detached: a dead server may hold the fetch for its whole time-out, and the dialog must be
    // free to close meanwhile. The thread holds nothing of the dialog but the mailbox.
    std::thread([box, forNavigation, pageUrl, from, proxy] {
      LineCollector collector(*box);
      PageLines state;
      LoadPage(state, pageUrl.c_str(), from.empty() ? nullptr : from.c_str(), kEncodingUnknown,
               proxy.user.empty() ? nullptr : proxy.user.c_str(),
               proxy.password.empty() ? nullptr : proxy.password.c_str(), collector);
      if (!box->Closed()) box->Deliver({forNavigation, pageUrl, url_select::JoinPageLines(collector.page)});
      --downloadsRunning;
    }).detach();
    ++downloadsPending;
  } catch (const std::system_error&) {
    --downloadsRunning;  // no thread to be had: no preview of this page
  }
}

void CUrlSelectDlg::TakeDownloads() {
  if (!mailbox) return;
  for (OwnDownload& done : mailbox->Take()) {
    if (downloadsPending > 0) --downloadsPending;
    if (done.navigation != navigation) continue;  // the user has gone on since
    ControlsToFields();
    if (!AddressTyped()) url = done.url;
    pageMarkup = std::move(done.markup);
    previewFromOwnDownload = true;
    NewsList titled;
    titled.ExtractFromText(pageMarkup, url_select::kSliderMax);
    OnTitleChange(titled.GetTitle());
    statusText = url_select::kOwnDownloadStatus;
    FieldsToControls();
    RefreshPreview();
  }
}

void CUrlSelectDlg::OnTitleChange(const std::string& title) {
  ::SetWindowTextA(GetHwnd(), url_select::TitleCaption(title).c_str());
  pageTitle = title;
}

void CUrlSelectDlg::OnStatusTextChange(const std::string& text) {
  ControlsToFields();
  statusText = text;
  FieldsToControls();
}

bool CUrlSelectDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_SEL_BACK:
      browser.GoBack();
      return true;
    case IDC_SEL_FORWARD:
      browser.GoForward();
      return true;
    case IDC_SEL_STOP:
      browser.Stop();
      return true;
    case IDC_SEL_REFRESH:
      browser.Refresh();
      return true;
    case IDC_SEL_HOME:
      browser.GoHome();
      return true;
    case IDC_SEL_HELP:
      if (code == STN_CLICKED) {
        CHelpDlg help(help_text::kHelpTitle, url_select::HelpText());
        help.DoModal(GetHwnd());
      }
      return true;
    default:
      return CDialog::OnCommand(id, code, control);
  }
}

void CUrlSelectDlg::OnOK() {
  ControlsToFields();
  EndDialog(IDOK);
}

void CUrlSelectDlg::OnDestroy() {
  if (mailbox) mailbox->Close();
  mailbox.reset();
  for (int id : {IDC_SEL_URL, IDC_SEL_REFERRER}) {
    if (HWND edit = GetItem(id)) ::RemoveWindowSubclass(edit, &CUrlSelectDlg::EditProc, kEditSubclass);
  }
  browser.Destroy();
  if (busy) {
    busy = false;
    EndWait();
  }
  waiting = 0;
}

void CUrlSelectDlg::PaintGrip(HDC dc) {
  // Keying the picture blackened its magenta pixels and made a mask of them: it is drawn through
  // that mask, so those pixels keep the dialog's face (a plain copy shows them black).
  if (gripPicture.IsValid())
    gripPicture.Draw(dc, grip.x, grip.y, Scaled(gripPicture.GetWidth()), Scaled(gripPicture.GetHeight()), 0,
                     0, 0, 0, SRCCOPY, CDibSurface::kDrawHalftone);
}

bool CUrlSelectDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_SIZE:
      LayOut();
      return false;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(GetHwnd(), &ps);
      PaintGrip(dc);
      ::EndPaint(GetHwnd(), &ps);
      result = 0;
      return true;
    }
    case WM_NCHITTEST: {
      POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ::ScreenToClient(GetHwnd(), &p);
      if (!url_select::InGrip(grip, p.x, p.y)) return false;
      result = HTBOTTOMRIGHT;
      return true;
    }
    case WM_GETMINMAXINFO: {
      // Below this client size the controls of the layout would overlap.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      RECT outer{}, inner{};
      if (!info || ::IsIconic(GetHwnd()) || !::GetWindowRect(GetHwnd(), &outer) ||
          !::GetClientRect(GetHwnd(), &inner))
        return false;
      // Wide enough for the guide's longest line too (rounded up on the way to 96 DPI).
      const int guide96 = win::UnscaleForDpi(GuideLineWidth(), dpi) + 1;
      info->ptMinTrackSize.x =
          Scaled(url_select::MinClientWidth(guide96)) + (outer.right - outer.left) - inner.right;
      info->ptMinTrackSize.y =
          Scaled(url_select::kMinClientHeight) + (outer.bottom - outer.top) - inner.bottom;
      result = 0;
      return true;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI (or its scale changed): the documented answer is to take
      // the suggested rectangle, which keeps the dialog's size in proportion; the layout follows.
      dpi = LOWORD(wParam) ? LOWORD(wParam) : win::kBaseDpi;
      if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
        ::SetWindowPos(GetHwnd(), nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
      }
      LayOut();
      // Left to the dialog manager as well: in a per-monitor (v2) process it gives the controls
      // fonts for the new DPI and may move them, so the layout is applied once more after it.
      ::PostMessageA(GetHwnd(), kRelayoutMessage, 0, 0);
      return false;
    }
    case kRelayoutMessage:
      LayOut();
      result = 0;
      return true;
    case WM_SETCURSOR:
      if (waiting > 0) {
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
      } else if (downloadsPending > 0 && reinterpret_cast<HWND>(wParam) == GetHwnd() &&
                 LOWORD(lParam) == HTCLIENT) {
        // A download of our own runs in the background; the controls keep their own cursors.
        ::SetCursor(::LoadCursorA(nullptr, IDC_APPSTARTING));
      } else {
        return false;
      }
      result = TRUE;
      return true;
    case kDownloadDoneMessage:
      TakeDownloads();
      result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == IDC_SEL_LEVEL && header->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
        if (draw->dwDrawStage == CDDS_PREPAINT) {
          ControlsToFields();
          levelText = url_select::LevelText(level);
          FieldsToControls();
        }
        result = CDRF_DODEFAULT;
        return true;
      }
      return false;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == GetItem(IDC_SEL_LEVEL) && LOWORD(wParam) == TB_ENDTRACK) {
        RefreshPreview();
        result = 0;
        return true;
      }
      return false;
    case kTypedUrlMessage:
      NavigateTyped();
      result = 0;
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK CUrlSelectDlg::EditProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                         DWORD_PTR /*data*/) {
  if (wParam == VK_RETURN) {
    // The edit takes Enter itself, so the dialog does not press "選択".
    if (msg == WM_GETDLGCODE) return ::DefSubclassProc(wnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
    if (msg == WM_KEYDOWN) {
      ::SendMessageA(::GetParent(wnd), kTypedUrlMessage, 0, 0);
      return 0;
    }
    if (msg == WM_CHAR) return 0;
  }
  return ::DefSubclassProc(wnd, msg, wParam, lParam);
}

bool RunUrlSelectDialog(HWND owner, UrlEntry& chosen) {
  CUrlSelectDlg dlg;
  dlg.url = chosen.url;
  dlg.referrer = chosen.referrer;
  dlg.level = chosen.level;
  if (dlg.DoModal(owner) != IDOK) return false;
  chosen.title = dlg.pageTitle;
  chosen.url = dlg.url;
  chosen.referrer = dlg.referrer;
  chosen.level = dlg.level;
  return true;
}
