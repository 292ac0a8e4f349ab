// The full-screen probe: what the system says right now of the foreground window and of the
// user's state, for the rule in full_screen.h.
#pragma once

#include <windows.h>

#include "ticker/display/full_screen.h"

namespace ticker {

// The facts for a bar on the monitor of window (the primary monitor when window is null).
// askShell: also ask the shell for the user's state (SHQueryUserNotificationState, Windows Vista
// and later, looked up at run time); otherwise state is kUnknown.
ForegroundFacts ProbeForeground(HWND window, bool askShell);

}  // namespace ticker
