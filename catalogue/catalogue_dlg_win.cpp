#include "catalogue/catalogue_dlg_win.h"

#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>
#include <windowsx.h>
#include <wininet.h>

#include <cstdio>
#include <ctime>
#include <utility>

#include "catalogue/download.h"
#include "catalogue/download_dlg_win.h"
#include "catalogue/res/resource.h"
#include "support/net/page_fetch.h"
#include "support/system/paths_win.h"
#include "support/text/sjis.h"
#include "support/win/file_dialog.h"

namespace {

const char kMessageCaption[] = "HOSHIRAI オンラインカタログ";

// The button ids in the order of CCatalogueDlg::buttons.
int ButtonId(int index) {
  if (index == 0) return IDC_PREVIOUS;
  if (index == 1) return IDC_NEXT;
  return IDC_OFFER_FIRST + index - 2;
}

// Releases a COM interface on every path.
template <typename T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p) p->Release();
  }
};

// Size of a window in the client coordinates of its parent.
RECT ChildRect(HWND child) {
  RECT r = {};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool RenderPicture(IPicture* picture, CGifPicture& out) {
  OLE_XSIZE_HIMETRIC hmWidth = 0;
  OLE_YSIZE_HIMETRIC hmHeight = 0;
  if (FAILED(picture->get_Width(&hmWidth)) || FAILED(picture->get_Height(&hmHeight))) return false;
  int width = 0, height = 0;
  {
    win::CWindowDc screen(nullptr);
    if (!screen) return false;
    width = ::MulDiv(hmWidth, ::GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540);
    height = ::MulDiv(hmHeight, ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540);
  }
  if (width <= 0 || height <= 0) return false;
  win::CMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win::CBitmapHandle bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return false;
  HRESULT rendered;
  {
    win::CSelectObject select(dc.Get(), bitmap.Get());
    if (!select.Ok()) return false;
    // The source rectangle runs upwards in HIMETRIC units.
    rendered = picture->Render(dc.Get(), 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
  }
  if (FAILED(rendered)) return false;
  out.bitmap = std::move(bitmap);
  out.width = width;
  out.height = height;
  return true;
}

// The system's picture loader over the bytes of a file, copied into global memory.
bool LoadPictureFile(const std::string& path, CGifPicture& out) {
  win::CKernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD size = ::GetFileSize(file.Get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0) return false;
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return false;
  void* data = ::GlobalLock(memory);
  DWORD read = 0;
  const bool ok = data && ::ReadFile(file.Get(), data, size, &read, nullptr) && read == size;
  if (data) ::GlobalUnlock(memory);
  if (!ok) {
    ::GlobalFree(memory);
    return false;
  }
  ComRelease<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream.p))) {  // the stream frees the memory
    ::GlobalFree(memory);
    return false;
  }
  ComRelease<IPicture> picture;
  if (FAILED(::OleLoadPicture(stream.p, static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture.p))) ||
      !picture.p) {
    return false;
  }
  return RenderPicture(picture.p, out);
}

// The platform half of a download: the catalogue window, its progress dialog and WinInet.
class CWinDownloadHost final : public catalogue::DownloadHost {
 public:
  CWinDownloadHost(CCatalogueDlg& c, CDownloadDlg& d) : dlg(c), progress(d) {}
  ~CWinDownloadHost() override { CloseFile(); }

  int PumpMessages(int ms) override { return dlg.PumpMessages(ms); }
  bool IsCancelled() override { return dlg.cancelFlag != 0; }
  bool FetchPage(const std::string& url, PageLines& page) override {
    return LoadPage(page, url.c_str(), nullptr, 1, nullptr, nullptr);
  }
  std::string ShopHost() override { return dlg.ShopHost(); }

