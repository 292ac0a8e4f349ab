#include <windows.h>

#include "support/ticker_link/list_lock.h"

namespace url_list {

namespace {
// One name for every program of the session: the ticker, its dialogs and the companion.
constexpr const char kMutexName[] = "Local\\ZelloraUrlListLock";
}  // namespace

ListLock::ListLock(unsigned waitMs) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kMutexName);
  if (!mutex) return;
  handle = mutex;
  const DWORD result = ::WaitForSingleObject(mutex, waitMs);
  // An abandoned lock (its holder died mid-rewrite) is ours now; the list is as that writer left it.
  held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

ListLock::~ListLock() {
  if (!handle) return;
  if (held) ::ReleaseMutex(static_cast<HANDLE>(handle));
  ::CloseHandle(static_cast<HANDLE>(handle));
}

}  // namespace url_list
