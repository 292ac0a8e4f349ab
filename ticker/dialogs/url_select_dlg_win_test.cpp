#include "ticker/dialogs/url_select_dlg_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/win/dpi.h"
#include "tests/test_server.h"
#include "ticker/dialogs/test_driver_win.h"
#include "ticker/dialogs/url_regist_dlg_res.h"
#include "ticker/dialogs/url_regist_dlg_win.h"
#include "ticker/dialogs/url_select_dlg_res.h"
#include "ticker/news/news_list.h"

namespace {

const char kPage[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
    "<title>選択テストの頁</title></head><body>\n"
    "<p>短い話</p>\n"
    "<p>ほどほどの長さの見出し</p>\n"
    "<p>これはとても長い見出しで抽出レベルを上げても残る文章です</p>\n"
    "</body></html>\n";

// Handles messages until done() holds or ms pass.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > ms) return false;
    dialog_test::Pump();
    ::Sleep(5);
  }
  return true;
}

std::vector<std::string> Rows(HWND list) {
  std::vector<std::string> rows;
  const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[512] = {};
    ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    rows.push_back(text);
  }
  return rows;
}

// The requests of one kind: the browser's own (no "ClientHost:" line) or the ticker's download.
std::vector<std::string> Requests(const std::string& all, bool browsers) {
  std::vector<std::string> heads;
  std::size_t start = 0;
  for (std::size_t end = all.find("\r\n\r\n"); end != std::string::npos; end = all.find("\r\n\r\n", start)) {
    std::string head = all.substr(start, end + 4 - start);
    start = end + 4;
    if ((head.find("ClientHost:") == std::string::npos) == browsers) heads.push_back(head);
  }
  return heads;
}

// The dialog with its test seams in reach.
class TestSelectDlg : public CUrlSelectDlg {
 public:
  using CUrlSelectDlg::BrowserCreated;
  using CUrlSelectDlg::DownloadsRunning;
  using CUrlSelectDlg::OnStatusTextChange;
  using CUrlSelectDlg::pageMarkup;
  using CUrlSelectDlg::previewFromOwnDownload;
  using CUrlSelectDlg::PreviewOwnDownload;
};

RECT ChildRect(HWND dialog, HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class UrlSelectDlg : public HttpServerTest {
 protected:
  void SetUp() override {
    HttpServerTest::SetUp();
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->WriteFile("select.htm", kPage));
    pageUrl = server->Url("/page?file=select.htm");
  }
  // Opens dlg on the test page and waits for its preview.
  void OpenOnThePage(TestSelectDlg& dlg) {
    dlg.url = pageUrl;
    ASSERT_TRUE(dlg.Create(nullptr));
    ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));
  }
  // A page whose server sends 10 bytes and then waits seconds before the rest.
  std::string StallingPage(int seconds) const {
    return server->Url("/page?file=select.htm&stall=10&stall_secs=" + std::to_string(seconds));
  }
  std::string pageUrl;
};

