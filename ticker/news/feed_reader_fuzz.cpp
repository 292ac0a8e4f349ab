// libFuzzer target: arbitrary document bytes through the page reader and DocumentReader as a
// fetched body goes (the feed-or-page decision, the feed reader, the links), fed in three pieces so
// that markup, references and characters split between reads are exercised. The first byte picks
// the initial character set.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/net/page_lines.h"
#include "support/net/url_resolve.h"
#include "tests/fuzz_check.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/feed_reader.h"
#include "ticker/news/news_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int encoding = data[0] % 5;
  const char* body = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  NewsList list;
  PageLines page;
  page.encoding = encoding;
  DocumentReader reader(list, 40, page, "http://news.example.jp/feeds/index.xml");
  {
    PageLineReader lines(page, &reader);
    const std::size_t third = length / 3;
    lines.Feed(body, third);
    lines.Feed(body + third, third);
    lines.Feed(body + 2 * third, length - 2 * third);
    lines.Finish();
  }
  reader.Finish();

  if (reader.IsFeed() && list.failed == 0) {
    Check(list.ItemCount() <= FeedReader::kMaxItems);
    for (const std::string& item : list.items) Check(!item.empty());
  }
  Check(list.links.size() <= list.items.size());
  for (int i = 0; i < list.ItemCount(); ++i) {
    const std::string link = list.GetLink(i);
    if (link.empty()) continue;
    // Only an address a browser may be sent to is ever kept.
    Check(IsWebAddress(link));
    Check(link.size() <= NewsList::kMaxLinkBytes);
    for (char c : link) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
  }
  return 0;
}
