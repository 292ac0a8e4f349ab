#include "support/draw/dib_math.h"

#include <algorithm>
#include <limits>

std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IsSupportedDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

std::uint64_t DibStride(std::int64_t width, int bpp) {
  if (width <= 0 || !IsSupportedDepth(bpp) || width > (1ll << 30)) return 0;
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp) + 31) / 32 * 4;
}

bool DibImageSize(std::int64_t width, std::int64_t height, int bpp, std::uint64_t& bytes) {
  const std::uint64_t stride = DibStride(width, bpp);
  if (stride == 0 || height <= 0 || height > (1ll << 30)) return false;
  if (stride > kMaxDibImageBytes / static_cast<std::uint64_t>(height)) return false;
  bytes = stride * static_cast<std::uint64_t>(height);
  return true;
}

std::uint32_t DibPaletteEntries(int bpp, std::uint32_t clrUsed) {
  if (bpp > 8 || bpp <= 0) return 0;
  const std::uint32_t full = 1u << bpp;
  return (clrUsed == 0 || clrUsed > full) ? full : clrUsed;
}

std::uint64_t DibColourCount(int bpp, std::uint32_t clrUsed) {
  if (clrUsed != 0) return clrUsed;
  if (bpp <= 0 || bpp > 32) return 0;
  return 1ull << bpp;
}

std::size_t InfoBlockBytes(std::uint32_t headerSize, int bpp, std::uint32_t compression,
                           std::uint32_t clrUsed) {
  if (headerSize < 12 || headerSize > kInfoBlockBytes) return 0;
  std::uint64_t bytes = headerSize;
  if (compression != 0) bytes += 64;
  if (bpp < 16) bytes += static_cast<std::uint64_t>(DibPaletteEntries(bpp, clrUsed)) * 4;
  return bytes <= kInfoBlockBytes ? static_cast<std::size_t>(bytes) : 0;
}

bool CheckBitmapFile(const std::uint8_t* head, std::size_t headBytes, std::uint64_t fileSize) {
  constexpr std::size_t kFile = kBitmapFileHeaderBytes;
  constexpr std::uint32_t kCoreHeader = 12;
  if (!head || headBytes < kFile + kCoreHeader || fileSize < headBytes) return false;
  if (ReadLe16(head) != kBitmapFileType) return false;
  const std::uint32_t offBits = ReadLe32(head + 10);
  const std::uint8_t* info = head + kFile;
  const std::uint32_t headerSize = ReadLe32(info);
  std::uint64_t image = 0;
  std::uint64_t tableEnd = 0;
  if (headerSize == kCoreHeader) {
    // The core header: unsigned 16-bit sizes, no compression, a full table of 3-byte entries.
    const std::uint16_t width = ReadLe16(info + 4);
    const std::uint16_t height = ReadLe16(info + 6);
    const int bpp = ReadLe16(info + 10);
    if (width == 0 || height == 0 || ReadLe16(info + 8) != 1) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return false;
    if (!DibImageSize(width, height, bpp, image)) return false;
    tableEnd = kFile + kCoreHeader + (bpp <= 8 ? (1ull << bpp) * 3 : 0);
  } else {
    // 40 (plain), 52/56 (bit masks), 64, 108 (V4) or 124 (V5) bytes; it must lie within the bytes read.
    if (headerSize < 40 || headerSize > kBitmapInfoReadBytes || kFile + headerSize > headBytes) return false;
    const std::int32_t width = static_cast<std::int32_t>(ReadLe32(info + 4));
    const std::int32_t height = static_cast<std::int32_t>(ReadLe32(info + 8));
    const std::uint16_t planes = ReadLe16(info + 12);
    const int bpp = ReadLe16(info + 14);
    const std::uint32_t compression = ReadLe32(info + 16);
    const std::uint32_t sizeImage = ReadLe32(info + 20);
    const std::uint32_t clrUsed = ReadLe32(info + 32);
    // A negative height is a top-down file; its rows are as many as the absolute value says.
    const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (width <= 0 || rows == 0 || planes != 1 || !IsSupportedDepth(bpp)) return false;
    if (bpp <= 8 && clrUsed > (1u << bpp)) return false;
    if (!DibImageSize(width, rows, bpp, image)) return false;
    std::uint64_t masks = 0;
    switch (compression) {
      case 0:  // plain rows
        break;
      case 3:  // bit fields: three masks after a 40-byte header
        if (bpp != 16 && bpp != 32) return false;
        if (headerSize == 40) masks = 12;
        // A longer header holds the masks itself, so it is at least 52 bytes (40 to 51 is neither).
        else if (headerSize < 52)
          return false;
        break;
      case 1:  // RLE8
      case 2:  // RLE4
        if ((compression == 1 && bpp != 8) || (compression == 2 && bpp != 4)) return false;
        if (sizeImage == 0 || height < 0) return false;  // compressed rows are never top-down
        image = sizeImage;                               // compressed data may be shorter than the plain rows
        break;
      default:
        return false;
    }
    tableEnd = kFile + headerSize + masks + static_cast<std::uint64_t>(DibPaletteEntries(bpp, clrUsed)) * 4;
  }
  // The colour table may run past the bytes read (a 124-byte header and 256 entries do), but not
  // into the pixels or past the end of the file.
  if (offBits < tableEnd || offBits > fileSize) return false;
  return image <= fileSize - offBits;
}

