#include "support/draw/dib_surface_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/draw/dib_math.h"
#include "support/draw/fonts_win.h"
#include "support/win/handles.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);

std::string TempFile(const std::string& name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "zellora-dib-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return written == bytes.size();
}

// A w x h 24-bit .bmp whose pixel (x, y) has the colour pick(x, y).
template <typename Pick>
std::vector<std::uint8_t> Bmp24(int w, int h, Pick pick) {
  const std::uint32_t stride = static_cast<std::uint32_t>(DibStride(w, 24));
  std::vector<std::uint8_t> f(14 + 40 + stride * h, 0);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<DWORD>(f.size());
  fh.bfOffBits = 54;
  BITMAPINFOHEADER ih{};
  ih.biSize = 40;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::memcpy(f.data(), &fh, 14);
  std::memcpy(f.data() + 14, &ih, 40);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      COLORREF c = pick(x, y);
      std::uint8_t* p =
          f.data() + 54 + static_cast<std::size_t>(h - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    }
  }
  return f;
}

// A .bmp file with a header of headerSize bytes (12: the core header; 40, 108, 124), the given
// colour table (full, below 16 bits per pixel) and rows stored top-down or bottom-up. pick(x, y)
// gives the palette index, or the colour at 24 bits.
template <typename Pick>
std::vector<std::uint8_t> MakeBmp(int headerSize, int w, int h, int bpp, bool topDown,
                                  const std::vector<COLORREF>& table, Pick pick) {
  const bool core = headerSize == 12;
  const std::uint32_t entry = core ? 3 : 4;
  const std::uint32_t stride = static_cast<std::uint32_t>(DibStride(w, bpp));
  const std::uint32_t off = 14 + headerSize + static_cast<std::uint32_t>(table.size()) * entry;
  std::vector<std::uint8_t> f(off + stride * h, 0);
  auto put16 = [&](std::size_t at, int v) { f[at] = v & 0xFF, f[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put32(2, static_cast<std::uint32_t>(f.size()));
  put32(10, off);
  put32(14, static_cast<std::uint32_t>(headerSize));
  if (core) {
    put16(18, w);
    put16(20, h);
    put16(22, 1);
    put16(24, bpp);
  } else {
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(topDown ? -h : h));
    put16(26, 1);
    put16(28, bpp);
    put32(46, static_cast<std::uint32_t>(table.size()));
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    std::uint8_t* q = f.data() + 14 + headerSize + i * entry;
    q[0] = GetBValue(table[i]), q[1] = GetGValue(table[i]), q[2] = GetRValue(table[i]);
  }
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = f.data() + off + static_cast<std::size_t>(topDown ? y : h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = pick(x, y);
      if (bpp == 24) {
        std::uint8_t* px = row + static_cast<std::size_t>(x) * 3;
        px[0] = GetBValue(v), px[1] = GetGValue(v), px[2] = GetRValue(v);
      } else if (bpp == 8) {
        row[x] = static_cast<std::uint8_t>(v);
      } else if (bpp == 4) {
        row[x / 2] |= static_cast<std::uint8_t>(v << (x % 2 ? 0 : 4));
      } else {
        row[x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
      }
    }
  }
  return f;
}

// Every pixel of a surface's bitmap through GDI.
COLORREF PixelOf(CDibSurface& s, int x, int y) {
  return s.GetPixel(x, y);
}

}  // namespace

