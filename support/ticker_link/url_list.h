// The URL list: up to 32 subscribed pages in the registry under the ticker's root key, one
// sub-key per slot ("URL_List\URL%08X", see url_slot.h) and the one-shot temporary entry
// "URL_List\TEMP_URL" handed over by the companion. Each entry holds "Title", "URL", "REFERRER"
// (strings) and "Filter" (a number: the extraction level).
//
// These functions are the only code that reads or writes entries; the ticker, the registration
// dialog, the favourites menu and the companion all go through them. Nothing is cached: every
// call reads the registry afresh.
#pragma once

#include <string>
#include <vector>

#include "support/ticker_link/url_slot.h"

class CRegistry;

struct UrlEntry {
  std::string title;
  std::string url;
  std::string referrer;
  int level = 0;  // minimum length in bytes of a headline that extraction keeps
};

namespace url_list {

// Slots are 0-31; nothing reads or writes above.
inline bool IsSlot(int slot) {
  return slot >= 0 && slot < kMaxSlots;
}

// Whether slot (0-31) exists; false for any other number.
bool SlotExists(CRegistry& root, int slot);

// Reads the entry under key (a slot key or kTempKey). A value that cannot be read gives empty
// text, a missing "Filter" 0. Returns false (entry all empty) when the key does not exist.
bool LoadEntry(CRegistry& root, const std::string& key, UrlEntry& entry);

// Writes one entry's four values under key, creating it. False when any write failed.
bool WriteEntry(CRegistry& root, const std::string& key, const UrlEntry& entry);

// Rewrites the whole list: deletes slots 0-31, then writes entries 0, 1, ... into slots 0, 1, ...
// without gaps, at most 32. False when a write failed (the slots before it are written).
bool WriteList(CRegistry& root, const std::vector<UrlEntry>& entries);

// The list for editing: every existing slot 0-31 in slot order (gaps closed up).
std::vector<UrlEntry> ReadList(CRegistry& root);

// Every existing slot with its number, in slot order (the favourites menu gives entry n the
// command 10000 + n).
struct SlotEntry {
  int slot = 0;
  UrlEntry entry;
};
std::vector<SlotEntry> ReadSlots(CRegistry& root);

// Writes the temporary entry (replacing one that is still waiting).
bool WriteTempEntry(CRegistry& root, const UrlEntry& entry);

}  // namespace url_list
