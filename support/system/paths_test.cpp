#include "support/system/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// "表" and "ソ" end in 0x5C (a backslash byte); "ポ" ends in 0x7C (a bar byte).
const std::string kHyo = "表";
const std::string kPo = "ポ";

bool NothingExists(const std::string&) {
  return false;
}
bool EverythingExists(const std::string&) {
  return true;
}

std::string Cleaned(std::string path, bool exists = false) {
  bool ok = paths::CleanPathWith(path, exists ? EverythingExists : NothingExists);
  return ok ? path : "<failed:" + path + ">";
}

TEST(CleanPath, QuotesBlanksAndBackslashRuns) {
  EXPECT_EQ(Cleaned("  \"C:\\\\Program Files\\\\\\Zellora\\x.exe\"  "), "C:\\Program Files\\Zellora\\x.exe");
  EXPECT_EQ(Cleaned("\t\"C:\\a\\\"\r\n"), "C:\\a\\");
  EXPECT_EQ(Cleaned("\" C:\\a b \""), "C:\\a b");
  EXPECT_EQ(Cleaned(""), "");
  EXPECT_EQ(Cleaned("   "), "");
  EXPECT_EQ(Cleaned("\""), "");
  EXPECT_EQ(Cleaned("\"C:\\unterminated"), "C:\\unterminated");
  EXPECT_EQ(Cleaned("C:\\a\"\\\"\\b"), "C:\\a\\b");  // quotes inside a run do not split it
}

TEST(CleanPath, DoubleByteCharactersAreUnits) {
  // The trail byte 0x5C of "表" is not a backslash: the real backslash after it stays, and the
  // run after it still collapses.
  EXPECT_EQ(Cleaned("C:\\" + kHyo + "\\\\" + kHyo + "\\x"), "C:\\" + kHyo + "\\" + kHyo + "\\x");
  // "表\" must not lose its backslash as if it were the second of a run.
  EXPECT_EQ(Cleaned(kHyo + "\\a"), kHyo + "\\a");
  // A trail byte that looks like a quote ("\x83\x22" does not occur, but 0x81 0x68 is "”")
  // is never dropped.
  EXPECT_EQ(Cleaned("a\x81\x68"
                    "b"),
            "a\x81\x68"
            "b");
  // A lone lead byte at the end is kept as one byte.
  EXPECT_EQ(Cleaned("C:\\a\x82"), "C:\\a\x82");
  EXPECT_EQ(Cleaned("C:\\a\x82 "), "C:\\a\x82");
}

TEST(CleanPath, LongAndNetworkPrefixes) {
  EXPECT_EQ(Cleaned("\\\\?\\C:\\\\a\\b"), "\\\\?\\C:\\a\\b");
  EXPECT_EQ(Cleaned("\\\\?\\\\C:"), "\\\\?\\C:");
  EXPECT_EQ(Cleaned(" \"\\\\?\\C:\\x\" "), "\\\\?\\C:\\x");

  EXPECT_EQ(Cleaned("\\\\server\\\\share\\x", true), "\\\\server\\share\\x");
  EXPECT_EQ(Cleaned("\\\\\\server\\x", true), "\\\\server\\x");
  EXPECT_EQ(Cleaned("\"\\\\server\\x\"", true), "\\\\server\\x");

  // A network path that does not exist fails and is left exactly as it was.
  std::string missing = "  \\\\nowhere\\\\share ";
  EXPECT_FALSE(paths::CleanPathWith(missing, NothingExists));
  EXPECT_EQ(missing, "  \\\\nowhere\\\\share ");

  std::string checked;
  std::string path = "\\\\srv\\\\a";
  paths::CleanPathWith(path, [&](const std::string& p) {
    checked = p;
    return true;
  });
  EXPECT_EQ(checked, "\\\\srv\\a");
}

paths::FolderResolver Folder(const std::string& folder, int* calls = nullptr) {
  return [folder, calls](std::string& out) {
    if (calls) ++*calls;
    out = folder;
    return true;
  };
}

