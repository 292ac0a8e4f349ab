// libFuzzer target: the page reader. The same body is fed whole and in pieces whose sizes come from
// the input; both readings must give the same lines, each non-empty and within the line
// bound. The first byte picks the initial character set and the head flag.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "tests/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int encoding = static_cast<int>(data[0] % 6) - 1;
  const int inHead = (data[0] >> 3) & 1;
  const std::uint8_t step = data[1];
  const char* body = reinterpret_cast<const char*>(data + 2);
  const std::size_t length = size - 2;
  std::size_t feeds = 0;
  for (std::size_t i = 0; i < length; ++i) feeds += body[i] == '\n';

  PageLines whole;
  whole.encoding = encoding;
  whole.inHead = inHead;
  {
    PageLineReader reader(whole);
    Check(reader.Feed(body, length));
    reader.Finish();
    // Every line feed ends a line; the rest after the last one is a line of its own.
    Check(reader.RawLineCount() == feeds + (length > 0 && body[length - 1] != '\n' ? 1 : 0));
    Check(whole.LineCount() <= reader.RawLineCount());
  }
  std::size_t total = 0;
  for (const std::string& line : whole.lines) {
    Check(!line.empty());
    Check(line.size() <= PageLineReader::kMaxLineBytes);
    total += line.size();
  }
  Check(total <= length);
  Check(whole.GetLine(whole.LineCount()).empty());

  // Pieces of 1 to 16 bytes, cycling through the sizes the second byte gives.
  PageLines pieces;
  pieces.encoding = encoding;
  pieces.inHead = inHead;
  {
    PageLineReader reader(pieces);
    std::size_t at = 0;
    unsigned shift = 0;
    while (at < length) {
      std::size_t n = ((step >> (shift % 8)) & 0x0F) + 1;
      if (n > length - at) n = length - at;
      Check(reader.Feed(body + at, n));
      at += n;
      ++shift;
    }
    Check(reader.Feed(body, 0));
    reader.Finish();
  }
  Check(pieces.lines == whole.lines);
  Check(pieces.encoding == whole.encoding && pieces.inHead == whole.inHead);
  return 0;
}
