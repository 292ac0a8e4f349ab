// libFuzzer target: the font style words and the face name. The input is split at the first zero
// byte into the face and the style text; the first bytes give the size and the screen's dpi.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "support/draw/font_style.h"
#include "support/text/sjis.h"
#include "tests/fuzz_check.h"

namespace {

void CheckFace(std::string_view face, std::string_view from, std::size_t bound) {
  Check(face.size() <= bound);
  Check(from.substr(0, face.size()) == face);
  Check(!sjis::EndsWithLoneLead(face, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::int32_t pointTenths = 0;
  std::int32_t dpi = 0;
  std::memcpy(&pointTenths, data, 4);
  std::memcpy(&dpi, data + 4, 4);
  const std::string_view all(reinterpret_cast<const char*>(data + 8), size - 8);
  const std::size_t zero = all.find('\0');
  const std::string_view face = all.substr(0, zero);
  const std::string_view style = zero == std::string_view::npos ? std::string_view() : all.substr(zero + 1);

  const FontStyle parsed = ParseFontStyle(face, pointTenths, style);
  CheckFace(parsed.face, face, kMaxFaceBytes);
  Check(parsed.pointTenths == pointTenths);
  Check(parsed.weight == 0 || parsed.weight == 700);
  Check(parsed.charset == kStyledFontCharset);
  // Upper-casing the style first means its letter case never matters.
  const FontStyle upper = ParseFontStyle(face, pointTenths, sjis::ToUpper(style));
  Check(upper.weight == parsed.weight && upper.italic == parsed.italic &&
        upper.underline == parsed.underline && upper.strikeOut == parsed.strikeOut);

  const std::size_t bound = data[0] % 40;
  const std::string cut = TruncateFaceName(face, bound);
  CheckFace(cut, face, bound);
  // Only a character that would not fit whole, or a torn last one, is dropped.
  Check(cut.size() == face.size() || cut.size() + sjis::CharLength(face, cut.size()) > bound ||
        (cut.size() + 1 == face.size() && sjis::IsLeadByte(face.back())));

  const std::int32_t height = PointTenthsToHeight(pointTenths, dpi);
  if (pointTenths == 0) Check(height == 0);
  if (pointTenths > 0 && dpi > 0) Check(height <= 0);

  const int width = data[1] % 40;
  const int rows = data[2] % 40;
  const std::size_t planeBytes = CursorPlaneBytes(width, rows);
  std::string andPlane(planeBytes + 1, '\x5A');
  std::string xorPlane(planeBytes + 1, '\x5A');
  const std::size_t given = planeBytes - (data[3] & 1 ? planeBytes / 2 : 0);
  BuildHandCursorPlanes(width, rows, reinterpret_cast<std::uint8_t*>(&andPlane[0]),
                        reinterpret_cast<std::uint8_t*>(&xorPlane[0]), given);
  // Nothing is written past the size given.
  Check(andPlane[given] == '\x5A' && xorPlane[given] == '\x5A');
  return 0;
}
