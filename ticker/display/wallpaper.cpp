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
  return WallpaperLayout::kCentre;
}

PicturePoint CentreOrigin(int screenWidth, int screenHeight, int width, int height) {
  return PicturePoint{(screenWidth - width) / 2, (screenHeight - height) / 2};
}

bool WallpaperCache::Update(const WallpaperSettings& settings) {
  if (settings == cached) return false;
  cached = settings;
  return true;
}

}  // namespace ticker
