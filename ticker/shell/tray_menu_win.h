// The main window's work on the pop-up menu: the Start/Stop item's text and the favourites
// submenu (one item per existing URL-list slot, command 10000 + slot).
#pragma once

#include <windows.h>

#include <string>

#include "support/ticker_link/ticker_link.h"
#include "ticker/shell/main_menu.h"

class CRegistry;

namespace tray_menu {

// Text of the item with command id (byPosition: at that zero-based position); empty when missing.
std::string ItemText(HMENU menu, UINT idOrPosition, bool byPosition = false);
bool SetItemText(HMENU menu, UINT id, const char* text);
// Inserts favourites as the popup item "お気に入り" at its position.
bool InsertFavourites(HMENU popup, HMENU favourites);
// Inserts headlines as the popup item "見出し" right after "お気に入り".
bool InsertHeadlines(HMENU popup, HMENU headlines);
// Replaces the headline items: one per item (at most 30), command 12000 + index, its text cut for
// the menu, greyed when the item has no link.
template <class Headlines>
void RebuildHeadlines(HMENU headlines, const Headlines& items);

// Deletes items 10000-10031 and appends one per existing slot (its title; empty when
// unreadable), in slot order.
void RebuildFavourites(HMENU favourites, CRegistry& root);

template <class Headlines>
void RebuildHeadlines(HMENU headlines, const Headlines& items) {
  while (::GetMenuItemCount(headlines) > 0) ::DeleteMenu(headlines, 0, MF_BYPOSITION);
  constexpr UINT_PTR kFirst = ticker_link::kOpenHeadlineCommandFirst;
  UINT_PTR id = kFirst;
  for (const auto& item : items) {
    if (id >= kFirst + main_menu::kMaxHeadlineItems) break;
    const std::string text = main_menu::HeadlineMenuText(item.text);
    ::AppendMenuA(headlines, MF_STRING | (item.link.empty() ? MF_GRAYED : 0), id, text.c_str());
    ++id;
  }
}

}  // namespace tray_menu
