#include "tests/gui_objects_win.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace gui_objects {

namespace {

// The 64-bit process environment block keeps the GDI handle table's address at this offset;
// each entry is 24 bytes with the owning process id at byte 8 and the object type at byte 14.
constexpr std::size_t kTableOffset = 0xF8;
constexpr std::size_t kEntryBytes = 24;
constexpr int kEntries = 0x10000;

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++*reinterpret_cast<int*>(param);
  return TRUE;
}

BOOL CALLBACK CountTop(HWND wnd, LPARAM param) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (pid != ::GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<int*>(param);
  ::EnumChildWindows(wnd, CountChild, param);
  return TRUE;
}

}  // namespace

int GdiObjects() {
  ::GdiFlush();
  using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION info = {};
  if (!query || query(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
    return -1;
  const auto* peb = reinterpret_cast<const std::uint8_t*>(info.PebBaseAddress);
  const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + kTableOffset);
  if (!table) return -1;
  // Windows shares one table between processes and names the owner; Wine's is the process's own
  // and leaves the owner 0.
  const std::uint16_t self = static_cast<std::uint16_t>(::GetCurrentProcessId());
  int n = 0;
  for (int i = 0; i < kEntries; ++i) {
    const std::uint8_t* e = table + static_cast<std::size_t>(i) * kEntryBytes;
    const std::uint16_t owner = static_cast<std::uint16_t>(e[8] | (e[9] << 8));
    if (e[14] != 0 && (owner == 0 || owner == self)) ++n;
  }
  return n;
}

int Windows() {
  int n = 0;
  ::EnumWindows(CountTop, reinterpret_cast<LPARAM>(&n));
  return n;
}

}  // namespace gui_objects
