#include "ticker/display/wallpaper_win.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "support/draw/dib_math.h"
#include "support/registry/registry.h"
#include "support/win/handles.h"
#include "ticker/display/desktop_view_win.h"

namespace ticker {

namespace {

// PW_RENDERFULLCONTENT, which the headers offer only to programs built for Windows 8.1 and later.
constexpr UINT kRenderFullContent = 0x00000002;

// Picture files larger than this are not read into memory (no wallpaper is that big).
constexpr DWORD kMaxPictureBytes = 64u << 20;

int ScreenDepth() {
  HDC screen = ::GetDC(nullptr);
  const int bits = screen ? ::GetDeviceCaps(screen, BITSPIXEL) * ::GetDeviceCaps(screen, PLANES) : 32;
  if (screen) ::ReleaseDC(nullptr, screen);
  return bits == 16 || bits == 24 ? bits : 32;
}

bool PlainCopy(CDibSurface& target, int x, int y, CDibSurface& source) {
  if (!source.IsValid()) return false;
  return target.Locked([&](HDC dc) {
    return source.Locked([&](HDC from) {
      return ::BitBlt(dc, x, y, source.GetWidth(), source.GetHeight(), from, 0, 0, SRCCOPY) != FALSE;
    });
  });
}

}  // namespace

ScreenGeometry SystemGeometry() {
  ScreenGeometry g;
  g.width = ::GetSystemMetrics(SM_CXSCREEN);
  g.height = ::GetSystemMetrics(SM_CYSCREEN);
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &g.workArea, 0))
    g.workArea = RECT{0, 0, g.width, g.height};
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  g.allMonitors = RECT{left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                       top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return g;
}

// ---------------------------------------------------------------------------------------------
// Pictures

bool CPicture::LoadPicture(const std::string& file) {
  Release();
  win::CKernelHandle f(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  const DWORD size = ::GetFileSize(f.Get(), nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE || size > kMaxPictureBytes) return false;
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return false;
  void* bytes = ::GlobalLock(block);
  DWORD read = 0;
  const bool whole = bytes && ::ReadFile(f.Get(), bytes, size, &read, nullptr) && read == size;
  // The system's loader trusts a bitmap's header and reads as many pixels as it promises, past
  // the end of a cut-off file: a bitmap must pass the file checks before it gets there.
  const auto* head = static_cast<const std::uint8_t*>(bytes);
  const bool refused =
      whole && size >= 2 && ReadLe16(head) == kBitmapFileType &&
      !CheckBitmapFile(head, std::min<std::size_t>(size, kBitmapFileHeaderBytes + kBitmapInfoReadBytes),
                       size);
  if (bytes) ::GlobalUnlock(block);
  if (!whole || refused) {
    ::GlobalFree(block);
    return false;
  }
  IStream* stream = nullptr;
  // The stream frees the block when it is released.
  if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
    ::GlobalFree(block);
    return false;
  }
  void* loaded = nullptr;
  const HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(size), TRUE, IID_IPicture, &loaded);
  stream->Release();
  if (FAILED(hr) || !loaded) return false;
  picture = static_cast<IPicture*>(loaded);
  return true;
}

void CPicture::Release() {
  if (picture) picture->Release();
  picture = nullptr;
}

int CPicture::PictureWidth(HDC dc) const {
  OLE_XSIZE_HIMETRIC w = 0;
  if (!picture || !dc || FAILED(picture->get_Width(&w))) return -1;
  return ::MulDiv(w, ::GetDeviceCaps(dc, LOGPIXELSX), 2540);
}

int CPicture::PictureHeight(HDC dc) const {
  OLE_YSIZE_HIMETRIC h = 0;
  if (!picture || !dc || FAILED(picture->get_Height(&h))) return -1;
  return ::MulDiv(h, ::GetDeviceCaps(dc, LOGPIXELSY), 2540);
}

bool CPicture::RenderPicture(HDC dc, int x, int y) const {
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC h = 0;
  if (!picture || !dc || FAILED(picture->get_Width(&w)) || FAILED(picture->get_Height(&h))) return false;
  const int pw = PictureWidth(dc);
  const int ph = PictureHeight(dc);
  // HIMETRIC runs bottom-up: the source starts at the bottom edge with a negative height.
  return SUCCEEDED(picture->Render(dc, x, y, pw, ph, 0, h, w, -h, nullptr));
}

bool LoadImageFile(const std::string& file, CDibSurface& surface) {
  surface.Release();
  try {
    CPicture picture;
    win::CWindowDc screen(nullptr);
    if (!screen || !picture.LoadPicture(file)) return false;
    const int w = picture.PictureWidth(screen.Get());
    const int h = picture.PictureHeight(screen.Get());
    if (w <= 0 || h <= 0 || !surface.Create(w, h, 24)) return false;
    if (!surface.Locked([&](HDC dc) { return picture.RenderPicture(dc, 0, 0); })) {
      surface.Release();
      return false;
    }
    return true;
  } catch (...) {
    surface.Release();
    return false;
  }
}

// ---------------------------------------------------------------------------------------------
// The desktop pictures

CWallpaperCapture::CWallpaperCapture(std::string panel, GeometrySource source)
    : controlPanel(std::move(panel)), geometry(std::move(source)) {}

COLORREF CWallpaperCapture::DesktopColour() {
  CRegistry reg(controlPanel);
  std::string text;
  if (!reg.ReadString("colors", "Background", text)) return ::GetSysColor(COLOR_BACKGROUND);
  const DesktopRgb rgb = ParseDesktopColour(text);
  return RGB(rgb.red, rgb.green, rgb.blue);
}

