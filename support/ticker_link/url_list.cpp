#include "support/ticker_link/url_list.h"

#include "support/registry/registry.h"
#include "support/ticker_link/url_slot.h"

namespace url_list {

bool SlotExists(CRegistry& root, int slot) {
  return IsSlot(slot) && root.ValueExists(url_list::SlotKey(slot), "");
}

bool LoadEntry(CRegistry& root, const std::string& key, UrlEntry& entry) {
  entry = UrlEntry();
  if (!root.ValueExists(key, "")) return false;
  // A value that cannot be read stays empty (or 0), never the previous entry's.
  if (!root.ReadString(key, kTitleValue, entry.title)) entry.title.clear();
  if (!root.ReadString(key, kUrlValue, entry.url)) entry.url.clear();
  if (!root.ReadString(key, kReferrerValue, entry.referrer)) entry.referrer.clear();
  if (!root.ReadNumber(key, kLevelValue, entry.level)) entry.level = 0;
  return true;
}

bool WriteEntry(CRegistry& root, const std::string& key, const UrlEntry& entry) {
  bool ok = root.CreateKey(key);
  ok = root.WriteString(key, kTitleValue, entry.title) && ok;
  ok = root.WriteString(key, kUrlValue, entry.url) && ok;
  ok = root.WriteString(key, kReferrerValue, entry.referrer) && ok;
  ok = root.WriteNumber(key, kLevelValue, entry.level) && ok;
  return ok;
}

bool WriteList(CRegistry& root, const std::vector<UrlEntry>& entries) {
  for (int slot = 0; slot < kMaxSlots; ++slot) {
    const std::string key = url_list::SlotKey(slot);
    if (root.ValueExists(key, "")) root.DeleteKey(key);
  }
  bool ok = true;
  for (std::size_t i = 0; i < entries.size() && i < static_cast<std::size_t>(kMaxSlots); ++i) {
    if (!WriteEntry(root, url_list::SlotKey(static_cast<int>(i)), entries[i])) ok = false;
  }
  return ok;
}

std::vector<SlotEntry> ReadSlots(CRegistry& root) {
  std::vector<SlotEntry> slots;
  for (int slot = 0; slot < kMaxSlots; ++slot) {
    SlotEntry s;
    s.slot = slot;
    if (LoadEntry(root, url_list::SlotKey(slot), s.entry)) slots.push_back(std::move(s));
  }
  return slots;
}

std::vector<UrlEntry> ReadList(CRegistry& root) {
  std::vector<UrlEntry> list;
  for (SlotEntry& s : ReadSlots(root)) list.push_back(std::move(s.entry));
  return list;
}

bool WriteTempEntry(CRegistry& root, const UrlEntry& entry) {
  return WriteEntry(root, kTempKey, entry);
}

}  // namespace url_list
