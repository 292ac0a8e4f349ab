// The portable half of the registry seam: every primitive passes through here on its way to the
// platform, so injected failures and the open-handle count work the same in both builds.
#include "support/registry/registry_seam.h"

#include <array>
#include <atomic>
#include <mutex>

namespace regseam {

namespace {

struct Injection {
  long failAt = 0;  // call number that fails; 0 = none
  bool sticky = false;
  Status status = Status::kFailed;
};

struct Table {
  std::mutex lock;
  std::array<long, static_cast<std::size_t>(Op::kCount)> calls{};
  std::array<Injection, static_cast<std::size_t>(Op::kCount)> injections{};
};

Table& TheTable() {
  static Table table;
  return table;
}

std::atomic<long> openHandles{0};

// The predefined roots (0x80000000 and up, sign-extended on 64-bit Windows) are not counted.
bool IsPredefined(HKEY key) {
  const auto v = reinterpret_cast<std::uintptr_t>(key);
  const auto low = static_cast<std::uint32_t>(v);
  const std::uintptr_t high = v - low;
  const bool highOk = high == 0 || high == (~static_cast<std::uintptr_t>(0) - 0xFFFFFFFFu);
  return highOk && (low & 0xFFFFFF00u) == 0x80000000u;
}

// Counts the call and tells whether it is to fail (and with which status).
bool ShouldFail(Op op, Status* status) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  const auto i = static_cast<std::size_t>(op);
  const long n = ++t.calls[i];
  const Injection& inj = t.injections[i];
  if (inj.failAt == 0) return false;
  if (n == inj.failAt || (inj.sticky && n > inj.failAt)) {
    *status = inj.status;
    return true;
  }
  return false;
}

}  // namespace

void FailCall(Op op, int n, Status status, bool sticky) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  const auto i = static_cast<std::size_t>(op);
  Injection& inj = t.injections[i];
  inj.failAt = n > 0 ? t.calls[i] + n : 0;
  inj.sticky = sticky;
  inj.status = status;
}

void ClearFailures() {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  t.injections.fill(Injection{});
}

long CallCount(Op op) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.calls[static_cast<std::size_t>(op)];
}

long OpenHandleCount() {
  return openHandles.load();
}

Status OpenKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  if (result == nullptr) return Status::kFailed;
  *result = nullptr;
  Status st;
  if (ShouldFail(Op::kOpen, &st)) return st;
  st = platform::OpenKey(parent, subKey, access, result);
  // Opening a root with an empty sub-key hands back the root itself, which is never closed.
  if (st == Status::kOk && !IsPredefined(*result)) ++openHandles;
  return st;
}

Status CreateKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  if (result == nullptr) return Status::kFailed;
  *result = nullptr;
  Status st;
  if (ShouldFail(Op::kCreate, &st)) return st;
  st = platform::CreateKey(parent, subKey, access, result);
  if (st == Status::kOk && !IsPredefined(*result)) ++openHandles;
  return st;
}

Status QueryValue(HKEY key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size) {
  Status st;
  if (ShouldFail(Op::kQuery, &st)) return st;
  return platform::QueryValue(key, name, type, data, size);
}

Status SetValue(HKEY key, const char* name, std::uint32_t type, const void* data, std::uint32_t size) {
  Status st;
  if (ShouldFail(Op::kSet, &st)) return st;
  return platform::SetValue(key, name, type, data, size);
}

Status DeleteValue(HKEY key, const char* name) {
  Status st;
  if (ShouldFail(Op::kDeleteValue, &st)) return st;
  return platform::DeleteValue(key, name);
}

Status DeleteKey(HKEY key, const char* subKey) {
  Status st;
  if (ShouldFail(Op::kDeleteKey, &st)) return st;
  return platform::DeleteKey(key, subKey);
}

Status EnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  Status st;
  if (ShouldFail(Op::kEnumKey, &st)) return st;
  return platform::EnumKey(key, index, name, nameSize);
}

Status CloseKey(HKEY key) {
  Status st;
  if (ShouldFail(Op::kClose, &st)) return st;
  if (IsPredefined(key)) return Status::kOk;
  st = platform::CloseKey(key);
  if (st == Status::kOk) --openHandles;
  return st;
}

bool CollateEqualNoCase(const char* a, const char* b) {
  Status st;
  if (ShouldFail(Op::kCompare, &st)) return false;
  return platform::CollateEqualNoCase(a != nullptr ? a : "", b != nullptr ? b : "");
}

}  // namespace regseam
