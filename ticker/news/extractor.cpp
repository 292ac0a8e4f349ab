#include "ticker/news/extractor.h"

#include <algorithm>

#include "support/sjis.h"
#include "ticker/news/news_list.h"

namespace {

constexpr std::size_t kEnd = std::string_view::npos;

// The name of an upper-cased tag: after "<", white space and one "/" (with white space after it),
// the leading run of letters. "<H1>" is H, "</ td>" is TD, "<!-- -->" has an empty name.
std::string_view TagName(std::string_view tag) {
  std::size_t i = 1;
  while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
  if (i < tag.size() && tag[i] == '/') {
    ++i;
    while (i < tag.size() && sjis::IsSpace(tag[i])) ++i;
  }
  std::size_t start = i;
  while (i < tag.size() && tag[i] >= 'A' && tag[i] <= 'Z') ++i;
  return tag.substr(start, i - start);
}

// The double-byte character starting at line[i] is complete on this line.
inline bool PairStartsAt(std::string_view line, std::size_t i) {
  return sjis::IsLeadByte(line[i]) && i + 1 < line.size();
}

}  // namespace

Extractor::Extractor(NewsList& target, int minLength) : list(target), level(minLength) {
  list.Clear();
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
  if (cutShort && titleDecided) {
    pageOffset += line.size();
    return;
  }
  upper.assign(line.data(), line.size());
  sjis::MakeUpper(upper);
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
    std::size_t start = i;
    while (i < n && line[i] != '<') i += PairStartsAt(line, i) ? 2 : 1;
    if (skip == Skip::kNone) accumulator.append(line.data() + start, i - start);
  }
  if (!inTag && !accumulator.empty()) Flush();
  pageOffset += n;
}

void Extractor::ScanTitle(std::string_view line) {
  const std::size_t n = line.size();
  std::size_t i = 0;
  if (titleLeadPending) {
    // The first byte completes the double-byte character the previous line ended with.
    titleLeadPending = false;
    titleStart.Double();
    titleEnd.Double();
    i = 1;
  }
  std::size_t collectFrom = titleOpen ? 0 : kEnd;
  auto collect = [&](std::size_t to) {
    // Keep a little more than the cap so that the closing tag's bytes can be cut off exactly.
    const std::size_t room = kMaxTitleBytes + 8;
    if (collectFrom == kEnd || collectFrom >= to || titleText.size() >= room) return;
    titleText.append(line.data() + collectFrom, std::min(to - collectFrom, room - titleText.size()));
  };
  while (i < n) {
    if (sjis::IsLeadByte(line[i])) {
      titleStart.Double();
      titleEnd.Double();
      if (i + 1 < n) {
        i += 2;
      } else {
        titleLeadPending = true;
        ++i;
      }
      continue;
    }
    const char u = upper[i];
    ++i;
    if (!titleOpen && titleStart.Single(u)) {
      titleOpen = true;
      titleTextStart = pageOffset + i;
      collectFrom = i;
    }
    if (titleEnd.Single(u)) {
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
  std::size_t i = pos;
  std::size_t headFrom = pos;
  inTag = true;
  const bool watch = skip == Skip::kNone && !tagDisplayNone;
  if (tagLeadPending && i < n) {
    // The tag's last line ended with a lead byte; this byte is its partner.
    tagLeadPending = false;
    if (watch) displayNone.Double();
    if (tagHead.size() < kTagHeadBytes) tagHead.push_back(line[i]);
    headFrom = ++i;
  }
  auto keepHead = [&](std::size_t to) {
    if (tagHead.size() < kTagHeadBytes && headFrom < to) {
      tagHead.append(upper, headFrom, std::min(to - headFrom, kTagHeadBytes - tagHead.size()));
    }
  };
  while (i < n) {
    const char c = line[i];
    if (c == '>') {
      ++i;
      keepHead(i);
      inTag = false;
      return i;
    }
    if (sjis::IsLeadByte(c)) {
      if (watch) displayNone.Double();
      if (i + 1 < n) {
        i += 2;
      } else {
        tagLeadPending = true;
        ++i;
      }
      continue;
    }
    if (watch && !tagDisplayNone && displayNone.Single(upper[i])) tagDisplayNone = true;
    ++i;
  }
  keepHead(n);
  return kEnd;
}

void Extractor::EndTag() {
  const std::string_view tag = tagHead;
  switch (skip) {
    case Skip::kScript:
      if (tag == "</SCRIPT>") skip = Skip::kNone;
      break;
    case Skip::kHidden:
      if (TagName(tag) == hiddenName) skip = Skip::kNone;
      break;
    case Skip::kNone:
      if (tag == "<HEAD>") {
        list.inHead = 1;
        accumulator.clear();
      } else if (tag == "</HEAD>") {
        // Head text collected on the line of "</HEAD>" (a one-line head) must not reach the body.
        list.inHead = 0;
        accumulator.clear();
      } else if (tag == "</TD>") {
        if (accumulator.empty() || accumulator.back() != ' ') accumulator.push_back(' ');
      } else if (tag == "<P>" || tag == "<BR>") {
        Flush();
      } else if (sjis::StartsWith(tag, "<SCRIPT")) {
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

void Extractor::Flush() {
  if (!list.inHead) stored += list.AddItem(accumulator, level);
  accumulator.clear();
}
