#include "ticker/shell/main_menu.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace main_menu {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 2;
  }
}

TEST(MainMenu, HelpTextHasItsTwentyEightLinesJoinedByCrLf) {
  const std::string& text = HelpText();
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 28u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "【スタート／停止】");
  EXPECT_EQ(lines[8], "　表示されているＵＲＬをインターネットブラウザで開きます。");
  EXPECT_EQ(lines[25], "　このソフトウェアを終了します。");
  EXPECT_EQ(lines[26], "");
  EXPECT_EQ(lines[27], "");
  // No bare line feed or carriage return hides inside a line.
  for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

TEST(TrayAnimation, CyclesTheFifteenFramesWhileBusyThenRestsOnTheStateIcon) {
  TrayAnimation a;
  EXPECT_EQ(a.Step(false), 0) << "nothing changes while idle";
  std::vector<int> shown;
  shown.reserve(16);
  for (int i = 0; i < 16; ++i) shown.push_back(a.Step(true));
  EXPECT_EQ(shown[0], 129);
  EXPECT_EQ(shown[6], 144);
  EXPECT_EQ(shown[7], 136);
  EXPECT_EQ(shown[14], 143);
  EXPECT_EQ(shown[15], 129) << "wraps after fifteen frames";
  EXPECT_EQ(std::set<int>(shown.begin(), shown.end()).count(132), 0u);
  EXPECT_EQ(a.animFrame, 1);
  EXPECT_EQ(a.Step(false), kIdleIcon);
  EXPECT_EQ(a.animFrame, 0);
  EXPECT_FALSE(a.animating);
  EXPECT_EQ(a.Step(false), 0);

  a.stopped = true;
  a.Step(true);
  EXPECT_EQ(a.Step(false), kStoppedIcon);
  EXPECT_EQ(a.RestingIcon(), kStoppedIcon);
}

TEST(MainMenu, StartStopReadsTheStateFromTheItemText) {
  std::string text;
  EXPECT_FALSE(ToggleOnline(kStopText, text));
  EXPECT_EQ(text, kStartText);
  EXPECT_TRUE(ToggleOnline(kStartText, text));
  EXPECT_EQ(text, kStopText);
  // The resource's own text (before start replaces it) counts as "off".
  EXPECT_TRUE(ToggleOnline("ｽﾄｯﾌﾟ", text));
  EXPECT_EQ(text, kStopText);
}

}  // namespace
}  // namespace main_menu

TEST(MainMenu, HeadlineTextIsCutOnACharacterAndShowsAmpersands) {
  using main_menu::HeadlineMenuText;
  EXPECT_EQ(HeadlineMenuText("R&D 速報"), "R&&D 速報");
  const std::string thirty = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ";  // 60 bytes
  EXPECT_EQ(HeadlineMenuText(thirty + "まみむ"), thirty);
  // 59 single bytes then a double-byte character: the character does not fit and is not halved.
  EXPECT_EQ(HeadlineMenuText(std::string(59, 'a') + "表x"), std::string(59, 'a'));
  EXPECT_EQ(HeadlineMenuText(std::string(70, 'a')), std::string(60, 'a'));
  EXPECT_EQ(HeadlineMenuText(""), "");
}
