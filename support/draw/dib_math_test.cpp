#include "support/draw/dib_math.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A .bmp file image: file header, 40-byte header, optional palette and pixel rows.
std::vector<std::uint8_t> MakeBmp(std::int32_t width, std::int32_t height, int bpp,
                                  std::uint32_t paletteEntries = 0) {
  std::uint64_t image = 0;
  DibImageSize(width > 0 ? width : 1,
               height > 0   ? height
               : height < 0 ? -std::int64_t{height}
                            : 1,
               bpp, image);
  const std::uint32_t offBits = 14 + 40 + paletteEntries * 4;
  std::vector<std::uint8_t> f(offBits + image, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) { f[at] = v & 0xFF, f[at + 1] = v >> 8; };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put32(2, static_cast<std::uint32_t>(f.size()));
  put32(10, offBits);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put16(26, 1);
  put16(28, static_cast<std::uint16_t>(bpp));
  put32(46, paletteEntries);
  return f;
}

bool Check(const std::vector<std::uint8_t>& f, std::uint64_t fileSize = 0) {
  const std::size_t head = std::min<std::size_t>(f.size(), 14 + 1064);
  return CheckBitmapFile(f.data(), head, fileSize ? fileSize : f.size());
}

}  // namespace

TEST(DibMath, StrideImageSizeAndInfoBlock) {
  EXPECT_EQ(DibStride(1, 24), 4u);
  EXPECT_EQ(DibStride(5, 24), 16u);
  EXPECT_EQ(DibStride(3, 4), 4u);
  EXPECT_EQ(DibStride(33, 1), 8u);
  EXPECT_EQ(DibStride(0, 24), 0u);
  EXPECT_EQ(DibStride(10, 7), 0u);
  std::uint64_t bytes = 0;
  EXPECT_TRUE(DibImageSize(640, 480, 32, bytes));
  EXPECT_EQ(bytes, 640u * 480u * 4u);
  EXPECT_FALSE(DibImageSize(0x7FFFFFFF, 0x7FFFFFFF, 32, bytes));  // would overflow 32 bits many times
  EXPECT_FALSE(DibImageSize(100000, 100000, 32, bytes));          // 40 GB
  EXPECT_FALSE(DibImageSize(10, -10, 32, bytes));

  EXPECT_EQ(InfoBlockBytes(40, 8, 0, 0), 40u + 1024u);
  EXPECT_EQ(InfoBlockBytes(40, 4, 0, 3), 40u + 12u);
  EXPECT_EQ(InfoBlockBytes(40, 24, 0, 0), 40u);
  EXPECT_EQ(InfoBlockBytes(40, 16, 3, 0), 104u);
  EXPECT_EQ(InfoBlockBytes(40, 4, 2, 0), 40u + 64u + 64u);
  EXPECT_EQ(InfoBlockBytes(40, 8, 1, 0), 0u);   // 1128 bytes would not fit the 1068-byte block
  EXPECT_EQ(InfoBlockBytes(124, 8, 0, 0), 0u);  // would not fit
  EXPECT_EQ(DibColourCount(32, 0), 1ull << 32);
  EXPECT_EQ(DibColourCount(8, 20), 20u);
}

