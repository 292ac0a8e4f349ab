// Styled fonts (Windows build only).
#pragma once

#include <windows.h>

#include <string>

// A font from a face, a size in tenths of a point (90 = 9 pt) and a style text ("標準|下線",
// "bold italic"), at dpi: the DPI of the window it is drawn in (win/dpi.h); 0 takes the screen's
// system DPI. The caller owns it (DeleteObject); null on failure.
HFONT CreateStyledFont(const std::string& face, int pointTenths, const std::string& style, unsigned dpi = 0);
