#include "ticker/dialogs/option_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::size_t CountLines(const std::string& text) {
  std::size_t lines = 1;
  for (std::size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2))
    ++lines;
  return lines;
}

TEST(OptionRules, ListsHoldTheirEntriesInStoredOrder) {
  ASSERT_EQ(option_dlg::AreaEntries().size(), 4u);
  EXPECT_EQ(option_dlg::AreaEntries()[0], "２５％");
  EXPECT_EQ(option_dlg::AreaEntries()[3], "全体");
  ASSERT_EQ(option_dlg::SpeedEntries().size(), 3u);
  EXPECT_EQ(option_dlg::SpeedEntries()[1], "普通");
  ASSERT_EQ(option_dlg::LoopEntries().size(), 3u);
  EXPECT_EQ(option_dlg::LoopEntries()[0], "１回");
  // The pause index is what the ticker maps to its pause table: twelve entries, "1分" fourth,
  // with a single-byte digit (3 bytes in Shift_JIS, the full-width forms take 2 per digit).
  ASSERT_EQ(option_dlg::SleepEntries().size(), 12u);
  EXPECT_EQ(option_dlg::SleepEntries()[0], "連続");
  EXPECT_EQ(option_dlg::SleepEntries()[3], "1分");
  EXPECT_EQ(option_dlg::SleepEntries()[3].size(), 3u);
  EXPECT_EQ(option_dlg::SleepEntries()[11], "６０分");
}

TEST(OptionRules, AreaListOnlyForTheDesktopModeAndEditsOnlyWithAuthentication) {
  EXPECT_FALSE(option_dlg::AreaListEnabled(0));
  EXPECT_TRUE(option_dlg::AreaListEnabled(1));
  EXPECT_FALSE(option_dlg::AreaListEnabled(2));
  EXPECT_FALSE(option_dlg::AreaListEnabled(-1));
  EXPECT_FALSE(option_dlg::ProxyEditsEnabled(0));
  EXPECT_TRUE(option_dlg::ProxyEditsEnabled(1));
  EXPECT_FALSE(option_dlg::ProxyEditsEnabled(2));
}

TEST(OptionRules, CompanionPathIsQuotedInBothForms) {
  const std::string path = option_dlg::CompanionPath("C:\\Program Files\\Zellora");
  EXPECT_EQ(path, "C:\\Program Files\\Zellora\\Zellmate.exe");
  EXPECT_EQ(option_dlg::CompanionCommandLine(path, true), "\"C:\\Program Files\\Zellora\\Zellmate.exe\"");
  EXPECT_EQ(option_dlg::CompanionCommandLine(path, false),
            "\"C:\\Program Files\\Zellora\\Zellmate.exe\" /UNREGIST");
  // A folder name whose Shift_JIS trail byte is a backslash survives the join.
  EXPECT_EQ(option_dlg::CompanionPath("C:\\表示"), "C:\\表示\\Zellmate.exe");
  EXPECT_EQ(option_dlg::CompanionPath(""), "");
  EXPECT_EQ(option_dlg::CompanionCommandLine("", false), "");
}

TEST(OptionRules, HelpTextHasItsThirtyNineLines) {
  const std::string& text = option_dlg::HelpText();
  EXPECT_EQ(CountLines(text), 39u);
  EXPECT_EQ(text.substr(0, 2), "\r\n");
  EXPECT_NE(text.find("\r\n　　　　　　　　　　　　　　　表示されます。\r\n\r\n【表示順序】"),
            std::string::npos);
  const std::string last = "Internet Explorerのメニューからお気に入りに追加できます。\r\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST(OptionRules, IndexesTheControlsCannotShowTakeTheDefaultsAndCheckBoxesAnyNonZero) {
  settings::OptionSettings stored;
  stored.howto = 2;
  stored.order = 1;
  stored.speed = 0;
  stored.loopCount = 2;
  stored.sleep = 11;
  stored.deskPer = 3;
  stored.regExplorer = 0;
  stored.proxyAuth = 1;
  stored.proxyUser = "u";
  settings::OptionSettings shown = option_dlg::ShownOptions(stored);
  EXPECT_EQ(shown.howto, 2);
  EXPECT_EQ(shown.order, 1);
  EXPECT_EQ(shown.speed, 0);
  EXPECT_EQ(shown.loopCount, 2);
  EXPECT_EQ(shown.sleep, 11);
  EXPECT_EQ(shown.deskPer, 3);
  EXPECT_EQ(shown.regExplorer, 0);
  EXPECT_EQ(shown.proxyAuth, 1);
  EXPECT_EQ(shown.proxyUser, "u");

  for (int bad : {-1, 12, 1 << 30}) {
    stored = settings::OptionSettings();
    stored.howto = stored.order = stored.speed = stored.loopCount = stored.sleep = stored.deskPer = bad;
    stored.regExplorer = stored.proxyAuth = bad;
    shown = option_dlg::ShownOptions(stored);
    const settings::OptionSettings defaults;
    EXPECT_EQ(shown.howto, defaults.howto) << bad;
    EXPECT_EQ(shown.order, defaults.order) << bad;
    EXPECT_EQ(shown.speed, defaults.speed) << bad;
    EXPECT_EQ(shown.loopCount, defaults.loopCount) << bad;
    EXPECT_EQ(shown.sleep, defaults.sleep) << bad;
    EXPECT_EQ(shown.deskPer, defaults.deskPer) << bad;
    EXPECT_EQ(shown.regExplorer, 1) << bad;
    EXPECT_EQ(shown.proxyAuth, 1) << bad;
  }
  stored.howto = 3;  // one past the last mode button
  EXPECT_EQ(option_dlg::ShownOptions(stored).howto, 1);
}

}  // namespace
