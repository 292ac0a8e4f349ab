// The arithmetic of the drawing surface, kept apart from GDI so that it can be checked on any
// machine: row strides and image sizes, bitmap-file header checks, key-colour masks for every
// supported depth, window-region runs, tiles, screen-size stretch pieces, capture clipping and
// the blending of anti-aliased glyph coverage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DibRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const DibRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Largest pixel block a surface accepts (256 MiB): a header asking for more is refused rather
// than trusted.
constexpr std::uint64_t kMaxDibImageBytes = 256ull << 20;

// Bytes per row, padded to 4 bytes; 0 for a non-positive width or an unknown depth.
std::uint64_t DibStride(std::int64_t width, int bitsPerPixel);
// Stride × height within kMaxDibImageBytes; false for empty or oversized images.
bool DibImageSize(std::int64_t width, std::int64_t height, int bitsPerPixel, std::uint64_t& bytes);
bool IsSupportedDepth(int bitsPerPixel);  // 1, 4, 8, 16, 24, 32

// Colours of the table: clrUsed when the header gives one (at most 2^bits), else 2^bits; 0 above
// 8 bits per pixel, where there is no table.
std::uint32_t DibPaletteEntries(int bitsPerPixel, std::uint32_t clrUsed);
// 2^bits, or clrUsed when given: the surface's colour count (never overflows).
std::uint64_t DibColourCount(int bitsPerPixel, std::uint32_t clrUsed);

// Size of the header block a surface keeps: the header, plus 64 bytes for a compressed or
// bit-field format, plus the colour table below 16 bits per pixel. 0 when it does not fit
// kInfoBlockBytes.
constexpr std::size_t kInfoBlockBytes = 1068;
std::size_t InfoBlockBytes(std::uint32_t headerSize, int bitsPerPixel, std::uint32_t compression,
                           std::uint32_t clrUsed);

// Reading a .bmp file: the 14-byte file header, then at most 1064 bytes of header and colour
// table.
constexpr std::size_t kBitmapFileHeaderBytes = 14;
constexpr std::size_t kBitmapInfoReadBytes = 1064;
constexpr std::uint16_t kBitmapFileType = 19778;  // "BM"

// Checks the start of a .bmp file of fileSize bytes (head holds its first headBytes bytes, at most
// 14 + 1064): the "BM" type; the 12-byte core header or a known header of 40 bytes or more, read
// whole; a positive width and a non-zero height (negative: the rows are stored top-down); a
// supported depth; a plain or bit-field layout (or RLE at 4 / 8 bits, bottom-up only); a colour
// table that ends before the pixels; and pixel data lying inside the file. A file that lies about
// any of these is refused before the system's loader reads it.
bool CheckBitmapFile(const std::uint8_t* head, std::size_t headBytes, std::uint64_t fileSize);

// The picture description of a whole .bmp file (size bytes) that passes CheckBitmapFile, for the
// kinds a system loader may read wrong: a plain 40-byte header (the file's height, negative for
// top-down rows), the bit-field masks and a colour table of 4-byte entries into info, and the
// offset of the pixels into pixelsAt. The core header's 16-bit sizes and 3-byte entries are
// widened. False for a compressed file or one that fails the check.
bool ReadBitmapFileInfo(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& info,
                        std::size_t& pixelsAt);

// Little-endian field reads.
std::uint16_t ReadLe16(const std::uint8_t* p);
std::uint32_t ReadLe32(const std::uint8_t* p);

// The palette entry (blue, green, red, reserved quads) nearest to the colour; 0 for an empty
// palette. Ties go to the lower index.
std::uint32_t NearestPaletteIndex(const std::uint8_t* quads, std::uint32_t count, std::uint8_t red,
                                  std::uint8_t green, std::uint8_t blue);

// The raw value of pixel (x, y) of bottom-up pixel memory (x, y from the top-left).
std::uint32_t ReadDibPixel(const std::uint8_t* bits, std::uint64_t stride, int height, int bitsPerPixel,
                           int x, int y);
void WriteDibPixel(std::uint8_t* bits, std::uint64_t stride, int height, int bitsPerPixel, int x, int y,
                   std::uint32_t value);

// Monochrome mask rows (top-down, padded to 16 bits) for CreateBitmap.
std::size_t MaskStride(int width);

// Builds the key-colour mask of a 4, 8, 16, 24 or 32-bit image: a bit set (white) where the pixel
// equals keyRaw (at 32 bits the unused top byte is ignored), clear elsewhere; every key pixel of the image
// becomes blackRaw, the raw value of black (0 except in a colour table whose entry 0 is another
// colour), so that the transparent drawing's OR pass adds nothing there. Returns false for another
// depth (no mask) or empty sizes.
bool BuildKeyMask(std::uint8_t* bits, int width, int height, int bitsPerPixel, std::uint32_t keyRaw,
                  std::vector<std::uint8_t>& mask, std::uint32_t blackRaw = 0);

// One-pixel-high rectangles covering every run of pixels for which isKey is false, row by row.
template <typename IsKey>
std::vector<DibRect> RegionRuns(int width, int height, IsKey isKey) {
  std::vector<DibRect> runs;
  for (int y = 0; y < height; ++y) {
    int x = 0;
    while (x < width) {
      while (x < width && isKey(x, y)) ++x;
      if (x >= width) break;
      int start = x;
      while (x < width && !isKey(x, y)) ++x;
      runs.push_back(DibRect{start, y, x, y + 1});
    }
  }
  return runs;
}

// One tile of a tiled drawing: where it goes and which part of the bitmap it shows.
struct DibTile {
  DibRect dest;
  int sourceX = 0, sourceY = 0;
};
// Tiles filling destination (x, y, width, height) with a bitmapWidth × bitmapHeight bitmap, the
// first tile starting at (sourceX, sourceY) of the bitmap (offsets taken modulo the bitmap).
std::vector<DibTile> TileRects(int x, int y, int width, int height, int sourceX, int sourceY, int bitmapWidth,
                               int bitmapHeight);

// One piece of a stretch split to screen-size pieces, along one axis.
struct StretchPiece {
  int sourceOffset = 0, sourceLength = 0, destOffset = 0, destLength = 0;
};
// Splits a source length into ceil(source / screen) pieces of source / pieces + 1 pixels (the last
// one the remainder), the destination likewise. One piece when the source fits the screen.
std::vector<StretchPiece> StretchPieces(int sourceLength, int destLength, int screenLength);

// The screen rectangle (screenX, screenY, width, height) cut to the screen and to non-negative
// coordinates, the destination (x, y) moved by what was cut on the left or top. False when
// nothing is left.
bool ClipCapture(int& x, int& y, int& width, int& height, int& screenX, int& screenY, int screenWidth,
                 int screenHeight);

// Anti-aliased glyph blending: a grey value 0-64 gives the text weight 4g - 1 (255 at 64); each
// channel is floor(background × (255 - weight) / 255) + floor(text × weight / 255).
int GlyphTextWeight(int grey);
std::uint8_t BlendChannel(std::uint8_t background, std::uint8_t text, int weight);
// Colours as 0x00BBGGRR.
std::uint32_t BlendColour(std::uint32_t background, std::uint32_t text, int weight);
// Below this weight the background is read from the surface; above, the text colour stands in.
constexpr int kGlyphReadBackgroundBelow = 150;

// size, a length in pixels at resolution from (dots per inch), at resolution to: rounded to the
// nearest pixel, halves away from zero, as MulDiv does, and held within int. A resolution of 0
// counts as 96, the resolution every fixed size of the programs is written for.
int ScaleToResolution(int size, unsigned to, unsigned from);
