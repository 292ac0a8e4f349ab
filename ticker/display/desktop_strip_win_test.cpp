// Desktop mode against a mock desktop owned by this process (the only way to draw into another
// window's device context under Wine): a "Progman" window titled "Program Manager" with a
// "SHELLDLL_DefView" child holding a real list view with a few icons, or the same view under a
// top-level "WorkerW" window. Like the shell's, the mock's view has no background of its own: its
// parent paints the wallpaper under the icons, from the same settings the ticker reads.
#include "ticker/display/desktop_strip_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ticker_link/ticker_link.h"
#include "tests/fake_ticker_host.h"
#include "tests/gui_objects_win.h"
#include "tests/registry_test_key.h"
#include "ticker/display/desktop_view_win.h"
#include "ticker/display/draw_strip_win.h"
#include "ticker/display/ticker_dlg_win.h"
#include "ticker/display/ticker_engine.h"

namespace {

using ticker::CDesktopStrip;
using ticker::CWallpaperCapture;

constexpr COLORREF kTeal = RGB(0, 128, 128);

struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> rgb;  // top-down
  COLORREF At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

// width x height pixels of dc at (x, y), read through a 32-bit DIB.
Pixels ReadPixels(HDC dc, int x, int y, int width, int height) {
  Pixels p;
  p.width = width;
  p.height = height;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, width, height, dc, x, y, SRCCOPY);
  GdiFlush();
  const auto* q = static_cast<const std::uint8_t*>(bits);
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  p.rgb.reserve(pixels);
  for (std::size_t i = 0; i < pixels; ++i) p.rgb.push_back(RGB(q[i * 4 + 2], q[i * 4 + 1], q[i * 4]));
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
  return p;
}

Pixels ReadWindow(HWND w, const RECT& screen) {
  POINT at{screen.left, screen.top};
  ScreenToClient(w, &at);
  HDC dc = GetDC(w);
  Pixels p = ReadPixels(dc, at.x, at.y, screen.right - screen.left, screen.bottom - screen.top);
  ReleaseDC(w, dc);
  return p;
}

Pixels ReadSurface(CDibSurface& s, const RECT& r) {
  return s.Locked([&](HDC dc) { return ReadPixels(dc, r.left, r.top, r.right - r.left, r.bottom - r.top); });
}

