#include "support/system/paths_win.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/text/sjis.h"
#include "tests/file_access_win.h"

namespace {

// A fresh folder under the temporary folder for one test, removed with its files afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    path_ = paths::GetTempFolderText() + "\\zellora-" + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::string entry = data.cFileName;
        if (entry == "." || entry == "..") continue;
        std::string full = path_ + "\\" + entry;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveDirectoryA(full.c_str());
        } else {
          DeleteFileA(full.c_str());
        }
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out(4096, '\0');
  DWORD read = 0;
  ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr);
  CloseHandle(file);
  out.resize(read);
  return out;
}

TEST(CleanPathWin, QuotedPaddedAndDoubledBackslashes) {
  std::string path = "  \"C:\\\\windows\\\\\\system32\\\\\"  ";
  ASSERT_TRUE(paths::CleanPath(path));
  EXPECT_EQ(path, "C:\\windows\\system32\\");
  path = "\\\\?\\C:\\\\windows";
  ASSERT_TRUE(paths::CleanPath(path));
  EXPECT_EQ(path, "\\\\?\\C:\\windows");
  // A network path that does not exist: failure, text unchanged.
  path = " \\\\zellora-no-such-host\\\\share ";
  EXPECT_FALSE(paths::CleanPath(path));
  EXPECT_EQ(path, " \\\\zellora-no-such-host\\\\share ");
}

TEST(ModulePathWin, ProgramAndLoadedModules) {
  std::string self;
  ASSERT_TRUE(paths::GetModulePath("", self));
  EXPECT_TRUE(sjis::EndsWith(self, "\\support_tests.exe")) << self;
  EXPECT_EQ(paths::GetModuleFolder("") + "\\support_tests.exe", self);

  std::string system;
  ASSERT_TRUE(paths::GetSystemFolder(system));
  EXPECT_TRUE(sjis::EqualsNoCase(paths::GetModuleFolder("kernel32.dll"), system))
      << paths::GetModuleFolder("kernel32.dll");

  std::string out = "unchanged";
  EXPECT_FALSE(paths::GetModulePath("zellora-not-loaded.dll", out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(paths::GetModuleFolder("zellora-not-loaded.dll"), "");
}

TEST(SystemFoldersWin, WindowsSystemTempAndDesktop) {
  std::string windows, system, temp;
  ASSERT_TRUE(paths::GetWindowsFolder(windows));
  ASSERT_TRUE(paths::GetSystemFolder(system));
  ASSERT_TRUE(paths::GetTempFolder(temp));
  EXPECT_TRUE(paths::IsDirectory(windows));
  EXPECT_TRUE(paths::IsDirectory(system));
  EXPECT_TRUE(sjis::StartsWith(system, windows + "\\")) << system;
  EXPECT_NE(sjis::Find(temp, "Temp"), std::string::npos) << temp;
  EXPECT_TRUE(paths::IsDirectory(temp)) << temp;
  EXPECT_EQ(paths::GetTempFolderText(), temp);

  std::string desktop;
  EXPECT_TRUE(paths::GetSpecialFolder(paths::kFolderDesktop, desktop));
  EXPECT_EQ(paths::GetDesktopFolder(), desktop);
  EXPECT_FALSE(desktop.empty());
  std::string bogus = "unchanged";
  EXPECT_FALSE(paths::GetSpecialFolder(0x7777, bogus));
  EXPECT_EQ(bogus, "");
}

TEST(LongPathWin, UndoesShortNames) {
  ScratchFolder scratch("longpath");
  std::string longFolder = scratch.Path() + "\\A rather long folder " + "表ソ";
  ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), nullptr));
  std::string file = longFolder + "\\Some long file name.txt";
  ASSERT_TRUE(paths::WriteNewFile(file, "x", 1));
  char shortName[MAX_PATH];
  DWORD n = GetShortPathNameA(file.c_str(), shortName, sizeof shortName);
  ASSERT_TRUE(n > 0 && n < sizeof shortName);
  std::string longPath;
  ASSERT_TRUE(paths::GetLongPath(std::string(shortName), longPath)) << shortName;
  EXPECT_TRUE(sjis::EqualsNoCase(longPath, file)) << shortName << " -> " << longPath;
  ASSERT_TRUE(paths::GetLongPath(longFolder + "\\\\", longPath));
  EXPECT_TRUE(sjis::EqualsNoCase(longPath, longFolder));

  longPath = "unchanged";
  EXPECT_FALSE(paths::GetLongPath(longFolder + "\\missing.txt", longPath));
  EXPECT_FALSE(paths::GetLongPath("", longPath));
  EXPECT_FALSE(paths::GetLongPath(scratch.Path() + "\\*", longPath));
  EXPECT_FALSE(paths::GetLongPath(longFolder.substr(0, longFolder.size() - 6) + "????", longPath));
  EXPECT_FALSE(paths::GetLongPath("C:\\" + std::string(300, 'a'), longPath));
  EXPECT_EQ(longPath, "unchanged");
}

