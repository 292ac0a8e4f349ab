// The ticker's picture of the desktop: a screen-size wallpaper image rendered from the user's
// desktop settings the way the system renders it, and a snapshot that is that image with the
// desktop icons painted over it by the desktop's own list view. The desktop strip takes its
// background from the snapshot and erases itself with it.
#pragma once

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <functional>
#include <string>

#include "support/draw/dib_surface_win.h"
#include "ticker/display/wallpaper.h"

namespace ticker {

constexpr char kControlPanelPath[] = "HKEY_CURRENT_USER\\Control Panel";

// The screen as the desktop pictures and the strip see it, in physical pixels (the ticker is
// per-monitor DPI aware, so the system reports every size and position unscaled).
struct ScreenGeometry {
  int width = 0;  // the primary monitor
  int height = 0;
  RECT workArea{};
  RECT allMonitors{};  // the bounding box of every monitor (a spanned wallpaper covers it)
};
// SM_CXSCREEN x SM_CYSCREEN, SPI_GETWORKAREA and the virtual screen.
ScreenGeometry SystemGeometry();
using GeometrySource = std::function<ScreenGeometry()>;

// A picture file read by the system's picture loader (GIF, JPEG, BMP, ...).
class CPicture {
 public:
  CPicture() = default;
  ~CPicture() { Release(); }
  CPicture(const CPicture&) = delete;
  CPicture& operator=(const CPicture&) = delete;

  // Reads the whole file into memory and loads it; false (and no picture) when the file cannot
  // be read or is no picture the loader knows.
  bool LoadPicture(const std::string& file);
  // The size in pixels on the device (rounded from the picture's HIMETRIC size by the device's
  // pixels per inch); -1 without a picture.
  int PictureWidth(HDC dc) const;
  int PictureHeight(HDC dc) const;
  // Draws the picture at its pixel size with its top-left corner at (x, y).
  bool RenderPicture(HDC dc, int x, int y) const;
  void Release();

 private:
  IPicture* picture = nullptr;
};

// The picture in file as a 24-bit bitmap of its own size in surface. On failure the surface is
// left empty.
bool LoadImageFile(const std::string& file, CDibSurface& surface);

class CWallpaperCapture {
 public:
  // controlPanel: where "desktop" and "colors" are read (tests give a key of their own).
  explicit CWallpaperCapture(std::string controlPanel = kControlPanelPath,
                             GeometrySource geometry = SystemGeometry);
  CWallpaperCapture(const CWallpaperCapture&) = delete;
  CWallpaperCapture& operator=(const CWallpaperCapture&) = delete;

  // "Background" under "colors", or the system's background colour when it cannot be read.
  COLORREF DesktopColour();
  // The three wallpaper settings as they are now ("" for each one that cannot be read).
  WallpaperSettings ReadSettings();
  // Paints the wallpaper into surface, which holds a bitmap of the screen's size.
  void RenderWallpaper(CDibSurface& surface);
  // A new screen-size wallpaper image.
  void RebuildWallpaperImage();
  // Renews the image and the snapshot when the wallpaper settings differ from the ones they were
  // made from; true when they did.
  bool CheckWallpaperSettings();
  // The wallpaper image with the desktop list view's icons over it, printed by the view itself
  // (PrintWindow). Nothing happens when there is no desktop list view: the snapshot made before
  // stays. While the shell does not answer, the snapshot made before stays too, or when there is
  // none the wallpaper alone serves as one.
  void RefreshSnapshot();

  CDibSurface& WallpaperImage() { return wallpaperImage; }
  CDibSurface& DesktopSnapshot() { return desktopSnapshot; }
  // The list view the snapshot was printed from (null when it was made without one).
  HWND SnapshotView() const { return snapshotView; }
  const WallpaperSettings& CachedSettings() const { return cache.Cached(); }
  ScreenGeometry Geometry() const { return geometry(); }

 private:
  // A new bitmap of the screen's size and depth in surface.
  bool MakeScreenBitmap(CDibSurface& surface);
  // The view's client area printed by the view over what the snapshot holds there.
  bool PrintViewIntoSnapshot(HWND view);

  std::string controlPanel;
  GeometrySource geometry;
  CDibSurface wallpaperImage;
  CDibSurface desktopSnapshot;
  HWND snapshotView = nullptr;
  WallpaperCache cache;
};

}  // namespace ticker
