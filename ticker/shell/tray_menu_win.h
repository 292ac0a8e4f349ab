// The main window's work on the pop-up menu: the Start/Stop item's text and the favourites
// submenu (one item per existing URL-list slot, command 10000 + slot).
#pragma once

#include <windows.h>

#include <string>

class CRegistry;

namespace tray_menu {

// Text of the item with command id (byPosition: at that zero-based position); empty when missing.
std::string ItemText(HMENU menu, UINT idOrPosition, bool byPosition = false);
bool SetItemText(HMENU menu, UINT id, const char* text);
// Inserts favourites as the popup item "お気に入り" at its position.
bool InsertFavourites(HMENU popup, HMENU favourites);
// Deletes items 10000-10031 and appends one per existing slot (its title; empty when
// unreadable), in slot order.
void RebuildFavourites(HMENU favourites, CRegistry& root);

}  // namespace tray_menu
