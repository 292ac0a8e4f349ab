#include <algorithm>
#include <cstdint>
#include <cstring>

#include "support/draw/font_style.h"
#include "support/draw/fonts_win.h"
#include "support/win/dpi.h"

HFONT CreateStyledFont(const std::string& face, int pointTenths, const std::string& style, unsigned dpi) {
  const FontStyle s = ParseFontStyle(face, pointTenths, style);
  LOGFONTA lf{};
  // Tenths of a point at the window's vertical resolution, or the screen's.
  if (dpi == 0) dpi = win::SystemDpi();
  lf.lfHeight = PointTenthsToHeight(s.pointTenths, static_cast<std::int32_t>(std::min(dpi, 0x7FFFFFFFu)));
  lf.lfWeight = s.weight;
  lf.lfItalic = s.italic ? 1 : 0;
  lf.lfUnderline = s.underline ? 1 : 0;
  lf.lfStrikeOut = s.strikeOut ? 1 : 0;
  lf.lfCharSet = s.charset;
  // The face was cut to fit the 32-byte field with its NUL at a character boundary.
  std::memcpy(lf.lfFaceName, s.face.data(), s.face.size());
  return ::CreateFontIndirectA(&lf);
}
