// The URL registration dialog's rules, written against a list of items so that the same code
// drives the dialog's list box and, in the tests, a plain vector.
//
// Every item shows an entry's title and owns a copy of the entry. The list is the only store while
// the dialog is open; the registry is read once at opening and rewritten once by "設定".
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/ticker_link/url_list.h"

class CRegistry;

namespace url_regist {

constexpr const char kOverwriteQuestion[] = "このURLはすでに登録されています。\n上書きしますか？";
constexpr const char kOverwriteCaption[] = " Zellora";
constexpr int kNewLevel = 40;  // the level field of a new dialog
// Shown when "設定" finds more entries than the list can hold; the titles follow, one a line.
constexpr const char kNotSavedMessage[] = "次のURLは登録できませんでした（最大32件）：";

// The help window's text, lines separated by CR LF.
const std::string& HelpText();

class UrlItemList {
 public:
  virtual ~UrlItemList() = default;
  virtual int Count() const = 0;
  // The entry of item index (index within 0..Count()-1).
  virtual UrlEntry Entry(int index) const = 0;
  // Inserts an item showing entry.title at index (Count(): at the end); returns its index or -1.
  virtual int Insert(int index, const UrlEntry& entry) = 0;
  virtual void Remove(int index) = 0;
  // The item whose whole title is title (ASCII letters without case), searching from the second
  // item to the end and then the first; -1 for none and for an empty title.
  virtual int Find(const std::string& title) const = 0;
  virtual int Selected() const = 0;  // -1 for none
  virtual void Select(int index) = 0;
};

// The search over plain titles: the whole title, ASCII letters without case, so that a title
// that is only the start of another never finds it.
int FindTitle(const std::vector<std::string>& titles, const std::string& title);

// Every address the dialog's list has held since it opened (loaded, added, taken over). At "設定"
// an entry of the stored list under any other address came from elsewhere (the companion) while
// the dialog was open, and is kept.
using KnownUrls = std::set<std::string>;

enum class AddOutcome {
  kAppended,  // a new item at the end
  kReplaced,  // the item of the same title, overwritten in place
  kDeclined,  // the user kept the item of the same title
  kListFull,  // a new title, and the list already holds as many items as can be saved
  kNoTitle,   // nothing to show in the list and nothing to find it by later
  kNoUrl,     // nothing to fetch
};
struct AddResult {
  AddOutcome outcome = AddOutcome::kDeclined;
  int index = -1;  // the new item (appended or replaced), else -1
  bool Changed() const { return index >= 0; }
};

// Adds entry as "追加" does: the item whose title is entry.title is replaced in place when
// askOverwrite says yes; otherwise entry is appended while the list holds fewer than 32 items.
// Nothing is added without a title or an address (blank counts as empty). known gets the address.
AddResult AddEntry(UrlItemList& list, const UrlEntry& entry, const std::function<bool()>& askOverwrite,
                   KnownUrls& known);

// Deletes the item found by titleField (not the selected one). False when none was found.
bool DeleteByTitle(UrlItemList& list, const std::string& titleField);

// Moves the selected item one place up (delta -1) or down (+1); it stays selected. False (nothing
// changes) with no selection or at the end it would leave.
bool MoveSelected(UrlItemList& list, int delta);

// Appends every existing slot 0-31 in slot order and records their addresses in known.
void Load(CRegistry& root, UrlItemList& list, KnownUrls& known);

// The first 32 items, as they are saved.
std::vector<UrlEntry> EntriesToSave(const UrlItemList& list);

struct SaveResult {
  bool saved = false;    // the list was written: the dialog may close
  bool writeOk = false;  // every write succeeded (when saved)
  int arrived = 0;       // entries of the stored list appended to the dialog's list
  // The titles of the items after the 32nd, when there are such: then nothing was written.
  std::vector<std::string> notSaved;
};

// "設定": under the list lock, reads the stored list, appends to the dialog's list every entry that
// arrived meanwhile (an address not in known), and rewrites the whole list with the dialog's items
// when they all fit; when they do not, writes nothing and names the items that do not fit (they
// stay in the list, so the user can make room).
SaveResult SaveMerged(CRegistry& root, UrlItemList& list, KnownUrls& known);

// The message naming titles that could not be saved (each cut to a readable length).
std::string NotSavedText(const std::vector<std::string>& titles);

// A list held in memory.
class VectorItemList : public UrlItemList {
 public:
  int Count() const override { return static_cast<int>(items.size()); }
  UrlEntry Entry(int index) const override { return *items.at(static_cast<std::size_t>(index)); }
  int Insert(int index, const UrlEntry& entry) override;
  void Remove(int index) override;
  int Find(const std::string& title) const override;
  int Selected() const override { return selected; }
  void Select(int index) override { selected = (index >= 0 && index < Count()) ? index : -1; }

 private:
  std::vector<std::unique_ptr<UrlEntry>> items;
  int selected = -1;
};

}  // namespace url_regist