WallpaperSettings CWallpaperCapture::ReadSettings() {
  CRegistry reg(controlPanel);
  WallpaperSettings s;
  // The path form empties each text when its value cannot be read.
  reg.ReadString("desktop", "Wallpaper", s.wallpaper);
  reg.ReadString("desktop", "WallpaperStyle", s.style);
  reg.ReadString("desktop", "TileWallpaper", s.tile);
  return s;
}

void CWallpaperCapture::RenderWallpaper(CDibSurface& surface) {
  if (!surface.IsValid()) return;
  const int width = surface.GetWidth();
  const int height = surface.GetHeight();
  const WallpaperSettings settings = ReadSettings();
  const WallpaperLayout layout = ChooseWallpaperLayout(settings);
  CDibSurface image;
  if (layout != WallpaperLayout::kColour) LoadImageFile(settings.wallpaper, image);
  // Without a picture every layout shows the plain colour (never a black or stale screen); the
  // layouts that may leave part of the screen uncovered show it around the picture.
  if (!image.IsValid() || (layout != WallpaperLayout::kTile && layout != WallpaperLayout::kStretch &&
                           layout != WallpaperLayout::kFill)) {
    surface.FillSolidRect(0, 0, width, height, DesktopColour());
  }
  if (!image.IsValid()) return;
  if (layout == WallpaperLayout::kTile) {
    surface.CopyFrom(image, 0, 0, width, height, 0, 0, 0, 0, SRCCOPY, CDibSurface::kDrawTiled);
    return;
  }
  const RECT& all = geometry().allMonitors;
  const PictureRect monitors{all.left, all.top, all.right - all.left, all.bottom - all.top};
  const PictureRect at = PlacePicture(layout, width, height, monitors, image.GetWidth(), image.GetHeight());
  if (at.Empty()) return;
  if (layout == WallpaperLayout::kCentre) {
    PlainCopy(surface, at.x, at.y, image);
    return;
  }
  surface.Locked([&](HDC dc) {
    return image.Locked([&](HDC from) {
      // A photograph shrunk by dropping rows and columns looks ragged: shrinking averages
      // (HALFTONE needs the brush origin set after it, as its documentation says).
      if (at.width < image.GetWidth() || at.height < image.GetHeight()) {
        ::SetStretchBltMode(dc, HALFTONE);
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
      } else {
        ::SetStretchBltMode(dc, COLORONCOLOR);
      }
      return ::StretchBlt(dc, at.x, at.y, at.width, at.height, from, 0, 0, image.GetWidth(),
                          image.GetHeight(), SRCCOPY) != FALSE;
    });
  });
}

bool CWallpaperCapture::MakeScreenBitmap(CDibSurface& surface) {
  const ScreenGeometry g = geometry();
  surface.Release();
  return g.width > 0 && g.height > 0 && surface.Create(g.width, g.height, ScreenDepth());
}

void CWallpaperCapture::RebuildWallpaperImage() {
  if (MakeScreenBitmap(wallpaperImage)) RenderWallpaper(wallpaperImage);
}

bool CWallpaperCapture::CheckWallpaperSettings() {
  if (!cache.Update(ReadSettings())) return false;
  RebuildWallpaperImage();
  RefreshSnapshot();
  return true;
}

void CWallpaperCapture::RefreshSnapshot() {
  HWND view = FindDesktopListView();
  if (!view) return;
  // PrintWindow waits until the shell has painted: a hung shell would hold the ticker's thread.
  const bool answers = WindowAnswers(view);
  if (!answers && desktopSnapshot.IsValid()) return;
  // Icons over a wallpaper that was never rendered would sit on black.
  if (!wallpaperImage.IsValid()) RebuildWallpaperImage();
  snapshotView = nullptr;
  if (!MakeScreenBitmap(desktopSnapshot)) return;
  PlainCopy(desktopSnapshot, 0, 0, wallpaperImage);
  if (!answers) return;
  // A view that cannot print leaves the wallpaper alone as the snapshot; it is not asked again
  // before the next renewal.
  PrintViewIntoSnapshot(view);
  snapshotView = view;
}

bool CWallpaperCapture::PrintViewIntoSnapshot(HWND view) {
  RECT client{};
  if (!::GetClientRect(view, &client)) return false;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  // The view covers every monitor; more than this is no desktop.
  constexpr int kMaxSide = 32768;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  // Screen position of the view's client area: the snapshot is in screen coordinates, with the
  // primary monitor's top-left corner at 0, 0 (physical pixels, the ticker being DPI aware).
  POINT origin{0, 0};
  if (!::ClientToScreen(view, &origin)) return false;
  // The view prints into a bitmap of its own size that already holds the wallpaper, so where it
  // paints nothing (the desktop view's background is transparent) the wallpaper stays. Our device
  // context is never handed to the shell: PrintWindow has the view's own process render the
  // picture and copies it into ours (GDI handles are valid only in the process that made them).
  CDibSurface print;
  if (!print.Create(width, height, 32)) return false;
  PlainCopy(print, -origin.x, -origin.y, wallpaperImage);
  const bool printed = print.Locked([&](HDC dc) {
    // The client area only, with what the desktop window manager composes into it
    // (PW_RENDERFULLCONTENT, Windows 8.1 and later; an older system refuses the flag).
    return ::PrintWindow(view, dc, PW_CLIENTONLY | kRenderFullContent) != FALSE ||
           ::PrintWindow(view, dc, PW_CLIENTONLY) != FALSE;
  });
  return printed && PlainCopy(desktopSnapshot, origin.x, origin.y, print);
}

}  // namespace ticker