TEST_F(UrlSelectDlg, OpeningWithAReferrerSendsItAndThePreviewFollowsTheLevel) {
  TestSelectDlg dlg;
  dlg.url = pageUrl;
  dlg.referrer = "http://referring.example/list.html";
  dlg.level = 20;
  ASSERT_TRUE(dlg.Create(nullptr));
  ASSERT_TRUE(dlg.BrowserCreated());
  ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));

  const auto browsers = Requests(server->Requests(), true);
  ASSERT_FALSE(browsers.empty());
  EXPECT_NE(browsers[0].find("GET /page?file=select.htm"), std::string::npos) << browsers[0];
  EXPECT_NE(browsers[0].find("Referer: http://referring.example/list.html\r\n"), std::string::npos)
      << browsers[0];
  EXPECT_NE(browsers[0].find("Cache-Control: no-cache\r\n"), std::string::npos) << browsers[0];
  EXPECT_NE(browsers[0].find("MSIE 5.00; Windows 98"), std::string::npos) << browsers[0];
  // The dialog's own download asks for the page just as the ticker will, with the same referrer.
  const auto own = Requests(server->Requests(), false);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_NE(own[0].find("Referer: http://referring.example/list.html\r\n"), std::string::npos);

  EXPECT_EQ(dlg.GetItemText(IDC_SEL_REFERRER), "http://referring.example/list.html");
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_URL), pageUrl);
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_STATUS), url_select::kOwnDownloadStatus);
  char caption[128] = {};
  ::GetWindowTextA(dlg.GetHwnd(), caption, sizeof caption);
  EXPECT_STREQ(caption, " URL選択  -  選択テストの頁");
  EXPECT_EQ(dlg.pageTitle, "選択テストの頁");

  HWND preview = dlg.GetItem(IDC_SEL_PREVIEW);
  NewsList expected;
  expected.ExtractFromText(dlg.pageMarkup, 20);
  const auto at20 = Rows(preview);
  EXPECT_EQ(at20, url_select::PreviewRows(expected));
  ASSERT_FALSE(at20.empty());

  // Moving the thumb changes only the level text; releasing it recomputes the preview.
  HWND slider = dlg.GetItem(IDC_SEL_LEVEL);
  ::ShowWindow(dlg.GetHwnd(), SW_SHOWNA);
  ::SendMessageA(slider, TBM_SETPOS, TRUE, 4);
  ::RedrawWindow(slider, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_LEVEL_TEXT), "4文字以上");
  EXPECT_EQ(Rows(preview), at20);
  ::SendMessageA(dlg.GetHwnd(), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
  const auto at4 = Rows(preview);
  EXPECT_GT(at4.size(), at20.size());
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDOK)));
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDCANCEL)));
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, WithoutAReferrerTheBrowserSendsNoExtraHeadersAndLevelZeroStartsAtForty) {
  TestSelectDlg dlg;
  dlg.url = pageUrl;
  ASSERT_TRUE(dlg.Create(nullptr));
  ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));
  const auto browsers = Requests(server->Requests(), true);
  ASSERT_FALSE(browsers.empty());
  EXPECT_EQ(browsers[0].find("Referer:"), std::string::npos) << browsers[0];
  EXPECT_EQ(browsers[0].find("Cache-Control: no-cache"), std::string::npos) << browsers[0];
  EXPECT_EQ(browsers[0].find("Windows 98"), std::string::npos) << browsers[0];
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_SEL_LEVEL), TBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_SEL_LEVEL), TBM_GETRANGEMIN, 0, 0), 1);
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_SEL_LEVEL), TBM_GETRANGEMAX, 0, 0), 100);
  ::ShowWindow(dlg.GetHwnd(), SW_SHOWNA);
  ::RedrawWindow(dlg.GetItem(IDC_SEL_LEVEL), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_LEVEL_TEXT), "40文字以上");
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, OpeningWithoutAUrlGoesToTheBrowsersHomePage) {
  ASSERT_TRUE(server->WriteFile("home.htm", kPage));
  const std::string home = server->Url("/page?file=home.htm");
  const char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kMain, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                              nullptr),
            ERROR_SUCCESS);
  char old[1024] = {};
  DWORD oldSize = sizeof old;
  DWORD type = 0;
  const bool hadOld = ::RegQueryValueExA(key, "Start Page", nullptr, &type, reinterpret_cast<BYTE*>(old),
                                         &oldSize) == ERROR_SUCCESS;
  ::RegSetValueExA(key, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                   static_cast<DWORD>(home.size() + 1));

  TestSelectDlg dlg;
  ASSERT_TRUE(dlg.Create(nullptr));
  const bool shown = PumpUntil([&] { return dlg.previewFromOwnDownload; });
  if (hadOld) {
    ::RegSetValueExA(key, "Start Page", 0, type, reinterpret_cast<const BYTE*>(old), oldSize);
  } else {
    ::RegDeleteValueA(key, "Start Page");
  }
  ::RegCloseKey(key);
  ASSERT_TRUE(shown);
  const auto browsers = Requests(server->Requests(), true);
  ASSERT_FALSE(browsers.empty());
  EXPECT_NE(browsers[0].find("GET /page?file=home.htm"), std::string::npos) << browsers[0];
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_URL), home);
  EXPECT_EQ(dlg.pageTitle, "選択テストの頁");
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, EnterInTheUrlEditNavigatesWithTheReferrerClearedAndKeepsTheDialogOpen) {
  ASSERT_TRUE(server->WriteFile("second.htm", kPage));
  const std::string second = server->Url("/page?file=second.htm");
  TestSelectDlg dlg;
  dlg.url = pageUrl;
  dlg.referrer = "http://referring.example/";
  ASSERT_TRUE(dlg.Create(nullptr));
  ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));
  dlg.previewFromOwnDownload = false;
  server->ClearRequests();

  HWND edit = dlg.GetItem(IDC_SEL_URL);
  ::SetWindowTextA(edit, second.c_str());
  // The dialog manager asks the edit whether it wants the key, then hands it over.
  MSG msg{edit, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  EXPECT_TRUE(::SendMessageA(edit, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&msg)) &
              DLGC_WANTALLKEYS);
  ::SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));
  EXPECT_NE(dlg.GetHwnd(), nullptr);
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_URL), second);
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_REFERRER), "");
  const auto browsers = Requests(server->Requests(), true);
  ASSERT_FALSE(browsers.empty());
  EXPECT_NE(browsers[0].find("GET /page?file=second.htm"), std::string::npos);
  EXPECT_NE(browsers[0].find("Referer: \r\n"), std::string::npos) << browsers[0];
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, LayoutFollowsTheClientSizeAndTheGripResizes) {
  TestSelectDlg dlg;
  dlg.url = pageUrl;
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND wnd = dlg.GetHwnd();
  EXPECT_TRUE(::GetWindowLongA(wnd, GWL_STYLE) & WS_MAXIMIZEBOX);
  EXPECT_TRUE(::GetWindowLongA(wnd, GWL_STYLE) & WS_THICKFRAME);
  EXPECT_TRUE(::GetWindowLongA(dlg.GetItem(IDC_SEL_BROWSER), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(::GetWindowLongA(dlg.GetItem(IDC_SEL_BROWSER), GWL_STYLE) & WS_TABSTOP);

  // Size the window so that its client area is 600 x 300.
  RECT outer{}, client{};
  ::GetWindowRect(wnd, &outer);
  ::GetClientRect(wnd, &client);
  const int extraW = (outer.right - outer.left) - client.right;
  const int extraH = (outer.bottom - outer.top) - client.bottom;
  ::SetWindowPos(wnd, nullptr, 0, 0, 600 + extraW, 300 + extraH, SWP_NOMOVE | SWP_NOZORDER);
  ::GetClientRect(wnd, &client);
  ASSERT_EQ(client.bottom, 300);
  ASSERT_EQ(client.right, 600);

  const RECT browser = ChildRect(wnd, dlg.GetItem(IDC_SEL_BROWSER));
  const RECT preview = ChildRect(wnd, dlg.GetItem(IDC_SEL_PREVIEW));
  EXPECT_EQ(browser.top, 110);
  EXPECT_EQ(browser.bottom - browser.top, 128);
  EXPECT_EQ(preview.top, 242);
  EXPECT_EQ(preview.bottom - preview.top, 32);
  EXPECT_EQ(ChildRect(wnd, dlg.GetItem(IDOK)).left, 514);
  EXPECT_EQ(ChildRect(wnd, dlg.GetItem(IDC_SEL_LEVEL)).top, 276);

  POINT inGrip{595, 295}, outside{570, 295};
  ::ClientToScreen(wnd, &inGrip);
  ::ClientToScreen(wnd, &outside);
  EXPECT_EQ(::SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(inGrip.x, inGrip.y)), HTBOTTOMRIGHT);
  EXPECT_EQ(::SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y)), HTCLIENT);
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, OnAScaledScreenTheLayoutTheMinimumAndTheGripScaleWithTheDpi) {
  TestSelectDlg dlg;
  dlg.url = pageUrl;
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND wnd = dlg.GetHwnd();
  for (const UINT dpi : {144u, 192u, 96u}) {
    // The window moves to a monitor of this DPI: the system suggests a rectangle of the new size.
    RECT outer{}, client{};
    ::GetWindowRect(wnd, &outer);
    ::GetClientRect(wnd, &client);
    RECT suggested{outer.left, outer.top, outer.left + win::ScaleForDpi(620, dpi) + 16,
                   outer.top + win::ScaleForDpi(420, dpi) + 40};
    ::SendMessageA(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    dialog_test::Pump();  // the layout applied again after the dialog manager's own handling
    ::GetWindowRect(wnd, &outer);
    EXPECT_EQ(outer.right - outer.left, suggested.right - suggested.left) << dpi;
    ::GetClientRect(wnd, &client);
    const int w96 = win::UnscaleForDpi(client.right, dpi);
    const int h96 = win::UnscaleForDpi(client.bottom, dpi);
    for (const url_select::Box& box : url_select::Layout(w96, h96)) {
      const RECT r = ChildRect(wnd, dlg.GetItem(box.id));
      EXPECT_EQ(r.left, win::ScaleForDpi(box.x, dpi)) << dpi << " " << box.id;
      EXPECT_EQ(r.top, win::ScaleForDpi(box.y, dpi)) << dpi << " " << box.id;
      EXPECT_EQ(r.right - r.left, win::ScaleForDpi(box.width, dpi)) << dpi << " " << box.id;
      EXPECT_EQ(r.bottom - r.top, win::ScaleForDpi(box.height, dpi)) << dpi << " " << box.id;
    }
    MINMAXINFO info{};
    ::SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_GE(info.ptMinTrackSize.x - ((outer.right - outer.left) - client.right),
              win::ScaleForDpi(url_select::kMinClientWidth, dpi));
    EXPECT_EQ(info.ptMinTrackSize.y - ((outer.bottom - outer.top) - client.bottom),
              win::ScaleForDpi(url_select::kMinClientHeight, dpi));
    // The grip's square grows with the screen and stays in the corner.
    const int grip = win::ScaleForDpi(url_select::kGripSize, dpi);
    POINT inGrip{client.right - grip, client.bottom - 1}, outside{client.right - grip - 1, client.bottom - 1};
    ::ClientToScreen(wnd, &inGrip);
    ::ClientToScreen(wnd, &outside);
    EXPECT_EQ(::SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(inGrip.x, inGrip.y)), HTBOTTOMRIGHT) << dpi;
    EXPECT_EQ(::SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y)), HTCLIENT) << dpi;
  }
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, SelectHandsTitleUrlReferrerAndLevelToTheRegistrationDialog) {
  CUrlRegistDlg regist("HKEY_CURRENT_USER\\Software\\ZelloraTest\\UrlSelectHandOver");
  ASSERT_TRUE(regist.Create(nullptr));
  ::SetWindowTextA(regist.GetItem(IDC_REG_URL), pageUrl.c_str());
  ::SetWindowTextA(regist.GetItem(IDC_REG_REFERRER), "http://referring.example/");
  ::SetWindowTextA(regist.GetItem(IDC_REG_LEVEL), "0");
  bool answered = false;
  std::thread user = dialog_test::WhenShown(" URL選択  -  選択テストの頁", [&](HWND select) {
    if (!select) return;
    HWND slider = ::GetDlgItem(select, IDC_SEL_LEVEL);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, 12);
    ::PostMessageA(select, WM_COMMAND, IDOK, 0);
    answered = true;
  });
  ::SendMessageA(regist.GetItem(IDC_REG_BROWSE), BM_CLICK, 0, 0);
  user.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(regist.GetItemText(IDC_REG_TITLE), "選択テストの頁");
  EXPECT_EQ(regist.GetItemText(IDC_REG_URL), pageUrl);
  EXPECT_EQ(regist.GetItemText(IDC_REG_REFERRER), "http://referring.example/");
  EXPECT_EQ(regist.GetItemText(IDC_REG_LEVEL), "12");
  regist.DestroyWindow();
}

