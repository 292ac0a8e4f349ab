// Zellmate's start-up: OLE, then by the command line either the automation server (started by
// the COM runtime for a script page) or the registration of the browser menu entries.
#pragma once

#include <windows.h>

#include "companion/app/hand_over.h"

namespace zellmate {

class CZellmateDlg;

// The whole program; returns its exit code. addOptions are what every AddURL of this process
// uses: the program passes the defaults, only a test build passes others.
int RunZellmate(HINSTANCE instance, const AddOptions& addOptions = {});

// The application lock: the server process stays while an object or a client's LockServer holds
// it. When the last one goes in a process the user did not start, the main window is destroyed,
// which ends its loop and the program.
void LockApp();
void UnlockApp();

// The main window of a running automation server; null when there is none.
CZellmateDlg* MainDialog();

// The AddURL options RunZellmate was given.
const AddOptions& AppAddOptions();

}  // namespace zellmate
