// CDibSurface: a device-independent bitmap that knows its pixel format, can build a transparency
// mask and a window region from a key colour, can be drawn onto any device context (plainly,
// stretched, tiled or transparently), and offers the drawing calls the displays need as its own
// operations, each run under a per-surface lock on a device context bound to the bitmap.
//
// Locking: every operation takes the surface's recursive lock, so two threads never draw into one
// surface at the same time. BeginDraw() keeps the lock and one device context open until the
// matching EndDraw(); between them every operation of that thread draws into that context (its
// selected font, colours and modes stay) and other threads wait. Without BeginDraw each operation
// uses a fresh context, so state set by one call does not reach the next.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "support/win/handles.h"

class CDibSurface {
 public:
  static constexpr UINT kDrawHalftone = 0x8000;  // halftone stretch; transparent with a mask
  static constexpr UINT kDrawTiled = 0x4000;     // repeat the bitmap over the destination
  static constexpr long kNoKey = -1;

  CDibSurface();
  // From a bitmap resource of the program.
  CDibSurface(HINSTANCE module, const char* nameOrId, long key = kNoKey);
  // From a bitmap handle (borrowed) or a global memory block holding a packed DIB (copied).
  explicit CDibSurface(HANDLE bitmapOrDib, long key = kNoKey);
  ~CDibSurface();
  CDibSurface(const CDibSurface&) = delete;
  CDibSurface& operator=(const CDibSurface&) = delete;

  // --- Acquiring a bitmap. Each releases what the surface held first; false leaves it empty.
  // A new DIB section from a header (BITMAPINFOHEADER, masks and colour table) and, when bits is
  // not null, a copy of its pixels (imageBytes of them at least). A negative (top-down) height
  // gives a bottom-up surface with the rows in picture order.
  bool CreateFromInfo(const BITMAPINFO* info, const void* bits, long key = kNoKey);
  // Convenience: an uninitialised width x height surface of the given depth (16, 24 or 32).
  bool Create(int width, int height, int bitsPerPixel = 32, long key = kNoKey);
  // A packed DIB (header, colour table, pixels) of size bytes.
  bool CreateFromPackedDib(const void* dib, std::size_t size, long key = kNoKey);
  // A copy of a device-dependent (or any) bitmap.
  bool CreateFromBitmap(HBITMAP bitmap, long key = kNoKey);
  // A bitmap handle is borrowed (Release leaves it to the caller); a global memory block holding a
  // packed DIB is copied into a new bitmap.
  bool Attach(HANDLE bitmapOrDib, long key = kNoKey);
  // A bitmap resource (module null: the program).
  bool LoadFromResource(HINSTANCE module, const char* nameOrId, long key = kNoKey);
  // A .bmp file. Refused without reading pixels when it does not start with "BM" or its header
  // lies (sizes beyond the file, zero sizes, sizes that overflow). Top-down files (negative
  // height) and files with the 12-byte core header are read by the surface itself, the others by
  // the system's loader.
  bool LoadFromFile(const std::string& path, long key = kNoKey);
  // Frees what the surface owns (a borrowed bitmap is only forgotten) and empties it.
  void Release();
  // Hands the bitmap to the caller, who then owns it, and empties the surface.
  HBITMAP Detach();

  // --- Queries (0 / null without a bitmap).
  bool IsValid() const { return bitmap != nullptr; }
  HBITMAP GetHandle() const { return bitmap; }
  int GetWidth() const { return width; }
  int GetHeight() const { return height; }
  int GetBitsPerPixel() const { return bitsPerPixel; }
  std::uint64_t GetColourCount() const { return colourCount; }
  std::size_t GetImageSize() const;
  void* GetBits(std::size_t* size = nullptr) const;
  const BITMAPINFO* GetInfo() const;
  // Address of pixel (x, y) counted from the top-left; null outside the bitmap or without bits.
  void* GetPixelAddress(int x, int y) const;
  HBITMAP GetMask() const { return mask.Get(); }
  long GetKeyColour() const { return keyColour; }
  // How the bitmap was obtained and what the surface owns, e.g. "CREATE_BITMAP|ALLOC_INFO".
  const std::string& GetSourceText() const { return source; }

