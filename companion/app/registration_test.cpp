#include "companion/app/registration.h"

#include <gtest/gtest.h>

#include <string>

#include "support/registry/registry.h"
#include "tests/registry_test_key.h"

namespace {

class Registration : public RegistryKeyTest {
 protected:
  std::string Text(const std::string& key, const std::string& name) {
    std::string text = "<missing>";
    if (!reg_.ValueExists(key, name)) return text;
    reg_.ReadString(key, name, text);
    return text;
  }
  int Number(const std::string& key, const std::string& name) {
    int n = -1;
    reg_.ReadNumber(key, name, n);
    return n;
  }
  // The sub-key names right below the test key.
  std::vector<std::string> Children() {
    std::vector<std::string> names;
    regseam::ScopedKey key;
    if (regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyRead, key.Receive()) !=
        regseam::Status::kOk)
      return names;
    char name[256];
    for (std::uint32_t i = 0; regseam::EnumKey(key.Get(), i, name, sizeof name) == regseam::Status::kOk; ++i)
      names.push_back(name);
    return names;
  }
};

TEST_F(Registration, MenuKeysNameThePagesBesideTheProgramAndRegisteringTwiceChangesNothing) {
  const std::string folder = "C:\\Program Files\\Zellora";
  for (int run = 0; run < 2; ++run) {
    EXPECT_TRUE(zellmate::RegisterMenu(reg_, folder));
    EXPECT_EQ(Text("Zelloraに追加", ""), "C:\\Program Files\\Zellora\\ZellAdd.htm");
    EXPECT_EQ(Text("Zelloraに送る", ""), "C:\\Program Files\\Zellora\\ZellSend.htm");
    EXPECT_EQ(Number("Zelloraに追加", "contexts"), 243);
    EXPECT_EQ(Number("Zelloraに送る", "contexts"), 243);
    EXPECT_EQ(Children().size(), 2u);
  }
  // A folder whose name ends in a 0x5C trail byte keeps it (表 is 0x95 0x5C).
  EXPECT_TRUE(zellmate::RegisterMenu(reg_, "D:\\表"));
  EXPECT_EQ(Text("Zelloraに追加", ""), "D:\\表\\ZellAdd.htm");
  // No folder: the entries are written with empty paths.
  EXPECT_TRUE(zellmate::RegisterMenu(reg_, ""));
  EXPECT_EQ(Text("Zelloraに送る", ""), "");
}

TEST_F(Registration, UnregisterRemovesBothKeysAndASecondRunFindsNothing) {
  ASSERT_TRUE(zellmate::RegisterMenu(reg_, "C:\\Z"));
  ASSERT_TRUE(reg_.WriteString("Zelloraに追加\\below", "x", "y"));
  ASSERT_TRUE(reg_.WriteString("Other tool", "", "C:\\other.htm"));
  EXPECT_TRUE(zellmate::UnregisterMenu(reg_));
  EXPECT_FALSE(reg_.ValueExists("Zelloraに追加", ""));
  EXPECT_FALSE(reg_.ValueExists("Zelloraに送る", ""));
  EXPECT_EQ(Children(), std::vector<std::string>{"Other tool"});
  // Nothing left to delete: reported, and nothing else touched.
  EXPECT_FALSE(zellmate::UnregisterMenu(reg_));
  EXPECT_EQ(Text("Other tool", ""), "C:\\other.htm");
}

TEST_F(Registration, TheServerIsFoundFromItsProgIdAndBack) {
  for (int run = 0; run < 2; ++run) {
    EXPECT_TRUE(zellmate::RegisterServer(reg_, "C:\\Program Files\\Zellora\\Zellmate.exe"));
  }
  const std::string clsid = zellmate::kClsidText;
  EXPECT_EQ(Text("Zellmate.Application\\CLSID", ""), clsid);
  EXPECT_EQ(Text("CLSID\\" + clsid + "\\LocalServer32", ""), "\"C:\\Program Files\\Zellora\\Zellmate.exe\"");
  EXPECT_EQ(Text("CLSID\\" + clsid + "\\ProgID", ""), "Zellmate.Application");
  EXPECT_EQ(Text("CLSID\\" + clsid, ""), "Zellmate.Application");
  EXPECT_EQ(Children().size(), 2u);
}

}  // namespace
