// Title-bar mode against real windows of another program (caption_sample.exe, a Unicode window)
// on the same Wine display: what is appended, what is given back, and when.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/system/paths.h"
#include "support/system/paths_win.h"
#include "support/ticker_link/ticker_link.h"
#include "tests/gui_objects_win.h"
#include "tests/registry_test_key.h"
#include "ticker/display/caption_target.h"
#include "ticker/display/caption_windows_win.h"
#include "ticker/display/ticker_dlg_win.h"

namespace {

using ticker::CCaptionTarget;
using ticker::ToHwnd;
using ticker::ToWindowId;

struct FindData {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindSample(HWND w, LPARAM lp) {
  auto* d = reinterpret_cast<FindData*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  if (pid == d->process && std::string(name) == "ZelloraCaptionSample") {
    d->found = w;
    return FALSE;
  }
  return TRUE;
}

template <typename Pred>
bool WaitFor(Pred pred, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (pred()) return true;
    Sleep(20);
  }
  return pred();
}

std::string Title(HWND w) {
  char buffer[4096] = {};
  const int n = GetWindowTextA(w, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The caption as the window holds it.
std::u16string WideTitle(HWND w) {
  wchar_t buffer[4096] = {};
  const int n = GetWindowTextW(w, buffer, 4096);
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n > 0 ? static_cast<std::size_t>(n) : 0);
}

void SetWideTitle(HWND w, const std::u16string& title) {
  SetWindowTextW(w, reinterpret_cast<const wchar_t*>(title.c_str()));
}

// The ticker's Shift_JIS text as the caption target takes it.
std::u16string U(const std::string& sjis) {
  return ticker::TickerTextToUtf16(sjis);
}

// One running caption_sample.exe and its window.
class Sample {
 public:
  explicit Sample(const std::string& title) {
    std::string cmd =
        "\"" + paths::JoinPath(paths::GetModuleFolder(""), "caption_sample.exe") + "\" " + title;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    CloseHandle(pi.hThread);
    process = pi.hProcess;
    FindData d{pi.dwProcessId, nullptr};
    WaitFor([&] {
      EnumWindows(FindSample, reinterpret_cast<LPARAM>(&d));
      return d.found != nullptr;
    });
    window = d.found;
    // The start-up code of the sample splits its command line without knowing double-byte
    // characters, so Japanese titles are set from here.
    if (window && Title(window) != title) SetWindowTextA(window, title.c_str());
  }
  ~Sample() { Close(); }
  void Close() {
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
    window = nullptr;
    process = nullptr;
  }
  bool ToForeground() {
    PostMessageA(window, WM_APP, 0, 0);
    return WaitFor([&] { return GetForegroundWindow() == window; });
  }
  HWND window = nullptr;
  HANDLE process = nullptr;
};

class CaptionWindowsTest : public ::testing::Test {
 protected:
  ticker::CSystemCaptionWindows windows;
  CCaptionTarget target{windows};
};

TEST_F(CaptionWindowsTest, TextFollowsTwoSpacesAndForegroundSwitchGivesTheCaptionBack) {
  const std::string first = "表示ソフト - メモ帳";  // 0x5C trail bytes
  Sample a(first);
  ASSERT_TRUE(a.window);
  ASSERT_EQ(Title(a.window), first);
  ASSERT_TRUE(a.ToForeground());
  EXPECT_EQ(ticker::FindCaptionTarget(windows), ToWindowId(a.window));

  target.Draw(U("ニュース１"));
  EXPECT_EQ(Title(a.window), first + "  ニュース１");
  RECT r{};
  GetWindowRect(a.window, &r);
  EXPECT_EQ(target.TargetWidth(), r.right - r.left);

  Sample b("Second window");
  ASSERT_TRUE(b.window);
  ASSERT_TRUE(b.ToForeground());
  target.Draw(U("ュース１２"));
  EXPECT_EQ(Title(a.window), first);
  EXPECT_EQ(Title(b.window), "Second window  ュース１２");

  ASSERT_TRUE(a.ToForeground());
  target.Draw(U("ース１２３"));
  EXPECT_EQ(Title(b.window), "Second window");
  EXPECT_EQ(Title(a.window), first + "  ース１２３");
  target.Release();
  EXPECT_EQ(Title(a.window), first);
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
}

TEST_F(CaptionWindowsTest, WindowThatRetitlesItselfKeepsItsNewTitle) {
  Sample a("page");
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  target.Draw(U("ＡＢ"));
  EXPECT_EQ(Title(a.window), "page  ＡＢ");
  PostMessageA(a.window, WM_APP + 1, 7, 0);
  ASSERT_TRUE(WaitFor([&] { return Title(a.window) == "page (7)"; }));
  target.Draw(U("ＢＣ"));
  EXPECT_EQ(Title(a.window), "page (7)  ＢＣ");
  target.Release();
  EXPECT_EQ(Title(a.window), "page (7)");
}

TEST_F(CaptionWindowsTest, StartAndStopLeaveTheCaptionByteForByte) {
  const std::string own = "ﾆｭｰｽ ＜能＞ \\ソ\\ end  ";  // half-width kana, 0x5C bytes, trailing blanks
  Sample a(own);
  ASSERT_TRUE(a.window);
  ASSERT_EQ(Title(a.window), own);
  ASSERT_TRUE(a.ToForeground());
  const std::string line = "　　　【　テスト　ニュース　１２月８日　】　　　　　●見出し．．．　以上";
  for (std::size_t offset = 0; offset < line.size(); offset += 2) {
    target.Draw(U(line.substr(offset)));
    EXPECT_EQ(Title(a.window), own + "  " + line.substr(offset));
  }
  target.Release();
  EXPECT_EQ(Title(a.window), own);
}

TEST_F(CaptionWindowsTest, CaptionOf1023UnitsNeitherOverflowsNorSplitsACharacter) {
  Sample a("long");
  ASSERT_TRUE(a.window);
  std::u16string own;
  while (own.size() < 1021) own += own.size() % 5 == 0 ? u"a" : u"能";
  own += u"\U0001F600";  // 1023 units, the last two one character
  ASSERT_EQ(own.size(), 1023u);
  SetWideTitle(a.window, own);
  ASSERT_EQ(WideTitle(a.window), own);
  ASSERT_TRUE(a.ToForeground());
  std::string text;
  for (int i = 0; i < 124; ++i) text += "ニ";  // the most a tick shows
  for (int tick = 0; tick < 10; ++tick) {
    target.Draw(U(text.substr(static_cast<std::size_t>(tick) * 2)));
    EXPECT_EQ(WideTitle(a.window), own);  // no room for the text; nothing of the title is lost
    EXPECT_EQ(target.SavedTitle(), own);
  }
  target.Release();
  EXPECT_EQ(WideTitle(a.window), own);

  // A shorter title leaves room: the text is cut at the limit, counted in units of the caption.
  const std::u16string shorter(1000, u'x');
  SetWideTitle(a.window, shorter);
  target.Draw(U(text));
  const std::u16string shown = WideTitle(a.window);
  EXPECT_EQ(shown.size(), ticker::kMaxCaptionUnits);
  EXPECT_EQ(shown, shorter + u"  " + U(text.substr(0, 42)));  // 1000 + 2 + 21
  target.Release();
  EXPECT_EQ(WideTitle(a.window), shorter);
}

// "Café 😀 © Ελληνικά — naïve (東京)" (escaped: the compiler's narrow character set is code page
// 932, which lacks most of it).
const std::u16string kForeignTitle =
    u"Caf\u00E9 \U0001F600 \u00A9 \u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u2014 na\u00EFve (東京)";

TEST_F(CaptionWindowsTest, CaptionOutsideTheCodePageComesBackExactly) {
  Sample a("foreign");
  ASSERT_TRUE(a.window);
  SetWideTitle(a.window, kForeignTitle);
  ASSERT_EQ(WideTitle(a.window), kForeignTitle);
  ASSERT_TRUE(a.ToForeground());
  target.Draw(U("ニュース"));
  EXPECT_EQ(WideTitle(a.window), kForeignTitle + u"  ニュース");
  target.Draw(U("ュース１"));
  EXPECT_EQ(WideTitle(a.window), kForeignTitle + u"  ュース１");
  EXPECT_EQ(target.SavedTitle(), kForeignTitle);
  target.Release();
  EXPECT_EQ(WideTitle(a.window), kForeignTitle);
}

TEST_F(CaptionWindowsTest, HungTargetDoesNotStallTheTicker) {
  Sample a("busy");
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  target.Draw(U("ＡＢ"));
  ASSERT_EQ(Title(a.window), "busy  ＡＢ");
  PostMessageA(a.window, WM_APP + 2, 4000, 0);
  Sleep(100);  // the sample is asleep inside its handler now
  const DWORD start = GetTickCount();
  target.Draw(U("ＢＣ"));
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 2500u) << "a tick waited for a window that does not answer";
  // Once it answers again, the next tick writes and Stop gives the title back.
  ASSERT_TRUE(WaitFor([&] {
    DWORD_PTR r = 0;
    return SendMessageTimeoutA(a.window, WM_NULL, 0, 0, SMTO_NORMAL, 100, &r) != 0;
  }));
  target.Draw(U("ＣＤ"));
  EXPECT_EQ(Title(a.window), "busy  ＣＤ");
  target.Release();
  EXPECT_EQ(Title(a.window), "busy");
}

TEST_F(CaptionWindowsTest, ClosedTargetIsLetGoWithoutWriting) {
  Sample a("short-lived");
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  target.Draw(U("ＡＢ"));
  ASSERT_EQ(target.Held(), ToWindowId(a.window));
  const HWND gone = a.window;
  a.Close();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(gone); }));
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Release();
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
}

