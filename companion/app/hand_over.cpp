#include "companion/app/hand_over.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"
#include "support/ticker_link/ticker_link.h"

namespace zellmate {

namespace {

bool TitleTaken(const std::vector<UrlEntry>& entries, const std::string& title) {
  for (const UrlEntry& e : entries) {
    if (e.title == title) return true;
  }
  return false;
}

// The formats are literals at their calls, so the compiler checks them.
std::string DefaultCandidate(int k) {
  char text[64];
  std::snprintf(text, sizeof text, "お気に入り(%d)", k);
  return text;
}

std::string NumberedCandidate(const std::string& title, int k) {
  std::string text(title.size() + 32, '\0');
  const int n = std::snprintf(&text[0], text.size(), "%s(%d)", title.c_str(), k);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

}  // namespace

std::string DefaultTitle(const std::vector<UrlEntry>& entries) {
  int k = 1;
  std::string candidate = DefaultCandidate(k);
  while (TitleTaken(entries, candidate)) candidate = DefaultCandidate(++k);
  return candidate;
}

std::string NumberedTitle(const std::vector<UrlEntry>& entries, const std::string& title) {
  int k = 2;
  std::string candidate = NumberedCandidate(title, k);
  while (TitleTaken(entries, candidate)) candidate = NumberedCandidate(title, ++k);
  return candidate;
}

AddResult AddURL(CRegistry& root, ticker_link::TickerAddress& ticker, const std::string& title,
                 const std::string& url, const std::string& referrer, const AddOptions& options) {
  AddResult result;
  if (url.empty()) return result;

  // From the read to the last write no other writer may rewrite the list, or one of the two
  // rewrites would drop the other's entries.
  std::unique_ptr<url_list::ListLock> lock;
  if (options.useListLock) {
    lock = std::make_unique<url_list::ListLock>(options.lockWaitMs);
    result.locked = lock->Held();
  }

  const std::vector<url_list::SlotEntry> slots = url_list::ReadSlots(root);
  std::vector<UrlEntry> entries;
  // Packed slots (0, 1, ... without a gap) need no rewrite: the rewrite would store each entry
  // back as it reads, which loses what the reader cannot hold (a character the code page lacks,
  // a value of another type) in entries nobody asked to change.
  bool packed = true;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    entries.push_back(slots[i].entry);
    if (slots[i].slot != static_cast<int>(i)) packed = false;
  }
  if (entries.size() >= static_cast<std::size_t>(url_list::kMaxSlots)) {
    result.outcome = AddOutcome::kListFull;
    return result;
  }

  std::string newTitle;
  if (title.empty()) {
    newTitle = DefaultTitle(entries);
  } else {
    newTitle = title;
    for (const UrlEntry& e : entries) {
      if (e.title != title) continue;
      // Only the first entry of that title counts.
      if (e.url == url) {
        result.outcome = AddOutcome::kSubscribed;
        return result;
      }
      newTitle = NumberedTitle(entries, title);
      break;
    }
  }

  const int slot = static_cast<int>(entries.size());
  UrlEntry added;
  added.title = newTitle;
  added.url = url;
  added.referrer = referrer;
  added.level = kPageLevel;
  if (packed) {
    url_list::WriteEntry(root, url_list::SlotKey(slot), added);
  } else {
    entries.push_back(added);
    url_list::WriteList(root, entries);
  }
  lock.reset();

  result.outcome = AddOutcome::kAdded;
  result.slot = slot;
  result.title = newTitle;
  // The writes are finished before the ticker hears of them, so it reads the new slot.
  if (url_list::IsSlot(slot) && ticker.IsRunning()) {
    result.posted = ticker.PostCommand(ticker_link::ShowSlotCommand(slot));
  }
  return result;
}

std::string FlashTitle(int index, const std::string& title) {
  if (index < 0 || index > 2) index = 0;
  if (title.empty()) return kFlashWords[index];
  std::string text(title.size() + 16, '\0');
  int n = 0;
  switch (index) {
    case 0:
      n = std::snprintf(&text[0], text.size(), "特報　%s", title.c_str());
      break;
    case 1:
      n = std::snprintf(&text[0], text.size(), "号外　%s", title.c_str());
      break;
    default:
      n = std::snprintf(&text[0], text.size(), "緊急　%s", title.c_str());
      break;
  }
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

bool SendURL(CRegistry& root, ticker_link::TickerAddress& ticker, const std::string& title,
             const std::string& url, const std::string& referrer, const std::function<int()>& random) {
  // A page cannot be sent to a ticker that is not running.
  if (!ticker.IsRunning() || url.empty()) return false;
  const int index = ((random ? random() : std::rand()) % 3 + 3) % 3;
  UrlEntry entry;
  entry.title = FlashTitle(index, title);
  entry.url = url;
  entry.referrer = referrer;
  entry.level = kPageLevel;
  url_list::WriteTempEntry(root, entry);
  ticker.PostCommand(ticker_link::kShowTempCommandFirst);
  return true;
}

}  // namespace zellmate
