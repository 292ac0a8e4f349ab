// The desktop's look as the ticker reproduces it behind the desktop strip: the desktop colour
// text, how the wallpaper is laid out on the screen, and when the wallpaper settings changed.
// The Windows half (wallpaper_win.h) reads the settings and paints the pictures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ticker {

// The colour "Background" text: three decimal numbers (red, green, blue) separated by single
// spaces, each read like the C library's atoi and cut to its low eight bits. A missing number
// reads as 0.
struct DesktopRgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const DesktopRgb& o) const { return red == o.red && green == o.green && blue == o.blue; }
};
DesktopRgb ParseDesktopColour(std::string_view text);

// atoi without its undefined overflow: leading white space, an optional sign, then digits; a
// value beyond the 32-bit range is held at the range's end.
int DecimalPrefix(std::string_view text);

// The three desktop settings the wallpaper image depends on, as read ("" when unreadable).
struct WallpaperSettings {
  std::string wallpaper;  // "Wallpaper": the image file, empty for none
  std::string style;      // "WallpaperStyle": "2" stretches, "6" fits, "10" fills, "22" spans
  std::string tile;       // "TileWallpaper": "1" tiles
  bool operator==(const WallpaperSettings& o) const {
    return wallpaper == o.wallpaper && style == o.style && tile == o.tile;
  }
  bool operator!=(const WallpaperSettings& o) const { return !(*this == o); }
};

enum class WallpaperLayout {
  kColour,   // no wallpaper: the desktop colour only
  kTile,     // repeated from the top-left corner
  kStretch,  // scaled to the whole screen
  kCentre,   // centred on the desktop colour, cut equally when larger than the screen
  kFit,      // scaled to show it whole, centred on the desktop colour
  kFill,     // scaled to cover the screen, cut equally on the sides that stick out
  kSpan,     // one picture across every monitor: filled into the bounding box of them all
};
// Tiling wins over every style: "TileWallpaper" 1 tiles whatever "WallpaperStyle" says. Only the
// exact style texts count; any other one centres.
WallpaperLayout ChooseWallpaperLayout(const WallpaperSettings& settings);

struct PicturePoint {
  int x = 0, y = 0;
  bool operator==(const PicturePoint& o) const { return x == o.x && y == o.y; }
};
// Top-left corner of a width x height picture centred on a screenWidth x screenHeight screen
// (negative when the picture is larger).
PicturePoint CentreOrigin(int screenWidth, int screenHeight, int width, int height);

// A rectangle as origin and size (screen pixels; the primary monitor's top-left corner is 0, 0).
struct PictureRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const PictureRect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};
// The width x height picture scaled to the largest size that shows it whole inside box, centred
// (the box shows beside or above and below it). Empty for an empty box or picture.
PictureRect FitInto(const PictureRect& box, int width, int height);
// The picture scaled to the smallest size that covers box, centred: what sticks out is cut
// equally on both sides. Empty for an empty box or picture.
PictureRect FillInto(const PictureRect& box, int width, int height);

// Where a width x height picture lies in a screenWidth x screenHeight image of the primary
// monitor, for every layout but the plain colour and tiling. allMonitors is the bounding box of
// every monitor in the same coordinates (it starts left of or above 0, 0 when a monitor lies
// there); a span over an empty box covers the primary monitor alone.
PictureRect PlacePicture(WallpaperLayout layout, int screenWidth, int screenHeight,
                         const PictureRect& allMonitors, int width, int height);

// The settings the pictures were last made from. Starts empty, so the first check after start
// renews the pictures unless all three settings are empty.
class WallpaperCache {
 public:
  // Stores settings and returns true when they differ from the ones stored before.
  bool Update(const WallpaperSettings& settings);
  const WallpaperSettings& Cached() const { return cached; }

 private:
  WallpaperSettings cached;
};

}  // namespace ticker