bool ReadBitmapFileInfo(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& info,
                        std::size_t& pixelsAt) {
  if (!file || !CheckBitmapFile(file, std::min(size, kBitmapFileHeaderBytes + kBitmapInfoReadBytes), size))
    return false;
  const std::uint8_t* in = file + kBitmapFileHeaderBytes;
  const std::uint32_t headerSize = ReadLe32(in);
  info.assign(40, 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    info[at] = static_cast<std::uint8_t>(v), info[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) info[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  if (headerSize == 12) {
    const int bpp = ReadLe16(in + 10);
    const std::uint32_t entries = bpp <= 8 ? 1u << bpp : 0;
    put32(0, 40);
    put32(4, ReadLe16(in + 4));
    put32(8, ReadLe16(in + 6));
    put16(12, 1);
    put16(14, static_cast<std::uint32_t>(bpp));
    put32(32, entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint8_t* triple = in + 12 + static_cast<std::size_t>(i) * 3;
      info.insert(info.end(), {triple[0], triple[1], triple[2], 0});
    }
  } else {
    const std::uint32_t compression = ReadLe32(in + 16);
    if (compression != 0 && compression != 3) return false;  // the system decompresses
    std::copy(in, in + 40, info.begin());
    put32(0, 40);
    // Bit-field masks follow a 40-byte header and open a longer one: at byte 40 either way.
    if (compression == 3) info.insert(info.end(), in + 40, in + 52);
    const std::uint8_t* table = in + headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
    const std::uint32_t entries = DibPaletteEntries(ReadLe16(in + 14), ReadLe32(in + 32));
    info.insert(info.end(), table, table + static_cast<std::size_t>(entries) * 4);
  }
  pixelsAt = ReadLe32(file + 10);
  return true;
}

std::uint32_t NearestPaletteIndex(const std::uint8_t* quads, std::uint32_t count, std::uint8_t red,
                                  std::uint8_t green, std::uint8_t blue) {
  std::uint32_t best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* quad = quads + static_cast<std::size_t>(i) * 4;
    const long db = static_cast<long>(quad[0]) - blue;
    const long dg = static_cast<long>(quad[1]) - green;
    const long dr = static_cast<long>(quad[2]) - red;
    const long d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

namespace {
std::uint8_t* RowStart(std::uint8_t* bits, std::uint64_t stride, int height, int y) {
  return bits + static_cast<std::uint64_t>(height - y - 1) * stride;
}
}  // namespace

std::uint32_t ReadDibPixel(const std::uint8_t* bits, std::uint64_t stride, int height, int bpp, int x,
                           int y) {
  const std::uint8_t* row = RowStart(const_cast<std::uint8_t*>(bits), stride, height, y);
  switch (bpp) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4:
      return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0Fu);
    case 8:
      return row[x];
    case 16:
      return ReadLe16(row + static_cast<std::ptrdiff_t>(x) * 2);
    case 24: {
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
      return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16);
    }
    case 32:
      return ReadLe32(row + static_cast<std::ptrdiff_t>(x) * 4);
    default:
      return 0;
  }
}