TEST(DibMath, BitmapFileChecksRefuseLyingHeaders) {
  EXPECT_TRUE(Check(MakeBmp(2, 2, 24)));
  EXPECT_TRUE(Check(MakeBmp(3, 5, 8, 256)));
  EXPECT_TRUE(Check(MakeBmp(3, 5, 4, 16)));

  auto f = MakeBmp(2, 2, 24);
  f[0] = 'X';
  EXPECT_FALSE(Check(f)) << "no BM";
  EXPECT_FALSE(Check(MakeBmp(0, 2, 24))) << "zero width";
  EXPECT_FALSE(Check(MakeBmp(2, 0, 24))) << "zero height";
  EXPECT_FALSE(Check(MakeBmp(-2, 2, 24))) << "negative width";
  EXPECT_TRUE(Check(MakeBmp(2, -2, 24))) << "negative height: a top-down file";
  EXPECT_TRUE(Check(MakeBmp(3, -5, 8, 256)));
  f = MakeBmp(2, -2, 24);
  f.pop_back();
  EXPECT_FALSE(Check(f)) << "a top-down file needs its absolute height of rows";
  f = MakeBmp(2, 2, 24);
  f[22] = 0x00, f[23] = 0x00, f[24] = 0x00, f[25] = 0x80;  // height -2^31
  EXPECT_FALSE(Check(f));
  EXPECT_FALSE(Check(MakeBmp(2, 2, 7))) << "unknown depth";

  f = MakeBmp(2, 2, 24);
  f.resize(f.size() - 1);
  EXPECT_FALSE(Check(f)) << "pixels beyond the end of the file";

  f = MakeBmp(2, 2, 24);
  f[18] = 0xFF, f[19] = 0xFF, f[20] = 0xFF, f[21] = 0x7F;  // width 2^31 - 1
  f[22] = 0xFF, f[23] = 0xFF, f[24] = 0xFF, f[25] = 0x7F;
  EXPECT_FALSE(Check(f)) << "width x height overflowing";

  f = MakeBmp(2, 2, 24);
  f[10] = 0xF0, f[11] = 0xFF;  // pixels said to start far beyond the file
  EXPECT_FALSE(Check(f));
  f = MakeBmp(2, 2, 24);
  f[10] = 20;  // pixels said to start inside the header
  EXPECT_FALSE(Check(f));

  f = MakeBmp(2, 2, 24);
  f[14] = 0xFF, f[15] = 0xFF;  // header size beyond what was read
  EXPECT_FALSE(Check(f));

  f = MakeBmp(4, 4, 8, 256);
  f[46] = 0x00, f[47] = 0x02;  // 512 palette entries for 8 bits
  EXPECT_FALSE(Check(f));

  f = MakeBmp(4, 4, 8, 256);
  f[10] = 0x36, f[11] = 0x01;  // pixels said to start inside the colour table
  EXPECT_FALSE(Check(f));

  f = MakeBmp(2, 2, 24);
  EXPECT_FALSE(CheckBitmapFile(f.data(), 20, f.size())) << "truncated before the header ends";
  EXPECT_FALSE(CheckBitmapFile(f.data(), f.size(), 10)) << "file size smaller than what was read";
}

TEST(DibMath, PaletteNearestIndex) {
  const std::uint8_t quads[] = {0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 0, 0, 250, 5, 250, 0};
  EXPECT_EQ(NearestPaletteIndex(quads, 4, 255, 0, 255), 1u);
  EXPECT_EQ(NearestPaletteIndex(quads, 4, 10, 10, 10), 0u);
  EXPECT_EQ(NearestPaletteIndex(quads, 4, 0, 200, 0), 2u);
  EXPECT_EQ(NearestPaletteIndex(quads, 0, 1, 2, 3), 0u);
}

// Every depth: key pixels are blackened and set in the mask, others cleared; rows are bottom-up.
TEST(DibMath, KeyMaskForEveryDepth) {
  struct Case {
    int bpp;
    std::uint32_t key, other;
  };
  for (Case c : {Case{4, 0x5, 0x3}, Case{8, 0xFD, 0x10}, Case{16, 0x7C1F, 0x03E0},
                 Case{24, 0xFF00FF, 0x00FF00}, Case{32, 0xFF00FF, 0x123456}}) {
    const int w = 19, h = 3;
    std::vector<std::uint8_t> bits(DibStride(w, c.bpp) * h, 0);
    const std::uint64_t stride = DibStride(w, c.bpp);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        WriteDibPixel(bits.data(), stride, h, c.bpp, x, y, (x + y) % 3 == 0 ? c.key : c.other);
    std::vector<std::uint8_t> mask;
    ASSERT_TRUE(BuildKeyMask(bits.data(), w, h, c.bpp, c.key, mask)) << c.bpp;
    ASSERT_EQ(mask.size(), MaskStride(w) * h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool key = (x + y) % 3 == 0;
        const bool maskBit = (mask[y * MaskStride(w) + x / 8] >> (7 - x % 8)) & 1;
        EXPECT_EQ(maskBit, key) << c.bpp << " at " << x << "," << y;
        EXPECT_EQ(ReadDibPixel(bits.data(), stride, h, c.bpp, x, y), key ? 0u : c.other) << c.bpp;
      }
    }
    // The top row of the picture is the last row in memory.
    EXPECT_EQ(ReadDibPixel(bits.data(), stride, h, c.bpp, 1, 0), c.other);
  }
  std::vector<std::uint8_t> bits(64), mask;
  // A colour table whose black is entry 3: the key pixels take that entry.
  bits.assign(DibStride(4, 8) * 2, 1);
  WriteDibPixel(bits.data(), DibStride(4, 8), 2, 8, 2, 1, 7);
  ASSERT_TRUE(BuildKeyMask(bits.data(), 4, 2, 8, 1, mask, 3));
  EXPECT_EQ(ReadDibPixel(bits.data(), DibStride(4, 8), 2, 8, 0, 0), 3u);
  EXPECT_EQ(ReadDibPixel(bits.data(), DibStride(4, 8), 2, 8, 2, 1), 7u);
  EXPECT_FALSE(BuildKeyMask(bits.data(), 4, 4, 1, 0, mask)) << "no mask for 1 bit";
  EXPECT_FALSE(BuildKeyMask(bits.data(), 0, 4, 8, 0, mask));
}

