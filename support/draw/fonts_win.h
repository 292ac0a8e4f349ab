// Styled fonts (Windows build only).
#pragma once

#include <windows.h>

#include <string>

// A font from a face, a size in tenths of a point (90 = 9 pt, at the screen's resolution) and a
// style text ("標準|下線", "bold italic"). The caller owns it (DeleteObject); null on failure.
HFONT CreateStyledFont(const std::string& face, int pointTenths, const std::string& style);
