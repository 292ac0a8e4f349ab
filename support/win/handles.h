// Owners of Windows handles: each closes its handle with the matching call when it goes out of
// scope. They cannot be copied (a copy would close the handle twice); they can be moved, and
// Attach/Detach hand a handle in and out explicitly.
#pragma once

#include <windows.h>

namespace win {

// Traits: the handle type, its empty value and how it is released.
struct KernelHandleTraits {  // processes, threads, events, files (INVALID_HANDLE_VALUE counts as empty)
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyWindow(h); }
};
struct MenuTraits {
  using Type = HMENU;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyMenu(h); }
};
struct IconTraits {  // only for icons made by CreateIcon*/LoadImage without LR_SHARED
  using Type = HICON;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DestroyIcon(h); }
};
template <typename T>
struct GdiObjectTraits {  // bitmaps, fonts, brushes, pens, regions
  using Type = T;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {  // DCs from CreateCompatibleDC / CreateDC
  using Type = HDC;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::DeleteDC(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};

template <typename Traits>
class CHandle {
 public:
  using Type = typename Traits::Type;

  CHandle() = default;
  explicit CHandle(Type h) : handle(h) {}
  ~CHandle() { Close(); }

  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  CHandle(CHandle&& other) noexcept : handle(other.Detach()) {}
  CHandle& operator=(CHandle&& other) noexcept {
    if (this != &other) Attach(other.Detach());
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
  }
  // Gives the handle up without closing it.
  Type Detach() {
    Type h = handle;
    handle = Traits::Empty();
    return h;
  }
  void Close() {
    if (!Traits::IsEmpty(handle)) Traits::Close(handle);
    handle = Traits::Empty();
  }

 private:
  Type handle = Traits::Empty();
};

using CKernelHandle = CHandle<KernelHandleTraits>;
using CWindowHandle = CHandle<WindowTraits>;
using CMenuHandle = CHandle<MenuTraits>;
using CIconHandle = CHandle<IconTraits>;
using CBitmapHandle = CHandle<GdiObjectTraits<HBITMAP>>;
using CFontHandle = CHandle<GdiObjectTraits<HFONT>>;
using CBrushHandle = CHandle<GdiObjectTraits<HBRUSH>>;
using CPenHandle = CHandle<GdiObjectTraits<HPEN>>;
using CRegionHandle = CHandle<GdiObjectTraits<HRGN>>;
using CMemoryDc = CHandle<MemoryDcTraits>;
using CRegKey = CHandle<RegKeyTraits>;

// A DC from GetDC, released with ReleaseDC on the same window.
class CWindowDc {
 public:
  explicit CWindowDc(HWND w) : wnd(w), dc(::GetDC(w)) {}
  ~CWindowDc() {
    if (dc) ::ReleaseDC(wnd, dc);
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
