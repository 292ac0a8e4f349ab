#include "ticker/display/ticker_thread_win.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include "tests/registry_test_key.h"

namespace {

class TickerThreadTest : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    ASSERT_TRUE(reg_.WriteNumber("", "bOnline", 0));  // nothing is fetched
  }
};

TEST_F(TickerThreadTest, AnExitRightAfterTheStartEndsTheThreadByItself) {
  // The window does not exist yet when the stop begins (or has only just appeared): the stop
  // waits for it and closes it; it never has to terminate the thread.
  for (int round = 0; round < 3; ++round) {
    CTickerThread ticker(base_);
    ASSERT_TRUE(ticker.Start());
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(ticker.Stop()) << "terminated in round " << round;
    EXPECT_LT(::GetTickCount() - start, 2000u) << "round " << round;
    EXPECT_TRUE(ticker.finished);
    EXPECT_EQ(ticker.dlg.Window(), nullptr);
  }
}

TEST_F(TickerThreadTest, WaitingForTheWindowEndsWhenItExistsOrTheThreadHasEnded) {
  CTickerThread ticker(base_);
  EXPECT_EQ(ticker.WaitForWindow(5000), nullptr) << "not started: no wait";
  ASSERT_TRUE(ticker.Start());
  HWND wnd = ticker.WaitForWindow(5000);
  ASSERT_NE(wnd, nullptr);
  char title[32] = {};
  ::GetWindowTextA(wnd, title, sizeof title);
  EXPECT_STREQ(title, "_ZELL_DIALOG_");
  EXPECT_TRUE(ticker.Stop());
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(ticker.WaitForWindow(5000), nullptr);
  EXPECT_LT(::GetTickCount() - start, 1000u);
}

// Runs on the ticker thread while it handles a sent message: what COM says of the thread.
HRESULT apartmentResult = E_FAIL;
APTTYPE apartment = APTTYPE_CURRENT;

LRESULT CALLBACK ProbeApartment(int code, WPARAM wParam, LPARAM lParam) {
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  apartmentResult = ::CoGetApartmentType(&apartment, &qualifier);
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(TickerThreadTest, TheThreadIsASingleThreadedApartment) {
  CTickerThread ticker(base_);
  ASSERT_TRUE(ticker.Start());
  HWND wnd = ticker.WaitForWindow(5000);
  ASSERT_NE(wnd, nullptr);
  HHOOK hook =
      ::SetWindowsHookExA(WH_CALLWNDPROC, ProbeApartment, nullptr, ::GetWindowThreadProcessId(wnd, nullptr));
  ASSERT_NE(hook, nullptr);
  ::SendMessageA(wnd, WM_NULL, 0, 0);
  ::UnhookWindowsHookEx(hook);
  ASSERT_EQ(apartmentResult, S_OK) << "COM is not initialised on the ticker thread";
  EXPECT_TRUE(apartment == APTTYPE_STA || apartment == APTTYPE_MAINSTA) << apartment;
  EXPECT_TRUE(ticker.Stop());
}

}  // namespace
