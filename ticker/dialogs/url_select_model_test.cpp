#include "ticker/dialogs/url_select_model.h"

#include <gtest/gtest.h>

#include <string>

#include "support/net/page_lines.h"
#include "ticker/news/news_list.h"

namespace {

const url_select::Box* Find(const std::vector<url_select::Box>& boxes, int id) {
  for (const auto& b : boxes) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

TEST(UrlSelectLayout, BrowserTakesFourFifthsAndPreviewOneFifthOfWhatIsLeft) {
  const auto boxes = url_select::Layout(600, 300);
  ASSERT_EQ(boxes.size(), 16u);
  const auto* browser = Find(boxes, url_select::kBrowser);
  const auto* preview = Find(boxes, url_select::kPreview);
  ASSERT_TRUE(browser && preview);
  EXPECT_EQ(browser->y, 110);
  EXPECT_EQ(browser->height, 128);
  EXPECT_EQ(preview->y, 128 + 114);
  EXPECT_EQ(preview->height, 32);
  EXPECT_EQ(browser->width, 584);
  // The right-hand and bottom rows follow the client size.
  EXPECT_EQ(Find(boxes, url_select::kSelect)->x, 514);
  EXPECT_EQ(Find(boxes, url_select::kCancel)->y, 31);
  EXPECT_EQ(Find(boxes, url_select::kStatus)->y, 276);
  EXPECT_EQ(Find(boxes, url_select::kStatus)->width, 310);
  EXPECT_EQ(Find(boxes, url_select::kLevelText)->x, 330);
  EXPECT_EQ(Find(boxes, url_select::kLevelText)->y, 278);
  EXPECT_EQ(Find(boxes, url_select::kLevelSlider)->x, 400);
  EXPECT_EQ(Find(boxes, url_select::kHelp)->x, 560);
  EXPECT_EQ(Find(boxes, url_select::kGuide)->width, 500);
  // Integer division rounds each share down: 5 * 333 - 700 = 965.
  EXPECT_EQ(url_select::BrowserHeight(333), 154);
  EXPECT_EQ(url_select::PreviewHeight(333), 38);
}

bool Overlap(const url_select::Box& a, const url_select::Box& b) {
  return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

// The first two boxes of the layout (the grip among them) that overlap, or "" when none do.
std::string Overlapping(int w, int h) {
  auto boxes = url_select::Layout(w, h);
  boxes.push_back(url_select::GripSquare(w, h));
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].width <= 0 || boxes[i].height < 0) return std::to_string(boxes[i].id) + " has no size";
    for (std::size_t j = i + 1; j < boxes.size(); ++j) {
      if (Overlap(boxes[i], boxes[j])) return std::to_string(boxes[i].id) + "/" + std::to_string(boxes[j].id);
    }
  }
  return "";
}

TEST(UrlSelectLayout, NoControlsOverlapFromTheSmallestSizeUpButBelowThey) {
  for (int w = url_select::kMinClientWidth; w < url_select::kMinClientWidth + 700; w += 7) {
    for (int h = url_select::kMinClientHeight; h < url_select::kMinClientHeight + 700; h += 11) {
      ASSERT_EQ(Overlapping(w, h), "") << w << " x " << h;
    }
  }
  const auto smallest = url_select::Layout(url_select::kMinClientWidth, url_select::kMinClientHeight);
  EXPECT_GE(Find(smallest, url_select::kStatus)->width, 110);
  EXPECT_EQ(Find(smallest, url_select::kPreview)->height, 32);
  // Just below the smallest width "ｷｬﾝｾﾙ" meets the browser buttons.
  EXPECT_EQ(Overlapping(301, url_select::kMinClientHeight), "1011/2");
}

TEST(UrlSelectLayout, TheSmallestWidthMakesRoomForTheGuidesLongestLine) {
  const struct {
    int line;
    int width;
  } cases[] = {{0, url_select::kMinClientWidth}, {300, url_select::kMinClientWidth}, {301, 401}, {376, 476}};
  for (const auto& c : cases) {
    const int w = url_select::MinClientWidth(c.line);
    EXPECT_EQ(w, c.width) << c.line;
    EXPECT_GE(Find(url_select::Layout(w, url_select::kMinClientHeight), url_select::kGuide)->width, c.line);
  }
}

TEST(UrlSelectLayout, GripIsTheLowerRightSquare) {
  const auto grip = url_select::GripSquare(600, 300);
  EXPECT_EQ(grip.x, 583);
  EXPECT_EQ(grip.y, 283);
  EXPECT_TRUE(url_select::InGrip(grip, 583, 283));
  EXPECT_TRUE(url_select::InGrip(grip, 599, 299));
  EXPECT_FALSE(url_select::InGrip(grip, 582, 299));
  EXPECT_FALSE(url_select::InGrip(grip, 599, 282));
  EXPECT_FALSE(url_select::InGrip(grip, 600, 299));
}

TEST(UrlSelectRules, HeadersSliderAndTexts) {
  EXPECT_EQ(
      url_select::RequestHeaders("http://a/"),
      "Referer: http://a/\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
      "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(url_select::RequestHeaders("").substr(0, 11), "Referer: \r\n");
  EXPECT_EQ(url_select::InitialSliderPosition(0), 40);
  EXPECT_EQ(url_select::InitialSliderPosition(7), 7);
  EXPECT_EQ(url_select::LevelText(25), "25文字以上");
  EXPECT_EQ(url_select::TitleCaption("ニュース"), " URL選択  -  ニュース");
}

TEST(UrlSelectRules, ReferrerFollowsTheLinksTheUserTakes) {
  url_select::NavigationTrail trail;
  std::string referrer = "http://given/";
  trail.lastUrl = referrer;  // opened with a referrer
  trail.BeforeNavigate("http://a/", referrer);
  EXPECT_EQ(referrer, "http://given/");
  trail.BeforeNavigate("http://b/", referrer);  // a link on A
  EXPECT_EQ(referrer, "http://a/");
  trail.BeforeNavigate("http://b/", referrer);  // B again (a frame, a reload): unchanged
  EXPECT_EQ(referrer, "http://a/");
  trail.lastUrl.clear();  // Enter typed in an edit
  trail.BeforeNavigate("http://c/", referrer);
  EXPECT_EQ(referrer, "");
}

TEST(UrlSelectPreview, RowsFromTheTickersOwnDownloadFollowTheLevel) {
  PageLines page;
  page.lines = {"<html><head><title>見出しの頁</title></head><body>", "<p>短い</p>",
                "<p>これはかなり長い見出しの文章です</p>", "</body></html>"};
  const std::string text = url_select::JoinPageLines(page);
  EXPECT_EQ(text.back(), '\n');
  NewsList low;
  low.ExtractFromText(text, 4);
  NewsList high;
  high.ExtractFromText(text, 20);
  const auto lowRows = url_select::PreviewRows(low);
  const auto highRows = url_select::PreviewRows(high);
  EXPECT_GT(lowRows.size(), highRows.size());
  ASSERT_FALSE(highRows.empty());
  EXPECT_NE(highRows.back().find("長い見出し"), std::string::npos);
  EXPECT_EQ(high.GetTitle(), "見出しの頁");

  NewsList gap;
  gap.items = {"一", "", "三"};
  EXPECT_EQ(url_select::PreviewRows(gap), std::vector<std::string>({"一"}));
}

TEST(UrlSelectRules, HelpTextHasItsTwentyFiveLines) {
  const std::string& text = url_select::HelpText();
  std::size_t lines = 1;
  for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++lines;
  EXPECT_EQ(lines, 25u);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

}  // namespace