TEST(DibSurfaceWin, LoadFromFileAcceptsABitmapAndRefusesEverythingElse) {
  const std::string good = TempFile("good.bmp");
  ASSERT_TRUE(WriteBytes(good, Bmp24(3, 2, [](int x, int y) { return RGB(x * 50, y * 100, 7); })));
  CDibSurface s;
  ASSERT_TRUE(s.LoadFromFile(good));
  EXPECT_EQ(s.GetWidth(), 3);
  EXPECT_EQ(s.GetHeight(), 2);
  EXPECT_EQ(s.GetBitsPerPixel(), 24);
  EXPECT_EQ(s.GetSourceText(), good + "|ALLOC_INFO|LOAD_FILE");
  EXPECT_EQ(PixelOf(s, 2, 1), RGB(100, 100, 7));
  ASSERT_NE(s.GetPixelAddress(2, 1), nullptr);
  EXPECT_EQ(static_cast<std::uint8_t*>(s.GetPixelAddress(2, 1))[2], 100);  // red byte
  EXPECT_EQ(s.GetPixelAddress(3, 0), nullptr);

  // No "BM": refused, and the surface is left empty (what it held before is gone too).
  auto bytes = Bmp24(3, 2, [](int, int) { return RGB(1, 2, 3); });
  bytes[0] = 'X';
  const std::string noBm = TempFile("nobm.bmp");
  ASSERT_TRUE(WriteBytes(noBm, bytes));
  EXPECT_FALSE(s.LoadFromFile(noBm));
  EXPECT_FALSE(s.IsValid());
  EXPECT_EQ(s.GetWidth(), 0);
  EXPECT_TRUE(s.GetSourceText().empty());

  // Lying headers are refused before the loader reads them.
  const std::string lie = TempFile("lie.bmp");
  auto truncated = Bmp24(40, 40, [](int, int) { return RGB(1, 2, 3); });
  truncated.resize(truncated.size() / 2);
  ASSERT_TRUE(WriteBytes(lie, truncated));
  EXPECT_FALSE(s.LoadFromFile(lie)) << "pixels beyond the end";
  auto huge = Bmp24(2, 2, [](int, int) { return RGB(1, 2, 3); });
  const std::int32_t big = 0x7FFFFFF0;
  std::memcpy(huge.data() + 18, &big, 4);
  std::memcpy(huge.data() + 22, &big, 4);
  ASSERT_TRUE(WriteBytes(lie, huge));
  EXPECT_FALSE(s.LoadFromFile(lie)) << "overflowing width x height";
  auto flat = Bmp24(2, 2, [](int, int) { return RGB(1, 2, 3); });
  const std::int32_t zero = 0;
  std::memcpy(flat.data() + 22, &zero, 4);
  ASSERT_TRUE(WriteBytes(lie, flat));
  EXPECT_FALSE(s.LoadFromFile(lie)) << "zero height";
  ASSERT_TRUE(WriteBytes(lie, std::vector<std::uint8_t>{'B', 'M', 0, 0}));
  EXPECT_FALSE(s.LoadFromFile(lie)) << "a file shorter than its headers";
  EXPECT_FALSE(s.LoadFromFile(TempFile("missing.bmp")));
  EXPECT_FALSE(s.LoadFromFile(std::string(400, 'a'))) << "over-long path";
  DeleteFileA(good.c_str());
  DeleteFileA(noBm.c_str());
  DeleteFileA(lie.c_str());
}