TEST_F(UrlSelectDlg, TheOwnDownloadRunsBesideTheDialogAndOnlyTheLatestIsShown) {
  const char kSecond[] =
      "<html><head><title>二番目の頁</title></head><body><p>二番目の頁の長い見出しの文章</p></body></html>";
  ASSERT_TRUE(server->WriteFile("second.htm", kSecond));
  const std::string second = server->Url("/page?file=second.htm");
  TestSelectDlg dlg;
  OpenOnThePage(dlg);

  // A server that keeps the page waiting does not keep the dialog waiting.
  dlg.previewFromOwnDownload = false;
  const DWORD start = ::GetTickCount();
  dlg.PreviewOwnDownload(StallingPage(3));
  EXPECT_LT(::GetTickCount() - start, 1000u);
  EXPECT_EQ(TestSelectDlg::DownloadsRunning(), 1);
  DWORD_PTR answer = 0;
  std::thread other(
      [&] { EXPECT_NE(::SendMessageTimeoutA(dlg.GetHwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0); });
  dialog_test::Pump(300);
  other.join();

  // The user goes on before it has come: the later page is shown, the earlier one dropped.
  dlg.PreviewOwnDownload(second);
  ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; }));
  ASSERT_TRUE(PumpUntil([&] { return TestSelectDlg::DownloadsRunning() == 0; }));
  dialog_test::Pump(200);
  EXPECT_EQ(dlg.pageTitle, "二番目の頁");
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_URL), second);
  EXPECT_NE(dlg.pageMarkup.find("二番目"), std::string::npos);
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, ClosingDuringTheOwnDownloadDoesNotWaitForIt) {
  {
    TestSelectDlg dlg;
    OpenOnThePage(dlg);
    dlg.PreviewOwnDownload(StallingPage(3));
    ASSERT_EQ(TestSelectDlg::DownloadsRunning(), 1);
    const DWORD start = ::GetTickCount();
    dlg.DestroyWindow();
    EXPECT_LT(::GetTickCount() - start, 1000u);
  }
  // The download ends unseen (it gives up at its next line) and nothing is posted to a window
  // that has gone.
  EXPECT_TRUE(PumpUntil([] { return TestSelectDlg::DownloadsRunning() == 0; }));
  TestSelectDlg again;
  OpenOnThePage(again);
  EXPECT_EQ(again.pageTitle, "選択テストの頁");
  again.DestroyWindow();
}

