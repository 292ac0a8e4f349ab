// What the main window shows and decides, apart from its windows: the pop-up menu's texts, the
// help text, the tray icon's animation and the Start/Stop toggle.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace main_menu {

// Menu texts the window sets itself.
constexpr char kStopText[] = "停止";       // the display is on
constexpr char kStartText[] = "スタート";  // the display is off
constexpr char kFavouritesText[] = "お気に入り";
constexpr int kFavouritesPosition = 2;  // zero-based, after "ｲﾝﾀｰﾈｯﾄ..."
constexpr char kHeadlinesText[] = "見出し";
constexpr int kHeadlinesPosition = 3;  // right after "お気に入り"
// The headlines submenu lists at most this many items of the page now showing, each cut here.
constexpr int kMaxHeadlineItems = 30;
constexpr std::size_t kHeadlineTextBytes = 60;
// A headline as a menu item's text: cut at kHeadlineTextBytes on a character boundary, "&" written
// "&&" so that it shows as itself rather than marking a shortcut letter.
std::string HeadlineMenuText(const std::string& item);

constexpr char kHelpCaption[] = " Zellora ﾍﾙﾌﾟ";
// The main window's help text: its lines joined by CR LF.
const std::string& HelpText();

// Tray icons: the fifteen animation frames in the order they are shown, the idle and the
// stopped icon (resource ids).
constexpr std::array<int, 15> kAnimationIcons = {129, 130, 131, 133, 134, 135, 144, 136,
                                                 137, 138, 139, 140, 141, 142, 143};
constexpr int kIdleIcon = 145;
constexpr int kStoppedIcon = 146;

// The icon animation, one step every 200 ms: animation frames while the ticker fetches, then
// back to the idle or the stopped icon.
class TrayAnimation {
 public:
  // The icon to show now, or 0 to leave the icon as it is.
  int Step(bool tickerBusy);
  // The icon for the display state alone (start, Start/Stop).
  int RestingIcon() const { return stopped ? kStoppedIcon : kIdleIcon; }

  int animFrame = 0;
  bool animating = false;
  bool stopped = false;
};

// Start/Stop: the text of the menu item tells the state. Returns the new "bOnline" value and
// sets newText to the item's new text.
bool ToggleOnline(const std::string& itemText, std::string& newText);

}  // namespace main_menu
