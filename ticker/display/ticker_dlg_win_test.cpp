#include "ticker/display/ticker_dlg_win.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/gui_objects_win.h"
#include "tests/registry_test_key.h"

namespace {

class TickerDlgTest : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    // Offline: nothing is fetched; lines come by news message only.
    ASSERT_TRUE(reg_.WriteNumber("", "bOnline", 0));
    ASSERT_TRUE(reg_.WriteNumber("Option", "Howto", 0));
    ASSERT_TRUE(reg_.WriteNumber("Option", "loopCount", 3));
  }

  static void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }

  static LRESULT Copy(HWND wnd, ULONG_PTR tag, const void* data, DWORD size) {
    COPYDATASTRUCT cds = {};
    cds.dwData = tag;
    cds.cbData = size;
    cds.lpData = const_cast<void*>(data);
    return ::SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  }

  static std::string LongBarItem() {
    std::string text = "@TITLE@試験放送@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@";
    for (int i = 0; i < 20; ++i) text += "本日は晴天なり、只今マイクの試験中です\n";
    return text;
  }
};

TEST_F(TickerDlgTest, ScrollsABarItemWithoutGainingGuiObjects) {
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Pump();
  HWND wnd = dlg.GetHwnd();
  char title[32] = {};
  ::GetWindowTextA(wnd, title, sizeof title);
  EXPECT_STREQ(title, "_ZELL_DIALOG_");
  EXPECT_EQ(dlg.Window(), wnd);
  ASSERT_NE(dlg.Bar().GetHwnd(), nullptr);
  ASSERT_NE(dlg.Flash().GetHwnd(), nullptr);
  EXPECT_FALSE(dlg.Engine().Online());

  const std::string item = LongBarItem();
  ASSERT_EQ(Copy(wnd, 0x5A4C4C31, item.c_str(), static_cast<DWORD>(item.size() + 1)), TRUE);
  EXPECT_EQ(dlg.Engine().Mode(), 0);
  EXPECT_TRUE(dlg.Bar().IsShown());

  for (int i = 0; i < 100; ++i) ::SendMessageA(wnd, WM_TIMER, 100, 0);
  Pump();
  const int gdi = gui_objects::GdiObjects();
  const int windows = gui_objects::Windows();
  const long painted = dlg.Bar().PaintCount();
  ASSERT_GT(gdi, 0);
  for (int i = 0; i < 1000; ++i) ::SendMessageA(wnd, WM_TIMER, 100, 0);
  Pump();
  EXPECT_GE(dlg.Bar().PaintCount() - painted, 1000) << "every tick paints the bar";
  EXPECT_GT(dlg.Engine().Step(), 1000) << "still on the first pass";
  EXPECT_EQ(gui_objects::GdiObjects(), gdi);
  EXPECT_EQ(gui_objects::Windows(), windows);

  ::SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(dlg.Bar().GetHwnd(), nullptr);
  EXPECT_EQ(dlg.Flash().GetHwnd(), nullptr);
}

TEST_F(TickerDlgTest, TakesOnlyThirtyTwoBitTagsAndSurvivesEmptyRecords) {
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Pump();
  HWND wnd = dlg.GetHwnd();
  const std::string flash = "@TITLE@速報@/TITLE@@NEWS@一行目";
  // 'FLSH' with a high bit above 32: not a tag of ours.
  EXPECT_EQ(Copy(wnd, 0x1464C5348ULL, flash.c_str(), static_cast<DWORD>(flash.size() + 1)), FALSE);
  EXPECT_EQ(dlg.Engine().FlashTitle(), "");
  EXPECT_EQ(Copy(wnd, 0x464C5348, flash.c_str(), static_cast<DWORD>(flash.size() + 1)), TRUE);
  EXPECT_EQ(dlg.Engine().FlashTitle(), "速報");
  ASSERT_EQ(dlg.Engine().FlashLines().size(), 1u);

  // No data at all, and data without a terminating zero.
  EXPECT_EQ(Copy(wnd, 0x464C5348, nullptr, 0), TRUE);
  EXPECT_TRUE(dlg.Engine().FlashLines().empty());
  const char raw[] = {'@', 'N', 'E', 'W', 'S', '@', 'x'};
  EXPECT_EQ(Copy(wnd, 0x5A4C4C31, raw, sizeof raw), TRUE);
  EXPECT_EQ(dlg.Engine().Headlines().ItemCount(), 1);
  EXPECT_EQ(Copy(wnd, 0x12345678, raw, sizeof raw), FALSE);
  ::SendMessageA(wnd, WM_CLOSE, 0, 0);
}

TEST_F(TickerDlgTest, EndingTheLoopDirectlyStillCleansTheDisplayUp) {
  // The main window's last resort when WM_CLOSE could not be delivered in time: the display must
  // still be taken down (a caption or the desktop must not keep the ticker's text).
  CTickerDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Pump();
  HWND wnd = dlg.GetHwnd();
  const std::string item = LongBarItem();
  ASSERT_EQ(Copy(wnd, 0x5A4C4C31, item.c_str(), static_cast<DWORD>(item.size() + 1)), TRUE);
  ASSERT_TRUE(dlg.Bar().IsShown());
  ::PostMessageA(wnd, CTickerDlg::kEndLoopMessage, 1, 0);
  EXPECT_EQ(dlg.RunModalLoop(), 1);
  EXPECT_EQ(dlg.Bar().GetHwnd(), nullptr);
  EXPECT_TRUE(dlg.Engine().DisplayLineText().empty());
  // A close that comes after it changes nothing.
  ::SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(dlg.Flash().GetHwnd(), nullptr);
}

}  // namespace
