#include "ticker/shell/main_menu.h"

#include "support/text/sjis_cut.h"

namespace main_menu {

std::string HeadlineMenuText(const std::string& item) {
  const std::size_t cut = sjis::CutToBytes(item, kHeadlineTextBytes).size();
  std::string text;
  for (std::size_t i = 0; i < cut; ++i) {
    text += item[i];
    // "&" is never a second byte.
    if (item[i] == '&') text += '&';
  }
  return text;
}

const std::string& HelpText() {
  static const std::string text = [] {
    static const char* const lines[] = {
        "",
        "【スタート／停止】",
        "",
        "　ニュース表示をＯＮ／ＯＦＦします。",
        "　ＯＦＦにするとニュースは表示されません。",
        "",
        "【インターネット】",
        "",
        "　表示されているＵＲＬをインターネットブラウザで開きます。",
        "",
        "【お気に入り】",
        "",
        "　登録されているＵＲＬの中から表示するものを選びます。",
        "　選択するとすぐに表示されます。",
        "",
        "【ＵＲＬ設定】",
        "",
        "　ニュースとして表示するＵＲＬを登録／削除します。",
        "",
        "【オプション】",
        "",
        "　ニュースの表示方法などを設定します。",
        "",
        "【終了】",
        "",
        "　このソフトウェアを終了します。",
        "",
        "",
    };
    std::string joined;
    for (std::size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
      if (i) joined += "\r\n";
      joined += lines[i];
    }
    return joined;
  }();
  return text;
}

int TrayAnimation::Step(bool tickerBusy) {
  if (tickerBusy) {
    const int icon = kAnimationIcons[static_cast<std::size_t>(animFrame)];
    animating = true;
    animFrame = (animFrame + 1) % static_cast<int>(kAnimationIcons.size());
    return icon;
  }
  if (!animating) return 0;
  animating = false;
  animFrame = 0;
  return RestingIcon();
}

bool ToggleOnline(const std::string& itemText, std::string& newText) {
  const bool wasOn = itemText == kStopText;
  newText = wasOn ? kStartText : kStopText;
  return !wasOn;
}

}  // namespace main_menu
