#include "ticker/dialogs/url_select_model.h"

#include <algorithm>
#include <cstdio>

#include "support/net/page_lines.h"
#include "ticker/dialogs/help_texts.h"
#include "ticker/news/news_list.h"

namespace url_select {

int BrowserHeight(int height) {
  return (5 * height - 700) * 16 / 100;
}

int PreviewHeight(int height) {
  return (5 * height - 700) * 4 / 100;
}

std::vector<Box> Layout(int w, int h) {
  const int b = BrowserHeight(h);
  const int l = PreviewHeight(h);
  return {
      {kGuide, 8, 6, w - 100, 24},
      {kBack, 8, 36, 40, 19},
      {kForward, 50, 36, 40, 19},
      {kStop, 92, 36, 40, 19},
      {kRefresh, 134, 36, 40, 19},
      {kHome, 176, 36, 40, 19},
      {kUrlEdit, 8, 58, w - 16, 18},
      {kReferrerEdit, 8, 82, w - 16, 18},
      {kSelect, w - 86, 6, 80, 22},
      {kCancel, w - 86, 31, 80, 22},
      {kBrowser, 8, 110, w - 16, b},
      {kPreview, 8, b + 114, w - 16, l},
      {kStatus, 8, h - 24, w - 290, 16},
      {kLevelText, w - 270, h - 22, 68, 16},
      {kLevelSlider, w - 200, h - 24, 160, 16},
      {kHelp, w - 40, h - 24, 16, 16},
  };
}

int MinClientWidth(int guideLineWidth) {
  int guideWidth = 0;
  for (const Box& box : Layout(kMinClientWidth, kMinClientHeight)) {
    if (box.id == kGuide) guideWidth = box.width;
  }
  return std::max(kMinClientWidth, guideLineWidth + kMinClientWidth - guideWidth);
}

Box GripSquare(int width, int height, int size) {
  return {0, width - size, height - size, size, size};
}

std::string RequestHeaders(const std::string& referrer) {
  return "Referer: " + referrer +
         "\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nPragma: "
         "no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
}

int InitialSliderPosition(int level) {
  return level == 0 ? 40 : level;
}

std::string LevelText(int level) {
  char text[32];
  std::snprintf(text, sizeof text, "%d文字以上", level);
  return text;
}

std::string TitleCaption(const std::string& pageTitle) {
  return " URL選択  -  " + pageTitle;
}

std::vector<std::string> PreviewRows(const NewsList& news) {
  std::vector<std::string> rows;
  for (const std::string& item : news.items) {
    if (item.empty()) break;
    rows.push_back(item);
  }
  return rows;
}

std::string JoinPageLines(const PageLines& page) {
  std::string text;
  for (const std::string& line : page.lines) {
    text += line;
    text += '\n';
  }
  return text;
}

const std::string& HelpText() {
  static const std::string text = help_text::JoinLines({
      "",
      "　ニュースで表示したいホームページをブラウザで表示して選択します。",
      "",
      "　ニュースとして表示したい文章が、正しく抽出されていることを確認し",
      "　てから「選択」ボタンを押してください。",
      "　（ブラウザの操作方法はInternet　Explorerと同じです。）",
      "",
      "",
      "【正しく表示されない時は】",
      "",
      "　フレームで分けられているページの場合、目的の文章が抽出されないこ",
      "　とがあります。そのような場合、抽出したい文章が表示されているフレ",
      "　ーム上で右クリックをするとメニューが出てくるので、そのメニューの",
      "　「ﾌﾟﾛﾊﾟﾃｨ」を選択してください。するとそのページのＵＲＬが表示さ",
      "　れるので、そのＵＲＬを選択の対象にしてください。",
      "",
      "",
      "【抽出レベル】",
      "",
      "　最下部のスライドバーで抽出レベルを変更できます。変更結果はすぐ上",
      "　の欄で確認してください。",
      "",
      "　注意：結果が表示されるまでに多少時間がかかることがあります。",
      "",
      "",
  });
  return text;
}

}  // namespace url_select
