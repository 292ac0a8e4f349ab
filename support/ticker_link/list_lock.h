// The lock around a rewrite of the whole URL list. The companion's AddURL, the registration
// dialog's save and anything else that reads the list, changes it and writes it back hold it from
// the read to the last write, so two writers never interleave and lose each other's entries.
// Readers of a single slot do not take it.
#pragma once

namespace url_list {

// How long a writer waits for another one before it goes ahead without the lock (a writer that
// hangs must not stop the others for ever).
constexpr unsigned kListLockWaitMs = 5000;

class ListLock {
 public:
  // Waits up to waitMs for the lock; Held() tells whether it was had.
  explicit ListLock(unsigned waitMs = kListLockWaitMs);
  ~ListLock();
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;

  bool Held() const { return held; }

 private:
  void* handle = nullptr;  // the system's lock object
  bool held = false;
};

}  // namespace url_list
