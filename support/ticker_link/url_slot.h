// Where the URL list keeps its entries, relative to Zellora's key. Every reader and writer of
// the list (the list itself, start-up defaults, the favourites menu, the companion) names slots
// through SlotKey, so the key format exists once.
#pragma once

#include <cstdio>
#include <string>

namespace url_list {

constexpr const char kListKey[] = "URL_List";
// The entry handed over for one showing ("send this page to the ticker").
constexpr const char kTempKey[] = "URL_List\\TEMP_URL";
constexpr int kMaxSlots = 32;

// Value names of an entry.
constexpr const char kTitleValue[] = "Title";
constexpr const char kUrlValue[] = "URL";
constexpr const char kReferrerValue[] = "REFERRER";
constexpr const char kLevelValue[] = "Filter";

// The key of a slot: "URL_List\URL%08X", e.g. slot 10 -> "URL_List\URL0000000A".
inline std::string SlotKey(int slot) {
  char key[32];
  std::snprintf(key, sizeof key, "URL_List\\URL%08X", static_cast<unsigned>(slot));
  return key;
}

}  // namespace url_list
