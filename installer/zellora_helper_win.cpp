// zellora_helper.exe: the steps the setup program's script cannot take itself. The setup program
// unpacks it into its temporary folder and runs it:
//
//   zellora_helper close [MS]   asks every running ticker to exit and waits until its window is
//                               gone and its process has ended, up to MS milliseconds (10000);
//                               exit code 0 when none is left, 1 when one still runs
//   zellora_helper start PATH   starts the program PATH as the user of the desktop (through the
//                               desktop's shell); exit code 0 started that way, 2 started
//                               directly because no shell runs the desktop, 1 not started
//
// Any other command line: exit code 3.
// clang-format off
#include <windows.h>  // before shellapi.h, which depends on it
#include <shellapi.h>
// clang-format on

#include <cwchar>
#include <string>

#include "installer/setup_steps_win.h"

namespace {

constexpr DWORD kDefaultCloseMs = 10000;
constexpr int kBadArguments = 3;

int Run(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"close") == 0 && argc <= 3) {
    DWORD ms = kDefaultCloseMs;
    if (argc == 3) {
      wchar_t* end = nullptr;
      const unsigned long value = std::wcstoul(argv[2], &end, 10);
      if (!end || *end || end == argv[2]) return kBadArguments;
      ms = static_cast<DWORD>(value);
    }
    return setup_steps::CloseRunningTickers(ms) ? 0 : 1;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"start") == 0 && argv[2][0]) {
    switch (setup_steps::StartAsDesktopUser(argv[2])) {
      case setup_steps::StartRoute::kShell:
        return 0;
      case setup_steps::StartRoute::kPlain:
        return 2;
      case setup_steps::StartRoute::kFailed:
        return 1;
    }
  }
  return kBadArguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  // The setup program passes Unicode paths: read them as such, whatever the ANSI code page.
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv) return kBadArguments;
  const int result = Run(argc, argv);
  ::LocalFree(argv);
  return result;
}