TEST(DibMath, RegionRunsPerRow) {
  // Row 0: ..##.#  Row 1: all key  Row 2: none key
  const char* rows[] = {"..##.#", "......", "######"};
  auto runs = RegionRuns(6, 3, [&](int x, int y) { return rows[y][x] == '.'; });
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0], (DibRect{2, 0, 4, 1}));
  EXPECT_EQ(runs[1], (DibRect{5, 0, 6, 1}));
  EXPECT_EQ(runs[2], (DibRect{0, 2, 6, 3}));
  EXPECT_TRUE(RegionRuns(6, 3, [](int, int) { return true; }).empty());
}

TEST(DibMath, TilesStartAtTheSourceOffsetAndCoverTheDestination) {
  auto tiles = TileRects(10, 20, 25, 12, 3, 2, 10, 8);
  // Columns: 7 (from source x 3), 10, 8; rows: 6 (from source y 2), 6.
  ASSERT_EQ(tiles.size(), 6u);
  EXPECT_EQ(tiles[0].dest, (DibRect{10, 20, 17, 26}));
  EXPECT_EQ(tiles[0].sourceX, 3);
  EXPECT_EQ(tiles[0].sourceY, 2);
  EXPECT_EQ(tiles[1].dest, (DibRect{17, 20, 27, 26}));
  EXPECT_EQ(tiles[1].sourceX, 0);
  EXPECT_EQ(tiles[2].dest, (DibRect{27, 20, 35, 26}));
  EXPECT_EQ(tiles[3].dest, (DibRect{10, 26, 17, 32}));
  EXPECT_EQ(tiles[3].sourceY, 0);
  long area = 0;
  for (auto& t : tiles) area += static_cast<long>(t.dest.Width()) * t.dest.Height();
  EXPECT_EQ(area, 25 * 12);
  EXPECT_TRUE(TileRects(0, 0, 10, 10, 0, 0, 0, 5).empty());
}

TEST(DibMath, StretchPiecesNeverExceedTheScreenByMoreThanTheOverlap) {
  auto one = StretchPieces(800, 400, 1024);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].sourceLength, 800);
  EXPECT_EQ(one[0].destLength, 400);

  auto pieces = StretchPieces(2500, 1250, 1024);  // 3 columns of 833 (+1)
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].sourceOffset, 0);
  EXPECT_EQ(pieces[0].sourceLength, 834);
  EXPECT_EQ(pieces[0].destLength, 417);
  EXPECT_EQ(pieces[1].sourceOffset, 833);
  EXPECT_EQ(pieces[1].destOffset, 416);
  EXPECT_EQ(pieces[2].sourceOffset, 1666);
  EXPECT_EQ(pieces[2].sourceLength, 2500 - 1666);
  EXPECT_EQ(pieces[2].destLength, 1250 - 832);
  EXPECT_TRUE(StretchPieces(0, 10, 1024).empty());
}

TEST(DibMath, CaptureClippedToTheScreen) {
  int x = 0, y = 0, w = 100, h = 50, sx = -30, sy = -10;
  ASSERT_TRUE(ClipCapture(x, y, w, h, sx, sy, 1024, 768));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 10);
  EXPECT_EQ(w, 70);
  EXPECT_EQ(h, 40);
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(sy, 0);

  x = 5, y = 5, w = 100, h = 100, sx = 1000, sy = 700;
  ASSERT_TRUE(ClipCapture(x, y, w, h, sx, sy, 1024, 768));
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 68);
  EXPECT_EQ(x, 5);

  x = 0, y = 0, w = 10, h = 10, sx = 2000, sy = 0;
  EXPECT_FALSE(ClipCapture(x, y, w, h, sx, sy, 1024, 768));
  x = 0, y = 0, w = 10, h = 10, sx = -10, sy = 0;
  EXPECT_FALSE(ClipCapture(x, y, w, h, sx, sy, 1024, 768));
  x = 0, y = 0, w = 0, h = 10, sx = 0, sy = 0;
  EXPECT_FALSE(ClipCapture(x, y, w, h, sx, sy, 1024, 768));
}

