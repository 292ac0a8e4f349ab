#include "support/draw/dib_surface_win.h"

#include <vfw.h>

#include <algorithm>
#include <cstring>

#include "support/draw/dib_math.h"
#include "support/draw/font_style.h"
#include "support/draw/fonts_win.h"
#include "support/text/sjis.h"
#include "support/win/handles.h"

namespace {

constexpr char kCreateText[] = "CREATE_BITMAP|ALLOC_INFO";
constexpr char kAttachText[] = "ATTACH_BITMAP|ALLOC_INFO";
constexpr char kResourceText[] = "RESOURCE_BITMAP";
constexpr char kFileSuffix[] = "|ALLOC_INFO|LOAD_FILE";

// Bytes of the bit-field masks that follow a plain 40-byte header.
std::size_t MaskBytes(const BITMAPINFOHEADER& h) {
  return (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) ? 12 : 0;
}

// The colour table of a bitmap of at most 8 bits per pixel, into block after the header (and
// masks) that header describes.
void ReadColourTable(HBITMAP handle, const BITMAPINFOHEADER& header, std::vector<std::uint8_t>& block) {
  win::CMemoryDc dc(::CreateCompatibleDC(nullptr));
  win::CSelectObject select(dc.Get(), handle);
  const UINT entries = DibPaletteEntries(header.biBitCount, header.biClrUsed);
  const std::size_t at = sizeof(header) + MaskBytes(header);
  if (!select.Ok() || at + entries * sizeof(RGBQUAD) > block.size()) return;
  ::GetDIBColorTable(dc.Get(), 0, entries, reinterpret_cast<RGBQUAD*>(block.data() + at));
}

}  // namespace

CDibSurface::CDibSurface() {
  ::InitializeCriticalSection(&lock);
}

CDibSurface::CDibSurface(HINSTANCE module, const char* nameOrId, long key) : CDibSurface() {
  LoadFromResource(module, nameOrId, key);
}

CDibSurface::CDibSurface(HANDLE bitmapOrDib, long key) : CDibSurface() {
  Attach(bitmapOrDib, key);
}

CDibSurface::~CDibSurface() {
  Release();
  ::DeleteCriticalSection(&lock);
}

// ---------------------------------------------------------------------------------------------
// Lock

void CDibSurface::Lock() {
  // A critical section is recursive for its owner and makes every other thread wait until the
  // owner has left it as often as it entered.
  ::EnterCriticalSection(&lock);
  owner = ::GetCurrentThreadId();
  ++lockCount;
}

bool CDibSurface::Unlock() {
  if (owner != ::GetCurrentThreadId() || lockCount == 0) return false;
  if (--lockCount == 0) owner = 0;
  ::LeaveCriticalSection(&lock);
  return true;
}

bool CDibSurface::BeginDraw() {
  Lock();
  if (!boundDc) {
    if (!bitmap) {
      Unlock();
      return false;
    }
    boundDc.Attach(::CreateCompatibleDC(nullptr));
    if (!boundDc) {
      Unlock();
      return false;
    }
    // The saved state is put back by EndDraw, which takes the bitmap and whatever the drawing
    // selected out of the context before it is deleted.
    boundSaved = ::SaveDC(boundDc.Get());
    if (!::SelectObject(boundDc.Get(), bitmap)) {
      boundDc.Close();
      Unlock();
      return false;
    }
  }
  ++drawDepth;
  return true;
}

bool CDibSurface::EndDraw() {
  if (owner != ::GetCurrentThreadId() || drawDepth == 0) return false;
  // Nested BeginDraw/EndDraw pairs share the context; the outermost EndDraw closes it.
  if (--drawDepth == 0 && boundDc) {
    ::RestoreDC(boundDc.Get(), boundSaved);
    boundDc.Close();
  }
  return Unlock();
}

HDC CDibSurface::GetDC() const {
  return owner == ::GetCurrentThreadId() ? boundDc.Get() : nullptr;
}

CDibSurface::DrawDc::DrawDc(CDibSurface& surface) {
  if (surface.boundDc) {
    dc = surface.boundDc.Get();
    return;
  }
  if (!surface.bitmap) return;
  temporary.Attach(::CreateCompatibleDC(nullptr));
  if (!temporary) return;
  saved = ::SaveDC(temporary.Get());
  if (!::SelectObject(temporary.Get(), surface.bitmap)) {
    temporary.Close();
    return;
  }
  dc = temporary.Get();
}

CDibSurface::DrawDc::~DrawDc() {
  // The saved state puts back the objects selected before, the bitmap included, so that the
  // bitmap is free for another thread's context before the lock is left.
  if (temporary) ::RestoreDC(temporary.Get(), saved);
}

// ---------------------------------------------------------------------------------------------
// Acquiring and releasing