  bool OpenFile(const std::string& url) override;
  bool FileLength(std::uint64_t& length) override;
  long ReadFile(char* buffer, std::size_t size) override {
    DWORD got = 0;
    if (!request || !::InternetReadFile(request, buffer, static_cast<DWORD>(size), &got)) return -1;
    return static_cast<long>(got);
  }
  void CloseFile() override {
    if (request) ::InternetCloseHandle(request);
    if (session) ::InternetCloseHandle(session);
    request = session = nullptr;
  }

  std::string DesktopFolder() override { return paths::GetDesktopFolder(); }
  bool ChooseSavePath(std::string& path) override { return dlg.ChooseSavePath(progress.GetHwnd(), path); }
  bool RemoveFile(const std::string& path) override { return paths::RemoveFile(path); }
  bool AppendToFile(const std::string& path, const char* bytes, std::size_t count) override {
    return paths::AppendToFile(path, bytes, count);
  }
  std::int64_t NowSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }

  void SetStatus(const std::string& text) override { progress.SetStatus(text); }
  void SetProgressRange(std::uint64_t length) override { progress.SetProgressRange(length); }
  void SetProgressPosition(std::uint64_t position) override { progress.SetProgressPosition(position); }
  void SetRemaining(const std::string& text) override { progress.SetRemaining(text); }
  void SetRate(const std::string& text) override { progress.SetRate(text); }

 private:
  CCatalogueDlg& dlg;
  CDownloadDlg& progress;
  HINTERNET session = nullptr;
  HINTERNET request = nullptr;
};

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY.
constexpr DWORD kFileFlags = 0x84000002;
// Windows' own receive time-out, set explicitly: Wine's WinInet would wait for ever for a server
// that stops sending, and the cancel button is only seen between two blocks.
constexpr DWORD kReceiveTimeoutMs = 30000;

bool CWinDownloadHost::OpenFile(const std::string& url) {
  CloseFile();
  session = ::InternetOpenA("Catalogue", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return false;
  DWORD timeout = kReceiveTimeoutMs;
  ::InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  request = ::InternetOpenUrlA(session, url.c_str(), nullptr, 0, kFileFlags, 0);
  if (!request) {
    CloseFile();
    return false;
  }
  // An error page is not the installer: only a successful answer counts as the file.
  DWORD status = 0, size = sizeof status;
  if (::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
      (status < 200 || status > 299)) {
    CloseFile();
    return false;
  }
  return true;
}

bool CWinDownloadHost::FileLength(std::uint64_t& length) {
  DWORD value = 0, size = sizeof value;
  if (!request || !::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value,
                                    &size, nullptr)) {
    return false;
  }
  length = value;
  return true;
}

}  // namespace

bool LoadGifPicture(int resourceId, CGifPicture& picture) {
  picture.Free();
  HMODULE module = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(resourceId), "GIF");
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  const DWORD size = ::SizeofResource(module, found);
  if (!bytes || size == 0) return false;
  // One file per process: two catalogues starting together would otherwise write, read and
  // delete the same file, and the one that loses ends silently.
  char name[64];
  std::snprintf(name, sizeof name, "~Catalogue-%lu.gif", static_cast<unsigned long>(::GetCurrentProcessId()));
  const std::string temp = paths::JoinPath(paths::GetTempFolderText(), name);
  if (temp.empty() || !paths::WriteNewFile(temp, bytes, size)) return false;
  const bool ok = LoadPictureFile(temp, picture);
  paths::RemoveFile(temp);
  if (!ok) picture.Free();
  return ok;
}

CCatalogueDlg::CCatalogueDlg() : CDialog(IDD_CATALOGUE_DIALOG) {}

