#include "ticker/news/extractor.h"

#include <algorithm>
#include <cstring>

#include "support/net/url_resolve.h"
#include "support/text/sjis.h"
#include "ticker/news/news_list.h"

namespace {

using sjis::EndsWithLoneLead;
using sjis::StartsCharacter;
constexpr std::size_t kEnd = std::string_view::npos;

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name of a tag: after "<", white space and one "/" (with white space after it), the leading
// run of letters. "<H1>" is H, "</ td>" is td, "<!-- -->" has an empty name.
std::string_view TagName(std::string_view tag) {
  std::size_t i = 1;
  while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
  if (i < tag.size() && tag[i] == '/') {
    ++i;
    while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
  }
  const std::size_t start = i;
  while (i < tag.size() && IsLetter(tag[i])) ++i;
  return tag.substr(start, i - start);
}

bool Is(std::string_view tag, std::string_view name) {
  return sjis::EqualsNoCase(tag, name);
}

// "DISPLAY:NONE" inside a tag held whole in s[from, to) (from starts a character). Only the
// colons are candidates, which memchr finds quickly.
bool ContainsDisplayNone(std::string_view s, std::size_t from, std::size_t to) {
  constexpr std::string_view kNeedle = "DISPLAY:NONE";
  constexpr std::size_t kColon = 7;
  for (std::size_t q = from + kColon; q + (kNeedle.size() - kColon) <= to; ++q) {
    const void* hit = std::memchr(s.data() + q, ':', to - q);
    if (!hit) return false;
    q = static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    if (q + (kNeedle.size() - kColon) > to) return false;
    const std::size_t start = q - kColon;
    if ((s[q + 1] == 'N' || s[q + 1] == 'n') &&
        sjis::EqualsNoCase(s.substr(start, kNeedle.size()), kNeedle) && StartsCharacter(s, from, start)) {
      return true;
    }
  }
  return false;
}

// The value of the attribute name (ASCII letters, any case) in a tag held whole, or false. The
// name must follow white space, which no trail byte is, so a second byte never starts a match.
bool AttributeValue(std::string_view tag, std::string_view name, std::string_view& value) {
  for (std::size_t at = 1; at + name.size() < tag.size(); ++at) {
    if (!sjis::IsSpace(tag[at - 1]) || !sjis::EqualsNoCase(tag.substr(at, name.size()), name)) continue;
    std::size_t i = at + name.size();
    while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      const std::size_t end = tag.find(tag[i], i + 1);
      if (end == std::string_view::npos) return false;  // cut off: no reliable value
      value = tag.substr(i + 1, end - i - 1);
      return true;
    }
    std::size_t end = i;
    while (end < tag.size() && !sjis::IsSpace(tag[end]) && tag[end] != '>') ++end;
    value = tag.substr(i, end - i);
    return true;
  }
  return false;
}

bool IsClosingTag(std::string_view tag) {
  std::size_t i = 1;
  while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
  return i < tag.size() && tag[i] == '/';
}

}  // namespace

Extractor::Extractor(NewsList& target, int minLength, std::string url)
    : list(target), level(minLength), pageUrl(std::move(url)), baseUrl(pageUrl) {
  list.Clear();
}

void Extractor::SetPageUrl(std::string url) {
  pageUrl = std::move(url);
  baseUrl = pageUrl;
}

void Extractor::Feed(std::string_view line) noexcept {
  if (broken) return;
  try {
    FeedLine(sjis::TrimView(line));
  } catch (...) {
    // Out of memory in the middle of a line: what was stored stays, the rest of the page is lost.
    broken = true;
  }
}

void Extractor::Finish() {
  if (broken) {
    list.failed = 1;
    list.AddItem(kReadErrorItem, 1);
  }
}