bool CDibSurface::Adopt(HBITMAP handle, bool owned, const std::string& sourceText, long key,
                        std::uint32_t clrUsed) {
  bitmap = handle;
  ownsBitmap = owned;
  if (owned) win::detail::CountLive(win::HandleKind::kBitmap, +1);
  source = sourceText;
  DIBSECTION ds{};
  BITMAP bm{};
  info.assign(kInfoBlockBytes, 0);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  if (::GetObjectA(handle, sizeof(ds), &ds) == sizeof(ds)) {
    *header = ds.dsBmih;
    // Only the plain header is kept, whatever header the bitmap was made from (core, V4, V5).
    header->biSize = sizeof(*header);
    header->biHeight = std::abs(header->biHeight);
    // The system may report a full table; the creator's count is the one that holds.
    if (clrUsed != 0) header->biClrUsed = clrUsed;
    bits = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
    if (header->biCompression == BI_BITFIELDS) std::memcpy(info.data() + sizeof(*header), ds.dsBitfields, 12);
    if (header->biBitCount <= 8) ReadColourTable(handle, *header, info);
  } else if (::GetObjectA(handle, sizeof(bm), &bm) == sizeof(bm)) {
    // A device-dependent bitmap: a header that describes it, no pixel memory of ours.
    header->biSize = sizeof(*header);
    header->biWidth = bm.bmWidth;
    header->biHeight = bm.bmHeight;
    header->biPlanes = 1;
    header->biBitCount = bm.bmBitsPixel;
    header->biCompression = BI_RGB;
    bits = nullptr;
  } else {
    // Not a bitmap after all: Release gives back what would otherwise leak.
    Release();
    return false;
  }
  width = header->biWidth;
  height = header->biHeight;
  bitsPerPixel = header->biBitCount;
  colourCount = DibColourCount(bitsPerPixel, header->biClrUsed);
  keyColour = kNoKey;
  if (key != kNoKey) SetKeyColour(key);
  return true;
}

void CDibSurface::Release() {
  Lock();
  if (boundDc) {
    // Drawing was left open: the bitmap must leave the context before it can be deleted.
    ::RestoreDC(boundDc.Get(), boundSaved);
    boundDc.Close();
  }
  // A borrowed (attached) bitmap stays valid for its owner.
  if (bitmap && ownsBitmap) {
    ::DeleteObject(bitmap);
    win::detail::CountLive(win::HandleKind::kBitmap, -1);
  }
  bitmap = nullptr;
  ownsBitmap = false;
  std::vector<std::uint8_t>().swap(info);
  mask.Close();
  bits = nullptr;
  width = height = bitsPerPixel = 0;
  colourCount = 0;
  keyColour = kNoKey;
  source.clear();
  Unlock();
}

HBITMAP CDibSurface::Detach() {
  Lock();
  HBITMAP h = nullptr;
  if (!boundDc) {
    h = bitmap;
    if (ownsBitmap) win::detail::CountLive(win::HandleKind::kBitmap, -1);
    ownsBitmap = false;  // so that Release forgets the handle without deleting it
    Release();
  }
  Unlock();
  return h;
}

bool CDibSurface::CreateFromInfo(const BITMAPINFO* bmi, const void* pixels, long key) {
  if (!source.empty() || bitmap) Release();
  if (!bmi) return false;
  const BITMAPINFOHEADER& in = bmi->bmiHeader;
  if (in.biSize < sizeof(BITMAPINFOHEADER) || in.biSize > kInfoBlockBytes) return false;
  if (in.biCompression != BI_RGB && in.biCompression != BI_BITFIELDS) return false;
  const bool topDown = in.biHeight < 0;
  const std::int64_t h = topDown ? -static_cast<std::int64_t>(in.biHeight) : in.biHeight;
  std::uint64_t imageBytes = 0;
  if (in.biPlanes != 1 || !DibImageSize(in.biWidth, h, in.biBitCount, imageBytes)) return false;
  if (in.biBitCount <= 8 && in.biClrUsed > (1u << in.biBitCount)) return false;

  // Header, masks and colour table copied into a block of the surface's own.
  const std::size_t block = InfoBlockBytes(in.biSize, in.biBitCount, in.biCompression, in.biClrUsed);
  if (block == 0) return false;
  std::vector<std::uint8_t> copy(kInfoBlockBytes, 0);
  std::memcpy(
      copy.data(), bmi,
      std::min<std::size_t>(block, in.biSize + MaskBytes(in) +
                                       std::size_t{DibPaletteEntries(in.biBitCount, in.biClrUsed)} * 4));
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(copy.data());
  header->biHeight = static_cast<LONG>(h);  // always bottom-up

  void* dibBits = nullptr;
  win::CBitmapHandle made;
  {
    win::CWindowDc screen(nullptr);
    made.Attach(::CreateDIBSection(screen.Get(), reinterpret_cast<BITMAPINFO*>(copy.data()), DIB_RGB_COLORS,
                                   &dibBits, nullptr, 0));
  }
  if (!made || !dibBits) return false;
  if (pixels) {
    const std::uint64_t stride = DibStride(in.biWidth, in.biBitCount);
    if (topDown) {
      for (std::int64_t row = 0; row < h; ++row) {
        std::memcpy(static_cast<std::uint8_t*>(dibBits) + (h - 1 - row) * stride,
                    static_cast<const std::uint8_t*>(pixels) + row * stride, stride);
      }
    } else {
      std::memcpy(dibBits, pixels, imageBytes);
    }
  }
  return Adopt(made.Detach(), true, kCreateText, key, in.biBitCount <= 8 ? in.biClrUsed : 0);
}

