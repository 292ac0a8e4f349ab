// Stands in for the browser companion in the options dialog's tests: appends its command line as
// one line to the file named by ZELLMATE_STANDIN_LOG, becomes idle once and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char log[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("ZELLMATE_STANDIN_LOG", log, sizeof log) > 0) {
    if (FILE* f = std::fopen(log, "ab")) {
      std::fprintf(f, "%s\n", ::GetCommandLineA());
      std::fclose(f);
    }
  }
  MSG msg;
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the starter waits for this
  ::Sleep(50);
  return 0;
}