void Extractor::FeedLine(std::string_view line) {
  if (line.empty()) return;
  if (!cutShort && stored > kStoredTextCap) {
    list.items.emplace_back(kContinuationItem);
    cutShort = true;
  }
  // The title comes from the whole page, even past the cap.
  if (!titleDecided) ScanTitle(line);
  if (cutShort) {
    pageOffset += line.size();
    return;
  }

  const std::size_t n = line.size();
  std::size_t i = 0;
  for (;;) {
    if (inTag || (i < n && line[i] == '<')) {
      i = ScanTag(line, i);
      if (i == kEnd) break;  // the tag goes on in the next line
      EndTag();
      while (i < n && sjis::IsSpace(line[i])) ++i;
      continue;
    }
    if (i >= n) break;
    const std::size_t start = i;
    // "<" is never the second byte of a double-byte character, so a plain byte search finds the
    // next tag, also after a lone lead byte.
    i = line.find('<', i);
    if (i == kEnd) i = n;
    if (skip == Skip::kNone) Collect(line.substr(start, i - start));
  }
  if (!inTag && !accumulator.empty()) Flush();
  pageOffset += n;
}

void Extractor::ScanTitle(std::string_view line) {
  const std::size_t n = line.size();
  std::size_t i = 0;
  std::size_t collectFrom = titleOpen ? 0 : kEnd;
  auto collect = [&](std::size_t to) {
    // Keep a little more than the cap so that the closing tag's bytes can be cut off exactly.
    const std::size_t room = kMaxTitleBytes + 8;
    if (collectFrom == kEnd || collectFrom >= to || titleText.size() >= room) return;
    titleText.append(line.data() + collectFrom, std::min(to - collectFrom, room - titleText.size()));
  };
  // Both markers are ASCII and start with "<", which is never a second byte: the byte after a "<"
  // starts a character, and so does every byte of an ASCII run after it. Matching byte by byte from
  // a "<" therefore finds exactly the markers a character-wise scan would, and a lone lead byte
  // before the "<" cannot hide one.
  while (i < n) {
    if (titleStart.Idle() && titleEnd.Idle()) {
      i = line.find('<', i);
      if (i == kEnd) break;
    }
    const char c = line[i++];
    if (!titleOpen && titleStart.Single(c)) {
      titleOpen = true;
      titleTextStart = pageOffset + i;
      collectFrom = i;
    }
    if (titleEnd.Single(c)) {
      titleDecided = true;
      if (!titleOpen) return;  // "</TITLE>" came first: no title
      collect(i);
      const std::uint64_t closeStart = pageOffset + i - 8;
      std::size_t length = static_cast<std::size_t>(closeStart - titleTextStart);
      if (length > kMaxTitleBytes) {
        std::size_t cut = 0;
        while (cut < titleText.size() && sjis::NextChar(titleText, cut) <= kMaxTitleBytes) {
          cut = sjis::NextChar(titleText, cut);
        }
        length = cut;
      }
      list.title = sjis::Trim(std::string_view(titleText).substr(0, length));
      titleText.clear();
      titleText.shrink_to_fit();
      return;
    }
  }
  collect(n);
}

std::size_t Extractor::ScanTag(std::string_view line, std::size_t pos) {
  const std::size_t n = line.size();
  const bool continued = inTag;
  inTag = true;
  const bool watch = skip == Skip::kNone && !tagDisplayNone;
  // ">" is never a second byte: the first one ends the tag, whatever lead bytes come before it.
  const std::size_t close = line.find('>', pos);
  std::size_t from = pos;
  if (continued && tagLeadPending && from < n) {
    // The tag's last line ended with a lead byte; this byte is its partner (unless it is the ">").
    tagLeadPending = false;
    if (watch) displayNone.Double();
    if (from != close) ++from;
  }
  const std::size_t end = close == kEnd ? n : close + 1;
  if (tagHead.size() < kTagHeadBytes) {
    tagHead.append(line.data() + pos, std::min(end - pos, kTagHeadBytes - tagHead.size()));
  }
  if (watch) {
    if (!continued && close != kEnd) {
      tagDisplayNone = ContainsDisplayNone(line, from, close);
    } else {
      // A tag spread over lines: the marker may be split between them.
      WatchDisplayNone(line, from, close == kEnd ? n : close);
    }
  }
  if (close == kEnd) {
    tagLeadPending = EndsWithLoneLead(line, from);
    return kEnd;
  }
  inTag = false;
  return end;
}

