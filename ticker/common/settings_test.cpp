#include "ticker/common/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/registry/registry.h"
#include "support/ticker_link/url_slot.h"

namespace {

// Every test works in a key of its own, so tests can run side by side in one registry.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name = std::string("settings.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root = std::string(kParent) + "\\" + name;
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    CRegistry parent(kParent);
    parent.DeleteKey(name.c_str());
  }
  int Number(const char* path, const char* value) {
    CRegistry reg(root.c_str());
    int n = -12345;
    EXPECT_TRUE(reg.ReadNumber(path, value, n)) << path << " " << value;
    return n;
  }
  std::string Text(const char* path, const char* value) {
    CRegistry reg(root.c_str());
    std::string s;
    EXPECT_TRUE(reg.ReadString(path, value, s)) << path << " " << value;
    return s;
  }
  bool Exists(const char* path, const char* value) {
    CRegistry reg(root.c_str());
    return reg.ValueExists(path, value);
  }
  void Put(const char* path, const char* value, int n) {
    CRegistry reg(root.c_str());
    ASSERT_TRUE(reg.WriteNumber(path, value, n));
  }

  static constexpr const char* kParent = "HKEY_CURRENT_USER\\Software\\ZelloraTests";
  std::string name;
  std::string root;
};

TEST(UrlSlot, KeyFormat) {
  EXPECT_EQ(url_list::SlotKey(0), "URL_List\\URL00000000");
  EXPECT_EQ(url_list::SlotKey(10), "URL_List\\URL0000000A");
  EXPECT_EQ(url_list::SlotKey(31), "URL_List\\URL0000001F");
}

TEST(SettingsMapping, DeskPerSleepAndSpeed) {
  EXPECT_EQ(settings::DeskPerPercent(0), 25);
  EXPECT_EQ(settings::DeskPerPercent(1), 50);
  EXPECT_EQ(settings::DeskPerPercent(2), 75);
  EXPECT_EQ(settings::DeskPerPercent(3), 100);
  EXPECT_EQ(settings::DeskPerPercent(4), 25);
  EXPECT_EQ(settings::DeskPerPercent(-1), 25);
  EXPECT_EQ(settings::DeskPerPercent(INT_MIN), 25);

  const long long minutes = 60'000;
  const long long expected[] = {1000,         10000,        30000,        1 * minutes,
                                3 * minutes,  5 * minutes,  10 * minutes, 15 * minutes,
                                20 * minutes, 30 * minutes, 45 * minutes, 60 * minutes};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(settings::SleepMilliseconds(i), expected[i]) << i;
  EXPECT_EQ(settings::SleepMilliseconds(12), -1);
  EXPECT_EQ(settings::SleepMilliseconds(-1), -1);
  EXPECT_EQ(settings::SleepMilliseconds(INT_MAX), -1);

  EXPECT_EQ(settings::TickMilliseconds(0), 80);
  EXPECT_EQ(settings::TickMilliseconds(1), 160);
  EXPECT_EQ(settings::TickMilliseconds(2), 240);
  // Stray values follow the same formula without overflowing.
  EXPECT_EQ(settings::TickMilliseconds(-1), 0);
  EXPECT_EQ(settings::TickMilliseconds(INT_MAX), (static_cast<long long>(INT_MAX) + 1) * 80);
  EXPECT_EQ(settings::TickMilliseconds(INT_MIN), (static_cast<long long>(INT_MIN) + 1) * 80);
}

