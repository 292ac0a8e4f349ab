// What the companion's two automation methods do with a page: AddURL subscribes it (appends it
// to the ticker's URL list under a title no other entry has) and asks a running ticker to show it;
// SendURL hands it to a running ticker for one showing as a flash item. Both reach the ticker only
// through the registry and one posted command.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/ticker_link/ticker_address.h"
#include "support/ticker_link/url_list.h"

class CRegistry;

namespace zellmate {

// Extraction level of every page the companion hands over.
constexpr int kPageLevel = 40;

// The flash words SendURL picks from; with a title the shown text is "特報　%s" and so on.
constexpr const char* const kFlashWords[3] = {"特報", "号外", "緊急"};

// "お気に入り(k)" with the smallest k >= 1 that no entry carries as its title.
std::string DefaultTitle(const std::vector<UrlEntry>& entries);
// "title(k)" with the smallest k >= 2 that no entry carries.
std::string NumberedTitle(const std::vector<UrlEntry>& entries, const std::string& title);

enum class AddOutcome {
  kNoUrl,       // empty URL: nothing written
  kListFull,    // 32 entries already: nothing written
  kSubscribed,  // an entry with this title and this URL exists: nothing written
  kAdded,       // written at slot
};

struct AddResult {
  AddOutcome outcome = AddOutcome::kNoUrl;
  int slot = -1;        // the new entry's slot (kAdded)
  std::string title;    // the title it was stored under (kAdded)
  bool posted = false;  // the ticker was asked to show it
  bool locked = false;  // the list lock was held from the read to the last write
};

struct AddOptions {
  // The list lock around the read-modify-write of the whole list. Only a test that proves the
  // lock is needed turns it off.
  bool useListLock = true;
  unsigned lockWaitMs = 5000;
};

// Appends (title, url, referrer) to the URL list under root (Zellora's key): the existing slots
// are read in order, the title made unique, the whole list rewritten without gaps with the new
// entry last (level kPageLevel), then command 10000 + slot is posted when the ticker runs.
AddResult AddURL(CRegistry& root, ticker_link::TickerAddress& ticker, const std::string& title,
                 const std::string& url, const std::string& referrer, const AddOptions& options = {});

// The title a flash showing gets: the flash word of index (0-2), followed by an ideographic space
// and the title when there is one.
std::string FlashTitle(int index, const std::string& title);

// Writes the temporary entry (flash title, url, referrer, level kPageLevel) and posts command
// 11000 when the ticker runs and url is not empty; false (nothing written) otherwise. random is
// the C runtime's generator, which the companion never seeds.
bool SendURL(CRegistry& root, ticker_link::TickerAddress& ticker, const std::string& title,
             const std::string& url, const std::string& referrer,
             const std::function<int()>& random = nullptr);

}  // namespace zellmate
