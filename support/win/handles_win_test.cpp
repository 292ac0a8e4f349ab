#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "support/win/handles.h"

namespace {

static_assert(!std::is_copy_constructible<win::CKernelHandle>::value, "owners are not copied");
static_assert(!std::is_copy_assignable<win::CKernelHandle>::value, "owners are not copied");
static_assert(std::is_nothrow_move_constructible<win::CKernelHandle>::value, "owners move");

bool IsOpen(HANDLE h) {
  DWORD flags = 0;
  return ::GetHandleInformation(h, &flags) != 0;
}

TEST(Handles, CloseOnScopeExitMoveAndDetach) {
  HANDLE raw = nullptr;
  {
    win::CKernelHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    raw = event.Get();
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  win::CKernelHandle a(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  raw = a.Get();
  win::CKernelHandle b(std::move(a));
  // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): a moved-from handle is empty
  EXPECT_FALSE(a.IsValid());
  EXPECT_EQ(b.Get(), raw);
  win::CKernelHandle c;
  c = std::move(b);
  EXPECT_EQ(c.Get(), raw);
  EXPECT_TRUE(IsOpen(raw));

  HANDLE detached = c.Detach();
  EXPECT_FALSE(c);
  c.Close();  // nothing to close
  EXPECT_TRUE(IsOpen(detached));

  // Attach closes what was held before.
  win::CKernelHandle d(detached);
  d.Attach(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_FALSE(IsOpen(detached));
  EXPECT_TRUE(IsOpen(d.Get()));
  d.Attach(d.Get());  // attaching the same handle keeps it open
  EXPECT_TRUE(IsOpen(d.Get()));

  // INVALID_HANDLE_VALUE is empty, never closed.
  win::CKernelHandle file(
      ::CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file.IsValid());
}

TEST(Handles, SelectObjectPutsThePreviousObjectBack) {
  win::CMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  win::CBitmapHandle bitmap(::CreateCompatibleBitmap(dc.Get(), 8, 8));
  ASSERT_TRUE(bitmap);
  HGDIOBJ before = ::GetCurrentObject(dc.Get(), OBJ_BITMAP);
  {
    win::CSelectObject select(dc.Get(), bitmap.Get());
    EXPECT_TRUE(select.Ok());
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
  win::CSelectObject none(dc.Get(), nullptr);
  EXPECT_FALSE(none.Ok());
}

}  // namespace

namespace {

TEST(Handles, OwnersCountTheObjectsTheyHold) {
  using win::HandleKind;
  using win::LiveHandles;
  const long gdi = win::LiveGdiObjects();
  const long user = win::LiveUserObjects();
  const long fonts = LiveHandles(HandleKind::kFont);
  const long brushes = LiveHandles(HandleKind::kBrush);
  {
    win::CFontHandle font(
        ::CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "MS Gothic"));
    win::CBrushHandle brush(::CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(font && brush);
    EXPECT_EQ(LiveHandles(HandleKind::kFont), fonts + 1);
    EXPECT_EQ(LiveHandles(HandleKind::kBrush), brushes + 1);
    EXPECT_EQ(win::LiveGdiObjects(), gdi + 2);

    // A move keeps the count; an empty owner counts nothing.
    win::CFontHandle moved(std::move(font));
    win::CFontHandle assigned;
    assigned = std::move(moved);
    win::CFontHandle empty(nullptr);
    EXPECT_EQ(LiveHandles(HandleKind::kFont), fonts + 1);

    // Attach counts the new handle and releases the old; Detach stops counting.
    assigned.Attach(::CreateFontA(14, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "MS Gothic"));
    EXPECT_EQ(LiveHandles(HandleKind::kFont), fonts + 1);
    HFONT raw = static_cast<HFONT>(assigned.Detach());
    EXPECT_EQ(LiveHandles(HandleKind::kFont), fonts);
    ::DeleteObject(raw);

    win::CWindowDc screen(nullptr);
    win::CMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    win::CRegionHandle region(::CreateRectRgn(0, 0, 4, 4));
    EXPECT_EQ(win::LiveGdiObjects(), gdi + 4);  // brush, window DC, memory DC, region

    win::CMenuHandle menu(::CreatePopupMenu());
    win::CWindowHandle window(
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(menu && window);
    EXPECT_EQ(win::LiveUserObjects(), user + 2);
    window.Close();
    EXPECT_EQ(win::LiveUserObjects(), user + 1);
  }
  EXPECT_EQ(win::LiveGdiObjects(), gdi);
  EXPECT_EQ(win::LiveUserObjects(), user);
  EXPECT_EQ(LiveHandles(HandleKind::kFont), fonts);
}

}  // namespace
