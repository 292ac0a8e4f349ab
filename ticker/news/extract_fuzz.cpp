// libFuzzer target: arbitrary page bytes through the page reader (ConvertLine) and the extractor,
// and the same bytes through the in-memory text extraction. The first byte picks the initial
// character set and the level.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/net/page_lines.h"
#include "support/text/sjis.h"
#include "tests/fuzz_check.h"
#include "ticker/news/extractor.h"
#include "ticker/news/news_list.h"

namespace {

// Reports the failed invariant, so that a crash file shows what went wrong.

// Every stored item is trimmed and long enough, except the continuation text at the very end.
void CheckItems(const NewsList& list, int level) {
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    const std::string& item = list.items[i];
    if (i + 1 == list.items.size() && item == kContinuationItem) continue;
    Check(static_cast<int>(item.size()) >= level);
    // A space may end an item only as the second byte of a double-byte character.
    Check(!sjis::StartsWith(item, " ") && !sjis::EndsWith(item, " "));
  }
  Check(list.failed == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int encoding = data[0] % 5;
  const int level = (data[0] >> 3) % 8;  // low levels store the most
  const char* body = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  NewsList list;
  {
    PageLines page;
    page.encoding = encoding;
    Extractor extractor(list, level);
    PageLineReader reader(page, &extractor);
    // Feed in two pieces so that line ends and characters split between reads are exercised.
    const std::size_t half = length / 2;
    reader.Feed(body, half);
    reader.Feed(body + half, length - half);
    reader.Finish();
    extractor.Finish();
  }
  CheckItems(list, level);

  list.ExtractFromText(std::string(body, length), level);
  CheckItems(list, level);
  return 0;
}