bool CCatalogueDlg::OnInitDialog() {
  HWND wnd = GetHwnd();
  char about[256] = {};
  if (::LoadStringA(GetInstance(), IDS_ABOUTBOX, about, sizeof about) > 0) {
    HMENU menu = ::GetSystemMenu(wnd, FALSE);
    if (menu) {
      ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  icon = ::LoadIconA(GetInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageA(wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  // A header or strip that does not load only leaves its place unpainted.
  LoadGifPicture(IDR_GIF_HEADER, headerPicture);
  whiteBrush.Attach(::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF)));
  LoadGifPicture(IDR_GIF_LINK_A, stripA);
  LoadGifPicture(IDR_GIF_LINK_A_HOT, stripAHot);
  stripATracker.Reset();
  LoadGifPicture(IDR_GIF_LINK_B, stripB);
  LoadGifPicture(IDR_GIF_LINK_B_HOT, stripBHot);
  stripBTracker.Reset();

  for (int i = 0; i < kButtonCount; ++i) {
    buttons[i].AttachDlgItem(wnd, ButtonId(i));
    buttons[i].SetBkColor(kButtonBackground);
    buttons[i].SetTextColor(kButtonText);
  }

  cancelFlag = 0;
  ShowPage(0);
  if (ended) return true;

  RECT outer = {}, client = {};
  ::GetWindowRect(wnd, &outer);
  ::GetClientRect(wnd, &client);
  const RECT offer = ChildRect(GetItem(IDC_OFFER_FIRST));
  const RECT next = ChildRect(GetItem(IDC_NEXT));
  const catalogue::CatalogueLayout layout = catalogue::ComputeLayout(
      {pagePicture.width, pagePicture.height}, {outer.right - outer.left, outer.bottom - outer.top},
      {client.right, client.bottom}, {offer.right - offer.left, offer.bottom - offer.top},
      next.right - next.left);
  ::SetWindowPos(wnd, nullptr, 0, 0, layout.window.width, layout.window.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const UINT keep = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  for (int i = 0; i < catalogue::kOfferCount; ++i) {
    ::SetWindowPos(GetItem(IDC_OFFER_FIRST + i), nullptr, layout.offerX[i], layout.buttonY, 0, 0, keep);
  }
  ::SetWindowPos(GetItem(IDC_NEXT), nullptr, layout.nextX, layout.buttonY, 0, 0, keep);
  ::SetWindowPos(GetItem(IDC_PREVIOUS), nullptr, layout.previousX, layout.buttonY, 0, 0, keep);
  return true;
}

void CCatalogueDlg::ShowPage(int index) {
  pagePicture.Free();
  currentPage = index;
  const catalogue::CataloguePage& record = catalogue::kCataloguePages[index];
  if (!LoadGifPicture(record.pictureId, pagePicture)) {
    ended = true;
    EndDialog(IDOK);
    return;
  }
  ::InvalidateRect(GetHwnd(), nullptr, TRUE);
  ::EnableWindow(GetItem(IDC_PREVIOUS), index != 0);
  ::EnableWindow(GetItem(IDC_NEXT), index < catalogue::kPageCount - 1);
  for (int i = 0; i < catalogue::kOfferCount; ++i) {
    addresses[i] = record.offers[i].address;
    HWND button = GetItem(IDC_OFFER_FIRST + i);
    if (!addresses[i].empty()) {
      ::SetWindowTextA(button, record.offers[i].caption);
      ::ShowWindow(button, SW_SHOW);
    } else {
      ::ShowWindow(button, SW_HIDE);
    }
  }
}

bool CCatalogueDlg::OnCommand(int id, int code, HWND control) {
  // A command posted while its button is disabled must not lead off the reachable pages.
  if (id == IDC_NEXT) {
    if (currentPage + 1 < catalogue::kPageCount) ShowPage(currentPage + 1);
    return true;
  }
  if (id == IDC_PREVIOUS) {
    if (currentPage > 0) ShowPage(currentPage - 1);
    return true;
  }
  if (id >= IDC_OFFER_FIRST && id <= IDC_OFFER_LAST) {
    const std::string address = addresses[id - IDC_OFFER_FIRST];
    if (!address.empty() && !download) DownloadOffer(address);
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}

void CCatalogueDlg::OnClose() {
  ended = true;
  EndDialog(IDOK);
}

CColorButton* CCatalogueDlg::ButtonFor(HWND control) {
  for (CColorButton& b : buttons) {
    if (b.GetHwnd() && b.GetHwnd() == control) return &b;
  }
  return nullptr;
}

bool CCatalogueDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      result = 0;
      return true;
    case WM_PRINTCLIENT:
      PaintTo(reinterpret_cast<HDC>(wParam));
      result = 0;
      return true;
    case WM_CTLCOLORDLG:
      if (!whiteBrush) return false;
      result = reinterpret_cast<LRESULT>(whiteBrush.Get());
      return true;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      CColorButton* button = item ? ButtonFor(item->hwndItem) : nullptr;
      if (!button) return false;
      button->DrawItem(*item);
      result = TRUE;
      return true;
    }
    case WM_MOUSEMOVE:
      OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return false;
    case WM_LBUTTONUP:
      OnLButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return false;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAbout();
        result = 0;
        return true;
      }
      return false;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(icon);
      return true;
    default:
      return false;
  }
}

