// Owners of Windows handles: each closes its handle with the matching call when it goes out of
// scope. They cannot be copied (a copy would close the handle twice); they can be moved, and
// Attach/Detach hand a handle in and out explicitly.
//
// Every owner also counts the handles it holds, per kind (LiveHandles, LiveGdiObjects,
// LiveUserObjects): a leak test compares the counts before and after, because GetGuiResources
// cannot be relied on (Wine's always answers 0).
#pragma once

#include <windows.h>

#include <atomic>
#include <initializer_list>

namespace win {

// What a live handle is, for the counts. Bitmaps to memory DCs are GDI objects, windows to icons
// USER objects, as the system counts them.
enum class HandleKind {
  kKernel,
  kBitmap,
  kFont,
  kBrush,
  kPen,
  kRegion,
  kMemoryDc,
  kWindowDc,
  kWindow,
  kMenu,
  kIcon,
  kInternet,
  kCount
};

namespace detail {
inline std::atomic<long> liveHandles[static_cast<int>(HandleKind::kCount)];
inline void CountLive(HandleKind kind, long delta) {
  liveHandles[static_cast<int>(kind)].fetch_add(delta, std::memory_order_relaxed);
}
}  // namespace detail

// Handles of a kind held right now by the owners below (and by the drawing surface's own bitmaps).
inline long LiveHandles(HandleKind kind) {
  return detail::liveHandles[static_cast<int>(kind)].load(std::memory_order_relaxed);
}
inline long LiveGdiObjects() {
  long n = 0;
  for (HandleKind k : {HandleKind::kBitmap, HandleKind::kFont, HandleKind::kBrush, HandleKind::kPen,
                       HandleKind::kRegion, HandleKind::kMemoryDc, HandleKind::kWindowDc})
    n += LiveHandles(k);
  return n;
}
inline long LiveUserObjects() {
  return LiveHandles(HandleKind::kWindow) + LiveHandles(HandleKind::kMenu) + LiveHandles(HandleKind::kIcon);
}

// Traits: the handle type, its empty value, how it is released and how it is counted.
struct KernelHandleTraits {  // processes, threads, events, files (INVALID_HANDLE_VALUE counts as empty)
  static constexpr HandleKind kKind = HandleKind::kKernel;
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct WindowTraits {
  static constexpr HandleKind kKind = HandleKind::kWindow;
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyWindow(h); }
};
struct MenuTraits {
  static constexpr HandleKind kKind = HandleKind::kMenu;
  using Type = HMENU;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyMenu(h); }
};
struct IconTraits {  // only for icons made by CreateIcon*/LoadImage without LR_SHARED
  static constexpr HandleKind kKind = HandleKind::kIcon;
  using Type = HICON;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyIcon(h); }
};
template <typename T, HandleKind K>
struct GdiObjectTraits {  // bitmaps, fonts, brushes, pens, regions
  static constexpr HandleKind kKind = K;
  using Type = T;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {  // DCs from CreateCompatibleDC / CreateDC
  static constexpr HandleKind kKind = HandleKind::kMemoryDc;
  using Type = HDC;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DeleteDC(h); }
};

template <typename Traits>
class CHandle {
 public:
  using Type = typename Traits::Type;

  CHandle() = default;
  explicit CHandle(Type h) : handle(h) { Count(+1); }
  ~CHandle() { Close(); }

  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  // A move hands the handle over: it stays counted once.
  CHandle(CHandle&& other) noexcept : handle(other.handle) { other.handle = Traits::Empty(); }
  CHandle& operator=(CHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle = other.handle;
      other.handle = Traits::Empty();
    }
    return *this;
  }

  Type Get() const { return handle; }
  bool IsValid() const { return !Traits::IsEmpty(handle); }
  explicit operator bool() const { return IsValid(); }

  // Takes ownership of h, closing the handle held before.
  void Attach(Type h) {
    if (h == handle) return;
    Close();
    handle = h;
    Count(+1);
  }
  // Gives the handle up without closing it (nor counting it any longer).
  Type Detach() {
    Count(-1);
    Type h = handle;
    handle = Traits::Empty();
    return h;
  }
  void Close() {
    if (!Traits::IsEmpty(handle)) {
      Traits::Close(handle);
      Count(-1);
    }
    handle = Traits::Empty();
  }

 private:
  void Count(long delta) const {
    if (!Traits::IsEmpty(handle)) detail::CountLive(Traits::kKind, delta);
  }

  Type handle = Traits::Empty();
};

using CKernelHandle = CHandle<KernelHandleTraits>;
using CWindowHandle = CHandle<WindowTraits>;
using CMenuHandle = CHandle<MenuTraits>;
using CIconHandle = CHandle<IconTraits>;
using CBitmapHandle = CHandle<GdiObjectTraits<HBITMAP, HandleKind::kBitmap>>;
using CFontHandle = CHandle<GdiObjectTraits<HFONT, HandleKind::kFont>>;
using CBrushHandle = CHandle<GdiObjectTraits<HBRUSH, HandleKind::kBrush>>;
using CPenHandle = CHandle<GdiObjectTraits<HPEN, HandleKind::kPen>>;
using CRegionHandle = CHandle<GdiObjectTraits<HRGN, HandleKind::kRegion>>;
using CMemoryDc = CHandle<MemoryDcTraits>;
// Registry keys are owned by regseam::ScopedKey (support/registry/registry_seam.h), which works
// on both builds.

// A DC from GetDC, released with ReleaseDC on the same window.
class CWindowDc {
 public:
  explicit CWindowDc(HWND w) : wnd(w), dc(::GetDC(w)) {
    if (dc) detail::CountLive(HandleKind::kWindowDc, +1);
  }
  ~CWindowDc() {
    if (dc) {
      ::ReleaseDC(wnd, dc);
      detail::CountLive(HandleKind::kWindowDc, -1);
    }
  }
  CWindowDc(const CWindowDc&) = delete;
  CWindowDc& operator=(const CWindowDc&) = delete;
  HDC Get() const { return dc; }
  explicit operator bool() const { return dc != nullptr; }

 private:
  HWND wnd;
  HDC dc;
};

// Selects an object into a DC and puts the previous one back when it goes out of scope, so the
// object can be deleted afterwards (a selected object must not be).
class CSelectObject {
 public:
  CSelectObject(HDC d, HGDIOBJ obj) : dc(d), previous(d && obj ? ::SelectObject(d, obj) : nullptr) {}
  ~CSelectObject() {
    if (previous && previous != HGDI_ERROR) ::SelectObject(dc, previous);
  }
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  // False when the selection failed.
  bool Ok() const { return previous != nullptr && previous != HGDI_ERROR; }

 private:
  HDC dc;
  HGDIOBJ previous;
};

}  // namespace win
