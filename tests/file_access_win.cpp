#include "tests/file_access_win.h"

#include <windows.h>

#include <mutex>

namespace {

// The import table's slot for CreateFileA (the linker's name for it).
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" decltype(&::CreateFileA) __imp_CreateFileA;

decltype(&::CreateFileA) original = nullptr;
std::mutex lock;
std::map<std::string, bool> created;

bool GrantsEveryoneWriting(const SECURITY_ATTRIBUTES* attributes) {
  if (!attributes || !attributes->lpSecurityDescriptor) return false;  // the folder's security
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted) ||
      !present) {
    return false;
  }
  if (!dacl) return true;  // a null list allows everyone everything
  unsigned char world[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof world;
  if (!::CreateWellKnownSid(WinWorldSid, nullptr, world, &size)) return false;
  const DWORD writes = GENERIC_ALL | GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | DELETE;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && (allowed->Mask & writes) != 0 &&
        ::EqualSid(&allowed->SidStart, world)) {
      return true;
    }
  }
  return false;
}

HANDLE WINAPI Watched(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                      DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (name && disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING) {
    std::lock_guard<std::mutex> hold(lock);
    created[name] = GrantsEveryoneWriting(attributes);
  }
  return original(name, access, share, attributes, disposition, flags, templateFile);
}

void SetSlot(decltype(&::CreateFileA) to) {
  DWORD old = 0;
  ::VirtualProtect(&__imp_CreateFileA, sizeof __imp_CreateFileA, PAGE_READWRITE, &old);
  __imp_CreateFileA = to;
  ::VirtualProtect(&__imp_CreateFileA, sizeof __imp_CreateFileA, old, &old);
}

}  // namespace

namespace file_access {

CreationWatch::CreationWatch() {
  std::lock_guard<std::mutex> hold(lock);
  created.clear();
  if (__imp_CreateFileA == Watched) return;  // one watch at a time
  original = __imp_CreateFileA;
  SetSlot(Watched);
}

CreationWatch::~CreationWatch() {
  if (original) SetSlot(original);
  original = nullptr;
}

std::map<std::string, bool> CreationWatch::Created() const {
  std::lock_guard<std::mutex> hold(lock);
  return created;
}

}  // namespace file_access
