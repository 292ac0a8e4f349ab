#include "ticker/dialogs/url_regist_model.h"

#include "support/registry/registry.h"
#include "support/text/sjis.h"
#include "support/text/sjis_cut.h"
#include "support/ticker_link/list_lock.h"
#include "ticker/dialogs/help_texts.h"

namespace url_regist {

const std::string& HelpText() {
  static const std::string text = help_text::JoinLines({
      "",
      "【タイトル】",
      "",
      "　ニュースのタイトルを入力します。",
      "",
      "【ＵＲＬ】",
      "",
      "　ニュースとして表示するホームページのＵＲＬを入力します。",
      "　[...]ボタンを押すとＵＲＬ選択画面が表示されます。",
      "",
      "【抽出レベル】",
      "",
      "　ホームページ内の文章からニュースとして表示する部分の最小",
      "　文字数を入力します。",
      "　値を小さくすると、短い文章も表示されるようになります。",
      "　値を大きくすると、長い文章だけが表示されるようになります。",
      "",
      "【Referrer】",
      "",
      "　ニュースとして表示するホームページのリンク元ＵＲＬを入力します。",
      "　ホームページによってはこのＵＲＬを厳密にチェックしているページ",
      "　があります。",
      "",
      "【抽出レベル】",
      "",
      "　ホームページ内の文章からニュースとして表示する部分の最小",
      "　文字数を入力します。",
      "　値を小さくすると、短い文章も表示されるようになります。",
      "　値を大きくすると、長い文章だけが表示されるようになります。",
      "",
      "【追加】",
      "",
      "　入力されているＵＲＬ情報を登録します。",
      "",
      "【削除】",
      "",
      "　選択されているＵＲＬ情報を削除します。",
      "",
      "【上へ／下へ】",
      "",
      "　選択されているＵＲＬ情報の順序を変更します。",
      "",
      "",
  });
  return text;
}

int FindTitle(const std::vector<std::string>& titles, const std::string& title) {
  if (title.empty() || titles.empty()) return -1;
  const int count = static_cast<int>(titles.size());
  for (int step = 1; step <= count; ++step) {
    const int index = step % count;  // 1, 2, ..., count - 1, then 0
    if (sjis::EqualsNoCase(titles[static_cast<std::size_t>(index)], title)) return index;
  }
  return -1;
}

namespace {

bool Blank(const std::string& text) {
  return sjis::TrimView(text).empty();
}

// At most maxBytes bytes of text, never half a double-byte character, with "..." when cut.
std::string Shortened(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  return std::string(sjis::CutToBytes(text, maxBytes)) + "...";
}

constexpr std::size_t kShownTitleBytes = 100;

}  // namespace

AddResult AddEntry(UrlItemList& list, const UrlEntry& entry, const std::function<bool()>& askOverwrite,
                   KnownUrls& known) {
  AddResult result;
  if (Blank(entry.title)) {
    result.outcome = AddOutcome::kNoTitle;
    return result;
  }
  if (Blank(entry.url)) {
    result.outcome = AddOutcome::kNoUrl;
    return result;
  }
  const int found = list.Find(entry.title);
  if (found < 0) {
    // What the list shows is what "設定" saves: no item beyond the last slot.
    if (list.Count() >= url_list::kMaxSlots) {
      result.outcome = AddOutcome::kListFull;
      return result;
    }
    result.outcome = AddOutcome::kAppended;
    result.index = list.Insert(list.Count(), entry);
  } else {
    if (!askOverwrite || !askOverwrite()) return result;  // declined
    list.Remove(found);
    result.outcome = AddOutcome::kReplaced;
    result.index = list.Insert(found, entry);
  }
  if (result.index >= 0) known.insert(entry.url);
  return result;
}

bool DeleteByTitle(UrlItemList& list, const std::string& titleField) {
  const int found = list.Find(titleField);
  if (found < 0) return false;
  list.Remove(found);
  return true;
}

bool MoveSelected(UrlItemList& list, int delta) {
  const int selected = list.Selected();
  if (selected < 0) return false;
  const int target = selected + delta;
  if (target < 0 || target >= list.Count()) return false;
  const UrlEntry copy = list.Entry(selected);
  list.Remove(selected);
  // The moved item itself, not the first one a search by its title would find.
  list.Select(list.Insert(target, copy));
  return true;
}

void Load(CRegistry& root, UrlItemList& list, KnownUrls& known) {
  for (int slot = 0; slot < url_list::kMaxSlots; ++slot) {
    if (!url_list::SlotExists(root, slot)) continue;
    UrlEntry entry;
    url_list::LoadEntry(root, url_list::SlotKey(slot), entry);
    known.insert(entry.url);
    list.Insert(list.Count(), entry);
  }
}

std::vector<UrlEntry> EntriesToSave(const UrlItemList& list) {
  std::vector<UrlEntry> entries;
  for (int i = 0; i < list.Count() && i < url_list::kMaxSlots; ++i) entries.push_back(list.Entry(i));
  return entries;
}

SaveResult SaveMerged(CRegistry& root, UrlItemList& list, KnownUrls& known) {
  SaveResult result;
  // From the read to the last write: the companion's AddURL cannot slip in between.
  url_list::ListLock lock;
  for (const UrlEntry& stored : url_list::ReadList(root)) {
    if (known.count(stored.url)) continue;
    known.insert(stored.url);
    list.Insert(list.Count(), stored);
    ++result.arrived;
  }
  for (int i = url_list::kMaxSlots; i < list.Count(); ++i) result.notSaved.push_back(list.Entry(i).title);
  if (!result.notSaved.empty()) return result;
  result.writeOk = url_list::WriteList(root, EntriesToSave(list));
  result.saved = true;
  return result;
}

std::string NotSavedText(const std::vector<std::string>& titles) {
  std::string text = kNotSavedMessage;
  for (const std::string& title : titles) text += "\n" + Shortened(title, kShownTitleBytes);
  return text;
}

int VectorItemList::Insert(int index, const UrlEntry& entry) {
  if (index < 0 || index > Count()) return -1;
  items.insert(items.begin() + index, std::make_unique<UrlEntry>(entry));
  if (selected >= index) ++selected;
  return index;
}

void VectorItemList::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  items.erase(items.begin() + index);
  if (selected == index) {
    selected = -1;
  } else if (selected > index) {
    --selected;
  }
}

int VectorItemList::Find(const std::string& title) const {
  std::vector<std::string> titles;
  titles.reserve(items.size());
  for (const auto& item : items) titles.push_back(item->title);
  return FindTitle(titles, title);
}

}  // namespace url_regist
