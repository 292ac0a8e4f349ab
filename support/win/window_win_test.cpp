#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>
#include <vector>

#include "support/win/handles.h"
#include "support/win/window.h"

namespace {

constexpr char kClass[] = "ZelloraWindowTest";
constexpr UINT kThrow = WM_APP + 1;
constexpr UINT kAnswer = WM_APP + 2;

class CTestWnd : public win::CWindowBase {
 public:
  ~CTestWnd() override { Destroy(); }
  std::vector<UINT> seen;
  bool failCreate = false;
  int destroyed = 0;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    seen.push_back(msg);
    switch (msg) {
      case WM_CREATE:
        return failCreate ? -1 : 0;
      case kThrow:
        throw std::runtime_error("handler");
      case kAnswer:
        return static_cast<LRESULT>(wParam * 2);
      case WM_DESTROY:
        ++destroyed;
        return 0;
      default:
        return DefaultProc(msg, wParam, lParam);
    }
  }
};

static_assert(!std::is_copy_constructible<win::CWindowBase>::value, "windows are not copied");

TEST(WindowBase, BindsFromTheFirstMessageAndUnbindsAtTheEnd) {
  ASSERT_TRUE(win::CWindowBase::RegisterWindowClass(kClass));
  ASSERT_TRUE(win::CWindowBase::RegisterWindowClass(kClass));  // twice is fine
  CTestWnd w;
  ASSERT_TRUE(w.Create(kClass, "窓", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  HWND wnd = w.GetHwnd();
  ASSERT_NE(wnd, nullptr);
  ASSERT_FALSE(w.seen.empty());
  EXPECT_EQ(w.seen.front(), static_cast<UINT>(WM_NCCREATE));
  EXPECT_FALSE(w.Create(kClass, "again", WS_POPUP, 0, 0, 0, 10, 10, nullptr));

  EXPECT_EQ(::SendMessageA(wnd, kAnswer, 21, 0), 42);
  // A throwing handler gets the default handling; the window stays usable.
  EXPECT_EQ(::SendMessageA(wnd, kThrow, 0, 0), 0);
  EXPECT_EQ(::SendMessageA(wnd, kAnswer, 5, 0), 10);

  w.Destroy();
  EXPECT_EQ(w.destroyed, 1);
  EXPECT_EQ(w.seen.back(), static_cast<UINT>(WM_NCDESTROY));
  EXPECT_EQ(w.GetHwnd(), nullptr);
  EXPECT_FALSE(::IsWindow(wnd));
}

// The window layer's windows count as live USER objects from creation to WM_NCDESTROY, whoever
// destroys them.
TEST(WindowBase, LiveWindowsAreCounted) {
  ASSERT_TRUE(win::CWindowBase::RegisterWindowClass(kClass));
  const long before = win::LiveUserObjects();
  {
    CTestWnd a, b;
    ASSERT_TRUE(a.Create(kClass, "", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
    ASSERT_TRUE(b.Create(kClass, "", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(win::LiveUserObjects(), before + 2);
    ::DestroyWindow(b.GetHwnd());  // from outside the object
    EXPECT_EQ(win::LiveUserObjects(), before + 1);
    CTestWnd failed;
    failed.failCreate = true;
    EXPECT_FALSE(failed.Create(kClass, "", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(win::LiveUserObjects(), before + 1);
  }
  EXPECT_EQ(win::LiveUserObjects(), before);
}

TEST(WindowBase, FailedCreationLeavesNoWindow) {
  ASSERT_TRUE(win::CWindowBase::RegisterWindowClass(kClass));
  CTestWnd w;
  w.failCreate = true;
  EXPECT_FALSE(w.Create(kClass, "", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  EXPECT_EQ(w.GetHwnd(), nullptr);
  // A class that does not exist.
  CTestWnd other;
  EXPECT_FALSE(other.Create("NoSuchZelloraClass", "", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  EXPECT_EQ(other.GetHwnd(), nullptr);
}

TEST(WindowBase, ForeignClassNameIsNotTakenOver) {
  // "Static" belongs to the system; registering it as ours must not claim success.
  EXPECT_FALSE(win::CWindowBase::RegisterWindowClass("Static"));
}

}  // namespace