// Files the system loader reads and the checks used to refuse: top-down rows (negative height),
// the 12-byte core header, and 8-bit files with 108/124-byte headers whose colour table ends past
// the 1064 bytes read. Each comes out as a bottom-up surface with the picture the right way up.
TEST(DibSurfaceWin, LoadFromFileTakesTopDownCoreAndLongHeaderFiles) {
  std::vector<COLORREF> palette;
  palette.reserve(256);
  for (int i = 0; i < 256; ++i) palette.push_back(RGB(i, 255 - i, i / 2));
  struct Case {
    const char* name;
    int header, bpp;
    bool topDown;
  };
  const Case cases[] = {{"td24", 40, 24, true},   {"core24", 12, 24, false}, {"core8", 12, 8, false},
                        {"core1", 12, 1, false},  {"v4_8", 108, 8, false},   {"v5_8", 124, 8, false},
                        {"v5_8td", 124, 8, true}, {"td4", 40, 4, true},      {"td8", 40, 8, true}};
  constexpr int kW = 5, kH = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t colours = c.bpp == 24 ? 0 : 1u << c.bpp;
    const std::vector<COLORREF> table(palette.begin(), palette.begin() + colours);
    auto pick = [&](int x, int y) -> std::uint32_t {
      if (c.bpp == 24) return RGB(x * 40, y * 60, 200 - x);
      return static_cast<std::uint32_t>(x * 7 + y * 13 + 1) % colours;
    };
    auto colourAt = [&](int x, int y) { return c.bpp == 24 ? pick(x, y) : table[pick(x, y)]; };
    const std::string path = TempFile(std::string(c.name) + ".bmp");
    ASSERT_TRUE(WriteBytes(path, MakeBmp(c.header, kW, kH, c.bpp, c.topDown, table, pick)));

    CDibSurface s;
    ASSERT_TRUE(s.LoadFromFile(path));
    EXPECT_EQ(s.GetSourceText(), path + "|ALLOC_INFO|LOAD_FILE");
    EXPECT_EQ(s.GetWidth(), kW);
    EXPECT_EQ(s.GetHeight(), kH);
    EXPECT_EQ(s.GetBitsPerPixel(), c.bpp);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) EXPECT_EQ(PixelOf(s, x, y), colourAt(x, y)) << x << "," << y;
    }
    // The pixel memory is bottom-up whatever the file's row order.
    const auto* first = static_cast<const std::uint8_t*>(s.GetPixelAddress(0, 0));
    ASSERT_NE(first, nullptr);
    if (c.bpp == 24) {
      EXPECT_EQ(first[2], GetRValue(colourAt(0, 0)));
      EXPECT_EQ(static_cast<const std::uint8_t*>(s.GetPixelAddress(1, kH - 1))[1],
                GetGValue(colourAt(1, kH - 1)));
    } else if (c.bpp == 8) {
      EXPECT_EQ(*first, pick(0, 0));
      EXPECT_EQ(*static_cast<const std::uint8_t*>(s.GetPixelAddress(3, kH - 1)), pick(3, kH - 1));
    }
    // The key works on the loaded picture: the pixels of (0, 0)'s colour leave the region.
    ASSERT_TRUE(s.SetKeyColour(static_cast<long>(colourAt(0, 0))));
    HRGN region = s.CreateRegion();
    ASSERT_NE(region, nullptr);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x)
        EXPECT_EQ(PtInRegion(region, x, y) != FALSE, colourAt(x, y) != colourAt(0, 0)) << x << "," << y;
    }
    DeleteObject(region);
    s.Release();
    DeleteFileA(path.c_str());
  }

  // The checks stay: a top-down file one byte short of its rows is refused.
  auto cut = MakeBmp(124, kW, kH, 8, true, palette, [](int, int) { return 3u; });
  cut.pop_back();
  const std::string path = TempFile("cut.bmp");
  ASSERT_TRUE(WriteBytes(path, cut));
  CDibSurface s;
  EXPECT_FALSE(s.LoadFromFile(path));
  EXPECT_TRUE(s.GetSourceText().empty());
  DeleteFileA(path.c_str());
}

