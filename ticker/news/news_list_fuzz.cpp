// libFuzzer target: text held in memory through ExtractFromText, and single items through AddItem.
// The first byte picks the level and the minimum item length.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/text/sjis.h"
#include "tests/fuzz_check.h"
#include "ticker/news/news_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int level = data[0] % 8;
  const int minLength = (data[0] >> 3) % 32;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  NewsList list;
  list.ExtractFromText(text, level);
  Check(list.failed == 0);
  Check(list.title.size() <= text.size());
  std::size_t total = 0;
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    const std::string& item = list.items[i];
    // Level 0 keeps a text its marks and spaces emptied; any other level needs bytes.
    Check(!item.empty() || level == 0);
    if (i + 1 < list.items.size()) Check(static_cast<int>(item.size()) >= level);
    total += item.size();
  }
  // Extraction only ever drops and decodes; the one added text is the continuation mark.
  Check(total <= text.size() + 64);
  Check(list.GetItem(-1).empty() && list.GetItem(list.ItemCount()).empty());

  // Refilling gives the same list: nothing is left over from the first run.
  NewsList again = list;
  again.ExtractFromText(text, level);
  Check(again.items == list.items && again.title == list.title);

  NewsList single;
  const int stored = single.AddItem(text, minLength);
  Check(stored >= 0);
  if (stored == 0) {
    Check(single.items.empty() || (minLength == 0 && single.items[0].empty()));
  } else {
    Check(single.items.size() == 1);
    Check(static_cast<int>(single.items[0].size()) == stored);
    Check(stored >= minLength);
    // Only the ends are stripped.
    Check(text.find(single.items[0]) != std::string::npos);
  }
  return 0;
}
