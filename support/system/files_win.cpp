#include <cstring>

#include "support/system/paths_win.h"
#include "support/system/sysinfo.h"
#include "support/text/sjis.h"

namespace paths {

namespace {

// Owns a file handle.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// WriteFile takes 32-bit counts: larger blocks go in pieces.
bool WriteAll(HANDLE file, const void* bytes, std::size_t count) {
  if (count == 0) return true;
  if (!bytes) return false;
  const char* p = static_cast<const char*>(bytes);
  while (count > 0) {
    DWORD piece = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(file, p, piece, &written, nullptr) || written != piece) return false;
    p += piece;
    count -= piece;
  }
  return true;
}

HANDLE CreateForWriting(const std::string& path, DWORD disposition, FileAccess access) {
  if (path.empty() || path.size() >= kMaxPath) return INVALID_HANDLE_VALUE;
  EveryoneSecurity security;
  SECURITY_ATTRIBUTES* attributes = access == FileAccess::kAllUsers ? security.Attributes() : nullptr;
  return CreateFileA(path.c_str(), GENERIC_WRITE, 0, attributes, disposition, FILE_ATTRIBUTE_ARCHIVE,
                     nullptr);
}

std::uint64_t Join64(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

EveryoneSecurity::EveryoneSecurity() {
  // Only NT-family systems have security descriptors on files. The family is taken from the
  // platform id, so that systems newer than the name table still count.
  OsVersion version;
  if (!QueryOsVersion(version) || version.platformId != kOsPlatformNt) return;
  if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
  PACL acl = reinterpret_cast<PACL>(acl_);
  if (!InitializeAcl(acl, sizeof acl_, ACL_REVISION)) return;
  DWORD sidSize = sizeof sid_;
  char domain[80];
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  if (!LookupAccountNameA(nullptr, "Everyone", sid_, &sidSize, domain, &domainSize, &use)) {
    // Systems that translate the account's name still know its well-known identifier.
    sidSize = sizeof sid_;
    if (!CreateWellKnownSid(WinWorldSid, nullptr, sid_, &sidSize)) return;
  }
  if (!AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid_)) return;
  if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE)) return;
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = TRUE;
  ok_ = true;
}

bool WriteNewFile(const std::string& path, const void* bytes, std::size_t count, FileAccess access) {
  std::string clean = path;
  if (!CleanPath(clean)) return false;
  FileHandle file(CreateForWriting(clean, CREATE_ALWAYS, access));
  return file.Valid() && WriteAll(file.Get(), bytes, count);
}

bool AppendToFile(const std::string& path, const void* bytes, std::size_t count, FileAccess access) {
  std::string clean = path;
  if (!CleanPath(clean)) return false;
  FileHandle file(CreateForWriting(clean, OPEN_ALWAYS, access));
  if (!file.Valid()) return false;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) return false;
  return WriteAll(file.Get(), bytes, count);
}

bool WriteNewFile2(const std::string& path, const void* bytes1, std::size_t count1, const void* bytes2,
                   std::size_t count2, FileAccess access) {
  FileHandle file(CreateForWriting(path, CREATE_ALWAYS, access));
  return file.Valid() && WriteAll(file.Get(), bytes1, count1) && WriteAll(file.Get(), bytes2, count2);
}

bool RemoveFile(const std::string& path) {
  std::string clean = path;
  if (!CleanPath(clean) || clean.empty()) return false;
  return DeleteFileA(clean.c_str()) != FALSE;
}

std::uint64_t GetFileSize(const std::string& path) {
  std::string clean = path;
  if (!CleanPath(clean) || clean.empty() || clean.size() >= kMaxPath) return 0;
  FileHandle file(
      CreateFileA(clean.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool GetFileTimes(const std::string& path, FILETIME& created, FILETIME& accessed, FILETIME& written) {
  std::string clean = path;
  if (!CleanPath(clean) || clean.empty() || clean.size() >= kMaxPath) return false;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(clean.c_str(), GetFileExInfoStandard, &data)) return false;
  created = data.ftCreationTime;
  accessed = data.ftLastAccessTime;
  written = data.ftLastWriteTime;
  return true;
}

bool GetFileStatus(const std::string& path, FileStatus& status) {
  if (path.empty() || path.size() >= kMaxPath) return false;
  // First as a directory listing would show it, under its full name.
  char full[kMaxPath];
  char* namePart = nullptr;
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, &namePart);
  if (length > 0 && length < sizeof full) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(full, &data);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      status.created = data.ftCreationTime;
      status.accessed = data.ftLastAccessTime;
      status.written = data.ftLastWriteTime;
      status.attributes = data.dwFileAttributes;
      status.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        ? 0
                        : Join64(data.nFileSizeHigh, data.nFileSizeLow);
      status.fullName.assign(full, length);
      return true;
    }
  }
  // Roots and some network paths cannot be listed; their attributes can still be read.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  status.created = data.ftCreationTime;
  status.accessed = data.ftLastAccessTime;
  status.written = data.ftLastWriteTime;
  status.attributes = data.dwFileAttributes;
  status.size =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : Join64(data.nFileSizeHigh, data.nFileSizeLow);
  status.fullName = path;
  return true;
}

bool IsDirectory(const std::string& path) {
  FileStatus status;
  return GetFileStatus(path, status) && (status.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace paths
