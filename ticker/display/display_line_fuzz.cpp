// libFuzzer target: the full-width conversion and the display line. The input is split at line
// feeds: the first line is the site title, the others are headlines; the first two bytes pick the
// date and the width the line starts at.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/text/sjis.h"
#include "tests/fuzz_check.h"
#include "ticker/display/display_line.h"

namespace {

// Full-width text: an even number of bytes made of whole two-byte cells (a double-byte character,
// or two half-width bytes / one and its padding space), with no control byte.
void CheckFullWidth(std::string_view text) {
  Check(text.size() % 2 == 0);
  for (std::size_t pos = 0; pos < text.size(); pos += 2) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    Check(c >= 0x20 && c != 0x7F);
    if (sjis::IsLeadByte(c)) {
      Check(sjis::CharLength(text, pos) == 2);
    } else {
      // A cell of two single bytes holds half-width bytes (katakana, or a byte the code page leaves
      // unused) and at most a padding space.
      const unsigned char d = static_cast<unsigned char>(text[pos + 1]);
      Check(c >= 0x80);
      Check((d >= 0x80 && !sjis::IsLeadByte(d)) || d == ' ');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int month = data[0] % 14;  // 0 and 13 are out of range on purpose
  const int day = data[1] % 33;
  const int width = static_cast<int>(data[2]) * 16 - 8;  // negative once
  std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);

  std::vector<std::string> lines;
  for (;;) {
    const std::size_t end = rest.find('\n');
    lines.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  const std::string title = lines.front();
  const std::vector<std::string> headlines(lines.begin() + 1, lines.end());

  const std::string full = display::ToFullWidth(title);
  CheckFullWidth(full);
  // Each byte becomes at most one two-byte cell.
  Check(full.size() <= 2 * title.size());

  const display::DisplayLine line = display::BuildDisplayLine(title, headlines, month, day, width);
  CheckFullWidth(line.text);
  Check(line.consumed >= 0 && static_cast<std::size_t>(line.consumed) <= headlines.size());
  std::size_t input = title.size() + 64;
  for (const std::string& h : headlines) input += h.size() + 10;  // a mark before, dots after
  const std::size_t leadIn = width > 0 ? static_cast<std::size_t>(width) / 12 + 1 : 1;
  Check(line.text.size() <= 2 * (input + leadIn));
  return 0;
}
