#include "ticker/shell/tray_menu_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ticker_link/url_list.h"
#include "tests/registry_test_key.h"
#include "ticker/shell/main_menu.h"
#include "ticker/shell/tray_menu_res.h"

namespace {

class TrayMenuTest : public RegistryKeyTest {};

struct Item {
  std::string text;
  UINT id;  // 0 for separators, -1 for submenus
};

std::vector<Item> Items(HMENU menu) {
  std::vector<Item> out;
  const int count = ::GetMenuItemCount(menu);
  out.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
  for (int i = 0; i < count; ++i) {
    out.push_back({tray_menu::ItemText(menu, static_cast<UINT>(i), true), ::GetMenuItemID(menu, i)});
  }
  return out;
}

// The pop-up as the main window sets it up: the eleven items in their order.
TEST_F(TrayMenuTest, PopupHasItsElevenItemsWithFavouritesOfEverySlot) {
  HMENU loaded = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
  ASSERT_NE(loaded, nullptr);
  HMENU popup = ::GetSubMenu(loaded, 0);
  HMENU favourites = ::CreatePopupMenu();
  ASSERT_TRUE(tray_menu::InsertFavourites(popup, favourites));
  HMENU headlines = ::CreatePopupMenu();
  ASSERT_TRUE(tray_menu::InsertHeadlines(popup, headlines));
  ASSERT_TRUE(tray_menu::SetItemText(popup, IDM_START_STOP, main_menu::kStopText));

  ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(0), UrlEntry{"朝日", "http://a/", "", 20}));
  ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(2), UrlEntry{"表示ソフト", "http://b/", "", 20}));
  ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(31), UrlEntry{"", "http://c/", "", 20}));
  tray_menu::RebuildFavourites(favourites, reg_);

  const std::vector<Item> items = Items(popup);
  ASSERT_EQ(items.size(), 11u);
  const std::vector<std::string> texts = {"停止", "ｲﾝﾀｰﾈｯﾄ...",     "お気に入り", "見出し",
                                          "",     "URL設定...",     "ｵﾌﾟｼｮﾝ...",  "ﾍﾙﾌﾟ...",
                                          "",     "ﾊﾞｰｼﾞｮﾝ情報...", "終了"};
  const std::vector<UINT> ids = {
      32773, 32775, static_cast<UINT>(-1), static_cast<UINT>(-1), 0, 1000, 32771, 32774, 0, 32772, 1};
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, texts[i]) << i;
    EXPECT_EQ(items[i].id, ids[i]) << i;
  }
  EXPECT_EQ(::GetSubMenu(popup, 2), favourites);
  EXPECT_EQ(::GetSubMenu(popup, 3), headlines);

  std::vector<Item> favs = Items(favourites);
  ASSERT_EQ(favs.size(), 3u);
  EXPECT_EQ(favs[0].text, "朝日");
  EXPECT_EQ(favs[0].id, 10000u);
  EXPECT_EQ(favs[1].text, "表示ソフト");
  EXPECT_EQ(favs[1].id, 10002u);
  EXPECT_EQ(favs[2].text, "");
  EXPECT_EQ(favs[2].id, 10031u);

  // A rebuild after slot 0 was deleted: the old items go, nothing is doubled.
  ASSERT_TRUE(reg_.DeleteKey(url_list::SlotKey(0)));
  tray_menu::RebuildFavourites(favourites, reg_);
  favs = Items(favourites);
  ASSERT_EQ(favs.size(), 2u);
  EXPECT_EQ(favs[0].id, 10002u);
  ::DestroyMenu(loaded);
}

struct Headline {
  std::string text;
  std::string link;
};

// The headlines submenu: 30 items at most, ids from 12000, texts cut for the menu, greyed without a
// link; a rebuild replaces them all.
TEST(TrayHeadlines, RebuildListsThirtyItemsGreyedWithoutALink) {
  HMENU menu = ::CreatePopupMenu();
  std::vector<Headline> list;
  list.reserve(31);
  for (int i = 0; i < 31; ++i)
    list.push_back({"見出し" + std::to_string(i), i % 2 ? "" : "http://n/" + std::to_string(i)});
  list[0].text = "R&D " + std::string(80, 'x');
  tray_menu::RebuildHeadlines(menu, list);
  std::vector<Item> items = Items(menu);
  ASSERT_EQ(items.size(), 30u);
  EXPECT_EQ(items[0].text, "R&&D " + std::string(56, 'x'));  // 60 bytes of the headline
  for (UINT i = 0; i < 30; ++i) {
    EXPECT_EQ(items[i].id, 12000 + i);
    if (i) {
      EXPECT_EQ(items[i].text, "見出し" + std::to_string(i));
    }
    const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
    EXPECT_EQ((state & MF_GRAYED) != 0, i % 2 == 1) << i;
  }

  tray_menu::RebuildHeadlines(menu, std::vector<Headline>{{"唯一", "http://n/"}});
  items = Items(menu);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, "唯一");
  tray_menu::RebuildHeadlines(menu, std::vector<Headline>());
  EXPECT_EQ(::GetMenuItemCount(menu), 0);
  ::DestroyMenu(menu);
}

}  // namespace