bool CDibSurface::Create(int w, int h, int bpp, long key) {
  if (bpp != 16 && bpp != 24 && bpp != 32) return false;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = w;
  header.biHeight = h;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bpp);
  header.biCompression = BI_RGB;
  return CreateFromInfo(reinterpret_cast<BITMAPINFO*>(&header), nullptr, key);
}

bool CDibSurface::CreateFromPackedDib(const void* dib, std::size_t size, long key) {
  if (!source.empty() || bitmap) Release();
  if (!dib || size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof(header));
  if (header.biSize < sizeof(header) || header.biSize > size) return false;
  const std::uint64_t offset =
      static_cast<std::uint64_t>(header.biSize) + MaskBytes(header) +
      static_cast<std::uint64_t>(DibPaletteEntries(header.biBitCount, header.biClrUsed)) * 4;
  std::uint64_t imageBytes = 0;
  const std::int64_t h = header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
  if (!DibImageSize(header.biWidth, h, header.biBitCount, imageBytes)) return false;
  // The pixels must lie inside the block, whatever the header claims.
  if (offset > size || imageBytes > size - offset) return false;
  return CreateFromInfo(static_cast<const BITMAPINFO*>(dib), static_cast<const std::uint8_t*>(dib) + offset,
                        key);
}

bool CDibSurface::CreateFromBitmap(HBITMAP handle, long key) {
  if (!source.empty() || bitmap) Release();
  BITMAP bm{};
  if (!handle || ::GetObjectA(handle, sizeof(bm), &bm) == 0) return false;
  int bpp = bm.bmBitsPixel * bm.bmPlanes;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24) bpp = 32;
  std::vector<std::uint8_t> block(kInfoBlockBytes, 0);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
  header->biSize = sizeof(*header);
  header->biWidth = bm.bmWidth;
  header->biHeight = bm.bmHeight;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bpp);
  header->biCompression = BI_RGB;
  std::uint64_t imageBytes = 0;
  if (!DibImageSize(bm.bmWidth, bm.bmHeight, bpp, imageBytes)) return false;
  std::vector<std::uint8_t> pixels(imageBytes);
  const int lines = ::GetDIBits(win::CWindowDc(nullptr).Get(), handle, 0, static_cast<UINT>(bm.bmHeight),
                                pixels.data(), reinterpret_cast<BITMAPINFO*>(block.data()), DIB_RGB_COLORS);
  if (lines != bm.bmHeight) return false;
  header->biHeight = bm.bmHeight;
  header->biCompression = BI_RGB;
  return CreateFromInfo(reinterpret_cast<BITMAPINFO*>(block.data()), pixels.data(), key);
}

bool CDibSurface::Attach(HANDLE handle, long key) {
  if (!source.empty() || bitmap) Release();
  if (!handle) return false;
  if (::GetObjectType(handle) == OBJ_BITMAP)
    return Adopt(static_cast<HBITMAP>(handle), false, kAttachText, key);
  // Otherwise a global memory block holding a packed DIB.
  const SIZE_T size = ::GlobalSize(handle);
  const void* dib = size ? ::GlobalLock(handle) : nullptr;
  if (!dib) return false;
  const bool ok = CreateFromPackedDib(dib, size, key);
  ::GlobalUnlock(handle);
  return ok;
}

