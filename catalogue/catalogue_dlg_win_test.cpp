// The catalogue window and the download under Wine: the real dialogs, pictures, WinInet against
// the local test server, the real file system and a started installer. Only the save dialog and
// the two questions are answered by the test (one test answers a real message box).
#include "catalogue/catalogue_dlg_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/download_dlg_win.h"
#include "catalogue/res/resource.h"
#include "support/system/paths_win.h"
#include "tests/file_access_win.h"
#include "tests/test_server.h"

namespace {

class TestCatalogueDlg : public CCatalogueDlg {
 public:
  std::function<void(TestCatalogueDlg&)> whileShown;
  std::string host;
  std::string saveAs;  // empty: keep the proposed path
  bool cancelSave = false;
  bool answerYes = false;
  bool realMessages = false;
  bool realSaveDialog = false;
  int saveDialogs = 0, installQuestions = 0, failures = 0, startFailures = 0;
  std::string proposed;
  std::vector<std::string> opened;

  std::string ShopHost() override { return host.empty() ? CCatalogueDlg::ShopHost() : host; }
  bool ChooseSavePath(HWND owner, std::string& path) override {
    ++saveDialogs;
    if (realSaveDialog) return CCatalogueDlg::ChooseSavePath(owner, path);
    EXPECT_EQ(owner, ActiveDownload() ? ActiveDownload()->GetHwnd() : nullptr);
    proposed = path;
    if (!saveAs.empty()) path = saveAs;
    return !cancelSave;
  }
  bool AskInstall() override {
    ++installQuestions;
    return answerYes;
  }
  void ShowFailure() override {
    ++failures;
    if (realMessages) CCatalogueDlg::ShowFailure();
  }
  void ShowStartFailure() override {
    ++startFailures;
    if (realMessages) CCatalogueDlg::ShowStartFailure();
  }
  void OpenWebPage(const char* url) override { opened.push_back(url); }

  void Run() {
    shown = false;
    ASSERT_EQ(DoModal(nullptr), IDOK);
    ASSERT_TRUE(shown) << "the window ended before it was shown (a page picture did not load)";
  }
  bool shown = false;

