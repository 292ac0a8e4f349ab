#include "ticker/dialogs/url_regist_model.h"

#include "support/registry/registry.h"
#include "support/text/sjis.h"
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

int FindTitlePrefix(const std::vector<std::string>& titles, const std::string& title) {
  if (title.empty() || titles.empty()) return -1;
  const std::string wanted = sjis::ToUpper(title);
  const int count = static_cast<int>(titles.size());
  for (int step = 1; step <= count; ++step) {
    const int index = step % count;  // 1, 2, ..., count - 1, then 0
    if (sjis::StartsWith(sjis::ToUpper(titles[static_cast<std::size_t>(index)]), wanted)) return index;
  }
  return -1;
}

int AddEntry(UrlItemList& list, const UrlEntry& entry, const std::string& titleField,
             const std::function<bool()>& askOverwrite) {
  const int found = list.Find(titleField);
  if (found < 0) return list.Insert(list.Count(), entry);
  if (!askOverwrite || !askOverwrite()) return -1;
  list.Remove(found);
  return list.Insert(found, entry);
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
  list.Insert(target, copy);
  list.Select(list.Find(copy.title));
  return true;
}

void Load(CRegistry& root, UrlItemList& list) {
  for (int slot = 0; slot < url_list::kMaxSlots; ++slot) {
    if (!url_list::SlotExists(root, slot)) continue;
    UrlEntry entry;
    url_list::LoadEntry(root, url_list::SlotKey(slot), entry);
    AddEntry(list, entry, std::string(), nullptr);
  }
}

std::vector<UrlEntry> EntriesToSave(const UrlItemList& list) {
  std::vector<UrlEntry> entries;
  for (int i = 0; i < list.Count() && i < url_list::kMaxSlots; ++i) entries.push_back(list.Entry(i));
  return entries;
}

bool Save(CRegistry& root, const UrlItemList& list) {
  const std::vector<UrlEntry> entries = EntriesToSave(list);
  url_list::ListLock lock;
  return url_list::WriteList(root, entries);
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
  return FindTitlePrefix(titles, title);
}

}  // namespace url_regist
