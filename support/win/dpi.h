// Pixel sizes for the DPI of the screen a window is on. Each program declares in its manifest how
// DPI aware it is. A per-monitor aware process is not stretched by the system: it gets the DPI of
// the monitor a window is on and scales every fixed pixel size itself, so every such size is
// written at 96 DPI and goes through ScaleForDpi. The calls that tell a monitor's DPI are newer
// than the oldest systems supported (GetDpiForWindow: Windows 10 1607; GetDpiForMonitor: 8.1) and
// are looked up at run time; without them the screen's system DPI stands in.
#pragma once

#include <windows.h>

namespace win {

constexpr UINT kBaseDpi = 96;

// size96, a size in pixels at 96 DPI, at dpi: rounded to the nearest pixel, halves away from
// zero, as MulDiv does. A dpi of 0 counts as 96.
int ScaleForDpi(int size96, UINT dpi);
// The way back: pixels at dpi as pixels at 96 DPI, rounded the same way.
int UnscaleForDpi(int size, UINT dpi);

// The DPI of the window: its monitor's for a per-monitor aware window, the system DPI otherwise;
// the system DPI when the window is null.
UINT DpiOfWindow(HWND window);
// The effective DPI of the monitor; the system DPI without per-monitor DPI (or a null monitor).
UINT DpiOfMonitor(HMONITOR monitor);
// The primary monitor's DPI (the bar, the flash window and the desktop strip live there).
UINT DpiOfPrimaryMonitor();
// The DPI of the screen's device context: the process's system DPI (96 for a DPI-unaware one).
UINT SystemDpi();

}  // namespace win
