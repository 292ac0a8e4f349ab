#include "ticker/news/news_message.h"

#include <cstring>

#include "support/text/sjis.h"

namespace news {

bool IsNewsTag(std::uint32_t tag) {
  return ModeOfTag(tag) >= 0 || tag == ticker_link::kTagFlash;
}

int ModeOfTag(std::uint32_t tag) {
  switch (tag) {
    case ticker_link::kTagBar:
      return 0;
    case ticker_link::kTagDesktop:
      return 1;
    case ticker_link::kTagTitleBar:
      return 2;
    default:
      return -1;
  }
}

namespace {

// The text between the first open marker and the first close marker, or empty when either is
// missing or the close marker comes first.
std::string Between(std::string_view text, std::string_view open, std::string_view close) {
  const std::size_t begin = sjis::Find(text, open);
  const std::size_t end = sjis::Find(text, close);
  if (begin == std::string_view::npos || end == std::string_view::npos) return {};
  const std::size_t from = begin + open.size();
  if (end < from) return {};
  return std::string(text.substr(from, end - from));
}

}  // namespace

ItemStream ReadItemStream(std::string_view text, const std::function<int()>& random) {
  ItemStream stream;
  stream.title = Between(text, "@TITLE@", "@/TITLE@");
  if (stream.title.empty()) {
    static const char* const kWords[] = {"特報", "号外", "緊急"};
    int r = random ? random() % 3 : 0;
    if (r < 0) r = -r;
    stream.title = kWords[r];
  }
  stream.url = Between(text, "@URL@", "@/URL@");
  if (stream.url.empty()) stream.url = kMakerHomeUrl;
  const std::size_t news = sjis::Find(text, "@NEWS@");
  stream.body = std::string(news == std::string_view::npos ? text : text.substr(news + 6));
  return stream;
}

std::string ItemStreamHead(std::string_view title, std::string_view url) {
  std::string head = "@TITLE@";
  head += title;
  head += "@/TITLE@@URL@";
  head += url;
  head += "@/URL@@NEWS@";
  return head;
}

std::vector<std::string> SplitPieces(std::string_view body, char separator) {
  std::vector<std::string> pieces;
  std::size_t pos = 0;
  while (pos <= body.size()) {
    std::size_t end = sjis::FindChar(body, separator, pos);
    if (end == std::string_view::npos) end = body.size();
    std::string_view piece = sjis::TrimView(body.substr(pos, end - pos));
    if (!piece.empty()) pieces.emplace_back(piece);
    pos = end + 1;
  }
  return pieces;
}

std::string ExpandEnter(std::string_view text) {
  static constexpr std::string_view kEnter = "&enter;";
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = sjis::Find(text, kEnter, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out += "\r\n";
    pos = hit + kEnter.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string BuildFlashText(std::string_view title, std::string_view url,
                           const std::vector<std::string>& bulletins) {
  std::string text = ItemStreamHead(title, url);
  for (const std::string& bulletin : bulletins) {
    text += ExpandEnter(bulletin);
    text += '\f';
  }
  return text;
}

}  // namespace news