 protected:
  bool OnInitDialog() override {
    bool result = CCatalogueDlg::OnInitDialog();
    ::SetTimer(GetHwnd(), 1, 10, nullptr);
    return result;
  }
  void OnTimer(UINT_PTR id) override {
    ::KillTimer(GetHwnd(), id);
    shown = true;
    if (whileShown) whileShown(*this);
    ::SendMessageA(GetHwnd(), WM_CLOSE, 0, 0);
  }
};

void InitOnce() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  ::OleInitialize(nullptr);
  done = true;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool Visible(HWND dlg, int id) {
  return (::GetWindowLongA(::GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
bool Enabled(HWND dlg, int id) {
  return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE;
}
std::string Text(HWND wnd) {
  char text[512] = {};
  ::GetWindowTextA(wnd, text, sizeof text);
  return text;
}
RECT ChildRect(HWND dlg, int id) {
  RECT r;
  ::GetWindowRect(::GetDlgItem(dlg, id), &r);
  ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
COLORREF PixelOf(const CGifPicture& picture, int x, int y) {
  win::CMemoryDc dc(::CreateCompatibleDC(nullptr));
  win::CSelectObject select(dc.Get(), picture.bitmap.Get());
  return ::GetPixel(dc.Get(), x, y);
}

class CatalogueWindow : public testing::Test {
 protected:
  void SetUp() override { InitOnce(); }
  TestCatalogueDlg dlg;
};

TEST_F(CatalogueWindow, ClientAreaButtonsAndPages) {
  dlg.whileShown = [](TestCatalogueDlg& d) {
    HWND w = d.GetHwnd();
    RECT client;
    ::GetClientRect(w, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 430);
    EXPECT_EQ(Text(w), "HOSHIRAI オンラインカタログ （2012年1月号）");
    EXPECT_EQ(d.PagePicture().width, 640);
    EXPECT_EQ(d.PagePicture().height, 400);
    // Page 0: one offer, no way back.
    EXPECT_FALSE(Enabled(w, IDC_PREVIOUS));
    EXPECT_TRUE(Enabled(w, IDC_NEXT));
    EXPECT_TRUE(Visible(w, IDC_OFFER_FIRST));
    EXPECT_EQ(Text(::GetDlgItem(w, IDC_OFFER_FIRST)), "ダウンロード");
    for (int id = IDC_OFFER_FIRST + 1; id <= IDC_OFFER_LAST; ++id) EXPECT_FALSE(Visible(w, id)) << id;
    // The buttons sit in the band under the picture.
    const RECT offer = ChildRect(w, IDC_OFFER_FIRST), next = ChildRect(w, IDC_NEXT),
               prev = ChildRect(w, IDC_PREVIOUS);
    const int h = offer.bottom - offer.top, wN = next.right - next.left;
    EXPECT_EQ(offer.left, 8);
    EXPECT_EQ(offer.top, 400 + (30 - h) / 2);
    EXPECT_EQ(ChildRect(w, IDC_OFFER_LAST).left, 8 + 6 * (offer.right - offer.left + 3));  // hidden, in place
    EXPECT_EQ(next.right, 640 - 8);
    EXPECT_EQ(prev.left, 640 - 2 * wN - 12);
    EXPECT_LT(ChildRect(w, IDC_OFFER_LAST).right, prev.left);

    // Enter and Esc do not end the catalogue.
    ::SendMessageA(w, WM_COMMAND, IDOK, 0);
    ::SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(::IsWindow(w));

    for (int i = 0; i < 3; ++i) ::SendMessageA(w, WM_COMMAND, IDC_NEXT, 0);
    EXPECT_EQ(d.CurrentPage(), 3);  // the selection page: six offers
    for (int id = IDC_OFFER_FIRST; id < IDC_OFFER_LAST; ++id) EXPECT_TRUE(Visible(w, id)) << id;
    EXPECT_FALSE(Visible(w, IDC_OFFER_LAST));
    EXPECT_EQ(Text(::GetDlgItem(w, IDC_OFFER_FIRST + 1)), "クリップ");
    EXPECT_TRUE(Enabled(w, IDC_PREVIOUS));

    ::SendMessageA(w, WM_COMMAND, IDC_NEXT, 0);
    EXPECT_EQ(d.CurrentPage(), 4);
    EXPECT_FALSE(Enabled(w, IDC_NEXT));
    EXPECT_TRUE(Enabled(w, IDC_PREVIOUS));
    EXPECT_TRUE(Visible(w, IDC_OFFER_FIRST));
    EXPECT_FALSE(Visible(w, IDC_OFFER_FIRST + 1));
    // A command sent while the button is disabled stays on the reachable pages.
    ::SendMessageA(w, WM_COMMAND, IDC_NEXT, 0);
    EXPECT_EQ(d.CurrentPage(), 4);
    ::SendMessageA(w, WM_COMMAND, IDC_PREVIOUS, 0);
    EXPECT_EQ(d.CurrentPage(), 3);
  };
  dlg.Run();
}

TEST_F(CatalogueWindow, SystemMenuBackgroundPaintingAndLinkStrips) {
  dlg.whileShown = [](TestCatalogueDlg& d) {
    HWND w = d.GetHwnd();
    HMENU menu = ::GetSystemMenu(w, FALSE);
    char item[128] = {};
    ::GetMenuStringA(menu, IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
    EXPECT_STREQ(item, "HOSHIRAIｵﾝﾗｲﾝｶﾀﾛｸﾞのﾊﾞｰｼﾞｮﾝ情報(&A)...");

    HBRUSH brush =
        reinterpret_cast<HBRUSH>(::SendMessageA(w, WM_CTLCOLORDLG, 0, reinterpret_cast<LPARAM>(w)));
    LOGBRUSH logBrush = {};
    ASSERT_TRUE(::GetObjectA(brush, sizeof logBrush, &logBrush));
    EXPECT_EQ(logBrush.lbColor, RGB(255, 255, 255));

    // The header is painted over the page, the page below it.
    CGifPicture header;
    ASSERT_TRUE(LoadGifPicture(IDR_GIF_HEADER, header));
    EXPECT_EQ(header.width, 640);
    EXPECT_EQ(header.height, 85);
    CGifPicture painted;
    {
      BITMAPINFO info = {};
      info.bmiHeader = {sizeof info.bmiHeader, 640, 430, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      void* bits = nullptr;
      win::CMemoryDc dc(::CreateCompatibleDC(nullptr));
      painted.bitmap.Attach(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
      win::CSelectObject select(dc.Get(), painted.bitmap.Get());
      ::SendMessageA(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
    }
    for (POINT p : {POINT{30, 40}, POINT{600, 10}, POINT{320, 84}}) {
      EXPECT_EQ(PixelOf(painted, p.x, p.y), PixelOf(header, p.x, p.y)) << p.x << "," << p.y;
    }
    for (POINT p : {POINT{300, 250}, POINT{20, 399}, POINT{639, 85}}) {
      EXPECT_EQ(PixelOf(painted, p.x, p.y), PixelOf(d.PagePicture(), p.x, p.y)) << p.x << "," << p.y;
    }
    EXPECT_NE(PixelOf(header, 30, 40), PixelOf(d.PagePicture(), 30, 40));

    // Strip A is redrawn when the pointer crosses its edge, not on moves inside or outside.
    const int before = d.StripRedraws();
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(100, 150));
    EXPECT_EQ(d.StripRedraws(), before);
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(300, 75));
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(310, 76));
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(435, 81));
    EXPECT_TRUE(d.StripAHighlighted());
    EXPECT_EQ(d.StripRedraws(), before + 1);
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(436, 81));
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(500, 200));
    EXPECT_FALSE(d.StripAHighlighted());
    EXPECT_EQ(d.StripRedraws(), before + 2);
    // Strip B belongs to a page that cannot be reached.
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(100, 380));
    EXPECT_FALSE(d.StripBHighlighted());
    EXPECT_EQ(d.StripRedraws(), before + 2);

    ::SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(300, 75));
    ::SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(100, 380));  // strip B: not on this page
    EXPECT_EQ(d.opened, std::vector<std::string>{catalogue::kMakerPageUrl});
  };
  dlg.Run();
}