bool CDibSurface::LoadFromResource(HINSTANCE module, const char* nameOrId, long key) {
  if (!source.empty() || bitmap) Release();
  if (!nameOrId) return false;
  if (!module) module = ::GetModuleHandleA(nullptr);
  HANDLE h = ::LoadImageA(module, nameOrId, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (!h) return false;
  return Adopt(static_cast<HBITMAP>(h), true, kResourceText, key);
}

bool CDibSurface::LoadFromFile(const std::string& path, long key) {
  if (!source.empty() || bitmap) Release();
  if (path.empty() || path.size() >= MAX_PATH) return false;
  LARGE_INTEGER fileSize{};
  std::uint8_t head[kBitmapFileHeaderBytes + kBitmapInfoReadBytes];
  DWORD got = 0;
  {
    win::CKernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // At most the file header and 1064 bytes of header and colour table; a small file holds less.
    if (!::GetFileSizeEx(file.Get(), &fileSize) || fileSize.QuadPart < 0 ||
        !::ReadFile(file.Get(), head, sizeof(head), &got, nullptr))
      return false;
  }
  if (!CheckBitmapFile(head, got, static_cast<std::uint64_t>(fileSize.QuadPart))) return false;
  const bool core = ReadLe32(head + kBitmapFileHeaderBytes) == 12;
  const bool topDown = !core && static_cast<std::int32_t>(ReadLe32(head + kBitmapFileHeaderBytes + 8)) < 0;
  if (core || topDown) return LoadOwnReading(path, static_cast<std::uint64_t>(fileSize.QuadPart), key);
  win::CBitmapHandle loaded(static_cast<HBITMAP>(
      ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE)));
  if (!loaded) return false;
  return Adopt(loaded.Detach(), true, path + kFileSuffix, key);
}

bool CDibSurface::LoadOwnReading(const std::string& path, std::uint64_t fileSize, long key) {
  // Top-down rows and the core header: the system's loader is not relied on for these (Wine's
  // gives a blank picture or a wrong colour table), the file is read and its pixels copied into a
  // new bitmap. The checks passed, so the pixels lie within offBits + kMaxDibImageBytes.
  std::vector<std::uint8_t> file;
  {
    win::CKernelHandle handle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    std::uint8_t start[kBitmapFileHeaderBytes];
    DWORD got = 0;
    if (!::ReadFile(handle.Get(), start, sizeof(start), &got, nullptr) || got != sizeof(start)) return false;
    const std::uint64_t want = std::min<std::uint64_t>(fileSize, ReadLe32(start + 10) + kMaxDibImageBytes);
    file.assign(start, start + sizeof(start));
    file.resize(static_cast<std::size_t>(want));
    const DWORD rest = static_cast<DWORD>(want - sizeof(start));
    if (!::ReadFile(handle.Get(), file.data() + sizeof(start), rest, &got, nullptr) || got != rest)
      return false;
  }
  std::vector<std::uint8_t> header;
  std::size_t pixelsAt = 0;
  if (!ReadBitmapFileInfo(file.data(), file.size(), header, pixelsAt)) return false;
  if (!CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(header.data()), file.data() + pixelsAt, key))
    return false;
  source = path + kFileSuffix;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Queries

std::size_t CDibSurface::GetImageSize() const {
  std::uint64_t bytes = 0;
  if (!bitmap || !DibImageSize(width, height, bitsPerPixel, bytes)) return 0;
  return static_cast<std::size_t>(bytes);
}

void* CDibSurface::GetBits(std::size_t* size) const {
  if (size) *size = bits ? GetImageSize() : 0;
  return bits;
}

const BITMAPINFO* CDibSurface::GetInfo() const {
  return info.empty() ? nullptr : reinterpret_cast<const BITMAPINFO*>(info.data());
}