TEST(DibSurfaceWin, AcquiringAndReleasingByEveryRoute) {
  // Attach borrows a bitmap: Release leaves the caller's handle valid.
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 7, 5);
  ReleaseDC(nullptr, screen);
  {
    CDibSurface s(ddb);
    EXPECT_TRUE(s.IsValid());
    EXPECT_EQ(s.GetSourceText(), "ATTACH_BITMAP|ALLOC_INFO");
    EXPECT_EQ(s.GetWidth(), 7);
    s.Release();
    EXPECT_FALSE(s.IsValid());
  }
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(ddb, sizeof(bm), &bm), static_cast<int>(sizeof(bm))) << "handle still alive";

  // A device-dependent bitmap copied into a DIB of our own.
  CDibSurface copy;
  ASSERT_TRUE(copy.CreateFromBitmap(ddb));
  EXPECT_EQ(copy.GetSourceText(), "CREATE_BITMAP|ALLOC_INFO");
  EXPECT_EQ(copy.GetWidth(), 7);
  EXPECT_EQ(copy.GetHeight(), 5);
  EXPECT_NE(copy.GetBits(), nullptr);
  DeleteObject(ddb);

  // A packed DIB in global memory: 2 x 2, 8 bits, 2-colour table.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD table[2];
    std::uint8_t pixels[8];
  } packed{};
  packed.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 2, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
  packed.table[1] = RGBQUAD{0, 0, 255, 0};  // red
  packed.pixels[0] = 1;                     // bottom-left
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, sizeof(packed));
  std::memcpy(GlobalLock(mem), &packed, sizeof(packed));
  GlobalUnlock(mem);
  CDibSurface fromGlobal(mem);
  ASSERT_TRUE(fromGlobal.IsValid());
  EXPECT_EQ(fromGlobal.GetSourceText(), "CREATE_BITMAP|ALLOC_INFO");
  EXPECT_EQ(fromGlobal.GetColourCount(), 2u);
  EXPECT_EQ(fromGlobal.GetPixel(0, 1), RGB(255, 0, 0));
  EXPECT_EQ(fromGlobal.GetPixel(1, 1), RGB(0, 0, 0));
  GlobalFree(mem);

  // A packed DIB whose header claims more pixels than the block holds is refused.
  CDibSurface s;
  EXPECT_FALSE(s.CreateFromPackedDib(&packed, sizeof(packed) - 1));
  packed.h.biWidth = 100000;
  EXPECT_FALSE(s.CreateFromPackedDib(&packed, sizeof(packed)));

  // Detach hands the bitmap over.
  ASSERT_TRUE(s.Create(4, 4, 32));
  HBITMAP mine = s.Detach();
  EXPECT_FALSE(s.IsValid());
  EXPECT_EQ(GetObjectA(mine, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
  DeleteObject(mine);

  EXPECT_FALSE(s.LoadFromResource(nullptr, MAKEINTRESOURCEA(31999)));
  EXPECT_TRUE(s.GetSourceText().empty());
}

// What the surface owns is counted as a live bitmap, what it borrows is not, and Release and
// Detach give the count back.
TEST(DibSurfaceWin, OwnedBitmapsAreCountedBorrowedOnesAreNot) {
  const long before = win::LiveHandles(win::HandleKind::kBitmap);
  const long gdi = win::LiveGdiObjects();
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 4, 4);
  ReleaseDC(nullptr, screen);
  {
    CDibSurface borrowed(ddb);
    ASSERT_TRUE(borrowed.IsValid());
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBitmap), before);
    CDibSurface own;
    ASSERT_TRUE(own.Create(4, 4, 24, kMagenta));
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBitmap), before + 2) << "the bitmap and its mask";
    ASSERT_TRUE(own.BeginDraw());
    EXPECT_EQ(win::LiveGdiObjects(), gdi + 3) << "and the bound context";
    ASSERT_TRUE(own.EndDraw());
    HBITMAP mine = own.Detach();
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBitmap), before);
    DeleteObject(mine);
    ASSERT_TRUE(own.Create(4, 4, 32));
    EXPECT_EQ(win::LiveHandles(win::HandleKind::kBitmap), before + 1);
  }
  EXPECT_EQ(win::LiveHandles(win::HandleKind::kBitmap), before);
  EXPECT_EQ(win::LiveGdiObjects(), gdi);
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(ddb, sizeof(bm), &bm), static_cast<int>(sizeof(bm))) << "the borrowed bitmap lives on";
  DeleteObject(ddb);
}

// A keyed bitmap resource (dib_surface_win_test.rc): 4 bits per pixel, magenta key. The URL
// selection dialog's size grip is drawn from one like it.
TEST(DibSurfaceWin, LoadFromResourceKeyedBitmap) {
  constexpr int kKeyedBitmap = 31001;
  const long gdi = win::LiveGdiObjects();
  CDibSurface s;
  ASSERT_TRUE(s.LoadFromResource(nullptr, MAKEINTRESOURCEA(kKeyedBitmap), kMagenta));
  EXPECT_EQ(s.GetSourceText(), "RESOURCE_BITMAP");
  EXPECT_EQ(s.GetWidth(), 12);
  EXPECT_EQ(s.GetHeight(), 10);
  EXPECT_EQ(s.GetBitsPerPixel(), 4);
  EXPECT_EQ(s.GetKeyColour(), static_cast<long>(kMagenta));
  ASSERT_NE(s.GetMask(), nullptr);
  auto drawn = [](int x, int y) { return (x >= 2 && x <= 8 && y >= 3 && y <= 6) || (x == 10 && y == 1); };
  EXPECT_EQ(s.GetPixel(3, 4), RGB(0, 0, 0xC0));
  EXPECT_EQ(s.GetPixel(10, 1), RGB(255, 255, 255));
  // The key pixels are blackened (entry 0 is blue here; black is a later entry) and the mask is
  // white exactly there.
  EXPECT_EQ(s.GetPixel(0, 0), RGB(0, 0, 0));
  {
    win::CMemoryDc maskDc(CreateCompatibleDC(nullptr));
    win::CSelectObject select(maskDc.Get(), s.GetMask());
    ASSERT_TRUE(select.Ok());
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x)
        EXPECT_EQ(GetPixel(maskDc.Get(), x, y), drawn(x, y) ? RGB(0, 0, 0) : RGB(255, 255, 255))
            << x << "," << y;
    }
  }
  HRGN region = s.CreateRegion();
  ASSERT_NE(region, nullptr);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) EXPECT_EQ(PtInRegion(region, x, y) != FALSE, drawn(x, y)) << x << "," << y;
  }
  DeleteObject(region);
  // Drawn transparently, only the picture reaches the target.
  CDibSurface target;
  ASSERT_TRUE(target.Create(12, 10, 32));
  target.FillSolidRect(0, 0, 12, 10, RGB(9, 99, 9));
  ASSERT_TRUE(target.CopyFrom(s, 0, 0, 0, 0, 0, 0, 0, 0, SRCCOPY, CDibSurface::kDrawHalftone));
  EXPECT_EQ(target.GetPixel(0, 0), RGB(9, 99, 9));
  EXPECT_EQ(target.GetPixel(4, 5), RGB(0, 0, 0xC0));
  target.Release();

  HBITMAP handle = s.GetHandle();
  HBITMAP mask = s.GetMask();
  s.Release();
  EXPECT_FALSE(s.IsValid());
  EXPECT_TRUE(s.GetSourceText().empty());
  EXPECT_EQ(s.GetMask(), nullptr);
  EXPECT_EQ(GetObjectType(handle), 0u) << "the loaded bitmap is deleted";
  EXPECT_EQ(GetObjectType(mask), 0u) << "and its mask";
  EXPECT_EQ(win::LiveGdiObjects(), gdi);
}