void CCatalogueDlg::DrawPicture(const CGifPicture& picture, int x, int y) {
  ++stripRedraws;
  if (!picture.bitmap) return;
  win::CWindowDc dc(GetHwnd());
  if (!dc) return;
  win::CMemoryDc memory(::CreateCompatibleDC(dc.Get()));
  win::CSelectObject select(memory.Get(), picture.bitmap.Get());
  if (select.Ok()) ::BitBlt(dc.Get(), x, y, picture.width, picture.height, memory.Get(), 0, 0, SRCCOPY);
}

void CCatalogueDlg::PaintTo(HDC dc) {
  win::CMemoryDc memory(::CreateCompatibleDC(dc));
  for (const CGifPicture* picture : {&pagePicture, &headerPicture}) {
    if (!picture->bitmap) continue;
    win::CSelectObject select(memory.Get(), picture->bitmap.Get());
    if (select.Ok()) ::BitBlt(dc, 0, 0, picture->width, picture->height, memory.Get(), 0, 0, SRCCOPY);
  }
}

void CCatalogueDlg::Paint() {
  HWND wnd = GetHwnd();
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(wnd, &paint);
  if (!dc) return;
  if (::IsIconic(wnd)) {
    ::SendMessageA(wnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT r;
    ::GetClientRect(wnd, &r);
    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(dc, (r.right - cx + 1) / 2, (r.bottom - cy + 1) / 2, icon);
  } else {
    PaintTo(dc);
  }
  ::EndPaint(wnd, &paint);
}

void CCatalogueDlg::OnMouseMove(int x, int y) {
  if (stripATracker.Move(x, y)) {
    DrawPicture(stripATracker.Inside() ? stripAHot : stripA, catalogue::kStripAX, catalogue::kStripAY);
  }
  if (currentPage == catalogue::kHomeLinkPage && stripBTracker.Move(x, y)) {
    DrawPicture(stripBTracker.Inside() ? stripBHot : stripB, catalogue::kStripBX, catalogue::kStripBY);
  }
}

void CCatalogueDlg::OnLButtonUp(int x, int y) {
  if (catalogue::kStripAHot.Contains(x, y)) OpenWebPage(catalogue::kMakerPageUrl);
  if (currentPage == catalogue::kHomeLinkPage && catalogue::kStripBHot.Contains(x, y)) {
    OpenWebPage(catalogue::kMakerHomeUrl);
  }
}

void CCatalogueDlg::OpenWebPage(const char* url) {
  ::ShellExecuteA(GetHwnd(), "open", url, nullptr, nullptr, SW_SHOWNORMAL);  // a failure is not reported
}

void CCatalogueDlg::ShowAbout() {
  CAboutDlg about(*this);
  about.DoModal(GetHwnd());
}

int CCatalogueDlg::PumpMessages(int ms) {
  while (ms > 0) {
    const int step = ms < 10 ? ms : 10;
    ::Sleep(static_cast<DWORD>(step));
    if (cancelFlag) return 0;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside ours
        return 0;
      }
      if (msg.message == WM_APP) return 0;
      HWND progress = download ? download->GetHwnd() : nullptr;
      if (!progress || !::IsDialogMessageA(progress, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
      if (cancelFlag || ended) return 0;
    }
    ms -= step;
  }
  return 1;
}

bool CCatalogueDlg::ChooseSavePath(HWND owner, std::string& path) {
  return FileDialogForPath(owner, "保存先を選択して下さい", path, false);
}

bool CCatalogueDlg::AskInstall() {
  return ::MessageBoxA(GetHwnd(), "ダウンロードしたソフトウェアをインストールしますか？", kMessageCaption,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CCatalogueDlg::ShowFailure() {
  ::MessageBoxA(GetHwnd(), "ダウンロードできませんでした。", kMessageCaption, MB_OK | MB_ICONINFORMATION);
}

void CCatalogueDlg::ShowStartFailure() {
  ::MessageBoxA(GetHwnd(), "インストーラーを起動できませんでした。", kMessageCaption,
                MB_OK | MB_ICONEXCLAMATION);
}

bool CCatalogueDlg::StartInstaller(const std::string& path, bool& declined) {
  declined = false;
  // Through the shell, not CreateProcess: an installer whose manifest asks for elevation fails
  // CreateProcess with ERROR_ELEVATION_REQUIRED, while ShellExecuteEx shows the consent prompt
  // for it (and opens a package that is no program, an .msi, with its handler). The shell's own
  // error box is not wanted (SEE_MASK_FLAG_NO_UI: the catalogue says it in its words), and the
  // installer starts in its own folder. ShellExecuteEx may hand the start to shell extensions, so
  // its documentation asks for COM on the calling thread: the catalogue's thread initialises OLE
  // (an apartment-threaded apartment) before its window exists.
  const std::size_t slash = sjis::FindLastChar(path, '\\');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetHwnd();
  info.lpVerb = "open";
  info.lpFile = path.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExA(&info)) {
    declined = ::GetLastError() == ERROR_CANCELLED;
    return false;
  }
  // No handle when the start was handed to a program that was already running.
  if (info.hProcess) {
    ::WaitForInputIdle(info.hProcess, kInstallerIdleMs);
    ::CloseHandle(info.hProcess);
  }
  return true;
}

void CCatalogueDlg::DownloadOffer(const std::string& address) {
  HWND wnd = GetHwnd();
  CDownloadDlg progress(cancelFlag);
  if (!progress.Create(wnd)) return;
  progress.SetStatus("最新バージョンをダウンロードしています．．．");
  ::ShowWindow(progress.GetHwnd(), SW_SHOW);
  ::EnableWindow(wnd, FALSE);
  cancelFlag = 0;
  download = &progress;

  std::string path;
  int ok = 0;
  {
    CWinDownloadHost host(*this, progress);
    ok = catalogue::ResolveDownloadPage(host, address, catalogue::kDownloadMarker, path);
  }

  download = nullptr;
  cancelFlag = 0;
  ::EnableWindow(wnd, TRUE);
  progress.Close();
  if (ok) {
    bool declined = false;
    if (AskInstall() && !StartInstaller(path, declined) && !declined) ShowStartFailure();
  } else {
    ShowFailure();
  }
}

CAboutDlg::CAboutDlg(CCatalogueDlg& owner) : CDialog(IDD_ABOUTBOX), catalogueDlg(owner) {}

bool CAboutDlg::OnInitDialog() {
  CentreOnOwner(GetHwnd());
  if (link.AttachDlgItem(GetHwnd(), IDC_HOMEPAGE_LINK)) {
    link.SetTextColor(0xFF0000);
    link.SetFont("ＭＳ ゴシック", 90, "標準|下線");
    link.EnableHandCursor(true);
  }
  return true;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_HOMEPAGE_LINK && code == STN_CLICKED) {
    catalogueDlg.OpenWebPage(catalogue::kMakerPageUrl);
    EndDialog(IDOK);
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}
