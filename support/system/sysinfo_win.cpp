#include <windows.h>

#include <cstring>
#include <cwchar>

#include "support/system/paths.h"
#include "support/system/sysinfo.h"

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// RtlGetVersion reports the true numbers; GetVersionExA is capped by the compatibility layer at
// the version the executable's manifest declares.
bool QueryExtended(OSVERSIONINFOEXW& info) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!ntdll) return false;
  auto rtlGetVersion =
      reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (!rtlGetVersion) return false;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  return rtlGetVersion(&info) == 0;
}

std::string ToAnsi(const wchar_t* text) {
  std::size_t length = wcsnlen(text, 128);
  if (length == 0) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
  return out;
}

bool QueryProduct(OsProduct& product) {
  OSVERSIONINFOEXW info;
  if (QueryExtended(info)) {
    product.productType = info.wProductType;
    product.suiteMask = info.wSuiteMask;
    return true;
  }
  OSVERSIONINFOEXA infoA;
  std::memset(&infoA, 0, sizeof infoA);
  infoA.dwOSVersionInfoSize = sizeof infoA;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&infoA))) return false;
  product.productType = infoA.wProductType;
  product.suiteMask = infoA.wSuiteMask;
  return true;
}

}  // namespace

bool QueryOsVersion(OsVersion& version) {
  OSVERSIONINFOEXW info;
  if (QueryExtended(info)) {
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.servicePack = ToAnsi(info.szCSDVersion);
    return true;
  }
  OSVERSIONINFOA basic;
  std::memset(&basic, 0, sizeof basic);
  basic.dwOSVersionInfoSize = sizeof basic;
  if (!GetVersionExA(&basic)) return false;
  version.platformId = basic.dwPlatformId;
  version.major = basic.dwMajorVersion;
  version.minor = basic.dwMinorVersion;
  version.build = basic.dwBuildNumber;
  version.servicePack.assign(basic.szCSDVersion, strnlen(basic.szCSDVersion, sizeof basic.szCSDVersion));
  return true;
}

int GetOsName(std::string& text) {
  OsVersion version;
  if (!QueryOsVersion(version)) return 0;
  return DescribeOs(version, QueryProduct, text);
}

int GetOsCode() {
  std::string scratch;
  return GetOsName(scratch);
}

VersionInfoBlock LoadVersionInfo(const std::string& path) {
  std::string clean = path;
  paths::CleanPath(clean);
  if (clean.empty() || clean.size() >= paths::kMaxPath) return {};
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(clean.c_str(), &handle);
  if (size == 0) return {};
  VersionInfoBlock block(size);
  if (!GetFileVersionInfoA(clean.c_str(), 0, size, block.data())) return {};
  return block;
}

bool QueryVersionString(const VersionInfoBlock& block, const std::string& name, std::string& text) {
  if (block.empty()) return false;
  // VerQueryValueA wants a writable block (it may convert in place); work on a copy.
  VersionInfoBlock copy = block;
  auto read = [&copy](const std::string& subBlock, std::string& value) {
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(copy.data(), subBlock.c_str(), &data, &length) || !data) return false;
    const char* bytes = static_cast<const char*>(data);
    const char* end = reinterpret_cast<const char*>(copy.data()) + copy.size();
    if (bytes < reinterpret_cast<const char*>(copy.data()) || bytes > end) return false;
    std::size_t available = static_cast<std::size_t>(end - bytes);
    std::size_t n = length < available ? length : available;
    if (subBlock.rfind("\\StringFileInfo\\", 0) == 0) n = strnlen(bytes, n);
    value.assign(bytes, n);
    return true;
  };
  return QueryVersionStringWith(read, name, text);
}

bool ReadFileVersion(const std::string& path, int& a, int& b, int& c, int& d) {
  VersionInfoBlock block = LoadVersionInfo(path);
  std::string text;
  if (!QueryVersionString(block, "FileVersion", text)) return false;
  int numbers[4];
  ParseFileVersion(text, numbers);
  a = numbers[0];
  b = numbers[1];
  c = numbers[2];
  d = numbers[3];
  return true;
}