// A surface with a key but no mask (1 bit per pixel gets none) still leaves the key colour out
// of its region.
TEST(DibSurfaceWin, RegionOfAKeyWithoutAMaskComparesColours) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD table[2];
  } info{};
  info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 9, 2, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
  info.table[0] = RGBQUAD{0, 0, 0, 0};
  info.table[1] = RGBQUAD{255, 0, 255, 0};  // magenta
  // Bottom row first, rows padded to 4 bytes: top row 1 0 1 1 1 1 1 1 0, bottom row all 1.
  const std::uint8_t pixels[8] = {0xFF, 0x80, 0, 0, 0xBF, 0x00, 0, 0};
  CDibSurface s;
  ASSERT_TRUE(s.CreateFromInfo(reinterpret_cast<BITMAPINFO*>(&info), pixels, kMagenta));
  EXPECT_EQ(s.GetMask(), nullptr);
  EXPECT_EQ(s.GetKeyColour(), static_cast<long>(kMagenta));
  HRGN region = s.CreateRegion();
  ASSERT_NE(region, nullptr);
  RECT box{};
  EXPECT_NE(GetRgnBox(region, &box), NULLREGION);
  EXPECT_TRUE(PtInRegion(region, 1, 0) && PtInRegion(region, 8, 0));
  for (int x = 0; x < 9; ++x) {
    if (x != 1 && x != 8) {
      EXPECT_FALSE(PtInRegion(region, x, 0)) << x;
    }
    EXPECT_FALSE(PtInRegion(region, x, 1)) << x;
  }
  DeleteObject(region);
  // Without a key the region is the whole bitmap.
  ASSERT_TRUE(s.SetKeyColour(-1));
  region = s.CreateRegion();
  EXPECT_EQ(GetRgnBox(region, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 9);
  EXPECT_EQ(box.bottom, 2);
  DeleteObject(region);
}

