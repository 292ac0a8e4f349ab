// Zellmate's start-up: OLE, then by the command line either the automation server (started by
// the COM runtime for a script page) or the registration of the browser menu entries.
#pragma once

#include <windows.h>

namespace zellmate {

class CZellmateDlg;

// The whole program; returns its exit code.
int RunZellmate(HINSTANCE instance);

// The application lock: the server process stays while an object or a client's LockServer holds
// it. When the last one goes in a process the user did not start, the main window is destroyed,
// which ends its loop and the program.
void LockApp();
void UnlockApp();

// The main window of a running automation server; null when there is none.
CZellmateDlg* MainDialog();

// Environment switch for the test that proves the list lock is needed: set, AddURL rewrites the
// list without it.
constexpr const char kUnlockedListSwitch[] = "ZELLORA_TEST_UNLOCKED_LIST";

}  // namespace zellmate
