// A downloaded page as converted Shift_JIS lines, and the reader that turns body bytes into them.
//
// The reader is the one place where a body is split into lines, trimmed, filtered and converted;
// the HTTP fetch, the extraction tool's file mode and the tests all feed it. It can hand each line
// on as soon as it is complete (a PageLineSink), so a large page is never held whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "support/net/http_request.h"
#include "support/text/charset.h"

// The converter's state (encoding, inHead) goes with the page: it is the page's character set and
// whether its head is still being read.
struct PageLines : ConvertState {
  std::vector<std::string> lines;  // trimmed, converted, never empty

  std::size_t LineCount() const { return lines.size(); }
  // The line at index, or empty text past the end.
  const std::string& GetLine(std::size_t index) const;
};

// Receives each converted line in page order.
class PageLineSink {
 public:
  virtual ~PageLineSink() = default;
  // A fetch tells the answer's head before the first line. False: the body is not wanted; the
  // fetch ends there without reading it, and counts as read.
  virtual bool OnResponse(const HttpResponse& /*response*/) { return true; }
  virtual void OnLine(std::string& line) = 0;
  // True once the sink needs no more lines: a fetch stops reading there, and counts as read.
  virtual bool Satisfied() const { return false; }
};

// Splits body bytes at line feeds and passes every non-empty trimmed line, converted by
// ConvertLine with the page's state, to the sink (or appends it to page.lines without a sink).
class PageLineReader {
 public:
  // A single line longer than this is cut: the bytes past the bound are dropped up to the next
  // line feed. A body longer than kMaxBodyBytes ends the reading (Feed returns false).
  static constexpr std::size_t kMaxLineBytes = 1u << 20;   // 1 MiB
  static constexpr std::size_t kMaxBodyBytes = 64u << 20;  // 64 MiB

  explicit PageLineReader(PageLines& page, PageLineSink* sink = nullptr);

  // Consumes the next bytes of the body. Returns false once the body limit was reached.
  bool Feed(const char* data, std::size_t size);
  // Delivers the last line when the body does not end with a line feed.
  void Finish();

  // Lines read so far, empty ones included.
  std::size_t RawLineCount() const { return rawLines; }

  // Called after every 1000th line read (the fetch sleeps there for 1 ms so that a huge page does
  // not starve the ticker's thread). Null by default.
  void (*onThousandLines)() = nullptr;

 private:
  void EndLine();

  PageLines& page;
  PageLineSink* sink;
  std::string current;
  bool truncated = false;
  std::size_t rawLines = 0;
  std::size_t bodyBytes = 0;
};