TEST(DibSurfaceWin, MagentaKeyDrawnTransparentlyLeavesTheTargetAlone) {
  CDibSurface image;
  ASSERT_TRUE(image.Create(8, 6, 24));
  image.FillSolidRect(0, 0, 8, 6, kMagenta);
  image.FillSolidRect(2, 1, 4, 3, RGB(200, 30, 40));
  ASSERT_TRUE(image.SetKeyColour(kMagenta));
  ASSERT_NE(image.GetMask(), nullptr);

  CDibSurface target;
  ASSERT_TRUE(target.Create(10, 8, 32));
  target.FillSolidRect(0, 0, 10, 8, RGB(10, 120, 30));
  ASSERT_TRUE(target.CopyFrom(image, 1, 1, 0, 0, 0, 0, 0, 0, SRCCOPY, CDibSurface::kDrawHalftone));
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool drawn = x >= 3 && x < 7 && y >= 2 && y < 5;
      EXPECT_EQ(target.GetPixel(x, y), drawn ? RGB(200, 30, 40) : RGB(10, 120, 30)) << x << "," << y;
    }
  }

  // Without the key the copy is plain: the (blackened) key pixels arrive as they are.
  ASSERT_TRUE(image.SetKeyColour(-1));
  EXPECT_EQ(image.GetMask(), nullptr);
  target.FillSolidRect(0, 0, 10, 8, RGB(10, 120, 30));
  ASSERT_TRUE(target.CopyFrom(image, 0, 0, 0, 0, 0, 0, 0, 0, SRCCOPY, CDibSurface::kDrawHalftone));
  EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(target.GetPixel(9, 7), RGB(10, 120, 30));
}

TEST(DibSurfaceWin, KeyMasksAndRegionsAtEveryDepth) {
  for (int bpp : {16, 24, 32}) {
    CDibSurface s;
    ASSERT_TRUE(s.Create(6, 4, bpp));
    s.FillSolidRect(0, 0, 6, 4, kMagenta);
    ASSERT_TRUE(s.SetKeyColour(kMagenta)) << bpp;
    HRGN all = s.CreateRegion();
    ASSERT_NE(all, nullptr);
    RECT box{};
    EXPECT_EQ(GetRgnBox(all, &box), NULLREGION) << "an all-key surface has an empty region, " << bpp;
    DeleteObject(all);

    s.SetKeyColour(-1);
    s.FillSolidRect(0, 0, 6, 4, kMagenta);
    s.FillSolidRect(1, 2, 3, 1, RGB(0, 0, 255));
    s.SetPixelV(5, 0, RGB(0, 255, 0));
    HRGN some = s.CreateRegion(kMagenta);
    EXPECT_EQ(GetRgnBox(some, &box), COMPLEXREGION) << bpp;
    EXPECT_TRUE(PtInRegion(some, 1, 2) && PtInRegion(some, 3, 2) && PtInRegion(some, 5, 0));
    EXPECT_FALSE(PtInRegion(some, 0, 2) || PtInRegion(some, 4, 2) || PtInRegion(some, 0, 0));
    DeleteObject(some);
    // The first pixel, used to find the key's raw value, keeps its colour.
    EXPECT_EQ(s.GetPixel(0, 3), kMagenta);
  }

  // 8 bits: the key is the palette entry nearest to the colour.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD table[3];
  } info{};
  info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, 2, 1, 8, BI_RGB, 0, 0, 0, 3, 0};
  info.table[0] = RGBQUAD{0, 0, 0, 0};
  info.table[1] = RGBQUAD{250, 0, 250, 0};  // near magenta
  info.table[2] = RGBQUAD{0, 255, 0, 0};
  const std::uint8_t pixels[8] = {1, 2, 1, 0, 1, 1, 1, 1};  // bottom row first
  CDibSurface pal;
  ASSERT_TRUE(pal.CreateFromInfo(reinterpret_cast<BITMAPINFO*>(&info), pixels, kMagenta));
  ASSERT_NE(pal.GetMask(), nullptr);
  HRGN r = pal.CreateRegion();
  EXPECT_TRUE(PtInRegion(r, 1, 1) && PtInRegion(r, 3, 1));
  EXPECT_FALSE(PtInRegion(r, 0, 1) || PtInRegion(r, 2, 1) || PtInRegion(r, 0, 0));
  DeleteObject(r);
}