void Pump() {
  MSG msg;
  for (int round = 0; round < 5; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

// The wallpaper the mock shell paints (null: grey, so that a black strip would show).
CDibSurface* shellWallpaper = nullptr;

void PaintShellWallpaper(HWND w, HDC dc) {
  RECT client{};
  GetClientRect(w, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  if (!shellWallpaper || !shellWallpaper->IsValid()) return;
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  shellWallpaper->Locked([&](HDC from) {
    return BitBlt(dc, 0, 0, client.right, client.bottom, from, origin.x, origin.y, SRCCOPY);
  });
}

// The view's parent: it paints the wallpaper when erased and when the view asks it to paint the
// view's background (a transparent list view sends it WM_PRINTCLIENT).
LRESULT CALLBACK DefViewProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND || msg == WM_PRINTCLIENT) {
    PaintShellWallpaper(w, reinterpret_cast<HDC>(wp));
    return 1;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

void Register(const char* name, WNDPROC proc = DefWindowProcA) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  // Grey, so that a black (empty) strip painted over it would show.
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

enum class Arrangement { kProgman, kWorkerW, kNoListView };

// The mock desktop, 1024 x 768 at the screen's origin, with icons under the strip.
class MockDesktop {
 public:
  explicit MockDesktop(Arrangement arrangement, int width = 1024, int height = 768) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    Register("Progman");
    Register("SHELLDLL_DefView", DefViewProc);
    Register("WorkerW");
    HINSTANCE inst = GetModuleHandleA(nullptr);
    progman = CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                              nullptr, nullptr, inst, nullptr);
    HWND holder = progman;
    if (arrangement == Arrangement::kWorkerW) {
      // An empty WorkerW first, as the shell leaves one behind; the second holds the view.
      decoy = CreateWindowExA(0, "WorkerW", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, inst, nullptr);
      worker = CreateWindowExA(0, "WorkerW", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                               inst, nullptr);
      holder = worker;
    }
    if (arrangement != Arrangement::kNoListView) {
      defView = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, holder,
                                nullptr, inst, nullptr);
      listView = CreateWindowExA(0, WC_LISTVIEWA, "FolderView",
                                 WS_CHILD | WS_VISIBLE | LVS_SMALLICON | LVS_NOSCROLL | LVS_SHAREIMAGELISTS,
                                 0, 0, width, height, defView, nullptr, inst, nullptr);
      images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
      ImageList_AddIcon(images, LoadIconA(nullptr, IDI_APPLICATION));
      SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
      // The desktop's view paints no background of its own: its parent paints the wallpaper.
      SendMessageA(listView, LVM_SETBKCOLOR, 0, CLR_NONE);
      SendMessageA(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_TRANSPARENTBKGND, LVS_EX_TRANSPARENTBKGND);
      SendMessageA(listView, LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
      SendMessageA(listView, LVM_SETTEXTCOLOR, 0, RGB(255, 255, 255));
      // Small icons in rows of eight across the top: the last two lie under the strip.
      const char* labels[] = {"ごみ箱", "マイ コンピュータ", "メモ帳",  "表計算", "予定表",
                              "ソフト", "表示設定",          "ニュース"};
      for (int i = 0; i < 8; ++i) AddIcon(i, labels[i]);
    }
    Pump();
  }
  ~MockDesktop() { Destroy(); }
  // What a shell that ends does: its windows go.
  void Destroy() {
    for (HWND* w : {&worker, &decoy, &progman}) {
      if (*w) DestroyWindow(*w);
      *w = nullptr;
    }
    defView = listView = nullptr;
    if (images) ImageList_Destroy(images);
    images = nullptr;
    ticker::ForgetDesktopListView();
    Pump();
  }
  // What the shell does when the wallpaper changes: paint it again.
  void Repaint() {
    RedrawWindow(progman, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
  }

  HWND progman = nullptr, decoy = nullptr, worker = nullptr, defView = nullptr, listView = nullptr;

 private:
  void AddIcon(int index, const char* label) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<char*>(label);
    item.iImage = 0;
    SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  HIMAGELIST images = nullptr;
};

ticker::ScreenGeometry Screen1024() {
  ticker::ScreenGeometry g;
  g.width = 1024;
  g.height = 768;
  g.workArea = RECT{0, 0, 1024, 748};  // a 20-pixel bar at the bottom
  return g;
}

class DesktopStripTest : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    ASSERT_TRUE(reg_.WriteString("colors", "Background", "0 128 128"));
    ASSERT_TRUE(reg_.WriteString("desktop", "Wallpaper", ""));
    ShellPaints(base_, Screen1024);
  }
  void TearDown() override {
    shellWallpaper = nullptr;
    RegistryKeyTest::TearDown();
  }
  // The mock shell's wallpaper, rendered from the settings under controlPanel (again when the
  // settings changed).
  void ShellPaints(const std::string& controlPanel, ticker::GeometrySource geometry) {
    shellPictures = std::make_unique<CWallpaperCapture>(controlPanel, std::move(geometry));
    shellPictures->RebuildWallpaperImage();
    shellWallpaper = &shellPictures->WallpaperImage();
  }
  std::unique_ptr<CWallpaperCapture> shellPictures;

  // The strip after one tick of text, checked against the snapshot; then the clean-up.
  void CheckStripOver(HWND view) {
    CWallpaperCapture capture(base_, Screen1024);
    CDesktopStrip strip(capture);
    capture.RebuildWallpaperImage();
    capture.CheckWallpaperSettings();
    capture.RefreshSnapshot();
    ASSERT_TRUE(capture.DesktopSnapshot().IsValid());
    EXPECT_EQ(capture.SnapshotView(), view);
    if (const char* folder = std::getenv("ZELLORA_SHOT_DIR"))
      capture.DesktopSnapshot().SaveToFile(std::string(folder) + "\\snapshot.bmp");
    EXPECT_EQ(capture.DesktopSnapshot().GetWidth(), 1024);
    EXPECT_EQ(capture.DesktopSnapshot().GetHeight(), 768);

    const RECT r{768, 0, 1024, 20};
    const Pixels before = ReadWindow(view, r);
    strip.Draw("速報：大雨", 0, 25);
    EXPECT_EQ(strip.StripRect().left, r.left);
    EXPECT_EQ(strip.StripRect().top, r.top);
    EXPECT_EQ(strip.StripRect().right, r.right);
    EXPECT_EQ(strip.StripRect().bottom, r.bottom);

    // ZELLORA_HOLD_MS keeps the strip on the mock desktop for a screenshot.
    if (const char* hold = std::getenv("ZELLORA_HOLD_MS")) {
      for (long waited = 0; waited < std::strtol(hold, nullptr, 10); waited += 50) Pump();
    }
    const Pixels under = ReadSurface(capture.DesktopSnapshot(), r);
    const Pixels shown = ReadWindow(view, r);
    ASSERT_EQ(shown.rgb.size(), 256u * 20u);
    // The snapshot holds the icon's label under the strip, on the desktop colour elsewhere.
    int label = 0, teal = 0;
    for (COLORREF c : under.rgb) {
      if (c == kTeal) {
        ++teal;
      } else {
        ++label;
      }
    }
    EXPECT_GT(label, 20) << "the icon under the strip is missing from the snapshot";
    EXPECT_GT(teal, 2000);
    // The view printed itself into the snapshot as it shows on the desktop.
    EXPECT_TRUE(under.rgb == before.rgb) << "the snapshot differs from the desktop under the strip";
    // The text: yellow over its shadow, at the left; everything else is the snapshot, so the
    // labels beyond the text show through.
    int text = 0, other = 0, labelBeyondText = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 256; ++x) {
        const COLORREF c = shown.At(x, y);
        if (c == ticker::kStripTextColour) {
          ++text;
          EXPECT_LT(x, 64);
        } else if (c != under.At(x, y) && c != ticker::kStripShadowColour) {
          ++other;
        }
        if (x >= 64) {
          ASSERT_EQ(c, under.At(x, y)) << x << "," << y;
          if (c != kTeal) ++labelBeyondText;
        }
      }
    }
    EXPECT_GT(text, 30);
    EXPECT_GT(labelBeyondText, 20) << "no label shows through the strip";
    EXPECT_LT(other, text) << "the text is not plain yellow over the snapshot";

    strip.Clear();
    EXPECT_FALSE(strip.HasStrip());
    // The view repaints the place when it reads its messages.
    Pump();
    const Pixels after = ReadWindow(view, r);
    EXPECT_TRUE(after.rgb == before.rgb) << "the strip was left on the desktop";
  }
};

