#include "ticker/dialogs/option_rules.h"

#include "support/system/paths.h"
#include "ticker/dialogs/help_texts.h"

namespace option_dlg {

const std::vector<std::string>& AreaEntries() {
  static const std::vector<std::string> entries{"２５％", "５０％", "７５％", "全体"};
  return entries;
}

const std::vector<std::string>& SpeedEntries() {
  static const std::vector<std::string> entries{"早く", "普通", "ゆっくり"};
  return entries;
}

const std::vector<std::string>& LoopEntries() {
  static const std::vector<std::string> entries{"１回", "２回", "３回"};
  return entries;
}

const std::vector<std::string>& SleepEntries() {
  static const std::vector<std::string> entries{"連続",   "１０秒", "３０秒", "1分",    "３分",   "５分",
                                                "１０分", "１５分", "２０分", "３０分", "４５分", "６０分"};
  return entries;
}

const std::string& HelpText() {
  static const std::string text = help_text::JoinLines({
      "",
      "【表示方法】",
      "",
      "ニュースの表示方法を選択します。",
      "",
      "　最前面に表示・・・・・・・・画面の下部に表示されます。",
      "　デスクトップの背景に表示・・デスクトップの壁紙に表示されます。",
      "　タイトルバーに表示・・・・・最前面のウィンドウのタイトルバーに",
      "　　　　　　　　　　　　　　　表示されます。",
      "",
      "【表示順序】",
      "",
      "　ニュースの表示順序を選択します。",
      "",
      "　登録順・・・・・・・・・・・URLの登録順に表示します。",
      "　ランダム・・・・・・・・・・登録されているURLをランダムに",
      "　　　　　　　　　　　　　　　表示します。",
      "",
      "【表示エリア】",
      "",
      "　デスクトップの背景に表示する際に画面の右から何％で",
      "　ニュースの表示するかを選択します。",
      "",
      "【表示速度】",
      "",
      "　ニュースの表示速度を選択します。",
      "",
      "【ループ回数】",
      "",
      "　１つのニュースを何回表示するかを選択します。",
      "",
      "【休眠時間】",
      "",
      "　次のニュースを表示するまでの休眠時間を選択します。",
      "",
      "【Internet Explorer に追加】",
      "",
      "　Internet Explorerのメニューからお気に入りに追加できます。",
      "",
  });
  return text;
}

namespace {

int Shown(int stored, std::size_t count, int fallback) {
  return stored >= 0 && static_cast<std::size_t>(stored) < count ? stored : fallback;
}

constexpr std::size_t kModeButtons = 3;   // "Howto"
constexpr std::size_t kOrderButtons = 2;  // "Order"

}  // namespace

settings::OptionSettings ShownOptions(const settings::OptionSettings& stored) {
  const settings::OptionSettings defaults;
  settings::OptionSettings shown = stored;
  shown.howto = Shown(stored.howto, kModeButtons, defaults.howto);
  shown.order = Shown(stored.order, kOrderButtons, defaults.order);
  shown.speed = Shown(stored.speed, SpeedEntries().size(), defaults.speed);
  shown.loopCount = Shown(stored.loopCount, LoopEntries().size(), defaults.loopCount);
  shown.sleep = Shown(stored.sleep, SleepEntries().size(), defaults.sleep);
  shown.deskPer = Shown(stored.deskPer, AreaEntries().size(), defaults.deskPer);
  shown.regExplorer = stored.regExplorer != 0 ? 1 : 0;
  shown.proxyAuth = stored.proxyAuth != 0 ? 1 : 0;
  return shown;
}

std::string CompanionPath(const std::string& tickerFolder) {
  if (tickerFolder.empty()) return std::string();
  return paths::JoinPath(tickerFolder, kCompanionFile);
}

std::string CompanionCommandLine(const std::string& path, bool registerMenus) {
  if (path.empty()) return std::string();
  std::string line = "\"" + path + "\"";
  if (!registerMenus) line += " /UNREGIST";
  return line;
}

}  // namespace option_dlg