TEST(PathMacrosWin, FoldersCaseAndEnvironment) {
  std::string system;
  ASSERT_TRUE(paths::GetSystemFolder(system));
  EXPECT_EQ(paths::ExpandPathMacros("%SystemRoot%\\drivers\\etc"), system + "\\drivers\\etc");
  EXPECT_EQ(paths::ExpandPathMacros("\"%SYSTEM%\\\\x.dll\""), system + "\\x.dll");
  EXPECT_EQ(paths::ExpandPathMacros("%Desktop%\\news.txt"), paths::GetDesktopFolder() + "\\news.txt");
  EXPECT_EQ(paths::ExpandPathMacros("%TEMP%\\a"), paths::GetTempFolderText() + "\\a");
  // Lower case is not in the table: the environment has no such variable, so it stays.
  ASSERT_EQ(GetEnvironmentVariableA("desktop", nullptr, 0), 0u);
  EXPECT_EQ(paths::ExpandPathMacros("%desktop%\\news.txt"), "%desktop%\\news.txt");

  ASSERT_TRUE(SetEnvironmentVariableA("ZELLORA_TEST_DIR", "D:\\news"));
  EXPECT_EQ(paths::ExpandPathMacros("%ZELLORA_TEST_DIR%\\a.txt"), "D:\\news\\a.txt");
  // An expansion longer than a path keeps the text as it was.
  ASSERT_TRUE(SetEnvironmentVariableA("ZELLORA_TEST_DIR", std::string(400, 'd').c_str()));
  EXPECT_EQ(paths::ExpandPathMacros("%ZELLORA_TEST_DIR%\\a.txt"), "%ZELLORA_TEST_DIR%\\a.txt");
  SetEnvironmentVariableA("ZELLORA_TEST_DIR", nullptr);
  EXPECT_EQ(paths::ExpandPathMacros(""), "");
  EXPECT_EQ(paths::ExpandPathMacros("100%"), "100%");
}

TEST(EveryoneSecurityWin, OneFullAccessEntryForEveryone) {
  paths::EveryoneSecurity security;
  SECURITY_ATTRIBUTES* attributes = security.Attributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_TRUE(attributes->bInheritHandle);

  BOOL present = FALSE, defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  ASSERT_NE(acl, nullptr);
  ASSERT_EQ(acl->AceCount, 1);
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &ace));
  auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(allowed->Mask, static_cast<DWORD>(GENERIC_ALL));
  unsigned char world[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof world;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, world, &size));
  EXPECT_TRUE(EqualSid(&allowed->SidStart, world));
}

TEST(FilesWin, WriteAppendSizeTimesAndRemove) {
  ScratchFolder scratch("files");
  // A name whose characters end in 0x5C, written through a sloppy path.
  std::string path = scratch.Path() + "\\表ソ.txt";
  std::string sloppy = " \"" + scratch.Path() + "\\\\表ソ.txt\" ";
  ASSERT_TRUE(paths::WriteNewFile(sloppy, "hello", 5));
  EXPECT_EQ(ReadAll(path), "hello");
  EXPECT_EQ(paths::GetFileSize(sloppy), 5u);
  ASSERT_TRUE(paths::AppendToFile(path, ", world", 7));
  ASSERT_TRUE(paths::AppendToFile(path, nullptr, 0));
  EXPECT_EQ(ReadAll(path), "hello, world");
  // A new write replaces the old content.
  ASSERT_TRUE(paths::WriteNewFile(path, "x", 1));
  EXPECT_EQ(ReadAll(path), "x");
  ASSERT_TRUE(paths::WriteNewFile(path, nullptr, 0));
  EXPECT_EQ(paths::GetFileSize(path), 0u);
  EXPECT_FALSE(paths::WriteNewFile(path, nullptr, 3));

  std::string appended = scratch.Path() + "\\new.log";
  ASSERT_TRUE(paths::AppendToFile(appended, "a", 1));
  EXPECT_EQ(ReadAll(appended), "a");

  std::string two = scratch.Path() + "\\two.bmp";
  ASSERT_TRUE(paths::WriteNewFile2(two, "BM", 2, "data", 4));
  EXPECT_EQ(ReadAll(two), "BMdata");

  FILETIME created{}, accessed{}, written{};
  ASSERT_TRUE(paths::GetFileTimes(two, created, accessed, written));
  EXPECT_NE(written.dwHighDateTime, 0u);

  EXPECT_TRUE(paths::RemoveFile(" \"" + two + "\""));
  EXPECT_EQ(ReadAll(two), "<missing>");
  EXPECT_FALSE(paths::RemoveFile(two));
  EXPECT_TRUE(paths::RemoveFile(path));
  EXPECT_TRUE(paths::RemoveFile(appended));
}

