// libFuzzer target: a WM_COPYDATA record as the ticker window receives it. The first byte picks
// the tag (the three channel tags, the flash tag or another), the rest is the record: read as text,
// split into its item-stream parts and then into headlines or bulletins, which go into a list.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/text/sjis.h"
#include "support/ticker_link/ticker_link.h"
#include "tests/fuzz_check.h"
#include "ticker/news/news_list.h"
#include "ticker/news/news_message.h"

namespace {

constexpr std::uint32_t kTags[] = {ticker_link::kTagBar, ticker_link::kTagDesktop, ticker_link::kTagTitleBar,
                                   ticker_link::kTagFlash, 0x12345678u};

void CheckPieces(const std::vector<std::string>& pieces, std::string_view body, char separator) {
  std::size_t total = 0;
  for (const std::string& piece : pieces) {
    Check(!piece.empty());
    Check(sjis::TrimView(piece).size() == piece.size());
    // A separator byte inside a piece can only be the second byte of a double-byte character.
    const std::size_t at = sjis::FindChar(piece, separator);
    Check(at == std::string_view::npos);
    total += piece.size();
  }
  Check(total <= body.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint32_t tag = kTags[data[0] % 5];
  const std::size_t length = size - 1;
  // The record as the window gets it: a copy of exactly its bytes, so that ASan sees any over-read.
  std::vector<std::uint8_t> record(data + 1, data + size);

  const std::string text = ticker_link::ReadCopyDataText(record.empty() ? nullptr : record.data(), length);
  Check(text.size() <= length);
  Check(text.find('\0') == std::string::npos);
  Check(std::string_view(reinterpret_cast<const char*>(data + 1), text.size()) == text);

  int calls = 0;
  const news::ItemStream item = news::ReadItemStream(text, [&calls] {
    ++calls;
    return -2147483647 - 1;  // the most negative value: its remainder must still pick a word
  });
  Check(!item.title.empty() && !item.url.empty());
  Check(calls <= 1);
  Check(item.title.size() <= text.size() || calls == 1);
  // The body is the text's tail.
  Check(item.body.size() <= text.size());
  Check(text.compare(text.size() - item.body.size(), item.body.size(), item.body) == 0);

  const bool flash = tag == ticker_link::kTagFlash;
  Check(news::IsNewsTag(tag) == (data[0] % 5 != 4));
  const char separator = flash ? '\f' : '\n';
  const std::vector<std::string> pieces = news::SplitPieces(item.body, separator);
  CheckPieces(pieces, item.body, separator);

  if (!flash) {
    NewsList list;
    for (const std::string& piece : pieces) list.AddItem(piece, 0);
    Check(list.items.size() <= pieces.size());
    for (const std::string& stored : list.items) Check(stored.size() <= item.body.size());
  }

  // A head written by ItemStreamHead reads back, whatever the body, as long as the title and URL
  // hold no marker character and are not empty (an empty part is replaced by a default).
  if (item.title.find('@') == std::string::npos && item.url.find('@') == std::string::npos &&
      !sjis::EndsWithLoneLead(item.title, 0) && !sjis::EndsWithLoneLead(item.url, 0)) {
    const std::string again = news::ItemStreamHead(item.title, item.url) + item.body;
    const news::ItemStream back = news::ReadItemStream(again, nullptr);
    Check(back.title == item.title);
    Check(back.url == item.url);
    Check(back.body == item.body);
  }

  // The flash text built from the bulletins splits into as many bulletins again.
  if (flash && item.title.find('@') == std::string::npos && item.url.find('@') == std::string::npos) {
    const std::string built = news::BuildFlashText(item.title, item.url, pieces);
    const news::ItemStream back = news::ReadItemStream(built, nullptr);
    Check(news::SplitPieces(back.body, '\f').size() <= pieces.size());
  }
  return 0;
}