TEST_F(SettingsTest, FirstRunWritesTheDefaultsOnceOnly) {
  ASSERT_TRUE(settings::ApplyFirstRunDefaults(root.c_str()));
  const std::string slot = url_list::SlotKey(0);
  EXPECT_EQ(Text(slot.c_str(), "Title"), "Yahoo!トピック");
  const std::string url = Text(slot.c_str(), "URL");
  EXPECT_EQ(url.compare(0, 7, "http://"), 0) << url;
  EXPECT_EQ(url.substr(url.size() - 4), "/fc/") << url;
  EXPECT_EQ(Number(slot.c_str(), "Filter"), 20);
  EXPECT_FALSE(Exists(slot.c_str(), "REFERRER"));
  EXPECT_EQ(Number("Option", "bRegExplorer"), 1);
  EXPECT_EQ(Number("", "bSetup"), 1);
  EXPECT_EQ(Number("", "bOnline"), 1);
  // A new installation shows the bar, whatever the readers make of a missing "Howto".
  EXPECT_EQ(Number("Option", "Howto"), settings::kModeBar);
  EXPECT_EQ(settings::ReadTickerSettings(root.c_str()).howto, settings::kModeBar);
  // Nothing else: every other setting is left to its readers' defaults.
  for (const char* value :
       {"Order", "loopCount", "Sleep", "Speed", "DeskPer", "bProxyAuth", "ProxyUser", "ProxyPassword"}) {
    EXPECT_FALSE(Exists("Option", value)) << value;
  }
  EXPECT_FALSE(Exists("", "homeId"));
  EXPECT_FALSE(Exists(url_list::SlotKey(1).c_str(), ""));

  // Once "bSetup" exists nothing is written again, even after the user emptied the list and
  // switched the display off.
  CRegistry reg(root.c_str());
  ASSERT_TRUE(reg.DeleteKey("URL_List"));
  Put("", "bOnline", 0);
  EXPECT_FALSE(settings::ApplyFirstRunDefaults(root.c_str()));
  EXPECT_FALSE(Exists("URL_List", ""));
  EXPECT_EQ(Number("", "bOnline"), 0);
  // An installation that has no "Howto" keeps the readers' default, the desktop strip.
  ASSERT_TRUE(reg.DeleteValue("Option", "Howto"));
  EXPECT_FALSE(settings::ApplyFirstRunDefaults(root.c_str()));
  EXPECT_FALSE(Exists("Option", "Howto"));
  EXPECT_EQ(settings::ReadTickerSettings(root.c_str()).howto, settings::kModeDesktop);

  // Only the existence of "bSetup" counts, not its value.
  ASSERT_TRUE(reg.DeleteKey(""));
  Put("", "bSetup", 0);
  EXPECT_FALSE(settings::ApplyFirstRunDefaults(root.c_str()));
  EXPECT_FALSE(Exists("", "bOnline"));
}

TEST_F(SettingsTest, MissingValuesTakeTheirDefaults) {
  // An empty "Option" key: desktop background, 25 %, 160 ms per tick, one pass, 1 s pause,
  // registration order.
  CRegistry reg(root.c_str());
  ASSERT_TRUE(reg.WriteNumber("Option", "Unrelated", 5));
  settings::TickerSettings s = settings::ReadTickerSettings(root.c_str());
  EXPECT_EQ(s.online, 1);
  EXPECT_EQ(s.howto, settings::kModeDesktop);
  EXPECT_EQ(s.order, 0);
  EXPECT_EQ(s.loopCount, 0);
  EXPECT_EQ(s.sleep, 0);
  EXPECT_EQ(s.speed, 1);
  EXPECT_EQ(s.deskPer, 25);
  EXPECT_EQ(settings::TickMilliseconds(s.speed), 160);
  EXPECT_EQ(settings::SleepMilliseconds(s.sleep), 1000);

  EXPECT_TRUE(settings::ReadOnline(root.c_str()));
  EXPECT_EQ(settings::ReadHomeId(root.c_str()), "");
  settings::ProxyCredentials proxy = settings::ReadProxyCredentials(root.c_str());
  EXPECT_EQ(proxy.user, "");
  EXPECT_EQ(proxy.password, "");

  settings::OptionSettings o = settings::ReadOptionSettings(root.c_str());
  EXPECT_EQ(o.howto, 1);
  EXPECT_EQ(o.order, 0);
  EXPECT_EQ(o.loopCount, 0);
  EXPECT_EQ(o.sleep, 0);
  EXPECT_EQ(o.speed, 1);
  EXPECT_EQ(o.regExplorer, 1);
  EXPECT_EQ(o.deskPer, 0);
  EXPECT_EQ(o.proxyAuth, 0);
  EXPECT_EQ(o.proxyUser, "");
  EXPECT_EQ(o.proxyPassword, "");
}

TEST_F(SettingsTest, StoredValuesAreReadAsTheyAreEvenOutOfRange) {
  Put("", "bOnline", 0);
  Put("Option", "Howto", 7);
  Put("Option", "Order", 3);
  Put("Option", "loopCount", 2);
  Put("Option", "Sleep", 12);
  Put("Option", "Speed", -4);
  Put("Option", "DeskPer", 9);
  settings::TickerSettings s = settings::ReadTickerSettings(root.c_str());
  EXPECT_EQ(s.online, 0);
  EXPECT_EQ(s.howto, 7);
  EXPECT_EQ(s.order, 3);
  EXPECT_EQ(s.loopCount, 2);
  EXPECT_EQ(s.sleep, 12);
  EXPECT_EQ(s.speed, -4);
  EXPECT_EQ(s.deskPer, 25);  // outside 0-3

  Put("Option", "DeskPer", 3);
  EXPECT_EQ(settings::ReadTickerSettings(root.c_str()).deskPer, 100);
  // The options dialog sees the stored index, not the percentage.
  EXPECT_EQ(settings::ReadOptionSettings(root.c_str()).deskPer, 3);
}

