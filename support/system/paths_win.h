// The file-system, shell and dialog half of the path helpers (Windows build only).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/system/paths.h"

namespace paths {

// Long form of an existing path (cleaned, one trailing backslash dropped); false when it does
// not exist or does not fit kMaxPath. longPath is unchanged on failure.
bool GetLongPath(const std::string& path, std::string& longPath);

// The loaded module's file (the program itself when name is empty), cleaned and in long form.
bool GetModulePath(const std::string& moduleName, std::string& path);
// Its folder without the trailing backslash; empty on failure.
std::string GetModuleFolder(const std::string& moduleName);

// A shell special folder by id (kFolderDesktop ...); false and empty text on failure.
bool GetSpecialFolder(int folderId, std::string& path);
std::string GetDesktopFolder();

bool GetWindowsFolder(std::string& path);
bool GetSystemFolder(std::string& path);
bool GetTempFolder(std::string& path);
std::string GetTempFolderText();

// The table's macros replaced by their folders, then the environment variables.
std::string ExpandPathMacros(const std::string& path);

// Security attributes whose descriptor lets every user of the machine use a new file (a single
// GENERIC_ALL entry for "Everyone"). Attributes() is null on systems without NT security, or when
// a step fails: the file then gets default security.
class EveryoneSecurity {
 public:
  EveryoneSecurity();
  EveryoneSecurity(const EveryoneSecurity&) = delete;
  EveryoneSecurity& operator=(const EveryoneSecurity&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return ok_ ? &attributes_ : nullptr; }

 private:
  bool ok_ = false;
  SECURITY_ATTRIBUTES attributes_{};
  SECURITY_DESCRIPTOR descriptor_{};
  alignas(DWORD) unsigned char acl_[2048]{};
  alignas(DWORD) unsigned char sid_[1200]{};
};

// Who may use a file the writers below create. kDefault: the security its folder gives it (its
// creator, and whom the folder lets in). kAllUsers: every user of the machine (EveryoneSecurity),
// for a file that users share; never for a file another user must not be able to replace, such
// as a program that is about to be started. An existing file keeps its security.
enum class FileAccess { kDefault, kAllUsers };

// Writes a new file (replacing any old one). count 0 writes nothing.
bool WriteNewFile(const std::string& path, const void* bytes, std::size_t count,
                  FileAccess access = FileAccess::kDefault);
// Appends to the file, creating it when missing.
bool AppendToFile(const std::string& path, const void* bytes, std::size_t count,
                  FileAccess access = FileAccess::kDefault);
// Two blocks, one after the other, into a new file; the path is taken as given.
bool WriteNewFile2(const std::string& path, const void* bytes1, std::size_t count1, const void* bytes2,
                   std::size_t count2, FileAccess access = FileAccess::kDefault);

// Deletes the file; false when it cannot (a missing file included).
bool RemoveFile(const std::string& path);
// Size in bytes; 0 when the file cannot be opened.
std::uint64_t GetFileSize(const std::string& path);
// Creation, last access and last write times; outputs unchanged on failure.
bool GetFileTimes(const std::string& path, FILETIME& created, FILETIME& accessed, FILETIME& written);

struct FileStatus {
  FILETIME created{};
  FILETIME accessed{};
  FILETIME written{};
  std::uint64_t size = 0;  // 0 for a folder
  DWORD attributes = 0;
  std::string fullName;  // at most kMaxPath - 1 bytes
};
bool GetFileStatus(const std::string& path, FileStatus& status);
bool IsDirectory(const std::string& path);

}  // namespace paths
