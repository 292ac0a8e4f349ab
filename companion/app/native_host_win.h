// The native messaging host on the process's standard input and output (native_host.h).
#pragma once

#include "companion/app/hand_over.h"
#include "companion/app/native_host.h"

namespace zellmate::native_host {

// Serves the browser until it closes the program's standard input; shows nothing. Returns the exit
// code.
int RunNativeHost(Caller caller, const AddOptions& addOptions);

}  // namespace zellmate::native_host