TEST_F(SettingsTest, OnlineAndHomeIdRoundTrip) {
  ASSERT_TRUE(settings::WriteOnline(false, root.c_str()));
  EXPECT_FALSE(settings::ReadOnline(root.c_str()));
  EXPECT_EQ(Number("", "bOnline"), 0);
  ASSERT_TRUE(settings::WriteOnline(true, root.c_str()));
  EXPECT_TRUE(settings::ReadOnline(root.c_str()));
  EXPECT_EQ(Number("", "bOnline"), 1);
  Put("", "bOnline", 5);  // any non-zero value is on
  EXPECT_TRUE(settings::ReadOnline(root.c_str()));

  ASSERT_TRUE(settings::WriteHomeId("20261207-03", root.c_str()));
  EXPECT_EQ(settings::ReadHomeId(root.c_str()), "20261207-03");
  EXPECT_EQ(Text("", "homeId"), "20261207-03");
}

TEST_F(SettingsTest, ProxyCredentialsOnlyWithAuthentication) {
  CRegistry reg(root.c_str());
  ASSERT_TRUE(reg.WriteString("Option", "ProxyUser", "山田"));
  ASSERT_TRUE(reg.WriteScrambled("Option", "ProxyPassword", "", "s3cret"));
  settings::ProxyCredentials proxy = settings::ReadProxyCredentials(root.c_str());
  EXPECT_EQ(proxy.user, "");  // "bProxyAuth" missing: off
  EXPECT_EQ(proxy.password, "");

  Put("Option", "bProxyAuth", 1);
  proxy = settings::ReadProxyCredentials(root.c_str());
  EXPECT_EQ(proxy.user, "山田");
  EXPECT_EQ(proxy.password, "s3cret");
  // Never stored as plain text.
  EXPECT_NE(Text("Option", "ProxyPassword"), "s3cret");

  Put("Option", "bProxyAuth", 0);
  EXPECT_EQ(settings::ReadProxyCredentials(root.c_str()).user, "");

  // Authentication on but nothing stored: both empty.
  ASSERT_TRUE(reg.DeleteKey("Option"));
  Put("Option", "bProxyAuth", 1);
  proxy = settings::ReadProxyCredentials(root.c_str());
  EXPECT_EQ(proxy.user, "");
  EXPECT_EQ(proxy.password, "");
}

TEST_F(SettingsTest, OptionSettingsRoundTripAndGuardThePassword) {
  settings::OptionSettings o;
  o.howto = 0;
  o.order = 1;
  o.loopCount = 2;
  o.sleep = 11;
  o.speed = 2;
  o.regExplorer = 0;
  o.deskPer = 3;
  o.proxyAuth = 1;
  o.proxyUser = "user";
  o.proxyPassword = "pass word";
  ASSERT_TRUE(settings::WriteOptionSettings(o, "", root.c_str()));
  settings::OptionSettings back = settings::ReadOptionSettings(root.c_str());
  EXPECT_EQ(back.howto, 0);
  EXPECT_EQ(back.order, 1);
  EXPECT_EQ(back.loopCount, 2);
  EXPECT_EQ(back.sleep, 11);
  EXPECT_EQ(back.speed, 2);
  EXPECT_EQ(back.regExplorer, 0);
  EXPECT_EQ(back.deskPer, 3);
  EXPECT_EQ(back.proxyAuth, 1);
  EXPECT_EQ(back.proxyUser, "user");
  EXPECT_EQ(back.proxyPassword, "pass word");

  // The ticker window reads the same values.
  settings::TickerSettings t = settings::ReadTickerSettings(root.c_str());
  EXPECT_EQ(t.howto, 0);
  EXPECT_EQ(t.sleep, 11);
  EXPECT_EQ(t.deskPer, 100);

  // Someone else changed the password since it was read: it is not overwritten, the rest is.
  back.speed = 0;
  back.proxyPassword = "mine";
  EXPECT_FALSE(settings::WriteOptionSettings(back, "stale", root.c_str()));
  settings::OptionSettings again = settings::ReadOptionSettings(root.c_str());
  EXPECT_EQ(again.proxyPassword, "pass word");
  EXPECT_EQ(again.speed, 0);
  EXPECT_TRUE(settings::WriteOptionSettings(back, "pass word", root.c_str()));
  EXPECT_EQ(settings::ReadOptionSettings(root.c_str()).proxyPassword, "mine");
}

TEST(SettingsBadRoot, UnusableKeyGivesDefaultsAndNoWrites) {
  const char* bad = "NOWHERE\\Zellora";
  EXPECT_TRUE(settings::ReadOnline(bad));
  EXPECT_FALSE(settings::WriteOnline(false, bad));
  EXPECT_EQ(settings::ReadTickerSettings(bad).howto, 1);
  EXPECT_EQ(settings::ReadHomeId(bad), "");
  EXPECT_FALSE(settings::WriteOptionSettings(settings::OptionSettings(), "", bad));
  // The defaults are attempted (writes fail silently) and the program starts anyway.
  EXPECT_TRUE(settings::ApplyFirstRunDefaults(bad));
}

}  // namespace