// A window of this process on a thread of its own (for the ticker's thread, the main thread's
// dialogs are such windows): reading its caption sends it a message, which is sent with a limit,
// so a busy thread does not hold the tick.
TEST_F(CaptionWindowsTest, WindowOfThisProcessIsAskedWithALimit) {
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> quit{false};
  HANDLE busy = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::thread owner([&] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZelloraOwnCaption";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 400, 150,
                             nullptr, nullptr, wc.hInstance, nullptr);
    SetWideTitle(w, kForeignTitle);
    SetForegroundWindow(w);
    window = w;
    while (!quit) {
      if (WaitForSingleObject(busy, 0) == WAIT_OBJECT_0) Sleep(3000);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    DestroyWindow(w);
  });
  ASSERT_TRUE(WaitFor([&] { return window != nullptr && GetForegroundWindow() == window; }));
  target.Draw(U("ＡＢ"));
  EXPECT_EQ(WideTitle(window), kForeignTitle + u"  ＡＢ");
  SetEvent(busy);
  Sleep(100);
  const DWORD start = GetTickCount();
  target.Draw(U("ＢＣ"));
  EXPECT_LT(GetTickCount() - start, 2500u) << "a tick waited for a busy window of this process";
  Sleep(3000);
  target.Draw(U("ＣＤ"));
  EXPECT_EQ(WideTitle(window), kForeignTitle + u"  ＣＤ");
  target.Release();
  EXPECT_EQ(WideTitle(window), kForeignTitle);
  quit = true;
  owner.join();
  CloseHandle(busy);
}