void* CDibSurface::GetPixelAddress(int x, int y) const {
  if (!bits || x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  const std::uint64_t stride = DibStride(width, bitsPerPixel);
  return bits + static_cast<std::uint64_t>(height - y - 1) * stride +
         static_cast<std::uint64_t>(x) * bitsPerPixel / 8;
}

// ---------------------------------------------------------------------------------------------
// Transparency

bool CDibSurface::KeyRawValue(long colour, std::uint32_t& raw) {
  if (!bits || info.empty()) return false;
  const COLORREF c = static_cast<COLORREF>(colour) & 0x00FFFFFF;
  if (bitsPerPixel == 4 || bitsPerPixel == 8) {
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
    const std::uint8_t* quads = info.data() + header->biSize + MaskBytes(*header);
    raw = NearestPaletteIndex(quads, DibPaletteEntries(bitsPerPixel, header->biClrUsed), GetRValue(c),
                              GetGValue(c), GetBValue(c));
    return true;
  }
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
  // The system knows how a colour is stored (5-5-5, 5-6-5, byte order): let it write the colour
  // into a pixel and read the memory back, then put the pixel's old value back.
  const std::uint64_t stride = DibStride(width, bitsPerPixel);
  return Locked([&](HDC dc) {
    auto probe = [&](int y, std::uint32_t& value) {
      const std::uint32_t old = ReadDibPixel(bits, stride, height, bitsPerPixel, 0, y);
      ::SetPixelV(dc, 0, y, c);
      ::GdiFlush();
      value = ReadDibPixel(bits, stride, height, bitsPerPixel, 0, y);
      ::SetPixelV(dc, 0, y, c ^ 0x00FFFFFF);
      ::GdiFlush();
      const std::uint32_t complement = ReadDibPixel(bits, stride, height, bitsPerPixel, 0, y);
      WriteDibPixel(bits, stride, height, bitsPerPixel, 0, y, old);
      return value != complement;
    };
    return probe(height - 1, raw) || probe(0, raw);
  });
}

bool CDibSurface::SetKeyColour(long colour) {
  if (!bits || info.empty()) return false;
  Lock();
  mask.Close();
  keyColour = colour;
  bool ok = true;
  std::uint32_t raw = 0;
  if (colour != kNoKey && KeyRawValue(colour, raw)) {
    ::GdiFlush();
    std::vector<std::uint8_t> maskBits;
    // In a colour table black is the entry nearest to it, which need not be entry 0.
    std::uint32_t black = 0;
    if (bitsPerPixel <= 8) KeyRawValue(RGB(0, 0, 0), black);
    if (BuildKeyMask(bits, width, height, bitsPerPixel, raw, maskBits, black)) {
      mask.Attach(::CreateBitmap(width, height, 1, 1, maskBits.data()));
      ok = mask.IsValid();
    }
  }
  Unlock();
  return ok;
}

HRGN CDibSurface::CreateRegion(long colour) {
  if (!bitmap) return nullptr;
  Lock();
  std::vector<DibRect> runs;
  ::GdiFlush();
  if (colour == kNoKey && mask) {
    // The key pixels of the image were blackened; the mask still knows where they were.
    const std::size_t stride = MaskStride(width);
    std::vector<std::uint8_t> maskBits(stride * static_cast<std::size_t>(height));
    ::GetBitmapBits(mask.Get(), static_cast<LONG>(maskBits.size()), maskBits.data());
    runs = RegionRuns(width, height, [&](int x, int y) {
      return ((maskBits[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1) != 0;
    });
  } else if (colour == kNoKey && keyColour == kNoKey) {
    runs = RegionRuns(width, height, [](int, int) { return false; });  // no key: the whole bitmap
  } else {
    // A given colour, or the key of a surface without a mask (1-bit surfaces, or a mask that
    // could not be made): its pixels still have the key colour.
    if (colour == kNoKey) colour = keyColour;
    std::uint32_t raw = 0;
    if (bits && KeyRawValue(colour, raw)) {
      const std::uint64_t stride = DibStride(width, bitsPerPixel);
      runs = RegionRuns(width, height, [&](int x, int y) {
        const std::uint32_t v = ReadDibPixel(bits, stride, height, bitsPerPixel, x, y);
        return bitsPerPixel == 32 ? ((v ^ raw) & 0x00FFFFFF) == 0 : v == raw;
      });
    } else {
      const COLORREF c = static_cast<COLORREF>(colour) & 0x00FFFFFF;
      Locked([&](HDC dc) {
        runs = RegionRuns(width, height, [&](int x, int y) { return ::GetPixel(dc, x, y) == c; });
      });
    }
  }
  Unlock();
  std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  auto* rd = reinterpret_cast<RGNDATA*>(data.data());
  rd->rdh.dwSize = sizeof(RGNDATAHEADER);
  rd->rdh.iType = RDH_RECTANGLES;
  rd->rdh.nCount = static_cast<DWORD>(runs.size());
  rd->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
  rd->rdh.rcBound = RECT{0, 0, width, height};
  auto* rects = reinterpret_cast<RECT*>(rd->Buffer);
  for (std::size_t i = 0; i < runs.size(); ++i)
    rects[i] = RECT{runs[i].left, runs[i].top, runs[i].right, runs[i].bottom};
  if (runs.empty()) return ::CreateRectRgn(0, 0, 0, 0);
  return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), rd);
}

// ---------------------------------------------------------------------------------------------
// Drawing the surface elsewhere

bool CDibSurface::StretchCopy(HDC target, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                              DWORD rop) {
  if (!target || !src || w == 0 || h == 0 || sw == 0 || sh == 0) return false;
  ::SetStretchBltMode(target, HALFTONE);
  ::SetBrushOrgEx(target, 0, 0, nullptr);
  const auto cols = StretchPieces(sw, w, ::GetSystemMetrics(SM_CXSCREEN));
  const auto rows = StretchPieces(sh, h, ::GetSystemMetrics(SM_CYSCREEN));
  if (cols.empty() || rows.empty()) {
    // Negative sizes (mirroring) go through in one piece.
    return ::StretchBlt(target, x, y, w, h, src, sx, sy, sw, sh, rop) != FALSE;
  }
  bool ok = true;
  for (const auto& c : cols) {
    for (const auto& r : rows) {
      ok = ::StretchBlt(target, x + c.destOffset, y + r.destOffset, c.destLength, r.destLength, src,
                        sx + c.sourceOffset, sy + r.sourceOffset, c.sourceLength, r.sourceLength, rop) &&
           ok;
    }
  }
  return ok;
}

bool CDibSurface::Draw(HDC target, int x, int y, int w, int h, int sx, int sy, int sw, int sh, DWORD rop,
                       UINT flags) {
  if (!target || !bitmap) return false;
  if (w == 0) w = width;
  if (h == 0) h = height;
  if (sw == 0) sw = width;
  if (sh == 0) sh = height;
  return Locked([&](HDC dc) {
    if (flags & kDrawTiled) {
      bool ok = true;
      for (const auto& t : TileRects(x, y, w, h, sx, sy, width, height)) {
        ok = StretchCopy(target, t.dest.left, t.dest.top, t.dest.Width(), t.dest.Height(), dc, t.sourceX,
                         t.sourceY, t.dest.Width(), t.dest.Height(), rop) &&
             ok;
      }
      return ok;
    }
    if (flags & kDrawHalftone) {
      ::SetStretchBltMode(target, HALFTONE);
      ::SetBrushOrgEx(target, 0, 0, nullptr);
      if (!mask) return ::StretchBlt(target, x, y, w, h, dc, sx, sy, sw, sh, rop) != FALSE;
      win::CMemoryDc maskDc(::CreateCompatibleDC(nullptr));
      win::CSelectObject select(maskDc.Get(), mask.Get());
      // A monochrome source takes the target's colours: white (1) must stay white and black (0)
      // black for the AND pass to keep the target exactly where the key was.
      const COLORREF oldText = ::SetTextColor(target, RGB(0, 0, 0));
      const COLORREF oldBk = ::SetBkColor(target, RGB(255, 255, 255));
      bool ok = ::StretchBlt(target, x, y, w, h, maskDc.Get(), sx, sy, sw, sh, SRCAND) != FALSE;
      ok = ::StretchBlt(target, x, y, w, h, dc, sx, sy, sw, sh, SRCPAINT) != FALSE && ok;
      ::SetTextColor(target, oldText);
      ::SetBkColor(target, oldBk);
      return ok;
    }
    return StretchCopy(target, x, y, w, h, dc, sx, sy, sw, sh, rop);
  });
}

bool CDibSurface::CaptureScreen(int x, int y, int w, int h, int screenX, int screenY) {
  if (!bitmap) return false;
  if (w == 0) w = width;
  if (h == 0) h = height;
  if (!ClipCapture(x, y, w, h, screenX, screenY, ::GetSystemMetrics(SM_CXSCREEN),
                   ::GetSystemMetrics(SM_CYSCREEN)))
    return false;
  win::CWindowDc screen(nullptr);
  if (!screen) return false;
  return Locked(
      [&](HDC dc) { return ::BitBlt(dc, x, y, w, h, screen.Get(), screenX, screenY, SRCCOPY) != FALSE; });
}

bool CDibSurface::DrawWithVideoDib(HDC target, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
  if (!target || !bits || info.empty()) return false;
  if (w == 0) w = width;
  if (h == 0) h = height;
  if (sw == 0) sw = width;
  if (sh == 0) sh = height;
  Lock();
  ::GdiFlush();
  bool ok = false;
  if (HDRAWDIB dd = ::DrawDibOpen()) {
    ok = ::DrawDibDraw(dd, target, x, y, w, h, reinterpret_cast<BITMAPINFOHEADER*>(info.data()), bits, sx, sy,
                       sw, sh, 0) != FALSE;
    ::DrawDibClose(dd);
  }
  Unlock();
  return ok;
}

bool CDibSurface::SaveToFile(const std::string& path) const {
  if (!bits || info.empty()) return false;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
  const std::size_t infoBytes = header->biSize + MaskBytes(*header) +
                                std::size_t{DibPaletteEntries(bitsPerPixel, header->biClrUsed)} * 4;
  const std::size_t image = GetImageSize();
  BITMAPFILEHEADER fh{};
  fh.bfType = kBitmapFileType;
  fh.bfOffBits = static_cast<DWORD>(sizeof(fh) + infoBytes);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + image);
  HANDLE file =
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::GdiFlush();
  DWORD written = 0;
  bool ok = ::WriteFile(file, &fh, sizeof(fh), &written, nullptr) && written == sizeof(fh);
  ok = ok && ::WriteFile(file, info.data(), static_cast<DWORD>(infoBytes), &written, nullptr) &&
       written == infoBytes;
  ok = ok && ::WriteFile(file, bits, static_cast<DWORD>(image), &written, nullptr) && written == image;
  ::CloseHandle(file);
  if (!ok) ::DeleteFileA(path.c_str());
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Locked drawing operations

COLORREF CDibSurface::SetTextColor(COLORREF c) {
  return Locked([&](HDC dc) { return ::SetTextColor(dc, c); });
}
COLORREF CDibSurface::GetTextColor() {
  return Locked([&](HDC dc) { return ::GetTextColor(dc); });
}
COLORREF CDibSurface::SetBkColor(COLORREF c) {
  return Locked([&](HDC dc) { return ::SetBkColor(dc, c); });
}
COLORREF CDibSurface::GetBkColor() {
  return Locked([&](HDC dc) { return ::GetBkColor(dc); });
}
int CDibSurface::SetBkMode(int mode) {
  return Locked([&](HDC dc) { return ::SetBkMode(dc, mode); });
}
int CDibSurface::GetBkMode() {
  return Locked([&](HDC dc) { return ::GetBkMode(dc); });
}
HGDIOBJ CDibSurface::SelectObject(HGDIOBJ object) {
  return Locked([&](HDC dc) { return ::SelectObject(dc, object); });
}
HGDIOBJ CDibSurface::SelectStockObject(int index) {
  return Locked([&](HDC dc) { return ::SelectObject(dc, ::GetStockObject(index)); });
}
int CDibSurface::SaveState() {
  return Locked([&](HDC dc) { return ::SaveDC(dc); });
}
bool CDibSurface::RestoreState(int saved) {
  return Locked([&](HDC dc) { return ::RestoreDC(dc, saved) != FALSE; });
}
bool CDibSurface::TextOut(int x, int y, const std::string& text) {
  return Locked(
      [&](HDC dc) { return ::TextOutA(dc, x, y, text.data(), static_cast<int>(text.size())) != FALSE; });
}
int CDibSurface::DrawText(const std::string& text, RECT& rect, UINT format) {
  return Locked(
      [&](HDC dc) { return ::DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect, format); });
}
COLORREF CDibSurface::GetPixel(int x, int y) {
  return Locked([&](HDC dc) { return ::GetPixel(dc, x, y); });
}
COLORREF CDibSurface::SetPixel(int x, int y, COLORREF c) {
  return Locked([&](HDC dc) { return ::SetPixel(dc, x, y, c); });
}
bool CDibSurface::SetPixelV(int x, int y, COLORREF c) {
  return Locked([&](HDC dc) { return ::SetPixelV(dc, x, y, c) != FALSE; });
}
bool CDibSurface::FillSolidRect(const RECT& r, COLORREF c) {
  return Locked([&](HDC dc) {
    const COLORREF old = ::SetBkColor(dc, c);
    const bool ok = ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr) != FALSE;
    ::SetBkColor(dc, old);
    return ok;
  });
}
bool CDibSurface::FillSolidRect(int x, int y, int w, int h, COLORREF c) {
  return FillSolidRect(RECT{x, y, x + w, y + h}, c);
}
bool CDibSurface::BitBlt(int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return Locked([&](HDC dc) { return ::BitBlt(dc, x, y, w, h, src, sx, sy, rop) != FALSE; });
}
bool CDibSurface::CopyFrom(CDibSurface& src, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                           DWORD rop, UINT flags) {
  if (&src == this) return false;
  return Locked([&](HDC dc) { return src.Draw(dc, x, y, w, h, sx, sy, sw, sh, rop, flags); });
}
bool CDibSurface::MoveTo(int x, int y) {
  return Locked([&](HDC dc) { return ::MoveToEx(dc, x, y, nullptr) != FALSE; });
}
bool CDibSurface::LineTo(int x, int y) {
  return Locked([&](HDC dc) { return ::LineTo(dc, x, y) != FALSE; });
}
bool CDibSurface::Rectangle(int l, int t, int r, int b) {
  return Locked([&](HDC dc) { return ::Rectangle(dc, l, t, r, b) != FALSE; });
}
bool CDibSurface::DrawFrameControl(RECT rect, UINT type, UINT state) {
  return Locked([&](HDC dc) { return ::DrawFrameControl(dc, &rect, type, state) != FALSE; });
}