TEST_F(UrlSelectDlg, StatusTextsAndTheSliderLeaveWhatTheUserTypesAlone) {
  TestSelectDlg dlg;
  OpenOnThePage(dlg);
  ::ShowWindow(dlg.GetHwnd(), SW_SHOWNA);
  for (int id : {IDC_SEL_URL, IDC_SEL_REFERRER}) {
    HWND edit = dlg.GetItem(id);
    ::SetWindowTextA(edit, "http://typed.example/half");
    ::SendMessageA(edit, EM_SETSEL, 7, 12);
    dlg.OnStatusTextChange("読み込み中");
    ::RedrawWindow(dlg.GetItem(IDC_SEL_LEVEL), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    DWORD from = 0, to = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 7u) << id;
    EXPECT_EQ(to, 12u) << id;
    EXPECT_EQ(dlg.GetItemText(id), "http://typed.example/half");
  }
  EXPECT_EQ(dlg.GetItemText(IDC_SEL_STATUS), "読み込み中");
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, AnAddressTypedWhileThePageLoadsIsNotReplacedWhenItComes) {
  TestSelectDlg dlg;
  OpenOnThePage(dlg);
  HWND edit = dlg.GetItem(IDC_SEL_URL);
  struct Case {
    const char* typed;   // keys pressed at the end of the address while the page loads
    bool shownWhenDone;  // the loaded page's address replaces the edit's text
  };
  for (const Case& c : {Case{"", true}, Case{"?q=half", false}}) {
    dlg.previewFromOwnDownload = false;
    const std::string stalling = StallingPage(1);
    dlg.PreviewOwnDownload(stalling);
    const std::string before = dlg.GetItemText(IDC_SEL_URL);
    ::SendMessageA(edit, EM_SETSEL, before.size(), before.size());
    for (const char* key = c.typed; *key; ++key) ::SendMessageA(edit, WM_CHAR, static_cast<BYTE>(*key), 1);
    ASSERT_TRUE(PumpUntil([&] { return dlg.previewFromOwnDownload; })) << c.typed;
    const std::string expected = c.shownWhenDone ? stalling : before + c.typed;
    EXPECT_EQ(dlg.GetItemText(IDC_SEL_URL), expected) << c.typed;
    if (!c.shownWhenDone) {
      DWORD from = 0, to = 0;
      ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
      EXPECT_EQ(from, expected.size());
      EXPECT_EQ(to, expected.size());
    }
    EXPECT_EQ(dlg.pageTitle, "選択テストの頁") << c.typed;  // the preview itself is shown
  }
  dlg.DestroyWindow();
}

