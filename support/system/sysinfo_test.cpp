#include "support/system/sysinfo.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct Row {
  std::uint32_t platform, major, minor, build;
  const char* pack;
  int productType;  // -1: the extended query fails
  std::uint16_t suite;
  int code;
  const char* text;
  bool asksProduct;
};

class FakeSystem {
 public:
  explicit FakeSystem(int productType, std::uint16_t suite) : productType_(productType), suite_(suite) {}
  OsProductQuery Query() {
    return [this](OsProduct& p) {
      ++asked;
      if (productType_ < 0) return false;
      p.productType = static_cast<std::uint8_t>(productType_);
      p.suiteMask = suite_;
      return true;
    };
  }
  int asked = 0;

 private:
  int productType_;
  std::uint16_t suite_;
};

TEST(OsClassification, EveryRowOfTheTable) {
  const Row rows[] = {
      {0, 3, 11, 0, "", 0, 0, 1, "Windows3.11(Win32s)", false},
      {1, 4, 0, 950, "", 0, 0, 10, "Windows95", false},
      {1, 4, 0, 1110, "", 0, 0, 10, "Windows95", false},
      {1, 4, 0, 1111, " B ", 0, 0, 11, "Windows95 OSR2 [B]", false},
      {1, 4, 0, 1112, "", 0, 0, 10, "Windows95", false},
      {1, 4, 0, 1211, "", 0, 0, 10, "Windows95", false},
      {1, 4, 0, 1212, "", 0, 0, 11, "Windows95 OSR2.1", false},
      {1, 4, 0, 1213, "", 0, 0, 11, "Windows95 OSR2.1", false},
      {1, 4, 0, 1214, "", 0, 0, 11, "Windows95 OSR2.5", false},
      // Only the low 16 bits are the build on this platform.
      {1, 4, 0, 0x040004BFu, "", 0, 0, 11, "Windows95 OSR2.5", false},
      {1, 4, 10, 1998, "", 0, 0, 12, "Windows98", false},
      {1, 4, 10, 0x040A0000u | 2222, " A ", 0, 0, 12, "Windows98 Second Edition [A]", false},
      {1, 4, 90, 3000, "", 0, 0, 13, "WindowsMe", false},
      {1, 4, 20, 3000, "", 0, 0, 0, "", false},
      {2, 5, 0, 2195, "Service Pack 4", 1, 0, 24, "Windows2000 Professional [Service Pack 4]", true},
      {2, 5, 0, 2195, "", 3, 0, 24, "Windows2000 Server", true},
      {2, 5, 0, 2195, "", -1, 0, 24, "Windows2000 Server", true},
      {2, 5, 1, 2600, "", 1, 0, 25, "WindowsXP Professional", true},
      {2, 5, 1, 2600, "Service Pack 2", 1, 0x300, 25, "WindowsXP Home Edition [Service Pack 2]", true},
      {2, 5, 1, 2600, "", 2, 0x200, 27, "Windows.NET", true},
      {2, 5, 2, 3790, "", 1, 0, 26, "WindowsServer2003", false},
      {2, 6, 0, 6000, "", 1, 0, 28, "WindowsVista", false},
      {2, 6, 1, 7601, "Service Pack 1", 3, 0, 28, "WindowsVista [Service Pack 1]", false},
      {2, 3, 51, 1057, "Service Pack 5", 1, 0, 20, "WindowsNT3.51  [Service Pack 5]", false},
      {2, 4, 0, 1381, "Service Pack 6", 1, 0, 21, "WindowsNT4.0 WorkStation [Service Pack 6]", true},
      {2, 4, 0, 1381, "Service Pack 6a", 2, 0, 21, "WindowsNT4.0 Server [Service Pack 6a]", true},
      {2, 4, 0, 1381, "Service Pack 5", 1, 0, 21, "WindowsNT4.0  [Service Pack 5]", false},
      {2, 4, 0, 1381, "", 1, 0, 21, "WindowsNT4.0 ", false},
      {2, 5, 3, 4000, "", 1, 0, 22, "WindowsNT5.3 WorkStation", true},
      {2, 10, 0, 19045, "", 1, 0, 0, "WindowsNT10.0 WorkStation", true},
      {2, 10, 0, 20348, "", 3, 0, 0, "WindowsNT10.0 Server", true},
      {3, 7, 0, 0, "", 0, 0, 0, "Unknown OS", false},
  };
  for (const Row& r : rows) {
    OsVersion v;
    v.platformId = r.platform;
    v.major = r.major;
    v.minor = r.minor;
    v.build = r.build;
    v.servicePack = r.pack;
    FakeSystem system(r.productType, r.suite);
    std::string text = "old";
    EXPECT_EQ(DescribeOs(v, system.Query(), text), r.code) << r.text;
    EXPECT_EQ(text, r.text);
    EXPECT_EQ(system.asked > 0, r.asksProduct) << r.text;
  }
}