int CDibSurface::DrawTextFont(const std::string& text, RECT rect, UINT format, long colour, int pointTenths,
                              const std::string& face, UINT dpi) {
  return Locked([&](HDC dc) {
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = colour != kNoKey ? ::SetTextColor(dc, static_cast<COLORREF>(colour)) : 0;
    win::CFontHandle font(face.empty() ? nullptr : CreateStyledFont(face, pointTenths, "", dpi));
    int result = 0;
    {
      win::CSelectObject select(dc, font.Get());
      result = ::DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect, format);
    }
    if (colour != kNoKey) ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
    return result;
  });
}

bool CDibSurface::DrawGlyphsA(const std::string& text, int x, int y, int w, int h, const std::string& face,
                              int fontHeight, int weight, COLORREF colour, long shadow) {
  return DrawGlyphs(GlyphVariant::A, text, x, y, w, h, face, fontHeight, weight, colour, shadow);
}
bool CDibSurface::DrawGlyphsB(const std::string& text, int x, int y, int w, int h, const std::string& face,
                              int fontHeight, COLORREF colour, long shadow) {
  return DrawGlyphs(GlyphVariant::B, text, x, y, w, h, face, fontHeight, 600, colour, shadow);
}
bool CDibSurface::DrawGlyphsC(const std::string& text, int x, int y, int w, int h, const std::string& face,
                              int fontHeight, COLORREF colour, long shadow) {
  return DrawGlyphs(GlyphVariant::C, text, x, y, w, h, face, fontHeight, 600, colour, shadow);
}

