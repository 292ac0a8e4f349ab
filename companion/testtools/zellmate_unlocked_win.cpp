// zellmate_unlocked.exe: Zellmate with AddURL's list lock turned off, for the end-to-end test that
// shows the lock is needed (concurrent rewrites lose entries without it). Built as a test tool
// only: the program a user installs has no way to turn the lock off.
#include <windows.h>

#include "companion/app/zellmate_app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  zellmate::AddOptions options;
  options.useListLock = false;
  return zellmate::RunZellmate(instance, options);
}
