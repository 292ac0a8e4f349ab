// The display line: the one full-width line the ticker scrolls for a source, made of a lead-in,
// a header with the date, every headline and a closing mark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace display {

// Every character of a display line is two bytes wide; this many characters fit the strip.
constexpr int kMaxVisibleChars = 124;
// Pixel width of one full-width character of the strip's font.
constexpr int kCharPixels = 12;

// Makes every character of text two bytes: double-byte characters are copied, single-byte ones
// are replaced by their full-width forms (a space by an ideographic space, "A" by "Ａ", a
// backslash by "￥" ...), control characters and DEL are dropped. Half-width katakana keep their
// two-to-a-cell pairing; a lone one is padded with a space so that the next character is not torn
// apart. A lead byte without its trail byte at the very end is dropped.
std::string ToFullWidth(std::string_view text);

// The full-width form of one byte below 0x80, or empty for control characters and DEL.
std::string_view FullWidthOf(unsigned char c);

struct DisplayLine {
  std::string text;  // full width: text.size() is even
  int consumed = 0;  // headline entries taken into the line
};

// Builds the line for a source. width is the pixel width the line starts at (bar, strip or caption
// target); the lead-in is width / 12 spaces (at least one). The header names the source and the
// date; headlines are taken in order up to the first empty one, a trailing "。" or "、" dropped.
DisplayLine BuildDisplayLine(std::string_view siteTitle, const std::vector<std::string>& headlines, int month,
                             int day, int width);

}  // namespace display