TEST(ReplaceMacro, ExactlyOneBackslashAtTheJoin) {
  struct Case {
    const char* path;
    const char* folder;
    const char* expected;
  } cases[] = {
      {"%Temp%\\x.txt", "C:\\T", "C:\\T\\x.txt"},
      {"%Temp%x.txt", "C:\\T", "C:\\T\\x.txt"},
      {"%Temp%\\x.txt", "C:\\T\\", "C:\\T\\x.txt"},
      {"%Temp%x.txt", "C:\\T\\", "C:\\T\\x.txt"},
      {"%Temp%", "C:\\T", "C:\\T\\"},
      {"a%Temp%b%Temp%c", "D:", "aD:\\bD:\\c"},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    EXPECT_TRUE(paths::ReplaceMacro(path, "%Temp%", Folder(c.folder))) << c.path;
    EXPECT_EQ(path, c.expected) << c.path;
  }
  // The folder's double-byte character ending in 0x5C is not a trailing backslash.
  std::string path = "%Temp%x";
  EXPECT_TRUE(paths::ReplaceMacro(path, "%Temp%", Folder("C:\\" + kHyo)));
  EXPECT_EQ(path, "C:\\" + kHyo + "\\x");
}

TEST(ReplaceMacro, CaseSensitiveAndAbsentMacros) {
  int calls = 0;
  std::string path = "%temp%\\x";
  EXPECT_TRUE(paths::ReplaceMacro(path, "%Temp%", Folder("C:\\T", &calls)));
  EXPECT_EQ(path, "%temp%\\x");
  EXPECT_EQ(calls, 0);
}