TEST(DibSurfaceWin, DrawWithZeroSizesCopiesTheWholeBitmapAndTilesRepeat) {
  CDibSurface image;
  ASSERT_TRUE(image.Create(5, 3, 32));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) image.SetPixelV(x, y, RGB(x * 40, y * 80, 99));
  CDibSurface target;
  ASSERT_TRUE(target.Create(12, 9, 32));
  target.FillSolidRect(0, 0, 12, 9, RGB(1, 1, 1));
  ASSERT_TRUE(target.CopyFrom(image, 2, 1));
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
      EXPECT_EQ(target.GetPixel(x, y), inside ? RGB((x - 2) * 40, (y - 1) * 80, 99) : RGB(1, 1, 1))
          << x << "," << y;
    }
  }

  // Tiled from source offset (3, 1): the first tile shows the bitmap's right part.
  ASSERT_TRUE(target.CopyFrom(image, 0, 0, 12, 9, 3, 1, 0, 0, SRCCOPY, CDibSurface::kDrawTiled));
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const int sx = (x + 3) % 5, sy = (y + 1) % 3;
      EXPECT_EQ(target.GetPixel(x, y), RGB(sx * 40, sy * 80, 99)) << x << "," << y;
    }
  }

  // The video DIB route draws the same picture.
  target.FillSolidRect(0, 0, 12, 9, RGB(1, 1, 1));
  ASSERT_TRUE(target.Locked([&](HDC dc) { return image.DrawWithVideoDib(dc, 0, 0); }));
  EXPECT_EQ(target.GetPixel(4, 2), RGB(160, 160, 99));
  EXPECT_EQ(target.GetPixel(5, 2), RGB(1, 1, 1));

  HDC none = nullptr;
  EXPECT_FALSE(CDibSurface::StretchCopy(none, 0, 0, 1, 1, none, 0, 0, 1, 1));
  EXPECT_FALSE(
      target.Locked([&](HDC dc) { return CDibSurface::StretchCopy(dc, 0, 0, 0, 5, dc, 0, 0, 5, 5); }));
}