TEST(DibMath, GlyphCoverageBlending) {
  EXPECT_EQ(GlyphTextWeight(0), 0);
  EXPECT_EQ(GlyphTextWeight(1), 3);
  EXPECT_EQ(GlyphTextWeight(37), 147);
  EXPECT_EQ(GlyphTextWeight(64), 255);
  // Full coverage takes the text colour exactly.
  EXPECT_EQ(BlendColour(0x00123456, 0x00ABCDEF, GlyphTextWeight(64)), 0x00ABCDEFu);
  // Grey 1: 3/255 of white text over black, floors per channel.
  EXPECT_EQ(BlendColour(0x00000000, 0x00FFFFFF, GlyphTextWeight(1)), 0x00030303u);
  EXPECT_EQ(BlendChannel(200, 100, 128), static_cast<std::uint8_t>(200 * 127 / 255 + 100 * 128 / 255));
  EXPECT_EQ(BlendChannel(254, 254, 100), 253);  // both floors: 154 + 99
}

// The headers the system loader also reads: the 12-byte core header, and the 108/124-byte ones
// whose 256-entry colour table ends beyond the 14 + 1064 bytes read.
TEST(DibMath, BitmapFileChecksAcceptCoreAndLongHeaders) {
  auto core = [](std::uint16_t w, std::uint16_t h, int bpp) {
    const std::uint32_t table = bpp <= 8 ? (1u << bpp) * 3 : 0;
    std::uint64_t image = 0;
    DibImageSize(w ? w : 1, h ? h : 1, bpp, image);
    std::vector<std::uint8_t> f(14 + 12 + table + image, 0);
    f[0] = 'B', f[1] = 'M';
    const std::uint32_t off = 14 + 12 + table;
    std::memcpy(&f[10], &off, 4);
    f[14] = 12;
    std::memcpy(&f[18], &w, 2);
    std::memcpy(&f[20], &h, 2);
    f[22] = 1;
    f[24] = static_cast<std::uint8_t>(bpp);
    return f;
  };
  EXPECT_TRUE(Check(core(3, 2, 24)));
  EXPECT_TRUE(Check(core(5, 4, 8)));
  EXPECT_TRUE(Check(core(9, 3, 1)));
  EXPECT_FALSE(Check(core(0, 2, 24))) << "zero width";
  EXPECT_FALSE(Check(core(3, 2, 32))) << "no 32-bit core files";
  auto f = core(5, 4, 8);
  f.pop_back();
  EXPECT_FALSE(Check(f)) << "pixels beyond the end";
  f = core(5, 4, 8);
  f[10] = 14 + 12 + 10;  // pixels inside the 3-byte colour table
  EXPECT_FALSE(Check(f));
  EXPECT_FALSE(CheckBitmapFile(f.data(), 14 + 11, f.size())) << "core header cut short";

  for (std::uint32_t size : {108u, 124u}) {
    // 8 bits, 256 colours: the table ends at 14 + size + 1024, past the 1078 bytes read.
    const std::uint32_t off = 14 + size + 1024;
    std::vector<std::uint8_t> g(off + 4 * 2, 0);
    g[0] = 'B', g[1] = 'M';
    std::memcpy(&g[10], &off, 4);
    std::memcpy(&g[14], &size, 4);
    g[18] = 3;                                               // width 3 (rows of 4 bytes)
    g[22] = 0xFE, g[23] = 0xFF, g[24] = 0xFF, g[25] = 0xFF;  // height -2: top-down
    g[26] = 1;
    g[28] = 8;
    EXPECT_TRUE(Check(g)) << size;
    g[22] = 2, g[23] = 0, g[24] = 0, g[25] = 0;
    EXPECT_TRUE(Check(g)) << size;
    auto cut = g;
    cut.pop_back();
    EXPECT_FALSE(Check(cut)) << size << ": pixels beyond the end";
    auto early = g;
    const std::uint32_t inside = off - 4;
    std::memcpy(&early[10], &inside, 4);
    EXPECT_FALSE(Check(early)) << size << ": pixels inside the table";
    auto rle = g;
    rle[30] = 1;  // RLE8
    rle[34] = 8;  // compressed size
    EXPECT_TRUE(Check(rle)) << size;
    rle[22] = 0xFE, rle[23] = 0xFF, rle[24] = 0xFF, rle[25] = 0xFF;
    EXPECT_FALSE(Check(rle)) << size << ": compressed rows are never top-down";
  }
}