TEST(OsClassification, NameWithoutPackAndWithoutProductQuery) {
  OsVersion v;
  v.platformId = kOsPlatformNt;
  v.major = 5;
  v.minor = 1;
  v.servicePack = "Service Pack 3";
  std::string name;
  // No way to ask for the product: treated as not a workstation.
  EXPECT_EQ(ClassifyOs(v, nullptr, name), 27);
  EXPECT_EQ(name, "Windows.NET");
}

TEST(FileVersionText, FourNumbersFromAnySeparators) {
  struct Case {
    const char* text;
    int a, b, c, d;
  } cases[] = {
      {"1, 2, 0, 5", 1, 2, 0, 5},
      {"1.2.0.5", 1, 2, 0, 5},
      {"3", 3, 0, 0, 0},
      {"  \t2.10 (build 7) \r\n", 2, 10, 7, 0},
      {"", 0, 0, 0, 0},
      {"v1.2", 0, 1, 2, 0},  // a leading non-digit gives an empty first run
      {"1.2.3.4.5.6", 1, 2, 3, 4},
      {"１.2", 0, 2, 0, 0},  // full-width digits are not digits
      {"99999999999999999999.1", 2147483647, 1, 0, 0},
  };
  for (const Case& c : cases) {
    int n[4] = {-1, -1, -1, -1};
    ParseFileVersion(c.text, n);
    EXPECT_EQ(n[0], c.a) << c.text;
    EXPECT_EQ(n[1], c.b) << c.text;
    EXPECT_EQ(n[2], c.c) << c.text;
    EXPECT_EQ(n[3], c.d) << c.text;
  }
}

VersionValueReader Reader(const std::map<std::string, std::string>& values, std::vector<std::string>* asked) {
  return [values, asked](const std::string& key, std::string& value) {
    if (asked) asked->push_back(key);
    auto it = values.find(key);
    if (it == values.end()) return false;
    value = it->second;
    return true;
  };
}

TEST(VersionStrings, TranslationPairThenCodePage1252) {
  const std::string japanese("\x11\x04\xA4\x03", 4);  // 0x0411, 932
  std::vector<std::string> asked;
  std::string text = "unchanged";
  auto read = Reader({{"\\VarFileInfo\\Translation", japanese},
                      {"\\StringFileInfo\\041103A4\\FileVersion", "1, 2, 0, 5"},
                      {"\\StringFileInfo\\041104E4\\Comments", "western"}},
                     &asked);
  EXPECT_TRUE(QueryVersionStringWith(read, "FileVersion", text));
  EXPECT_EQ(text, "1, 2, 0, 5");
  EXPECT_TRUE(QueryVersionStringWith(read, "Comments", text));
  EXPECT_EQ(text, "western");
  EXPECT_EQ(asked.back(), "\\StringFileInfo\\041104E4\\Comments");

  text = "unchanged";
  EXPECT_FALSE(QueryVersionStringWith(read, "ProductName", text));
  EXPECT_EQ(text, "unchanged");
}

TEST(VersionStrings, MissingOrShortTranslationFails) {
  std::string text = "unchanged";
  EXPECT_FALSE(QueryVersionStringWith(Reader({{"\\StringFileInfo\\041104E4\\FileVersion", "1"}}, nullptr),
                                      "FileVersion", text));
  EXPECT_FALSE(QueryVersionStringWith(Reader({{"\\VarFileInfo\\Translation", std::string("\x11\x04", 2)},
                                              {"\\StringFileInfo\\041104E4\\FileVersion", "1"}},
                                             nullptr),
                                      "FileVersion", text));
  EXPECT_FALSE(QueryVersionStringWith(nullptr, "FileVersion", text));
  EXPECT_EQ(text, "unchanged");
}

}  // namespace
