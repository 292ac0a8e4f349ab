#include "catalogue/page_scan.h"

#include "support/text/sjis.h"

namespace catalogue {

Piece NextPiece(std::string_view line, std::size_t& pos, std::string_view& tag) {
  if (pos >= line.size()) return Piece::kEnd;
  if (line[pos] != '<') {
    // Neither '<' nor '>' is ever the second byte of a double-byte character.
    std::size_t open = sjis::FindChar(line, '<', pos);
    pos = open == std::string_view::npos ? line.size() : open;
    return Piece::kText;
  }
  std::size_t close = sjis::FindChar(line, '>', pos);
  if (close == std::string_view::npos) {
    pos = line.size();
    return Piece::kEnd;
  }
  tag = line.substr(pos, close + 1 - pos);
  pos = close + 1;
  return Piece::kTag;
}

bool QuotedValue(std::string_view tag, std::string_view key, std::string& value) {
  std::string lower(tag);
  sjis::MakeLower(lower);
  std::size_t at = sjis::Find(lower, key);
  std::size_t from = at == std::string::npos ? 0 : at + 1;
  std::size_t open = sjis::FindChar(tag, '"', from < tag.size() ? from : tag.size());
  if (open == std::string_view::npos) return false;
  std::size_t close = sjis::FindChar(tag, '"', open + 1);
  if (close == std::string_view::npos || close == open + 1) return false;
  value.assign(tag.substr(open + 1, close - open - 1));
  return true;
}

bool RefreshValue(std::string_view tag, std::string& value) {
  static constexpr std::string_view kUrl = "URL=";
  std::size_t at = sjis::Find(tag, kUrl);
  if (at == std::string_view::npos) return false;
  std::size_t start = at + kUrl.size();
  std::size_t close = sjis::FindChar(tag, '"', start);
  if (close == std::string_view::npos || close == start) return false;
  value.assign(tag.substr(start, close - start));
  return true;
}

}  // namespace catalogue
