// The desktop's icon view: the list view that shows the icons over the wallpaper. The ticker
// draws its strip into it and has it print its icons into the desktop snapshot.
#pragma once

#include <windows.h>

namespace ticker {

// The "SysListView32" inside the shell's "SHELLDLL_DefView". The shell keeps that under its
// top-level "Progman" window ("Program Manager"); while the desktop is raised (Task View, a
// wallpaper slide show) Windows 10 and 11 before 24H2 move it into a top-level "WorkerW" window,
// while 24H2 leaves it under "Progman". Searched afresh on every call, so a shell that was
// restarted is found again; when the search finds nothing, the view found last is used while it
// still is a list view. Null when there is none.
HWND FindDesktopListView();

// Forgets the remembered list view (tests that build and tear down mock desktops).
void ForgetDesktopListView();

// Whether the thread behind window reads its messages: false while the system considers it hung
// (IsHungAppWindow: no message read for 5 seconds). Calls that wait for another program to paint,
// such as PrintWindow, are skipped then.
bool WindowAnswers(HWND window);

}  // namespace ticker