TEST(FilesWin, OnlyFilesMeantForAllUsersLetEveryoneWrite) {
  ScratchFolder scratch("access");
  const std::string own = scratch.Path() + "\\own", shared = scratch.Path() + "\\shared";
  file_access::CreationWatch watch;
  ASSERT_TRUE(paths::WriteNewFile(own + "1", "x", 1));
  ASSERT_TRUE(paths::AppendToFile(own + "2", "x", 1));
  ASSERT_TRUE(paths::WriteNewFile2(own + "3", "x", 1, "y", 1));
  ASSERT_TRUE(paths::WriteNewFile(shared + "1", "x", 1, paths::FileAccess::kAllUsers));
  ASSERT_TRUE(paths::AppendToFile(shared + "2", "x", 1, paths::FileAccess::kAllUsers));
  ASSERT_TRUE(paths::WriteNewFile2(shared + "3", "x", 1, "y", 1, paths::FileAccess::kAllUsers));
  const std::map<std::string, bool> created = watch.Created();
  for (const char* n : {"1", "2", "3"}) {
    ASSERT_EQ(created.count(own + n), 1u) << n;
    EXPECT_FALSE(created.at(own + n)) << n;
    ASSERT_EQ(created.count(shared + n), 1u) << n;
    EXPECT_TRUE(created.at(shared + n)) << n;
  }
}

TEST(FilesWin, StatusAndDirectories) {
  ScratchFolder scratch("status");
  std::string file = scratch.Path() + "\\s.txt";
  ASSERT_TRUE(paths::WriteNewFile(file, "12345", 5));
  paths::FileStatus status;
  ASSERT_TRUE(paths::GetFileStatus(file, status));
  EXPECT_EQ(status.size, 5u);
  EXPECT_TRUE(status.attributes & FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(sjis::EqualsNoCase(status.fullName, file)) << status.fullName;
  EXPECT_FALSE(paths::IsDirectory(file));

  ASSERT_TRUE(paths::GetFileStatus(scratch.Path(), status));
  EXPECT_EQ(status.size, 0u);
  EXPECT_TRUE(paths::IsDirectory(scratch.Path()));
  // A drive root cannot be listed but is still a directory.
  EXPECT_TRUE(paths::IsDirectory("C:\\"));
}

TEST(FilesWin, BadInputFailsCleanly) {
  ScratchFolder scratch("bad");
  std::string tooLong = scratch.Path() + "\\" + std::string(300, 'n') + ".txt";
  EXPECT_FALSE(paths::WriteNewFile(tooLong, "x", 1));
  EXPECT_FALSE(paths::AppendToFile(tooLong, "x", 1));
  EXPECT_FALSE(paths::WriteNewFile2(tooLong, "x", 1, "y", 1));
  EXPECT_EQ(paths::GetFileSize(tooLong), 0u);
  paths::FileStatus status;
  status.size = 99;
  EXPECT_FALSE(paths::GetFileStatus(tooLong, status));

  std::string missing = scratch.Path() + "\\missing.txt";
  EXPECT_FALSE(paths::RemoveFile(missing));
  EXPECT_EQ(paths::GetFileSize(missing), 0u);
  EXPECT_FALSE(paths::GetFileStatus(missing, status));
  EXPECT_EQ(status.size, 99u);
  FILETIME created{1, 2}, accessed{3, 4}, written{5, 6};
  EXPECT_FALSE(paths::GetFileTimes(missing, created, accessed, written));
  EXPECT_EQ(written.dwLowDateTime, 5u);

  for (const char* empty : {"", "  ", "\"\""}) {
    EXPECT_FALSE(paths::WriteNewFile(empty, "x", 1)) << empty;
    EXPECT_FALSE(paths::RemoveFile(empty)) << empty;
    EXPECT_FALSE(paths::IsDirectory(empty)) << empty;
  }
  // A folder in the way of a new file, and a file in a missing folder.
  EXPECT_FALSE(paths::WriteNewFile(scratch.Path(), "x", 1));
  EXPECT_FALSE(paths::WriteNewFile(scratch.Path() + "\\no\\such\\x.txt", "x", 1));
  // A lone lead byte at the end of a name.
  std::string lone = scratch.Path() + "\\a\x82";
  if (paths::WriteNewFile(lone, "x", 1)) {
    EXPECT_TRUE(paths::RemoveFile(lone));
  }
}

}  // namespace