TEST(DibSurfaceWin, CaptureScreenClipsToTheScreen) {
  CDibSurface s;
  ASSERT_TRUE(s.Create(20, 20, 32));
  EXPECT_TRUE(s.CaptureScreen(0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(s.CaptureScreen(0, 0, 20, 20, -10, -10)) << "partly off screen";
  EXPECT_FALSE(s.CaptureScreen(0, 0, 20, 20, GetSystemMetrics(SM_CXSCREEN), 0)) << "wholly off screen";
  EXPECT_FALSE(s.CaptureScreen(0, 0, 20, 20, -20, 0));
}

// Two threads drawing on one surface never are inside an operation at the same time, and a
// thread that opened drawing can nest further Begin/End pairs and operations.
TEST(DibSurfaceWin, LockSerialisesThreadsAndNestsWithinOne) {
  CDibSurface s;
  ASSERT_TRUE(s.Create(200, 40, 32));
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::atomic<int> drawn{0};
  auto worker = [&](COLORREF colour) {
    for (int i = 0; i < 30; ++i) {
      ASSERT_TRUE(s.BeginDraw());
      if (inside.fetch_add(1) != 0) overlapped = true;
      s.SetTextColor(colour);
      s.TextOut(i, 0, "ニュース");
      Sleep(1);
      if (s.GetTextColor() != colour) overlapped = true;  // the other thread changed our context
      s.Locked([&](HDC) {
        if (inside.load() != 1) overlapped = true;
      });
      inside.fetch_sub(1);
      ++drawn;
      ASSERT_TRUE(s.EndDraw());
    }
  };
  std::thread a(worker, RGB(255, 0, 0)), b(worker, RGB(0, 0, 255));
  a.join();
  b.join();
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(drawn.load(), 60);

  // Nesting on one thread, watched by a timeout so that a self-deadlock fails instead of hanging.
  std::atomic<bool> finished{false};
  std::thread nest([&] {
    ASSERT_TRUE(s.BeginDraw());
    HDC outer = s.GetDC();
    ASSERT_NE(outer, nullptr);
    ASSERT_TRUE(s.BeginDraw());
    EXPECT_EQ(s.GetDC(), outer);
    EXPECT_TRUE(s.TextOut(0, 0, "入れ子"));
    EXPECT_TRUE(s.EndDraw());
    EXPECT_EQ(s.GetDC(), outer) << "the inner EndDraw keeps the outer context";
    EXPECT_TRUE(s.FillSolidRect(0, 0, 2, 2, RGB(9, 9, 9)));
    EXPECT_TRUE(s.EndDraw());
    EXPECT_EQ(s.GetDC(), nullptr);
    EXPECT_FALSE(s.EndDraw()) << "nothing left to end";
    finished = true;
  });
  for (int i = 0; i < 500 && !finished; ++i) Sleep(10);
  ASSERT_TRUE(finished.load()) << "nested drawing blocked itself";
  nest.join();
  EXPECT_EQ(s.GetPixel(1, 1), RGB(9, 9, 9));
  // After all threads are done the surface is free for this one.
  EXPECT_TRUE(s.BeginDraw());
  EXPECT_TRUE(s.EndDraw());
}

// The picture check: text in the Japanese UI face and anti-aliased glyphs, saved as a .bmp in
// the test's working folder (glyphs.bmp) and read back.
TEST(DibSurfaceWin, TextAndAntiAliasedGlyphsArePainted) {
  const COLORREF back = RGB(0, 0, 64);
  const COLORREF yellow = RGB(255, 232, 64);
  const COLORREF white = RGB(255, 255, 255);
  CDibSurface s;
  ASSERT_TRUE(s.Create(360, 100, 32));
  s.FillSolidRect(0, 0, 360, 100, back);

  // The face really used is the one asked for (the prefix maps it to an IPA font).
  HFONT font = CreateStyledFont("ＭＳ ゴシック", 140, "");
  ASSERT_TRUE(s.BeginDraw());
  HGDIOBJ old = s.SelectObject(font);
  char face[LF_FACESIZE] = {};
  GetTextFaceA(s.GetDC(), sizeof(face), face);
  s.SelectObject(old);
  ASSERT_TRUE(s.EndDraw());
  DeleteObject(font);
  EXPECT_STREQ(face, "ＭＳ ゴシック");

  RECT top{0, 0, 360, 50};
  EXPECT_GT(s.DrawTextFont("ニュース　表示テスト", top, DT_CENTER | DT_VCENTER | DT_SINGLELINE, yellow, 140,
                           "ＭＳ ゴシック"),
            0);
  ASSERT_TRUE(
      s.DrawGlyphsA("滑らかな文字 Zellora", 0, 50, 360, 50, "ＭＳ ゴシック", 28, 400, white, RGB(0, 0, 0)));
  EXPECT_TRUE(s.DrawGlyphsA("", 0, 0, 10, 10, "ＭＳ ゴシック", 28, 400, white)) << "empty text draws nothing";

  // The weight-600 variants paint as well, into a surface of their own each.
  for (int variant = 0; variant < 2; ++variant) {
    CDibSurface v;
    ASSERT_TRUE(v.Create(200, 40, 32));
    v.FillSolidRect(0, 0, 200, 40, back);
    if (variant == 0) {
      ASSERT_TRUE(v.DrawGlyphsB("ニュース", 0, 0, 200, 40, "ＭＳ ゴシック", 24, white));
    } else {
      ASSERT_TRUE(v.DrawGlyphsC("ニュース", 0, 0, 200, 40, "ＭＳ ゴシック", 24, white));
    }
    int full = 0, left = 200, right = 0;
    ASSERT_TRUE(v.BeginDraw());  // one context for all the reads
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 200; ++x) {
        if (v.GetPixel(x, y) == back) continue;
        ++full;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    ASSERT_TRUE(v.EndDraw());
    EXPECT_GT(full, 50) << variant;
    // Centred: the margins on both sides differ by a few pixels at most.
    EXPECT_LT(std::abs(left - (199 - right)), 8) << variant;
  }

  const std::string path = "glyphs.bmp";
  ASSERT_TRUE(s.SaveToFile(path));
  CDibSurface back_in;
  ASSERT_TRUE(back_in.LoadFromFile(path));
  ASSERT_EQ(back_in.GetWidth(), 360);
  int textPixels = 0, glyphFull = 0, glyphPartial = 0, shadowPixels = 0;
  ASSERT_TRUE(back_in.BeginDraw());
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 360; ++x) {
      const COLORREF c = back_in.GetPixel(x, y);
      if (y < 50) {
        if (c == yellow) ++textPixels;
      } else if (c == white) {
        ++glyphFull;
      } else if (c == RGB(0, 0, 0)) {
        ++shadowPixels;
      } else if (c != back) {
        ++glyphPartial;
      }
    }
  }
  ASSERT_TRUE(back_in.EndDraw());
  EXPECT_GT(textPixels, 100);
  EXPECT_GT(glyphFull, 100);
  EXPECT_GT(glyphPartial, 30) << "anti-aliased edges blend text and background";
  EXPECT_GT(shadowPixels, 20);
}