// The real ticker window in title-bar mode: the caption scrolls one character a tick behind two
// spaces, no GUI objects are gained, and closing the window gives the caption back.
class TickerWindowCaptionTest : public RegistryKeyTest {};

TEST_F(TickerWindowCaptionTest, TickerWindowWritesTheCaptionAndGivesItBackOnClose) {
  ASSERT_TRUE(reg_.WriteNumber("", "bOnline", 0));  // lines come by message only
  ASSERT_TRUE(reg_.WriteNumber("Option", "Howto", 2));
  const std::string own = "表示ソフト - メモ帳";
  Sample a(own);
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND wnd = dlg.GetHwnd();
  std::string item = "@TITLE@試験放送@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@本日は晴天なり\n";
  COPYDATASTRUCT cds{ticker_link::kTagTitleBar, static_cast<DWORD>(item.size() + 1), &item[0]};
  ASSERT_TRUE(SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  ASSERT_EQ(dlg.Engine().Mode(), 2);
  EXPECT_EQ(Title(a.window).compare(0, own.size() + 2, own + "  "), 0) << Title(a.window);
  const int gdi = gui_objects::GdiObjects();
  std::string previous = Title(a.window);
  bool header = false;
  for (int i = 0; i < 60; ++i) {
    SendMessageA(wnd, WM_TIMER, 100, 0);
    const std::string now = Title(a.window);
    ASSERT_EQ(now.compare(0, own.size() + 2, own + "  "), 0);
    // One full-width character leaves on the left each tick (and at most 124 are shown).
    const std::string before = previous.substr(own.size() + 4);
    const std::string after = now.substr(own.size() + 2);
    ASSERT_TRUE(after.compare(0, before.size(), before) == 0) << i;
    ASSERT_LE(after.size(), 248u);
    header = header || now.find("試験放送") != std::string::npos;
    previous = now;
  }
  EXPECT_TRUE(header);
  EXPECT_EQ(gui_objects::GdiObjects(), gdi);
  SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(Title(a.window), own);
}

// The real ticker window on a caption outside the code page: started by a news item, stopped as
// the menu's Start/Stop does it (the display off, then the reload command), the caption is the
// window's own again, unit for unit.
TEST_F(TickerWindowCaptionTest, StopGivesBackACaptionOutsideTheCodePageExactly) {
  ASSERT_TRUE(reg_.WriteNumber("", "bOnline", 0));
  ASSERT_TRUE(reg_.WriteNumber("Option", "Howto", 2));
  Sample a("foreign");
  ASSERT_TRUE(a.window);
  SetWideTitle(a.window, kForeignTitle);
  ASSERT_TRUE(a.ToForeground());
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND wnd = dlg.GetHwnd();
  std::string item = "@TITLE@試験放送@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@本日は晴天なり\n";
  COPYDATASTRUCT cds{ticker_link::kTagTitleBar, static_cast<DWORD>(item.size() + 1), &item[0]};
  ASSERT_TRUE(SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  for (int i = 0; i < 20; ++i) SendMessageA(wnd, WM_TIMER, 100, 0);
  const std::u16string shown = WideTitle(a.window);
  ASSERT_EQ(shown.compare(0, kForeignTitle.size() + 2, kForeignTitle + u"  "), 0);
  EXPECT_GT(shown.size(), kForeignTitle.size() + 2) << "no ticker text";
  SendMessageA(wnd, WM_COMMAND, ticker_link::kReloadCommand, 0);
  EXPECT_EQ(WideTitle(a.window), kForeignTitle);
  SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WideTitle(a.window), kForeignTitle);
}

}  // namespace