bool CDibSurface::DrawGlyphs(GlyphVariant variant, const std::string& text, int x, int y, int w, int h,
                             const std::string& face, int fontHeight, int weight, COLORREF colour,
                             long shadow) {
  if (text.empty()) return true;
  return Locked([&](HDC dc) {
    win::CFontHandle font(::CreateFontA(fontHeight, fontHeight / 2, 0, 0, weight, FALSE, FALSE, FALSE,
                                        SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        ANTIALIASED_QUALITY, DEFAULT_PITCH, TruncateFaceName(face).c_str()));
    if (!font) return false;
    // Declared after the font, so the font leaves the context before it is deleted.
    win::CSelectObject select(dc, font.Get());
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);

    struct Glyph {
      GLYPHMETRICS gm{};
      std::vector<std::uint8_t> grey;  // 8-bit coverage 0-64, rows padded to 4 bytes
    };
    std::vector<Glyph> glyphs;
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    int totalAdvance = 0;
    int tallest = 0;
    int lastBearing = 0;
    for (std::size_t i = 0; i < text.size(); i = sjis::NextChar(text, i)) {
      const std::size_t len = sjis::CharLength(text, i);
      UINT code = static_cast<unsigned char>(text[i]);
      if (len == 2) code = (code << 8) | static_cast<unsigned char>(text[i + 1]);
      Glyph g;
      // Each glyph gets a buffer of the size the system asks for, so no glyph can overrun it.
      const DWORD need = ::GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &g.gm, 0, nullptr, &identity);
      if (need != GDI_ERROR && need > 0) {
        g.grey.resize(need);
        if (::GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &g.gm, need, g.grey.data(), &identity) ==
            GDI_ERROR)
          g.grey.clear();
      } else if (need == GDI_ERROR) {
        std::memset(&g.gm, 0, sizeof(g.gm));
      }
      totalAdvance += g.gm.gmCellIncX;
      if (!g.grey.empty()) tallest = std::max(tallest, static_cast<int>(g.gm.gmBlackBoxY));
      lastBearing = g.gm.gmCellIncX - g.gm.gmptGlyphOrigin.x - static_cast<int>(g.gm.gmBlackBoxX);
      glyphs.push_back(std::move(g));
    }

    x += variant == GlyphVariant::C ? (w - totalAdvance) / 2 : (lastBearing + w - totalAdvance) / 2;
    y += (h - tallest) / 2;

    auto blend = [&](int px, int py, COLORREF ink, int weightB, int readBelow) {
      const COLORREF background = weightB < readBelow ? ::GetPixel(dc, px, py) : ink;
      if (background == CLR_INVALID) return;
      ::SetPixelV(dc, px, py, BlendColour(background, ink, weightB));
    };
    for (const Glyph& g : glyphs) {
      if (!g.grey.empty()) {
        const int boxW = static_cast<int>(g.gm.gmBlackBoxX);
        const int boxH = static_cast<int>(g.gm.gmBlackBoxY);
        const int pitch = (boxW + 3) & ~3;
        const int top =
            variant == GlyphVariant::A ? y + tm.tmAscent - g.gm.gmptGlyphOrigin.y : y + tallest - boxH;
        for (int row = 0; row < boxH; ++row) {
          for (int col = 0; col < boxW; ++col) {
            const std::size_t at = static_cast<std::size_t>(row) * pitch + col;
            if (at >= g.grey.size()) break;
            const int grey = g.grey[at];
            if (grey == 0) continue;
            const int weightB = GlyphTextWeight(grey);
            const int px = x + g.gm.gmptGlyphOrigin.x + col;
            const int py = top + row;
            blend(px, py, colour, weightB, kGlyphReadBackgroundBelow);
            if (shadow != kNoKey)
              blend(px + 1, py + 1, static_cast<COLORREF>(shadow), weightB, kGlyphReadBackgroundBelow + 1);
          }
        }
      }
      x += g.gm.gmCellIncX;
    }
    return true;
  });
}
