// Feeds random lines through ConvertLine with a random starting state, and checks what must hold
// for any input: the state changes only as allowed, the line never grows past what conversion can
// produce, and the decoders agree with each other when called directly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/text/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  ConvertState page;
  // First byte: the encoding code (including codes no converter knows), second: the head flag.
  page.encoding = static_cast<int>(data[0] % 8) - 1;
  page.inHead = data[1] & 1;

  // The rest is split into lines at line feeds, as the page reader does.
  std::size_t start = 2;
  while (start <= size) {
    std::size_t end = start;
    while (end < size && data[end] != '\n') ++end;
    const std::string raw(reinterpret_cast<const char*>(data) + start, end - start);
    std::string line = raw;
    const int encodingBefore = page.encoding;
    const int headBefore = page.inHead;
    const bool firstBefore = page.firstLine;
    ConvertLine(page, line);
    // The head flag only ever goes from 1 to 0; the code only changes in the head or on the
    // document's first line (a byte-order mark or an XML declaration names the set there).
    if (page.inHead > headBefore) std::abort();
    if (!headBefore && !firstBefore && page.encoding != encodingBefore) std::abort();
    // Once fixed by a byte-order mark, the set stays.
    if (!firstBefore && page.encodingFixed && page.encoding != encodingBefore) std::abort();
    if (page.encoding != encodingBefore &&
        (page.encoding < kEncodingShiftJis || page.encoding > kEncodingUtf8)) {
      std::abort();
    }
    // No conversion makes a line longer than its input.
    if (line.size() > raw.size()) std::abort();

    std::string a = raw;
    DecodeEucJp(a);
    if (a.size() > raw.size()) std::abort();
    std::string b = raw;
    DecodeIso2022Jp(b);
    if (b.size() > raw.size()) std::abort();
    std::string c = raw;
    Utf8ToAnsi(c);
    if (c.size() > raw.size()) std::abort();
    const int guess = GuessEncoding(raw);
    if (guess < kEncodingUnknown || guess > kEncodingEucJp) std::abort();
    start = end + 1;
  }
  return 0;
}
