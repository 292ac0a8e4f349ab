#include "ticker/news/news_list.h"

#include <cstdint>
#include <string_view>

#include "support/net/page_lines.h"
#include "support/net/url_resolve.h"
#include "support/text/sjis.h"
#include "ticker/news/extractor.h"

namespace {

// Marks that headlines are often decorated with; stripped from an item's front.
constexpr std::string_view kLeadingMarks[] = {"・", "　", "●", "■", "▲", "▼"};
constexpr std::string_view kIdeographicSpace = "　";

bool StartsWithMark(std::string_view s) {
  for (std::string_view mark : kLeadingMarks) {
    if (s.substr(0, mark.size()) == mark) return true;
  }
  return false;
}

}  // namespace

std::size_t NewsList::ItemStart(const std::string& text) {
  std::string_view t = sjis::TrimView(text);
  for (;;) {
    if (!t.empty() && t[0] == ' ') {
      t.remove_prefix(1);
    } else if (t.size() >= 2 && StartsWithMark(t)) {
      // The front is always a character boundary, so the two bytes are one character.
      t.remove_prefix(2);
    } else {
      break;
    }
  }
  return static_cast<std::size_t>(t.data() - text.data());
}

int NewsList::AddItem(const std::string& text, int minLength, const std::string& link) {
  std::string_view t = sjis::TrimView(text);
  t.remove_prefix(ItemStart(text) - static_cast<std::size_t>(t.data() - text.data()));
  // Stripping only shortens: a text already too short needs no more work.
  if (static_cast<std::int64_t>(t.size()) < minLength) return 0;
  // From the end, only whole characters count: a trail byte 0x81 followed by "@" is part of
  // another character, not an ideographic space.
  std::size_t end = t.size();
  for (;;) {
    if (end >= 1 && t[end - 1] == ' ' && sjis::StartsCharacter(t, 0, end - 1)) {
      end -= 1;
    } else if (end >= 2 && t.substr(end - 2, 2) == kIdeographicSpace &&
               sjis::StartsCharacter(t, 0, end - 2)) {
      end -= 2;
    } else {
      break;
    }
  }
  t = t.substr(0, end);
  if (static_cast<std::int64_t>(t.size()) < minLength) return 0;
  items.emplace_back(t);
  if (!link.empty() || !links.empty()) {
    links.resize(items.size() - 1);
    links.push_back(AcceptableLink(link) ? link : std::string());
  }
  return static_cast<int>(t.size());
}

bool NewsList::AcceptableLink(const std::string& link) {
  if (link.size() > kMaxLinkBytes || !IsWebAddress(link)) return false;
  for (const char c : link) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

std::string NewsList::GetLink(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= links.size()) return std::string();
  return links[static_cast<std::size_t>(index)];
}

std::string NewsList::GetItem(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return std::string();
  return items[static_cast<std::size_t>(index)];
}

void NewsList::Clear() {
  title.clear();
  items.clear();
  links.clear();
  inHead = 0;
  failed = 0;
  isFeed = 0;
}

void NewsList::Extract(const PageLines& page, int level) {
  try {
    Extractor extractor(*this, level);
    for (const std::string& line : page.lines) extractor.Feed(line);
    extractor.Finish();
  } catch (...) {
    failed = 1;
    AddItem(kReadErrorItem, 1);
  }
}

void NewsList::ExtractFromText(const std::string& text, int level) {
  try {
    Extractor extractor(*this, level);
    // Too short to be a page: nothing at all.
    if (text.size() >= 100) {
      // Split at line feeds; the second byte of a double-byte character is never taken for one.
      std::string_view rest = text;
      std::size_t start = 0;
      std::size_t i = 0;
      while (i < rest.size()) {
        if (rest[i] == '\n') {
          extractor.Feed(rest.substr(start, i - start));
          start = ++i;
        } else {
          i = sjis::NextChar(rest, i);
        }
      }
      extractor.Feed(rest.substr(start));
    }
    extractor.Finish();
  } catch (...) {
    failed = 1;
    AddItem(kReadErrorItem, 1);
  }
}
