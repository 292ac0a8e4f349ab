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

// The text between the first open marker at or after from and the first close marker after that
// position, or empty when either is missing or the close marker comes first. end is set past the
// close marker when a pair was found.
std::string Between(std::string_view text, std::string_view open, std::string_view close, std::size_t from,
                    std::size_t& end) {
  const std::size_t begin = sjis::Find(text, open, from);
  const std::size_t stop = sjis::Find(text, close, from);
  if (begin == std::string_view::npos || stop == std::string_view::npos) return {};
  const std::size_t inside = begin + open.size();
  if (stop < inside) return {};
  end = stop + close.size();
  return std::string(text.substr(inside, stop - inside));
}

// A marker is looked for after the parts already read, so that a title such as "NEWS" or "URL"
// (whose marker and closing "@" spell "@NEWS@") is not taken for the next marker; a text whose
// parts come in another order is searched from its start as before.
std::string PartAfter(std::string_view text, std::string_view open, std::string_view close,
                      std::size_t& end) {
  std::size_t found = end;
  std::string part = Between(text, open, close, end, found);
  if (found == end && end != 0) {
    found = 0;
    part = Between(text, open, close, 0, found);
    if (found < end) found = end;
  }
  end = found;
  return part;
}

}  // namespace

ItemStream ReadItemStream(std::string_view text, const std::function<int()>& random) {
  ItemStream stream;
  std::size_t end = 0;
  stream.title = PartAfter(text, "@TITLE@", "@/TITLE@", end);
  if (stream.title.empty()) {
    static const char* const kWords[] = {"特報", "号外", "緊急"};
    int r = random ? random() % 3 : 0;
    if (r < 0) r = -r;
    stream.title = kWords[r];
  }
  stream.url = PartAfter(text, "@URL@", "@/URL@", end);
  if (stream.url.empty()) stream.url = kMakerHomeUrl;
  std::size_t news = sjis::Find(text, "@NEWS@", end);
  if (news == std::string_view::npos) news = sjis::Find(text, "@NEWS@");
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
