// The registry seam on Windows: the advapi32 "A" functions, their error codes folded into the
// few outcomes the callers tell apart.
#include <windows.h>

#include "support/registry/registry_seam.h"

namespace regseam {
namespace platform {

static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kKeySetValue == KEY_SET_VALUE &&
                  kKeyCreateSubKey == KEY_CREATE_SUB_KEY && kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS &&
                  kKeyNotify == KEY_NOTIFY && kKeyCreateLink == KEY_CREATE_LINK,
              "access rights differ from advapi32's");
static_assert(kKeyRead == KEY_READ && kKeyAllAccess == KEY_ALL_ACCESS,
              "access rights differ from advapi32's");

namespace {

Status FromError(LONG error) {
  switch (error) {
    case ERROR_SUCCESS:
      return Status::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Status::kNotFound;
    case ERROR_MORE_DATA:
      return Status::kMoreData;
    case ERROR_NO_MORE_ITEMS:
      return Status::kNoMoreItems;
    case ERROR_ACCESS_DENIED:
      return Status::kAccessDenied;
    default:
      return Status::kFailed;
  }
}

}  // namespace

Status OpenKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  return FromError(RegOpenKeyExA(parent, subKey, 0, access, result));
}

Status CreateKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  // The class string is empty rather than null, as the key's class has always been written.
  char noClass[] = "";
  return FromError(
      RegCreateKeyExA(parent, subKey, 0, noClass, REG_OPTION_NON_VOLATILE, access, nullptr, result, nullptr));
}

Status QueryValue(HKEY key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size) {
  DWORD t = 0;
  DWORD n = size != nullptr ? *size : 0;
  const LONG err =
      RegQueryValueExA(key, name, nullptr, &t, static_cast<BYTE*>(data), size != nullptr ? &n : nullptr);
  if (type != nullptr && (err == ERROR_SUCCESS || err == ERROR_MORE_DATA)) *type = t;
  if (size != nullptr && (err == ERROR_SUCCESS || err == ERROR_MORE_DATA)) *size = n;
  return FromError(err);
}

Status SetValue(HKEY key, const char* name, std::uint32_t type, const void* data, std::uint32_t size) {
  return FromError(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
}

Status DeleteValue(HKEY key, const char* name) {
  return FromError(RegDeleteValueA(key, name));
}

Status DeleteKey(HKEY key, const char* subKey) {
  return FromError(RegDeleteKeyA(key, subKey));
}

Status EnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  return FromError(RegEnumKeyA(key, index, name, nameSize));
}

Status CloseKey(HKEY key) {
  return FromError(RegCloseKey(key));
}

bool CollateEqualNoCase(const char* a, const char* b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

}  // namespace platform
}  // namespace regseam
