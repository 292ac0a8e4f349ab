#include "support/net/page_lines.h"

#include <cstring>
#include <utility>

#include "support/text/charset.h"
#include "support/text/sjis.h"

const std::string& PageLines::GetLine(std::size_t index) const {
  static const std::string empty;
  return index < lines.size() ? lines[index] : empty;
}

PageLineReader::PageLineReader(PageLines& pageLines, PageLineSink* lineSink)
    : page(pageLines), sink(lineSink) {}

bool PageLineReader::Feed(const char* data, std::size_t size) {
  if (bodyBytes >= kMaxBodyBytes) {
    return false;
  }
  bool withinLimit = true;
  if (size > kMaxBodyBytes - bodyBytes) {
    // Take the body up to the limit; the caller stops reading when we return false.
    size = kMaxBodyBytes - bodyBytes;
    withinLimit = false;
  }
  bodyBytes += size;

  const char* end = data + size;
  while (data < end) {
    const char* feed =
        static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
    const char* pieceEnd = feed ? feed : end;
    std::size_t pieceSize = static_cast<std::size_t>(pieceEnd - data);

    if (feed && current.empty() && !truncated && pieceSize <= kMaxLineBytes) {
      // The whole line lies in this block: convert it without collecting it first.
      std::string_view trimmed = sjis::TrimView(std::string_view(data, pieceSize));
      current.assign(trimmed.data(), trimmed.size());
      EndLine();
    } else {
      if (!truncated) {
        std::size_t room = kMaxLineBytes - current.size();
        if (pieceSize > room) {
          // An endless line: keep its first kMaxLineBytes, drop the rest up to the next line feed.
          pieceSize = room;
          truncated = true;
        }
        current.append(data, pieceSize);
      }
      if (feed) {
        EndLine();
      }
    }
    data = feed ? feed + 1 : end;
  }
  return withinLimit;
}

void PageLineReader::Finish() {
  if (!current.empty() || truncated) {
    EndLine();
  }
}

void PageLineReader::EndLine() {
  ++rawLines;
  truncated = false;
  std::string line;
  line.swap(current);
  // current may hold a line collected over several blocks, untrimmed.
  std::string_view trimmed = sjis::TrimView(line);
  if (trimmed.size() != line.size()) {
    std::size_t start = static_cast<std::size_t>(trimmed.data() - line.data());
    line.erase(start + trimmed.size());
    line.erase(0, start);
  }
  if (!line.empty()) {
    ConvertLine(page, line);
  }
  // Conversion may leave nothing (a line of shift sequences only); readers of the lines count on
  // none being empty.
  if (!line.empty()) {
    if (sink) {
      sink->OnLine(line);
    } else {
      page.lines.push_back(std::move(line));
    }
  }
  // Counted after the line is handled, empty lines included, so a long page gives way
  // regularly to the rest of its thread.
  if (rawLines % 1000 == 0 && onThousandLines) {
    onThousandLines();
  }
}
