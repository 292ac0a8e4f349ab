// Fonts described by three plain values: a face name, a size in tenths of a point and a free
// style text of English or Japanese words ("標準|下線", "bold italic", "取消線ボールド").
// The description is worked out here, portably; the Windows half makes the font from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The face-name field holds 32 bytes with its terminating NUL.
constexpr std::size_t kMaxFaceBytes = 31;

// Character set of a styled font: the default set, so Japanese faces keep their own glyphs.
constexpr std::uint8_t kStyledFontCharset = 1;

struct FontStyle {
  std::int32_t pointTenths = 0;  // requested size, 90 = 9 pt
  std::int32_t weight = 0;       // 700 with a bold word, else 0 (the default weight)
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  std::uint8_t charset = kStyledFontCharset;
  std::string face;  // at most kMaxFaceBytes bytes, never ending in half a double-byte character
};

// Reads the style words out of style (upper-cased first, so "bold" counts) and copies the face.
FontStyle ParseFontStyle(std::string_view face, std::int32_t pointTenths, std::string_view style);

// The face cut to at most maxBytes bytes at a character boundary.
std::string TruncateFaceName(std::string_view face, std::size_t maxBytes = kMaxFaceBytes);

// Logical height of a font of pointTenths tenths of a point on a device with dpi pixels per inch:
// negative (a character height, not a cell height), 0 for size 0.
std::int32_t PointTenthsToHeight(std::int32_t pointTenths, std::int32_t dpi);

// The hand cursor's picture: 16 pixels wide, 17 rows high, one byte per pixel for each plane.
constexpr int kHandCursorWidth = 16;
constexpr int kHandCursorHeight = 17;
// Pixel (x, y) of the AND pattern (1: the screen shows through) and of the XOR pattern (1: white
// where the AND pattern is 0, inverted where it is 1).
std::uint8_t HandCursorAnd(int x, int y);
std::uint8_t HandCursorXor(int x, int y);

// The AND and XOR planes of a monochrome cursor of width x height pixels (rows padded to 16 bits):
// AND all ones and XOR all zeros, with the hand set bit by bit into the top-left corner. False
// when the cursor is smaller than the hand or the planes are too small.
bool BuildHandCursorPlanes(int width, int height, std::uint8_t* andPlane, std::uint8_t* xorPlane,
                           std::size_t planeBytes);
// Bytes of one plane for a width x height cursor.
std::size_t CursorPlaneBytes(int width, int height);
