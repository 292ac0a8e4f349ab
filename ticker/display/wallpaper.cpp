#include "ticker/display/wallpaper.h"

#include <climits>

namespace ticker {

int DecimalPrefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

DesktopRgb ParseDesktopColour(std::string_view text) {
  int parts[3] = {0, 0, 0};
  for (int n = 0; n < 3; ++n) {
    const std::size_t space = n < 2 ? text.find(' ') : std::string_view::npos;
    parts[n] = DecimalPrefix(text.substr(0, space));
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
  }
  DesktopRgb rgb;
  rgb.red = static_cast<std::uint8_t>(static_cast<unsigned>(parts[0]) & 0xFF);
  rgb.green = static_cast<std::uint8_t>(static_cast<unsigned>(parts[1]) & 0xFF);
  rgb.blue = static_cast<std::uint8_t>(static_cast<unsigned>(parts[2]) & 0xFF);
  return rgb;
}

WallpaperLayout ChooseWallpaperLayout(const WallpaperSettings& settings) {
  if (settings.wallpaper.empty()) return WallpaperLayout::kColour;
  if (settings.tile == "1") return WallpaperLayout::kTile;
  if (settings.style == "2") return WallpaperLayout::kStretch;
  if (settings.style == "6") return WallpaperLayout::kFit;
  if (settings.style == "10") return WallpaperLayout::kFill;
  if (settings.style == "22") return WallpaperLayout::kSpan;
  return WallpaperLayout::kCentre;
}

PicturePoint CentreOrigin(int screenWidth, int screenHeight, int width, int height) {
  return PicturePoint{(screenWidth - width) / 2, (screenHeight - height) / 2};
}

namespace {

// value x numerator / denominator rounded to the nearest, in 64 bits (pictures and screens are
// far below the range), held within int.
int Scale(int value, int numerator, int denominator) {
  const long long scaled =
      (static_cast<long long>(value) * numerator + denominator / 2) / static_cast<long long>(denominator);
  return scaled > INT_MAX ? INT_MAX : static_cast<int>(scaled);
}

// The picture scaled to the box's full width or to its full height, centred in it.
PictureRect ScaleInto(const PictureRect& box, int width, int height, bool cover) {
  if (box.Empty() || width <= 0 || height <= 0) return PictureRect{};
  // Which side meets the box's edge: the picture is relatively wider than the box when
  // width / height > box.width / box.height.
  const bool wider = static_cast<long long>(width) * box.height > static_cast<long long>(height) * box.width;
  PictureRect r;
  if (wider != cover) {
    r.width = box.width;
    r.height = Scale(height, box.width, width);
  } else {
    r.height = box.height;
    r.width = Scale(width, box.height, height);
  }
  r.x = box.x + (box.width - r.width) / 2;
  r.y = box.y + (box.height - r.height) / 2;
  return r;
}

}  // namespace

PictureRect FitInto(const PictureRect& box, int width, int height) {
  return ScaleInto(box, width, height, false);
}

PictureRect FillInto(const PictureRect& box, int width, int height) {
  return ScaleInto(box, width, height, true);
}

PictureRect PlacePicture(WallpaperLayout layout, int screenWidth, int screenHeight,
                         const PictureRect& allMonitors, int width, int height) {
  const PictureRect screen{0, 0, screenWidth, screenHeight};
  switch (layout) {
    case WallpaperLayout::kCentre: {
      const PicturePoint at = CentreOrigin(screenWidth, screenHeight, width, height);
      return PictureRect{at.x, at.y, width, height};
    }
    case WallpaperLayout::kStretch:
      return screen;
    case WallpaperLayout::kFit:
      return FitInto(screen, width, height);
    case WallpaperLayout::kFill:
      return FillInto(screen, width, height);
    case WallpaperLayout::kSpan:
      return FillInto(allMonitors.Empty() ? screen : allMonitors, width, height);
    case WallpaperLayout::kColour:
    case WallpaperLayout::kTile:
      break;
  }
  return PictureRect{};
}

bool WallpaperCache::Update(const WallpaperSettings& settings) {
  if (settings == cached) return false;
  cached = settings;
  return true;
}

}  // namespace ticker
