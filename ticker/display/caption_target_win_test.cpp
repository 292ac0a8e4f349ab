// Title-bar mode against real windows of another program (caption_sample.exe) on the same Wine
// display: what is appended, what is given back, and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/system/paths.h"
#include "support/system/paths_win.h"
#include "support/text/sjis.h"
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

  target.Draw("ニュース１");
  EXPECT_EQ(Title(a.window), first + "  ニュース１");
  RECT r{};
  GetWindowRect(a.window, &r);
  EXPECT_EQ(target.TargetWidth(), r.right - r.left);

  Sample b("Second window");
  ASSERT_TRUE(b.window);
  ASSERT_TRUE(b.ToForeground());
  target.Draw("ュース１２");
  EXPECT_EQ(Title(a.window), first);
  EXPECT_EQ(Title(b.window), "Second window  ュース１２");

  ASSERT_TRUE(a.ToForeground());
  target.Draw("ース１２３");
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
  target.Draw("ＡＢ");
  EXPECT_EQ(Title(a.window), "page  ＡＢ");
  PostMessageA(a.window, WM_APP + 1, 7, 0);
  ASSERT_TRUE(WaitFor([&] { return Title(a.window) == "page (7)"; }));
  target.Draw("ＢＣ");
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
    target.Draw(line.substr(offset));
    EXPECT_EQ(Title(a.window), own + "  " + line.substr(offset));
  }
  target.Release();
  EXPECT_EQ(Title(a.window), own);
}

bool WholeCharacters(const std::string& s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t next = sjis::NextChar(s, pos);
    if (next - pos == 1 && sjis::IsLeadByte(s[pos])) return false;
    pos = next;
  }
  return true;
}

TEST_F(CaptionWindowsTest, CaptionOf1023BytesNeitherOverflowsNorSplitsACharacter) {
  Sample a("long");
  ASSERT_TRUE(a.window);
  std::string own;
  while (own.size() < 1021) own += own.size() % 5 == 0 ? "a" : "能";
  own.resize(own.size() - (own.size() > 1023 ? 2 : 0));
  while (own.size() < 1023) own += "z";
  ASSERT_EQ(own.size(), 1023u);
  SetWindowTextA(a.window, own.c_str());
  ASSERT_EQ(Title(a.window), own);
  ASSERT_TRUE(a.ToForeground());
  std::string text;
  for (int i = 0; i < 124; ++i) text += "ニ";  // the most a tick shows: 248 bytes
  for (int tick = 0; tick < 10; ++tick) {
    target.Draw(text.substr(static_cast<std::size_t>(tick) * 2));
    const std::string shown = Title(a.window);
    EXPECT_LE(shown.size(), ticker::kMaxCaptionBytes);
    EXPECT_TRUE(WholeCharacters(shown));
    EXPECT_EQ(
        shown.compare(0, std::min(shown.size(), own.size()), own, 0, std::min(shown.size(), own.size())), 0);
    EXPECT_EQ(target.SavedTitle(), own);
  }
  target.Release();
  EXPECT_EQ(Title(a.window), own);

  // A shorter title leaves room: the text is cut at a character, never inside one.
  const std::string shorter(1000, 'x');
  SetWindowTextA(a.window, shorter.c_str());
  target.Draw(text);
  const std::string shown = Title(a.window);
  EXPECT_EQ(shown.size(), 1022u);  // 1000 + 2 spaces + 10 characters; the 11th would pass 1023
  EXPECT_EQ(shown, shorter + "  " + text.substr(0, 20));
  target.Release();
  EXPECT_EQ(Title(a.window), shorter);
}

TEST_F(CaptionWindowsTest, HungTargetDoesNotStallTheTicker) {
  Sample a("busy");
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  target.Draw("ＡＢ");
  ASSERT_EQ(Title(a.window), "busy  ＡＢ");
  PostMessageA(a.window, WM_APP + 2, 4000, 0);
  Sleep(100);  // the sample is asleep inside its handler now
  const DWORD start = GetTickCount();
  target.Draw("ＢＣ");
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 2500u) << "a tick waited for a window that does not answer";
  // Once it answers again, the next tick writes and Stop gives the title back.
  ASSERT_TRUE(WaitFor([&] {
    DWORD_PTR r = 0;
    return SendMessageTimeoutA(a.window, WM_NULL, 0, 0, SMTO_NORMAL, 100, &r) != 0;
  }));
  target.Draw("ＣＤ");
  EXPECT_EQ(Title(a.window), "busy  ＣＤ");
  target.Release();
  EXPECT_EQ(Title(a.window), "busy");
}

TEST_F(CaptionWindowsTest, ClosedTargetIsLetGoWithoutWriting) {
  Sample a("short-lived");
  ASSERT_TRUE(a.window);
  ASSERT_TRUE(a.ToForeground());
  target.Draw("ＡＢ");
  ASSERT_EQ(target.Held(), ToWindowId(a.window));
  const HWND gone = a.window;
  a.Close();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(gone); }));
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Release();
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
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

}  // namespace
