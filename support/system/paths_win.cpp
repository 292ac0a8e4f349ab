#include "support/system/paths_win.h"

#include <shlobj.h>

#include <cstring>

#include "support/system/sysinfo.h"
#include "support/text/sjis.h"

namespace paths {

bool PathAttributesReadable(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The long name of the last component of path, "." and ".." excepted.
bool LookUpLongName(const std::string& path, std::string& name) {
  if (path.empty() || path.size() >= kMaxPath) return false;
  // The lookup takes wildcards; a name with them is no file's name and would match another's.
  std::size_t from = sjis::StartsWith(path, "\\\\?\\") ? 4 : 0;
  if (sjis::FindChar(path, '*', from) != std::string::npos ||
      sjis::FindChar(path, '?', from) != std::string::npos) {
    return false;
  }
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    std::size_t length = strnlen(data.cFileName, sizeof data.cFileName);
    std::string entry(data.cFileName, length);
    if (entry != "." && entry != "..") {
      name = entry;
      found = true;
      break;
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return found;
}

// A system call that fills a kMaxPath buffer and returns the length, or the size needed when the
// buffer is too small.
template <typename Call>
bool FillPath(Call call, std::string& out) {
  char buffer[kMaxPath];
  DWORD length = call(buffer, static_cast<DWORD>(sizeof buffer));
  if (length == 0 || length >= sizeof buffer) return false;
  out.assign(buffer, length);
  return true;
}

bool LongFolder(bool ok, const std::string& raw, std::string& path) {
  std::string longForm;
  if (!ok || !GetLongPath(raw, longForm) || longForm.empty()) {
    path.clear();
    return false;
  }
  path = longForm;
  return true;
}

bool ExpandEnvironment(const std::string& text, std::string& out) {
  char buffer[kMaxPath];
  DWORD needed = ExpandEnvironmentStringsA(text.c_str(), buffer, static_cast<DWORD>(sizeof buffer));
  // needed counts the terminator; more than the buffer means the text did not fit.
  if (needed == 0 || needed > sizeof buffer) return false;
  out.assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

bool ResolveMacroFolder(MacroFolder folder, std::string& out) {
  switch (folder) {
    case MacroFolder::System:
      return GetSystemFolder(out);
    case MacroFolder::Temp:
      return GetTempFolder(out);
    case MacroFolder::Desktop:
      return GetSpecialFolder(kFolderDesktop, out);
    case MacroFolder::UserDesktop:
      return GetSpecialFolder(kFolderDesktopDirectory, out);
    case MacroFolder::AllUserDesktop:
      return GetSpecialFolder(kFolderCommonDesktopDirectory, out);
  }
  return false;
}

}  // namespace

bool GetLongPath(const std::string& path, std::string& longPath) {
  std::string clean = path;
  if (!CleanPath(clean)) return false;
  return GetLongPathWith(clean, longPath, LookUpLongName);
}

bool GetModulePath(const std::string& moduleName, std::string& path) {
  HMODULE module = nullptr;
  if (!moduleName.empty()) {
    module = GetModuleHandleA(moduleName.c_str());
    if (!module) return false;
  }
  std::string raw;
  // GetModuleFileNameA returns the buffer size when it had to cut the name.
  if (!FillPath([module](char* b, DWORD n) { return GetModuleFileNameA(module, b, n); }, raw)) return false;
  if (!CleanPath(raw)) return false;
  return GetLongPath(raw, path);
}

std::string GetModuleFolder(const std::string& moduleName) {
  std::string path;
  if (!GetModulePath(moduleName, path)) return {};
  std::size_t cut = sjis::FindLastChar(path, '\\');
  if (cut == std::string::npos) return {};
  return path.substr(0, cut);
}

bool GetSpecialFolder(int folderId, std::string& path) {
  path.clear();
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, &list)) || !list) return false;
  // SHGetPathFromIDListA writes at most MAX_PATH bytes, the size of this buffer.
  char buffer[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListA(list, buffer);
  CoTaskMemFree(list);
  if (!ok) return false;
  path.assign(buffer, strnlen(buffer, sizeof buffer));
  return !path.empty();
}

std::string GetDesktopFolder() {
  std::string path;
  GetSpecialFolder(kFolderDesktop, path);
  return path;
}

bool GetWindowsFolder(std::string& path) {
  std::string raw;
  bool ok = FillPath([](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); }, raw);
  return LongFolder(ok, raw, path);
}

bool GetSystemFolder(std::string& path) {
  std::string raw;
  bool ok = FillPath([](char* b, DWORD n) { return GetSystemDirectoryA(b, n); }, raw);
  return LongFolder(ok, raw, path);
}

bool GetTempFolder(std::string& path) {
  TempFolderSystem system;
  system.tempPath = [](std::string& out) {
    return FillPath([](char* b, DWORD n) { return GetTempPathA(n, b); }, out);
  };
  system.longPath = [](const std::string& in, std::string& out) { return GetLongPath(in, out); };
  system.osCode = [] { return GetOsCode(); };
  system.windowsFolder = [](std::string& out) { return GetWindowsFolder(out); };
  system.isDirectory = [](const std::string& in) { return IsDirectory(in); };
  return GetTempFolderWith(system, path);
}

std::string GetTempFolderText() {
  std::string path;
  GetTempFolder(path);
  return path;
}

std::string ExpandPathMacros(const std::string& path) {
  return ExpandPathMacrosWith(path, ResolveMacroFolder, ExpandEnvironment);
}

}  // namespace paths
