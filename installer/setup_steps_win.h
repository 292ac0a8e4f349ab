// What the setup program asks its helper (zellora_helper.exe) to do, since the script language of
// the setup program cannot: end running tickers before their files are replaced or deleted, and
// start the ticker as the user who is logged on rather than with the setup program's rights.
#pragma once

#include <windows.h>

#include <string>

namespace setup_steps {

// Asks every ticker of this desktop (a top-level window titled "__@ZELLORA@__") to exit with the
// exit command, then waits until no such window exists and every process that owned one has
// ended, up to timeoutMs. True when none is left; false when one still runs after the time.
bool CloseRunningTickers(DWORD timeoutMs);

enum class StartRoute {
  kShell,   // the desktop's shell started it, with the rights of the logged-on user
  kPlain,   // there is no shell window (no desktop shell, a service session): started directly
  kFailed,  // neither could start it
};

// Starts program (a full path; its folder is the working folder) as the user of the desktop:
// through the shell process that runs the desktop, so that a program started by an elevated
// setup program runs unelevated. Falls back to a plain start where there is no such shell.
StartRoute StartAsDesktopUser(const std::wstring& program);

// The shell's own start alone: S_OK once the shell took the request; S_FALSE when there is no
// desktop shell window; an error when a step of the way failed.
HRESULT StartThroughDesktopShell(const std::wstring& program, const std::wstring& folder);

}  // namespace setup_steps
