#include "support/draw/font_style.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "support/text/sjis.h"

namespace {

bool ContainsAny(std::string_view text, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (sjis::Find(text, w) != std::string_view::npos) return true;
  }
  return false;
}

// The pointing hand: '#' black outline, 'o' white inside, '.' see-through.
constexpr const char* kHandPicture[kHandCursorHeight] = {
    ".....##.........",  //
    "....#oo#........",  //
    "....#oo#........",  //
    "....#oo#........",  //
    "....#oo###......",  //
    "....#oo#oo###...",  //
    "....#oo#oo#oo##.",  //
    ".##.#oo#oo#oo#o#",  //
    "#oo##oooooooo#o#",  //
    "#ooo#oooooooooo#",  //
    ".#ooooooooooooo#",  //
    "..#oooooooooooo#",  //
    "..#ooooooooooo#.",  //
    "...#oooooooooo#.",  //
    "....#oooooooo#..",  //
    "....#oooooooo#..",  //
    "....##########..",  //
};

using Pattern = std::array<std::uint8_t, static_cast<std::size_t>(kHandCursorWidth) * kHandCursorHeight>;

constexpr Pattern MakePattern(char set) {
  Pattern p{};
  for (int y = 0; y < kHandCursorHeight; ++y) {
    for (int x = 0; x < kHandCursorWidth; ++x)
      p[y * kHandCursorWidth + x] = kHandPicture[y][x] == set ? 1 : 0;
  }
  return p;
}

constexpr Pattern kAndPattern = MakePattern('.');
constexpr Pattern kXorPattern = MakePattern('o');

}  // namespace

std::string TruncateFaceName(std::string_view face, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < face.size()) {
    std::size_t next = sjis::NextChar(face, end);
    // A lead byte without its trail byte (the face's last byte) is not kept: the name the system
    // gets must end on a whole character.
    if (next > maxBytes || (sjis::IsLeadByte(face[end]) && next - end < 2)) break;
    end = next;
  }
  return std::string(face.substr(0, end));
}

FontStyle ParseFontStyle(std::string_view face, std::int32_t pointTenths, std::string_view style) {
  FontStyle f;
  f.pointTenths = pointTenths;
  f.face = TruncateFaceName(face);
  const std::string upper = sjis::ToUpper(style);
  if (ContainsAny(upper, {"太字", "ボールド", "BOLD"})) f.weight = 700;
  f.italic = ContainsAny(upper, {"イタリック", "斜体", "ITALIC"});
  f.underline = ContainsAny(upper, {"下線", "アンダーライン", "UNDERLINE"});
  f.strikeOut = ContainsAny(upper, {"取り消し線", "取消線", "取消し線", "STRIKEOUT"});
  return f;
}

std::int32_t PointTenthsToHeight(std::int32_t pointTenths, std::int32_t dpi) {
  // Tenths of a point to pixels: dpi / 72 pixels per point, in 64 bits. A size from spoiled
  // settings times a large dpi still exceeds 32 bits; cut off, it could come out positive.
  long long pixels = std::llabs(static_cast<long long>(dpi) * pointTenths / 720);
  if (pixels > INT32_MAX) pixels = INT32_MAX;
  return static_cast<std::int32_t>(-pixels);
}

std::uint8_t HandCursorAnd(int x, int y) {
  return kAndPattern[y * kHandCursorWidth + x];
}
std::uint8_t HandCursorXor(int x, int y) {
  return kXorPattern[y * kHandCursorWidth + x];
}

std::size_t CursorPlaneBytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<std::size_t>((width + 15) / 16 * 2) * static_cast<std::size_t>(height);
}

bool BuildHandCursorPlanes(int width, int height, std::uint8_t* andPlane, std::uint8_t* xorPlane,
                           std::size_t planeBytes) {
  if (width < kHandCursorWidth || height < kHandCursorHeight) return false;
  const std::size_t bytes = CursorPlaneBytes(width, height);
  if (bytes == 0 || planeBytes < bytes || !andPlane || !xorPlane) return false;
  const std::size_t stride = bytes / static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < bytes; ++i) {
    andPlane[i] = 0xFF;
    xorPlane[i] = 0;
  }
  for (int y = 0; y < kHandCursorHeight; ++y) {
    for (int x = 0; x < kHandCursorWidth; ++x) {
      const std::size_t at = y * stride + x / 8;
      const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
      if (!HandCursorAnd(x, y)) andPlane[at] = static_cast<std::uint8_t>(andPlane[at] & ~bit);
      if (HandCursorXor(x, y)) xorPlane[at] = static_cast<std::uint8_t>(xorPlane[at] | bit);
    }
  }
  return true;
}