TEST(ReplaceMacro, StopsInsteadOfLoopingForEver) {
  // A failing resolver is asked once, and the call fails with the macro left in place.
  int calls = 0;
  std::string path = "%Desktop%\\a.txt";
  EXPECT_FALSE(paths::ReplaceMacro(path, "%Desktop%", [&](std::string&) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(path, "%Desktop%\\a.txt");

  // A folder that contains the macro again, or forms it at the join, would grow the path
  // without end: each original occurrence is replaced once, then the call fails.
  calls = 0;
  path = "%Temp%\\a%Temp%";
  EXPECT_FALSE(paths::ReplaceMacro(path, "%Temp%", Folder("C:\\%Temp%", &calls)));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(path, "C:\\%Temp%\\aC:\\%Temp%\\");
  calls = 0;
  path = "%T\\";
  EXPECT_FALSE(paths::ReplaceMacro(path, "%T\\", Folder("C:\\%T", &calls)));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(path, "C:\\%T\\");

  EXPECT_FALSE(paths::ReplaceMacro(path, "", Folder("x")));
  path = "%Temp%";
  EXPECT_FALSE(paths::ReplaceMacro(path, "%Temp%", nullptr));
}

// Found by fuzzing: a folder naming the macros further down the table multiplied the path with
// each of the fourteen rounds, without bound.
TEST(ExpandPathMacros, FolderNamingLaterMacrosStaysBounded) {
  // Every macro after the first, in table order, as often as a folder of legal length holds.
  std::string folder = "C:\\";
  for (bool full = false; !full;) {
    for (std::size_t i = 1; i < 14 && !full; ++i) {
      const std::string macro = paths::kPathMacros[i].macro;
      if (folder.size() + macro.size() > paths::kMaxPath) {
        full = true;
      } else {
        folder += macro;
      }
    }
  }
  int calls = 0;
  auto resolve = [&](paths::MacroFolder, std::string& out) {
    ++calls;
    out = folder;
    return true;
  };
  std::string path;
  for (int i = 0; i < 20; ++i) path += "%SYSTEM%\\";
  const std::string expanded = paths::ExpandPathMacrosWith(path, resolve, nullptr);
  EXPECT_LE(expanded.size(), (paths::kMaxExpandedPath + path.size()) * (folder.size() + 2));
  EXPECT_LT(calls, 100000);
  EXPECT_NE(expanded.find("C:\\"), std::string::npos);
}

TEST(ExpandPathMacros, TableOrderAndEnvironmentFallThrough) {
  std::map<paths::MacroFolder, std::string> folders = {
      {paths::MacroFolder::System, "C:\\windows\\system32"},
      {paths::MacroFolder::Temp, "C:\\users\\u\\Temp"},
      {paths::MacroFolder::Desktop, "C:\\users\\u\\Desktop"},
      {paths::MacroFolder::UserDesktop, "C:\\users\\u\\Desktop"},
      {paths::MacroFolder::AllUserDesktop, "C:\\users\\Public\\Desktop"}};
  std::vector<paths::MacroFolder> asked;
  auto resolve = [&](paths::MacroFolder f, std::string& out) {
    asked.push_back(f);
    out = folders[f];
    return true;
  };
  std::vector<std::string> envAsked;
  auto noEnvironment = [&](const std::string& in, std::string&) {
    envAsked.push_back(in);
    return false;
  };

  EXPECT_EQ(paths::ExpandPathMacrosWith(" \"%SystemRoot%\\\\drivers\" ", resolve, noEnvironment),
            "C:\\windows\\system32\\drivers");
  EXPECT_EQ(paths::ExpandPathMacrosWith("%Desktop%\\a.txt", resolve, noEnvironment),
            "C:\\users\\u\\Desktop\\a.txt");
  EXPECT_EQ(paths::ExpandPathMacrosWith("%USERTEMP%\\%SYSTEM%", resolve, noEnvironment),
            "C:\\users\\u\\Temp\\C:\\windows\\system32\\");
  EXPECT_TRUE(envAsked.empty());

  // Not a spelling in the table: handed to the environment, kept when that fails.
  asked.clear();
  EXPECT_EQ(paths::ExpandPathMacrosWith("%desktop%\\a.txt", resolve, noEnvironment), "%desktop%\\a.txt");
  EXPECT_TRUE(asked.empty());
  ASSERT_EQ(envAsked.size(), 1u);
  EXPECT_EQ(envAsked[0], "%desktop%\\a.txt");

  auto environment = [](const std::string& in, std::string& out) {
    out = in == "%HOMEDRIVE%\\x" ? "C:\\x" : in;
    return true;
  };
  EXPECT_EQ(paths::ExpandPathMacrosWith("%HOMEDRIVE%\\x", resolve, environment), "C:\\x");

  // No "%" at all: neither the table nor the environment is asked.
  asked.clear();
  envAsked.clear();
  EXPECT_EQ(paths::ExpandPathMacrosWith("C:\\\\plain", resolve, noEnvironment), "C:\\plain");
  EXPECT_EQ(paths::ExpandPathMacrosWith("", resolve, noEnvironment), "");
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(envAsked.empty());

  // A folder that cannot be found leaves its macro for the environment.
  auto failing = [](paths::MacroFolder, std::string&) { return false; };
  EXPECT_EQ(paths::ExpandPathMacrosWith("%Temp%\\x", failing, noEnvironment), "%Temp%\\x");
}

// A fake file system of long names: each full path maps to the long name of its last component.
struct FakeNames {
  std::map<std::string, std::string> names;
  std::vector<std::string> asked;
  std::function<bool(const std::string&, std::string&)> LookUp() {
    return [this](const std::string& p, std::string& out) {
      asked.push_back(p);
      auto it = names.find(p);
      if (it == names.end()) return false;
      out = it->second;
      return true;
    };
  }
};

TEST(GetLongPath, RebuildsFromTheEnd) {
  FakeNames fs;
  fs.names = {{"C:\\PROGRA~1\\ZELLOR~1\\ZELLORA.EXE", "Zellora.exe"},
              {"C:\\PROGRA~1\\ZELLOR~1", "Zellora Ticker"},
              {"C:\\PROGRA~1", "Program Files"}};
  std::string out = "unchanged";
  ASSERT_TRUE(paths::GetLongPathWith("C:\\PROGRA~1\\ZELLOR~1\\ZELLORA.EXE", out, fs.LookUp()));
  EXPECT_EQ(out, "C:\\Program Files\\Zellora Ticker\\Zellora.exe");
  // The drive itself is never looked up.
  for (const std::string& a : fs.asked) EXPECT_NE(a, "C:");

  ASSERT_TRUE(paths::GetLongPathWith("C:\\PROGRA~1\\", out, fs.LookUp()));
  EXPECT_EQ(out, "C:\\Program Files");
}

TEST(GetLongPath, RootsFailuresAndLimits) {
  FakeNames fs;
  fs.names = {{"\\\\?\\C:\\A~1", "alpha"},
              {"\\\\?\\C:\\A~1\\B", "b"},
              {"\\\\srv\\share\\D", "dir"},
              {"\\W", "Windows"},
              {"rel\\X", "x"},
              {"rel", "Rel"},
              {"C:\\" + kHyo + "\\F", "f"},
              {"C:\\" + kHyo, kHyo}};
  std::string out = "unchanged";
  EXPECT_TRUE(paths::GetLongPathWith("\\\\?\\C:\\A~1\\B", out, fs.LookUp()));
  EXPECT_EQ(out, "\\\\?\\C:\\alpha\\b");
  // The share itself cannot be looked up: it is the root.
  EXPECT_TRUE(paths::GetLongPathWith("\\\\srv\\share\\D", out, fs.LookUp()));
  EXPECT_EQ(out, "\\\\srv\\share\\dir");
  EXPECT_TRUE(paths::GetLongPathWith("\\W", out, fs.LookUp()));
  EXPECT_EQ(out, "\\Windows");
  EXPECT_TRUE(paths::GetLongPathWith("rel\\X", out, fs.LookUp()));
  EXPECT_EQ(out, "Rel\\x");
  // "表" ends in 0x5C: it is not cut there.
  EXPECT_TRUE(paths::GetLongPathWith("C:\\" + kHyo + "\\F", out, fs.LookUp()));
  EXPECT_EQ(out, "C:\\" + kHyo + "\\f");

  out = "unchanged";
  EXPECT_FALSE(paths::GetLongPathWith("C:\\missing", out, fs.LookUp()));
  EXPECT_FALSE(paths::GetLongPathWith("C:\\PROGRA~1\\Z", out, [](const std::string& p, std::string& o) {
    if (p == "C:\\PROGRA~1\\Z") return o = "Z", true;
    return false;  // a folder in the middle vanished
  }));
  EXPECT_FALSE(paths::GetLongPathWith("", out, fs.LookUp()));
  EXPECT_FALSE(paths::GetLongPathWith(std::string(300, 'a'), out, [](const std::string&, std::string& o) {
    o = "x";
    return true;
  }));
  // Long names that together exceed the limit fail instead of being cut.
  EXPECT_FALSE(paths::GetLongPathWith("C:\\A\\B", out, [](const std::string&, std::string& o) {
    o = std::string(200, 'n');
    return true;
  }));
  EXPECT_EQ(out, "unchanged");
}

TEST(GetTempFolder, Fallbacks) {
  struct World {
    std::string temp;
    bool longOk = true;
    int os = 28;
    std::string windows = "C:\\WINDOWS";
    std::set<std::string> dirs;
  };
  auto run = [](const World& w, std::string& out) {
    paths::TempFolderSystem s;
    s.tempPath = [&](std::string& o) {
      o = w.temp;
      return !w.temp.empty();
    };
    s.longPath = [&](const std::string& in, std::string& o) {
      if (!w.longOk) return false;
      o = in.substr(0, in.size() - 1);  // drops the trailing backslash like the real one
      return true;
    };
    s.osCode = [&] { return w.os; };
    s.windowsFolder = [&](std::string& o) {
      o = w.windows;
      return !w.windows.empty();
    };
    s.isDirectory = [&](const std::string& p) { return w.dirs.count(p) > 0; };
    return paths::GetTempFolderWith(s, out);
  };
  std::string out;
  World w;
  w.temp = "C:\\Users\\u\\AppData\\Local\\Temp\\";
  ASSERT_TRUE(run(w, out));
  EXPECT_EQ(out, "C:\\Users\\u\\AppData\\Local\\Temp");

  // Not "Temp" (case-sensitive): the Windows folder's Temp when it exists, else the drive's.
  w.temp = "C:\\tmp\\";
  w.dirs = {"C:\\WINDOWS\\Temp", "C:\\Temp"};
  ASSERT_TRUE(run(w, out));
  EXPECT_EQ(out, "C:\\WINDOWS\\Temp");
  w.temp = "C:\\TEMP\\";
  w.dirs = {"C:\\Temp"};
  ASSERT_TRUE(run(w, out));
  EXPECT_EQ(out, "C:\\Temp");
  w.windows = "C:\\";
  ASSERT_TRUE(run(w, out));
  EXPECT_EQ(out, "C:\\Temp");

  // Old systems take the raw path when the long form cannot be had.
  w = World{};
  w.temp = "C:\\WINDOWS\\Temp\\";
  w.longOk = false;
  w.os = 12;
  ASSERT_TRUE(run(w, out));
  EXPECT_EQ(out, "C:\\WINDOWS\\Temp\\");
  w.os = 25;
  EXPECT_FALSE(run(w, out));
  EXPECT_EQ(out, "");

  w = World{};
  w.windows.clear();
  EXPECT_FALSE(run(w, out));
}

TEST(FileDialogText, FilterAndExtensionFromThePath) {
  std::string filter, ext;
  paths::BuildFileDialogFilter("C:\\dl\\setup.exe", filter, ext);
  EXPECT_EQ(filter, "exe Files (*.exe)|*.exe|All Files (*.*)|*.*||");
  EXPECT_EQ(ext, "exe");
  for (const char* p : {"", "C:\\dl\\README", "C:\\v1.2\\README", "C:\\dl\\name.", "C:\\a.b\\"}) {
    paths::BuildFileDialogFilter(p, filter, ext);
    EXPECT_EQ(filter, "All Files (*.*)|*.*||") << p;
    EXPECT_EQ(ext, "") << p;
  }
  paths::BuildFileDialogFilter("C:\\" + kPo + "\\x.gif", filter, ext);
  EXPECT_EQ(ext, "gif");
}

TEST(FileDialogText, SplitAndFilterFormat) {
  std::string folder, name;
  paths::SplitDialogPath("C:\\dl\\" + kHyo + ".exe", false, folder, name);
  EXPECT_EQ(folder, "C:\\dl");
  EXPECT_EQ(name, kHyo + ".exe");
  paths::SplitDialogPath("C:\\" + kHyo, false, folder, name);  // the 0x5C inside "表" is no separator
  EXPECT_EQ(folder, "C:");
  EXPECT_EQ(name, kHyo);
  paths::SplitDialogPath("C:\\dl\\a.exe", true, folder, name);
  EXPECT_EQ(folder, "C:\\dl");
  EXPECT_EQ(name, "");

  EXPECT_EQ(paths::FilterToDialogFormat("All Files (*.*)|*.*||"),
            std::string("All Files (*.*)\0*.*\0\0", 21));
  // "ポ" has a bar for its trail byte; it stays a character.
  EXPECT_EQ(paths::FilterToDialogFormat(kPo + "|*.p|"), kPo + std::string("\0*.p\0\0", 6));
  EXPECT_EQ(paths::FilterToDialogFormat(""), std::string("\0\0", 2));
}

TEST(FileDialogText, SelectionBuffer) {
  const char single[] = "C:\\dl\\a.exe\0\0";
  EXPECT_EQ(paths::ParseDialogSelection(single, sizeof single, false),
            std::vector<std::string>{"C:\\dl\\a.exe"});
  EXPECT_EQ(paths::ParseDialogSelection(single, sizeof single, true),
            std::vector<std::string>{"C:\\dl\\a.exe"});
  const char multi[] = "C:\\dl\0a.exe\0b.txt\0\0";
  EXPECT_EQ(paths::ParseDialogSelection(multi, sizeof multi, true),
            (std::vector<std::string>{"C:\\dl\\a.exe", "C:\\dl\\b.txt"}));
  // An unterminated buffer is read only up to its size.
  const char raw[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(paths::ParseDialogSelection(raw, sizeof raw, false), std::vector<std::string>{"abcd"});
  EXPECT_TRUE(paths::ParseDialogSelection("", 1, true).empty());
}

}  // namespace
