#include "ticker/display/display_line.h"

#include <string>

#include "support/text/sjis.h"

namespace display {

namespace {

// 0x21-0x7E in order, two bytes each once compiled to code page 932.
constexpr char kFullWidthPrintable[] =
    "！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？"
    "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"
    "‘ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝～";
static_assert(sizeof(kFullWidthPrintable) == 94 * 2 + 1, "every entry must be two bytes");

constexpr char kIdeographicSpace[] = "　";

// A byte with the high bit set that is not a lead byte: half-width katakana (or a byte code page
// 932 leaves unused). It fills half a cell.
bool IsHalfWidthHigh(unsigned char c) {
  return c >= 0x80 && !sjis::IsLeadByte(c);
}

}  // namespace

std::string_view FullWidthOf(unsigned char c) {
  if (c == 0x20) return std::string_view(kIdeographicSpace, 2);
  if (c >= 0x21 && c <= 0x7E)
    return std::string_view(kFullWidthPrintable + static_cast<std::size_t>(c - 0x21) * 2, 2);
  return {};
}

std::string ToFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (sjis::IsLeadByte(c)) {
      if (i + 1 >= text.size()) break;  // a torn character at the end
      out.append(text.substr(i, 2));
      i += 2;
    } else if (IsHalfWidthHigh(c)) {
      // Two half-width characters share one full-width cell; a lone one is padded so the cell
      // stays two bytes and the following character keeps its own lead byte.
      out.push_back(static_cast<char>(c));
      if (i + 1 < text.size() && IsHalfWidthHigh(static_cast<unsigned char>(text[i + 1]))) {
        out.push_back(text[i + 1]);
        i += 2;
      } else {
        out.push_back(' ');
        i += 1;
      }
    } else {
      out.append(FullWidthOf(c));
      i += 1;
    }
  }
  return out;
}

DisplayLine BuildDisplayLine(std::string_view siteTitle, const std::vector<std::string>& headlines, int month,
                             int day, int width) {
  std::string text;
  text.reserve(256);
  text += "【　";
  text += siteTitle;
  if (sjis::EndsWith(siteTitle, "ニュース") || sjis::EndsWith(siteTitle, "ﾆｭｰｽ")) {
    text += "　";
  } else {
    text += "　ニュース　";
  }
  text += std::to_string(month);
  text += "月";
  text += std::to_string(day);
  text += "日　】";

  DisplayLine line;
  for (const std::string& item : headlines) {
    if (item.empty()) break;
    std::string_view body(item);
    if (sjis::EndsWith(body, "。") || sjis::EndsWith(body, "、")) body.remove_suffix(2);
    text += "　　　　　●";
    text += body;
    text += "．．．";
    ++line.consumed;
  }
  text += "　以上";

  // The lead-in lets the line enter from the right edge of the strip; a single space at least,
  // as the field of the lead-in format always holds one.
  const int leadIn = width / kCharPixels > 1 ? width / kCharPixels : 1;
  std::string all(static_cast<std::size_t>(leadIn), ' ');
  all += text;
  line.text = ToFullWidth(all);
  return line;
}

}  // namespace display
