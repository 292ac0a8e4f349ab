// A stand-in for a downloaded installer: it records its command line in a file beside itself
// (its own path + ".ran"), so a test sees which program was started and how.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH + 8] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
  CloseHandle(file);
  return 0;
}