TEST(GifPicture, LoadsThroughATemporaryFileOfItsOwn) {
  InitOnce();
  const std::string temp = paths::GetTempFolderText();
  // Another catalogue holding the old shared name open changes nothing.
  const std::string shared = paths::JoinPath(temp, "~Catalogue.gif");
  win::CKernelHandle other(::CreateFileA(shared.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  CGifPicture picture;
  ASSERT_TRUE(LoadGifPicture(IDR_GIF_LINK_B, picture));
  EXPECT_EQ(picture.width, 262);
  EXPECT_EQ(picture.height, 14);
  char own[64];
  std::snprintf(own, sizeof own, "~Catalogue-%lu.gif", static_cast<unsigned long>(::GetCurrentProcessId()));
  EXPECT_FALSE(Exists(paths::JoinPath(temp, own)));  // removed again
  other.Close();
  ::DeleteFileA(shared.c_str());
  EXPECT_FALSE(LoadGifPicture(12345, picture));
  EXPECT_FALSE(picture.bitmap);
}

// Draws button 1002 through the window's WM_DRAWITEM into a bitmap of our own.
struct DrawnButton {
  win::CMemoryDc dc{::CreateCompatibleDC(nullptr)};
  win::CBitmapHandle bitmap;
  int width = 60, height = 22;
  DrawnButton(HWND w, UINT state) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap.Attach(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ::SelectObject(dc.Get(), bitmap.Get());
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_OFFER_FIRST;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = ::GetDlgItem(w, IDC_OFFER_FIRST);
    item.hDC = dc.Get();
    item.rcItem = {0, 0, width, height};
    EXPECT_EQ(::SendMessageA(w, WM_DRAWITEM, IDC_OFFER_FIRST, reinterpret_cast<LPARAM>(&item)), TRUE);
  }
  COLORREF At(int x, int y) const { return ::GetPixel(dc.Get(), x, y); }
  int Count(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) == c;
    return n;
  }
};

TEST_F(CatalogueWindow, ColourButtonsDrawTheirFramesAndCaptions) {
  dlg.whileShown = [](TestCatalogueDlg& d) {
    HWND w = d.GetHwnd();
    EXPECT_EQ(::GetWindowLongA(::GetDlgItem(w, IDC_NEXT), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    const COLORREF grey65 = RGB(65, 65, 65), grey97 = RGB(97, 97, 97), grey223 = RGB(223, 223, 223);
    const COLORREF white = RGB(255, 255, 255), text = RGB(0x00, 0x24, 0xFF);
    {
      DrawnButton b(w, 0);
      EXPECT_EQ(b.At(59, 10), grey65);  // outer right
      EXPECT_EQ(b.At(30, 21), grey65);  // outer bottom
      EXPECT_EQ(b.At(0, 10), white);    // outer left
      EXPECT_EQ(b.At(58, 10), grey97);  // inner right
      EXPECT_EQ(b.At(1, 10), grey223);  // inner left
      EXPECT_EQ(b.At(2, 2), white);     // the white background
      EXPECT_GT(b.Count(text), 10);     // the caption in 0xFF2400
    }
    {
      DrawnButton b(w, ODS_SELECTED | ODS_FOCUS);
      EXPECT_EQ(b.At(59, 10), RGB(0, 0, 0));  // the focus frame
      EXPECT_EQ(b.At(58, 10), RGB(128, 128, 128));
      EXPECT_EQ(b.At(1, 10), RGB(128, 128, 128));
      EXPECT_EQ(b.At(2, 2), white);
    }
    {
      DrawnButton b(w, ODS_DISABLED);
      EXPECT_EQ(b.Count(text), 0);
      EXPECT_GT(b.Count(RGB(0x81, 0x81, 0x81)), 10);
    }
  };
  dlg.Run();
}

// Runs body on a thread of its own while the dialog's thread is busy, and waits for it at the end.
class Watcher {
 public:
  explicit Watcher(std::function<void()> body) : thread(std::move(body)) {}
  ~Watcher() { thread.join(); }

 private:
  std::thread thread;
};

// The first top-level window of this process with the title, waited for up to timeoutMs. Other
// test processes on the same desktop may show windows with the same titles at the same time.
HWND WaitForWindow(const char* title, int timeoutMs) {
  struct Search {
    const char* title;
    HWND found;
  };
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    Search search = {title, nullptr};
    ::EnumWindows(
        [](HWND wnd, LPARAM param) -> BOOL {
          Search& s = *reinterpret_cast<Search*>(param);
          DWORD pid = 0;
          ::GetWindowThreadProcessId(wnd, &pid);
          if (pid != ::GetCurrentProcessId() || Text(wnd) != s.title) return TRUE;
          s.found = wnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    ::Sleep(20);
  }
  return nullptr;
}

TEST_F(CatalogueWindow, AboutBoxFromTheSystemMenuWithItsLink) {
  std::string linkText;
  dlg.whileShown = [&linkText](TestCatalogueDlg& d) {
    Watcher watcher([&linkText] {
      HWND about = WaitForWindow(" HOSHIRAIｵﾝﾗｲﾝｶﾀﾛｸﾞのﾊﾞｰｼﾞｮﾝ情報", 5000);
      if (!about) return;
      // Set up once it is shown.
      for (int i = 0; i < 250 && !::IsWindowVisible(about); ++i) ::Sleep(20);
      HWND link = ::GetDlgItem(about, IDC_HOMEPAGE_LINK);
      char text[128] = {};
      ::GetWindowTextA(link, text, sizeof text);
      linkText = text;
      ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDC_HOMEPAGE_LINK, STN_CLICKED),
                     reinterpret_cast<LPARAM>(link));
    });
    ::SendMessageA(d.GetHwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);  // returns when the box is closed
  };
  dlg.Run();
  EXPECT_EQ(linkText, "HOSHIRAI ホームページへGO！！");
  EXPECT_EQ(dlg.opened, std::vector<std::string>{catalogue::kMakerPageUrl});
}

// ---- downloads against the local server ----

std::string Folder(const std::string& name) {
  static std::atomic<int> counter{0};
  std::random_device random;
  std::string path = TestHttpServer::LocalPath(std::string(ZELLORA_BINARY_DIR) + "/test-tmp/catalogue-" +
                                               std::to_string(random() % 100000) + "-" +
                                               std::to_string(counter++) + "/" + name);
  std::filesystem::create_directories(path);
  return path;
}

std::string RandomBytes(std::size_t n) {
  std::mt19937 random(42);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class CatalogueDownload : public HttpServerTest {
 protected:
  void SetUp() override {
    HttpServerTest::SetUp();
    InitOnce();
    folder = Folder("saved");
    dlg.saveAs = folder + "\\setup.exe";
  }
  void TearDown() override {
    std::error_code e;
    std::filesystem::remove_all(std::filesystem::path(folder).parent_path(), e);
    HttpServerTest::TearDown();
  }
  // Serves a download page with a META DOWNLOAD tag leading to fileQuery.
  std::string MetaPage(const std::string& fileQuery) {
    server->WriteFile("meta.html", "<html><head>\r\n<meta name=\"DOWNLOAD\" content=\"" +
                                       server->Url(fileQuery) + "\">\r\n</head><body></body></html>\r\n");
    return server->Url("/page?file=meta.html");
  }
  void Download(const std::string& address) {
    dlg.whileShown = [address](TestCatalogueDlg& d) { d.DownloadOffer(address); };
    dlg.Run();
  }
  TestCatalogueDlg dlg;
  std::string folder;
};

TEST_F(CatalogueDownload, MetaDownloadSavesTheFileByteForByte) {
  const std::string bytes = RandomBytes(300000);
  server->WriteFile("setup.exe", bytes);
  file_access::CreationWatch watch;
  Download(MetaPage("/files/setup.exe"));
  EXPECT_EQ(dlg.saveDialogs, 1);
  EXPECT_EQ(dlg.proposed, paths::JoinPath(paths::GetDesktopFolder(), "setup.exe"));
  EXPECT_EQ(TestHttpServer::ReadFile(dlg.saveAs), bytes);
  // A program about to be started: no other user may replace it meanwhile. (The pictures'
  // temporary files are no one else's business either.)
  const std::map<std::string, bool> created = watch.Created();
  ASSERT_EQ(created.count(dlg.saveAs), 1u);
  for (const auto& file : created) EXPECT_FALSE(file.second) << file.first;
  EXPECT_EQ(dlg.installQuestions, 1);
  EXPECT_EQ(dlg.failures, 0);
}

TEST_F(CatalogueDownload, TheRealSaveDialogProposesTheFileName) {
  const std::string bytes = RandomBytes(20000);
  server->WriteFile("tool.exe", bytes);
  dlg.realSaveDialog = true;
  std::string title, proposedName;
  const std::string target = dlg.saveAs;
  dlg.whileShown = [&](TestCatalogueDlg& d) {
    Watcher watcher([&] {
      HWND box = WaitForWindow("保存先を選択して下さい", 20000);
      if (!box) return;
      title = Text(box);
      // The file name box of the explorer-style dialog (a combo box, or an edit in older ones).
      HWND name = ::GetDlgItem(box, 0x47C) ? ::GetDlgItem(box, 0x47C) : ::GetDlgItem(box, 0x480);
      for (int i = 0; i < 100 && proposedName.empty(); ++i) {
        proposedName = Text(name);
        ::Sleep(20);
      }
      ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    d.DownloadOffer(MetaPage("/files/tool.exe"));
  };
  dlg.Run();
  EXPECT_EQ(title, "保存先を選択して下さい");
  EXPECT_EQ(proposedName, "tool.exe");
  EXPECT_EQ(TestHttpServer::ReadFile(target), bytes);
  EXPECT_EQ(dlg.installQuestions, 1);
}

TEST_F(CatalogueDownload, MarkedImageAndRefreshPageLeadToTheFile) {
  const std::string bytes = RandomBytes(5000);
  server->WriteFile("tool.exe", bytes);
  server->WriteFile("refresh.html", "<HTML><HEAD>\n<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=" +
                                        server->Url("/page?file=tool.exe") + "\">\n</HEAD></HTML>\n");
  server->WriteFile("offer.html",
                    "<html><head><title>ツール</title></head><body>\n<a href=\"page?file=refresh.html\">\n"
                    "<img src=\"btn.gif\" alt=\"HTTPでダウンロード\"></a>\n</body></html>\n");
  dlg.host = "127.0.0.1:" + std::to_string(server->Port());
  Download(server->Url("/page?file=offer.html"));
  EXPECT_EQ(TestHttpServer::ReadFile(dlg.saveAs), bytes);
  EXPECT_EQ(dlg.installQuestions, 1);
  EXPECT_NE(server->Requests().find("GET /page?file=refresh.html "), std::string::npos);
}

TEST_F(CatalogueDownload, NoLengthMeansNoSaveDialogAndTheFailureMessage) {
  server->WriteFile("setup.exe", "MZ");
  dlg.realMessages = true;
  std::string message;
  dlg.whileShown = [&](TestCatalogueDlg& d) {
    Watcher watcher([&message] {
      HWND box = WaitForWindow("HOSHIRAI オンラインカタログ", 20000);
      if (!box) return;
      message = Text(::GetDlgItem(box, 0xFFFF));
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    d.DownloadOffer(MetaPage("/page?file=setup.exe&mode=close"));
  };
  dlg.Run();
  EXPECT_EQ(dlg.saveDialogs, 0);
  EXPECT_EQ(dlg.failures, 1);
  EXPECT_EQ(message, "ダウンロードできませんでした。");
  EXPECT_FALSE(Exists(dlg.saveAs));
}

TEST_F(CatalogueDownload, ZeroLengthSavesAnEmptyFile) {
  server->WriteFile("empty.exe", "");
  server->WriteFile("old.txt", "");
  {
    HANDLE old = ::CreateFileA(dlg.saveAs.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(old, "old", 3, &n, nullptr);
    ::CloseHandle(old);
  }
  Download(MetaPage("/page?file=empty.exe"));
  EXPECT_EQ(dlg.saveDialogs, 1);
  EXPECT_TRUE(Exists(dlg.saveAs));
  EXPECT_EQ(TestHttpServer::ReadFile(dlg.saveAs), "");
  EXPECT_EQ(dlg.installQuestions, 1);
  EXPECT_EQ(dlg.failures, 0);
}

TEST_F(CatalogueDownload, ABodyCutShortIsAFailureAndLeavesNoFile) {
  server->WriteFile("setup.exe", RandomBytes(100000));
  Download(MetaPage("/page?file=setup.exe&cut=30000"));
  EXPECT_EQ(dlg.saveDialogs, 1);
  EXPECT_EQ(dlg.failures, 1);
  EXPECT_EQ(dlg.installQuestions, 0);
  EXPECT_FALSE(Exists(dlg.saveAs));
}

TEST_F(CatalogueDownload, CancelMidTransferRemovesThePartialFile) {
  server->WriteFile("setup.exe", RandomBytes(400000));
  bool sawPartial = false;
  std::string remaining;
  dlg.whileShown = [&](TestCatalogueDlg& d) {
    const std::string target = d.saveAs;
    Watcher watcher([&sawPartial, target] {
      HWND progress = WaitForWindow(" ダウンロード", 20000);
      for (int i = 0; i < 500 && !sawPartial; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        sawPartial =
            ::GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0;
        ::Sleep(20);
      }
      if (progress) ::PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
    });
    d.DownloadOffer(MetaPage("/files/setup.exe?stall=65536&stall_secs=2"));
  };
  dlg.Run();
  EXPECT_TRUE(sawPartial);
  EXPECT_EQ(dlg.failures, 1);
  EXPECT_EQ(dlg.installQuestions, 0);
  EXPECT_FALSE(Exists(dlg.saveAs));
  EXPECT_EQ(dlg.cancelFlag, 0);
}

TEST_F(CatalogueDownload, APageWithoutARecognisedTagFails) {
  server->WriteFile("plain.html",
                    "<html><head><title>x</title></head><body><a href=\"a.exe\">a</a></body></html>\n");
  Download(server->Url("/page?file=plain.html"));
  EXPECT_EQ(dlg.saveDialogs, 0);
  EXPECT_EQ(dlg.installQuestions, 0);
  EXPECT_EQ(dlg.failures, 1);
  // An error page is no installer, even with a length.
  Download(MetaPage("/nothing"));
  EXPECT_EQ(dlg.failures, 2);
  EXPECT_EQ(dlg.saveDialogs, 0);
}

TEST_F(CatalogueDownload, YesStartsTheSavedInstallerFromAFolderWithASpace) {
  const std::string probe = TestHttpServer::ReadFile(
      TestHttpServer::LocalPath(std::string(ZELLORA_BINARY_DIR) + "/catalogue/install_probe.exe"));
  ASSERT_FALSE(probe.empty());
  server->WriteFile("setup.exe", probe);
  const std::string base = std::filesystem::path(folder).parent_path().string();
  const std::string spaced = base + "\\ab cd";
  std::filesystem::create_directories(spaced);
  // What an unquoted command line would start instead.
  {
    HANDLE decoy =
        ::CreateFileA((base + "\\ab.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(decoy, probe.data(), static_cast<DWORD>(probe.size()), &n, nullptr);
    ::CloseHandle(decoy);
  }
  dlg.saveAs = spaced + "\\setup.exe";
  dlg.answerYes = true;
  Download(MetaPage("/page?file=setup.exe"));
  ASSERT_EQ(dlg.installQuestions, 1);
  std::string ran;
  for (int i = 0; i < 250 && ran.empty(); ++i) {
    ran = TestHttpServer::ReadFile(dlg.saveAs + ".ran");
    ::Sleep(20);
  }
  EXPECT_EQ(ran, "\"" + dlg.saveAs + "\"");
  EXPECT_FALSE(Exists(base + "\\ab.exe.ran"));
  EXPECT_EQ(dlg.startFailures, 0);
}

// What the probe recorded of its command line, once it ran (up to five seconds).
std::string WaitForRun(const std::string& record) {
  std::string ran;
  for (int i = 0; i < 250 && ran.empty(); ++i) {
    ran = TestHttpServer::ReadFile(record);
    ::Sleep(20);
  }
  return ran;
}

TEST_F(CatalogueDownload, TheShellStartsTheInstallerAndAPackageGoesToItsHandler) {
  // A package is no program: CreateProcess cannot start it, the shell opens it with the program
  // its type names. The probe stands in for that program and records how it was started.
  const std::string probe = folder + "\\handler.exe";
  ASSERT_TRUE(::CopyFileA(
      TestHttpServer::LocalPath(std::string(ZELLORA_BINARY_DIR) + "/catalogue/install_probe.exe").c_str(),
      probe.c_str(), FALSE));
  const std::string type = ".zltestpkg", progId = "ZelloraTest.Package";
  const std::string command = "\"" + probe + "\" \"%1\"";
  HKEY key = nullptr;
  ASSERT_EQ(
      ::RegCreateKeyExA(HKEY_CLASSES_ROOT, type.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId.c_str()),
                   static_cast<DWORD>(progId.size() + 1));
  ::RegCloseKey(key);
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, (progId + "\\shell\\open\\command").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  ::RegCloseKey(key);
  struct Unregister {
    std::string type, progId;
    ~Unregister() {
      ::RegDeleteTreeA(HKEY_CLASSES_ROOT, type.c_str());
      ::RegDeleteTreeA(HKEY_CLASSES_ROOT, progId.c_str());
    }
  } unregister{type, progId};

  server->WriteFile("setup" + type, "a package");
  dlg.saveAs = folder + "\\setup" + type;
  dlg.answerYes = true;
  Download(MetaPage("/page?file=setup" + type));
  ASSERT_EQ(dlg.installQuestions, 1);
  const std::string ran = WaitForRun(probe + ".ran");
  EXPECT_NE(ran.find(dlg.saveAs), std::string::npos) << ran;
  EXPECT_EQ(dlg.startFailures, 0);
}

TEST_F(CatalogueDownload, AnInstallerThatCannotStartIsReported) {
  // Saved completely, but no program: the shell cannot start it, and says nothing itself.
  server->WriteFile("setup.exe", RandomBytes(3000));
  dlg.answerYes = true;
  dlg.realMessages = true;
  // (The shell's own error box would come first and hold the test up: it is asked not to show.)
  std::string message;
  dlg.whileShown = [&](TestCatalogueDlg& d) {
    Watcher watcher([&message] {
      HWND box = WaitForWindow("HOSHIRAI オンラインカタログ", 20000);
      if (!box) return;
      message = Text(::GetDlgItem(box, 0xFFFF));
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    d.DownloadOffer(MetaPage("/page?file=setup.exe"));
  };
  dlg.Run();
  EXPECT_EQ(dlg.installQuestions, 1);
  EXPECT_EQ(dlg.failures, 0);
  EXPECT_EQ(dlg.startFailures, 1);
  EXPECT_EQ(message, "インストーラーを起動できませんでした。");
  EXPECT_TRUE(Exists(dlg.saveAs)) << "the saved file stays";
}

}  // namespace