TEST_F(DesktopStripTest, StripOnTheProgramManagerChain) {
  MockDesktop desk(Arrangement::kProgman);
  ASSERT_TRUE(desk.listView);
  EXPECT_EQ(ticker::FindDesktopListView(), desk.listView);
  CheckStripOver(desk.listView);
}

TEST_F(DesktopStripTest, StripThroughAWorkerWWindow) {
  MockDesktop desk(Arrangement::kWorkerW);
  ASSERT_TRUE(desk.listView);
  EXPECT_EQ(ticker::FindDesktopListView(), desk.listView);
  CheckStripOver(desk.listView);
}

TEST_F(DesktopStripTest, ListViewIsRememberedWhileItLives) {
  MockDesktop desk(Arrangement::kProgman);
  ASSERT_EQ(ticker::FindDesktopListView(), desk.listView);
  // Found by the window's class, whatever its title.
  SetWindowTextA(desk.progman, "Something else");
  EXPECT_EQ(ticker::FindDesktopListView(), desk.listView);
  // The chain breaks (the view moves to a window the search does not know): the view found
  // before is used, and nothing is found without it.
  Register("ZelloraElsewhere");
  HWND elsewhere = CreateWindowExA(0, "ZelloraElsewhere", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  SetParent(desk.defView, elsewhere);
  EXPECT_EQ(ticker::FindDesktopListView(), desk.listView);
  ticker::ForgetDesktopListView();
  EXPECT_EQ(ticker::FindDesktopListView(), nullptr);
  SetParent(desk.defView, desk.progman);
  EXPECT_EQ(ticker::FindDesktopListView(), desk.listView);
  DestroyWindow(elsewhere);
  DestroyWindow(desk.listView);
  desk.listView = nullptr;
  EXPECT_EQ(ticker::FindDesktopListView(), nullptr);
}

TEST_F(DesktopStripTest, NoListViewDrawsNothingAndKeepsTheSnapshot) {
  MockDesktop desk(Arrangement::kNoListView);
  EXPECT_EQ(ticker::FindDesktopListView(), nullptr);
  CWallpaperCapture capture(base_, Screen1024);
  CDesktopStrip strip(capture);
  capture.RebuildWallpaperImage();
  capture.RefreshSnapshot();
  EXPECT_FALSE(capture.DesktopSnapshot().IsValid());
  const RECT r{768, 0, 1024, 20};
  const Pixels before = ReadWindow(desk.progman, r);
  strip.Draw("ＡＢＣ", 0, 25);
  EXPECT_TRUE(ReadWindow(desk.progman, r).rgb == before.rgb);
  EXPECT_FALSE(strip.HasStrip());
  // The clean-up has nothing repainted and paints nothing itself either.
  strip.Clear();
  Pump();
  EXPECT_TRUE(ReadWindow(desk.progman, r).rgb == before.rgb);
}

TEST_F(DesktopStripTest, WorkAreaChangeMovesTheStrip) {
  MockDesktop desk(Arrangement::kProgman);
  RECT work{0, 0, 1024, 748};
  CWallpaperCapture capture(base_, [&] {
    ticker::ScreenGeometry g = Screen1024();
    g.workArea = work;
    return g;
  });
  CDesktopStrip strip(capture);
  capture.RebuildWallpaperImage();
  capture.RefreshSnapshot();
  strip.Draw("ＡＢ", -4, 50);
  EXPECT_EQ(strip.StripRect().left, 512);
  work = RECT{0, 30, 1024, 768};  // the taskbar moved to the top
  strip.Draw("ＡＢ", -8, 50);
  EXPECT_EQ(strip.StripRect().top, 30);
  EXPECT_EQ(strip.StripRect().bottom, 50);
  strip.Clear();
  Pump();
  const RECT r = RECT{512, 30, 1024, 50};
  EXPECT_TRUE(ReadWindow(desk.listView, r).rgb == ReadSurface(capture.DesktopSnapshot(), r).rgb);
}

std::string TestData(const std::string& name) {
  std::string path = std::string("Z:") + ZELLORA_SOURCE_DIR + "/ticker/display/testdata/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST_F(DesktopStripTest, ChangedWallpaperRenewsTheStripOnTheNextTick) {
  MockDesktop desk(Arrangement::kProgman);
  CWallpaperCapture capture(base_, Screen1024);
  CDesktopStrip strip(capture);
  capture.RebuildWallpaperImage();
  capture.CheckWallpaperSettings();
  capture.RefreshSnapshot();
  strip.Draw("ＡＢ", 0, 25);
  const RECT beyond{1000, 0, 1024, 20};  // right of the text and of every label
  for (COLORREF c : ReadWindow(desk.listView, beyond).rgb) ASSERT_EQ(c, kTeal);

  // The user picks a tiled wallpaper (64 x 48, red left half, blue right half).
  ASSERT_TRUE(reg_.WriteString("desktop", "Wallpaper", TestData("halves.gif")));
  ASSERT_TRUE(reg_.WriteString("desktop", "TileWallpaper", "1"));
  ShellPaints(base_, Screen1024);
  desk.Repaint();
  // The next tick: the check first, then the strip.
  EXPECT_TRUE(capture.CheckWallpaperSettings());
  strip.Draw("ＡＢ", -4, 25);
  const Pixels now = ReadWindow(desk.listView, beyond);
  for (int x = 0; x < 24; ++x) {
    EXPECT_EQ(now.At(x, 19), (1000 + x) % 64 < 32 ? RGB(255, 0, 0) : RGB(0, 0, 255)) << x;
  }
  strip.Clear();
  Pump();
  EXPECT_TRUE(ReadWindow(desk.listView, beyond).rgb == ReadSurface(capture.DesktopSnapshot(), beyond).rgb);
}

TEST_F(DesktopStripTest, DisplayChangeRenewsBothPicturesAtTheNewSize) {
  MockDesktop desk(Arrangement::kProgman);
  ticker::ScreenGeometry screen = Screen1024();
  CWallpaperCapture capture(base_, [&] { return screen; });
  capture.RebuildWallpaperImage();
  capture.RefreshSnapshot();
  EXPECT_EQ(capture.WallpaperImage().GetWidth(), 1024);
  screen.width = 800;
  screen.height = 600;
  screen.workArea = RECT{0, 0, 800, 580};
  // What the ticker window does on WM_DISPLAYCHANGE.
  capture.RebuildWallpaperImage();
  capture.RefreshSnapshot();
  for (CDibSurface* s : {&capture.WallpaperImage(), &capture.DesktopSnapshot()}) {
    EXPECT_EQ(s->GetWidth(), 800);
    EXPECT_EQ(s->GetHeight(), 600);
  }
  EXPECT_EQ(capture.DesktopSnapshot().GetPixel(700, 500), kTeal);
  CDesktopStrip strip(capture);
  strip.Draw("ＡＢ", 0, 25);
  EXPECT_EQ(strip.StripRect().left, 600);
  EXPECT_EQ(strip.StripRect().right, 800);
}

int Count(const Pixels& p, COLORREF colour) {
  int n = 0;
  for (COLORREF c : p.rgb) n += c == colour;
  return n;
}

// The shell ends and a new one starts (its windows are all new): the strip goes on in the new
// view, over a snapshot of the new view's icons.
TEST_F(DesktopStripTest, RestartedShellIsFoundAgain) {
  auto first = std::make_unique<MockDesktop>(Arrangement::kProgman);
  CWallpaperCapture capture(base_, Screen1024);
  CDesktopStrip strip(capture);
  capture.RebuildWallpaperImage();
  capture.RefreshSnapshot();
  strip.Draw("ＡＢ", 0, 25);
  const HWND oldView = first->listView;
  EXPECT_EQ(capture.SnapshotView(), oldView);
  first->Destroy();
  // No shell for a moment: nothing is drawn, the ticker goes on.
  strip.Draw("ＢＣ", -4, 25);
  MockDesktop second(Arrangement::kWorkerW);
  ASSERT_NE(second.listView, oldView);
  const RECT r{768, 0, 1024, 20};
  const Pixels before = ReadWindow(second.listView, r);
  strip.Draw("ＣＤ", 0, 25);
  EXPECT_EQ(ticker::FindDesktopListView(), second.listView);
  EXPECT_EQ(capture.SnapshotView(), second.listView) << "the snapshot still shows the old shell's icons";
  EXPECT_TRUE(ReadSurface(capture.DesktopSnapshot(), r).rgb == before.rgb);
  EXPECT_GT(Count(ReadWindow(second.listView, r), ticker::kStripTextColour), 30)
      << "no text on the new desktop";
  strip.Clear();
  Pump();
  EXPECT_TRUE(ReadWindow(second.listView, r).rgb == before.rgb);
}

// A mock desktop whose windows belong to a thread of their own, which stops reading its messages
// on request, as a hung shell does.
class ShellThread {
 public:
  ShellThread() {
    thread = std::thread([this] {
      MockDesktop desk(Arrangement::kProgman);
      view = desk.listView;
      ready = true;
      while (!quit) {
        if (hang) {
          WaitForSingleObject(wake, INFINITE);
          hang = false;
        }
        Pump();
      }
    });
    while (!ready) Sleep(10);
  }
  ~ShellThread() {
    quit = true;
    SetEvent(wake);
    thread.join();
    CloseHandle(wake);
  }
  void Hang() { hang = true; }
  void Wake() { SetEvent(wake); }

  std::atomic<HWND> view{nullptr};

 private:
  HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> ready{false}, hang{false}, quit{false};
  std::thread thread;
};

template <typename Fn>
DWORD Took(Fn fn) {
  const DWORD start = GetTickCount();
  fn();
  return GetTickCount() - start;
}

// PrintWindow waits for the view's thread to paint: while the system calls the shell hung, the
// snapshot is not renewed (or is the wallpaper alone when there is none yet), and neither the
// strip nor its clean-up waits for the shell.
TEST_F(DesktopStripTest, HungShellIsNotWaitedFor) {
  ShellThread shell;
  HWND view = shell.view;
  ASSERT_TRUE(view);
  CWallpaperCapture capture(base_, Screen1024);
  CDesktopStrip strip(capture);
  capture.RebuildWallpaperImage();
  shell.Hang();
  bool hung = false;
  for (int waited = 0; waited < 10000 && !hung; waited += 100) {
    Sleep(100);
    hung = !ticker::WindowAnswers(view);
  }
  ASSERT_TRUE(hung) << "the system never called the shell hung";

  // No snapshot yet: the wallpaper alone stands in for it.
  EXPECT_LT(Took([&] { capture.RefreshSnapshot(); }), 1000u);
  ASSERT_TRUE(capture.DesktopSnapshot().IsValid());
  EXPECT_EQ(capture.SnapshotView(), nullptr);
  const RECT r{768, 0, 1024, 20};
  EXPECT_EQ(Count(ReadSurface(capture.DesktopSnapshot(), r), kTeal), 256 * 20) << "icons from a hung shell";
  EXPECT_LT(Took([&] { strip.Draw("ＡＢ", 0, 25); }), 1000u);
  EXPECT_GT(Count(ReadWindow(view, r), ticker::kStripTextColour), 30);
  EXPECT_LT(Took([&] { strip.Clear(); }), 1000u);

  // Awake again: the icons come into the snapshot; hung once more, that snapshot stays.
  shell.Wake();
  for (int waited = 0; waited < 5000 && !ticker::WindowAnswers(view); waited += 50) Sleep(50);
  capture.RefreshSnapshot();
  EXPECT_EQ(capture.SnapshotView(), view);
  const Pixels withIcons = ReadSurface(capture.DesktopSnapshot(), r);
  EXPECT_LT(Count(withIcons, kTeal), 256 * 20) << "no icon in the snapshot";
  shell.Hang();
  for (int waited = 0; waited < 10000 && ticker::WindowAnswers(view); waited += 100) Sleep(100);
  ASSERT_FALSE(ticker::WindowAnswers(view));
  EXPECT_LT(Took([&] { capture.RefreshSnapshot(); }), 1000u);
  EXPECT_TRUE(ReadSurface(capture.DesktopSnapshot(), r).rgb == withIcons.rgb);
  shell.Wake();
}

// The rotation engine in desktop mode with the real pictures and strip behind its host, on a
// desktop without any list view: nothing can be drawn, yet it ticks, repeats and pauses.
class DesktopHost : public fake::FakeTickerHost {
 public:
  explicit DesktopHost(CWallpaperCapture& c) : capture(c), strip(c) {}
  void CheckWallpaperSettings() override {
    FakeTickerHost::CheckWallpaperSettings();
    capture.CheckWallpaperSettings();
  }
  void RefreshSnapshot() override {
    FakeTickerHost::RefreshSnapshot();
    capture.RefreshSnapshot();
  }
  void RebuildWallpaperImage() override {
    FakeTickerHost::RebuildWallpaperImage();
    capture.RebuildWallpaperImage();
  }
  void DrawDesktop(const std::string& text, int xOffset, int areaPercent) override {
    FakeTickerHost::DrawDesktop(text, xOffset, areaPercent);
    strip.Draw(text, xOffset, areaPercent);
  }
  void ClearDesktopStrip() override {
    FakeTickerHost::ClearDesktopStrip();
    strip.Clear();
  }
  CWallpaperCapture& capture;
  CDesktopStrip strip;
};

TEST_F(DesktopStripTest, WithoutAListViewTheRotationTicksRepeatsAndPauses) {
  MockDesktop desk(Arrangement::kNoListView);
  ASSERT_TRUE(reg_.WriteString("desktop", "Wallpaper", TestData("wall800.gif")));
  CWallpaperCapture capture(base_, Screen1024);
  DesktopHost host(capture);
  fake::FakeTickerStore store;
  ticker::TickerEngine engine(host, store);
  host.onTimer = [&](int id) { engine.OnTimer(id); };
  store.AddSlot(0);
  store.settingsValue.loopCount = 1;
  host.pages["http://site0/"] = {"Site0", {"headline"}};
  engine.OnInit();
  ASSERT_EQ(engine.Mode(), 1);
  int passes = 0;
  auto siteFetches = [&] {
    std::size_t n = 0;
    for (const auto& f : host.fetches) n += f.url == "http://site0/";
    return n;
  };
  host.RunUntil(
      [&] {
        if (engine.Step() == 1) ++passes;
        return siteFetches() >= 3;
      },
      30LL * 60 * 1000);
  EXPECT_EQ(siteFetches(), 3u);
  EXPECT_GE(passes, 4);  // two passes per fetch (loopCount 1)
  EXPECT_GE(host.Events(fake::HostEvent::kSetTimer).size(), 10u);
  bool paused = false;
  for (const auto& e : host.Events(fake::HostEvent::kSetTimer))
    paused = paused || e.id == ticker::kPauseTimer;
  EXPECT_TRUE(paused);
  // The wallpaper was rendered, but with no view there is no snapshot and nothing on the desktop.
  EXPECT_TRUE(capture.WallpaperImage().IsValid());
  EXPECT_FALSE(capture.DesktopSnapshot().IsValid());
  engine.OnClose();
  EXPECT_FALSE(host.strip.HasStrip());
}

// The real ticker window in desktop mode on a mock desktop of the screen's size, with the user's
// own desktop settings: the strip over the snapshot, no GUI objects gained over a thousand ticks,
// and the strip erased when the window closes.
TEST_F(DesktopStripTest, TickerWindowDrawsTheStripAndErasesItOnClose) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  ShellPaints(ticker::kControlPanelPath, ticker::SystemGeometry);
  MockDesktop desk(Arrangement::kProgman, width, GetSystemMetrics(SM_CYSCREEN));
  ASSERT_TRUE(reg_.WriteNumber("", "bOnline", 0));  // lines come by message only
  ASSERT_TRUE(reg_.WriteNumber("Option", "Howto", 1));
  ASSERT_TRUE(reg_.WriteNumber("Option", "loopCount", 3));
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Pump();
  HWND wnd = dlg.GetHwnd();
  std::string item = "@TITLE@試験放送@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@";
  for (int i = 0; i < 10; ++i) item += "本日は晴天なり、只今マイクの試験中です\n";
  COPYDATASTRUCT cds{ticker_link::kTagDesktop, static_cast<DWORD>(item.size() + 1), &item[0]};
  ASSERT_TRUE(SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  ASSERT_EQ(dlg.Engine().Mode(), 1);

  for (int i = 0; i < 100; ++i) SendMessageA(wnd, WM_TIMER, 100, 0);
  const int gdi = gui_objects::GdiObjects();
  ASSERT_GT(gdi, 0);
  for (int i = 0; i < 1000; ++i) SendMessageA(wnd, WM_TIMER, 100, 0);
  EXPECT_EQ(gui_objects::GdiObjects(), gdi);

  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const RECT strip{work.right - width / 4, work.top, work.right, work.top + 20};
  // The same snapshot as the ticker's, from the same settings.
  CWallpaperCapture mine;
  mine.RebuildWallpaperImage();
  mine.RefreshSnapshot();
  const Pixels under = ReadSurface(mine.DesktopSnapshot(), strip);
  const Pixels shown = ReadWindow(desk.listView, strip);
  int text = 0, snapshot = 0;
  for (std::size_t i = 0; i < shown.rgb.size(); ++i) {
    text += shown.rgb[i] == ticker::kStripTextColour;
    snapshot += shown.rgb[i] == under.rgb[i];
  }
  EXPECT_GT(text, 100) << "no text in the strip";
  EXPECT_GT(snapshot, static_cast<int>(shown.rgb.size()) / 2) << "the strip's background is not the snapshot";
  if (const char* hold = std::getenv("ZELLORA_HOLD_MS")) {
    for (long waited = 0; waited < std::strtol(hold, nullptr, 10); waited += 50) Pump();
  }

  SendMessageA(wnd, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_TRUE(ReadWindow(desk.listView, strip).rgb == under.rgb) << "the strip was left on the desktop";
}

}  // namespace
