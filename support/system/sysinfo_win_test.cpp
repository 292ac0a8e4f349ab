#include <gtest/gtest.h>

#include "support/system/paths_win.h"
#include "support/system/sysinfo.h"

namespace {

std::string Sample(const char* name) {
  return paths::JoinPath(paths::GetModuleFolder(""), name);
}

TEST(OsNameWin, ClassifiesTheRunningSystem) {
  OsVersion version;
  ASSERT_TRUE(QueryOsVersion(version));
  EXPECT_EQ(version.platformId, kOsPlatformNt);
  EXPECT_GE(version.major, 4u);

  std::string text;
  int code = GetOsName(text);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(code, GetOsCode());
  std::string expected;
  EXPECT_EQ(DescribeOs(
                version, [](OsProduct& p) { return p.productType = 1, true; }, expected),
            code);
  // The product part may differ; the version part must not.
  EXPECT_EQ(text.substr(0, 9), expected.substr(0, 9)) << text;
  std::printf("running on: %s (code %d, %u.%u.%u)\n", text.c_str(), code, version.major, version.minor,
              version.build);
}

TEST(FileVersionWin, ReadsTheVersionResource) {
  int a = -1, b = -1, c = -1, d = -1;
  ASSERT_TRUE(ReadFileVersion(Sample("versioned_sample.exe"), a, b, c, d));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(d, 5);

  // The path is cleaned first.
  a = b = c = d = -1;
  std::string sloppy = "  \"" + Sample("versioned_sample.exe") + "\" ";
  EXPECT_TRUE(ReadFileVersion(sloppy, a, b, c, d));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(d, 5);
}

TEST(FileVersionWin, StringsUnderTheTranslationAndUnder1252) {
  VersionInfoBlock block = LoadVersionInfo(Sample("versioned_sample.exe"));
  ASSERT_FALSE(block.empty());
  std::string text;
  EXPECT_TRUE(QueryVersionString(block, "ProductName", text));
  EXPECT_EQ(text, "ゼローラ試験");
  // Only in the 1252 table although the translation names 932.
  EXPECT_TRUE(QueryVersionString(block, "Comments", text));
  EXPECT_EQ(text, "western table");
  text = "unchanged";
  EXPECT_FALSE(QueryVersionString(block, "LegalTrademarks", text));
  EXPECT_FALSE(QueryVersionString(VersionInfoBlock{}, "FileVersion", text));
  EXPECT_EQ(text, "unchanged");
}

TEST(FileVersionWin, FilesWithoutAVersionLeaveTheNumbersAlone) {
  const std::string paths[] = {Sample("plain_sample.exe"),
                               Sample("no_such_file.exe"),
                               "",
                               "   ",
                               "\"",
                               "C:\\" + std::string(400, 'x') + ".exe",
                               "C:\\a\x82"};
  for (const std::string& path : paths) {
    int a = 7, b = 7, c = 7, d = 7;
    EXPECT_FALSE(ReadFileVersion(path, a, b, c, d)) << path;
    EXPECT_EQ(a + b + c + d, 28) << path;
    EXPECT_TRUE(LoadVersionInfo(path).empty()) << path;
  }
}

}  // namespace