  // --- Transparency.
  // Sets the key colour and builds the mask (4, 8, 16, 24 and 32 bits; other depths get none);
  // the key pixels turn black. -1 removes the mask. False without pixel memory.
  bool SetKeyColour(long colour);
  // The region of every pixel that differs from colour (-1: the key colour, read from the mask).
  // The caller owns it; null on failure.
  HRGN CreateRegion(long colour = kNoKey);

  // --- Drawing the surface elsewhere. Sizes of 0 mean the bitmap's width or height.
  bool Draw(HDC target, int x, int y, int w = 0, int h = 0, int sourceX = 0, int sourceY = 0, int sourceW = 0,
            int sourceH = 0, DWORD rasterOp = SRCCOPY, UINT flags = 0);
  // A halftone StretchBlt split into pieces no larger than the screen; nothing when a size is 0.
  static bool StretchCopy(HDC target, int x, int y, int w, int h, HDC source, int sourceX, int sourceY,
                          int sourceW, int sourceH, DWORD rasterOp = SRCCOPY);
  // Copies the screen rectangle at (screenX, screenY) into the surface at (x, y), clipped to the
  // screen. False when nothing is left or the screen cannot be read.
  bool CaptureScreen(int x, int y, int w = 0, int h = 0, int screenX = 0, int screenY = 0);
  // Draws through the video-for-Windows DIB functions.
  bool DrawWithVideoDib(HDC target, int x, int y, int w = 0, int h = 0, int sourceX = 0, int sourceY = 0,
                        int sourceW = 0, int sourceH = 0);
  // Writes the surface as a .bmp file.
  bool SaveToFile(const std::string& path) const;

  // --- Locked drawing.
  bool BeginDraw();
  bool EndDraw();
  // The device context open between BeginDraw and EndDraw (for calls that need one, such as
  // WM_PAINT into the surface); null otherwise or on another thread.
  HDC GetDC() const;

  // Runs fn(HDC) under the lock on the surface's context; returns fn's result, or a
  // value-initialised one without a bitmap. For drawing calls the list below lacks.
  template <typename Fn>
  auto Locked(Fn&& fn) -> decltype(fn(HDC{}));

  COLORREF SetTextColor(COLORREF colour);
  COLORREF GetTextColor();
  COLORREF SetBkColor(COLORREF colour);
  COLORREF GetBkColor();
  int SetBkMode(int mode);
  int GetBkMode();
  HGDIOBJ SelectObject(HGDIOBJ object);
  HGDIOBJ SelectStockObject(int index);
  int SaveState();
  bool RestoreState(int saved = -1);
  bool TextOut(int x, int y, const std::string& text);
  int DrawText(const std::string& text, RECT& rect, UINT format);
  // DrawText in transparent mode, in colour unless it is -1, in a font of pointTenths and face
  // unless face is empty, made for dpi (0: the screen's system DPI).
  int DrawTextFont(const std::string& text, RECT rect, UINT format, long colour, int pointTenths,
                   const std::string& face, UINT dpi = 0);
  // Anti-aliased text centred in (x, y, w, h): baseline-aligned with the given weight (A); bottom-
  // aligned at weight 600 (B); as B without the last glyph's bearing in the centring (C). A shadow
  // colour other than -1 draws a shadow one pixel right and down.
  bool DrawGlyphsA(const std::string& text, int x, int y, int w, int h, const std::string& face,
                   int fontHeight, int weight, COLORREF colour, long shadow = kNoKey);
  bool DrawGlyphsB(const std::string& text, int x, int y, int w, int h, const std::string& face,
                   int fontHeight, COLORREF colour, long shadow = kNoKey);
  bool DrawGlyphsC(const std::string& text, int x, int y, int w, int h, const std::string& face,
                   int fontHeight, COLORREF colour, long shadow = kNoKey);
  COLORREF GetPixel(int x, int y);
  COLORREF SetPixel(int x, int y, COLORREF colour);
  bool SetPixelV(int x, int y, COLORREF colour);
  bool FillSolidRect(const RECT& rect, COLORREF colour);
  bool FillSolidRect(int x, int y, int w, int h, COLORREF colour);
  bool BitBlt(int x, int y, int w, int h, HDC source, int sourceX, int sourceY, DWORD rasterOp = SRCCOPY);
  // Another surface drawn into this one (its Draw, so plain, stretched, tiled or transparent).
  bool CopyFrom(CDibSurface& source, int x, int y, int w = 0, int h = 0, int sourceX = 0, int sourceY = 0,
                int sourceW = 0, int sourceH = 0, DWORD rasterOp = SRCCOPY, UINT flags = 0);
  bool MoveTo(int x, int y);
  bool LineTo(int x, int y);
  bool Rectangle(int left, int top, int right, int bottom);
  bool DrawFrameControl(RECT rect, UINT type, UINT state);