TEST_F(UrlSelectDlg, TheDialogStopsAtItsSmallestLayoutAndItsGripShowsTheFaceThrough) {
  TestSelectDlg dlg;
  OpenOnThePage(dlg);
  HWND wnd = dlg.GetHwnd();
  RECT outer{}, client{};
  ::GetWindowRect(wnd, &outer);
  ::GetClientRect(wnd, &client);
  MINMAXINFO info{};
  ::SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_GE(info.ptMinTrackSize.x - ((outer.right - outer.left) - client.right), url_select::kMinClientWidth);
  EXPECT_EQ(info.ptMinTrackSize.y - ((outer.bottom - outer.top) - client.bottom),
            url_select::kMinClientHeight);
  // At the smallest size the guide still shows each of its lines whole.
  ::SetWindowPos(wnd, nullptr, 0, 0, info.ptMinTrackSize.x, info.ptMinTrackSize.y, SWP_NOMOVE | SWP_NOZORDER);
  HWND guide = dlg.GetItem(IDC_SEL_GUIDE);
  RECT guideBox{};
  ::GetClientRect(guide, &guideBox);
  const std::string guideText = dlg.GetItemText(IDC_SEL_GUIDE);
  HDC guideDc = ::GetDC(guide);
  HGDIOBJ oldFont = ::SelectObject(guideDc, reinterpret_cast<HFONT>(::SendMessageA(guide, WM_GETFONT, 0, 0)));
  for (std::size_t start = 0; start < guideText.size();) {
    std::size_t end = guideText.find('\n', start);
    if (end == std::string::npos) end = guideText.size();
    SIZE line{};
    ::GetTextExtentPoint32A(guideDc, guideText.data() + start, static_cast<int>(end - start), &line);
    EXPECT_LE(line.cx, guideBox.right) << guideText.substr(start, end - start);
    start = end + 1;
  }
  ::SelectObject(guideDc, oldFont);
  ::ReleaseDC(guide, guideDc);
  ::GetWindowRect(wnd, &outer);
  ::GetClientRect(wnd, &client);

  ::SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::UpdateWindow(wnd);
  dialog_test::Pump(100);
  HDC dc = ::GetDC(wnd);
  ::GetClientRect(wnd, &client);
  // The grip's corner pixel is one of its transparent ones; its dots are not.
  const COLORREF corner = ::GetPixel(dc, client.right - 17, client.bottom - 17);
  const COLORREF face = ::GetPixel(dc, client.right - 30, client.bottom - 2);
  ::ReleaseDC(wnd, dc);
  EXPECT_EQ(corner, face);
  EXPECT_NE(corner, RGB(0, 0, 0));
  dlg.DestroyWindow();
}

}  // namespace