void WriteDibPixel(std::uint8_t* bits, std::uint64_t stride, int height, int bpp, int x, int y,
                   std::uint32_t v) {
  std::uint8_t* row = RowStart(bits, stride, height, y);
  switch (bpp) {
    case 1: {
      const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
      row[x / 8] = static_cast<std::uint8_t>(v ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
      break;
    }
    case 4:
      row[x / 2] = static_cast<std::uint8_t>(x % 2 == 0 ? ((row[x / 2] & 0x0F) | ((v & 0x0F) << 4))
                                                        : ((row[x / 2] & 0xF0) | (v & 0x0F)));
      break;
    case 8:
      row[x] = static_cast<std::uint8_t>(v);
      break;
    case 16:
    case 24:
    case 32:
      for (int i = 0; i < bpp / 8; ++i) row[x * (bpp / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
      break;
    default:
      break;
  }
}

std::size_t MaskStride(int width) {
  return width <= 0 ? 0 : static_cast<std::size_t>((width + 15) / 16 * 2);
}

bool BuildKeyMask(std::uint8_t* bits, int width, int height, int bpp, std::uint32_t keyRaw,
                  std::vector<std::uint8_t>& mask, std::uint32_t blackRaw) {
  if (!bits || width <= 0 || height <= 0) return false;
  if (bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  const std::uint64_t stride = DibStride(width, bpp);
  const std::size_t maskStride = MaskStride(width);
  mask.assign(maskStride * static_cast<std::size_t>(height), 0xFF);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The fourth byte of a 32-bit pixel is unused and may hold anything.
      const std::uint32_t raw = ReadDibPixel(bits, stride, height, bpp, x, y);
      if (bpp == 32 ? ((raw ^ keyRaw) & 0x00FFFFFFu) == 0 : raw == keyRaw) {
        WriteDibPixel(bits, stride, height, bpp, x, y, blackRaw);
      } else {
        std::uint8_t& b = mask[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x / 8)];
        b = static_cast<std::uint8_t>(b & ~(0x80 >> (x % 8)));
      }
    }
  }
  return true;
}

std::vector<DibTile> TileRects(int x, int y, int width, int height, int sourceX, int sourceY, int bitmapWidth,
                               int bitmapHeight) {
  std::vector<DibTile> tiles;
  if (width <= 0 || height <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0) return tiles;
  sourceX = ((sourceX % bitmapWidth) + bitmapWidth) % bitmapWidth;
  sourceY = ((sourceY % bitmapHeight) + bitmapHeight) % bitmapHeight;
  int sy = sourceY;
  for (int ty = y; ty < y + height;) {
    const int h = std::min(bitmapHeight - sy, y + height - ty);
    int sx = sourceX;
    for (int tx = x; tx < x + width;) {
      const int w = std::min(bitmapWidth - sx, x + width - tx);
      tiles.push_back(DibTile{DibRect{tx, ty, tx + w, ty + h}, sx, sy});
      tx += w;
      sx = 0;
    }
    ty += h;
    sy = 0;
  }
  return tiles;
}

std::vector<StretchPiece> StretchPieces(int sourceLength, int destLength, int screenLength) {
  std::vector<StretchPiece> pieces;
  if (sourceLength <= 0 || destLength <= 0) return pieces;
  if (screenLength <= 0 || sourceLength <= screenLength) {
    pieces.push_back(StretchPiece{0, sourceLength, 0, destLength});
    return pieces;
  }
  const int count = (sourceLength + screenLength - 1) / screenLength;
  const int sourceStep = sourceLength / count;
  const int destStep = destLength / count;
  for (int i = 0; i < count; ++i) {
    StretchPiece p;
    p.sourceOffset = i * sourceStep;
    p.destOffset = i * destStep;
    const bool last = i == count - 1;
    // One pixel of overlap, so rounding in the stretch never leaves a gap between pieces.
    p.sourceLength = last ? sourceLength - p.sourceOffset : sourceStep + 1;
    p.destLength = last ? destLength - p.destOffset : destStep + 1;
    if (p.destLength > 0 && p.sourceLength > 0) pieces.push_back(p);
  }
  return pieces;
}

bool ClipCapture(int& x, int& y, int& width, int& height, int& screenX, int& screenY, int screenWidth,
                 int screenHeight) {
  if (width <= 0 || height <= 0 || screenWidth <= 0 || screenHeight <= 0) return false;
  long long left = screenX, top = screenY, right = left + width, bottom = top + height;
  if (left < 0) {
    x = static_cast<int>(x - left);
    left = 0;
  }
  if (top < 0) {
    y = static_cast<int>(y - top);
    top = 0;
  }
  right = std::min<long long>(right, screenWidth);
  bottom = std::min<long long>(bottom, screenHeight);
  if (right <= left || bottom <= top) return false;
  screenX = static_cast<int>(left);
  screenY = static_cast<int>(top);
  width = static_cast<int>(right - left);
  height = static_cast<int>(bottom - top);
  return true;
}

int GlyphTextWeight(int grey) {
  if (grey <= 0) return 0;
  if (grey >= 64) return 255;
  return 4 * grey - 1;
}

std::uint8_t BlendChannel(std::uint8_t background, std::uint8_t text, int weight) {
  weight = std::clamp(weight, 0, 255);
  return static_cast<std::uint8_t>(background * (255 - weight) / 255 + text * weight / 255);
}

std::uint32_t BlendColour(std::uint32_t background, std::uint32_t text, int weight) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const auto b = static_cast<std::uint8_t>(background >> shift);
    const auto t = static_cast<std::uint8_t>(text >> shift);
    out |= static_cast<std::uint32_t>(BlendChannel(b, t, weight)) << shift;
  }
  return out;
}

int ScaleToResolution(int size, unsigned to, unsigned from) {
  if (to == 0) to = 96;
  if (from == 0) from = 96;
  const long long product = static_cast<long long>(size) * to;
  const long long half = from / 2;
  long long scaled = product >= 0 ? (product + half) / from : -((-product + half) / from);
  if (scaled > std::numeric_limits<int>::max()) scaled = std::numeric_limits<int>::max();
  if (scaled < std::numeric_limits<int>::min()) scaled = std::numeric_limits<int>::min();
  return static_cast<int>(scaled);
}
