// The desktop's icon view: the list view that paints the icons over the wallpaper. The ticker
// draws its strip into it and has it paint its icons into the desktop snapshot.
#pragma once

#include <windows.h>

namespace ticker {

// "Program Manager" -> "SHELLDLL_DefView" -> "SysListView32"; when the shell has moved the
// view under a top-level "WorkerW" window (wallpaper slide shows and some desktop actions do
// that), the view found there. The window found is remembered for the whole process and used
// while it still is a list view when the search finds nothing. Null when there is none.
HWND FindDesktopListView();

// The window whose device context erases the strip: the top-level window holding the list view
// ("Program Manager", or the "WorkerW" that holds it now); "Program Manager" when there is no
// list view; null when neither exists.
HWND DesktopCanvasWindow(HWND listView);

// Forgets the remembered list view (tests that build and tear down mock desktops).
void ForgetDesktopListView();

}  // namespace ticker
