// The registry primitives CRegistry is built on, and nothing more. The Windows build forwards them to
// advapi32; the native build keeps an in-memory registry tree with the same rules (case-insensitive
// names, raw typed values, leaf-only key deletion, a short buffer reported as such), so the
// registry logic runs and is tested without Windows.
//
// Every call goes through this one table of functions, so a test can make the Nth call of any
// primitive fail and check that the caller gives up cleanly and closes what it opened.
//
// This header declares the handle type and the few registry constants portably: it never
// includes <windows.h>, and stays compatible with it in either include order.
#pragma once

#include <cstddef>
#include <cstdint>

// The same declaration as <windows.h> makes, so both may be seen by one translation unit.
struct HKEY__;  // NOLINT(bugprone-reserved-identifier): the Windows headers' own name for it
typedef struct HKEY__* HKEY;

#if defined(_WIN32)
// The real predefined keys and value types. The macro texts are token for token those of the
// Windows headers, so that including <windows.h> before or after this header is not a
// redefinition; the two typedefs name the very types the Windows headers give them.
typedef unsigned long long ULONG_PTR;
typedef long LONG;
// clang-format off
#ifndef HKEY_CLASSES_ROOT
#define HKEY_CLASSES_ROOT ((HKEY) (ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY) (ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY) (ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY) (ULONG_PTR)((LONG)0x80000003))
#endif
// clang-format on
#ifndef REG_SZ
#define REG_NONE (0)
#define REG_SZ (1)
#define REG_EXPAND_SZ (2)
#define REG_BINARY (3)
#define REG_DWORD (4)
#endif
#else
// The native stand-in uses the same numbers for its four roots.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003u)))
#define REG_NONE (0)
#define REG_SZ (1)
#define REG_EXPAND_SZ (2)
#define REG_BINARY (3)
#define REG_DWORD (4)
#endif

namespace regseam {

// Access rights, with the values advapi32 gives them.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyNotify = 0x0010;
constexpr std::uint32_t kKeyCreateLink = 0x0020;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Longest key name component and value name, in characters (a double-byte character counts one).
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

enum class Status {
  kOk,
  kNotFound,      // no such key or value
  kMoreData,      // the buffer is too small; the size out-parameter holds the size needed
  kNoMoreItems,   // enumeration index past the last child
  kAccessDenied,  // the handle lacks the right, or the key still has children
  kFailed,        // anything else (bad name, deleted key, injected failure, ...)
};

// The primitives, in the table order used by failure injection.
enum class Op { kOpen, kCreate, kQuery, kSet, kDeleteValue, kDeleteKey, kEnumKey, kClose, kCompare, kCount };

// RegOpenKeyExA: an empty or null subKey opens a new handle to parent itself.
Status OpenKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result);
// RegCreateKeyExA with no class, no options and no security attributes: creates every missing key
// on the way, opens an existing one.
Status CreateKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result);
// RegQueryValueExA. type may be null. With data null only the size is reported; otherwise *size
// is the capacity in and the byte count out (the size needed when kMoreData is returned).
Status QueryValue(HKEY key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size);
// RegSetValueExA: stores size bytes of data as they are.
Status SetValue(HKEY key, const char* name, std::uint32_t type, const void* data, std::uint32_t size);
// RegDeleteValueA.
Status DeleteValue(HKEY key, const char* name);
// RegDeleteKeyA: deletes subKey below key only when it has no children.
Status DeleteKey(HKEY key, const char* subKey);
// RegEnumKeyA: the name of the child at index (NUL-terminated) into name[0..nameSize).
Status EnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t nameSize);
// RegCloseKey. Predefined roots are never closed.
Status CloseKey(HKEY key);

// The one text comparison registry data needs: equal under case-insensitive collation in the
// user's locale (Windows); ASCII letters without case, double-byte characters exactly (native).
bool CollateEqualNoCase(const char* a, const char* b);

// Handles handed out by OpenKey/CreateKey and not closed yet (for leak checks in tests).
long OpenHandleCount();

// Failure injection. FailCall(op, n) makes the n-th call of op from now on (n = 1: the next one)
// fail with status; with sticky, that call and every later one fail. Compare then reports
// "not equal". ClearFailures() ends all injection. CallCount counts the calls of op so far.
void FailCall(Op op, int n, Status status = Status::kFailed, bool sticky = false);
void ClearFailures();
long CallCount(Op op);

// Clears injected failures when it goes out of scope.
class ScopedFailure {
 public:
  ScopedFailure(Op op, int n, Status status = Status::kFailed, bool sticky = false) {
    FailCall(op, n, status, sticky);
  }
  ~ScopedFailure() { ClearFailures(); }
  ScopedFailure(const ScopedFailure&) = delete;
  ScopedFailure& operator=(const ScopedFailure&) = delete;
};

// Owner of one open key handle: closes it when replaced or destroyed. Never holds a root.
class ScopedKey {
 public:
  ScopedKey() = default;
  explicit ScopedKey(HKEY key) : key_(key) {}
  ~ScopedKey() { Close(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ScopedKey(ScopedKey&& other) noexcept : key_(other.Detach()) {}
  ScopedKey& operator=(ScopedKey&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // Closes the current handle and hands out the slot for a new one.
  HKEY* Receive() {
    Close();
    return &key_;
  }
  void Attach(HKEY key) {
    Close();
    key_ = key;
  }
  HKEY Detach() {
    HKEY k = key_;
    key_ = nullptr;
    return k;
  }
  void Close() {
    if (key_ != nullptr) CloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

namespace platform {
// One implementation per build (registry_seam_win.cpp, registry_seam_posix.cpp). Call the
// regseam:: functions above instead: they add the failure injection and the handle count.
Status OpenKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result);
Status CreateKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result);
Status QueryValue(HKEY key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size);
Status SetValue(HKEY key, const char* name, std::uint32_t type, const void* data, std::uint32_t size);
Status DeleteValue(HKEY key, const char* name);
Status DeleteKey(HKEY key, const char* subKey);
Status EnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t nameSize);
Status CloseKey(HKEY key);
bool CollateEqualNoCase(const char* a, const char* b);
}  // namespace platform

}  // namespace regseam
