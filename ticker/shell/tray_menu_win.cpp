#include "ticker/shell/tray_menu_win.h"

#include "support/registry/registry.h"
#include "support/ticker_link/ticker_link.h"
#include "support/ticker_link/url_list.h"
#include "ticker/shell/main_menu.h"

namespace tray_menu {

std::string ItemText(HMENU menu, UINT idOrPosition, bool byPosition) {
  const UINT flag = byPosition ? MF_BYPOSITION : MF_BYCOMMAND;
  const int length = ::GetMenuStringA(menu, idOrPosition, nullptr, 0, flag);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = ::GetMenuStringA(menu, idOrPosition, &text[0], length + 1, flag);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

bool SetItemText(HMENU menu, UINT id, const char* text) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = const_cast<char*>(text);
  return ::SetMenuItemInfoA(menu, id, FALSE, &info) != FALSE;
}

bool InsertFavourites(HMENU popup, HMENU favourites) {
  return ::InsertMenuA(popup, main_menu::kFavouritesPosition, MF_BYPOSITION | MF_POPUP | MF_STRING,
                       reinterpret_cast<UINT_PTR>(favourites), main_menu::kFavouritesText) != FALSE;
}

bool InsertHeadlines(HMENU popup, HMENU headlines) {
  return ::InsertMenuA(popup, main_menu::kHeadlinesPosition, MF_BYPOSITION | MF_POPUP | MF_STRING,
                       reinterpret_cast<UINT_PTR>(headlines), main_menu::kHeadlinesText) != FALSE;
}

void RebuildFavourites(HMENU favourites, CRegistry& root) {
  for (int slot = 0; slot < url_list::kMaxSlots; ++slot) {
    ::DeleteMenu(favourites, static_cast<UINT>(ticker_link::ShowSlotCommand(slot)), MF_BYCOMMAND);
  }
  for (const url_list::SlotEntry& s : url_list::ReadSlots(root)) {
    ::AppendMenuA(favourites, MF_STRING, static_cast<UINT_PTR>(ticker_link::ShowSlotCommand(s.slot)),
                  s.entry.title.c_str());
  }
}

}  // namespace tray_menu
