// The URL registration dialog's rules, written against a list of items so that the same code
// drives the dialog's list box and, in the tests, a plain vector.
//
// Every item shows an entry's title and owns a copy of the entry. The list is the only store while
// the dialog is open; the registry is read once at opening and rewritten once by "設定".
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ticker_link/url_list.h"

class CRegistry;

namespace url_regist {

constexpr const char kOverwriteQuestion[] = "このURLはすでに登録されています。\n上書きしますか？";
constexpr const char kOverwriteCaption[] = " Zellora";
constexpr int kNewLevel = 40;  // the level field of a new dialog

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
  // The first item whose title starts with title, without case, searching from the second item to
  // the end and then the first; -1 for none and for an empty title.
  virtual int Find(const std::string& title) const = 0;
  virtual int Selected() const = 0;  // -1 for none
  virtual void Select(int index) = 0;
};

// The prefix search over plain titles (the behaviour the list box gives the dialog).
int FindTitlePrefix(const std::vector<std::string>& titles, const std::string& title);

// Adds entry: appended when no item is found by titleField (the title now in the dialog's title
// edit); when one is found, askOverwrite decides, and on yes that item is replaced in place.
// Returns the index of the new item, or -1 when nothing changed.
int AddEntry(UrlItemList& list, const UrlEntry& entry, const std::string& titleField,
             const std::function<bool()>& askOverwrite);

// Deletes the item found by titleField (not the selected one). False when none was found.
bool DeleteByTitle(UrlItemList& list, const std::string& titleField);

// Moves the selected item one place up (delta -1) or down (+1) and selects the item then found by
// its title. False (nothing changes) with no selection or at the end it would leave.
bool MoveSelected(UrlItemList& list, int delta);

// Adds every existing slot 0-31 in slot order (an empty title field: no question is asked).
void Load(CRegistry& root, UrlItemList& list);

// The first 32 items, as they are saved.
std::vector<UrlEntry> EntriesToSave(const UrlItemList& list);

// Rewrites the whole list under the list lock, so that the companion's rewrite cannot interleave.
// False when a write failed.
bool Save(CRegistry& root, const UrlItemList& list);

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