void Extractor::WatchDisplayNone(std::string_view line, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && !tagDisplayNone;) {
    if (sjis::IsLeadByte(line[i])) {
      displayNone.Double();
      i += (i + 1 < line.size()) ? 2 : 1;
    } else {
      tagDisplayNone = displayNone.Single(line[i++]);
    }
  }
}

void Extractor::EndTag() {
  const std::string_view tag = tagHead;
  switch (skip) {
    case Skip::kScript:
      if (Is(tag, "</SCRIPT>")) skip = Skip::kNone;
      break;
    case Skip::kHidden:
      if (Is(TagName(tag), hiddenName)) skip = Skip::kNone;
      break;
    case Skip::kNone:
      FollowLinkTag(tag);
      if (tag.size() > 7) {
        // Too long for the exact tags below ("</HEAD>" is the longest).
        if ((tag[1] == 'S' || tag[1] == 's') && Is(tag.substr(0, 7), "<SCRIPT")) {
          skip = Skip::kScript;
        } else if (tagDisplayNone) {
          skip = Skip::kHidden;
          hiddenName.assign(TagName(tag));
        }
      } else if (Is(tag, "<HEAD>")) {
        list.inHead = 1;
        accumulator.clear();
        linkMarks.clear();
      } else if (Is(tag, "</HEAD>")) {
        // Head text collected on the line of "</HEAD>" (a one-line head) must not reach the body.
        list.inHead = 0;
        accumulator.clear();
        linkMarks.clear();
      } else if (Is(tag, "</TD>")) {
        if (accumulator.empty() || accumulator.back() != ' ') accumulator.push_back(' ');
      } else if (Is(tag, "<P>") || Is(tag, "<BR>")) {
        Flush();
      } else if (Is(tag.substr(0, 7), "<SCRIPT")) {
        skip = Skip::kScript;
      } else if (tagDisplayNone) {
        skip = Skip::kHidden;
        hiddenName.assign(TagName(tag));
      }
      break;
  }
  tagHead.clear();
  tagDisplayNone = false;
  displayNone.matched = 0;
}

void Extractor::FollowLinkTag(std::string_view tag) {
  const std::string_view name = TagName(tag);
  const bool anchor = Is(name, "A");
  if (!anchor && !Is(name, "BASE")) return;
  if (IsClosingTag(tag)) {
    if (anchor) currentLink.clear();
    return;
  }
  std::string_view href;
  const bool hasHref = AttributeValue(tag, "HREF", href);
  if (anchor) {
    // A link cut off by the tag-head bound, or one without an address, leads nowhere.
    currentLink = hasHref ? ResolveUrl(baseUrl, href) : std::string();
  } else if (hasHref) {
    const std::string resolved = ResolveUrl(pageUrl, href);
    if (!resolved.empty()) baseUrl = resolved;
  }
}

void Extractor::Collect(std::string_view text) {
  if (text.empty()) return;
  if (linkMarks.empty() ? !currentLink.empty() : linkMarks.back().second != currentLink) {
    linkMarks.emplace_back(accumulator.size(), currentLink);
  }
  accumulator.append(text.data(), text.size());
}

void Extractor::Flush() {
  if (!list.inHead) {
    // The link of the item is the one in force where its text begins.
    const std::size_t start = NewsList::ItemStart(accumulator);
    const std::string* link = nullptr;
    for (const auto& mark : linkMarks) {
      if (mark.first > start) break;
      link = &mark.second;
    }
    stored += list.AddItem(accumulator, level, link ? *link : std::string());
  }
  accumulator.clear();
  linkMarks.clear();
}
