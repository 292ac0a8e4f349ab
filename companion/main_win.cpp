#include <windows.h>

#include "companion/app/zellmate_app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return zellmate::RunZellmate(instance);
}