 private:
  enum class GlyphVariant { A, B, C };
  bool DrawGlyphs(GlyphVariant variant, const std::string& text, int x, int y, int w, int h,
                  const std::string& face, int fontHeight, int weight, COLORREF colour, long shadow);
  void Lock();
  bool Unlock();
  // The context an operation draws into: the bound one, or a temporary one with the bitmap
  // selected, deleted (bitmap deselected first) when the operation ends. Get() is null on failure.
  class DrawDc {
   public:
    explicit DrawDc(CDibSurface& surface);
    ~DrawDc();
    DrawDc(const DrawDc&) = delete;
    DrawDc& operator=(const DrawDc&) = delete;
    HDC Get() const { return dc; }

   private:
    HDC dc = nullptr;
    win::CMemoryDc temporary;
    int saved = 0;
  };
  // Leaves one level of the lock when it goes out of scope.
  struct Unlocker {
    CDibSurface& surface;
    ~Unlocker() { surface.Unlock(); }
  };
  // Reads format, size, bits and header of the bitmap now held (owned: Release deletes it);
  // applies the key colour.
  bool Adopt(HBITMAP handle, bool owned, const std::string& sourceText, long key, std::uint32_t clrUsed = 0);
  bool KeyRawValue(long colour, std::uint32_t& raw);
  // LoadFromFile for the files read here rather than by the system.
  bool LoadOwnReading(const std::string& path, std::uint64_t fileSize, long key);

  HBITMAP bitmap = nullptr;
  bool ownsBitmap = false;  // false for an attached (borrowed) bitmap; counted as a live handle
  win::CBitmapHandle mask;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::uint64_t colourCount = 0;
  std::uint8_t* bits = nullptr;
  std::vector<std::uint8_t> info;  // header, masks and colour table
  std::string source;
  long keyColour = kNoKey;

  CRITICAL_SECTION lock;
  std::atomic<DWORD> owner{0};  // read by other threads to tell whether they hold the lock
  int lockCount = 0;
  win::CMemoryDc boundDc;
  int boundSaved = 0;
  int drawDepth = 0;
};

template <typename Fn>
auto CDibSurface::Locked(Fn&& fn) -> decltype(fn(HDC{})) {
  using Result = decltype(fn(HDC{}));
  Lock();
  Unlocker unlock{*this};
  // Declared after the unlocker: a temporary context lets go of the bitmap before another thread
  // may select it.
  DrawDc dc(*this);
  if (!dc.Get()) {
    if constexpr (std::is_void_v<Result>) {
      return;
    } else {
      return Result{};
    }
  }
  return fn(dc.Get());
}
