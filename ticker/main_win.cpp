// Zellora.exe: the news ticker. Everything happens in the application object's run; there is
// no message loop after it.
#include <windows.h>

#include "ticker/shell/zellora_app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  CZelloraApp app(instance);
  return app.Run();
}
