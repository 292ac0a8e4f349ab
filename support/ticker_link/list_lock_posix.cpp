// The native build has one process, so a process-wide mutex stands in for the named one.
#include <chrono>
#include <mutex>

#include "support/ticker_link/list_lock.h"

namespace url_list {

namespace {
std::timed_mutex& ListMutex() {
  static std::timed_mutex mutex;
  return mutex;
}
}  // namespace

ListLock::ListLock(unsigned waitMs) {
  held = ListMutex().try_lock_for(std::chrono::milliseconds(waitMs));
  if (held) handle = &ListMutex();
}

ListLock::~ListLock() {
  if (held) ListMutex().unlock();
}

}  // namespace url_list