// The files read without the system's loader: the description comes out as a plain 40-byte
// header with 4-byte table entries and the height as the file gives it.
TEST(DibMath, BitmapFileInfoOfCoreAndTopDownFiles) {
  // Core header, 8 bits, 3 x 2: the 3-byte entries are widened.
  std::vector<std::uint8_t> core(14 + 12 + 256 * 3 + 8, 0);
  core[0] = 'B', core[1] = 'M';
  const std::uint32_t coreOff = 14 + 12 + 256 * 3;
  std::memcpy(&core[10], &coreOff, 4);
  core[14] = 12, core[18] = 3, core[20] = 2, core[22] = 1, core[24] = 8;
  core[26 + 5 * 3] = 0x11, core[26 + 5 * 3 + 1] = 0x22, core[26 + 5 * 3 + 2] = 0x33;  // entry 5
  std::vector<std::uint8_t> info;
  std::size_t at = 0;
  ASSERT_TRUE(ReadBitmapFileInfo(core.data(), core.size(), info, at));
  ASSERT_EQ(info.size(), 40u + 1024u);
  EXPECT_EQ(ReadLe32(info.data()), 40u);
  EXPECT_EQ(ReadLe32(info.data() + 4), 3u);
  EXPECT_EQ(ReadLe32(info.data() + 8), 2u);
  EXPECT_EQ(ReadLe16(info.data() + 14), 8u);
  EXPECT_EQ(ReadLe32(info.data() + 32), 256u);
  EXPECT_EQ(ReadLe32(info.data() + 40 + 20), 0x00332211u);  // entry 5 after the 40-byte header
  EXPECT_EQ(at, coreOff);

  // A top-down 124-byte header, 8 bits with 256 entries: the table past the first 1078 bytes is
  // taken whole.
  auto v5 = MakeBmp(3, -2, 8, 256);
  v5.insert(v5.begin() + 54, 124 - 40, 0);  // widen the header to 124 bytes
  const std::uint32_t v5Off = 14 + 124 + 1024;
  std::memcpy(&v5[10], &v5Off, 4);
  v5[14] = 124;
  v5[14 + 124 + 255 * 4] = 0x44;  // blue of the last entry
  ASSERT_TRUE(ReadBitmapFileInfo(v5.data(), v5.size(), info, at));
  ASSERT_EQ(info.size(), 40u + 1024u);
  EXPECT_EQ(ReadLe32(info.data()), 40u);
  EXPECT_EQ(static_cast<std::int32_t>(ReadLe32(info.data() + 8)), -2);
  EXPECT_EQ(info[40 + 255 * 4], 0x44);
  EXPECT_EQ(at, v5Off);

  // Bit fields after a 40-byte header come along; compressed and lying files do not.
  auto fields = MakeBmp(2, -2, 32);
  fields[30] = 3;
  fields.insert(fields.begin() + 54, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0});
  const std::uint32_t fieldsOff = 54 + 12;
  std::memcpy(&fields[10], &fieldsOff, 4);
  ASSERT_TRUE(ReadBitmapFileInfo(fields.data(), fields.size(), info, at));
  ASSERT_EQ(info.size(), 52u);
  EXPECT_EQ(ReadLe32(info.data() + 40), 0x00FF0000u);
  auto rle = MakeBmp(4, 2, 8, 256);
  rle[30] = 1, rle[34] = 8;
  EXPECT_FALSE(ReadBitmapFileInfo(rle.data(), rle.size(), info, at));
  v5.pop_back();
  EXPECT_FALSE(ReadBitmapFileInfo(v5.data(), v5.size(), info, at));

  // Bit fields with a header of 41 to 51 bytes hold their masks neither after a 40-byte header
  // nor inside it: refused (this 65-byte file once had 12 bytes read past its end).
  const std::vector<std::uint8_t> shortFields = {
      0x42, 0x4d, 0x8e, 0x2f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3d, 0x00, 0x00, 0x00, 0x2f, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20, 0x00, 0x03, 0x00, 0x00, 0x00,
      0x2e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2e, 0x00, 0x00, 0x00, 0x01, 0x00, 0x60, 0x20, 0x00, 0x05,
      0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x0b, 0x00, 0x00, 0x13, 0x03, 0x04};
  EXPECT_FALSE(Check(shortFields));
  EXPECT_FALSE(ReadBitmapFileInfo(shortFields.data(), shortFields.size(), info, at));
}
