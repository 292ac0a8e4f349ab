// The URL selection dialog's rules that need no window: its layout for a client size, the request
// headers, how the referrer follows the user's navigation, the slider and level texts, and the
// preview built from a page's text.
#pragma once

#include <string>
#include <vector>

class NewsList;
struct PageLines;

namespace url_select {

// Control ids (the dialog resource's, see url_select_dlg_res.h).
enum ControlId : int {
  kSelect = 1,
  kCancel = 2,
  kUrlEdit = 1000,
  kReferrerEdit = 1001,
  kBrowser = 1003,
  kGuide = 1006,
  kBack = 1007,
  kForward = 1008,
  kRefresh = 1009,
  kStop = 1010,
  kHome = 1011,
  kPreview = 1013,
  kStatus = 1014,
  kLevelSlider = 1015,
  kLevelText = 1016,
  kHelp = 1034,
};

struct Box {
  int id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

// Where every control goes for a client area of width x height pixels: the browser takes four
// fifths and the preview one fifth of what the fixed rows leave.
std::vector<Box> Layout(int width, int height);
// The browser's and the preview's heights for a client height.
int BrowserHeight(int height);
int PreviewHeight(int height);

// The smallest client area the dialog can be sized to: below it controls of the layout overlap
// ("ｷｬﾝｾﾙ" reaches the browser buttons' row under 302 pixels) or lose their use (the status text
// keeps 110 pixels; the browser and the preview keep 128 and 32).
constexpr int kMinClientWidth = 400;
constexpr int kMinClientHeight = 300;
// The smallest client width when the guide's longest line is guideLineWidth pixels wide: wider
// than kMinClientWidth when that line would otherwise be cut.
int MinClientWidth(int guideLineWidth);

// The size grip: a 17 x 17 square (at 96 DPI; size on a scaled screen) in the lower right corner.
constexpr int kGripSize = 17;
Box GripSquare(int width, int height, int size = kGripSize);
inline bool InGrip(const Box& grip, int x, int y) {
  return x >= grip.x && x < grip.Right() && y >= grip.y && y < grip.Bottom();
}

// The extra request headers sent with a page request, naming referrer (which may be empty).
std::string RequestHeaders(const std::string& referrer);

// The slider runs 1..100; a level of 0 starts it at 40.
constexpr int kSliderMin = 1;
constexpr int kSliderMax = 100;
int InitialSliderPosition(int level);
// "%d文字以上"
std::string LevelText(int level);
// " URL選択  -  %s"
std::string TitleCaption(const std::string& pageTitle);

// Follows navigation: when the browser is about to go to url and url is not the page it came from,
// the referrer field becomes the page it came from and url becomes that page.
struct NavigationTrail {
  std::string lastUrl;
  void BeforeNavigate(const std::string& url, std::string& referrerField) {
    if (url == lastUrl) return;
    referrerField = lastUrl;
    lastUrl = url;
  }
};

// The preview's rows: the items in order up to the first empty one.
std::vector<std::string> PreviewRows(const NewsList& news);

// The page as one text, lines joined by line feeds, for the preview when the browser has no
// document to give (a system without an HTML engine): the ticker's own download of the page.
std::string JoinPageLines(const PageLines& page);
// Shown in the status line when the preview comes from that download.
constexpr const char kOwnDownloadStatus[] = "プレビュー：ティッカー自身の取得結果";

// The help window's text, lines separated by CR LF.
const std::string& HelpText();

}  // namespace url_select
